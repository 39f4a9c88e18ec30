#include "SwapRecord.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

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
  if (text.substr(0, label.size() + 1) != std::string(label) + " ") return false;
  const char* at = text.data() + label.size() + 1;
  const char* const end = text.data() + text.size();
  unsigned long long numbers[2] = {};
  for (int i = 0; i < 2; ++i) {
    // Unsigned: no sign, no blank, no overflow is taken.
    const auto [next, failed] = std::from_chars(at, end, numbers[i]);
    if (failed != std::errc() || next == end || *next != (i == 0 ? ' ' : '\n')) return false;
    at = next + 1;
  }
  text.remove_prefix(size_t(at - text.data()));
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
  if (platform::ReadUpTo(file.Get(), buffer, sizeof buffer, size) != 0) return false;
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
