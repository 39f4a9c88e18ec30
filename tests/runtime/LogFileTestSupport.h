// Helpers of the log file tests: a scratch folder as a VFolder, file sizes
// and the lines of a log file.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/VString.h"
#include "files/VFolder.h"
#include "support/TempFolder.h"

namespace zeft::test {

inline VFolder FolderOf(const std::string& posixPath) {
  return VFolder(VString((posixPath + "/").c_str()), kFilePathStylePosix);
}

// -1 when the file does not exist.
inline long long FileSize(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? (long long)info.st_size : -1;
}

// A file of `size` bytes (a hole but for its first line).
inline void MakeFileOfSize(const std::string& path, long long size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << "old\n";
  if (::truncate(path.c_str(), off_t(size)) != 0) std::abort();
}

inline std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace zeft::test
