// The two pointer streams: a caller's read-only block and an owned block
// that grows while writing.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "StreamTestSupport.h"

namespace zeft {
namespace {

using namespace stream_test;
namespace te = toolbox_error;

TEST(VPtrStreamTest, WrittenBytesReadBackAfterReopening) {
  TestPtrStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(stream.PutData("hello", 5), VE_OK);
  ASSERT_EQ(stream.CloseWriting(), VE_OK);

  ASSERT_EQ(stream.OpenReading(), VE_OK);
  EXPECT_EQ(stream.GetSize(), 5);
  char buffer[8] = {};
  size_t got = 0;
  EXPECT_EQ(stream.GetData(buffer, 5, &got), VE_OK);
  EXPECT_EQ(got, 5u);
  EXPECT_EQ(std::memcmp(buffer, "hello", 5), 0);
  EXPECT_EQ(stream.GetData(buffer, 1, &got), Err(te::kStreamEndOfData));
  EXPECT_EQ(got, 0u);
}

TEST(VPtrStreamTest, GrowsWhileWritingAndExposesItsBytes) {
  // Many small writes cross several growth steps, past the 1 MiB step cap.
  TestPtrStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  Bytes expected;
  uint8 piece[1000];
  for (int i = 0; i < 3200; ++i) {
    std::memset(piece, i & 0xFF, sizeof(piece));
    ASSERT_EQ(stream.PutData(piece, sizeof(piece)), VE_OK);
    expected.insert(expected.end(), piece, piece + sizeof(piece));
  }
  EXPECT_EQ(stream.GetPos(), int64(expected.size()));
  EXPECT_EQ(stream.GetSize(), int64(expected.size()));
  EXPECT_EQ(Contents(stream), expected);

  // Writing in the middle overwrites without growing.
  ASSERT_EQ(stream.SetPos(10), VE_OK);
  ASSERT_EQ(stream.PutData("xyz", 3), VE_OK);
  std::memcpy(expected.data() + 10, "xyz", 3);
  EXPECT_EQ(Contents(stream), expected);
}

TEST(VPtrStreamTest, SizeAndPositionChanges) {
  struct Case {
    const char* name;
    void (*act)(VPtrStream&);
    Bytes contents;
    int64 position;
  };
  // Each case starts open for writing with "abcdef" written.
  const Case cases[] = {
      {"SetSize(0) frees the block", [](VPtrStream& s) { EXPECT_EQ(s.SetSize(0), VE_OK); }, {}, 0},
      {"shrinking keeps the start",
       [](VPtrStream& s) { EXPECT_EQ(s.SetSize(3), VE_OK); },
       {'a', 'b', 'c'},
       3},
      {"growing adds cleared bytes",
       [](VPtrStream& s) { EXPECT_EQ(s.SetSize(9), VE_OK); },
       {'a', 'b', 'c', 'd', 'e', 'f', 0, 0, 0},
       6},
      {"shrink then grow shows no stale bytes",
       [](VPtrStream& s) {
         EXPECT_EQ(s.SetSize(2), VE_OK);
         EXPECT_EQ(s.SetSize(5), VE_OK);
       },
       {'a', 'b', 0, 0, 0},
       2},
      {"a position past the end extends the data",
       [](VPtrStream& s) { EXPECT_EQ(s.SetPos(8), VE_OK); },
       {'a', 'b', 'c', 'd', 'e', 'f', 0, 0},
       8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestPtrStream stream;
    ASSERT_EQ(stream.OpenWriting(), VE_OK);
    ASSERT_EQ(stream.PutData("abcdef", 6), VE_OK);
    c.act(stream);
    EXPECT_EQ(Contents(stream), c.contents);
    EXPECT_EQ(stream.GetPos(), c.position);
  }
}

TEST(VPtrStreamTest, SetPosPastTheEndExtendsAnEmptyStreamWhileReading) {
  TestPtrStream stream;
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  EXPECT_EQ(stream.SetPos(100), VE_OK);
  EXPECT_EQ(stream.GetSize(), 100);
  EXPECT_EQ(Contents(stream), Bytes(100, 0));
  const void* data = nullptr;
  int64 size = -1;
  ASSERT_EQ(stream.SetPos(0), VE_OK);
  ASSERT_EQ(stream.CloseReading(), VE_OK);
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(stream.SetSize(0), VE_OK);
  EXPECT_TRUE(stream.GetUnderlyingData(data, size));
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0);
}

TEST(VConstPtrStreamTest, ReadsTheCallersBlockInPlace) {
  const char block[] = "0123456789";
  TestConstPtrStream stream(block, 10);
  const void* data = nullptr;
  int64 size = 0;
  EXPECT_TRUE(stream.GetUnderlyingData(data, size));
  EXPECT_EQ(data, block);
  EXPECT_EQ(size, 10);

  ASSERT_EQ(stream.OpenReading(), VE_OK);
  ASSERT_EQ(stream.SetPos(4), VE_OK);
  char buffer[16] = {};
  size_t got = 0;
  EXPECT_EQ(stream.GetData(buffer, 10, &got), Err(te::kStreamEndOfData));
  EXPECT_EQ(got, 6u);
  EXPECT_EQ(std::memcmp(buffer, "456789", 6), 0);
  EXPECT_EQ(stream.GetPos(), 10);
}

TEST(VConstPtrStreamTest, RefusesWritingAndPositionsPastTheEnd) {
  const char block[] = "0123456789";
  {
    TestConstPtrStream stream(block, 10);
    EXPECT_EQ(stream.OpenWriting(), Err(te::kStreamNotOpenForWriting));
    EXPECT_FALSE(stream.IsWriting());
    EXPECT_EQ(stream.GetLastError(), Err(te::kStreamNotOpenForWriting));
  }
  {
    TestConstPtrStream stream(block, 10);
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    ASSERT_EQ(stream.SetPos(2), VE_OK);
    EXPECT_EQ(stream.SetPos(11), Err(te::kStreamEndOfData));
    EXPECT_EQ(stream.GetPos(), 2);
  }
  {
    TestConstPtrStream stream(block, 10);
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    EXPECT_EQ(stream.SetPos(10), VE_OK);
  }
}

TEST(VConstPtrStreamTest, NullBlockIsEmpty) {
  TestConstPtrStream stream(nullptr, 64);
  EXPECT_EQ(stream.GetSize(), 0);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  uint8 b = 0;
  EXPECT_EQ(stream.GetData(&b, 1), Err(te::kStreamEndOfData));
  EXPECT_EQ(stream.GetPos(), 0);
}

}  // namespace
}  // namespace zeft
