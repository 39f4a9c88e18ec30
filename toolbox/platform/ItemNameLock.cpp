#include "platform/ItemNameLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/DirectoryWalk.h"

namespace zeft::platform {

namespace {

// How often a lock file removed by its holder between our open and our lock
// is opened again before giving up: each round needs another holder to
// come and go meanwhile.
constexpr int kLockRounds = 100;

// The lock file's mode whatever the umask: a holder that dies leaves its
// file behind, and another user who may replace the item must still be
// able to open it to take the lock.
constexpr mode_t kLockFileMode = 0644;

bool SameItem(const struct stat& left, const struct stat& right) {
  return left.st_dev == right.st_dev && left.st_ino == right.st_ino;
}

// Opens the lock file `name` of `folderFd`, made here when missing. For
// writing where the caller may (NFS locks only what is open for writing),
// else for reading (another user's file, a read-only file system). Never opens anything but a
// regular file, and never waits: EEXIST when something else has the name. ENOENT when it went
// between two looks.
int OpenLockFile(int folderFd, const std::string& name, FileDescriptor& file) {
  // O_NOFOLLOW, so that a link put in its place leads nowhere; O_NOCTTY
  // and O_NONBLOCK, so that nothing put there between the look and the
  // open can take the process over or hold it.
  constexpr int kFlags = O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  file.Reset(::openat(folderFd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | kFlags, kLockFileMode));
  if (file.IsOpen()) {
    // A file system without modes keeps its own: the lock works all the same.
    ::fchmod(file.Get(), kLockFileMode);
    return 0;
  }
  if (errno != EEXIST) return errno;
  // Something is there: only a regular file is opened, so that a FIFO, a
  // device or a socket is never opened at all.
  struct stat info;
  if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (!S_ISREG(info.st_mode)) return EEXIST;
  file.Reset(::openat(folderFd, name.c_str(), O_RDWR | kFlags));
  if (!file.IsOpen() && (errno == EACCES || errno == EROFS))
    file.Reset(::openat(folderFd, name.c_str(), O_RDONLY | kFlags));
  if (!file.IsOpen()) {
    // Replaced by something else between the look and the open.
    if (errno == ELOOP || errno == EISDIR || errno == ENXIO) return EEXIST;
    return errno;
  }
  if (::fstat(file.Get(), &info) != 0) return errno;
  return S_ISREG(info.st_mode) ? 0 : EEXIST;
}

}  // namespace

std::string ItemNameLock::LockFileName(const std::string& name) {
  return "." + HiddenNameStem(name) + ".zeft-lock";
}

bool ItemNameLock::LocksUnsupported(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == EBADF;
}

int ItemNameLock::TryLock(const std::string& path) {
  Unlock();
  std::string folderPath;
  std::string name;
  if (const int error = SplitItemPath(path, folderPath, name); error != 0) return error;
  FileDescriptor folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.IsOpen()) return errno;
  const std::string lockName = LockFileName(name);
  for (int round = 0; round < kLockRounds; ++round) {
    FileDescriptor file;
    const int error = OpenLockFile(folder.Get(), lockName, file);
    if (error == ENOENT) continue;  // removed by its holder meanwhile
    if (error != 0) return error;
    struct stat locked;
    if (::fstat(file.Get(), &locked) != 0) return errno;
    if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) return errno;
    // The holder before us removes its file before it lets go: a file we
    // opened before that removal is locked but no longer the lock.
    struct stat named;
    if (::fstatat(folder.Get(), lockName.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        SameItem(named, locked)) {
      fFolder = std::move(folder);
      fFile = std::move(file);
      fName = lockName;
      return 0;
    }
  }
  return EWOULDBLOCK;
}

void ItemNameLock::Unlock() {
  if (!fFile.IsOpen()) return;
  // Removed while still held, so that whoever takes the name next makes a
  // new file rather than locking this one after we let go; only while the
  // name is still ours, should someone have removed it and another taken it.
  struct stat locked;
  struct stat named;
  if (::fstat(fFile.Get(), &locked) == 0 &&
      ::fstatat(fFolder.Get(), fName.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
      SameItem(named, locked))
    ::unlinkat(fFolder.Get(), fName.c_str(), 0);
  fFile.Reset();
  fFolder.Reset();
  fName.clear();
}

}  // namespace zeft::platform
