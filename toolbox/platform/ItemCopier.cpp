#include "platform/ItemCopier.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <utility>
#include <vector>

#include "platform/DirectoryWalk.h"
#include "platform/FileDescriptor.h"
#include "platform/ItemTransfer.h"
#include "platform/TreeDeleter.h"

namespace zeft::platform {

namespace {

// Folders this deep and shallower stay open during the walk (two
// descriptors each); deeper ones are found again through "..".
constexpr size_t kOpenLevels = 64;
// Bytes per copy_file_range call: the progress hook hears of each chunk.
constexpr size_t kChunkSize = 16 * 1024 * 1024;
constexpr size_t kBufferSize = 1024 * 1024;

std::atomic<int> sHardLinkError{0};

// linkat: 0 or an errno value.
int MakeHardLink(int fromDir, const char* from, int toDir, const char* to) {
  if (int error = sHardLinkError.load(std::memory_order_relaxed); error != 0) return error;
  return ::linkat(fromDir, from, toDir, to, 0) == 0 ? 0 : errno;
}

// A failed step and the side it failed on.
struct Failure {
  int fCode = 0;
  bool fAtSource = false;

  static Failure Source(int code) { return Failure{code, true}; }
  static Failure Destination(int code) { return Failure{code, false}; }
  bool Failed() const { return fCode != 0; }
};

bool IsDestinationError(int error) {
  return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EROFS;
}

bool IsUnsupported(int error) {
  return error == EOPNOTSUPP || error == ENOTTY || error == ENOSYS || error == EINVAL ||
         error == EXDEV || error == EBADF;
}

// Owner and group of the source where the caller may set them: a caller
// that may not give the owner still tries the group.
int SetOwner(int dirFd, const char* name, const struct stat& info, int flags) {
  if (::fchownat(dirFd, name, info.st_uid, info.st_gid, flags) == 0) return 0;
  if (errno != EPERM && errno != EINVAL) return errno;
  if (::fchownat(dirFd, name, uid_t(-1), info.st_gid, flags) == 0) return 0;
  return errno == EPERM || errno == EINVAL ? 0 : errno;
}

int SetTimes(int dirFd, const char* name, const struct stat& info, int flags) {
  const struct timespec times[2] = {info.st_atim, info.st_mtim};
  return ::utimensat(dirFd, name, times, flags) == 0 ? 0 : errno;
}

Failure CopyExtendedAttributes(int in, int out) {
  std::vector<char> names;
  for (;;) {
    ssize_t size = ::flistxattr(in, nullptr, 0);
    if (size < 0) return Failure::Source(errno == ENOTSUP ? 0 : errno);
    if (size == 0) return Failure();
    names.resize(size_t(size));
    size = ::flistxattr(in, names.data(), names.size());
    if (size >= 0) {
      names.resize(size_t(size));
      break;
    }
    if (errno != ERANGE) return Failure::Source(errno);
  }
  std::vector<char> value;
  for (size_t at = 0; at < names.size(); at += std::char_traits<char>::length(&names[at]) + 1) {
    const char* name = &names[at];
    ssize_t size;
    for (;;) {
      size = ::fgetxattr(in, name, nullptr, 0);
      if (size < 0) break;
      value.resize(size_t(size));
      size = ::fgetxattr(in, name, value.data(), value.size());
      if (size >= 0 || errno != ERANGE) break;
    }
    if (size < 0) {
      if (errno == ENODATA) continue;  // removed meanwhile
      return Failure::Source(errno);
    }
    if (::fsetxattr(out, name, value.data(), size_t(size), 0) != 0 && errno != ENOTSUP &&
        errno != EPERM && errno != EACCES)
      return Failure::Destination(errno);
  }
  return Failure();
}

// Puts the source's metadata on an open copy (a file or a folder), in the
// order that keeps each: attributes, owner (which clears set-id bits), mode,
// times.
Failure ApplyMetadata(int in, int out, const struct stat& info) {
  if (Failure failure = CopyExtendedAttributes(in, out); failure.Failed()) return failure;
  if (int error = SetOwner(out, "", info, AT_EMPTY_PATH); error != 0)
    return Failure::Destination(error);
  if (::fchmod(out, info.st_mode & 07777) != 0) return Failure::Destination(errno);
  const struct timespec times[2] = {info.st_atim, info.st_mtim};
  if (::futimens(out, times) != 0) return Failure::Destination(errno);
  return Failure();
}

class Copier {
 public:
  explicit Copier(const CopyOptions& options) : fOptions(options) {}

