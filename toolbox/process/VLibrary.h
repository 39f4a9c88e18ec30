// VLibrary is a handle on one code library loaded at run time: a bundle or
// framework folder, or a single shared-object file. It loads and unloads
// the code, looks exported functions up by name, and answers the bundle's
// executable and standard folders while loaded. Every operation takes the
// library's own lock, so a library may be shared between tasks.
#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "files/VFilePath.h"
#include "process/mac/XMacLibrary.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

class VFile;
class VFolder;
class VResourceFile;

// The folders of a loaded bundle.
enum BundleFolderKind : int32 {
  kBundleFolder = 1,
  kBundleExecutableFolder = 2,
  kBundleResourcesFolder = 3,
  kBundlePlugInsFolder = 5,
  kBundlePrivateFrameworksFolder = 6,
  kBundleSupportFilesFolder = 7,
};

class VLibrary : public VObject, public IRefCountable {
 public:
  // Nothing is loaded yet.
  explicit VLibrary(const VFilePath& path);
  // Unloads the code.
  ~VLibrary() override;
  VLibrary(const VLibrary&) = delete;
  VLibrary& operator=(const VLibrary&) = delete;

  // Loads the code once; true when it is loaded after the call. A failure
  // leaves a file error (toolbox error 1010, "reason" the loader's text).
  bool Load();
  // Unloads the code when loaded; it may be loaded again.
  void Unload();
  bool IsLoaded() const;

  // The exported function, null when not loaded or absent.
  void* GetProcAddress(const VString& name);
  // Paths compare exactly (case-sensitive), as everywhere in the toolbox.
  bool IsSameFile(const VFilePath& path) const;
  const VFilePath& GetPath() const { return fPath; }

  // Retained; null when not loaded, for a single file, or for another kind.
  VFolder* RetainFolder(BundleFolderKind kind) const;
  VFile* RetainExecutableFile() const;
  // Libraries carry no resource file on this platform: always null.
  VResourceFile* RetainResourceFile() { return nullptr; }

 private:
  mutable VCriticalSection fLock;
  VFilePath fPath;
  XMacLibrary fPlatform;
  bool fLoaded = false;
};

}  // namespace zeft
