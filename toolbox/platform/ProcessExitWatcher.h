// ProcessExitWatcher tells, on a helper thread of its own, when a process
// has ended: the stand-in for a process-exit dispatch source. It never reaps
// the process, so its owner still collects the exit status with waitpid.
#pragma once

#include <sys/types.h>

#include <functional>
#include <thread>

#include "platform/CancellablePoll.h"

namespace zeft::platform {

class ProcessExitWatcher {
 public:
  // Starts watching `pid` (a child that is not reaped yet). `onExit` runs
  // once on the watcher's thread when the process has ended, also when it
  // had ended before the watch began; it does not run after Cancel.
  ProcessExitWatcher(pid_t pid, std::function<void()> onExit);
  // Cancels and waits for the thread.
  ~ProcessExitWatcher();
  ProcessExitWatcher(const ProcessExitWatcher&) = delete;
  ProcessExitWatcher& operator=(const ProcessExitWatcher&) = delete;

  // Stops watching; onExit is not called unless it is running already.
  void Cancel() { fPoll.Cancel(); }

 private:
  void _Run(pid_t pid);

  CancellablePoll fPoll;
  std::function<void()> fOnExit;
  std::thread fThread;
};

}  // namespace zeft::platform
