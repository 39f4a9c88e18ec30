#include "platform/UserEnvironment.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>

namespace zeft::platform {

namespace {

std::mutex sEnvironmentMutex;
std::optional<UserEnvironment> sTestEnvironment;

// Room for one user database entry; the system's suggestion when larger.
constexpr long kUserEntryRoom = 16384;

}  // namespace

std::string GetEnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

UserEnvironment GetUserEnvironment() {
  {
    std::lock_guard<std::mutex> lock(sEnvironmentMutex);
    if (sTestEnvironment) return *sTestEnvironment;
  }
  UserEnvironment environment;
  environment.fHome = GetEnvironmentVariable("HOME");
  environment.fDataHome = GetEnvironmentVariable("XDG_DATA_HOME");
  environment.fDisplay = GetEnvironmentVariable("DISPLAY");
  return environment;
}

bool GetUserAccount(UserAccount& account) { return GetUserAccount(getuid(), account); }

bool GetUserAccount(uid_t user, UserAccount& account) {
  const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buffer(size_t(suggested > kUserEntryRoom ? suggested : kUserEntryRoom), '\0');
  struct passwd entry;
  struct passwd* found = nullptr;
  if (const int error = getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found);
      error != 0 || found == nullptr) {
    errno = error != 0 ? error : ENOENT;
    return false;
  }
  account.fGroup = entry.pw_gid;
  account.fName = entry.pw_name != nullptr ? entry.pw_name : "";
  const std::string comment = entry.pw_gecos != nullptr ? entry.pw_gecos : "";
  account.fFullName = comment.substr(0, comment.find(','));
  account.fHome = entry.pw_dir != nullptr ? entry.pw_dir : "";
  return true;
}

void SetUserEnvironmentForTesting(const UserEnvironment* environment) {
  std::lock_guard<std::mutex> lock(sEnvironmentMutex);
  if (environment != nullptr) {
    sTestEnvironment = *environment;
  } else {
    sTestEnvironment.reset();
  }
}

}  // namespace zeft::platform
