// A scratch folder for one test (under /tmp unless another parent is
// given), removed with everything in it, and reading a file back whole.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

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

// The whole content of the file at `path`; "" when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace zeft::test
