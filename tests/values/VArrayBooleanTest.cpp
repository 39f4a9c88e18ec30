// The bit array: block sizes, bits past the count staying clear through
// shrinks, deletes and stream reads, bit-wise insert and move, searches,
// comparisons and the stream form.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ValueTestSupport.h"
#include "core/VBoolean.h"
#include "core/VLong.h"
#include "values/VArrayBoolean.h"

namespace zeft {
namespace {

using test::Bytes;

std::vector<int32> Bits(const VArrayBoolean& array) {
  std::vector<int32> out;
  for (int32 i = 1; i <= array.GetCount(); ++i) out.push_back(array.GetBoolean(i));
  return out;
}

VArrayBoolean MakeBits(const std::vector<int32>& bits) {
  VArrayBoolean array;
  for (int32 b : bits) array.AppendBoolean(uint8(b));
  return array;
}

TEST(VArrayBoolean, BlockHoldsCountPlusEightBits) {
  struct Case {
    int32 count;
    uint32 bytes;
  } const cases[] = {{1, 1}, {7, 1}, {8, 2}, {9, 2}, {16, 3}, {100, 13}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    VArrayBoolean array(c.count);
    EXPECT_EQ(array.GetCount(), c.count);
    EXPECT_EQ(array.GetDataSize(), c.bytes);
    EXPECT_EQ(Bits(array), std::vector<int32>(size_t(c.count), 0));
  }
  VArrayBoolean eight = MakeBits({1, 0, 1, 0, 0, 0, 0, 1});
  EXPECT_EQ(eight.GetDataSize(), 2u);
  EXPECT_EQ(test::StreamBytes(eight, false), (Bytes{8, 0, 0, 0, 0x85, 0}));
  EXPECT_EQ(test::StreamBytes(eight, true), (Bytes{0, 0, 0, 8, 0x85, 0}));
  EXPECT_EQ(test::StreamBytes(VArrayBoolean(), false), (Bytes{0, 0, 0, 0}));
}

TEST(VArrayBoolean, ShrinkingNeverRevivesOldBits) {
  VArrayBoolean shrunk = MakeBits({1, 1, 1, 1});
  EXPECT_TRUE(shrunk.SetCount(1));
  EXPECT_TRUE(shrunk.SetCount(4));
  EXPECT_EQ(Bits(shrunk), (std::vector<int32>{1, 0, 0, 0}));

  VArrayBoolean deleted = MakeBits({1, 0, 1, 1});
  EXPECT_TRUE(deleted.Delete(1, 2));
  EXPECT_EQ(Bits(deleted), (std::vector<int32>{1, 1}));
  EXPECT_TRUE(deleted.SetCount(4));
  EXPECT_EQ(Bits(deleted), (std::vector<int32>{1, 1, 0, 0}));

  // Bits a stream carries past its count are dropped too.
  VArrayBoolean read;
  ASSERT_EQ(test::ReadStreamBytes(read, Bytes{3, 0, 0, 0, 0xFF}, false), VE_OK);
  EXPECT_EQ(Bits(read), (std::vector<int32>{1, 1, 1}));
  EXPECT_TRUE(read.SetCount(8));
  EXPECT_EQ(Bits(read), (std::vector<int32>{1, 1, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(test::StreamBytes(read, false), (Bytes{8, 0, 0, 0, 0x07, 0}));
}

TEST(VArrayBoolean, InsertDeleteAndMoveWorkOnBits) {
  VArrayBoolean array = MakeBits({1, 0, 1});
  EXPECT_TRUE(array.Insert(2, 2));
  EXPECT_EQ(Bits(array), (std::vector<int32>{1, 0, 0, 0, 1}));
  EXPECT_TRUE(array.Insert(6, 1));
  array.FromBoolean(1, 6);
  EXPECT_EQ(Bits(array), (std::vector<int32>{1, 0, 0, 0, 1, 1}));
  EXPECT_FALSE(array.Insert(8, 1));
  EXPECT_FALSE(array.Delete(5, 3));

  // Eleven bits across a byte boundary, moved both ways.
  VArrayBoolean wide = MakeBits({1, 1, 0, 0, 1, 0, 1, 0, 0, 1, 1});
  wide.MoveElements(0, 4, 6);
  EXPECT_EQ(Bits(wide), (std::vector<int32>{1, 1, 0, 0, 1, 1, 0, 0, 1, 0, 1}));
  wide.MoveElements(5, 1, 6);
  EXPECT_EQ(Bits(wide), (std::vector<int32>{1, 1, 0, 0, 1, 0, 1, 0, 1, 0, 1}));
  wide.MoveElements(6, 0, 6);  // past the count: ignored
  EXPECT_EQ(Bits(wide), (std::vector<int32>{1, 1, 0, 0, 1, 0, 1, 0, 1, 0, 1}));
  wide.InitElements(0, 2);
  EXPECT_EQ(Bits(wide), (std::vector<int32>{0, 0, 0, 0, 1, 0, 1, 0, 1, 0, 1}));
}

TEST(VArrayBoolean, AccessSearchAndComparison) {
  VArrayBoolean array = MakeBits({0, 1, 0, 1});
  EXPECT_EQ(array.GetBoolean(0), 0);
  EXPECT_EQ(array.GetBoolean(5), 0);
  array.FromBoolean(1, 5);
  EXPECT_EQ(array.GetCount(), 4);
  array.FromBoolean(7, 1);  // any non-zero is true
  EXPECT_EQ(Bits(array), (std::vector<int32>{1, 1, 0, 1}));
  array.FromBoolean(0, 1);

  // The method is not used: the first equal element.
  EXPECT_EQ(array.Find(uint8(1), 1, 1, kFindLess), 2);
  EXPECT_EQ(array.Find(uint8(0), 4, 0, kFindGreater), 3);
  EXPECT_EQ(array.Find(VBoolean(1), 3, 1, kFindEqual), 4);
  EXPECT_EQ(array.Find(uint8(1), 0, 1, kFindEqual), -1);
  EXPECT_EQ(array.Find(uint8(1), 5, 0, kFindEqual), -1);

  EXPECT_EQ(array.CompareTo(VBoolean(1), false, 1), kCompareBigger);
  EXPECT_EQ(array.CompareTo(VBoolean(0), false, 2), kCompareLess);
  EXPECT_EQ(array.CompareTo(VBoolean(1), false, 2), kCompareEqual);

  array.FromValue(VLong(3), 3);
  EXPECT_EQ(array.GetBoolean(3), 1);
  VLong out;
  array.GetValue(out, 3);
  EXPECT_EQ(out.GetLong(), 1);
  std::unique_ptr<VValueSingle> clone(array.CloneValue(2));
  ASSERT_NE(dynamic_cast<VBoolean*>(clone.get()), nullptr);
  EXPECT_EQ(clone->GetBoolean(), 1);

  VArrayBoolean copy(array);
  array.FromBoolean(0, 2);
  EXPECT_EQ(Bits(copy), (std::vector<int32>{0, 1, 1, 1}));
}

TEST(VArrayBoolean, StreamRoundTripsAcrossChunks) {
  std::vector<int32> bits;
  for (int32 i = 0; i < 77; ++i) bits.push_back((i * 7 + 3) % 5 == 0);
  const VArrayBoolean array = MakeBits(bits);
  for (bool swap : {false, true}) {
    const Bytes bytes = test::StreamBytes(array, swap);
    EXPECT_EQ(bytes.size(), 4u + 10u);
    VArrayBoolean back;
    ASSERT_EQ(test::ReadStreamBytes(back, bytes, swap), VE_OK);
    EXPECT_EQ(Bits(back), bits);
  }
}

}  // namespace
}  // namespace zeft
