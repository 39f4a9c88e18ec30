#include "runtime/VTask.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "RuntimeTestHelpers.h"
#include "core/VString.h"
#include "process/VSystem.h"
#include "runtime/VFunctionMessage.h"
#include "runtime/VTaskMgr.h"
#include "runtime/mac/XMacTask.h"
#include "runtime/mac/XMacTaskMgr.h"
#include "support/ThreadState.h"
#include "support/ToolboxTestEnvironment.h"

namespace zeft {
namespace {

using test::kSmallStack;
using test::StartTask;
using test::StopTask;
using test::WaitUntil;

TEST(VTaskTest, MainTaskWrapsTheTestThread) {
  VTask* main = VTask::GetCurrent();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main, VTaskMgr::sInstance->GetMainTask());
  EXPECT_TRUE(VTask::IsCurrentMain());
  EXPECT_EQ(main->GetState(), kTaskStateRunning);
  EXPECT_GT(main->GetID(), 0);
  EXPECT_EQ(VTask::GetCurrentID(), main->GetID());
}

// A classic task: DoInit, DoRun until it answers false, DoDeInit.
class CountingTask : public VTask {
 public:
  explicit CountingTask(int runs) : VTask(0, kTaskStylePreemptive, {}), fRuns(runs) {}
  std::atomic<int> fInits{0}, fRunCalls{0}, fDeInits{0}, fPrepares{0};

 protected:
  void DoInit() override { fInits.fetch_add(1); }
  bool DoRun() override { return fRunCalls.fetch_add(1) + 1 < fRuns; }
  void DoDeInit() override { fDeInits.fetch_add(1); }
  void DoPrepareToDie() override { fPrepares.fetch_add(1); }

