// The user's settings that the platform layer needs for its folders and the
// desktop. Only HOME, XDG_DATA_HOME and DISPLAY come from the environment
// (the toolbox reads no other variable); the cache, configuration and
// temporary folders take their standard places ($HOME/.cache,
// $HOME/.config, /tmp) unless a test gives its own values. The user's own
// account (name, home) comes from the user database.
#pragma once

#include <sys/types.h>

#include <string>

namespace zeft::platform {

// An empty field means unset: the folder's standard place applies.
struct UserEnvironment {
  std::string fHome;        // HOME
  std::string fDataHome;    // XDG_DATA_HOME
  std::string fCacheHome;   // empty: $HOME/.cache
  std::string fConfigHome;  // empty: $HOME/.config
  std::string fTemporary;   // empty: /tmp
  std::string fDisplay;     // DISPLAY
};

UserEnvironment GetUserEnvironment();

// The value of one environment variable, "" when unset: the platform
// layer's single reading of the environment.
std::string GetEnvironmentVariable(const char* name);

// An account of the user database.
struct UserAccount {
  std::string fName;      // the login name
  std::string fFullName;  // the first field of the comment (GECOS), "" when none
  std::string fHome;      // the home folder as the database gives it
  gid_t fGroup = 0;       // the primary group
};

// The account of the user running the process (its real user id); false
// when the database has no entry for it.
bool GetUserAccount(UserAccount& account);
// The account of `user`; false with errno set (ENOENT when the database has
// no entry). Safe to call from several tasks at once.
bool GetUserAccount(uid_t user, UserAccount& account);

// Makes GetUserEnvironment answer `environment` instead of the process
// environment; null goes back to the process environment.
void SetUserEnvironmentForTesting(const UserEnvironment* environment);

}  // namespace zeft::platform
