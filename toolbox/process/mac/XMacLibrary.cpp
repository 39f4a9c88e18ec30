#include "process/mac/XMacLibrary.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "core/StStringConverter.h"
#include "files/VFileError.h"
#include "platform/MainBundle.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

constexpr const char* kFrameworkExtension = ".framework";
constexpr const char* kXSymMark = "XSym";

const StPackedDictionaryKey kReasonKey("reason");

std::string ToUTF8(const VString& text) {
  StStringConverter<char> bytes(text, kCharSetUTF8);
  return std::string(bytes.GetCPointer(), bytes.GetSize());
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "Name" of the framework folder ".../Name.framework/".
std::string FrameworkName(const std::string& folder) {
  std::string name = folder.substr(0, folder.size() - 1);
  name = name.substr(name.rfind('/') + 1);
  return name.substr(0, name.size() - std::char_traits<char>::length(kFrameworkExtension));
}

// Adds the permission bits the file lacks of `wanted`.
void AddPermissions(const std::string& file, mode_t wanted) {
  struct stat status;
  if (::stat(file.c_str(), &status) != 0) return;
  if ((status.st_mode & wanted) != wanted) ::chmod(file.c_str(), (status.st_mode & 07777) | wanted);
}

void PushLoadError(const VFilePath& path, const char* reason) {
  auto* error = NewErrorRecord<VFileError>(path, ToolboxError(toolbox_error::kLibraryCannotLoad));
  if (error == nullptr) return;
  VString text;
  if (reason != nullptr)
    text.FromBlock(reason, std::char_traits<char>::length(reason), kCharSetUTF8);
  error->GetBag()->SetString(kReasonKey, text);
  _PushRetainedError(error);
}

}  // namespace

XMacLibrary::~XMacLibrary() { Unload(); }

void XMacLibrary::RepairFrameworkLinks(const std::string& folder) {
  for (const std::string& relative :
       {std::string("Versions/Current"), std::string("Resources"), FrameworkName(folder)}) {
    const std::string item = folder + relative;
    struct stat status;
    // A link needs no repair; a missing item or a real folder holds no
    // link text, and the items after it may still.
    if (::lstat(item.c_str(), &status) != 0 || S_ISLNK(status.st_mode) || S_ISDIR(status.st_mode))
      continue;
    std::ifstream file(item, std::ios::binary);
    if (!file) return;
    std::stringstream content;
    content << file.rdbuf();
    const std::string text = content.str();
    if (text.compare(0, 4, kXSymMark) != 0) continue;
    std::vector<std::string> lines;
    std::istringstream reader(text);
    for (std::string line; std::getline(reader, line);) lines.push_back(line);
    if (lines.size() < 4) {
      _ThrowError(ToolboxError(toolbox_error::kFrameworkLinkUnreadable));
      return;
    }
    // The fourth line is the target, relative to the item's folder.
    const std::string temporary = item + ".link";
    ::unlink(temporary.c_str());
    if (::symlink(lines[3].c_str(), temporary.c_str()) != 0 ||
        ::rename(temporary.c_str(), item.c_str()) != 0) {
      ::unlink(temporary.c_str());
      return;
    }
  }
}

bool XMacLibrary::_Open(const VFilePath& path, const std::string& file) {
  fHandle = ::dlopen(file.c_str(), RTLD_LAZY | RTLD_GLOBAL);
  if (fHandle != nullptr) return true;
  PushLoadError(path, ::dlerror());
  return false;
}

bool XMacLibrary::Load(const VFilePath& path) {
  VString posix;
  path.GetPosixPath(posix);
  std::string target = ToUTF8(posix);
  struct stat status;
  if (target.empty() || ::stat(target.c_str(), &status) != 0) return false;
  if (S_ISREG(status.st_mode)) {
    AddPermissions(target, 0555);
    return _Open(path, target);
  }
  if (!S_ISDIR(status.st_mode)) return false;
  if (target.back() != '/') target.push_back('/');
  std::string executable;
  if (EndsWith(target.substr(0, target.size() - 1), kFrameworkExtension)) {
    RepairFrameworkLinks(target);
    executable = target + FrameworkName(target);
    AddPermissions(executable, 0500);
  } else {
    std::string error;
    const std::string name = platform::GetBundleExecutableName(target, error);
    if (name.empty()) return false;
    executable = target + "Contents/MacOS/" + name;
  }
  if (!_Open(path, executable)) return false;
  fBundleFolder = target;
  fExecutable = executable;
  return true;
}

void XMacLibrary::Unload() {
  if (fHandle != nullptr) ::dlclose(fHandle);
  fHandle = nullptr;
  fBundleFolder.clear();
  fExecutable.clear();
}

void* XMacLibrary::GetProcAddress(const VString& name) const {
  if (fHandle == nullptr) return nullptr;
  return ::dlsym(fHandle, ToUTF8(name).c_str());
}

}  // namespace zeft
