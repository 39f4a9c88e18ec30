#include "files/mac/XBSDSystem.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "core/StStringConverter.h"
#include "files/VFilePath.h"
#include "platform/ExecutableSearch.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

bool XBSDSystem::SearchExecutablePath(const VString& name, VFilePath& path) {
  return SearchExecutablePathIn(std::getenv("PATH"), name, path);
}

bool XBSDSystem::SearchExecutablePathIn(const char* searchPath, const VString& name,
                                        VFilePath& path) {
  StStringConverter<char> converted(name, kCharSetUTF8);
  if (converted.IsOK()) {
    const std::string found = platform::FindExecutable(
        searchPath, std::string(converted.GetCPointer(), converted.GetSize()));
    VString text;
    text.FromBlock(found.data(), found.size(), kCharSetUTF8);
    if (!found.empty() && path.FromFullPath(text, kFilePathStylePosix)) return true;
  }
  path.Clear();
  return false;
}

VError XBSDSystem::CreateSymbolicLink(const char* target, const char* linkPath) {
  if (symlink(target, linkPath) == 0) return VE_OK;
  const int number = errno;
  if (number == 0) return VE_OK;
  return ThrowPosixError(number);
}

}  // namespace zeft
