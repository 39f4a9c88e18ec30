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

bool SameItem(const struct stat& left, const struct stat& right) {
  return left.st_dev == right.st_dev && left.st_ino == right.st_ino;
}

}  // namespace

std::string ItemNameLock::LockFileName(const std::string& name) {
  return "." + HiddenNameStem(name) + ".zeft-lock";
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
    // Read-only is enough for flock; readable by all, so that another user
    // allowed to change the folder can take the lock after us. O_NOFOLLOW,
    // so that a link put in its place leads nowhere.
    FileDescriptor file(::openat(folder.Get(), lockName.c_str(),
                                 O_RDONLY | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644));
    if (!file.IsOpen()) return errno;
    struct stat locked;
    if (::fstat(file.Get(), &locked) != 0) return errno;
    if (!S_ISREG(locked.st_mode)) return EEXIST;
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
