// The file object's platform operations: construction, open, create, copy,
// move, rename, delete and trash, and the replacement file of a safe save.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "core/VMemory.h"
#include "files/VFile.h"
#include "files/VFileDesc.h"
#include "files/VFilePath.h"
#include "files/mac/XMacFile.h"
#include "platform/DirectoryWalk.h"
#include "platform/ItemCopier.h"
#include "platform/ItemMover.h"
#include "platform/Trash.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft {

namespace {

std::string PosixText(const VFilePath& path) {
  char* text = XMacFile::AllocatePosixPathFromFilePath(path);
  std::string result = text != nullptr ? text : "";
  VMemory::DisposePtr(text);
  return result;
}

// A lock of the given kind on the open file, refused rather than waited for.
int LockDescriptor(int fd, FileAccess access) {
  const int operation = access == kFileAccessReadWriteShared ? LOCK_SH : LOCK_EX;
  while (::flock(fd, operation | LOCK_NB) != 0) {
    if (errno != EINTR) return errno == EWOULDBLOCK ? EACCES : errno;
  }
  return 0;
}

}  // namespace

XMacFile::XMacFile(const char* posixPath) : fPosixPath(CopyPosixPath(posixPath)) {}

XMacFile::~XMacFile() { VMemory::DisposePtr(fPosixPath); }

void XMacFile::Init(VFile* owner) {
  fOwner = owner;
  if (fPosixPath == nullptr && owner != nullptr) {
    fPosixPath = AllocatePosixPathFromFilePath(owner->GetPath());
  }
}

VError XMacFile::GetPosixPath(VString& path) const {
  path.Clear();
  if (fPosixPath != nullptr) path.FromBlock(fPosixPath, std::strlen(fPosixPath), kCharSetUTF8);
  return VE_OK;
}

bool XMacFile::Exists() const {
  struct stat info;
  return fPosixPath != nullptr && ::lstat(fPosixPath, &info) == 0 &&
         (info.st_mode & 0xD000) == 0x8000;
}

VError XMacFile::Create(unsigned options) const {
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
  if ((options & kFileOptionReplace) != 0) {
    ::unlink(fPosixPath);
    flags |= O_TRUNC;
  } else {
    flags |= O_EXCL;
  }
  const int fd = ::open(fPosixPath, flags, 0644);
  if (fd < 0) return PosixError(errno);
  ::close(fd);
  return VE_OK;
}

int XMacFile::_Open(FileAccess access, unsigned options, int* fd) const {
  *fd = -1;
  // One fork only: there is no resource fork to open or create.
  if ((options & kFileOptionResourceFork) != 0 || fPosixPath == nullptr) return ENOENT;
  const bool locking =
      access == kFileAccessReadWriteExclusive || access == kFileAccessReadWriteShared;
  // O_NONBLOCK: opening a FIFO never waits for its other end.
  int flags = O_CLOEXEC | O_NONBLOCK | (locking ? O_RDWR : O_RDONLY);
  if ((options & kFileOptionFollowLink) == 0) flags |= O_NOFOLLOW;
  const mode_t mode = (options & kFileOptionCreate) != 0 ? 0644 : 0;
  if ((options & kFileOptionCreate) != 0) flags |= O_CREAT;
  // A writable open truncates only once it holds its lock, so that a file
  // locked elsewhere is never emptied; a read-only open never truncates (a
  // read-write open that fell back to reading must not empty the file).
  const bool truncate = locking && (options & kFileOptionTruncate) != 0;

  const int descriptor = ::open(fPosixPath, flags, mode);
  if (descriptor < 0) return errno;
  int error = locking ? LockDescriptor(descriptor, access) : 0;
  if (error == 0 && truncate && ::ftruncate(descriptor, 0) != 0) error = errno;
  if (error != 0) {
    ::close(descriptor);
    return error;
  }
  if ((options & kFileOptionReadAhead) != 0) {
    ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  if ((options & (kFileOptionNoCache | kFileOptionNoCache2)) != 0) {
    ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_NOREUSE);
  }
  *fd = descriptor;
  return 0;
}

VError XMacFile::Open(FileAccess access, unsigned options, VFileDesc** out) const {
  *out = nullptr;
  int fd = -1;
  int error = 0;
  if (access == kFileAccessReadWriteOrRead) {
    error = _Open(kFileAccessReadWriteExclusive, options, &fd);
    if (error != 0) error = _Open(kFileAccessRead, options, &fd);
  } else {
    error = _Open(access, options, &fd);
  }
  if (error != 0) return PosixError(error);
  *out = new VFileDesc(fOwner, fd, access);
  return VE_OK;
}

