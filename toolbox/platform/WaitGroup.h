// WaitGroup counts pieces of work in flight on helper threads so that one
// thread can wait until all of them are done: the stand-in for a dispatch
// group.
#pragma once

#include <condition_variable>
#include <mutex>

namespace zeft::platform {

class WaitGroup {
 public:
  WaitGroup() = default;
  WaitGroup(const WaitGroup&) = delete;
  WaitGroup& operator=(const WaitGroup&) = delete;

  void Enter();
  // Each Enter is matched by one Leave, from any thread.
  void Leave();
  // Returns when every entered piece has left (at once when none is in).
  void Wait();

 private:
  std::mutex fMutex;
  std::condition_variable fEmptied;
  int fCount = 0;
};

}  // namespace zeft::platform
