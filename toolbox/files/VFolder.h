// VFolder is the toolbox's reference-counted folder object: one folder named
// by its path, with every folder operation (existence, creation with missing
// parents, deletion plain, with contents or forced, the Trash, listing and
// iteration, copy, move and rename, times, volume space, permissions and
// owner, URLs, links standing for folders, relative files and folders, and
// the system folders). It forwards to its platform half XMacFolder and turns
// a native failure into a file error carrying the path, pushed on the task's
// error stack. The path never changes: rename, move and copy hand back a new
// VFolder.
//
// Links: a path made from the POSIX full path of an existing item names the
// item as the system does, every symbolic link resolved, the last one
// included. An object made from the POSIX path of a link therefore names
// the link's target: Delete, Rename and MoveToTrash on it act on the
// target, and the link stays, dangling. To act on the link itself, make
// the path from its folder's path and its name; the path of a dangling
// link names the link.
#pragma once

#include <functional>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "files/IFileSystemObject.h"
#include "files/VFilePath.h"
#include "files/mac/XMacFolder.h"

namespace zeft {

class VFile;

// Options of CopyTo and CopyContentsTo (unsigned bit set).
inline constexpr unsigned kFolderCopyReplace = 4;         // replace an existing destination
inline constexpr unsigned kFolderCopyContinue = 8;        // go on after an error
inline constexpr unsigned kFolderCopySkipInvisible = 16;  // leave invisible entries out

class VFolder : public VObject, public IFolder {
 public:
  // Bound to `fileSystem` when given.
  explicit VFolder(const VFilePath& path, VFileSystem* fileSystem = nullptr);
  VFolder(const VFolder& other);
  VFolder(const VString& fullPath, FilePathStyle style);
  // The folder `relative` (a relative path in `style`) below `parent`.
  // Bound to the parent's file system while inside its root.
  VFolder(const VFolder& parent, const VString& relative, FilePathStyle style);
  // The platform half takes the POSIX text as given (the enumerations).
  VFolder(const char* posixPath, const VFilePath& path, VFileSystem* fileSystem = nullptr);
  ~VFolder() override;
  VFolder& operator=(const VFolder&) = delete;

  // ---- Existence, creation, deletion

  // A folder path with a folder there (links followed).
  bool Exists() const override;
  // 0 when the folder exists already.
  VError Create() const;
  // Creates the missing ancestors, then the folder; with the flag, each
  // folder it creates gets mode 0777.
  VError CreateRecursive(bool makeWritableByAll = false) const;
  VError MakeWritableByAll() const;
  // No folder, file or link in it, invisible ones included (true when the
  // folder does not exist).
  bool IsEmpty() const;
  // Without `withContents` a folder that is not empty fails (651) and stays.
  // With it the tree is deleted fd-relative, links removed as themselves.
  VError Delete(bool withContents) const;
  // Deletes the files and links, and with `withFolders` the sub-folders,
  // item by item; stops at the first error.
  VError DeleteContents(bool withFolders) const;
  // Deletes the whole tree even where the caller must first give itself
  // access to its own read-only folders.
  VError DeleteForced() const;
  // 0 without doing anything when the folder does not exist.
  VError MoveToTrash() const;

  // ---- Contents

  // Appends the visible files and sub-folders (links counted as files).
  void GetContents(std::vector<VRefPtr<VFile>>* files,
                   std::vector<VRefPtr<VFolder>>* folders) const;
  void GetElements(std::vector<VRefPtr<IFile>>* files,
                   std::vector<VRefPtr<IFolder>>* folders) const override;
  // Calls `visitor` for the entries the enumeration options select; with
  // option 1 it descends into every sub-folder enumerated.
  void Iterate(std::function<bool(IFileAttributeAccessor*)>&& visitor,
               unsigned options) const override;

  // ---- Times, volume, desktop

  VError GetTimeAttributes(VTime* modified, VTime* created, VTime* accessed) const override;
  VError SetTimeAttributes(const VTime* modified, const VTime* created,
                           const VTime* accessed) const;
  VError GetVolumeCapacity(int64* total) const;
  // `available`: the space available to the user rather than all free space.
  VError GetVolumeFreeSpace(int64* free, bool available = true) const;
  // Shows the folder (with `inside`, its first file or sub-folder).
  bool RevealInFinder(bool inside = false) const;