bool XMacFile::IsReplaceable(const char* target) {
  struct stat info;
  return ::lstat(target, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1;
}

bool XMacFile::CreateReplacement(const char* target, std::string& replacement) {
  struct stat info;
  std::string folder, name;
  if (::lstat(target, &info) != 0 || platform::SplitItemPath(target, folder, name) != 0)
    return false;
  replacement = platform::JoinPath(folder, platform::TemporaryItemName(name));
  const int fd =
      ::open(replacement.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) return false;
  struct stat made;
  bool ok = ::fchmod(fd, info.st_mode & 07777) == 0 && ::fstat(fd, &made) == 0;
  if (ok && (made.st_uid != info.st_uid || made.st_gid != info.st_gid))
    ok = ::fchown(fd, info.st_uid, info.st_gid) == 0;
  ::close(fd);
  if (!ok) DiscardReplacement(replacement);
  return ok;
}

int XMacFile::CommitReplacement(const std::string& replacement, const char* target) {
  int error = 0;
  const int fd = ::open(replacement.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
  } else {
    if (::fsync(fd) != 0) error = errno;
    ::close(fd);
  }
  if (error == 0 && ::rename(replacement.c_str(), target) != 0) error = errno;
  if (error != 0) DiscardReplacement(replacement);
  return error;
}

void XMacFile::DiscardReplacement(const std::string& replacement) { ::unlink(replacement.c_str()); }

VError XMacFile::PathResult(const platform::PathError& error) { return PosixResult(error.fCode); }

void XMacFile::RunOutsideFiber(const std::function<void()>& work) {
  VTask* task = VTaskMgr::IsInited() ? VTask::GetCurrent() : nullptr;
  if (task == nullptr || task->IsPreemptive()) {
    work();
    return;
  }
  VSyncEvent* done = new VSyncEvent;
  done->Retain();
  std::thread worker([&work, done] {
    work();
    done->Unlock();
    done->Release();
  });
  done->Lock();
  worker.join();
  done->Release();
}

// A copy, or a move (a rename where source and destination share a file
// system, so the file keeps its identity; a copy and deletion across file
// systems). An existing destination is replaced only when asked, and never
// when it is the source itself.
VError XMacFile::_CopyOrMove(bool copy, const VFilePath& destination, VFile** out,
                             unsigned options) const {
  if (out != nullptr) *out = nullptr;
  VFilePath target = destination;
  if (!target.IsFile() && fOwner != nullptr) {
    VString name;
    fOwner->GetName(name);
    target.ToSubFile(name);
  }
  const VError error = TransferItem(copy, fPosixPath, target, (options & kFileOptionReplace) != 0);
  if (error == VE_OK && out != nullptr) *out = new VFile(target);
  return error;
}

VError XMacFile::TransferItem(bool copy, const char* from, const VFilePath& to, bool replace) {
  const std::string source = from != nullptr ? from : "";
  const std::string target = PosixText(to);
  platform::CopyOptions options;
  options.fReplace = replace;
  platform::PathError result;
  RunOutsideFiber([&] {
    result = copy ? platform::CopyItem(source, target, options)
                  : platform::MoveItem(source, target, options);
  });
  return PathResult(result);
}

VError XMacFile::Copy(const VFilePath& destination, VFile** out, unsigned options) const {
  return _CopyOrMove(true, destination, out, options);
}

VError XMacFile::Move(const VFilePath& destination, VFile** out, unsigned options) const {
  return _CopyOrMove(false, destination, out, options);
}

VError XMacFile::RenamePath(const char* from, const VFilePath& to) {
  if (from == nullptr) return PosixError(ENOENT);
  const int error = platform::RenameUnlessTaken(AT_FDCWD, from, AT_FDCWD, PosixText(to));
  return PosixResult(error);
}

VError XMacFile::Rename(const VString& name, VFile** out) const {
  if (out != nullptr) *out = nullptr;
  if (fOwner == nullptr) return PosixError(ENOENT);
  VFilePath path = fOwner->GetPath();
  if (!path.SetName(name)) return PosixError(EINVAL);
  const VError error = RenamePath(fPosixPath, path);
  if (error == VE_OK && out != nullptr) *out = new VFile(path);
  return error;
}

VError XMacFile::Delete() const {
  if (fPosixPath == nullptr) return PosixError(ENOENT);
  return ::unlink(fPosixPath) == 0 ? VE_OK : PosixError(errno);
}

VError XMacFile::MoveToTrash() const { return TrashPath(fPosixPath); }

VError XMacFile::TrashPath(const char* path) {
  if (path == nullptr) return PosixError(ENOENT);
  return PathResult(platform::TrashItem(path));
}

}  // namespace zeft
