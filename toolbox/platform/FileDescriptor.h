// An owned POSIX file descriptor, closed when the holder goes away.
#pragma once

#include <unistd.h>

#include <cerrno>

namespace zeft::platform {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fFd(fd) {}
  ~FileDescriptor() { Reset(); }

  FileDescriptor(FileDescriptor&& other) noexcept : fFd(other.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int Get() const { return fFd; }
  bool IsOpen() const { return fFd >= 0; }

  // Gives the descriptor up without closing it.
  int Release() {
    int fd = fFd;
    fFd = -1;
    return fd;
  }

  // Closes now; 0, or the errno of a failed close (a write that the file
  // system could not complete shows up there).
  int Close() {
    int fd = Release();
    if (fd < 0 || ::close(fd) == 0) return 0;
    return errno;
  }

  void Reset(int fd = -1) {
    if (fFd >= 0) ::close(fFd);
    fFd = fd;
  }

 private:
  int fFd = -1;
};

}  // namespace zeft::platform
