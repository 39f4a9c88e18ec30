#include "runtime/VSyncEvent.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "RuntimeTestHelpers.h"
#include "runtime/VTask.h"
#include "support/ThreadState.h"

namespace zeft {
namespace {

using test::StartTask;
using test::StopTask;
using test::WaitUntil;

TEST(VSyncEventTest, OpensOnUnlockAndStaysOpenUntilReset) {
  VSyncEvent event;
  struct Case {
    int32 timeout;
  };
  // Time-outs below 1 report the flag without waiting.
  for (Case c : {Case{0}, Case{-5}, Case{-2147483647 - 1}}) {
    EXPECT_FALSE(event.Lock(c.timeout)) << c.timeout;
  }
  event.Unlock();
  for (Case c : {Case{0}, Case{-5}, Case{1}, Case{100000}}) {
    EXPECT_TRUE(event.Lock(c.timeout)) << c.timeout;
  }
  EXPECT_TRUE(event.Lock());
  EXPECT_TRUE(event.Lock());
  event.Reset();
  EXPECT_FALSE(event.Lock(0));
  EXPECT_FALSE(event.IsUnlocked());
}

TEST(VSyncEventTest, TimedWaitLastsUntilTheDeadline) {
  VSyncEvent event;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(event.Lock(60));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
}

TEST(VSyncEventTest, WakesEveryWaiter) {
  VSyncEvent event;
  std::atomic<int> passed{0};
  std::vector<VTask*> tasks;
  for (int i = 0; i < 3; ++i) {
    tasks.push_back(StartTask([&, i] {
      if (event.Lock(i == 0 ? 60000 : 0) || event.Lock()) passed.fetch_add(1);
    }));
  }
  event.Unlock();
  EXPECT_TRUE(WaitUntil([&] { return passed.load() == 3; }));
  for (VTask* task : tasks) EXPECT_TRUE(StopTask(task));
}

// A waiter woken while the event is closed again must keep waiting for its
// deadline rather than report a time-out at once.
TEST(VSyncEventTest, TimedWaitSurvivesWakeUpsThatFindTheEventClosed) {
  for (int round = 0; round < 5; ++round) {
    VSyncEvent event;
    std::atomic<int> result{-1};
    std::atomic<pid_t> waiting{0};
    std::thread waiter([&] {
      waiting.store(gettid());
      result.store(event.Lock(60000) ? 1 : 0);
    });
    // The pulses come once the waiter is parked in Lock.
    ASSERT_TRUE(WaitUntil([&] { return waiting.load() != 0; }));
    EXPECT_TRUE(test::WaitUntilAsleep(waiting.load()));
    for (int pulse = 0; pulse < 50; ++pulse) {
      event.Unlock();
      event.Reset();
      std::this_thread::yield();
    }
    // It may have passed during a pulse, but never report a time-out early.
    EXPECT_NE(result.load(), 0) << "the waiter gave up before the deadline";
    event.Unlock();
    waiter.join();
    EXPECT_EQ(result.load(), 1);
  }
}

TEST(VSyncEventTest, WaiterKeepsTheEventAliveThroughUnlock) {
  // The releasing side drops the last reference right after Unlock.
  for (int i = 0; i < 50; ++i) {
    auto* event = new VSyncEvent;
    event->Retain();  // the waiter's reference
    std::thread waiter([event] {
      event->Lock();
      event->Release();
    });
    event->Unlock();
    event->Release();
    waiter.join();
  }
  SUCCEED();
}

}  // namespace
}  // namespace zeft
