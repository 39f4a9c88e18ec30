// Runs a piece of a test in a forked child: to bound its time (a call that
// hangs is killed, not the suite), and to run it as an ordinary user when
// the tests run as root, for whom permission bits change nothing.
#pragma once

#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace zeft::test {

// The unprivileged user and group that tests switch to when run as root.
constexpr uid_t kNobody = 65534;

// Whether RunInChild(..., true) runs the body as kNobody.
inline bool RunsAsNobody() { return ::geteuid() == 0; }

// The body's result (0 to 255), or -1 when the child was killed (a crash,
// or `seconds` went by).
inline int RunInChild(const std::function<int()>& body, bool unprivileged, unsigned seconds = 60) {
  pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    ::alarm(seconds);
    if (unprivileged && RunsAsNobody()) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
        ::_exit(254);
      // A process that changed its user is not dumpable, which hides its own
      // /proc/self/fd from it; an ordinary user's process is.
      ::prctl(PR_SET_DUMPABLE, 1);
    }
    ::_exit(body() & 0xff);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace zeft::test
