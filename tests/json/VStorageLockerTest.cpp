#include "json/VStorageLocker.h"

#include <gtest/gtest.h>

#include <atomic>

#include "JSONTestSupport.h"
#include "json/VJSONUser.h"
#include "runtime/RuntimeTestHelpers.h"
#include "runtime/VTask.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::StartTask;
using test::StopTask;
using test::WaitUntil;

TEST(VStorageLockerTest, NestedUsesAndForeignEndUse) {
  VRefPtr<VStorageLocker> locker(new VStorageLocker(), kAdoptRef);
  ASSERT_TRUE(locker->Use());
  ASSERT_TRUE(locker->Use());
  std::atomic<int> tried{-1};
  VTask* other = StartTask([&] {
    tried.store(locker->TryToUse() ? 1 : 0);
    locker->EndUse();  // not the owner: nothing happens
  });
  while (tried.load() < 0) VTask::Sleep(1);
  EXPECT_EQ(tried.load(), 0);
  EXPECT_TRUE(StopTask(other));
  locker->EndUse();
  EXPECT_TRUE(locker->IsInUseByCurrentTask());
  locker->EndUse();
  EXPECT_FALSE(locker->IsInUseByCurrentTask());
  EXPECT_EQ(locker->GetOwner(), 0);
}

TEST(VStorageLockerTest, TwoTasksTakeTurnsOnASharedObject) {
  VRefPtr<VJSONObject> shared(new VJSONObject(nullptr, nullptr, true), kAdoptRef);
  constexpr int kRounds = 2000;
  auto work = [&] {
    for (int i = 0; i < kRounds; ++i) {
      VJSONUser user(shared.Get());
      ASSERT_TRUE(user.IsInUse());
      const double count = shared->GetProperty(VString("count")).GetNumber();
      shared->SetProperty(VString("count"), VJSONValue(count + 1));
      VJSONValue list = shared->GetProperty(VString("list"));
      if (!list.IsArray()) {
        VRefPtr<VJSONArray> array(new VJSONArray(true), kAdoptRef);
        list.SetArray(array.Get());
        shared->SetProperty(VString("list"), list);
      }
      list.GetArray()->Push(VJSONValue(double(i)));
      if (list.GetArray()->GetCount() > 10) list.GetArray()->RemoveAt(0, 5);
    }
  };
  std::atomic<bool> done{false};
  VTask* other = StartTask([&] {
    work();
    done.store(true);
  });
  work();
  while (!done.load()) VTask::Sleep(1);
  EXPECT_TRUE(StopTask(other));
  VJSONUser user(shared.Get());
  EXPECT_EQ(shared->GetProperty(VString("count")).GetNumber(), 2 * kRounds);
  EXPECT_GT(shared->GetSharedID(), 0) << "no longer fresh once it took a member";
}

std::atomic<bool> sWaiterRegistered{false};
std::atomic<bool> sUseEnded{false};

// The waiter stops between joining the waiting tasks and its wait until
// the owner has ended its use.
void HoldWaiterUntilUseEnds(VStorageLocker*) {
  sWaiterRegistered.store(true);
  WaitUntil([] { return sUseEnded.load(); });
}

TEST(VStorageLockerTest, WakeUpBeforeTheWaitIsNotLost) {
  VRefPtr<VStorageLocker> locker(new VStorageLocker(), kAdoptRef);
  ASSERT_TRUE(locker->Use());
  sWaiterRegistered.store(false);
  sUseEnded.store(false);
  VStorageLocker::SetWaitHook(&HoldWaiterUntilUseEnds);
  std::atomic<int> answer{-1};
  VTask* waiter = StartTask([&] {
    const bool had = locker->Use();
    answer.store(had ? 1 : 0);
    if (had) locker->EndUse();
  });
  EXPECT_TRUE(WaitUntil([] { return sWaiterRegistered.load(); }));
  VStorageLocker::SetWaitHook(nullptr);
  locker->EndUse();
  sUseEnded.store(true);
  EXPECT_TRUE(WaitUntil([&] { return answer.load() >= 0; })) << "the waiter missed its wake-up";
  EXPECT_EQ(answer.load(), 1);
  EXPECT_TRUE(StopTask(waiter));
}

TEST(VStorageLockerTest, WaiterToldToDieGetsFalse) {
  VRefPtr<VStorageLocker> locker(new VStorageLocker(), kAdoptRef);
  ASSERT_TRUE(locker->Use());
  std::atomic<int> answer{-1};
  VTask* waiter = StartTask([&] { answer.store(locker->Use() ? 1 : 0); });
  VTask::Sleep(50);
  waiter->Kill();
  EXPECT_TRUE(waiter->WaitForDeath(30000));
  EXPECT_EQ(answer.load(), 0);
  waiter->Release();
  locker->EndUse();
}

TEST(VStorageLockerTest, AssignRules) {
  VRefPtr<VStorageLocker> group(new VStorageLocker(), kAdoptRef);
  VRefPtr<VJSONArray> fresh(new VJSONArray(true), kAdoptRef);
  ErrorCollector errors;
  EXPECT_FALSE(group->Assign(nullptr, nullptr, fresh.Get()));
  EXPECT_TRUE(group->AssignValue(VJSONValue(1.0)));
  EXPECT_TRUE(group->Assign(fresh->GetStorageLockerNoRetain(), nullptr, fresh.Get()));
  EXPECT_EQ(fresh->GetSharedID(), int32(group->GetID()));
  VRefPtr<VStorageLocker> third(new VStorageLocker(), kAdoptRef);
  third->SetFresh(false);
  VRefPtr<VJSONArray> member(new VJSONArray(third.Get()), kAdoptRef);
  EXPECT_FALSE(group->Assign(third.Get(), nullptr, member.Get()));
  group->SetStorage(true);
  EXPECT_TRUE(group->Assign(third.Get(), nullptr, member.Get()));
  EXPECT_EQ(member->GetStorageLockerNoRetain(), third.Get()) << "storage keeps the member's locker";
  const VJSONValue privateObject(JSON_object);
  VJSONUser privateUser(privateObject);
  EXPECT_TRUE(privateUser.IsInUse());
}

}  // namespace
}  // namespace zeft
