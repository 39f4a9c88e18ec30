// A scratch folder for file tests with the paths and file objects of its
// items, and small readers of what lies on the disk.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "core/IRefCountable.h"
#include "core/VString.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "support/TempFolder.h"

namespace zeft::test {

// The path of the item itself: its folder's POSIX path is converted (which
// resolves links in it), then its name is added, so that a link stays a link.
inline VFilePath PosixFilePath(const std::string& posix) {
  const size_t slash = posix.find_last_of('/', posix.size() > 1 ? posix.size() - 2 : 0);
  VFilePath path(VString(posix.substr(0, slash + 1).c_str()), kFilePathStylePosix);
  const bool folder = posix.back() == '/';
  const std::string name = posix.substr(slash + 1, posix.size() - slash - 1 - (folder ? 1 : 0));
  if (folder) return path.ToSubFolder(VString(name.c_str()));
  return path.ToSubFile(VString(name.c_str()));
}

inline VRefPtr<VFile> FileAt(const std::string& posix) {
  return VRefPtr<VFile>(new VFile(PosixFilePath(posix)), kAdoptRef);
}

inline bool ItemExists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

inline ino_t InodeOf(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

}  // namespace zeft::test
