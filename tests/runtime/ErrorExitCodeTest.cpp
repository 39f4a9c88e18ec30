#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// The exit code of the probe program run with `argument`.
int ProbeExitCode(const std::string& argument) {
  const std::string command = "'" ZEFT_ERROR_EXIT_PROBE_PATH "' " + argument;
  const int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(ErrorExitCode, LastErrorOfTheMainTaskDecides) {
  struct Case {
    const char* argument;
    int exitCode;
  };
  const Case cases[] = {
      {"nothing", 0},
      {"init-failed", 1},
      {"file-error", 2},
      {"init-failed-then-file-error", 2},
      {"file-error-then-init-failed", 1},
      {"kept-in-silent-context", 2},
      {"dropped-context", 0},
      {"flushed", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProbeExitCode(c.argument), c.exitCode) << c.argument;
  }
}

}  // namespace
