#include "runtime/VMessage.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <vector>

#include "RuntimeTestHelpers.h"
#include "runtime/VFunctionMessage.h"
#include "runtime/VMessageQueue.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "support/ThreadState.h"

namespace zeft {
namespace {

using test::CountingReceiver;
using test::StartTask;
using test::StopTask;
using test::WaitUntil;

// Drains the main task's queue so that one test's leftovers never reach the next.
class VMessageTest : public ::testing::Test {
 protected:
  void TearDown() override {
    while (VTask::ExecuteMessages(false)) {
    }
  }
};

// A message that records the order it ran in.
class TaggedMessage : public VMessage {
 public:
  TaggedMessage(std::vector<int>* log, int tag, uint32 signature = 0, bool coalesce = true)
      : fLog(log), fTag(tag), fSignature(signature), fKeepNewer(coalesce) {}
  uint32 GetCoalescingSignature() const override { return fSignature; }
  bool DoCoalesce(const VMessage&) override { return fKeepNewer; }

 protected:
  void DoExecute() override { fLog->push_back(fTag); }

 private:
  std::vector<int>* fLog;
  int fTag;
  uint32 fSignature;
  bool fKeepNewer;
};

TEST_F(VMessageTest, SendToTheCallingTaskRunsAtOnce) {
  CountingReceiver receiver;  // made on the main task: its messaging task
  EXPECT_EQ(receiver.GetMessagingTask(), VTask::GetCurrentID());
  auto* message = new VMessage;
  EXPECT_TRUE(message->SendTo(&receiver));
  EXPECT_EQ(receiver.fCount.load(), 1);
  EXPECT_TRUE(message->Answered());
  EXPECT_FALSE(VTask::GetCurrent()->IsAnyMessagePending());
  EXPECT_TRUE(message->SendTo(&receiver, 100)) << "idle again: may be sent again";
  EXPECT_EQ(receiver.fCount.load(), 2);
  message->Release();
}

TEST_F(VMessageTest, SendToAnotherTaskRunsThereAndWaits) {
  VTask* pump = StartTask();
  CountingReceiver receiver;
  receiver.SetMessagingTask(pump->GetID());
  auto* message = new VMessage;
  EXPECT_TRUE(message->SendTo(&receiver));
  EXPECT_EQ(receiver.fCount.load(), 1);
  EXPECT_EQ(receiver.fLastTaskID.load(), pump->GetID());
  EXPECT_TRUE(message->SendTo(&receiver, 30000));
  EXPECT_EQ(receiver.fCount.load(), 2);
  message->Release();
  EXPECT_TRUE(StopTask(pump));
}

TEST_F(VMessageTest, DeliveriesToUnreachableReceiversFail) {
  auto* message = new VMessage;
  EXPECT_FALSE(message->SendTo(nullptr));
  EXPECT_FALSE(message->PostTo(nullptr));

  CountingReceiver stopped;
  stopped.StopMessaging();
  EXPECT_FALSE(message->SendTo(&stopped));
  EXPECT_FALSE(message->PostTo(&stopped));
  stopped.StartMessaging();
  EXPECT_TRUE(message->SendTo(&stopped));

  CountingReceiver orphan;
  orphan.SetMessagingTask(0);  // like a receiver made before the manager
  EXPECT_FALSE(message->SendTo(&orphan));
  orphan.SetMessagingTask(-7);  // no task has that ID
  EXPECT_FALSE(message->PostTo(&orphan));
  EXPECT_EQ(orphan.fCount.load(), 0);
  message->Release();
}

TEST_F(VMessageTest, TimedOutSendIsAbortedAndNeverRuns) {
  std::atomic<bool> pump{false};
  VTask* task = StartTask([&] {
    while (!pump.load()) VTask::Sleep(2);
    while (!VTask::GetCurrent()->IsDying()) VTask::ExecuteMessagesWithTimeout(5, false);
  });
  CountingReceiver receiver;
  receiver.SetMessagingTask(task->GetID());
  auto* message = new VMessage;
  EXPECT_FALSE(message->SendTo(&receiver, 50));
  EXPECT_TRUE(message->Aborted());
  EXPECT_FALSE(message->IsInFlight());
  EXPECT_EQ(task->CountMessagesFor(&receiver), 0) << "nothing executable is left queued";

  // Posted again elsewhere, it runs there only: no stale entry on the
  // first task may take it.
  CountingReceiver here;
  EXPECT_TRUE(message->PostTo(&here));
  pump.store(true);
  auto* probe = new VMessage;
  EXPECT_TRUE(probe->SendTo(&receiver));  // the task has pumped its queue
  probe->Release();
  EXPECT_EQ(receiver.fCount.load(), 1) << "the probe only";
  EXPECT_EQ(here.fCount.load(), 0);
  EXPECT_TRUE(VTask::ExecuteMessages(false));
  EXPECT_EQ(here.fCount.load(), 1);
  EXPECT_EQ(here.fLastTaskID.load(), VTask::GetCurrentID());
  message->Release();
  EXPECT_TRUE(StopTask(task));
}

TEST_F(VMessageTest, PostQueuesAndExecuteRunsInOrder) {
  CountingReceiver receiver;
  std::vector<int> log;
  VTask* main = VTask::GetCurrent();
  for (int tag = 1; tag <= 3; ++tag) {
    auto* message = new TaggedMessage(&log, tag);
    EXPECT_TRUE(message->PostTo(&receiver));
    message->Release();
  }
  EXPECT_TRUE(log.empty()) << "posted, not run";
  EXPECT_EQ(main->CountMessagesFor(&receiver), 3);
  EXPECT_EQ(VTaskMgr::sInstance->CountMessagesFor(&receiver), 3);
  EXPECT_TRUE(VTask::ExecuteMessages(false));
  EXPECT_EQ(log, (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(VTask::ExecuteMessages(false));
}

TEST_F(VMessageTest, PostWithExecuteNowRunsOnTheSameTask) {
  CountingReceiver receiver;
  auto* message = new VMessage;
  EXPECT_TRUE(message->PostTo(&receiver, true, 0));
  EXPECT_EQ(receiver.fCount.load(), 1);
  EXPECT_TRUE(message->Answered());
  EXPECT_FALSE(message->IsInFlight());
  message->Release();
}

TEST_F(VMessageTest, CoalescedPostIsRefused) {
  CountingReceiver receiver;
  std::vector<int> log;
  auto* first = new TaggedMessage(&log, 1, 42, false);
  auto* second = new TaggedMessage(&log, 2, 42, false);
  auto* other = new TaggedMessage(&log, 3, 7, false);
  EXPECT_TRUE(first->PostTo(&receiver));
  EXPECT_FALSE(second->PostTo(&receiver));
  EXPECT_FALSE(second->IsInFlight());
  EXPECT_TRUE(other->PostTo(&receiver));
  EXPECT_EQ(VTask::GetCurrent()->CountMessagesFor(&receiver), 2);
  VTask::ExecuteMessages(false);
  EXPECT_EQ(log, (std::vector<int>{1, 3}));
  first->Release();
  second->Release();
  other->Release();
}

TEST_F(VMessageTest, MessagesForADestroyedReceiverRunNothing) {
  auto receiver = std::make_unique<CountingReceiver>();
  auto* message = new VMessage;
  EXPECT_TRUE(message->PostTo(receiver.get()));
  receiver.reset();
  EXPECT_TRUE(VTask::ExecuteMessages(false));
  EXPECT_TRUE(message->Answered());  // executed, but reached nobody
  message->Release();
}

TEST_F(VMessageTest, CancelKeepsTheOrderOfTheOthers) {
  CountingReceiver kept, cancelled;
  std::vector<int> log;
  std::vector<VMessage*> messages;
  for (int tag = 1; tag <= 6; ++tag) {
    auto* message = new TaggedMessage(&log, tag);
    EXPECT_TRUE(message->PostTo(tag % 2 == 0 ? static_cast<IMessageable*>(&cancelled) : &kept));
    messages.push_back(message);
  }
  VTask::GetCurrent()->CancelMessages(&cancelled);
  EXPECT_EQ(VTask::GetCurrent()->CountMessagesFor(&cancelled), 0);
  for (int i = 1; i < 6; i += 2) EXPECT_TRUE(messages[i]->Aborted());
  VTask::ExecuteMessages(false);
  EXPECT_EQ(log, (std::vector<int>{1, 3, 5}));
  for (VMessage* message : messages) message->Release();
}

TEST_F(VMessageTest, QueueWokenWithoutMessageReturnsNull) {
  auto* queue = new VMessageQueue;
  const pid_t waiter = gettid();
  std::thread waker([queue, waiter] {
    test::WaitUntilAsleep(waiter);  // in the wait below
    queue->SetEvent();
  });
  bool timedOut = true;
  EXPECT_EQ(queue->RetainMessageWithTimeout(60000, &timedOut), nullptr);
  EXPECT_FALSE(timedOut);
  waker.join();
  EXPECT_EQ(queue->RetainMessageWithTimeout(10, &timedOut), nullptr);
  EXPECT_TRUE(timedOut);
  queue->Release();
}

TEST_F(VMessageTest, PostToAndWaitPumpsTheCallersMessages) {
  // The target asks the caller for something before it answers: without
  // pumping, both would wait for ever.
  VTask* pump = StartTask();
  VTask* main = VTask::GetCurrent();
  main->Retain();
  std::atomic<bool> callerRan{false};
  std::atomic<bool> targetRan{false};
  auto* message = new VFunctionMessage([&] {
    VFunctionMessage::PostToAndWait(main, [&] { callerRan.store(true); });
    targetRan.store(true);
  });
  EXPECT_TRUE(message->PostToAndWaitExecutingMessages(pump, 30000));
  EXPECT_TRUE(callerRan.load());
  EXPECT_TRUE(targetRan.load());
  message->Release();
  main->Release();
  EXPECT_TRUE(StopTask(pump));
}

TEST_F(VMessageTest, PostToAndWaitTimesOutOnATaskThatNeverPumps) {
  std::atomic<bool> stop{false};
  VTask* sleeper = StartTask([&] {
    while (!stop.load()) VTask::Sleep(2);
  });
  std::atomic<bool> ran{false};
  auto* message = new VFunctionMessage([&] { ran.store(true); });
  EXPECT_FALSE(message->PostToAndWaitExecutingMessages(sleeper, 50));
  EXPECT_TRUE(message->Aborted());
  EXPECT_EQ(sleeper->CountMessagesFor(sleeper), 0);
  message->Release();
  stop.store(true);
  EXPECT_TRUE(StopTask(sleeper));
  EXPECT_FALSE(ran.load());
}

TEST_F(VMessageTest, FunctionMessagesRunOnTheirTask) {
  // Posted to the calling task: not before it executes its messages.
  std::atomic<int> runs{0};
  VFunctionMessage::PostFunctionTo(VTask::GetCurrent(), [&] { runs.fetch_add(1); });
  EXPECT_EQ(runs.load(), 0);
  VTask::ExecuteMessages(false);
  EXPECT_EQ(runs.load(), 1);

  // On the main task, waiting: runs before returning, without a message.
  VFunctionMessage::PostToMainTaskAndWait([&] { runs.fetch_add(1); });
  EXPECT_EQ(runs.load(), 2);
  EXPECT_FALSE(VTask::GetCurrent()->IsAnyMessagePending());

  // From a thread without a task: it waits until the main task ran it.
  std::atomic<bool> done{false};
  std::thread foreign([&] {
    VFunctionMessage::PostToMainTaskAndWait([&] { runs.fetch_add(1); });
    done.store(true);
  });
  EXPECT_TRUE(WaitUntil([&] {
    VTask::ExecuteMessages(false);
    return done.load();
  }));
  foreign.join();
  EXPECT_EQ(runs.load(), 3);

  VFunctionMessage::PostFunctionTo(nullptr, [&] { runs.fetch_add(100); });
  VFunctionMessage::PostToMainTask([&] { runs.fetch_add(1); }, true);
  EXPECT_EQ(runs.load(), 4);
}

}  // namespace
}  // namespace zeft
