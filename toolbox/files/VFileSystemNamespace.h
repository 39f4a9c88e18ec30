// VFileSystemNamespace is a registry of named file systems, chained to a
// parent namespace. It resolves texts of the form "/NAME/rest" into file and
// folder objects bound to the file system NAME, refusing a rest that climbs
// out of its root, and it registers the file systems that a JSON definition
// file describes.
#pragma once

#include <map>
#include <unordered_map>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "files/VFileSystem.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

class IFile;
class IFolder;
class VFile;
class VJSONArray;

// Look-up options (unsigned bit set).
inline constexpr unsigned kFileSystemLookupSkipHidden = 1;  // ignore file systems with flag 16
inline constexpr unsigned kFileSystemLookupParents = 2;     // the parents too, nearest first

// Names in code-unit order.
struct VFileSystemNameLess {
  bool operator()(const VString& a, const VString& b) const;
};

using VFileSystemMap = std::map<VString, VRefPtr<VFileSystem>, VFileSystemNameLess>;

class VFileSystemNamespace : public VObject, public IRefCountable {
 public:
  // Retains the parent when given.
  explicit VFileSystemNamespace(VFileSystemNamespace* parent = nullptr);
  ~VFileSystemNamespace() override;
  VFileSystemNamespace(const VFileSystemNamespace&) = delete;
  VFileSystemNamespace& operator=(const VFileSystemNamespace&) = delete;

  // Stores the file system under its name, replacing another of that name;
  // null does nothing.
  void RegisterFileSystem(VFileSystem* fileSystem);
  // Creates and stores a file system without quota; the creation's error.
  VError RegisterFileSystem(const VString& name, IFolder* root, unsigned int flags);
  void UnregisterFileSystem(const VString& name);

  // The file system of that name, retained, or null. With option 2 the
  // parents are searched too (the first hit decides); with option 1 a hit
  // that carries flag 16 gives null.
  VFileSystem* RetainFileSystem(const VString& name, unsigned int options);
  // Its root folder bound to it, or null.
  IFolder* RetainFileSystemRootFolder(const VString& name, unsigned int options);
  // Adds every file system to `map` (with option 2 the parents' first, so
  // that nearer namespaces override them). Always 0.
  VError RetainMapOfFileSystems(VFileSystemMap& map, unsigned int options);

  // Splits "/NAME/rest" into the file system NAME and the normalised POSIX
  // path of rest below its root; false for any other text, an unknown name
  // or a rest that leaves the root.
  bool ParsePathWithFileSystem(const VString& path, VRefPtr<VFileSystem>& fileSystem,
                               VString& relativePath, unsigned int options);

  // The file (folder) that a "/NAME/rest" text names, else a text relative
  // to `base`, else (with `allowPosix`) a full POSIX path; null when none.
  IFile* RetainFile(const VString& path, IFolder* base, unsigned int options, bool allowPosix);
  IFolder* RetainFolder(const VString& path, IFolder* base, unsigned int options, bool allowPosix);
  // The same through a namespace that may be null: without one, a text is
  // relative to `base` or else a full POSIX path.
  static IFile* RetainFile(VFileSystemNamespace* space, const VString& path, IFolder* base,
                           unsigned int options, bool allowPosix);
  static IFolder* RetainFolder(VFileSystemNamespace* space, const VString& path, IFolder* base,
                               unsigned int options, bool allowPosix);

  // Registers the file systems of a JSON definition file (see the .cpp).
  // Null file: toolbox error 1; text that is not JSON: error 687 with the
  // file's "path".
  VError LoadFromDefinitionFile(VFile* file);
  VError LoadFromJSONArray(const VJSONArray* array);

 private:
  struct NameHash {
    size_t operator()(const VString& name) const { return name.GetHashValue(); }
  };
  struct NameEqual {
    bool operator()(const VString& a, const VString& b) const { return a.EqualToStringRaw(b); }
  };

  mutable VCriticalSection fMutex;
  std::unordered_map<VString, VRefPtr<VFileSystem>, NameHash, NameEqual> fMap;
  VFileSystemNamespace* fParent;
};

}  // namespace zeft