 private:
  int fRuns;
};

TEST(VTaskTest, ClassicLoopEndsWhenDoRunAnswersFalse) {
  auto* task = new CountingTask(3);
  EXPECT_EQ(task->GetState(), kTaskStateCreated);
  EXPECT_GT(task->GetID(), 0);
  EXPECT_NE(task->GetID(), VTask::GetCurrentID());
  EXPECT_TRUE(task->Run());
  EXPECT_FALSE(task->Run()) << "a task runs once";
  EXPECT_TRUE(task->WaitForDeath(30000));
  EXPECT_EQ(task->GetState(), kTaskStateDead);
  EXPECT_EQ(task->fInits.load(), 1);
  EXPECT_EQ(task->fRunCalls.load(), 3);
  EXPECT_EQ(task->fDeInits.load(), 1);
  EXPECT_EQ(task->fPrepares.load(), 1) << "the loop's own Kill";
  task->Release();
}

TEST(VTaskTest, KillMarksDyingOnceAndCallsPrepareEveryTime) {
  auto* task = new CountingTask(1 << 30);
  task->Kill();
  EXPECT_EQ(task->GetState(), kTaskStateCreated) << "a task never run is not moved";
  int32 ticks = -1;
  EXPECT_FALSE(task->IsDying(&ticks));
  EXPECT_EQ(ticks, 0);

  ASSERT_TRUE(task->Run());
  ASSERT_TRUE(WaitUntil([&] { return task->fRunCalls.load() > 0; }));
  EXPECT_FALSE(task->IsDying(&ticks));
  EXPECT_EQ(ticks, 0);
  task->Kill();
  task->Kill();
  EXPECT_TRUE(task->IsDying());
  EXPECT_GE(task->fPrepares.load(), 2);
  EXPECT_TRUE(task->WaitForDeath(30000));
  task->Release();
}

TEST(VTaskTest, WaitForDeathReturnsWhenTheTaskDies) {
  VTask* task = StartTask([] { VTask::Sleep(200); });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(task->WaitForDeath(30000));
  // Woken by the death, long before the limit.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(task->GetState(), kTaskStateDead);
  EXPECT_TRUE(task->WaitForDeath(0)) << "a dead task answers at once";
  task->Release();
}

TEST(VTaskTest, WaitForDeathTimesOutExecutingTheCallersMessages) {
  std::atomic<bool> stop{false};
  VTask* task = StartTask([&] {
    while (!stop.load()) VTask::Sleep(5);
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(task->WaitForDeath(300));
  // The deadline is kept in whole milliseconds of the toolbox clock, which
  // may have been read just before a millisecond ticked over.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(299));
  EXPECT_FALSE(task->WaitForDeath(0));
  EXPECT_FALSE(task->WaitForDeath(-1));

  // The caller's messages run during the wait: here the one that lets the
  // task end, posted from a thread without a task.
  std::thread poster([&] { VFunctionMessage::PostToMainTask([&] { stop.store(true); }); });
  poster.join();
  EXPECT_TRUE(task->WaitForDeath(60000)) << "the caller's messages did not run";
  task->Release();
}

TEST(VTaskTest, WaitForDeathOfItselfIsRefused) {
  std::atomic<int> answer{-1};
  VTask* task = StartTask([&] { answer.store(VTask::GetCurrent()->WaitForDeath(60000) ? 1 : 0); });
  ASSERT_TRUE(WaitUntil([&] { return answer.load() != -1; }));
  EXPECT_EQ(answer.load(), 0);
  EXPECT_TRUE(StopTask(task));
}

TEST(VTaskTest, TaskReleasedWithoutRunRunsNothing) {
  for (int i = 0; i < 20; ++i) {
    std::atomic<bool> ran{false};
    auto* task = new VTask(0, kTaskStylePreemptive, [&] { ran.store(true); });
    task->WakeUp();  // a stray wake-up is not a start
    ASSERT_NE(task->GetSystemID(), 0u);
    task->Release();  // joins the waiting thread
    EXPECT_FALSE(ran.load());
  }
}

TEST(VTaskTest, WakeUpBeforeRunDoesNotLoseTheTask) {
  // A first thread, so that helper threads that come with it (the thread
  // sanitizer's) are there before the count.
  std::thread([] {}).join();
  const std::set<pid_t> before = test::ThreadIDs();
  std::atomic<bool> ran{false};
  auto* task = new VTask(0, kTaskStylePreemptive, [&] { ran.store(true); });
  std::set<pid_t> made = test::ThreadIDs();
  for (pid_t id : before) made.erase(id);
  ASSERT_EQ(made.size(), 1u) << "the task's thread";
  const pid_t thread = *made.begin();
  // Its thread waits for Run; the stray wake-up is taken, and the thread
  // waits again, before Run comes.
  EXPECT_TRUE(test::WaitUntilAsleep(thread));
  const int64_t sleeps = test::ReadThreadSleep(thread).fSleeps;
  task->WakeUp();
  EXPECT_TRUE(test::WaitUntilAsleep(thread, sleeps));
  ASSERT_TRUE(task->Run());
  EXPECT_TRUE(task->WaitForDeath(30000));
  EXPECT_TRUE(ran.load());
  task->Release();
}

TEST(VTaskTest, WakeUpCutsASleepShort) {
  std::atomic<bool> sleeping{false};
  std::atomic<bool> woke{false};
  VTask* task = StartTask([&] {
    sleeping.store(true);
    VTask::Sleep(600000);  // ten minutes: the test would time out
    woke.store(true);
  });
  ASSERT_TRUE(
      WaitUntil([&] { return sleeping.load() && task->GetWaitState() == kTaskWaitSleeping; }));
  task->WakeUp();
  EXPECT_TRUE(WaitUntil([&] { return woke.load(); }));
  EXPECT_TRUE(StopTask(task));
}

TEST(VTaskTest, SleepWithoutTaskReturnsAtOnce) {
  std::thread foreign([] {
    EXPECT_EQ(VTask::GetCurrent(), nullptr);
    VTask::Sleep(600000);  // would hang the test if it slept
    VTask::Sleep(0);
  });
  foreign.join();
}

TEST(VTaskTest, StaticOperationsWithoutTaskAreNeutral) {
  // Without a task, the settings are the process's: none here.
  zeft::test::StWithoutIntlSettings noSettings;
  std::thread foreign([] {
    EXPECT_FALSE(VTask::IsCurrentMain());
    EXPECT_FALSE(VTask::ExecuteMessages(true));
    EXPECT_EQ(VTask::RetainMessageWithTimeout(10), nullptr);
    EXPECT_EQ(VTask::GetCurrentData(1), nullptr);
    static int dummy = 0;
    VTask::SetCurrentData(1, &dummy);
    EXPECT_EQ(VTask::GetCurrentIntlManager(), nullptr);
    bool timedOut = false;
    VTask::WaitAndExecuteMessages(10, &timedOut);
    EXPECT_TRUE(timedOut);
  });
  foreign.join();
}

TEST(VTaskTest, ThreadsWithoutTaskGetStableDistinctIDsOutsideTaskRanges) {
  constexpr int kThreads = 16;
  std::vector<int32> ids(kThreads);
  std::vector<std::thread> threads;
  std::atomic<bool> go{false};
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      while (!go.load()) std::this_thread::yield();
      const int32 first = VTaskMgr::GetCurrentTaskID();
      ids[i] = first == VTaskMgr::GetCurrentTaskID() ? first : 0;
    });
  }
  go.store(true);
  for (auto& thread : threads) thread.join();
  std::set<int32> distinct(ids.begin(), ids.end());
  EXPECT_EQ(distinct.size(), size_t(kThreads));
  for (int32 id : ids) {
    EXPECT_NE(id, 0) << "asked twice, the same ID";
    EXPECT_LE(id, VTaskMgr::kFirstForeignThreadID) << "never in the fiber range";
  }
}

