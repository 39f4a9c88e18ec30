#include <gtest/gtest.h>

#include <vector>

#include "StreamTestSupport.h"
#include "runtime/VProgressIndicator.h"

namespace zeft {
namespace {

using stream_test::Err;

// Remembers what the stream reported, and can ask it to stop.
class RecordingProgress : public VProgressIndicator {
 public:
  std::vector<int> fBegun;
  std::vector<int> fEnded;
  bool fStop = false;

 protected:
  void DoBeginSession(int count) override { fBegun.push_back(count); }
  void DoEndSession(int count) override { fEnded.push_back(count); }
  bool DoProgress() override { return !fStop; }
};

TEST(VStreamProgressTest, CopyMovesTheIndicatorToTheSize) {
  std::vector<uint8> source(10000, 7);
  stream_test::TestConstPtrStream in(source.data(), source.size());
  stream_test::TestPtrStream out;
  auto* reading = new RecordingProgress;
  auto* writing = new RecordingProgress;
  in.SetProgressIndicator(reading);
  out.SetProgressIndicator(writing);

  ASSERT_EQ(in.OpenReading(), VE_OK);
  ASSERT_EQ(out.OpenWriting(), VE_OK);
  EXPECT_EQ(reading->GetMaxValue(), 10000);
  EXPECT_EQ(writing->GetMaxValue(), -1);
  VString message;
  reading->GetMessage(message);
  EXPECT_EQ(to_string(message), "Reading From Stream");
  uint8 chunk[1000];
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(in.GetData(chunk, sizeof(chunk)), VE_OK);
    ASSERT_EQ(out.PutData(chunk, sizeof(chunk)), VE_OK);
    EXPECT_EQ(reading->GetCurrentValue(), 1000 * (i + 1));
  }
  EXPECT_FLOAT_EQ(reading->ComputePercentDone(), 1.0f);
  EXPECT_EQ(writing->GetCurrentValue(), 10000);
  EXPECT_EQ(in.CloseReading(), VE_OK);
  EXPECT_EQ(out.CloseWriting(), VE_OK);
  EXPECT_EQ(reading->fBegun, std::vector<int>{1});
  EXPECT_EQ(reading->fEnded, std::vector<int>{1});
  EXPECT_EQ(writing->GetSessionCount(), 0);
  reading->Release();
  writing->Release();
}

TEST(VStreamProgressTest, FalseAnswerStopsTheStreamWithError206) {
  stream_test::TestPtrStream out;
  auto* progress = new RecordingProgress;
  out.SetProgressIndicator(progress);
  progress->Release();  // the stream holds its own reference
  ASSERT_EQ(out.OpenWriting(), VE_OK);
  const uint8 bytes[4] = {1, 2, 3, 4};
  EXPECT_EQ(out.PutData(bytes, 4), VE_OK);
  progress->fStop = true;
  EXPECT_EQ(out.PutData(bytes, 4), Err(206));
  EXPECT_EQ(out.PutData(bytes, 4), Err(206));  // kept: nothing more is written
  EXPECT_EQ(stream_test::Contents(out).size(), 8u);
  EXPECT_EQ(out.CloseWriting(), Err(206));
}

}  // namespace
}  // namespace zeft
