// XMacLibrary loads a library with dlopen (RTLD_LAZY | RTLD_GLOBAL). A
// bundle's code is Contents/MacOS/<CFBundleExecutable> of its Info.plist; a
// framework's is the file named like the framework inside it, after its
// "XSym" link files (symbolic links stored as text by file systems that
// have none) were turned back into links. A single file is made readable
// and executable for everybody before it is opened.
#pragma once

#include <string>

#include "core/VString.h"
#include "files/VFilePath.h"

namespace zeft {

class XMacLibrary {
 public:
  XMacLibrary() = default;
  ~XMacLibrary();
  XMacLibrary(const XMacLibrary&) = delete;
  XMacLibrary& operator=(const XMacLibrary&) = delete;

  // True when loaded; errors pushed otherwise.
  bool Load(const VFilePath& path);
  void Unload();
  void* GetProcAddress(const VString& name) const;

  bool IsBundle() const { return !fBundleFolder.empty(); }
  // POSIX paths of a loaded bundle: its folder (ending "/") and its code.
  const std::string& GetBundleFolder() const { return fBundleFolder; }
  const std::string& GetExecutablePath() const { return fExecutable; }

  // Replaces the "XSym" text files among a framework's links by links.
  // Toolbox error 617 (pushed) for a link file of fewer than four lines.
  static void RepairFrameworkLinks(const std::string& folder);

 private:
  bool _Open(const VFilePath& path, const std::string& file);

  void* fHandle = nullptr;
  std::string fBundleFolder;
  std::string fExecutable;
};

}  // namespace zeft
