#include "files/mac/XBSDSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/StStringConverter.h"
#include "files/VFilePath.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

// Longer candidates are skipped rather than cut.
constexpr size_t kMaxCandidate = 1024;

// A regular file with the execute bit that applies to the process: the
// owner's when it owns the file, else the group's when the file is in its
// group, else the others'.
bool IsExecutable(const std::string& candidate) {
  struct stat info;
  if (stat(candidate.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (info.st_uid == geteuid()) return (info.st_mode & S_IXUSR) != 0;
  if (info.st_gid == getegid()) return (info.st_mode & S_IXGRP) != 0;
  return (info.st_mode & S_IXOTH) != 0;
}

bool Accept(const std::string& candidate, VFilePath& path) {
  VString text;
  text.FromBlock(candidate.data(), candidate.size(), kCharSetUTF8);
  return path.FromFullPath(text, kFilePathStylePosix);
}

}  // namespace

bool XBSDSystem::SearchExecutablePath(const VString& name, VFilePath& path) {
  return SearchExecutablePathIn(std::getenv("PATH"), name, path);
}

bool XBSDSystem::SearchExecutablePathIn(const char* searchPath, const VString& name,
                                        VFilePath& path) {
  StStringConverter<char> converted(name, kCharSetUTF8);
  const std::string program(converted.GetCPointer(), converted.GetSize());
  if (converted.IsOK() && !program.empty() && program.size() <= kMaxCandidate) {
    if (program.find('/') != std::string::npos) {
      if (char* resolved = realpath(program.c_str(), nullptr); resolved != nullptr) {
        const std::string candidate(resolved);
        std::free(resolved);
        if (candidate.size() <= kMaxCandidate && IsExecutable(candidate)) {
          return Accept(candidate, path);
        }
      }
    } else if (searchPath != nullptr && searchPath[0] != 0) {
      const char* entry = searchPath;
      while (true) {
        const char* end = std::strchr(entry, ':');
        const size_t entryLength = end != nullptr ? size_t(end - entry) : std::strlen(entry);
        std::string candidate(entry, entryLength);
        if (candidate.empty() || candidate.back() != '/') candidate.push_back('/');
        candidate.append(program);
        if (candidate.size() <= kMaxCandidate && IsExecutable(candidate)) {
          return Accept(candidate, path);
        }
        if (end == nullptr) break;
        entry = end + 1;
      }
    }
  }
  path.Clear();
  return false;
}

VError XBSDSystem::CreateSymbolicLink(const char* target, const char* linkPath) {
  if (symlink(target, linkPath) == 0) return VE_OK;
  const int number = errno;
  if (number == 0) return VE_OK;
  return ThrowPosixError(number);
}

}  // namespace zeft
