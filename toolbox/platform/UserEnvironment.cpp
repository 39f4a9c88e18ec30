#include "platform/UserEnvironment.h"

#include <cstdlib>
#include <mutex>
#include <optional>

namespace zeft::platform {

namespace {

std::mutex sEnvironmentMutex;
std::optional<UserEnvironment> sTestEnvironment;

std::string GetVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

UserEnvironment GetUserEnvironment() {
  {
    std::lock_guard<std::mutex> lock(sEnvironmentMutex);
    if (sTestEnvironment) return *sTestEnvironment;
  }
  return UserEnvironment{GetVariable("HOME"),           GetVariable("XDG_DATA_HOME"),
                         GetVariable("XDG_CACHE_HOME"), GetVariable("XDG_CONFIG_HOME"),
                         GetVariable("TMPDIR"),         GetVariable("DISPLAY")};
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