  // Copies the item `sourceName` of `sourceDir` (status `info`) to
  // `destinationName` of `destinationDir`; the paths name them in errors.
  PathError Copy(int sourceDir, const std::string& sourceName, const struct stat& info,
                 int destinationDir, const std::string& destinationName,
                 const std::string& sourcePath, const std::string& destinationPath);

 private:
  struct Level {
    FileDescriptor fSource, fDestination;  // closed while the walk is below kOpenLevels
    struct stat fInfo;                     // of the source folder
    dev_t fDestinationDevice;
    ino_t fDestinationInode;
    std::vector<DirectoryEntry> fEntries;
    size_t fNext = 0;
    size_t fSourceLength, fDestinationLength;  // of the display paths
  };

  Failure CopyItemAt(int sourceDir, const char* name, const struct stat& info, int destinationDir,
                     const char* destinationName);
  Failure CopyFile(int sourceDir, const char* name, int destinationDir,
                   const char* destinationName);
  Failure CopyContent(int in, int out, off_t size);
  // Copies the bytes [from, to) at the same offsets; `end` becomes where the
  // copy stopped, before `to` when the file shrank meanwhile.
  Failure CopyRange(int in, int out, off_t from, off_t to, bool& inKernel, off_t& end);
  // Copies a non-folder entry of the current level, as a new link to its
  // earlier copy when another name of the same item was copied already
  // (a separate copy where the link cannot be made).
  Failure CopyEntry(const std::string& name, const struct stat& info);
  Failure CopyLink(int sourceDir, const char* name, const struct stat& info, int destinationDir,
                   const char* destinationName);
  Failure CopyNode(const struct stat& info, int destinationDir, const char* destinationName);
  // Makes the folder `name` in `destinationDir` and pushes a level for it.
  Failure EnterFolder(int sourceDir, const char* name, int destinationDir,
                      const char* destinationName);
  bool Report() { return !fOptions.fProgress || fOptions.fProgress(fBytes); }

