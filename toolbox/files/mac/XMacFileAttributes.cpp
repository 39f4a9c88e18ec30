// The file object's metadata: times, the locked and hidden bits,
// permissions, volume space, symbolic links and aliases, sizes. The static
// functions take a path and serve the folder implementation too.
#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "core/VMemory.h"
#include "files/VFile.h"
#include "files/VFileDesc.h"
#include "files/VFileError.h"
#include "files/VFilePath.h"
#include "files/mac/XMacFile.h"
#include "files/mac/XMacFileDesc.h"
#include "platform/DirectoryWalk.h"
#include "platform/ItemKind.h"
#include "platform/UserEnvironment.h"
#include "platform/Workspace.h"
#include "runtime/VErrorThrow.h"
#include "values/VTime.h"

namespace zeft {

namespace {

constexpr char kHiddenExtensionAttribute[] = "user.zeft.hidden-extension";
// The room of the first group-list request.
constexpr int kGroupListCapacity = 100;

// The status of the item (links followed or not) with its inode flags;
// 0 or the errno.
int StatItem(const char* path, bool follow, struct statx& info) {
  if (path == nullptr) return ENOENT;
  const int flags = follow ? 0 : AT_SYMLINK_NOFOLLOW;
  if (::statx(AT_FDCWD, path, flags, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) return errno;
  return 0;
}

bool IsImmutable(const struct statx& info) {
  return (info.stx_attributes_mask & STATX_ATTR_IMMUTABLE) != 0 &&
         (info.stx_attributes & STATX_ATTR_IMMUTABLE) != 0;
}

// Sets or clears the immutable flag of a regular file or folder (other
// items are never opened: a device or FIFO must not be touched); the
// flag needs privilege to change. 0 or the errno.
int SetImmutable(const char* path, bool follow, const struct statx& info, bool immutable) {
  if (!S_ISREG(info.stx_mode) && !S_ISDIR(info.stx_mode)) return ENOTSUP;
  const int fd =
      ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW) | O_NOCTTY);
  if (fd < 0) return errno;
  int flags = 0;
  int error = 0;
  if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
    error = errno;
  } else {
    flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0) error = errno;
  }
  ::close(fd);
  return error;
}

void SetTime(VTime* time, const struct statx_timestamp& stamp) {
  if (time == nullptr) return;
  const time_t seconds = time_t(stamp.tv_sec);
  struct tm parts;
  if (::gmtime_r(&seconds, &parts) == nullptr) return;
  time->FromUTCTime(int16(parts.tm_year + 1900), int16(parts.tm_mon + 1), int16(parts.tm_mday),
                    int16(parts.tm_hour), int16(parts.tm_min), int16(parts.tm_sec),
                    int16(stamp.tv_nsec / 1000000));
}

struct timespec ToTimespec(const VTime* time) {
  struct timespec result = {0, UTIME_OMIT};
  if (time == nullptr) return result;
  int16 year, month, day, hour, minute, second, millisecond;
  time->GetUTCTime(year, month, day, hour, minute, second, millisecond);
  struct tm parts = {};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  result.tv_sec = ::timegm(&parts);
  result.tv_nsec = long(millisecond) * 1000000;
  return result;
}

// The owner's, group's or others' three bits as 4, 2, 1.
unsigned ClassBits(mode_t mode, int shift) { return (mode >> shift) & 7; }

}  // namespace

// ---- Times and attributes

VError XMacFile::GetTimeAttributes(const char* path, bool follow, VTime* modified, VTime* created,
                                   VTime* accessed) {
  struct statx info;
  if (const int error = StatItem(path, follow, info); error != 0) return PosixError(error);
  SetTime(modified, info.stx_mtime);
  SetTime(created, (info.stx_mask & STATX_BTIME) != 0 ? info.stx_btime : info.stx_ctime);
  SetTime(accessed, info.stx_atime);
  return VE_OK;
}

