#include "runtime/VMetricsManager.h"

#include <gtest/gtest.h>

#include "core/VLong.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/VProgressIndicator.h"

namespace zeft {
namespace {

// Closes the process-wide session whatever the test did.
class VMetricsManagerTest : public ::testing::Test {
 protected:
  void TearDown() override { fMetrics.EndSession(); }
  VMetricsManager& fMetrics = VMetricsManager::sMetricsSingleton;
};

size_t CollectedCount(VMetricsManager& metrics) {
  VJSONArray* collection = metrics.CreateCollection();
  const size_t count = collection->GetCount();
  collection->Release();
  return count;
}

TEST_F(VMetricsManagerTest, NothingIsBoundOutsideASession) {
  for (EMetricsKindBit kind : {kMetricsKind0, kMetricsKind1, kMetricsKindProgress})
    EXPECT_EQ(fMetrics.CreateBind(kind, 100000), nullptr);
  EXPECT_FALSE(fMetrics.IsProgressesCollected());
}

TEST_F(VMetricsManagerTest, MinimumDurationAndKindsDecideWhatIsRecorded) {
  fMetrics.StartSession(500, true, false, true);
  EXPECT_TRUE(fMetrics.IsProgressesCollected());
  EXPECT_EQ(fMetrics.CreateBind(kMetricsKindProgress, 499), nullptr);
  EXPECT_EQ(fMetrics.CreateBind(kMetricsKind0, 5000), nullptr);
  VJSONObject* atMinimum = fMetrics.CreateBind(kMetricsKindProgress, 500);
  ASSERT_NE(atMinimum, nullptr);
  atMinimum->Release();
  VJSONObject* kind1 = fMetrics.CreateBind(kMetricsKind1, 500);
  ASSERT_NE(kind1, nullptr);
  EXPECT_EQ(kind1->GetProperty("activityKind").GetNumber(), 2.0);
  kind1->Release();

  VJSONObject* record = fMetrics.CreateBind(kMetricsKindProgress, 1500);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->GetProperty("activityDuration").GetNumber(), 1.5);
  EXPECT_EQ(record->GetProperty("activityKind").GetNumber(), 4.0);
  auto* data = new VJSONObject;
  fMetrics.BindDatas(record, data);
  data->Release();
  record->Release();
  EXPECT_EQ(CollectedCount(fMetrics), 1u);
  fMetrics.EndSession();
  EXPECT_EQ(CollectedCount(fMetrics), 0u);
}

TEST_F(VMetricsManagerTest, EndedProgressSessionIsRecordedWithItsTitle) {
  fMetrics.StartSession(0, true, false, false);
  auto* progress = new VProgressIndicator;
  progress->SetTitle("Copy");
  progress->BeginSession(10, "files");
  progress->Progress(4);
  progress->EndSession();
  progress->Release();  // reports the last session again while unregistering

  VJSONArray* collection = fMetrics.CreateCollection();
  ASSERT_GE(collection->GetCount(), 1u);
  const VJSONValue first = collection->GetAt(0);
  ASSERT_NE(first.GetObject(), nullptr);
  const VJSONValue activity = first.GetObject()->GetProperty("activityData");
  VJSONObject* data = activity.GetObject();
  ASSERT_NE(data, nullptr);
  VString title;
  EXPECT_TRUE(data->GetPropertyAsString("title", title));
  EXPECT_EQ(to_string(title), "Copy");
  EXPECT_EQ(data->GetProperty("currentValue").GetNumber(), 4.0);
  collection->Release();
}

// The session's extra attributes travel as "extraInfo"; a session without
// any has none.
TEST_F(VMetricsManagerTest, ProgressRecordCarriesTheExtraAttributes) {
  fMetrics.StartSession(0, true, false, false);
  auto* progress = new VProgressIndicator;
  progress->BeginSession(10, "plain");
  progress->EndSession();
  progress->BeginSession(10, "files");
  progress->SetAttribute("file", VString("a \"b\".txt"));
  progress->SetAttribute("count", VLong(3));
  progress->EndSession();

  VJSONArray* collection = fMetrics.CreateCollection();
  ASSERT_GE(collection->GetCount(), 2u);
  const VJSONValue plain = collection->GetAt(0).GetObject()->GetProperty("activityData");
  EXPECT_TRUE(plain.GetObject()->GetProperty("extraInfo").IsUndefined());
  const VJSONValue data = collection->GetAt(1).GetObject()->GetProperty("activityData");
  const VJSONValue extraInfo = data.GetObject()->GetProperty("extraInfo");
  ASSERT_TRUE(extraInfo.IsObject());
  VString file;
  EXPECT_TRUE(extraInfo.GetObject()->GetPropertyAsString("file", file));
  EXPECT_EQ(to_string(file), "a \"b\".txt");
  EXPECT_EQ(extraInfo.GetObject()->GetProperty("count").GetNumber(), 3.0);
  collection->Release();
  progress->Release();
}

}  // namespace
}  // namespace zeft
