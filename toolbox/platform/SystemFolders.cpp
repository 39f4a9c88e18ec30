#include "platform/SystemFolders.h"

#include <sys/stat.h>

#include <cerrno>
#include <fstream>

#include "platform/DirectoryWalk.h"
#include "platform/MainBundle.h"
#include "platform/UserEnvironment.h"

namespace zeft::platform {

namespace {

// user-dirs.dirs is small; anything longer is not one.
constexpr std::streamsize kUserDirsMaxSize = 64 * 1024;

bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string HomeFolder(const UserEnvironment& environment) {
  if (IsAbsolute(environment.fHome)) return WithoutTrailingSlashes(environment.fHome);
  UserAccount account;
  if (GetUserAccount(account) && IsAbsolute(account.fHome))
    return WithoutTrailingSlashes(account.fHome);
  return std::string();
}

// The XDG variable when it is an absolute path, else `fallback` under home.
std::string BaseFolder(const std::string& variable, const std::string& home, const char* fallback) {
  if (IsAbsolute(variable)) return WithoutTrailingSlashes(variable);
  return home.empty() ? std::string() : home + "/" + fallback;
}

// The value of `key` (e.g. "XDG_DOCUMENTS_DIR") in user-dirs.dirs: a quoted
// "$HOME/..." or absolute path, shell escapes undone; "" when absent.
std::string UserDirectory(const std::string& configHome, const std::string& home,
                          const std::string& key) {
  std::ifstream file(configHome + "/user-dirs.dirs", std::ios::binary);
  if (!file) return std::string();
  std::string contents(size_t(kUserDirsMaxSize) + 1, '\0');
  file.read(contents.data(), kUserDirsMaxSize + 1);
  if (file.gcount() > kUserDirsMaxSize) return std::string();
  contents.resize(size_t(file.gcount()));

  std::string found;
  size_t start = 0;
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    std::string_view line(contents.data() + start, end - start);
    start = end + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (!line.starts_with(key) || line.substr(key.size()).substr(0, 2) != "=\"") continue;
    line.remove_prefix(key.size() + 2);
    std::string value;
    bool closed = false;
    for (size_t i = 0; i < line.size() && !closed; ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        value += line[++i];
      } else if (line[i] == '"') {
        closed = true;
      } else {
        value += line[i];
      }
    }
    if (!closed) continue;
    if (value == "$HOME" || value.starts_with("$HOME/")) {
      if (home.empty()) continue;
      value.replace(0, 5, home);
    } else if (!IsAbsolute(value)) {
      continue;
    }
    found = WithoutTrailingSlashes(value);  // the last assignment wins, as in a shell
  }
  return found;
}

}  // namespace

PathError GetSystemFolder(SystemFolderKind kind, bool create, std::string& path) {
  const UserEnvironment environment = GetUserEnvironment();
  const std::string home = HomeFolder(environment);
  const std::string configHome = BaseFolder(environment.fConfigHome, home, ".config");
  bool userFolder = true;
  switch (kind) {
    case SystemFolderKind::kHome:
      path = home;
      break;
    case SystemFolderKind::kExecutableFolder: {
      std::string folder, name;
      if (SplitItemPath(GetExecutablePath(), folder, name) != 0) return PathError(ENOENT, "");
      path = folder;
      userFolder = false;
      break;
    }
    case SystemFolderKind::kDocuments:
      path = UserDirectory(configHome, home, "XDG_DOCUMENTS_DIR");
      if (path.empty() && !home.empty()) path = home + "/Documents";
      break;
    case SystemFolderKind::kDesktop:
      path = UserDirectory(configHome, home, "XDG_DESKTOP_DIR");
      if (path.empty() && !home.empty()) path = home + "/Desktop";
      break;
    case SystemFolderKind::kTemporary:
      path = IsAbsolute(environment.fTemporary) ? WithoutTrailingSlashes(environment.fTemporary)
                                                : std::string("/tmp");
      userFolder = false;
      break;
    case SystemFolderKind::kUserData:
      path = BaseFolder(environment.fDataHome, home, ".local/share");
      break;
    case SystemFolderKind::kSharedData:
      path = "/usr/local/share";
      userFolder = false;
      break;
    case SystemFolderKind::kUserCaches:
      path = BaseFolder(environment.fCacheHome, home, ".cache");
      break;
    case SystemFolderKind::kSharedCaches:
      path = "/var/cache";
      userFolder = false;
      break;
    case SystemFolderKind::kUserConfiguration:
      path = configHome;
      break;
    case SystemFolderKind::kApplications:
      path = "/opt";
      userFolder = false;
      break;
  }
  if (path.empty()) return PathError(ENOENT, "");
  if (!create) return PathError();
  std::string failed = path;
  int error = MakeFolderPath(path, userFolder ? S_IRWXU : 0755, &failed);
  return error == 0 ? PathError() : PathError(error, failed);
}

}  // namespace zeft::platform
