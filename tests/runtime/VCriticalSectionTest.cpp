#include "runtime/VCriticalSection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "RuntimeTestHelpers.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft {
namespace {

using test::StartTask;
using test::StopTask;
using test::WaitUntil;

// Runs `probe` on another task and returns its answer.
bool OnOtherTask(const std::function<bool()>& probe) {
  std::atomic<int> answer{-1};
  VTask* task = StartTask([&] { answer.store(probe() ? 1 : 0); });
  EXPECT_TRUE(WaitUntil([&] { return answer.load() != -1; }));
  StopTask(task);
  return answer.load() == 1;
}

TEST(VCriticalSectionTest, IsReentrantForTheOwningTaskOnly) {
  VCriticalSection lock;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(lock.Lock());
  EXPECT_EQ(lock.GetUseCount(), 3u);
  EXPECT_EQ(lock.GetOwnerTaskID(), VTask::GetCurrentID());
  EXPECT_TRUE(lock.TryToLock());  // the owner: one more level
  EXPECT_EQ(lock.GetUseCount(), 4u);

  EXPECT_FALSE(OnOtherTask([&] { return lock.TryToLock(); }));
  for (int i = 0; i < 3; ++i) lock.Unlock();
  EXPECT_FALSE(OnOtherTask([&] { return lock.TryToLock(); })) << "one level is still held";
  lock.Unlock();
  EXPECT_EQ(lock.GetOwnerTaskID(), 0);

  // Free now: another task takes it (and leaves it).
  EXPECT_TRUE(OnOtherTask([&] {
    const bool taken = lock.TryToLock();
    if (taken) lock.Unlock();
    return taken;
  }));
}

TEST(VCriticalSectionTest, ThreadsWithoutTaskAreDistinctOwners) {
  VCriticalSection lock;
  lock.Lock();
  std::atomic<int> answer{-1};
  std::thread foreign([&] { answer.store(lock.TryToLock() ? 1 : 0); });
  foreign.join();
  EXPECT_EQ(answer.load(), 0);
  lock.Unlock();
}

TEST(VCriticalSectionTest, ContentionUsesOneEventThatGoesWithTheLastUnlock) {
  VCriticalSection lock;
  lock.Lock();
  EXPECT_FALSE(lock.HasWaitEvent()) << "no event without contention";

  constexpr int kWaiters = 3;
  std::atomic<int> done{0};
  std::vector<VTask*> tasks;
  for (int i = 0; i < kWaiters; ++i) {
    tasks.push_back(StartTask([&] {
      lock.Lock();
      done.fetch_add(1);
      lock.Unlock();
    }));
  }
  EXPECT_TRUE(WaitUntil([&] { return lock.HasWaitEvent(); }));
  EXPECT_EQ(done.load(), 0);
  lock.Unlock();
  EXPECT_TRUE(WaitUntil([&] { return done.load() == kWaiters; }));
  for (VTask* task : tasks) EXPECT_TRUE(StopTask(task));
  EXPECT_FALSE(lock.HasWaitEvent());
  EXPECT_EQ(lock.GetUseCount(), 0u);
  EXPECT_EQ(lock.GetOwnerTaskID(), 0);
}

TEST(VCriticalSectionTest, ExcludesOtherTasksUnderLoad) {
  VCriticalSection lock;
  int64 counter = 0;  // guarded by `lock` only
  constexpr int kTasks = 4;
  constexpr int kRounds = 20000;
  std::vector<VTask*> tasks;
  for (int t = 0; t < kTasks; ++t) {
    tasks.push_back(StartTask([&] {
      for (int i = 0; i < kRounds; ++i) {
        lock.Lock();
        lock.Lock();  // re-entrance in the middle of contention
        ++counter;
        lock.Unlock();
        lock.Unlock();
      }
    }));
  }
  for (VTask* task : tasks) EXPECT_TRUE(StopTask(task));
  EXPECT_EQ(counter, int64(kTasks) * kRounds);
  EXPECT_FALSE(lock.HasWaitEvent());
}

// The calling thread's task ID is kept per thread for the locks: it must
// follow the thread's task when the manager stops and starts again.
TEST(VCriticalSectionTest, OwnerIsTheCurrentTaskAcrossAManagerRestart) {
  VCriticalSection lock;
  lock.Lock();
  EXPECT_EQ(lock.GetOwnerTaskID(), VTask::GetCurrent()->GetID());
  lock.Unlock();

  VTaskMgr::DeInit();
  EXPECT_EQ(VTask::GetCurrentID(), 0) << "no manager, no task";
  ASSERT_TRUE(VTaskMgr::Init(nullptr));
  ASSERT_NE(VTask::GetCurrent(), nullptr);
  const int32 main = VTask::GetCurrent()->GetID();
  EXPECT_EQ(VTask::GetCurrentID(), main);
  lock.Lock();
  EXPECT_EQ(lock.GetOwnerTaskID(), main);
  lock.Unlock();
  EXPECT_EQ(lock.GetOwnerTaskID(), 0);
}

TEST(VCriticalSectionTest, DestructionReleasesEveryLevel) {
  auto lock = std::make_unique<VCriticalSection>();
  lock->Lock();
  lock->Lock();
  lock.reset();  // must neither hang nor leak its levels
  SUCCEED();
}

TEST(VCriticalSectionTest, ScopedLockerHoldsForItsScope) {
  VCriticalSection lock;
  {
    StLocker<VCriticalSection> locker(lock);
    EXPECT_EQ(lock.GetUseCount(), 1u);
  }
  EXPECT_EQ(lock.GetUseCount(), 0u);
}

}  // namespace
}  // namespace zeft
