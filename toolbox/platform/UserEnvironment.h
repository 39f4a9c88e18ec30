// The user's environment variables that the platform layer reads for its
// folders and the desktop: HOME, XDG_DATA_HOME, XDG_CACHE_HOME,
// XDG_CONFIG_HOME, TMPDIR and DISPLAY. The only place of the toolbox that
// reads them; tests give their own values instead.
#pragma once

#include <string>

namespace zeft::platform {

// The values as the environment gives them; an unset variable is "".
struct UserEnvironment {
  std::string fHome;        // HOME
  std::string fDataHome;    // XDG_DATA_HOME
  std::string fCacheHome;   // XDG_CACHE_HOME
  std::string fConfigHome;  // XDG_CONFIG_HOME
  std::string fTemporary;   // TMPDIR
  std::string fDisplay;     // DISPLAY
};

UserEnvironment GetUserEnvironment();

// Makes GetUserEnvironment answer `environment` instead of the process
// environment; null goes back to the process environment.
void SetUserEnvironmentForTesting(const UserEnvironment* environment);

}  // namespace zeft::platform
