// XMacFolder is the platform half of VFolder: the object every VFolder holds
// and forwards to. It keeps the folder's POSIX path and works on it with the
// POSIX calls and the platform layer's item services (copy, move, trash,
// forced tree deletion, system folders, package test, reveal).
//
// Results are native codes (component POSX with errno); nothing is pushed
// on the error stack but the failure to set a parent folder back after a
// forced deletion: VFolder turns the results into file errors.
#pragma once

#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VString.h"

namespace zeft {

class VFilePath;
class VFolder;
class VTime;

// The system folders of RetainSystemFolder.
enum ESystemFolderKind : int32 {
  kSystemFolderExecutable = 0,  // the folder of the running executable
  kSystemFolderDocuments = 1,
  kSystemFolderTemporary = 2,
  kSystemFolderNone = 3,  // no folder
  kSystemFolderSharedSupport = 4,
  kSystemFolderUserSupport = 5,
  kSystemFolderSharedSupport2 = 6,
  kSystemFolderUserSupport2 = 7,
  kSystemFolderDesktop = 8,
  kSystemFolderApplications = 9,
  kSystemFolderSharedCaches = 10,
  kSystemFolderUserCaches = 11,
  kSystemFolderUserPreferences = 12,
};

class XMacFolder : public VObject {
 public:
  XMacFolder() = default;
  // Takes a copy of the POSIX text (null leaves the path to Init).
  explicit XMacFolder(const char* posixPath);
  ~XMacFolder() override;
  XMacFolder(const XMacFolder&) = delete;
  XMacFolder& operator=(const XMacFolder&) = delete;

  // Binds the owner; a path not given to the constructor is taken from it.
  void Init(VFolder* owner);
  // The POSIX path, composed; always 0.
  VError GetPosixPath(VString& path) const;
  const char* GetPosixPathText() const { return fPosixPath; }

  // A folder stands there (with `follow`, a link to one counts).
  bool Exists(bool follow) const;
  VError Create() const;
  // Removes the empty folder.
  VError Delete() const;
  // Removes the folder and everything below it, fd-relative and never
  // following a link; items the caller owns but may not enter or change are
  // given owner access first, and so is the folder's own parent, which gets
  // its mode back afterwards (a failure of that is pushed as a file error).
  VError DeleteForced() const;
  VError MoveToTrash() const;
  // Opens the folder's parent in the desktop's file manager; ENOTSUP
  // without a desktop.
  VError RevealInFinder() const;
  // Names beginning with '.' are hidden (the system keeps no hidden flag).
  VError IsHidden(bool& hidden) const;
  // A new name in the same parent; an existing item of that name is an
  // error. `out`, when given, receives the folder on the new path, or null.
  VError Rename(const VString& name, VFolder** out) const;
  // Into `destParent` under `name` (null or empty: the folder's own name);
  // an existing destination is an error.
  VError Move(const VFolder& destParent, const VString* name, VFolder** out) const;
  // Copies the whole tree to `destParent` under `name`; an existing
  // destination is an error unless `replace`, which exchanges the complete
  // copy with it.
  VError CopyToFolder(const VFolder& destParent, const VString& name, bool replace) const;
  VError CopyToNonExistingFolder(const VFolder& destParent, const VString& name) const {
    return CopyToFolder(destParent, name, false);
  }

  VError GetTimeAttributes(VTime* modified, VTime* created, VTime* accessed) const;
  VError SetTimeAttributes(const VTime* modified, const VTime* created,
                           const VTime* accessed) const;
  VError GetVolumeCapacity(int64* total) const;
  VError GetVolumeFreeSpace(int64* free, bool available) const;
  VError GetFolderAttributes(unsigned& attributes) const;
  VError SetFolderAttributes(unsigned attributes) const;

  VError MakeWritableByAll() const;
  // The nine permission bits; 0 on failure.
  VError GetPermissions(unsigned short* mode) const;
  VError SetPermissions(unsigned short mode) const;
  // Others may write (the others-write bit).
  bool IsWritableByAll() const;
  // The calling process may enter the folder.
  bool IsTraversable() const;
  // A folder holding Contents/Info.plist.
  bool IsPackage() const;
  VError GetOwner(unsigned& uid, unsigned& gid) const;

  // The folder of that kind (made when `create` asks for it) in `out`, left
  // unchanged when there is none.
  static VError RetainSystemFolder(ESystemFolderKind kind, bool create, VFolder** out);

 private:
  VFolder* fOwner = nullptr;
  char* fPosixPath = nullptr;
};

}  // namespace zeft
