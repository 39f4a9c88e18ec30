// Small helpers shared by the runtime tests: tasks that pump their
// messages, bounded polling, and a receiver that counts what reaches it.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "runtime/IMessageable.h"
#include "runtime/VMessage.h"
#include "runtime/VTask.h"

namespace zeft::test {

// A small stack for tasks and fibers. ThreadSanitizer keeps its per-thread
// state in the static TLS that the system carves from the top of the stack,
// so stacks we allocate must be much larger there.
#if defined(__SANITIZE_THREAD__)
inline constexpr size_t kSmallStack = 4 << 20;
#else
inline constexpr size_t kSmallStack = 64000;
#endif

// Starts a task that runs `body` (none: it executes its messages until
// killed).
inline VTask* StartTask(std::function<void()> body = {}, size_t stackSize = 0) {
  if (!body) {
    body = [] {
      VTask* self = VTask::GetCurrent();
      while (!self->IsDying()) VTask::ExecuteMessagesWithTimeout(5, true);
    };
  }
  auto* task = new VTask(stackSize, kTaskStylePreemptive, std::move(body));
  task->Run();
  return task;
}

// Kills the task, waits for its death and drops the caller's reference.
inline bool StopTask(VTask* task) {
  task->Kill();
  const bool dead = task->WaitForDeath(30000);
  task->Release();
  return dead;
}

// Polls `condition` until it holds or ten seconds passed.
template <class Condition>
bool WaitUntil(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A receiver counting the messages it gets and the task they ran on.
class CountingReceiver : public IMessageable {
 public:
  void DoMessage(VMessage&) override {
    fLastTaskID.store(VTask::GetCurrentID());
    fCount.fetch_add(1);
  }
  std::atomic<int> fCount{0};
  std::atomic<int32> fLastTaskID{0};
};

}  // namespace zeft::test
