#include "platform/Workspace.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>

#include "platform/DirectoryWalk.h"
#include "platform/ItemKind.h"
#include "platform/UserEnvironment.h"

extern char** environ;

namespace zeft::platform {

namespace {

// Starts xdg-open in the background, so that a file manager that stays in
// the foreground does not hold the caller; 127 when there is no xdg-open.
constexpr const char kRevealScript[] =
    "command -v xdg-open >/dev/null 2>&1 || exit 127\n"
    "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &\n";

}  // namespace

bool IsPackage(const std::string& path) {
  return GetItemKind(path, true) == ItemKind::kFolder &&
         IsRegularFile(path + "/Contents/Info.plist");
}

int RevealItem(const std::string& path) {
  if (GetUserEnvironment().fDisplay.empty()) return ENOTSUP;
  std::string folder, name;
  if (int error = SplitItemPath(AbsolutePath(path), folder, name); error != 0) return error;
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return errno;

  const char* arguments[] = {"sh", "-c", kRevealScript, "sh", folder.c_str(), nullptr};
  pid_t child;
  int error = ::posix_spawn(&child, "/bin/sh", nullptr, nullptr,
                            const_cast<char* const*>(arguments), environ);
  if (error != 0) return error;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return errno;
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return 0;
  return WIFEXITED(status) && WEXITSTATUS(status) == 127 ? ENOENT : EIO;
}

}  // namespace zeft::platform
