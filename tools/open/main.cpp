// open: starts an application bundle the way the updater relaunches one.
//
//   open -a BUNDLE [--args ARGUMENTS...]
//
// Reads CFBundleExecutable from BUNDLE/Contents/Info.plist and starts
// BUNDLE/Contents/MacOS/<executable> with the arguments after --args, in a
// session of its own with its standard streams on /dev/null, and returns
// without waiting for it: 0 once it has started, 1 when it cannot start.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/MainBundle.h"

extern char** environ;

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "open: %s\n", message.c_str());
  return 1;
}

int Usage() { return Fail("usage: open -a BUNDLE [--args ARGUMENTS...]"); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || std::strcmp(argv[1], "-a") != 0) return Usage();
  std::string bundle = argv[2];
  while (bundle.size() > 1 && bundle.back() == '/') bundle.pop_back();
  std::vector<std::string> arguments;
  if (argc > 3) {
    if (std::strcmp(argv[3], "--args") != 0) return Usage();
    for (int i = 4; i < argc; ++i) arguments.push_back(argv[i]);
  }

  struct stat info;
  if (stat(bundle.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return Fail("no application bundle at " + bundle);
  }
  const std::string plistPath = bundle + "/Contents/Info.plist";
  std::string error;
  const std::string name = zeft::platform::GetBundleExecutableName(bundle, error);
  if (!error.empty()) return Fail("cannot read " + plistPath + ": " + error);
  if (name.empty()) return Fail(plistPath + " names no executable (CFBundleExecutable)");
  const std::string executable = bundle + "/Contents/MacOS/" + name;
  if (stat(executable.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
      access(executable.c_str(), X_OK) != 0) {
    return Fail("no executable program at " + executable);
  }

  std::vector<char*> childArgv{const_cast<char*>(executable.c_str())};
  for (std::string& argument : arguments) childArgv.push_back(argument.data());
  childArgv.push_back(nullptr);

  // Detached: a session of its own, nothing shared with our caller's streams
  // or descriptors.
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, executable.c_str(), &actions, &attributes, childArgv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) return Fail("cannot start " + executable + ": " + std::strerror(spawned));
  return 0;
}
