#include "runtime/IIdleable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "RuntimeTestHelpers.h"
#include "process/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "runtime/mac/XIdleMessage.h"

namespace zeft {
namespace {

using test::StartTask;
using test::StopTask;
using test::WaitUntil;

class CountingIdler : public IIdleable {
 public:
  ~CountingIdler() override { StopIdling(); }
  std::atomic<int> fCalls{0};
  // Holds the next call until the idler has left its task's list: a
  // destruction on another task then always meets a call in progress.
  std::atomic<bool> fHold{false};
  std::atomic<bool> fHeld{false};

 protected:
  void DoIdle() override {
    fCalls.fetch_add(1);
    if (!fHold.load()) return;
    fHeld.store(true);
    while (GetIdlingTask()->HasIdler(this)) std::this_thread::yield();
  }
};

// Runs idle passes on the main task until `condition` holds.
template <class Condition>
bool IdleUntil(Condition condition) {
  return WaitUntil([&] {
    VTask::ExecuteMessagesWithTimeout(2, true);
    return condition();
  });
}

TEST(IIdleableTest, IdlePassCallsRegisteredIdlers) {
  CountingIdler idler;
  VTask* main = VTask::GetCurrent();
  idler.StartIdling();
  idler.StartIdling(main);  // the same task: one registration
  EXPECT_TRUE(main->HasIdler(&idler));
  EXPECT_TRUE(IdleUntil([&] { return idler.fCalls.load() >= 2; }));

  idler.StopIdling();
  EXPECT_FALSE(main->HasIdler(&idler));
  EXPECT_EQ(idler.GetIdlingTask(), nullptr);
  const int calls = idler.fCalls.load();
  for (int i = 0; i < 5; ++i) VTask::ExecuteMessagesWithTimeout(20, true);
  EXPECT_EQ(idler.fCalls.load(), calls);
  idler.StopIdling();  // not registered: nothing
  idler.Idle();        // flag cleared: DoIdle is not called
  EXPECT_EQ(idler.fCalls.load(), calls);
}

TEST(IIdleableTest, MovesBetweenTasks) {
  CountingIdler idler;
  VTask* main = VTask::GetCurrent();
  VTask* other = StartTask();
  idler.StartIdling(main);
  idler.StartIdling(other);
  EXPECT_FALSE(main->HasIdler(&idler));
  EXPECT_TRUE(other->HasIdler(&idler));
  EXPECT_TRUE(WaitUntil([&] { return idler.fCalls.load() > 0; }));
  idler.StopIdling();
  EXPECT_FALSE(other->HasIdler(&idler));
  EXPECT_TRUE(StopTask(other));
}

// Destroyed on another task while its task idles: the task's list must not
// keep the pointer, and no call may reach the freed object.
TEST(IIdleableTest, DestroyedOnAnotherTaskLeavesNoDanglingEntry) {
  VTask* owner = StartTask();
  for (int round = 0; round < 20; ++round) {
    auto idler = std::make_unique<CountingIdler>();
    idler->StartIdling(owner);
    ASSERT_TRUE(WaitUntil([&] { return idler->fCalls.load() > 0; }));
    idler->fHold.store(true);
    ASSERT_TRUE(WaitUntil([&] { return idler->fHeld.load(); }));
    idler.reset();  // on the main task, inside the owner's idle call
  }
  // Two more passes over the owner's list, which would reach a dangling entry.
  CountingIdler later;
  later.StartIdling(owner);
  EXPECT_TRUE(WaitUntil([&] { return later.fCalls.load() >= 2; }));
  later.StopIdling();
  EXPECT_TRUE(StopTask(owner));
}

TEST(IIdleableTest, IdleMessageChainEndsWhenIdlingStops) {
  CountingIdler idler;
  idler.StartIdling(nullptr);  // idling, driven by the messages only
  auto* first = new XIdleMessage(&idler);
  EXPECT_TRUE(first->PostTo(VTask::GetCurrent()));
  first->Release();
  // Each link posts its successor 16 ms later through the delayed messages.
  EXPECT_TRUE(IdleUntil([&] { return idler.fCalls.load() >= 6; }));
  idler.StopIdling();
  VTaskMgr::sInstance->_CheckDelayedMessages(VSystem::GetCurrentTicks() + 10);
  while (VTask::ExecuteMessages(false)) {
  }
  EXPECT_EQ(VTaskMgr::sInstance->CountMessagesFor(VTask::GetCurrent()), 0) << "no successor";
}

}  // namespace
}  // namespace zeft