VError XMacFile::GetTimeAttributes(VTime* modified, VTime* created, VTime* accessed) const {
  return GetTimeAttributes(fPosixPath, false, modified, created, accessed);
}

VError XMacFile::SetTimeAttributes(const char* path, const VTime* modified, const VTime*,
                                   const VTime* accessed) {
  if (path == nullptr) return PosixError(ENOENT);
  // The order of utimensat: access, then modification.
  const struct timespec times[2] = {ToTimespec(accessed), ToTimespec(modified)};
  if (::utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW) != 0) return PosixError(errno);
  return VE_OK;
}

VError XMacFile::SetTimeAttributes(const VTime* modified, const VTime* created,
                                   const VTime* accessed) const {
  return SetTimeAttributes(fPosixPath, modified, created, accessed);
}

VError XMacFile::GetPathAttributes(const char* path, bool follow, unsigned& attributes) {
  attributes = 0;
  struct statx info;
  if (const int error = StatItem(path, follow, info); error != 0) return PosixError(error);
  if (IsImmutable(info)) attributes |= kFileAttributeLocked;
  if (PosixNameBeginsWithDot(path)) attributes |= kFileAttributeHidden;
  return VE_OK;
}

VError XMacFile::GetFileAttributes(unsigned& attributes) const {
  return GetPathAttributes(fPosixPath, false, attributes);
}

VError XMacFile::SetPathAttributes(const char* path, bool follow, unsigned attributes) {
  struct statx info;
  if (const int error = StatItem(path, follow, info); error != 0) return PosixError(error);
  // Only a dot name hides an item; clearing the bit of one changes nothing.
  if ((attributes & kFileAttributeHidden) != 0 && !PosixNameBeginsWithDot(path)) {
    return PosixError(ENOTSUP);
  }
  const bool locked = (attributes & kFileAttributeLocked) != 0;
  if (locked == IsImmutable(info)) return VE_OK;
  const int error = SetImmutable(path, follow, info, locked);
  return PosixResult(error);
}

VError XMacFile::SetFileAttributes(unsigned attributes) const {
  return SetPathAttributes(fPosixPath, false, attributes);
}

// ---- Permissions and ownership

VError XMacFile::GetPermissions(unsigned short* mode) const {
  *mode = 0;
  struct stat info;
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  if (::lstat(fPosixPath, &info) != 0) return PosixError(errno);
  *mode = S_ISLNK(info.st_mode) ? 0777 : (info.st_mode & 0777);
  return VE_OK;
}

VError XMacFile::SetPermissions(unsigned short mode) const {
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  // Never through a link: a link has no mode, and its target is not ours
  // to change.
  if (::fchmodat(AT_FDCWD, fPosixPath, mode & 0777, AT_SYMLINK_NOFOLLOW) != 0) {
    return PosixError(errno);
  }
  return VE_OK;
}

VError XMacFile::MakeWritableByAll() const {
  struct stat info;
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  if (::lstat(fPosixPath, &info) != 0) return PosixError(errno);
  return SetPermissions((info.st_mode | 0666) & 0777);
}

bool XMacFile::IsWritableByAll() const {
  struct stat info;
  return fPosixPath != nullptr && ::lstat(fPosixPath, &info) == 0 && (info.st_mode & 0002) != 0;
}

VError XMacFile::GetOwner(unsigned& uid, unsigned& gid) const {
  struct stat info;
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  if (::stat(fPosixPath, &info) != 0) return PosixError(errno);
  uid = info.st_uid;
  gid = info.st_gid;
  return VE_OK;
}

bool XMacFile::GetUserGroups(const char* user, gid_t group, int capacity,
                             std::vector<gid_t>& groups) {
  int count = capacity > 0 ? capacity : 1;
  // The list can grow between two requests: ask again while it is short.
  for (int attempt = 0; attempt < 8; ++attempt) {
    groups.resize(size_t(count));
    int found = count;
    if (::getgrouplist(user, group, groups.data(), &found) >= 0) {
      groups.resize(size_t(found));
      return true;
    }
    if (found <= count) break;
    count = found;
  }
  groups.clear();
  return false;
}

