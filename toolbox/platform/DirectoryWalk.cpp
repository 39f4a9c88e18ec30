#include "platform/DirectoryWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace zeft::platform {

namespace {

constexpr size_t kDirectoryBufferSize = 32 * 1024;
// The longest stand-in for an item's name in the hidden names made beside
// it: with the ".zeft-" tags, a hidden name then stays within NAME_MAX.
constexpr size_t kHiddenStemLength = 200;
// The hex digits of the hash that ends the stem of a longer name.
constexpr size_t kStemHashDigits = 16;

std::string ProcPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

std::atomic<bool> sRenameFlagsUnsupported{false};

// renameat2 with `flags`: 0 or an errno value.
int RenameWithFlags(int fromDir, const std::string& from, int toDir, const std::string& to,
                    unsigned flags) {
  if (sRenameFlagsUnsupported.load(std::memory_order_relaxed)) return EINVAL;
  return ::renameat2(fromDir, from.c_str(), toDir, to.c_str(), flags) == 0 ? 0 : errno;
}

// What renameat2 answers where the file system or the kernel lacks a flag.
bool LacksRenameFlag(int error) { return error == EINVAL || error == ENOSYS; }

}  // namespace

int FolderIsWithin(int folderFd, dev_t device, ino_t inode, bool& within) {
  within = false;
  struct stat info;
  if (::fstat(folderFd, &info) != 0) return errno;
  FileDescriptor current;
  int fd = folderFd;
  for (;;) {
    if (info.st_dev == device && info.st_ino == inode) {
      within = true;
      return 0;
    }
    FileDescriptor parent(::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parent.IsOpen()) return errno;
    struct stat parentInfo;
    if (::fstat(parent.Get(), &parentInfo) != 0) return errno;
    if (parentInfo.st_dev == info.st_dev && parentInfo.st_ino == info.st_ino) return 0;  // the root
    current = std::move(parent);
    fd = current.Get();
    info = parentInfo;
  }
}

bool LacksOwnerAccess(const struct stat& info) {
  uid_t user = ::geteuid();
  return user != 0 && info.st_uid == user && (info.st_mode & S_IRWXU) != S_IRWXU;
}

int ChangeMode(int fd, mode_t mode) {
  if (::fchmod(fd, mode) == 0) return 0;
  if (errno != EBADF) return errno;
  return ::chmod(ProcPath(fd).c_str(), mode) == 0 ? 0 : errno;
}

