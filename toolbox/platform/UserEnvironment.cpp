#include "platform/UserEnvironment.h"

#include <cstdlib>
#include <mutex>
#include <optional>

namespace zeft::platform {

namespace {

std::mutex sEnvironmentMutex;
std::optional<UserEnvironment> sTestEnvironment;

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
  return UserEnvironment{
      GetEnvironmentVariable("HOME"),           GetEnvironmentVariable("XDG_DATA_HOME"),
      GetEnvironmentVariable("XDG_CACHE_HOME"), GetEnvironmentVariable("XDG_CONFIG_HOME"),
      GetEnvironmentVariable("TMPDIR"),         GetEnvironmentVariable("DISPLAY")};
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