VError XMacFile::GetEffectivePermission(const char* path, unsigned& permission) {
  permission = 0;
  struct statx info;
  if (const int error = StatItem(path, false, info); error != 0) return PosixError(error);
  const uid_t user = ::geteuid();
  if (user == 0) {
    permission = 7;
    return VE_OK;
  }
  if (IsImmutable(info)) return VE_OK;
  if (info.stx_uid == user) {
    permission = ClassBits(info.stx_mode, 6);
    return VE_OK;
  }
  platform::UserAccount account;
  if (!platform::GetUserAccount(user, account)) return PosixError(errno);
  std::vector<gid_t> groups;
  if (!GetUserGroups(account.fName.c_str(), account.fGroup, kGroupListCapacity, groups)) {
    return PosixError(ENOMEM);
  }
  for (gid_t group : groups) {
    if (group == info.stx_gid) {
      permission = ClassBits(info.stx_mode, 3);
      return VE_OK;
    }
  }
  permission = ClassBits(info.stx_mode, 0);
  return VE_OK;
}

VError XMacFile::UnlockPath(const char* path) {
  struct statx info;
  if (const int error = StatItem(path, false, info); error != 0) return PosixError(error);
  if (IsImmutable(info)) {
    if (const int error = SetImmutable(path, false, info, false); error != 0) {
      return PosixError(error);
    }
  }
  const uid_t user = ::geteuid();
  if ((user != 0 && info.stx_uid != user) || S_ISLNK(info.stx_mode)) return VE_OK;
  const mode_t wanted = S_ISDIR(info.stx_mode) ? 0700 : 0600;
  if ((info.stx_mode & wanted) == wanted) return VE_OK;
  if (::fchmodat(AT_FDCWD, path, (info.stx_mode | wanted) & 07777, AT_SYMLINK_NOFOLLOW) != 0) {
    return PosixError(errno);
  }
  return VE_OK;
}

VError XMacFile::Unlock() const { return UnlockPath(fPosixPath); }

// ---- Volume, desktop, links and aliases

VError XMacFile::GetVolumeFreeSpace(const char* path, int64* free, int64* total, bool available,
                                    const VFileDesc* desc) {
  struct statfs info;
  if (desc != nullptr) {
    if (::fstatfs(desc->GetImpl().GetDescriptor(), &info) != 0) return PosixError(errno);
  } else {
    if (path == nullptr) return PosixError(ENOENT);
    // A link lies on its folder's volume; a missing item will too.
    struct stat item;
    const bool itself = ::lstat(path, &item) == 0 && !S_ISLNK(item.st_mode);
    if (!itself || ::statfs(path, &info) != 0) {
      std::string folder, name;
      if (platform::SplitItemPath(path, folder, name) != 0) return PosixError(ENOENT);
      if (::statfs(folder.c_str(), &info) != 0) return PosixError(errno);
    }
  }
  const uint64 blocks = available ? info.f_bavail : info.f_bfree;
  if (free != nullptr) *free = int64(blocks * uint64(info.f_bsize));
  if (total != nullptr) *total = int64(uint64(info.f_blocks) * uint64(info.f_bsize));
  return VE_OK;
}

VError XMacFile::GetVolumeFreeSpace(int64* free, int64* total, bool available,
                                    const VFileDesc* desc) const {
  return GetVolumeFreeSpace(fPosixPath, free, total, available, desc);
}

VError XMacFile::RevealInFinder() const {
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  const int error = platform::RevealItem(fPosixPath);
  return PosixResult(error);
}

bool XMacFile::IsSymbolicLink() const {
  struct stat info;
  return fPosixPath != nullptr && ::lstat(fPosixPath, &info) == 0 && S_ISLNK(info.st_mode);
}

