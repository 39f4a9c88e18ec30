#include "core/VMemoryBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/VCppMemMgr.h"
#include "core/VObject.h"

namespace zeft {
namespace {

constexpr size_t kKiB = 1024;
constexpr size_t kMiB = 1024 * 1024;
constexpr size_t kMax = std::numeric_limits<size_t>::max();

using Buffer = VMemoryBuffer<>;

std::string Contents(const Buffer& buffer) {
  return std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize());
}

TEST(VMemoryBuffer, NewBufferIsEmpty) {
  Buffer buffer;
  EXPECT_EQ(buffer.GetDataPtr(), nullptr);
  EXPECT_EQ(buffer.GetDataSize(), 0u);
  EXPECT_EQ(buffer.GetAllocatedSize(), 0u);
}

TEST(VMemoryBuffer, AmortisedGrowthRule) {
  struct Case {
    size_t needed;
    size_t allocated;
  };
  const Case cases[] = {
      {1, 1024},     // rounded up to one granule
      {1000, 2048},  // 1000 + 500, rounded
      {1024, 2048},  // 1024 + 512, rounded
      {2048, 3072},  // exactly on granules
      {4096, 6144},  // 4096 + 2048
      {1023 * kKiB, 1535 * kKiB},
      {2 * kMiB, 3 * kMiB},  // half: exactly the cap
      {3 * kMiB, 4 * kMiB},  // half capped at 1 MiB
      {10 * kMiB + 1, 11 * kMiB + kKiB},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.needed);
    Buffer buffer;
    ASSERT_TRUE(buffer._EnlargeAmortized(c.needed));
    EXPECT_EQ(buffer.GetAllocatedSize(), c.allocated);
    EXPECT_EQ(buffer.GetDataSize(), 0u);
    EXPECT_NE(buffer.GetDataPtr(), nullptr);
  }
}

TEST(VMemoryBuffer, EnlargeNeverShrinks) {
  Buffer buffer;
  ASSERT_TRUE(buffer.SetSize(5000));
  std::memset(buffer.GetDataPtr(), 'x', 5000);
  const void* block = buffer.GetDataPtr();
  EXPECT_TRUE(buffer._EnlargeAmortized(10));
  EXPECT_TRUE(buffer._EnlargeAmortized(5000));
  EXPECT_EQ(buffer.GetAllocatedSize(), 5000u);
  EXPECT_EQ(buffer.GetDataSize(), 5000u);
  EXPECT_EQ(buffer.GetDataPtr(), block);
}

TEST(VMemoryBuffer, ExactSizing) {
  Buffer buffer;
  ASSERT_TRUE(buffer.SetData("0123456789", 10));
  EXPECT_EQ(buffer.GetAllocatedSize(), 10u);
  EXPECT_EQ(Contents(buffer), "0123456789");

  // Shrinking keeps the head; growing keeps everything and adds room.
  ASSERT_TRUE(buffer.SetSize(4));
  EXPECT_EQ(Contents(buffer), "0123");
  ASSERT_TRUE(buffer.SetSize(8));
  EXPECT_EQ(buffer.GetAllocatedSize(), 8u);
  EXPECT_EQ(std::string(static_cast<const char*>(buffer.GetDataPtr()), 4), "0123");

  // Same allocated size: block kept, data size raised.
  ASSERT_TRUE(buffer.SetAllocatedSize(8));
  ASSERT_TRUE(buffer.SetSize(3));
  ASSERT_TRUE(buffer.SetAllocatedSize(16));
  const void* block = buffer.GetDataPtr();
  ASSERT_TRUE(buffer.SetSize(16));
  EXPECT_EQ(buffer.GetDataPtr(), block);
  EXPECT_EQ(buffer.GetDataSize(), 16u);
  std::memcpy(buffer.GetDataPtr(), "0123456789abcdef", 16);

  // SetAllocatedSize lowers the data size only when shrinking below it.
  ASSERT_TRUE(buffer.SetAllocatedSize(6));
  EXPECT_EQ(buffer.GetDataSize(), 6u);
  EXPECT_EQ(Contents(buffer), "012345");
}

