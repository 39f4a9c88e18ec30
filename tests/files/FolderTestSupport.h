// A scratch folder for the folder tests, with folder and file objects made
// from paths relative to it.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "FileTestSupport.h"
#include "core/IRefCountable.h"
#include "core/VString.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "support/TempFolder.h"

namespace zeft::test {

inline VString Utf8(const std::string& text) {
  return VString(text.data(), text.size(), kCharSetUTF8);
}

// The item's POSIX path as UTF-8.
inline std::string PosixPathOf(const IFileSystemObject& item) {
  VString posix;
  item.GetPlatformPath(posix, kFilePathStylePosix);
  return to_string(posix);
}

inline mode_t ModeOf(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class FolderTest : public ::testing::Test {
 protected:
  // The folder object of `relative` ("" for the scratch folder itself).
  VRefPtr<VFolder> Folder(const std::string& relative = "") const {
    std::string path = relative.empty() ? fTemp.Path() : fTemp.Path(relative);
    if (path.back() != '/') path.push_back('/');
    return VRefPtr<VFolder>(new VFolder(Utf8(path), kFilePathStylePosix), kAdoptRef);
  }
  VRefPtr<VFile> File(const std::string& relative) const {
    return VRefPtr<VFile>(new VFile(Utf8(fTemp.Path(relative)), kFilePathStylePosix), kAdoptRef);
  }
  void TearDown() override {
    // Read-only folders left by a test must not keep the scratch folder.
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(fTemp.Path(), ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
        ::chmod(it->path().c_str(), 0755);
      }
    }
  }

  TempFolder fTemp;
};

}  // namespace zeft::test