VError XMacFile::ReadSymbolicLink(VString& target) const {
  target.Clear();
  struct stat info;
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  if (::lstat(fPosixPath, &info) != 0) return PosixError(errno);
  // Some file systems report a size of 0: grow until the text fits.
  std::string text(size_t(info.st_size) * 2 + 10, '\0');
  for (;;) {
    const ssize_t length = ::readlink(fPosixPath, text.data(), text.size());
    if (length < 0) return PosixError(errno);
    if (size_t(length) < text.size()) {
      text.resize(size_t(length));
      break;
    }
    text.resize(text.size() * 2);
  }
  target.FromBlock(text.data(), text.size(), kCharSetUTF8);
  return VE_OK;
}

VError XMacFile::CreateSymbolicLink(const VFilePath& target, bool absolute) const {
  if (fPosixPath == nullptr || fOwner == nullptr) return PosixError(ENOENT);
  VString text;
  target.GetPosixPath(text);
  if (!absolute) {
    // Climb from the link's folder until the target lies below it.
    VFilePath folder = fOwner->GetPath();
    folder.ToParent();
    VString prefix;
    VString relative;
    bool found = target.GetRelativePosixPath(folder, relative);
    while (!found && folder.HasParent()) {
      folder.ToParent();
      prefix.AppendCString("../");
      found = target.GetRelativePosixPath(folder, relative);
    }
    if (found && !relative.IsEmpty()) {
      text = prefix;
      text.AppendString(relative);
    }
  }
  char* linkText = AllocatePosixPathFromString(text);
  if (linkText == nullptr) return ToolboxError(toolbox_error::kMemoryFull);
  ::unlink(fPosixPath);
  const int error = ::symlink(linkText, fPosixPath) == 0 ? 0 : errno;
  VMemory::DisposePtr(linkText);
  return PosixResult(error);
}

bool XMacFile::IsAliasFile() const { return IsSymbolicLink(); }

VError XMacFile::ResolveAlias(VFilePath& target) const {
  struct stat info;
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  if (::lstat(fPosixPath, &info) != 0) return PosixError(errno);
  if (!S_ISLNK(info.st_mode)) {
    const VError error = ToolboxError(toolbox_error::kFileCannotResolveAlias);
    if (fOwner != nullptr) _PushRetainedError(NewErrorRecord<VFileError>(fOwner, error), error);
    return error;
  }
  // realpath opens nothing, so a link to a FIFO never blocks here.
  std::string resolved;
  platform::ItemKind kind;
  const platform::PathError result = platform::ResolveLinks(fPosixPath, resolved, kind);
  if (result.Failed()) return PosixError(result.fCode);
  if (kind != platform::ItemKind::kFile && kind != platform::ItemKind::kFolder) {
    return PosixError(EINVAL);
  }
  GetFilePathFromPosixPath(resolved.c_str(), kind == platform::ItemKind::kFolder, target);
  return VE_OK;
}

VError XMacFile::CreateAlias(const VFilePath& target, const VFilePath* relativeTo) const {
  return CreateSymbolicLink(target, relativeTo == nullptr);
}

// ---- Sizes, forks, type codes

VError XMacFile::GetSize(int64* size) const {
  *size = 0;
  struct stat info;
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  if (::lstat(fPosixPath, &info) != 0) return PosixError(errno);
  *size = info.st_size;
  return VE_OK;
}

VError XMacFile::GetResourceForkSize(int64* size) const {
  *size = 0;
  return VE_OK;
}

VError XMacFile::GetKind(unsigned* kind) const {
  *kind = 0;
  return VE_OK;
}

VError XMacFile::GetCreator(unsigned* creator) const {
  *creator = 0;
  return VE_OK;
}

void XMacFile::SetExtensionVisible(bool visible) const {
  if (fPosixPath == nullptr) return;
  if (visible) {
    ::lremovexattr(fPosixPath, kHiddenExtensionAttribute);
  } else {
    ::lsetxattr(fPosixPath, kHiddenExtensionAttribute, "1", 1, 0);
  }
}

}  // namespace zeft
