#include "runtime/VConditionVariable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "RuntimeTestHelpers.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VTask.h"

namespace zeft {
namespace {

using test::StartTask;
using test::StopTask;
using test::WaitUntil;

TEST(VConditionVariableTest, BroadcastWithoutWaiterDoesNothing) {
  VConditionVariable condition;
  VCriticalSection section;
  EXPECT_TRUE(condition.Broadcast());
  section.Lock();
  EXPECT_FALSE(condition.WaitWithTimeout(&section, 20)) << "an earlier broadcast is not kept";
  EXPECT_EQ(section.GetUseCount(), 1u) << "the section is held again after the wait";
  section.Unlock();
}

TEST(VConditionVariableTest, BroadcastReleasesEveryWaiterThenCloses) {
  VConditionVariable condition;
  VCriticalSection section;
  constexpr int kWaiters = 3;
  std::atomic<int> entered{0};
  std::atomic<int> woken{0};
  std::vector<VTask*> tasks;
  for (int i = 0; i < kWaiters; ++i) {
    tasks.push_back(StartTask([&] {
      section.Lock();
      entered.fetch_add(1);
      if (condition.Wait(&section)) woken.fetch_add(1);
      section.Unlock();
    }));
  }
  ASSERT_TRUE(WaitUntil([&] { return entered.load() == kWaiters; }));
  // Taking the section proves that every waiter released it inside Wait.
  section.Lock();
  section.Unlock();
  EXPECT_TRUE(condition.Broadcast());
  EXPECT_TRUE(WaitUntil([&] { return woken.load() == kWaiters; }));
  for (VTask* task : tasks) EXPECT_TRUE(StopTask(task));

  section.Lock();
  EXPECT_FALSE(condition.WaitWithTimeout(&section, 20)) << "closed after the last waiter left";
  section.Unlock();
}

TEST(VConditionVariableTest, WaitWithAnotherSectionIsRefused) {
  VConditionVariable condition;
  VCriticalSection first;
  VCriticalSection second;
  std::atomic<bool> entered{false};
  VTask* waiter = StartTask([&] {
    first.Lock();
    entered.store(true);
    condition.WaitWithTimeout(&first, 60000);
    first.Unlock();
  });
  ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));
  first.Lock();  // the waiter is inside its wait
  first.Unlock();
  second.Lock();
  EXPECT_FALSE(condition.Wait(&second));
  EXPECT_EQ(second.GetUseCount(), 1u) << "a refused wait keeps the section";
  second.Unlock();
  condition.Broadcast();
  EXPECT_TRUE(StopTask(waiter));
}

}  // namespace
}  // namespace zeft