TEST(VTaskTest, TaskIDsArePositiveAndNeverReused) {
  std::set<int32> ids;
  for (int i = 0; i < 10; ++i) {
    VTask* task = StartTask([] {});
    EXPECT_GT(task->GetID(), 0);
    EXPECT_TRUE(ids.insert(task->GetID()).second);
    EXPECT_TRUE(task->WaitForDeath(30000));
    task->Release();
    VTaskMgr::sInstance->PurgeDeadTasks();
  }
}

TEST(VTaskTest, FiberStyleOutsideFiberedModeHasNoPlatformTask) {
  std::atomic<bool> ran{false};
  auto* task = new VTask(0, kTaskStyleFiber, [&] { ran.store(true); });
  EXPECT_EQ(task->GetID(), 0);
  EXPECT_EQ(task->GetPlatformTask(), nullptr);
  EXPECT_FALSE(task->Run());
  task->Release();
  EXPECT_FALSE(ran.load());
}

TEST(VTaskTest, NamesTasksAndTheirThreads) {
  std::atomic<bool> named{false};
  char threadName[16] = {};
  VTask* task = StartTask([&] {
    VTask::GetCurrent()->SetName(VString("Logger"));
    pthread_getname_np(pthread_self(), threadName, sizeof threadName);
    named.store(true);
  });
  ASSERT_TRUE(WaitUntil([&] { return named.load(); }));
  VString name;
  task->GetName(name);
  EXPECT_TRUE(name == VString("Logger"));
  char expected[16];
  XMacTaskMgr::BuildThreadName(VString("Logger"), task->GetID(), expected);
  EXPECT_STREQ(threadName, expected);
  EXPECT_TRUE(StopTask(task));

  VString none;
  auto* unnamed = new VTask(0, kTaskStylePreemptive, {});
  unnamed->GetName(none);
  EXPECT_TRUE(none.IsEmpty());
  unnamed->Release();
}

TEST(VTaskTest, ThreadNamesAreCutOnACharacterBoundary) {
  struct Case {
    const char16_t* name;
    int32 id;
    const char* expected;
  };
  const Case cases[] = {
      {u"Logger", 7, "Logger (id = 7)"},
      {u"", 12, " (id = 12)"},
      {u"Logger", 123456, "Logger (id = 12"},
      // A two-byte character that ends exactly at byte 15 stays.
      {u"abcdefghijklm\u00e9", 1, "abcdefghijklm\xC3\xA9"},
      // One that would be split at byte 15 goes.
      {u"abcdefghijklmn\u00e9", 1, "abcdefghijklmn"},
      {u"\U0001F600\U0001F600\U0001F600\U0001F600", 1,
       "\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80"},
  };
  for (const Case& c : cases) {
    char built[16];
    XMacTaskMgr::BuildThreadName(VString(reinterpret_cast<const UniChar*>(c.name)), c.id, built);
    EXPECT_STREQ(built, c.expected);
  }
}

