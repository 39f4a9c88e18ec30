// An owned POSIX file descriptor, closed when the holder goes away, and
// reading and writing whole buffers through a descriptor.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string_view>

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

// Writes all of `text` to `fd`, again after an interruption or a short
// write. 0, or the errno of the failed write (EIO when nothing was taken).
inline int WriteAll(int fd, std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    ssize_t count = ::write(fd, text.data() + at, text.size() - at);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return count < 0 ? errno : EIO;
    at += size_t(count);
  }
  return 0;
}

// Reads from `fd` into `buffer` until `size` bytes are in or the file
// ends, again after an interruption or a short read; `filled` says how
// many came. 0, or the errno of the failed read.
inline int ReadUpTo(int fd, char* buffer, size_t size, size_t& filled) {
  filled = 0;
  while (filled < size) {
    ssize_t count = ::read(fd, buffer + filled, size - filled);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return errno;
    if (count == 0) break;
    filled += size_t(count);
  }
  return 0;
}

}  // namespace zeft::platform