  const CopyOptions& fOptions;
  uint64_t fBytes = 0;
  bool fCloneWorks = true;
  std::vector<char> fBuffer;
  std::vector<Level> fLevels;
  std::string fSourcePath, fDestinationPath;
  // Where the copy of each item with several names was made, as a path
  // relative to the copied folder: its other names become links to it.
  std::map<std::pair<dev_t, ino_t>, std::string> fLinkedCopies;
  size_t fRootLength = 0;  // of the copied folder's display path
};

PathError Copier::Copy(int sourceDir, const std::string& sourceName, const struct stat& info,
                       int destinationDir, const std::string& destinationName,
                       const std::string& sourcePath, const std::string& destinationPath) {
  fSourcePath = sourcePath;
  fDestinationPath = destinationPath;
  fRootLength = destinationPath.size();
  Failure failure;
  if (!S_ISDIR(info.st_mode)) {
    failure =
        CopyItemAt(sourceDir, sourceName.c_str(), info, destinationDir, destinationName.c_str());
  } else {
    failure = EnterFolder(sourceDir, sourceName.c_str(), destinationDir, destinationName.c_str());
  }
  while (!failure.Failed() && !fLevels.empty()) {
    Level& level = fLevels.back();
    if (level.fNext < level.fEntries.size()) {
      const std::string& name = level.fEntries[level.fNext++].fName;
      fSourcePath += '/';
      fSourcePath += name;
      fDestinationPath += '/';
      fDestinationPath += name;
      struct stat entryInfo;
      if (::fstatat(level.fSource.Get(), name.c_str(), &entryInfo, AT_SYMLINK_NOFOLLOW) != 0) {
        failure = Failure::Source(errno);
      } else if (S_ISDIR(entryInfo.st_mode)) {
        failure =
            EnterFolder(level.fSource.Get(), name.c_str(), level.fDestination.Get(), name.c_str());
        continue;  // the paths now name the new level's folder
      } else {
        failure = CopyEntry(name, entryInfo);
      }
      if (failure.Failed()) break;
      fSourcePath.resize(level.fSourceLength);
      fDestinationPath.resize(level.fDestinationLength);
      continue;
    }
    // Every entry is copied: find the parent again when it was closed, then
    // give the folder its metadata (which may take its search right away).
    Level done = std::move(level);
    fLevels.pop_back();
    if (!fLevels.empty()) {
      Level& parent = fLevels.back();
      if (!parent.fSource.IsOpen()) {
        int error = OpenCheckedParent(done.fSource.Get(), parent.fInfo.st_dev, parent.fInfo.st_ino,
                                      parent.fSource);
        if (error != 0) {
          failure = Failure::Source(error);
          break;
        }
        error = OpenCheckedParent(done.fDestination.Get(), parent.fDestinationDevice,
                                  parent.fDestinationInode, parent.fDestination);
        if (error != 0) {
          failure = Failure::Destination(error);
          break;
        }
      }
    }
    failure = ApplyMetadata(done.fSource.Get(), done.fDestination.Get(), done.fInfo);
    if (failure.Failed()) break;
    if (!fLevels.empty()) {
      fSourcePath.resize(fLevels.back().fSourceLength);
      fDestinationPath.resize(fLevels.back().fDestinationLength);
    }
  }
  fLevels.clear();
  fLinkedCopies.clear();
  if (!failure.Failed()) return PathError();
  return PathError(failure.fCode, failure.fAtSource ? fSourcePath : fDestinationPath);
}

Failure Copier::EnterFolder(int sourceDir, const char* name, int destinationDir,
                            const char* destinationName) {
  Level level;
  struct stat destinationInfo;
  if (int error = OpenSubFolder(sourceDir, name, false, level.fSource, level.fInfo); error != 0)
    return Failure::Source(error);
  if (int error = ReadDirectory(level.fSource.Get(), level.fEntries); error != 0)
    return Failure::Source(error);
  if (::mkdirat(destinationDir, destinationName, S_IRWXU) != 0) return Failure::Destination(errno);
  if (int error = OpenSubFolder(destinationDir, destinationName, false, level.fDestination,
                                destinationInfo);
      error != 0)
    return Failure::Destination(error);
  level.fDestinationDevice = destinationInfo.st_dev;
  level.fDestinationInode = destinationInfo.st_ino;
  level.fSourceLength = fSourcePath.size();
  level.fDestinationLength = fDestinationPath.size();
  if (fLevels.size() >= kOpenLevels) {
    fLevels.back().fSource.Reset();
    fLevels.back().fDestination.Reset();
  }
  fLevels.push_back(std::move(level));
  return Failure();
}

Failure Copier::CopyEntry(const std::string& name, const struct stat& info) {
  Level& level = fLevels.back();
  if (info.st_nlink < 2)
    return CopyItemAt(level.fSource.Get(), name.c_str(), info, level.fDestination.Get(),
                      name.c_str());
  const std::pair<dev_t, ino_t> key(info.st_dev, info.st_ino);
  if (auto found = fLinkedCopies.find(key); found != fLinkedCopies.end()) {
    // The copied folder stays open for the whole walk (level 0).
    if (MakeHardLink(fLevels.front().fDestination.Get(), found->second.c_str(),
                     level.fDestination.Get(), name.c_str()) == 0)
      return Failure();
    // Whatever keeps the link from being made (a file system without hard
    // links, a path beyond PATH_MAX, a full link count...), a separate copy
    // is the best that can be done, and the copy goes on.
    return CopyItemAt(level.fSource.Get(), name.c_str(), info, level.fDestination.Get(),
                      name.c_str());
  }
  Failure failure =
      CopyItemAt(level.fSource.Get(), name.c_str(), info, level.fDestination.Get(), name.c_str());
  if (!failure.Failed()) fLinkedCopies.emplace(key, fDestinationPath.substr(fRootLength + 1));
  return failure;
}

Failure Copier::CopyItemAt(int sourceDir, const char* name, const struct stat& info,
                           int destinationDir, const char* destinationName) {
  if (S_ISREG(info.st_mode)) return CopyFile(sourceDir, name, destinationDir, destinationName);
  if (S_ISLNK(info.st_mode))
    return CopyLink(sourceDir, name, info, destinationDir, destinationName);
  return CopyNode(info, destinationDir, destinationName);
}

Failure Copier::CopyFile(int sourceDir, const char* name, int destinationDir,
                         const char* destinationName) {
  // O_NONBLOCK: should a FIFO have taken the file's place, opening it does
  // not wait for a writer.
  FileDescriptor in(
      ::openat(sourceDir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!in.IsOpen()) return Failure::Source(errno);
  struct stat info;
  if (::fstat(in.Get(), &info) != 0) return Failure::Source(errno);
  if (!S_ISREG(info.st_mode)) return Failure::Source(EBUSY);  // replaced meanwhile
  FileDescriptor out(::openat(destinationDir, destinationName,
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              S_IRUSR | S_IWUSR));
  if (!out.IsOpen()) return Failure::Destination(errno);
  if (Failure failure = CopyContent(in.Get(), out.Get(), info.st_size); failure.Failed())
    return failure;
  if (Failure failure = ApplyMetadata(in.Get(), out.Get(), info); failure.Failed()) return failure;
  return Failure::Destination(out.Close());
}

Failure Copier::CopyContent(int in, int out, off_t size) {
  if (size <= 0) return Failure();
  if (fCloneWorks) {
    if (::ioctl(out, FICLONE, in) == 0) {
      fBytes += uint64_t(size);
      return Report() ? Failure() : Failure::Source(ECANCELED);
    }
    if (errno == EOPNOTSUPP || errno == ENOTTY || errno == ENOSYS) fCloneWorks = false;
  }
  // Only the data is copied, range by range: the holes between stay holes
  // once the size is set, so a sparse file takes no more room than its
  // source (a kernel copy alone would write the holes out as zeros).
  bool inKernel = true;
  for (off_t at = 0; at < size;) {
    off_t data = ::lseek(in, at, SEEK_DATA);
    off_t hole = size;
    if (data < 0) {
      if (errno == ENXIO) break;  // a hole up to the end
      if (errno != EINVAL && errno != EOPNOTSUPP) return Failure::Source(errno);
      data = at;  // no hole search here: everything left is data
    } else {
      hole = ::lseek(in, data, SEEK_HOLE);
      if (hole < 0 || hole > size) hole = size;
    }
    if (data >= size) break;
    off_t end = data;
    if (Failure failure = CopyRange(in, out, data, hole, inKernel, end); failure.Failed())
      return failure;
    if (end < hole) {  // the file shrank
      size = end;
      break;
    }
    at = hole;
  }
  return ::ftruncate(out, size) == 0 ? Failure() : Failure::Destination(errno);
}

Failure Copier::CopyRange(int in, int out, off_t from, off_t to, bool& inKernel, off_t& end) {
  loff_t inOffset = from, outOffset = from;
  while (inOffset < to) {
    size_t chunk = size_t(std::min<off_t>(to - inOffset, kChunkSize));
    ssize_t copied;
    if (inKernel) {
      copied = ::copy_file_range(in, &inOffset, out, &outOffset, chunk, 0);
      if (copied < 0) {
        if (errno == EINTR) continue;
        if (IsUnsupported(errno)) {
          inKernel = false;
          continue;
        }
        return Failure{errno, !IsDestinationError(errno)};
      }
      // Some file systems answer 0 for files they cannot copy this way.
      if (copied == 0 && inOffset == from) {
        inKernel = false;
        continue;
      }
    } else {
      if (fBuffer.empty()) fBuffer.resize(kBufferSize);
      copied = ::pread(in, fBuffer.data(), std::min(chunk, fBuffer.size()), inOffset);
      if (copied < 0) {
        if (errno == EINTR) continue;
        return Failure::Source(errno);
      }
      for (ssize_t written = 0; written < copied;) {
        ssize_t count =
            ::pwrite(out, fBuffer.data() + written, size_t(copied - written), outOffset + written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return Failure::Destination(count < 0 ? errno : EIO);
        written += count;
      }
      inOffset += copied;
      outOffset += copied;
    }
    if (copied == 0) break;  // the file shrank
    fBytes += uint64_t(copied);
    if (!Report()) return Failure::Source(ECANCELED);
  }
  end = inOffset;
  return Failure();
}

Failure Copier::CopyLink(int sourceDir, const char* name, const struct stat& info,
                         int destinationDir, const char* destinationName) {
  std::string target(size_t(info.st_size) + 1, '\0');
  for (;;) {
    ssize_t length = ::readlinkat(sourceDir, name, target.data(), target.size());
    if (length < 0) return Failure::Source(errno);
    if (size_t(length) < target.size()) {
      target.resize(size_t(length));
      break;
    }
    if (target.size() > 65536) return Failure::Source(ENAMETOOLONG);
    target.resize(target.size() * 2);
  }
  if (::symlinkat(target.c_str(), destinationDir, destinationName) != 0)
    return Failure::Destination(errno);
  if (int error = SetOwner(destinationDir, destinationName, info, AT_SYMLINK_NOFOLLOW); error != 0)
    return Failure::Destination(error);
  return Failure::Destination(SetTimes(destinationDir, destinationName, info, AT_SYMLINK_NOFOLLOW));
}

Failure Copier::CopyNode(const struct stat& info, int destinationDir, const char* destinationName) {
  if (::mknodat(destinationDir, destinationName, (info.st_mode & S_IFMT) | S_IRUSR | S_IWUSR,
                info.st_rdev) != 0)
    return Failure::Destination(errno);
  if (int error = SetOwner(destinationDir, destinationName, info, AT_SYMLINK_NOFOLLOW); error != 0)
    return Failure::Destination(error);
  if (::fchmodat(destinationDir, destinationName, info.st_mode & 07777, 0) != 0)
    return Failure::Destination(errno);
  return Failure::Destination(SetTimes(destinationDir, destinationName, info, AT_SYMLINK_NOFOLLOW));
}

}  // namespace

void SetHardLinkErrorForTesting(int error) {
  sHardLinkError.store(error, std::memory_order_relaxed);
}

PathError CopyItem(const std::string& source, const std::string& destination,
                   const CopyOptions& options) {
  ItemTransfer transfer;
  if (PathError error = transfer.Open(source, destination, options.fReplace); error.Failed())
    return error;
  const int dir = transfer.DestinationDir();
  const std::string& destinationName = transfer.DestinationName();
  const std::string& destinationFolder = transfer.DestinationFolder();

  std::string temporaryName = TemporaryItemName(destinationName);
  std::string temporaryPath = JoinPath(destinationFolder, temporaryName);
  Copier copier(options);
  PathError result = copier.Copy(transfer.SourceDir(), transfer.SourceName(), transfer.SourceInfo(),
                                 dir, temporaryName, source, destination);
  auto discard = [&] { DeleteTreeAt(dir, temporaryName, true, temporaryPath); };
  if (result.Failed()) {
    // EEXIST on the copy's own path: the temporary name was taken, by an
    // item that is not ours to remove.
    if (result.fCode != EEXIST || result.fPath != destination) discard();
    return result;
  }

  if (!transfer.Replacing()) {
    int error = RenameUnlessTaken(dir, temporaryName, dir, destinationName);
    if (error == 0) return PathError();
    discard();
    return PathError(error, destination);
  }
  if (transfer.RenameReplaces()) {
    if (::renameat(dir, temporaryName.c_str(), dir, destinationName.c_str()) == 0)
      return PathError();
  } else if (int error = ExchangeItems(dir, temporaryName, dir, destinationName); error == 0) {
    // The old item now has the temporary name.
    return DeleteTreeAt(dir, temporaryName, true, temporaryPath);
  } else {
    errno = error;
  }
  int error = errno;
  discard();
  return PathError(error, destination);
}

}  // namespace zeft::platform
