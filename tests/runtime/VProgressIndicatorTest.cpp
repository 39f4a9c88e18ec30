#include "runtime/VProgressIndicator.h"

#include <gtest/gtest.h>

#include <atomic>

#include "RuntimeTestHelpers.h"
#include "core/VLong.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

// Holds an indicator for the scope, as callers do through references.
struct StIndicator {
  VProgressIndicator* fIndicator = new VProgressIndicator;
  ~StIndicator() { fIndicator->Release(); }
  VProgressIndicator* operator->() const { return fIndicator; }
};

TEST(VProgressIndicatorTest, ProgressWithoutSessionGoesOnAndChangesNothing) {
  StIndicator progress;
  EXPECT_TRUE(progress->Progress(3));
  EXPECT_TRUE(progress->Increment(1));
  EXPECT_EQ(progress->GetChangeCounter(), 0u);
  EXPECT_EQ(progress->GetCurrentValue(), 0);
}

TEST(VProgressIndicatorTest, ValuesMoveWithoutBounds) {
  StIndicator progress;
  progress->BeginSession(10, "x");
  EXPECT_TRUE(progress->Increment(5));
  EXPECT_TRUE(progress->Increment(5));
  EXPECT_EQ(progress->GetCurrentValue(), 10);
  EXPECT_TRUE(progress->Progress(15));
  EXPECT_EQ(progress->GetCurrentValue(), 15);
  EXPECT_TRUE(progress->Decrement(20));
  EXPECT_EQ(progress->GetCurrentValue(), -5);
  progress->EndSession();
  EXPECT_EQ(progress->GetMaxValue(), 0);
  EXPECT_EQ(progress->GetCurrentValue(), -5);
}

TEST(VProgressIndicatorTest, NestedSessionsRestoreTheOuterOneAndCountVersions) {
  StIndicator progress;
  progress->EndSession();  // idle: nothing happens
  EXPECT_EQ(progress->GetSessionsVersion(), 0u);
  EXPECT_EQ(progress->GetChangeCounter(), 0u);

  progress->BeginSession(4, "outer");
  progress->Progress(2);
  progress->BeginSession(100, "inner");
  progress->Progress(50);
  EXPECT_EQ(progress->GetSessionCount(), 2);
  EXPECT_FLOAT_EQ(progress->ComputePercentDone(), 0.625f);
  progress->EndSession();
  EXPECT_EQ(progress->GetSessionCount(), 1);
  EXPECT_EQ(progress->GetMaxValue(), 4);
  EXPECT_EQ(progress->GetCurrentValue(), 2);
  EXPECT_EQ(progress->GetSessionsVersion(), 1u);
  progress->EndSession();
  EXPECT_EQ(progress->GetSessionsVersion(), 2u);
  EXPECT_EQ(progress->ComputePercentDone(), 0.0f);
}

TEST(VProgressIndicatorTest, PercentDoneEdgeCases) {
  StIndicator progress;
  progress->BeginUndeterminedSession("scan");
  EXPECT_EQ(progress->GetMaxValue(), -1);
  progress->Progress(7);
  EXPECT_FLOAT_EQ(progress->ComputePercentDone(), 7.0f);
  progress->EndSession();

  progress->BeginSession(0, "empty outer");
  progress->BeginSession(10, "inner");
  progress->Progress(5);
  EXPECT_EQ(progress->ComputePercentDone(), 0.0f);
}

TEST(VProgressIndicatorTest, NestedSessionInheritsExtraAttributes) {
  StIndicator progress;
  progress->BeginSession(2, "outer");
  progress->SetAttribute("file", VString("a"));
  progress->BeginSession(3, "inner {curValue}/{maxValue}");
  progress->Progress(1);
  VString message;
  progress->GetMessage(message);
  EXPECT_EQ(to_string(message), "inner 1/3");

  VValueBag bag;
  progress->SaveInfoToBag(bag);
  int32 count = 0;
  EXPECT_TRUE(bag.GetLong("SessionCount", count));
  EXPECT_EQ(count, 2);
  VBagArray* sessions = bag.GetElements("SessionInfo");
  ASSERT_NE(sessions, nullptr);
  ASSERT_EQ(sessions->GetCount(), 2);
  for (int32 i = 1; i <= 2; ++i)
    EXPECT_EQ(sessions->GetNth(i)->GetElements("ExtraInfo")->GetCount(), 1);
}

class AbortableProgress : public VProgressIndicator {
 public:
  void Abort() { fAbortState = 1; }
};

TEST(VProgressIndicatorTest, AbortStateStopsEveryProgressCall) {
  auto* progress = new AbortableProgress;
  progress->BeginSession(10, "x");
  EXPECT_TRUE(progress->Increment(1));
  progress->Abort();
  EXPECT_FALSE(progress->Increment(1));
  EXPECT_FALSE(progress->Decrement(1));
  EXPECT_FALSE(progress->Progress(4));
  progress->Release();
}

TEST(VProgressIndicatorTest, DyingTaskStopsProgressUnlessNotInterruptible) {
  std::atomic<int> results{-1};
  std::atomic<bool> started{false};
  VTask* task = test::StartTask([&] {
    StIndicator progress;
    progress->BeginSession(10, "x");
    started = true;
    VTask* self = VTask::GetCurrent();
    while (!self->IsDying()) VTask::Sleep(1);
    const bool whileDying = progress->Increment(1);
    progress->SetCanInterrupt(false, false);
    const bool notInterruptible = progress->Increment(1);
    results = (whileDying ? 1 : 0) | (notInterruptible ? 2 : 0);
  });
  ASSERT_TRUE(test::WaitUntil([&] { return started.load(); }));
  EXPECT_TRUE(test::StopTask(task));
  EXPECT_EQ(results.load(), 2);
}

}  // namespace
}  // namespace zeft
