// TimerService runs one-shot delayed callbacks on a helper thread of its
// own, never on the thread that scheduled them, and can cancel them: the
// stand-in for blocks scheduled on a global dispatch queue after a delay.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace zeft::platform {

class TimerService {
 public:
  using TimerID = uint64_t;

  // The process's service; its thread starts with the first timer.
  static TimerService& Get();

  TimerService() = default;
  // Stops the thread; pending timers are dropped without running.
  ~TimerService();
  TimerService(const TimerService&) = delete;
  TimerService& operator=(const TimerService&) = delete;

  // Runs `callback` once, `delayMs` milliseconds from now (at once for 0 or
  // less). Never 0.
  TimerID Schedule(int64_t delayMs, std::function<void()> callback);

  // Makes sure the callback of `id` will not run anymore: true when it was
  // removed before running, false when it already ran (or was unknown).
  // When it is running on the service's thread, waits until it returns,
  // unless Cancel is called from that callback itself.
  bool Cancel(TimerID id);

 private:
  struct Entry {
    TimerID fID;
    std::function<void()> fCallback;
  };
  void _Run();

  std::mutex fMutex;
  std::condition_variable fChanged;
  // Deadline (steady clock, nanoseconds) to timers, in firing order.
  std::multimap<int64_t, Entry> fTimers;
  TimerID fNextID = 1;
  TimerID fRunning = 0;  // the timer whose callback runs now
  bool fStopping = false;
  std::thread fThread;
};

}  // namespace zeft::platform
