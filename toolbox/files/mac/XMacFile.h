// XMacFile is the platform half of VFile: the object every VFile holds and
// forwards to. It keeps the file's POSIX path and works on it with the
// POSIX calls and the platform layer's item services (copy, move, trash).
// Its static functions are shared with the folder implementation: the
// conversions between POSIX paths and the ':' paths of mounted volumes, and
// the attribute, time, permission and volume helpers that take a path.
//
// Results are native codes (component POSX with errno); nothing is pushed
// on the error stack (but by ResolveAlias of a file that is no link): the
// portable class turns them into file errors.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "files/FileOptions.h"

namespace zeft {

namespace platform {
struct PathError;
}

class VFile;
class VFileDesc;
class VFileKind;
class VFilePath;
class VTime;

class XMacFile : public VObject {
 public:
  XMacFile() = default;
  // Takes a copy of the POSIX text (null leaves it empty).
  explicit XMacFile(const char* posixPath);
  ~XMacFile() override;
  XMacFile(const XMacFile&) = delete;
  XMacFile& operator=(const XMacFile&) = delete;

  // Binds the owner; a path not given to the constructor is taken from it.
  void Init(VFile* owner);
  const char* GetPosixPathText() const { return fPosixPath; }

  // ---- Paths (static)

  // The full POSIX path of `path` as NUL-terminated UTF-8 from the memory
  // manager (the caller frees it with VMemory::DisposePtr); one NUL byte
  // when the text cannot be converted; null when memory runs out.
  static char* AllocatePosixPathFromFilePath(const VFilePath& path);
  static char* AllocatePosixPathFromString(const VString& posixPath);
  // A copy of the text from the memory manager, its bytes as they are; null
  // for null or when memory runs out.
  static char* CopyPosixPath(const char* posixPath);
  // Null clears `path`; otherwise the UTF-8 text, given a trailing '/' for
  // a folder, set as a POSIX full path.
  static void GetFilePathFromPosixPath(const char* posixPath, bool isFolder, VFilePath& path);
  // The last component (a trailing '/' ignored) begins with '.'.
  static bool PosixNameBeginsWithDot(const char* posixPath);
  // The volume name of a mount point, cut to size - 1 bytes and a NUL.
  static bool GetVolumeNameFromMountPath(const char* mountPath, char* name, size_t size);
  // The ':' path of a full POSIX path: the volume's name, then the
  // components; "." goes, ".." climbs, a run of '/' is one separator.
  // `itself` names the volume of the item (else of its folder); the item
  // itself is then taken with its links resolved. Items that do not exist
  // are converted from their nearest existing ancestor. Paths over 1024
  // bytes fail.
  static bool PosixFullPathToHFS(const char* posixPath, bool itself, VString& hfsPath);
  // The POSIX path of a ':' path through its volume's mount point; a volume
  // that is not mounted gives "/<name>/..." and false.
  static bool HFSFullPathToPosix(const VString& hfsPath, VString& posixPath);

  // ---- Open, create, copy, move (XMacFileOperations.cpp)

  VError Create(unsigned options) const;
  // The open descriptor in `fd` (-1 on failure) and 0, or the bare errno;
  // a lock held elsewhere is EACCES.
  int _Open(FileAccess access, unsigned options, int* fd) const;
  // A new descriptor for the owner that the caller deletes.
  VError Open(FileAccess access, unsigned options, VFileDesc** out) const;
  // `destination` is the copy's path, or a folder path to copy into under
  // the file's name. `out` receives a new VFile of the copy, or null.
  VError Copy(const VFilePath& destination, VFile** out, unsigned options) const;
  VError Move(const VFilePath& destination, VFile** out, unsigned options) const;
  // Renames `from` to `to`; an existing item at `to` is an error.
  static VError RenamePath(const char* from, const VFilePath& to);
  // Copies (or moves) the item at `from` to the path `to` itself, outside
  // the fiber; an existing item at `to` is replaced only when asked.
  static VError TransferItem(bool copy, const char* from, const VFilePath& to, bool replace);
  // Moves the item at `path` to the Trash.
  static VError TrashPath(const char* path);
  VError Rename(const VString& name, VFile** out) const;
  VError Delete() const;
  VError MoveToTrash() const;
  // A regular file or a symbolic link (of any target) is there.
  bool Exists() const;
  VError GetPosixPath(VString& path) const;
  // The item at `target` may be replaced by a new file without losing
  // anything: a regular file (no link) of one name.
  static bool IsReplaceable(const char* target);
  // Makes an empty file beside `target` under a hidden unique name, with the
  // target's permissions and owner, to take the target's new content before
  // it replaces it. False, nothing left behind, when `target` is gone, its
  // folder takes no new file or the owner cannot be kept.
  static bool CreateReplacement(const char* target, std::string& replacement);
  // Flushes the written replacement to disk and renames it over `target`;
  // 0 or the errno, the replacement removed on failure.
  static int CommitReplacement(const std::string& replacement, const char* target);
  // Removes a replacement that will not be committed.
  static void DiscardReplacement(const std::string& replacement);
  // Runs `work` where it blocks no other task: on a thread of its own while
  // a fiber task waits for it, on the calling thread otherwise.
  static void RunOutsideFiber(const std::function<void()>& work);
  // The error code of a platform file operation's outcome: 0 or its errno.
  static VError PathResult(const platform::PathError& error);

