#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "RuntimeTestHelpers.h"
#include "process/VSystem.h"
#include "runtime/VMessage.h"
#include "runtime/VTask.h"

namespace zeft {
namespace {

using test::CountingReceiver;
using test::StartTask;
using test::StopTask;
using test::WaitUntil;

TEST(VTaskMgrTest, NewTasksFollowTheMainTaskNewestFirst) {
  VTaskMgr* manager = VTaskMgr::sInstance;
  VTask* first = StartTask();
  VTask* second = StartTask();
  std::vector<VRefPtr<VTask>> tasks;
  manager->GetTasks(tasks);
  ASSERT_GE(tasks.size(), 3u);
  EXPECT_EQ(tasks[0].Get(), manager->GetMainTask());
  EXPECT_EQ(tasks[1].Get(), second);
  EXPECT_EQ(tasks[2].Get(), first);
  tasks.clear();

  EXPECT_GE(manager->GetTaskCount(true), 3);
  VTask* found = manager->RetainTaskByID(second->GetID());
  EXPECT_EQ(found, second);
  if (found != nullptr) found->Release();
  EXPECT_EQ(manager->RetainTaskByID(0), nullptr);
  EXPECT_EQ(manager->GetTaskByID(-12345).Get(), nullptr);

  EXPECT_TRUE(StopTask(first));
  EXPECT_TRUE(StopTask(second));
}

TEST(VTaskMgrTest, DeadTasksAreNotFoundByID) {
  VTask* task = StartTask([] {});
  const int32 id = task->GetID();
  EXPECT_TRUE(task->WaitForDeath(30000));
  EXPECT_EQ(VTaskMgr::sInstance->GetTaskByID(id).Get(), nullptr);
  task->Release();
}

TEST(VTaskMgrTest, KillAllTasksFromAnotherTaskKillsNothing) {
  VTask* victim = StartTask();
  ASSERT_TRUE(WaitUntil([&] { return victim->GetState() == kTaskStateRunning; }));
  std::atomic<int> answer{-1};
  VTask* killer = StartTask([&] { answer.store(VTaskMgr::sInstance->KillAllTasks(1000) ? 1 : 0); });
  ASSERT_TRUE(WaitUntil([&] { return answer.load() != -1; }));
  EXPECT_EQ(answer.load(), 0);
  EXPECT_EQ(victim->GetState(), kTaskStateRunning);
  EXPECT_TRUE(StopTask(killer));
  EXPECT_TRUE(StopTask(victim));
}

TEST(VTaskMgrTest, KillAllTasksFromTheMainTaskLeavesOnlyIt) {
  VTask* a = StartTask();
  VTask* b = StartTask();
  a->Retain();
  b->Retain();
  EXPECT_TRUE(VTaskMgr::sInstance->KillAllTasks(30000));
  EXPECT_EQ(a->GetState(), kTaskStateDead);
  EXPECT_EQ(b->GetState(), kTaskStateDead);
  a->Release();
  b->Release();
  EXPECT_TRUE(StopTask(a));
  EXPECT_TRUE(StopTask(b));
}

TEST(VTaskMgrTest, DataKeysReuseTheLowestDeletedEntry) {
  VTaskMgr manager;  // a fresh, empty key table
  EXPECT_EQ(manager.CreateDataKey(nullptr), 1u);
  EXPECT_EQ(manager.CreateDataKey(nullptr), 2u);
  EXPECT_EQ(manager.CreateDataKey(nullptr), 3u);
  manager.DeleteDataKey(2);
  EXPECT_FALSE(manager.CheckDataKey(2));
  manager.DeleteDataKey(2);  // already deleted: nothing changes
  manager.DeleteDataKey(0);
  manager.DeleteDataKey(99);
  EXPECT_TRUE(manager.CheckDataKey(1));
  EXPECT_TRUE(manager.CheckDataKey(3));
  EXPECT_FALSE(manager.CheckDataKey(0));
  EXPECT_FALSE(manager.CheckDataKey(4));
  EXPECT_EQ(manager.CreateDataKey(nullptr), 2u);
  EXPECT_TRUE(manager.CheckDataKey(2));
  EXPECT_EQ(manager.CreateDataKey(nullptr), 4u);
}

TEST(VTaskMgrTest, DisposeDataSkipsDeletedKeys) {
  VTaskMgr manager;
  static int calls = 0;
  calls = 0;
  const size_t live = manager.CreateDataKey([](void*) { ++calls; });
  const size_t gone = manager.CreateDataKey([](void*) { calls += 100; });
  manager.DeleteDataKey(gone);
  int a = 0, b = 0;
  void* slots[] = {&a, &b, nullptr};
  ASSERT_EQ(live, 1u);
  manager.DisposeData(slots, slots + 3);
  EXPECT_EQ(calls, 1);
}

// The delayed-message clock is driven by hand here: no other task runs an
// idle pass during these tests.
class DelayedMessageTest : public ::testing::Test {
 protected:
  void TearDown() override {
    VTaskMgr::sInstance->CancelMessages(&fReceiver);
    while (VTask::ExecuteMessages(false)) {
    }
  }
  // Delivers what is due at `now`, then executes the main task's queue.
  void DeliverAt(uint32 now) {
    VTaskMgr::sInstance->_CheckDelayedMessages(now);
    while (VTask::ExecuteMessages(false)) {
    }
  }
  CountingReceiver fReceiver;
};

TEST_F(DelayedMessageTest, IsDueAfterItsDelayInTicks) {
  struct Case {
    uint32 now;
    int32 delayMs;
    uint32 dueTicks;
  };
  const Case cases[] = {
      {1000, 1000, 60},           {1000, 10, 0},
      {0xFFFFFFF0u, 1000, 60},     // across the wrap of the tick count
      {0x7FFFFFF0u, 1000, 60},     // across the sign change
      {5, 36000000, 2160000},      // ten hours: beyond a 32-bit product
      {5, 2147483647, 128849018},  // the longest delay
  };
  fReceiver.SetMessagingTask(VTask::GetCurrentID());
  VTaskMgr* manager = VTaskMgr::sInstance;
  for (const Case& c : cases) {
    fReceiver.fCount.store(0);
    auto* message = new VMessage;
    ASSERT_TRUE(message->ActivateContext(&fReceiver));
    EXPECT_TRUE(manager->_RegisterDelayedMessage(message, c.delayMs, c.now));
    message->Release();
    EXPECT_EQ(manager->CountMessagesFor(&fReceiver), 1);
    DeliverAt(c.now + c.dueTicks);
    EXPECT_EQ(fReceiver.fCount.load(), 0) << c.delayMs << " ms: not due on its tick";
    DeliverAt(c.now + c.dueTicks + 1);
    EXPECT_EQ(fReceiver.fCount.load(), 1) << c.delayMs << " ms: due after its tick";
    EXPECT_EQ(manager->CountMessagesFor(&fReceiver), 0);
  }
}

TEST_F(DelayedMessageTest, PostToWithDelayWaitsForTheIdlePass) {
  fReceiver.SetMessagingTask(VTask::GetCurrentID());
  auto* message = new VMessage;
  // Due a second (60 ticks) after the post, which lies between these two.
  const uint32 before = VSystem::GetCurrentTicks();
  EXPECT_TRUE(message->PostTo(&fReceiver, false, 1000));
  EXPECT_TRUE(message->PostTo(&fReceiver, false, 1000)) << "in flight: accepted, not posted twice";
  const uint32 after = VSystem::GetCurrentTicks();
  EXPECT_EQ(VTaskMgr::sInstance->CountMessagesFor(&fReceiver), 1);
  DeliverAt(before);
  EXPECT_EQ(fReceiver.fCount.load(), 0);
  DeliverAt(after + 61);
  EXPECT_EQ(fReceiver.fCount.load(), 1);
  EXPECT_TRUE(message->Answered());
  message->Release();
}

TEST_F(DelayedMessageTest, CancelAbortsDelayedMessages) {
  fReceiver.SetMessagingTask(VTask::GetCurrentID());
  auto* message = new VMessage;
  EXPECT_TRUE(message->PostTo(&fReceiver, false, 5000));
  VTaskMgr::sInstance->CancelMessages(&fReceiver);
  EXPECT_TRUE(message->Aborted());
  EXPECT_FALSE(message->IsInFlight());
  EXPECT_EQ(VTaskMgr::sInstance->CountMessagesFor(&fReceiver), 0);
  DeliverAt(VSystem::GetCurrentTicks() + 100000);
  EXPECT_EQ(fReceiver.fCount.load(), 0);
  message->Release();
}

}  // namespace
}  // namespace zeft
