#include "runtime/VProgressManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "RuntimeTestHelpers.h"
#include "runtime/VProgressIndicator.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

// Every test runs with a fresh manager.
class VProgressManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { VProgressManager::Init(); }
  void TearDown() override { VProgressManager::Deinit(); }
};

TEST_F(VProgressManagerTest, InitTwiceKeepsOneManagerAndDeinitIsIdempotent) {
  VProgressManager* first = VProgressManager::sProgressManager;
  EXPECT_TRUE(VProgressManager::Init());
  EXPECT_EQ(VProgressManager::sProgressManager, first);
  EXPECT_TRUE(VProgressManager::Deinit());
  EXPECT_TRUE(VProgressManager::Deinit());
  EXPECT_EQ(VProgressManager::RetainProgress(VUUID(true)), nullptr);
  EXPECT_EQ(VProgressManager::CreateStdProgress(0, 0), nullptr);
}

TEST_F(VProgressManagerTest, RegistersIndicatorsByUUID) {
  auto* progress = new VProgressIndicator;
  VProgressIndicator* found = VProgressManager::RetainProgress(progress->GetUUID());
  EXPECT_EQ(found, progress);
  found->Release();
  const VUUID uuid = progress->GetUUID();
  progress->Release();
  EXPECT_EQ(VProgressManager::RetainProgress(uuid), nullptr);
}

TEST_F(VProgressManagerTest, DuplicateUUIDLeavesTheFirstRegistration) {
  auto* first = new VProgressIndicator;
  auto* duplicate = new VProgressIndicator(first->GetUUID(), 0);
  duplicate->Release();
  VProgressIndicator* found = VProgressManager::RetainProgress(first->GetUUID());
  EXPECT_EQ(found, first);
  if (found != nullptr) found->Release();
  first->Release();
}

// Looks itself up once its last reference is gone, as another task may.
class SelfLookingProgress : public VProgressIndicator {
 public:
  explicit SelfLookingProgress(VProgressIndicator** lookedUp) : fLookedUp(lookedUp) {}

 protected:
  void DoOnRefCountZero() override {
    *fLookedUp = VProgressManager::RetainProgress(GetUUID());
    VProgressIndicator::DoOnRefCountZero();
  }

 private:
  VProgressIndicator** fLookedUp;
};

TEST_F(VProgressManagerTest, LookUpNeverRetainsAnIndicatorBeingDeleted) {
  VProgressIndicator* lookedUp = reinterpret_cast<VProgressIndicator*>(1);
  (new SelfLookingProgress(&lookedUp))->Release();
  EXPECT_EQ(lookedUp, nullptr);
}

TEST_F(VProgressManagerTest, ListingShowsSnapshotsBuiltAtProgressCalls) {
  std::vector<VRefPtr<VRefCountedSessionInfo>> list;
  EXPECT_EQ(VProgressManager::sProgressManager->GetAllProgressInfo(list), VE_OK);
  EXPECT_TRUE(list.empty());

  auto* progress = new VProgressIndicator;
  progress->BeginSession(10, "x");
  VProgressManager::sProgressManager->GetAllProgressInfo(list);
  EXPECT_TRUE(list.empty());  // no progress call yet

  // Each progress call serves a pending request with the state it finds.
  progress->Progress(3);
  VProgressManager::sProgressManager->GetAllProgressInfo(list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]->GetRecords().back()->fValue, 0);

  progress->Progress(4);
  progress->Progress(5);  // no new request: the snapshot stays as it was at 4
  list.clear();
  VProgressManager::sProgressManager->GetAllProgressInfo(list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]->GetRecords().back()->fValue, 3);
  progress->EndSession();
  progress->Release();
}

TEST_F(VProgressManagerTest, SummaryOfFourSessionsKeepsOutermostAndInnermostTwo) {
  auto* progress = new VProgressIndicator;
  for (int i = 1; i <= 4; ++i) progress->BeginSession(10 * i, VString("s"));
  VProgressSessionInfo summary;
  EXPECT_FALSE(progress->GetProgressInfo(summary));  // requested, not yet built
  progress->Progress(1);
  ASSERT_TRUE(progress->GetProgressInfo(summary));
  EXPECT_EQ(summary.fThird.fValue, 0);
  progress->Progress(2);
  ASSERT_TRUE(progress->GetProgressInfo(summary));
  EXPECT_EQ(summary.fSessionCount, 4);
  EXPECT_EQ(summary.fRecordCount, 3);
  EXPECT_EQ(summary.fFirst.fMax, 10);
  EXPECT_EQ(summary.fSecond.fMax, 30);
  EXPECT_EQ(summary.fThird.fMax, 40);
  EXPECT_EQ(summary.fThird.fValue, 1);
  progress->Release();
}

TEST_F(VProgressManagerTest, BagByNameHoldsOnlyTheFirstInUUIDOrder) {
  auto* a = new VProgressIndicator;
  auto* b = new VProgressIndicator;
  a->SetUserInfo("copy");
  b->SetUserInfo("COPY");
  a->SetTitle("a");
  b->SetTitle("b");
  const VString expectedTitle = (a->GetUUID() < b->GetUUID()) ? "a" : "b";
  VValueBag bag;
  const VString name("copy");
  VProgressManager::sProgressManager->_GetProgressInfo(bag, &name);
  VBagArray* infos = bag.GetElements("ProgressInfo");
  ASSERT_NE(infos, nullptr);
  ASSERT_EQ(infos->GetCount(), 1);
  VString title;
  infos->GetNth(1)->GetString("Title", title);
  EXPECT_EQ(to_string(title), to_string(expectedTitle));

  VValueBag all;
  VProgressManager::sProgressManager->_GetProgressInfo(all, nullptr);
  EXPECT_EQ(all.GetElements("ProgressInfo")->GetCount(), 2);
  a->Release();
  b->Release();
}

TEST_F(VProgressManagerTest, ReadersOnAnotherTaskSeeGrowingSnapshots) {
  auto* progress = new VProgressIndicator;
  std::atomic<bool> done{false};
  std::atomic<int> seen{0};
  VTask* owner = test::StartTask([&] {
    progress->BeginSession(2, "outer");
    for (int outer = 0; outer < 2; ++outer) {
      progress->BeginSession(20000, "inner {curValue}");
      for (int i = 0; i < 20000; ++i) progress->Increment(1);
      // A snapshot is built on the first report after a reader asks for one,
      // so on a fast run the owner keeps reporting until a reader got one.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (outer == 1 && seen == 0 && std::chrono::steady_clock::now() < deadline) {
        progress->Progress(20000);
        std::this_thread::yield();
      }
      progress->EndSession();
      progress->Increment(1);
    }
    progress->EndSession();
    done = true;
  });
  while (!done) {
    std::vector<VRefPtr<VRefCountedSessionInfo>> list;
    VProgressManager::sProgressManager->GetAllProgressInfo(list);
    VProgressSessionInfo summary;
    if (progress->GetProgressInfo(summary)) {
      EXPECT_GE(summary.fPercentDone, 0.0f);
      EXPECT_LE(summary.fPercentDone, 1.0f);
      EXPECT_TRUE(summary.fSessionCount == 1 || summary.fSessionCount == 2);
      EXPECT_EQ(summary.fFirst.fMax, 2);
      ++seen;
    }
    for (const auto& snapshot : list) {
      VString message;
      snapshot->GetRecords().back()->GetMessage(message);
    }
  }
  EXPECT_TRUE(test::StopTask(owner));
  EXPECT_GT(seen, 0);
  progress->Release();
}

}  // namespace
}  // namespace zeft
