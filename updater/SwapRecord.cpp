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

#include "AsideName.h"
#include "platform/FileDescriptor.h"

namespace zeft {

namespace {

constexpr std::string_view kFirstLine = "zeft swap record 3\n";
// What earlier versions wrote, once their copy was whole: version 2 the
// same identities and aside number without the folder's own identity and a
// stage, version 1 device and inode numbers and no aside name.
constexpr std::string_view kFirstLineVersion2 = "zeft swap record 2\n";
constexpr std::string_view kFirstLineVersion1 = "zeft swap record 1\n";
// A whole record is far shorter: anything longer is not one.
constexpr size_t kMaximumSize = 512;

constexpr struct {
  SwapRecord::Stage fStage;
  std::string_view fName;
} kStages[] = {{SwapRecord::Stage::kCopying, "copying"},
               {SwapRecord::Stage::kSwapping, "swapping"},
               {SwapRecord::Stage::kPuttingBack, "putting-back"}};

std::string Line(const char* label, const ItemIdentity& identity) {
  char line[128];
  if (identity.fHasBirthTime) {
    std::snprintf(line, sizeof line, "%s %llu %lld.%09u\n", label,
                  static_cast<unsigned long long>(identity.fInode),
                  static_cast<long long>(identity.fBirthSeconds), identity.fBirthNanoseconds);
  } else {
    std::snprintf(line, sizeof line, "%s %llu -\n", label,
                  static_cast<unsigned long long>(identity.fInode));
  }
  return line;
}

// Reads the number of type T at the front of `text`, which must be
// followed by `next`, and moves past both.
template <typename T>
bool ReadNumber(std::string_view& text, T& number, char next) {
  const char* const end = text.data() + text.size();
  // No blank and no plus sign are taken; a minus sign only by signed types.
  const auto [after, failed] = std::from_chars(text.data(), end, number);
  if (failed != std::errc() || after == end || *after != next) return false;
  text.remove_prefix(size_t(after - text.data()) + 1);
  return true;
}

bool ReadLabel(std::string_view& text, std::string_view label) {
  if (text.size() <= label.size() || text.substr(0, label.size()) != label ||
      text[label.size()] != ' ')
    return false;
  text.remove_prefix(label.size() + 1);
  return true;
}

// Reads "<label> <inode> <birth>\n", the birth time being "-" or
// "<seconds>.<nine digits>", and moves past it.
bool ReadIdentity(std::string_view& text, std::string_view label, ItemIdentity& identity) {
  ItemIdentity read;
  if (!ReadLabel(text, label) || !ReadNumber(text, read.fInode, ' ')) return false;
  if (text.substr(0, 2) == "-\n") {
    text.remove_prefix(2);
  } else {
    read.fHasBirthTime = true;
    if (!ReadNumber(text, read.fBirthSeconds, '.')) return false;
    // Exactly nine digits.
    std::string_view nanoseconds = text.substr(0, 10);
    if (nanoseconds.size() != 10 || nanoseconds[9] != '\n' ||
        !ReadNumber(nanoseconds, read.fBirthNanoseconds, '\n') || !nanoseconds.empty())
      return false;
    text.remove_prefix(10);
  }
  identity = read;
  return true;
}

// Reads the previous version's "<label> <device> <inode>\n"; the device
// number is not kept.
bool ReadVersion1Identity(std::string_view& text, std::string_view label, ItemIdentity& identity) {
  unsigned long long device = 0;
  ItemIdentity read;
  if (!ReadLabel(text, label) || !ReadNumber(text, device, ' ') ||
      !ReadNumber(text, read.fInode, '\n'))
    return false;
  identity = read;
  return true;
}

// Reads "<label> <inode> <birth>\n" lines for the identities and the
// "aside <number>\n" line of the swapping stages, and nothing after them.
bool ReadSwapLines(std::string_view text, SwapRecord& read) {
  return ReadIdentity(text, "installed", read.fInstalled) &&
         ReadIdentity(text, "staged", read.fStaged) && ReadLabel(text, "aside") &&
         ReadNumber(text, read.fAsideNumber, '\n') && text.empty() && read.fAsideNumber >= 0 &&
         read.fAsideNumber <= kMaxAsideNumber;
}

bool ReadStage(std::string_view& text, SwapRecord::Stage& stage) {
  if (!ReadLabel(text, "stage")) return false;
  for (const auto& known : kStages) {
    if (text.substr(0, known.fName.size()) == known.fName &&
        text.substr(known.fName.size(), 1) == "\n") {
      stage = known.fStage;
      text.remove_prefix(known.fName.size() + 1);
      return true;
    }
  }
  return false;
}

bool Parse(std::string_view text, SwapRecord& record) {
  SwapRecord read;
  if (text.substr(0, kFirstLineVersion1.size()) == kFirstLineVersion1) {
    text.remove_prefix(kFirstLineVersion1.size());
    read.fVersion = 1;
    if (!ReadVersion1Identity(text, "installed", read.fInstalled) ||
        !ReadVersion1Identity(text, "staged", read.fStaged) || !text.empty())
      return false;
  } else if (text.substr(0, kFirstLineVersion2.size()) == kFirstLineVersion2) {
    text.remove_prefix(kFirstLineVersion2.size());
    read.fVersion = 2;
    if (!ReadSwapLines(text, read)) return false;
  } else if (text.substr(0, kFirstLine.size()) == kFirstLine) {
    text.remove_prefix(kFirstLine.size());
    if (!ReadStage(text, read.fStage) || !ReadIdentity(text, "staging", read.fStaging))
      return false;
    if (read.fStage == SwapRecord::Stage::kCopying ? !text.empty() : !ReadSwapLines(text, read))
      return false;
  } else {
    return false;
  }
  record = read;
  return true;
}

}  // namespace

bool IsOwnAndPrivate(const struct stat& info) {
  return info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool ItemIdentity::Matches(const ItemIdentity& other) const {
  if (fInode != other.fInode) return false;
  if (!fHasBirthTime || !other.fHasBirthTime) return true;
  return fBirthSeconds == other.fBirthSeconds && fBirthNanoseconds == other.fBirthNanoseconds;
}

bool GetItemIdentity(int dirFd, const std::string& name, ItemIdentity& identity) {
  struct statx info;
  const int flags = name.empty() ? AT_EMPTY_PATH : AT_SYMLINK_NOFOLLOW;
  if (::statx(dirFd, name.c_str(), flags, STATX_INO | STATX_BTIME, &info) != 0) return false;
  identity = ItemIdentity();
  identity.fInode = info.stx_ino;
  if ((info.stx_mask & STATX_BTIME) != 0) {
    identity.fHasBirthTime = true;
    identity.fBirthSeconds = info.stx_btime.tv_sec;
    identity.fBirthNanoseconds = info.stx_btime.tv_nsec;
  }
  return true;
}

bool SwapRecord::Marks(const ItemIdentity& folder) const {
  return fVersion < kVersion || fStaging.Matches(folder);
}

int SwapRecord::Write(int stagingFd) const {
  std::string text = std::string(kFirstLine);
  for (const auto& known : kStages)
    if (known.fStage == fStage) text.append("stage ").append(known.fName).append("\n");
  text += Line("staging", fStaging);
  if (fStage != Stage::kCopying) {
    text += Line("installed", fInstalled) + Line("staged", fStaged) + "aside " +
            std::to_string(fAsideNumber) + "\n";
  }
  // Written whole under another name, then renamed over the record: a run
  // killed meanwhile leaves the earlier record whole.
  if (::unlinkat(stagingFd, kNewFileName, 0) != 0 && errno != ENOENT) return errno;
  platform::FileDescriptor file(::openat(stagingFd, kNewFileName,
                                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                         S_IRUSR | S_IWUSR));
  if (!file.IsOpen()) return errno;
  int error = platform::WriteAll(file.Get(), text);
  if (error == 0 && ::fsync(file.Get()) != 0) error = errno;
  if (const int closed = file.Close(); error == 0) error = closed;
  if (error == 0 && ::renameat(stagingFd, kNewFileName, stagingFd, kFileName) != 0) error = errno;
  if (error != 0) {
    ::unlinkat(stagingFd, kNewFileName, 0);
    return error;
  }
  // The record's name too must be on disk before anything moves.
  return ::fsync(stagingFd) == 0 ? 0 : errno;
}

SwapRecord::ReadResult SwapRecord::Read(int stagingFd, int* error) {
  const auto unreadable = [error](int code) {
    if (error != nullptr) *error = code;
    return ReadResult::kUnreadable;
  };
  // O_NONBLOCK: a FIFO put there must not hold the run.
  platform::FileDescriptor file(
      ::openat(stagingFd, kFileName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file.IsOpen()) {
    if (errno == ENOENT) return ReadResult::kNone;
    // A link, which no run makes.
    if (errno == ELOOP) return ReadResult::kDamaged;
    return unreadable(errno);
  }
  struct stat info;
  if (::fstat(file.Get(), &info) != 0) return unreadable(errno);
  if (!IsOwnAndPrivate(info)) return ReadResult::kForeign;
  if (!S_ISREG(info.st_mode) || info.st_size > off_t(kMaximumSize)) return ReadResult::kDamaged;
  char buffer[kMaximumSize + 1];
  size_t size = 0;
  if (const int failed = platform::ReadUpTo(file.Get(), buffer, sizeof buffer, size); failed != 0)
    return unreadable(failed);
  return Parse(std::string_view(buffer, size), *this) ? ReadResult::kRead : ReadResult::kDamaged;
}

int SwapRecord::Remove(int stagingFd) {
  for (const char* name : {kNewFileName, kFileName})
    if (::unlinkat(stagingFd, name, 0) != 0 && errno != ENOENT) return errno;
  return 0;
}

}  // namespace zeft
