#include "platform/Trash.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "platform/DirectoryWalk.h"
#include "platform/FileDescriptor.h"
#include "platform/SystemFolders.h"

namespace zeft::platform {

namespace {

constexpr const char kInfoExtension[] = ".trashinfo";
// The most names tried for one item (name, name.2, ...).
constexpr unsigned kMaxNumber = 100000;
// Room kept in a file name for ".<number>" and the info extension.
constexpr size_t kNameReserve = 7 + sizeof kInfoExtension - 1;

bool IsUnreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         (c != '\0' && std::strchr("-_.!~*'()/", c) != nullptr);
}

std::string DeletionDate() {
  time_t now = ::time(nullptr);
  struct tm local;
  char text[32] = {};
  if (::localtime_r(&now, &local) == nullptr) return std::string();
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// The device of `path`, or of its nearest existing ancestor.
int DeviceOf(std::string path, dev_t& device) {
  struct stat info;
  while (::stat(path.c_str(), &info) != 0) {
    const int error = errno;
    std::string folder, name;
    if (error != ENOENT || SplitItemPath(path, folder, name) != 0) return error;
    path = folder;
  }
  device = info.st_dev;
  return 0;
}

// Whether `path` is a real folder (no link) that the user owns.
int CheckOwnedFolder(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return errno;
  if (!S_ISDIR(info.st_mode)) return ENOTDIR;
  return info.st_uid == ::geteuid() ? 0 : EPERM;
}

// The user's trash folder at `topdir` (the top folder of a mount).
PathError TopdirTrash(const std::string& topdir, std::string& trash) {
  const std::string uid = std::to_string(::geteuid());
  const std::string shared = JoinPath(topdir, ".Trash");
  struct stat info;
  if (::lstat(shared.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
      (info.st_mode & S_ISVTX) != 0) {
    trash = shared + "/" + uid;
    if ((::mkdir(trash.c_str(), S_IRWXU) == 0 || errno == EEXIST) && CheckOwnedFolder(trash) == 0)
      return PathError();
  }
  trash = JoinPath(topdir, ".Trash-" + uid);
  if (::mkdir(trash.c_str(), S_IRWXU) != 0 && errno != EEXIST) return PathError(errno, trash);
  if (int error = CheckOwnedFolder(trash); error != 0) return PathError(error, trash);
  return PathError();
}

// The trash folder for an item on `device` whose folder is `folder`.
PathError FindTrash(const std::string& folder, dev_t device, std::string& trash) {
  std::string dataHome;
  if (PathError error = GetSystemFolder(SystemFolderKind::kUserData, false, dataHome);
      !error.Failed()) {
    dev_t homeDevice = 0;
    if (DeviceOf(dataHome, homeDevice) == 0 && homeDevice == device) {
      trash = dataHome + "/Trash";
      return PathError();
    }
  }
  // The top folder of the item's mount: climb while the device stays.
  std::string topdir = folder, parent, name;
  while (SplitItemPath(topdir, parent, name) == 0) {
    struct stat info;
    if (::stat(parent.c_str(), &info) != 0) return PathError(errno, parent);
    if (info.st_dev != device) break;
    topdir = parent;
  }
  return TopdirTrash(topdir, trash);
}

// Opens <trash>/files and <trash>/info, making them when missing.
PathError OpenTrashFolders(const std::string& trash, FileDescriptor& files, FileDescriptor& info) {
  for (auto [name, fd] : {std::pair{"files", &files}, std::pair{"info", &info}}) {
    std::string path = trash + "/" + name;
    std::string failed = path;
    if (int error = MakeFolderPath(path, S_IRWXU, &failed); error != 0)
      return PathError(error, failed);
    fd->Reset(::open(path.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd->IsOpen()) return PathError(errno, path);
  }
  return PathError();
}

// The name cut so that numbered info names still fit NAME_MAX, at a UTF-8
// character boundary.
std::string BaseName(const std::string& name) {
  if (name.size() + kNameReserve <= NAME_MAX) return name;
  size_t length = NAME_MAX - kNameReserve;
  while (length > 0 && (uint8_t(name[length]) & 0xC0) == 0x80) --length;
  return name.substr(0, length);
}

// Trashes the item `name` of the open folder `dirFd`, recording
// `recordedPath` as its origin; errors about the item name `displayPath`.
PathError TrashItemIn(int dirFd, const std::string& name, const std::string& recordedPath,
                      const std::string& displayPath, std::string* trashedPath) {
  std::string folder, recordedName;
  if (int error = SplitItemPath(recordedPath, folder, recordedName); error != 0)
    return PathError(error, recordedPath);
  struct stat info;
  if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
    return PathError(errno, displayPath);

  std::string trash;
  if (PathError error = FindTrash(folder, info.st_dev, trash); error.Failed()) return error;
  FileDescriptor filesFd, infoFd;
  if (PathError error = OpenTrashFolders(trash, filesFd, infoFd); error.Failed()) return error;

  const std::string record = "[Trash Info]\nPath=" + EncodeTrashPath(recordedPath) +
                             "\nDeletionDate=" + DeletionDate() + "\n";
  const std::string base = BaseName(recordedName);
  for (unsigned number = 1; number <= kMaxNumber; ++number) {
    std::string candidate = number == 1 ? base : base + "." + std::to_string(number);
    std::string infoName = candidate + kInfoExtension;
    std::string infoPath = trash + "/info/" + infoName;
    FileDescriptor recordFd(::openat(infoFd.Get(), infoName.c_str(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                     S_IRUSR | S_IWUSR));
    if (!recordFd.IsOpen()) {
      if (errno == EEXIST) continue;
      return PathError(errno, infoPath);
    }
    int error = WriteAll(recordFd.Get(), record);
    if (int closed = recordFd.Close(); error == 0) error = closed;
    if (error == 0) error = RenameUnlessTaken(dirFd, name, filesFd.Get(), candidate);
    if (error == 0) {
      if (trashedPath != nullptr) *trashedPath = trash + "/files/" + candidate;
      return PathError();
    }
    ::unlinkat(infoFd.Get(), infoName.c_str(), 0);
    if (error == EEXIST) continue;  // a file without its record holds the name
    return PathError(error, error == EIO || error == ENOSPC ? infoPath : displayPath);
  }
  return PathError(EEXIST, trash + "/files/" + base);
}

}  // namespace

std::string EncodeTrashPath(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : path) {
    if (IsUnreserved(c)) {
      encoded += char(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    }
  }
  return encoded;
}

PathError TrashItem(const std::string& path, std::string* trashedPath) {
  std::string folder, name;
  const std::string absolute = AbsolutePath(path);
  if (int error = SplitItemPath(absolute, folder, name); error != 0) return PathError(error, path);
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(folder.c_str(), nullptr),
                                                             &std::free);
  if (resolved == nullptr) return PathError(errno, folder);
  folder = resolved.get();
  FileDescriptor folderFd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folderFd.IsOpen()) return PathError(errno, folder);
  return TrashItemIn(folderFd.Get(), name, JoinPath(folder, name), path, trashedPath);
}

PathError TrashItemAt(int dirFd, const std::string& name, const std::string& recordedPath,
                      std::string* trashedPath) {
  return TrashItemIn(dirFd, name, recordedPath, recordedPath, trashedPath);
}

}  // namespace zeft::platform
