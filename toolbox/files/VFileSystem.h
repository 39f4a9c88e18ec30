// VFileSystem is a named file system: a root folder that the process
// exposes under a short name, with access flags and an optional quota in
// bytes. Files and folders bound to one report their paths as
// "/NAME/relative/path" and are handed out only inside its root.
#pragma once

#include <atomic>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "files/VFilePath.h"

namespace zeft {

class IFolder;

// Access flags (unsigned bit set).
inline constexpr unsigned kFileSystemSpaceAccounting = 1;  // Request and Relinquish count
inline constexpr unsigned kFileSystemTemporary = 4;        // the root is deleted with it
inline constexpr unsigned kFileSystemHidden = 16;          // left out of look-ups with option 1

class VFileSystem : public VObject, public IRefCountable {
 public:
  // Retains the root; the bytes available are the quota minus the used
  // size, 0 when more than the quota is used.
  VFileSystem(const VString& name, IFolder* root, unsigned int flags, uint64 quota, uint64 used);
  ~VFileSystem() override;
  VFileSystem(const VFileSystem&) = delete;
  VFileSystem& operator=(const VFileSystem&) = delete;

  // A new file system; a name that is empty, null or holds '/' raises error
  // 686 (parameter "name"), stores it in `error` and gives null.
  static VFileSystem* Create(const VString& name, IFolder* root, unsigned int flags, uint64 quota,
                             uint64 used, VError* error);

  const VString& GetName() const { return fName; }
  unsigned int GetFlags() const { return fFlags; }
  uint64 GetQuota() const { return fQuota; }
  uint64 GetAvailable() const { return fAvailable.load(std::memory_order_relaxed); }
  // The root folder's path.
  VFilePath GetRoot() const;
  // The root folder bound to this file system (the caller releases it).
  IFolder* RetainRootFolder() const;

  // Counts `size` bytes as used, or gives them back; both return their
  // error without pushing it: 684 without flag 1, 685 when a request
  // exceeds what is available (nothing counted). A quota of 0 counts
  // nothing.
  VError Request(uint64 size);
  VError Relinquish(uint64 size);

  // The root folder's path or a path inside it.
  bool IsAuthorized(const VFilePath& path) const;
  // "/NAME/" and the POSIX path of `path` relative to the root; false (text
  // unchanged) when the path is not inside the root.
  bool GetNamedPath(const VFilePath& path, VString& text) const;

 private:
  VString fName;
  IFolder* fRoot;
  uint64 fQuota;
  unsigned int fFlags;
  std::atomic<uint64> fAvailable;
};

}  // namespace zeft