  // ---- Times and attributes (XMacFileAttributes.cpp)

  // Modification, creation (birth; the status change where the file
  // system keeps none) and access times; each pointer may be null.
  static VError GetTimeAttributes(const char* path, bool follow, VTime* modified, VTime* created,
                                  VTime* accessed);
  VError GetTimeAttributes(VTime* modified, VTime* created, VTime* accessed) const;
  // Sets the given modification and access times of the item itself (a
  // link is not followed); a creation time cannot be set and is ignored.
  static VError SetTimeAttributes(const char* path, const VTime* modified, const VTime* created,
                                  const VTime* accessed);
  VError SetTimeAttributes(const VTime* modified, const VTime* created,
                           const VTime* accessed) const;
  // Locked: the immutable inode flag; hidden: a name beginning with '.'.
  static VError GetPathAttributes(const char* path, bool follow, unsigned& attributes);
  VError GetFileAttributes(unsigned& attributes) const;
  // Sets or clears the immutable flag (privileged) of a file or folder.
  // Hiding an item whose name does not begin with '.' is refused (ENOTSUP).
  static VError SetPathAttributes(const char* path, bool follow, unsigned attributes);
  VError SetFileAttributes(unsigned attributes) const;

  // ---- Permissions and ownership

  // The nine permission bits (0 on failure); a link reports 0777.
  VError GetPermissions(unsigned short* mode) const;
  // A link has no mode of its own: EOPNOTSUPP, its target unchanged.
  VError SetPermissions(unsigned short mode) const;
  VError MakeWritableByAll() const;
  bool IsWritableByAll() const;
  VError GetOwner(unsigned& uid, unsigned& gid) const;
  // What the calling process may do with the item: 4 read, 2 write, 1
  // execute, summed.
  static VError GetEffectivePermission(const char* path, unsigned& permission);
  // The groups of `user` with `group` among them, through getgrouplist,
  // asked again with the count the system reports while the room of
  // `capacity` entries is short.
  static bool GetUserGroups(const char* user, gid_t group, int capacity,
                            std::vector<gid_t>& groups);
  // Clears the immutable flag and, for an owner or root, adds owner read
  // and write (and search for a folder).
  static VError UnlockPath(const char* path);
  VError Unlock() const;

  // ---- Volume, desktop, links and aliases

  // Free (available to the user, or all) and total bytes of the volume of
  // the open file, else of the item, else of its folder.
  static VError GetVolumeFreeSpace(const char* path, int64* free, int64* total, bool available,
                                   const VFileDesc* desc);
  VError GetVolumeFreeSpace(int64* free, int64* total, bool available, const VFileDesc* desc) const;
  VError RevealInFinder() const;
  bool IsSymbolicLink() const;
  VError ReadSymbolicLink(VString& target) const;
  // Replaces the item with a link to `target`: its absolute POSIX path, or
  // a path relative to the link's folder.
  VError CreateSymbolicLink(const VFilePath& target, bool absolute) const;
  // Aliases are symbolic links.
  bool IsAliasFile() const;
  // The final target of the link, resolved without opening anything; only
  // a folder or a regular file is a target.
  VError ResolveAlias(VFilePath& target) const;
  // A link to `target`, relative when `relativeTo` is given.
  VError CreateAlias(const VFilePath& target, const VFilePath* relativeTo) const;

  // ---- Sizes, forks, type codes

  VError GetSize(int64* size) const;
  // A file has one fork here: no resource fork.
  VError GetResourceForkSize(int64* size) const;
  bool HasResourceFork() const { return false; }
  VError GetKind(unsigned* kind) const;
  VError GetCreator(unsigned* creator) const;
  VError SetKind(unsigned) const { return VE_OK; }
  VError SetCreator(unsigned) const { return VE_OK; }
  void GetFinderComment(VString&) const {}
  void SetFinderComment(VString&) const {}
  // Kept in the extended attribute "user.zeft.hidden-extension".
  void SetExtensionVisible(bool visible) const;

  // ---- Type identifiers and kinds (XMacFileKinds.cpp), from the platform's
  // type database

  // The file's type identifier: that of its extension, else "public.data"
  // ("public.folder" for a folder); cleared, with the native error, when
  // the item cannot be examined.
  VError GetUTIString(VString& identifier) const;
  // A public kind from the identifier's declaration; null when undeclared.
  static VFileKind* CreatePublicFileKind(const VString& identifier);
  // The kind owning the four-character type (the text's first four bytes)
  // or the extension; null when none.
  static VFileKind* CreatePublicFileKindFromOsKind(const VString& osType);
  static VFileKind* CreatePublicFileKindFromExtension(const VString& extension);
  // The file conforms to a public kind through its identifier or matches
  // its extension; to another kind by its extension only.
  VError ConformsTo(const VFileKind& kind, bool* conforms) const;
  static bool IsFileKindConformsTo(const VFileKind& kind, const VFileKind& other);

 private:
  VError _CopyOrMove(bool copy, const VFilePath& destination, VFile** out, unsigned options) const;

  VFile* fOwner = nullptr;
  char* fPosixPath = nullptr;
};

}  // namespace zeft