int ReadDirectory(int dirFd, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  if (::lseek(dirFd, 0, SEEK_SET) < 0) return errno;
  std::vector<char> buffer(kDirectoryBufferSize);
  for (;;) {
    ssize_t count = ::getdents64(dirFd, buffer.data(), buffer.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (count == 0) return 0;
    for (ssize_t at = 0; at < count;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(buffer.data() + at);
      at += entry->d_reclen;
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      entries.push_back(DirectoryEntry{name, entry->d_type});
    }
  }
}

int OpenCheckedParent(int dirFd, dev_t device, ino_t inode, FileDescriptor& parent) {
  FileDescriptor opened(::openat(dirFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!opened.IsOpen()) return errno;
  struct stat info;
  if (::fstat(opened.Get(), &info) != 0) return errno;
  if (info.st_dev != device || info.st_ino != inode) return EBUSY;
  parent = std::move(opened);
  return 0;
}

int OpenSubFolder(int dirFd, const char* name, bool unlock, FileDescriptor& folder,
                  struct stat& info) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  FileDescriptor opened(::openat(dirFd, name, kFlags));
  if (opened.IsOpen()) {
    if (::fstat(opened.Get(), &info) != 0) return errno;
    if (unlock && LacksOwnerAccess(info) &&
        ::fchmod(opened.Get(), (info.st_mode & 07777) | S_IRWXU) != 0)
      return errno;
    folder = std::move(opened);
    return 0;
  }
  int error = errno;
  if (!unlock || error != EACCES) return error;
  // Not readable: reach the folder itself without reading it (O_PATH), give
  // it owner access through its descriptor, so that a link swapped in
  // meanwhile is never followed, and open it again the same way.
  FileDescriptor handle(::openat(dirFd, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!handle.IsOpen()) return errno;
  if (::fstat(handle.Get(), &info) != 0) return errno;
  if (!LacksOwnerAccess(info)) return error;
  error = ChangeMode(handle.Get(), (info.st_mode & 07777) | S_IRWXU);
  if (error != 0) return error;
  opened.Reset(::open(ProcPath(handle.Get()).c_str(), kFlags & ~O_NOFOLLOW));
  if (!opened.IsOpen()) return errno;
  folder = std::move(opened);
  return 0;
}

std::string HiddenNameStem(const std::string& name) {
  if (name.size() <= kHiddenStemLength) return name;
  // Its first bytes (whole UTF-8 characters) and a hash of the whole name
  // (64-bit FNV-1a), so that names alike in their first bytes stay apart.
  size_t length = kHiddenStemLength - kStemHashDigits - 1;
  while (length > 0 && (uint8_t(name[length]) & 0xC0) == 0x80) --length;
  uint64_t hash = 0xcbf29ce484222325u;
  for (const char c : name) hash = (hash ^ uint8_t(c)) * 0x100000001b3u;
  char digits[kStemHashDigits + 1];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  return name.substr(0, length) + "~" + digits;
}

std::string TemporaryItemName(const std::string& name) {
  uint8_t random[6] = {};
  if (::getrandom(random, sizeof random, 0) != ssize_t(sizeof random)) {
    static std::atomic<uint64_t> sCounter{0};
    uint64_t fallback = uint64_t(::getpid()) << 24 ^ uint64_t(::time(nullptr)) ^ ++sCounter << 40;
    for (uint8_t& byte : random) byte = uint8_t(fallback >>= 8);
  }
  char suffix[2 * sizeof random + 1];
  for (size_t i = 0; i < sizeof random; ++i) std::snprintf(suffix + 2 * i, 3, "%02x", random[i]);
  std::string temporary(1, '.');
  temporary.append(HiddenNameStem(name)).append(".zeft-").append(suffix);
  return temporary;
}

int ExchangeItems(int fromDir, const std::string& from, int toDir, const std::string& to) {
  int error = RenameWithFlags(fromDir, from, toDir, to, RENAME_EXCHANGE);
  if (!LacksRenameFlag(error)) return error;
  std::string aside = TemporaryItemName(to);
  if (error = RenameUnlessTaken(toDir, to, toDir, aside); error != 0) return error;
  if (::renameat(fromDir, from.c_str(), toDir, to.c_str()) != 0) {
    error = errno;
    ::renameat(toDir, aside.c_str(), toDir, to.c_str());
    return error;
  }
  if (::renameat(toDir, aside.c_str(), fromDir, from.c_str()) != 0) return errno;
  return 0;
}

int RenameUnlessTaken(int fromDir, const std::string& from, int toDir, const std::string& to) {
  const int error = RenameWithFlags(fromDir, from, toDir, to, RENAME_NOREPLACE);
  if (!LacksRenameFlag(error)) return error;
  // Without the flag, the name is reserved by making an empty item of the
  // source's kind there, which fails on any existing item; the rename then
  // replaces only that item. Checking the name first instead would let an
  // item made between the check and the rename be overwritten.
  struct stat source;
  if (::fstatat(fromDir, from.c_str(), &source, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  const bool folder = S_ISDIR(source.st_mode);
  struct stat reserved = {};
  if (folder) {
    if (::mkdirat(toDir, to.c_str(), S_IRWXU) != 0) return errno;
  } else {
    FileDescriptor made(
        ::openat(toDir, to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR));
    if (!made.IsOpen()) return errno;
    if (::fstat(made.Get(), &reserved) != 0) reserved.st_ino = 0;
  }
  if (::renameat(fromDir, from.c_str(), toDir, to.c_str()) == 0) return 0;
  const int failed = errno;
  // Take the reservation back: a folder only while still empty, a file only
  // while it is still the one made here.
  struct stat now;
  if (folder) {
    ::unlinkat(toDir, to.c_str(), AT_REMOVEDIR);
  } else if (reserved.st_ino != 0 && ::fstatat(toDir, to.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
             now.st_dev == reserved.st_dev && now.st_ino == reserved.st_ino) {
    ::unlinkat(toDir, to.c_str(), 0);
  }
  return failed;
}

void SetRenameFlagsUnsupportedForTesting(bool unsupported) {
  sRenameFlagsUnsupported.store(unsupported, std::memory_order_relaxed);
}

int SplitItemPath(const std::string& path, std::string& folder, std::string& name) {
  size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  if (end == 0 || (end == 1 && path[0] == '/')) return EINVAL;
  size_t slash = path.rfind('/', end - 1);
  if (slash == std::string::npos) {
    folder.assign(1, '.');
    name.assign(path, 0, end);
  } else {
    folder.assign(path, 0, slash == 0 ? 1 : slash);
    name.assign(path, slash + 1, end - slash - 1);
  }
  if (name.empty() || name == "." || name == "..") return EINVAL;
  return 0;
}

int MakeFolderPath(const std::string& path, mode_t mode, std::string* failed) {
  struct stat info;
  if (::stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
  // Make each missing folder from the top down.
  for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    std::string part = path.substr(0, end);
    if (!part.empty() && part.back() != '/' && ::mkdir(part.c_str(), mode) != 0 &&
        errno != EEXIST) {
      if (failed != nullptr) *failed = part;
      return errno;
    }
    if (end == std::string::npos) break;
  }
  if (::stat(path.c_str(), &info) != 0) return errno;
  return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

std::string JoinPath(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  std::string working(256, '\0');
  while (::getcwd(working.data(), working.size()) == nullptr) {
    if (errno != ERANGE || working.size() >= 65536) return path;
    working.resize(working.size() * 2);
  }
  working.resize(std::strlen(working.c_str()));
  if (working.back() != '/') working += '/';
  return working + path;
}

}  // namespace zeft::platform
