#include "platform/ExecutableSearch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace zeft::platform {

namespace {

// Longer candidates are skipped rather than cut.
constexpr size_t kMaxCandidate = 1024;

bool IsExecutable(const std::string& candidate) {
  if (candidate.size() > kMaxCandidate) return false;
  struct stat info;
  if (stat(candidate.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (info.st_uid == geteuid()) return (info.st_mode & S_IXUSR) != 0;
  if (info.st_gid == getegid()) return (info.st_mode & S_IXGRP) != 0;
  return (info.st_mode & S_IXOTH) != 0;
}

}  // namespace

std::string FindExecutable(const char* searchPath, const std::string& name) {
  if (name.empty() || name.size() > kMaxCandidate) return std::string();
  if (name.find('/') != std::string::npos) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(name.c_str(), nullptr),
                                                               &std::free);
    if (resolved == nullptr) return std::string();
    std::string candidate(resolved.get());
    return IsExecutable(candidate) ? candidate : std::string();
  }
  if (searchPath == nullptr || searchPath[0] == 0) return std::string();
  const char* entry = searchPath;
  while (true) {
    const char* end = std::strchr(entry, ':');
    std::string candidate(entry, end != nullptr ? size_t(end - entry) : std::strlen(entry));
    if (candidate.empty() || candidate.back() != '/') candidate.push_back('/');
    candidate.append(name);
    if (IsExecutable(candidate)) return candidate;
    if (end == nullptr) return std::string();
    entry = end + 1;
  }
}

}  // namespace zeft::platform
