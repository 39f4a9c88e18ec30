// A scratch folder for one test (under /tmp unless another parent is
// given), removed with everything in it, reading a file back whole and
// listing a folder.
#pragma once

#include <fcntl.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/FileDescriptor.h"

namespace zeft::test {

class TempFolder {
 public:
  // Path() is empty when the folder could not be made.
  explicit TempFolder(std::string_view parent = "/tmp") {
    std::string pattern = std::string(parent) + "/zeft-platform-XXXXXX";
    const char* made = ::mkdtemp(pattern.data());
    fPath = made != nullptr ? made : "";
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(fPath, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return fPath; }
  std::string Path(std::string_view relative) const { return fPath + "/" + std::string(relative); }

  // Writes `bytes` to `relative`, creating the folders on the way.
  std::string Write(std::string_view relative, std::string_view bytes) const {
    std::string path = Path(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return path;
  }

  std::string MakeFolder(std::string_view relative) const {
    std::string path = Path(relative);
    std::filesystem::create_directories(path);
    return path;
  }

 private:
  std::string fPath;
};

// The names in the folder at `path`, sorted; none when it cannot be read.
inline std::vector<std::string> SortedNames(const std::string& path) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(path, error), end; !error && it != end;
       it.increment(error))
    names.push_back(it->path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// The whole content of the file at `path`; "" when it cannot be read.
// Read a buffer at a time: through streams, the tests' unoptimised
// sanitizer builds spend seconds on the trees some tests compare.
inline std::string ReadWholeFile(const std::string& path) {
  platform::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  std::string content;
  char buffer[16384];
  size_t filled = sizeof buffer;
  while (file.IsOpen() && filled == sizeof buffer &&
         platform::ReadUpTo(file.Get(), buffer, sizeof buffer, filled) == 0)
    content.append(buffer, filled);
  return content;
}

}  // namespace zeft::test
