#include "platform/TreeDeleter.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/DirectoryWalk.h"
#include "platform/FileDescriptor.h"

namespace zeft::platform {

namespace {

// Folders this deep and shallower stay open during the walk; deeper ones are
// closed on the way down and found again through "..".
constexpr size_t kOpenLevels = 64;

struct Level {
  FileDescriptor fFolder;  // closed while the walk is below kOpenLevels
  dev_t fDevice;
  ino_t fInode;
  std::vector<std::string> fFolders;  // sub-folders still to delete
  size_t fPathLength;                 // of the folder's display path
};

// Clears the immutable and append-only flags of an open item; true when it
// had some and they are gone.
bool ClearInodeFlags(int fd) {
  int flags = 0;
  if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) return false;
  int cleared = flags & ~(FS_IMMUTABLE_FL | FS_APPEND_FL);
  return cleared != flags && ::ioctl(fd, FS_IOC_SETFLAGS, &cleared) == 0;
}

// The same for the item `name` of `dirFd`, and for the folder itself: either
// can refuse the removal. Only regular files and folders are opened for it.
bool ClearInodeFlagsOf(int dirFd, const char* name) {
  bool cleared = ClearInodeFlags(dirFd);
  struct stat info;
  if (::fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return cleared;
  if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) return cleared;
  FileDescriptor item(
      ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  return (item.IsOpen() && ClearInodeFlags(item.Get())) || cleared;
}

// unlinkat with one more try after clearing inode flags when forced.
int Remove(int dirFd, const char* name, int flags, bool force) {
  if (::unlinkat(dirFd, name, flags) == 0) return 0;
  int error = errno;
  if (force && error == EPERM && ClearInodeFlagsOf(dirFd, name) &&
      ::unlinkat(dirFd, name, flags) == 0)
    return 0;
  return error;
}

}  // namespace

PathError DeleteTreeAt(int dirFd, const std::string& name, bool force,
                       const std::string& displayPath) {
  struct stat info;
  if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
    return PathError(errno, displayPath);
  if (!S_ISDIR(info.st_mode)) {
    int error = Remove(dirFd, name.c_str(), 0, force);
    return error == 0 ? PathError() : PathError(error, displayPath);
  }

  std::string path = displayPath;
  std::vector<Level> levels;
  FileDescriptor folder;
  if (int error = OpenSubFolder(dirFd, name.c_str(), force, folder, info); error != 0)
    return PathError(error, path);
  levels.push_back(Level{std::move(folder), info.st_dev, info.st_ino, {}, path.size()});

  std::vector<DirectoryEntry> entries;
  bool listed = false;  // the current folder's other items are gone
  for (;;) {
    int current = levels.back().fFolder.Get();
    if (!listed) {
      if (int error = ReadDirectory(current, entries); error != 0) return PathError(error, path);
      for (DirectoryEntry& entry : entries) {
        if (entry.fType == DT_DIR) {
          levels.back().fFolders.push_back(std::move(entry.fName));
          continue;
        }
        int error = Remove(current, entry.fName.c_str(), 0, force);
        if (error == EISDIR) {  // the file system did not give the type
          levels.back().fFolders.push_back(std::move(entry.fName));
        } else if (error != 0 && error != ENOENT) {
          return PathError(error, path + '/' + entry.fName);
        }
      }
      listed = true;
    }

    if (!levels.back().fFolders.empty()) {
      std::string child = std::move(levels.back().fFolders.back());
      levels.back().fFolders.pop_back();
      path += '/';
      path += child;
      int error = OpenSubFolder(current, child.c_str(), force, folder, info);
      if (error == ENOENT) {  // gone meanwhile
        path.resize(levels.back().fPathLength);
        continue;
      }
      if (error != 0) return PathError(error, path);
      if (levels.size() >= kOpenLevels) levels.back().fFolder.Reset();
      levels.push_back(Level{std::move(folder), info.st_dev, info.st_ino, {}, path.size()});
      listed = false;
      continue;
    }

    // The current folder is empty: leave it and remove it.
    if (levels.size() == 1) {
      levels.clear();
      int error = Remove(dirFd, name.c_str(), AT_REMOVEDIR, force);
      return error == 0 ? PathError() : PathError(error, path);
    }
    FileDescriptor child = std::move(levels.back().fFolder);
    levels.pop_back();
    Level& parent = levels.back();
    if (!parent.fFolder.IsOpen()) {
      int error = OpenCheckedParent(child.Get(), parent.fDevice, parent.fInode, parent.fFolder);
      if (error != 0) return PathError(error, path);
    }
    child.Reset();
    std::string childName = path.substr(parent.fPathLength + 1);
    if (int error = Remove(parent.fFolder.Get(), childName.c_str(), AT_REMOVEDIR, force);
        error != 0)
      return PathError(error, path);
    path.resize(parent.fPathLength);
  }
}

PathError DeleteTree(const std::string& path, bool force, PathError* parentRestore) {
  std::string folderPath, name;
  if (int error = SplitItemPath(path, folderPath, name); error != 0) return PathError(error, path);
  // O_PATH: the folder need only be searchable, as for unlink(2).
  FileDescriptor folder(::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder.IsOpen()) return PathError(errno, folderPath);

  struct stat folderInfo;
  bool restoreMode = false;
  if (force) {
    if (::fstat(folder.Get(), &folderInfo) != 0) return PathError(errno, folderPath);
    if (LacksOwnerAccess(folderInfo)) {
      int error = ChangeMode(folder.Get(), (folderInfo.st_mode & 07777) | S_IRWXU);
      if (error != 0) return PathError(error, folderPath);
      restoreMode = true;
    }
  }
  PathError result = DeleteTreeAt(folder.Get(), name, force, path);
  if (restoreMode) {
    int error = ChangeMode(folder.Get(), folderInfo.st_mode & 07777);
    if (error != 0 && parentRestore != nullptr) *parentRestore = PathError(error, folderPath);
  }
  return result;
}

}  // namespace zeft::platform