TEST(VTaskTest, TaskLocalDataUsesTheKeysOfTheManager) {
  VTaskMgr* manager = VTaskMgr::sInstance;
  static std::atomic<int> disposed{0};
  disposed.store(0);
  const size_t key =
      manager->CreateDataKey([](void* value) { disposed.fetch_add(*static_cast<int*>(value)); });
  ASSERT_NE(key, 0u);
  EXPECT_EQ(VTask::GetCurrentData(0), nullptr);
  VTask::SetCurrentData(0, &disposed);  // ignored
  EXPECT_EQ(VTask::GetCurrentData(0), nullptr);
  EXPECT_EQ(VTask::GetCurrentData(key), nullptr);
  VTask::SetCurrentData(key + 1000, &disposed);  // never handed out: ignored
  EXPECT_EQ(VTask::GetCurrentData(key + 1000), nullptr);

  std::atomic<bool> seenOwn{false};
  int value = 5;
  VTask* task = StartTask([&] {
    VTask::SetCurrentData(key, &value);
    seenOwn.store(VTask::GetCurrentData(key) == &value);
  });
  EXPECT_TRUE(task->WaitForDeath(30000));
  task->Release();
  EXPECT_TRUE(seenOwn.load());
  EXPECT_EQ(disposed.load(), 5) << "the key's destructor ran at the task's end";
  EXPECT_EQ(VTask::GetCurrentData(key), nullptr) << "slots belong to each task";
  manager->DeleteDataKey(key);
}

TEST(VTaskTest, StackSizes) {
  VTaskMgr* manager = VTaskMgr::sInstance;
  const size_t main = manager->GetStackSizeForMainTask();
  EXPECT_GT(main, 0u);
  EXPECT_EQ(manager->GetDefaultStackSize(), std::min<size_t>(main, 1048576));

  const size_t page = size_t(VSystem::GetVMPageSize());
  auto* task = new VTask(kSmallStack, kTaskStylePreemptive, {});
  auto* platform = static_cast<XMacTask_preemptive*>(task->GetPlatformTask());
  ASSERT_NE(platform, nullptr);
  EXPECT_EQ(platform->GetStackSize(), (kSmallStack + page - 1) / page * page);
  EXPECT_EQ(platform->GetStackRegionSize(), platform->GetStackSize() + page);
  task->Release();

  auto* byDefault = new VTask(0, kTaskStylePreemptive, {});
  EXPECT_EQ(byDefault->GetStackSize(), manager->GetDefaultStackSize());
  byDefault->Release();
}

TEST(VTaskDeathTest, TouchingTheGuardPageFaults) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        VTask* task = StartTask(
            [] {
              auto* platform =
                  static_cast<XMacTask_preemptive*>(VTask::GetCurrent()->GetPlatformTask());
              *static_cast<volatile char*>(platform->GetStackRegion()) = 1;
            },
            kSmallStack);
        task->WaitForDeath(30000);
      },
      "");
}

TEST(VTaskTest, ReportsCPUTimesOfItsThread) {
  std::atomic<bool> measured{false};
  double system = -1, user = -1, usage = -1;
  VTask* task = StartTask([&] {
    volatile uint64 sink = 0;
    for (uint64 i = 0; i < 20000000; ++i) sink = sink + i;
    VTask* self = VTask::GetCurrent();
    measured.store(self->GetCPUTimes(system, user) && self->GetCPUUsage(usage));
  });
  EXPECT_TRUE(task->WaitForDeath(30000));
  task->Release();
  EXPECT_TRUE(measured.load());
  EXPECT_GE(system, 0.0);
  EXPECT_GE(user, 0.0);
  EXPECT_GE(usage, 0.0);
}

// The main task is the process: Exit on it returns and changes nothing.
TEST(VTaskTest, ExitIsRefusedOnTheMainTask) {
  VTask* main = VTask::GetCurrent();
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(main, VTaskMgr::sInstance->GetMainTask());
  const ETaskState state = main->GetState();
  VTask::Exit(main);
  VTask::Exit(nullptr);
  EXPECT_EQ(VTask::GetCurrent(), main);
  EXPECT_EQ(main->GetState(), state);
}

}  // namespace
}  // namespace zeft
