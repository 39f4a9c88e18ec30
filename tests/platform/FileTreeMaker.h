// Builds the trees the file-service tests copy, move and delete, and
// describes trees the way the acceptance checks compare them.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace zeft::test {

// The output of a shell command; `status` receives its exit status.
inline std::string RunCommand(const std::string& command, int* status = nullptr) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
  int result = ::pclose(pipe);
  if (status != nullptr) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return output;
}

inline std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// One line per item: relative path, mode, link target, modification time to
// the nanosecond, owner and group; sorted.
inline std::string Listing(const std::string& root) {
  return RunCommand("cd " + Quoted(root) +
                    " && find . -printf '%P %M %l %T@ %U:%G\\n' | LC_ALL=C sort");
}

// `diff -r --no-dereference` of two trees: "" when identical.
inline std::string TreeDifferences(const std::string& a, const std::string& b) {
  int status = 0;
  std::string output =
      RunCommand("diff -r --no-dereference " + Quoted(a) + " " + Quoted(b) + " 2>&1", &status);
  return status == 0 ? output : output + "(diff status " + std::to_string(status) + ")";
}

// Sets the times of every item below `root` and of `root`, links as
// themselves, deepest first so that a folder's time outlives its content's.
inline void SetTreeTimes(const std::string& root, const struct timespec& when) {
  std::vector<std::string> paths{root};
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  const struct timespec times[2] = {when, when};
  for (const std::string& path : paths)
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// Gives every item below `root`, and `root`, to `uid`:`gid` (links as
// themselves).
inline void SetTreeOwner(const std::string& root, uid_t uid, gid_t gid) {
  ::lchown(root.c_str(), uid, gid);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    ::lchown(entry.path().c_str(), uid, gid);
}

// A chain of `depth` nested folders below `root`, made fd-relative so that
// it may go deeper than PATH_MAX (24 bytes a level), with a file at the
// bottom; the folder
// at `readOnlyLevel` (1-based, 0 for none) becomes 0500 once filled. With
// an `owner`, root and every item made are given to it.
inline bool MakeDeepTree(const std::string& root, int depth, int readOnlyLevel = 0,
                         uid_t owner = uid_t(-1)) {
  const char kLevel[] = "a-level-of-the-deep-tree";
  std::vector<int> fds;
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
  bool ok = fd >= 0;
  if (ok && owner != uid_t(-1)) ok = ::fchown(fd, owner, owner) == 0;
  for (int level = 1; ok && level <= depth; ++level) {
    ok = ::mkdirat(fd, kLevel, 0755) == 0 &&
         (owner == uid_t(-1) || ::fchownat(fd, kLevel, owner, owner, 0) == 0);
    int next = ok ? ::openat(fd, kLevel, O_RDONLY | O_DIRECTORY) : -1;
    fds.push_back(fd);
    fd = next;
    ok = ok && fd >= 0;
  }
  if (ok) {
    int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT | O_EXCL, 0644);
    ok = file >= 0 && ::write(file, "deep", 4) == 4 &&
         (owner == uid_t(-1) || ::fchown(file, owner, owner) == 0);
    if (file >= 0) ::close(file);
  }
  fds.push_back(fd);
  // fds[level] is the folder at that level (fds[0] is root).
  if (ok && readOnlyLevel > 0) ok = ::fchmod(fds[size_t(readOnlyLevel)], 0500) == 0;
  for (int open : fds)
    if (open >= 0) ::close(open);
  return ok;
}

// A tree laid out like an application bundle: nested folders with 1,000
// small files, relative, absolute and dangling links, modes 0755, 0644,
// 04755 and 0500, a 20 MiB file, an extended attribute on a file and a
// folder, owners other than the caller's (when root), and times in 2001.
inline void MakeBundleTree(const TempFolder& folder, const std::string& name) {
  const std::string root = folder.MakeFolder(name);
  folder.Write(name + "/Contents/Info.plist", "<plist version=\"1.0\"><dict/></plist>\n");
  std::string executable = folder.Write(name + "/Contents/MacOS/App", "#!/bin/sh\nexit 0\n");
  ::chmod(executable.c_str(), 04755);
  for (int group = 0; group < 10; ++group) {
    for (int file = 0; file < 100; ++file) {
      std::string relative = name + "/Contents/Resources/group" + std::to_string(group) + "/sub" +
                             std::to_string(file % 4) + "/file" + std::to_string(file) + ".txt";
      folder.Write(relative, "content of " + relative + std::string(size_t(file * 7), 'x'));
    }
  }
  std::string big(20 * 1024 * 1024, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char((i * 2654435761u) >> 13);
  folder.Write(name + "/Contents/Resources/big.bin", big);
  folder.MakeFolder(name + "/Contents/Frameworks/Lib.framework/Versions/A");
  folder.Write(name + "/Contents/Frameworks/Lib.framework/Versions/A/Lib", "library");
  ::symlink("A", (root + "/Contents/Frameworks/Lib.framework/Versions/Current").c_str());
  ::symlink("Versions/Current/Lib", (root + "/Contents/Frameworks/Lib.framework/Lib").c_str());
  ::symlink("/etc/hostname", (root + "/Contents/Resources/absolute-link").c_str());
  ::symlink("../nowhere/missing", (root + "/Contents/Resources/dangling-link").c_str());
  ::setxattr((root + "/Contents/Info.plist").c_str(), "user.zeft.note", "kept", 4, 0);
  ::setxattr((root + "/Contents/Resources").c_str(), "user.zeft.folder", "too", 3, 0);
  std::string sealed = folder.MakeFolder(name + "/Contents/_CodeSignature");
  folder.Write(name + "/Contents/_CodeSignature/CodeResources", "sealed");
  if (::geteuid() == 0) {
    ::lchown((root + "/Contents/Resources/group3").c_str(), 1234, 5678);
    ::lchown((root + "/Contents/Resources/absolute-link").c_str(), 4321, 8765);
  }
  const struct timespec when = {981173045, 123456789};  // 2001-02-03
  SetTreeTimes(root, when);
  // Read-only last: its content and time are in place.
  ::chmod(sealed.c_str(), 0500);
  const struct timespec times[2] = {when, when};
  ::utimensat(AT_FDCWD, sealed.c_str(), times, 0);
}

}  // namespace zeft::test
