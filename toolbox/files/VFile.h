// VFile is the toolbox's reference-counted file object: one file named by
// its path, with every file operation (open, create, copy, move, rename,
// delete, trash, sizes, times, attributes, permissions, volume space, links
// and aliases, whole-content reads and writes, temporary files). It
// forwards to its platform half XMacFile and turns a native failure into a
// file error carrying the path, pushed on the task's error stack. The path
// never changes: rename, move and copy hand back a new VFile.
//
// Links: a path made from the POSIX full path of an existing item names the
// item as the system does, every symbolic link resolved, the last one
// included. An object made from the POSIX path of a link therefore names
// the link's target: Delete, Rename and MoveToTrash on it act on the
// target, and the link stays, dangling. To act on the link itself, make
// the path from its folder's path and its name; the path of a dangling
// link names the link.
#pragma once

#include <atomic>
#include <cstddef>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "files/FileOptions.h"
#include "files/IFileSystemObject.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "files/mac/XMacFile.h"

namespace zeft {

class VFileDesc;
class VFileKind;
class VURL;
class VVolumeInfo;

class VFile : public VObject, public IFile {
 public:
  VFile(const VFile& other);
  explicit VFile(const VURL& url);
  VFile(const VString& fullPath, FilePathStyle style);
  // Bound to `fileSystem` when given.
  explicit VFile(const VFilePath& path, VFileSystem* fileSystem = nullptr);
  // `name`, a relative path in `style`, resolved against the folder path.
  VFile(const VFilePath& folder, const VString& name, FilePathStyle style);
  // Bound to the folder's file system when the file lies inside its root.
  VFile(const VFolder& folder, const VString& name, FilePathStyle style);
  // The platform half takes the POSIX text as given.
  VFile(const char* posixPath, const VFilePath& path, VFileSystem* fileSystem = nullptr);
  ~VFile() override;
  VFile& operator=(const VFile&) = delete;

  // Start-up and shut-down hooks of the file classes: error texts show
  // ':' paths as POSIX paths while the file classes are up.
  static bool Init();
  static void DeInit();

  // ---- Open, create, copy, move, delete

  // A new open file that the caller deletes; `out` is cleared first.
  VError Open(FileAccess access, VFileDesc** out, unsigned options = 0) const;
  // An empty file; an existing one is an error unless kFileOptionReplace replaces it.
  VError Create(unsigned options = 0) const;
  // Copies to `destination` (or into it under this name when it is a
  // folder path). With kFileOptionReplace an existing destination is replaced; a
  // destination that is this very file fails and nothing is touched.
  VError CopyTo(const VFilePath& destination, VFile** out, unsigned options = 0) const;
  VError CopyTo(const VFile& destination, unsigned options = 0) const;
  // Into the folder under this file's name.
  VError CopyTo(const VFolder& destination, VFile** out, unsigned options = 0) const;
  // Copies `source` onto this file's path; the error is raised on the source.
  VError CopyFrom(const VFile& source, unsigned options = 0) const;
  // A new name in the same folder; an existing item of that name is an error.
  VError Rename(const VString& name, VFile** out) const;
  VError Move(const VFilePath& destination, VFile** out, unsigned options = 0) const;
  VError Move(const VFile& destination, unsigned options = 0) const;
  VError Move(const VFolder& destination, VFile** out, unsigned options = 0) const;
  // A file that does not exist is no error for either.
  VError Delete() const override;
  VError MoveToTrash() const;

  // ---- Paths

  // The folder of the file with the file's file system, or null for an
  // invalid path; with `sandboxed`, null when that file system does not
  // hold the folder.
  VFolder* RetainParentFolder(bool sandboxed = false) const override;
  VFilePath GetPath() const override { return fPath; }
  // Style 1: the POSIX path; 0: the ':' text; any other style clears it.
  void GetPlatformPath(VString& path, FilePathStyle style) const override;
  // "/NAME/relative/path" inside the root of its file system, else the
  // POSIX path.
  VString GetPathWithFileSystem() const override;
  VFileSystem* GetFileSystem() const override { return fFileSystem; }
  bool Exists() const override;
  bool IsSameFile(const VFile* other) const;
  VError GetURL(VString& url, bool encoded) const;
  // The URL, without the folder's URL when it begins with it.
  VError GetRelativeURL(const VFolder* folder, VString& url, bool encoded) const;

