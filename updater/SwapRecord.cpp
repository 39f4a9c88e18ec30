#include "SwapRecord.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "platform/FileDescriptor.h"

namespace zeft {

namespace {

constexpr std::string_view kFirstLine = "zeft swap record 1\n";
// A whole record is far shorter: anything longer is not one.
constexpr size_t kMaximumSize = 256;

std::string Line(const char* label, const ItemIdentity& identity) {
  char line[96];
  std::snprintf(line, sizeof line, "%s %llu %llu\n", label,
                static_cast<unsigned long long>(identity.fDevice),
                static_cast<unsigned long long>(identity.fInode));
  return line;
}

// Reads "<label> <device> <inode>\n" at the front of `text`, decimal digits
// only, and moves past it.
bool ReadLine(std::string_view& text, std::string_view label, ItemIdentity& identity) {
  if (text.substr(0, label.size()) != label || text.size() <= label.size() ||
      text[label.size()] != ' ')
    return false;
  text.remove_prefix(label.size() + 1);
  unsigned long long numbers[2] = {};
  for (int i = 0; i < 2; ++i) {
    size_t digits = 0;
    unsigned long long value = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
      const unsigned digit = unsigned(text[digits] - '0');
      if (value > (~0ULL - digit) / 10) return false;
      value = value * 10 + digit;
      ++digits;
    }
    const char separator = i == 0 ? ' ' : '\n';
    if (digits == 0 || digits >= text.size() || text[digits] != separator) return false;
    numbers[i] = value;
    text.remove_prefix(digits + 1);
  }
  identity.fDevice = dev_t(numbers[0]);
  identity.fInode = ino_t(numbers[1]);
  return identity.fDevice == numbers[0] && identity.fInode == numbers[1];
}

}  // namespace

bool GetItemIdentity(int dirFd, const std::string& name, ItemIdentity& identity) {
  struct stat info;
  if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
  identity.fDevice = info.st_dev;
  identity.fInode = info.st_ino;
  return true;
}

int SwapRecord::Write(int stagingFd) const {
  const std::string text =
      std::string(kFirstLine) + Line("installed", fInstalled) + Line("staged", fStaged);
  platform::FileDescriptor file(::openat(stagingFd, kFileName,
                                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                         S_IRUSR | S_IWUSR));
  if (!file.IsOpen()) return errno;
  int error = platform::WriteAll(file.Get(), text);
  if (error == 0 && ::fsync(file.Get()) != 0) error = errno;
  if (const int closed = file.Close(); error == 0) error = closed;
  // The record's name too must be on disk before anything moves.
  if (error == 0 && ::fsync(stagingFd) != 0) error = errno;
  if (error != 0) ::unlinkat(stagingFd, kFileName, 0);
  return error;
}

bool SwapRecord::Read(int stagingFd) {
  platform::FileDescriptor file(
      ::openat(stagingFd, kFileName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info;
  if (!file.IsOpen() || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_size > off_t(kMaximumSize))
    return false;
  char buffer[kMaximumSize + 1];
  size_t size = 0;
  while (size < sizeof buffer) {
    const ssize_t count = ::read(file.Get(), buffer + size, sizeof buffer - size);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return false;
    if (count == 0) break;
    size += size_t(count);
  }
  std::string_view text(buffer, size);
  if (text.substr(0, kFirstLine.size()) != kFirstLine) return false;
  text.remove_prefix(kFirstLine.size());
  SwapRecord read;
  if (!ReadLine(text, "installed", read.fInstalled) || !ReadLine(text, "staged", read.fStaged) ||
      !text.empty())
    return false;
  *this = read;
  return true;
}

int SwapRecord::Remove(int stagingFd) {
  return ::unlinkat(stagingFd, kFileName, 0) == 0 ? 0 : errno;
}

}  // namespace zeft
