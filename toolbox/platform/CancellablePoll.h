// CancellablePoll is the wait of a helper thread on one descriptor that
// another thread can interrupt: the exit watcher and the pipe readers of the
// dispatch stand-in park their threads on it.
#pragma once

namespace zeft::platform {

class CancellablePoll {
 public:
  enum Result { kReady, kTimedOut, kCancelled, kFailed };

  CancellablePoll();
  ~CancellablePoll();
  CancellablePoll(const CancellablePoll&) = delete;
  CancellablePoll& operator=(const CancellablePoll&) = delete;

  // False when the wake-up descriptor could not be made (every Wait then
  // answers kFailed).
  bool IsValid() const { return fWakeFD >= 0; }

  // Waits until `fd` is readable (or hung up), Cancel is called, or
  // `timeoutMs` passes (below 0: no limit). Interrupted calls are resumed.
  Result Wait(int fd, int timeoutMs);

  // Makes the current and every later Wait answer kCancelled. Safe from any
  // thread, any number of times.
  void Cancel();

 private:
  int fWakeFD = -1;
};

}  // namespace zeft::platform