  // ---- Sizes, times, attributes, volume

  VError GetSize(int64* size) const override;
  bool HasResourceFork() const;
  VError GetResourceForkSize(int64* size) const;
  VError GetTimeAttributes(VTime* modified, VTime* created, VTime* accessed) const override;
  VError SetTimeAttributes(const VTime* modified, const VTime* created,
                           const VTime* accessed) const;
  VError GetFileAttributes(unsigned& attributes) const;
  VError SetFileAttributes(unsigned attributes) const;
  // With a maximum age above 0, an answer of at most that many
  // milliseconds for the same `available` flag is reused. 0 and 0 on
  // failure.
  VError GetVolumeFreeSpace(int64* free, int64* total, bool available, unsigned maxAgeMs,
                            const VFileDesc* desc = nullptr) const;
  bool RevealInFinder() const;
  VError Unlock() const;

  // ---- Aliases (symbolic links)

  // The link's target; cleared on failure.
  VError ResolveAlias(VFilePath& target) const;
  // Replaces `*file` by the file its alias names; see VFile.cpp.
  static VError ResolveAliasFile(VFile** file, bool deleteIfUnresolved);
  static VError ResolveAliasFile(VRefPtr<VFile>& file, bool deleteIfUnresolved);
  // The file `name` of the folder, its alias resolved (and deleted when it
  // cannot be); null when that fails.
  static VFile* CreateAndResolveAlias(const VFolder& folder, const VString& name,
                                      FilePathStyle style);
  bool IsAliasFile() const;
  VError CreateAlias(const VFilePath& target, const VFilePath* relativeTo) const;

  // ---- Type codes, ownership, permissions, links

  // Whether the file is of the kind (its type identifier or extension);
  // false on any error, and for an identifier no kind is known for.
  bool ConformsTo(const VFileKind& kind) const;
  bool ConformsTo(const VString& kindID) const;
  VError MAC_GetKind(unsigned* kind) const;
  VError MAC_GetCreator(unsigned* creator) const;
  VError MAC_SetKind(unsigned kind) const;
  VError MAC_SetCreator(unsigned creator) const;
  VError Mac_GetOwner(unsigned& uid, unsigned& gid) const;
  void MAC_SetExtensionVisible(bool visible) const;
  VError MAC_MakeWritableByAll() const;
  bool MAC_IsWritableByAll() const;
  // The nine permission bits; 0 on failure.
  VError MAC_SetPermissions(unsigned short mode) const;
  VError MAC_GetPermissions(unsigned short* mode) const;
  bool MAC_IsSymbolicLink() const;
  VError MAC_CreateSymbolicLink(const VFilePath& target, bool absolute) const;

  // ---- Whole content

  VError GetContent(VMemoryBuffer<>& content) const override;
  VError GetData(void* buffer, size_t size, size_t* read) const override;
  // Creates the missing folders, then replaces the whole content.
  VError SetContent(const void* data, size_t size) const override;
  VError AppendContent(const void* data, size_t size) const override;
  // Whether the file opens for writing with an exclusive lock now; leaves
  // no error behind.
  bool IsWritable() const override;

  // A new empty file "zft_" + 32 hexadecimal digits in the temporary
  // folder, or null.
  static VFile* CreateTemporaryFile();

  const XMacFile& GetImpl() const { return fFile; }

 private:
  // `out` receives the new file bound to `fileSystem` (may be null).
  VError _CopyOrMove(bool copy, const VFilePath& destination, VFileSystem* fileSystem, VFile** out,
                     unsigned options) const;
  // This file's file system when it holds `destination`, else null.
  VFileSystem* _FileSystemFor(const VFilePath& destination) const;

  XMacFile fFile;
  VFilePath fPath;
  VFileSystem* fFileSystem = nullptr;
  mutable std::atomic<VVolumeInfo*> fVolumeInfo{nullptr};
};

}  // namespace zeft