  // ---- Rename, move, copy

  // An existing item of that name is an error. `out` (when given) receives
  // the folder on its new path, or null.
  VError Rename(const VString& name, VFolder** out) const;
  VError Move(const VFolder& destParent, VFolder** out) const;
  // An empty name keeps the folder's own.
  VError Move(const VFolder& destParent, const VString& name, VFolder** out) const;
  VError CopyTo(const VFolder& destParent, VFolder** out, unsigned options = 0) const;
  // Copies the folder into `destParent` under `name`. With kFolderCopyReplace an
  // existing destination is replaced whole once the copy is complete; a
  // destination that is this folder, holds it or lies inside it fails (660)
  // and nothing is touched. `out` receives the destination, even on failure.
  VError CopyTo(const VFolder& destParent, const VString& name, VFolder** out,
                unsigned options = 0) const;
  // Copies the entries into `dest`, made when missing.
  VError CopyContentsTo(const VFolder& dest, unsigned options = 0) const;

  // ---- Paths and relatives

  // The parent with this folder's file system while that holds it; else
  // without one, or null with `sandboxed`.
  VFolder* RetainParentFolder(bool sandboxed = false) const override;
  // The folder below this one, bound to `fileSystem` (this folder's when
  // null); null when the text names no folder path or one outside the file
  // system's root.
  VFolder* RetainRelativeFolder(const VString& relative, FilePathStyle style,
                                VFileSystem* fileSystem = nullptr) const override;
  // The file below this one with this folder's file system; null when the
  // text names no file path or one outside the file system's root.
  VFile* RetainRelativeFile(const VString& relative, FilePathStyle style) const;
  IFile* _RetainRelativeIFile(const VString& relative, FilePathStyle style) const override;
  VFilePath GetPath() const override { return fPath; }
  // Style 0: the ':' text; 1: the POSIX path; any other style clears it.
  void GetPlatformPath(VString& path, FilePathStyle style) const override;
  // "/NAME/relative/path/" inside the root of its file system, else the
  // POSIX path.
  VString GetPathWithFileSystem() const override;
  VFileSystem* GetFileSystem() const override { return fFileSystem; }
  // The system folder of that kind, made when `create` asks for it; null
  // (and no error) when there is none.
  static VFolder* RetainSystemFolder(ESystemFolderKind kind, bool create);

  // ---- Attributes, permissions, owner

  // 1 locked, 2 invisible (links followed); the platform's result.
  VError GetFolderAttributes(unsigned& attributes) const;
  VError SetFolderAttributes(unsigned attributes) const;
  VError IsHidden(bool& hidden) const;
  // Others may write.
  bool IsWritableByAll() const;
  bool MAC_IsPackage() const;
  // The nine permission bits (0 on failure).
  VError MAC_SetPermissions(unsigned short mode) const;
  VError MAC_GetPermissions(unsigned short* mode) const;
  VError Mac_GetOwner(unsigned& uid, unsigned& gid) const;

  // ---- URLs and links

  // Always 0.
  VError GetURL(VString& url, bool encoded) const;
  // The absolute URL without `base`'s when it begins with it; always 0.
  VError GetRelativeURL(const VFolder* base, VString& url, bool encoded) const;
  // When `*folder` names a link rather than a folder, replaces it by the
  // folder the link resolves to; a link to no folder is deleted with
  // `deleteInvalid`, else an error.
  static VError ResolveAliasFolder(VFolder** folder, bool deleteInvalid);
  // The sub-folder `name` of `parent`, a link there resolved (a broken one
  // deleted); null on error.
  static VFolder* CreateAndResolveAlias(const VFolder& parent, const VString& name);

  const XMacFolder& GetImpl() const { return fFolder; }

 private:
  // Fails with 660 when `dest` is this folder or lies inside it.
  VError _RefuseCopyInto(const VFolder& dest) const;

  XMacFolder fFolder;
  VFilePath fPath;
  VFileSystem* fFileSystem = nullptr;
};

}  // namespace zeft