TEST(VMemoryBuffer, SizeZeroFreesTheBlock) {
  struct Case {
    const char* name;
    bool (*clear)(Buffer&);
  };
  const Case cases[] = {
      {"SetSize", [](Buffer& b) { return b.SetSize(0); }},
      {"SetData", [](Buffer& b) { return b.SetData("ignored", 0); }},
      {"SetData(null)", [](Buffer& b) { return b.SetData(nullptr, 0); }},
      {"SetAllocatedSize", [](Buffer& b) { return b.SetAllocatedSize(0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Buffer buffer;
    ASSERT_TRUE(buffer.SetData("abc", 3));
    EXPECT_TRUE(c.clear(buffer));
    EXPECT_EQ(buffer.GetDataPtr(), nullptr);
    EXPECT_EQ(buffer.GetDataSize(), 0u);
    EXPECT_EQ(buffer.GetAllocatedSize(), 0u);
  }
}

TEST(VMemoryBuffer, FirstAllocationHoldsNoData) {
  // Reserving room must not turn uninitialised bytes into data: a later
  // append would otherwise land after them.
  Buffer buffer;
  ASSERT_TRUE(buffer.SetAllocatedSize(100));
  EXPECT_EQ(buffer.GetAllocatedSize(), 100u);
  EXPECT_EQ(buffer.GetDataSize(), 0u);
  ASSERT_TRUE(buffer.AddDataAmortized("abc", 3));
  EXPECT_EQ(Contents(buffer), "abc");
  EXPECT_EQ(buffer.GetAllocatedSize(), 100u);
}

TEST(VMemoryBuffer, PutAtAnOffsetGrowsAndRaisesTheDataSize) {
  Buffer buffer;
  ASSERT_TRUE(buffer.PutDataAmortized(10, "hello", 5));
  EXPECT_EQ(buffer.GetAllocatedSize(), 1024u);
  EXPECT_EQ(buffer.GetDataSize(), 15u);
  EXPECT_EQ(std::memcmp(static_cast<char*>(buffer.GetDataPtr()) + 10, "hello", 5), 0);

  // Overwriting inside the data leaves its size.
  ASSERT_TRUE(buffer.PutDataAmortized(0, "0123456789", 10));
  ASSERT_TRUE(buffer.PutDataAmortized(2, "ab", 2));
  EXPECT_EQ(Contents(buffer), "01ab456789hello");
  // Nothing put inside the data does not shrink it either.
  ASSERT_TRUE(buffer.PutDataAmortized(3, "", 0));
  EXPECT_EQ(Contents(buffer), "01ab456789hello");

  ASSERT_TRUE(buffer.AddDataAmortized("!", 1));
  EXPECT_EQ(Contents(buffer), "01ab456789hello!");
  EXPECT_EQ(buffer.GetAllocatedSize(), 1024u);
}

TEST(VMemoryBuffer, ManySmallAppendsKeepEveryByte) {
  Buffer buffer;
  std::string expected;
  size_t growths = 0;
  size_t allocated = 0;
  for (int i = 0; i < 60000; ++i) {
    std::string piece(size_t(i % 37) + 1, char('a' + i % 26));
    ASSERT_TRUE(buffer.AddDataAmortized(piece.data(), piece.size()));
    expected += piece;
    if (buffer.GetAllocatedSize() != allocated) {
      ++growths;
      allocated = buffer.GetAllocatedSize();
      EXPECT_EQ(allocated % 1024, 0u);
    }
  }
  EXPECT_EQ(Contents(buffer), expected);
  // Growth by half: a logarithmic number of reallocations, not one per append.
  EXPECT_LT(growths, 40u);
}

TEST(VMemoryBuffer, SourceInsideTheBufferSurvivesTheGrowth) {
  // Growing moves the block; copying from the old one would read freed memory.
  Buffer buffer;
  ASSERT_TRUE(buffer.SetData("abcdefgh", 8));
  ASSERT_TRUE(buffer.AddDataAmortized(buffer.GetDataPtr(), buffer.GetDataSize()));
  EXPECT_EQ(Contents(buffer), "abcdefghabcdefgh");
  ASSERT_TRUE(buffer.PutDataAmortized(4, static_cast<char*>(buffer.GetDataPtr()) + 2, 6));
  EXPECT_EQ(Contents(buffer), "abcdcdefghcdefgh");

  // SetData from its own bytes: shrinking would cut them first.
  ASSERT_TRUE(buffer.SetData(static_cast<char*>(buffer.GetDataPtr()) + 10, 6));
  EXPECT_EQ(Contents(buffer), "cdefgh");
  EXPECT_EQ(buffer.GetAllocatedSize(), 6u);
  ASSERT_TRUE(buffer.SetData(buffer.GetDataPtr(), 6));
  EXPECT_EQ(Contents(buffer), "cdefgh");
}

TEST(VMemoryBuffer, RefusesBadArgumentsAndLeavesTheBufferAlone) {
  Buffer buffer;
  ASSERT_TRUE(buffer.SetData("keep", 4));
  const void* block = buffer.GetDataPtr();
  EXPECT_FALSE(buffer.PutDataAmortized(kMax - 2, "abcd", 4));  // offset + size wraps
  EXPECT_FALSE(buffer.PutDataAmortized(kMax, "a", 1));
  EXPECT_FALSE(buffer.PutDataAmortized(0, nullptr, 3));
  EXPECT_FALSE(buffer.SetData(nullptr, 3));
  EXPECT_FALSE(buffer._EnlargeAmortized(kMax));
  EXPECT_EQ(buffer.GetDataPtr(), block);
  EXPECT_EQ(Contents(buffer), "keep");
  EXPECT_EQ(buffer.GetAllocatedSize(), 4u);
}

TEST(VMemoryBuffer, MoveTransfersTheBlock) {
  Buffer a;
  ASSERT_TRUE(a.SetData("moved", 5));
  Buffer b(std::move(a));
  EXPECT_EQ(a.GetDataPtr(), nullptr);
  EXPECT_EQ(a.GetAllocatedSize(), 0u);
  EXPECT_EQ(Contents(b), "moved");
  Buffer c;
  ASSERT_TRUE(c.SetData("old", 3));
  c = std::move(b);
  EXPECT_EQ(Contents(c), "moved");
  EXPECT_EQ(b.GetDataSize(), 0u);
}

// A block allocator refuses at once any request above its largest block,
// which makes failures cheap and certain. Buffers take the manager that is
// current when they are made.
class VMemoryBufferFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fSaved = VObject::sCppMemMgr;
    fManager = new VCppMemMgr(kAllocatorBlock);
    VObject::sCppMemMgr = fManager;
    fLimit = size_t(fManager->GetLargestBlockSize());
  }
  // Every buffer of a test is gone before its manager.
  void TearDown() override {
    VObject::sCppMemMgr = fSaved;
    delete fManager;
  }

  VCppMemMgr* fSaved = nullptr;
  VCppMemMgr* fManager = nullptr;
  size_t fLimit = 0;
};

TEST_F(VMemoryBufferFailureTest, FailuresLeaveTheBufferAsItWas) {
  ASSERT_GT(fLimit, 0u);
  Buffer empty;
  EXPECT_FALSE(empty.SetSize(fLimit + 1));
  EXPECT_FALSE(empty.SetData("x", fLimit + 1));  // nothing is read from the short source
  EXPECT_FALSE(empty._EnlargeAmortized(fLimit + 1));
  EXPECT_EQ(empty.GetDataPtr(), nullptr);
  EXPECT_EQ(empty.GetAllocatedSize(), 0u);

  Buffer filled;
  ASSERT_TRUE(filled.SetData("intact", 6));
  const void* block = filled.GetDataPtr();
  EXPECT_FALSE(filled.SetSize(fLimit + 1));
  EXPECT_FALSE(filled.SetAllocatedSize(fLimit + 1));
  EXPECT_FALSE(filled.PutDataAmortized(fLimit, "abc", 3));
  EXPECT_FALSE(filled.AddDataAmortized("x", fLimit + 1));
  EXPECT_EQ(filled.GetDataPtr(), block);
  EXPECT_EQ(Contents(filled), "intact");
  EXPECT_EQ(filled.GetAllocatedSize(), 6u);
}

TEST_F(VMemoryBufferFailureTest, FallsBackOnTheExactSizeWhenTheSlackDoesNotFit) {
  ASSERT_GT(fLimit, 2 * kMiB);
  // The amortised target (needed + 1 MiB) is above the limit, the need is not.
  size_t needed = fLimit - 4096;
  Buffer buffer;
  ASSERT_TRUE(buffer.AddDataAmortized("head", 4));
  ASSERT_TRUE(buffer._EnlargeAmortized(needed));
  EXPECT_EQ(buffer.GetAllocatedSize(), needed);
  EXPECT_EQ(Contents(buffer), "head");
  ASSERT_TRUE(buffer.SetSize(0));
}

}  // namespace
}  // namespace zeft
