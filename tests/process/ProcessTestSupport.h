// Helpers of the process tests: POSIX paths in and out of VFilePath, and
// temporary folders holding bundles, frameworks and library files made
// from the test component library.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "core/VString.h"
#include "files/VFilePath.h"
#include "platform/TreeDeleter.h"
#include "support/TempFolder.h"

namespace zeft::test {

inline std::string Posix(const VFilePath& path) {
  VString text;
  path.GetPosixPath(text);
  return to_string(text);
}

inline VFilePath PosixPath(const std::string& posix) {
  VString text;
  text.FromBlock(posix.data(), posix.size(), kCharSetUTF8);
  return VFilePath(text, kFilePathStylePosix);
}

// A temporary folder, deleted with its content; its path ends with '/'.
class TemporaryFolder {
 public:
  TemporaryFolder() : fPath(fFolder.Path().empty() ? std::string() : fFolder.Path() + "/") {}
  // Read-only folders inside need the forced delete.
  ~TemporaryFolder() {
    if (!fPath.empty()) platform::DeleteTree(fPath, true);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::string& Path() const { return fPath; }

  // Makes the folders of `relative` (ending '/').
  std::string MakeFolders(const std::string& relative) const {
    fFolder.MakeFolder(relative);
    return fPath + relative;
  }
  std::string Write(const std::string& relative, const std::string& content,
                    mode_t mode = 0644) const {
    const std::string path = fFolder.Write(relative, content);
    ::chmod(path.c_str(), mode);
    return path;
  }
  std::string Copy(const std::string& from, const std::string& relative, mode_t mode = 0755) const {
    return Write(relative, ReadWholeFile(from), mode);
  }
  // <name>.bundle holding the library as its executable.
  std::string MakeBundle(const std::string& name, const std::string& library) const {
    Write(name + ".bundle/Contents/Info.plist",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
          "<key>CFBundleExecutable</key><string>" +
              name + "</string></dict></plist>\n");
    Copy(library, name + ".bundle/Contents/MacOS/" + name);
    return fPath + name + ".bundle/";
  }

 private:
  TempFolder fFolder;
  std::string fPath;
};

}  // namespace zeft::test
