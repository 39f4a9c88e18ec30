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
  UserEnvironment environment;
  environment.fHome = GetEnvironmentVariable("HOME");
  environment.fDataHome = GetEnvironmentVariable("XDG_DATA_HOME");
  environment.fDisplay = GetEnvironmentVariable("DISPLAY");
  return environment;
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
