#include "platform/ProcessExitWatcher.h"

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace zeft::platform {

namespace {

// Kernels before 5.3 have no pidfd_open: the watcher then polls.
constexpr int kPollIntervalMs = 5;

int OpenProcessFD(pid_t pid) {
#ifdef SYS_pidfd_open
  return int(syscall(SYS_pidfd_open, pid, 0));
#else
  errno = ENOSYS;
  return -1;
#endif
}

// True when `pid` is a zombie or gone; WNOWAIT leaves it for its reaper.
bool HasEnded(pid_t pid) {
  siginfo_t info{};
  if (waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return errno == ECHILD;
  return info.si_pid == pid;
}

}  // namespace

ProcessExitWatcher::ProcessExitWatcher(pid_t pid, std::function<void()> onExit)
    : fOnExit(std::move(onExit)) {
  fThread = std::thread([this, pid] { _Run(pid); });
}

ProcessExitWatcher::~ProcessExitWatcher() {
  fPoll.Cancel();
  if (fThread.joinable()) fThread.join();
}

void ProcessExitWatcher::_Run(pid_t pid) {
  const int processFD = OpenProcessFD(pid);
  if (processFD >= 0) {
    // A process descriptor turns readable when the process ends.
    const CancellablePoll::Result result = fPoll.Wait(processFD, -1);
    close(processFD);
    if (result == CancellablePoll::kReady) fOnExit();
    return;
  }
  if (errno == ESRCH) {
    fOnExit();  // ended and reaped already
    return;
  }
  while (!HasEnded(pid)) {
    if (fPoll.Wait(-1, kPollIntervalMs) != CancellablePoll::kTimedOut) return;
  }
  fOnExit();
}

}  // namespace zeft::platform
