// The typed arrays of numbers, times and durations: element access with
// neutral answers outside the array, the searches and their methods,
// extremes and statistics, comparisons with single values and the stream
// form of every element kind in both byte orders.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "ValueTestSupport.h"
#include "core/VByte.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VWord.h"
#include "values/VArrayBoolean.h"
#include "values/VArrayByte.h"
#include "values/VArrayDuration.h"
#include "values/VArrayLong.h"
#include "values/VArrayLong8.h"
#include "values/VArrayReal.h"
#include "values/VArrayTime.h"
#include "values/VArrayWord.h"
#include "values/VDuration.h"
#include "values/VTime.h"

namespace zeft {
namespace {

using test::Bytes;

VArrayLong MakeLongs(const std::vector<int32>& values) {
  VArrayLong array;
  for (int32 v : values) array.AppendLong(v);
  return array;
}

TEST(VArrayNumbers, NeutralAnswersOutsideThePositions) {
  VArrayByte bytes(2);
  VArrayWord words(2);
  VArrayLong longs(2);
  VArrayLong8 long8s(2);
  VArrayReal reals(2);
  for (int32 position : {0, 3, -1}) {
    SCOPED_TRACE(position);
    bytes.FromByte(5, position);
    words.FromWord(5, position);
    longs.FromLong(5, position);
    long8s.FromLong8(5, position);
    reals.FromReal(5, position);
    EXPECT_EQ(bytes.GetByte(position), 0);
    EXPECT_EQ(words.GetWord(position), 0);
    EXPECT_EQ(longs.GetLong(position), 0);
    EXPECT_EQ(long8s.GetLong8(position), 0);
    EXPECT_EQ(reals.GetReal(position), 0.0);
    VLong out(9);
    longs.GetValue(out, position);
    EXPECT_EQ(out.GetLong(), 0);
    // Compared as the neutral value.
    EXPECT_EQ(longs.CompareTo(VLong(1), false, position), kCompareLess);
    EXPECT_EQ(longs.CompareTo(VLong(0), false, position), kCompareEqual);
  }
  for (int32 position : {1, 2}) {
    EXPECT_EQ(bytes.GetByte(position), 0);
    EXPECT_EQ(reals.GetReal(position), 0.0);
  }
}

TEST(VArrayNumbers, ValuesInAndOut) {
  VArrayLong longs(1);
  longs.FromValue(VString("-42"), 1);
  EXPECT_EQ(longs.GetLong(1), -42);
  std::unique_ptr<VValueSingle> clone(longs.CloneValue(1));
  ASSERT_NE(dynamic_cast<VLong*>(clone.get()), nullptr);
  EXPECT_EQ(clone->GetLong(), -42);
  VString text;
  longs.GetValue(text, 1);
  EXPECT_EQ(to_string(text), "-42");
  EXPECT_EQ(longs.CompareTo(VLong(-43), false, 1), kCompareBigger);
  EXPECT_EQ(longs.CompareTo(VLong(-41), false, 1), kCompareLess);

  VArrayReal reals(1);
  reals.FromValue(VReal(2.5), 1);
  std::unique_ptr<VValueSingle> real(reals.CloneValue(1));
  ASSERT_NE(dynamic_cast<VReal*>(real.get()), nullptr);
  EXPECT_EQ(real->GetReal(), 2.5);
  EXPECT_EQ(reals.CompareTo(VReal(2.5), false, 1), kCompareEqual);
  EXPECT_EQ(reals.CompareTo(VReal(2.50001), false, 1), kCompareLess);

  VArrayByte bytes(1);
  bytes.FromValue(VLong(-5), 1);
  EXPECT_EQ(bytes.GetByte(1), -5);
  std::unique_ptr<VValueSingle> byte(bytes.CloneValue(1));
  EXPECT_NE(dynamic_cast<VByte*>(byte.get()), nullptr);
  VArrayWord words(1);
  words.FromValue(VLong(-300), 1);
  EXPECT_EQ(words.GetWord(1), -300);
  std::unique_ptr<VValueSingle> word(words.CloneValue(1));
  EXPECT_NE(dynamic_cast<VWord*>(word.get()), nullptr);
  VArrayLong8 long8s(1);
  long8s.FromValue(VLong8(int64(1) << 50), 1);
  EXPECT_EQ(long8s.GetLong8(1), int64(1) << 50);
  std::unique_ptr<VValueSingle> long8(long8s.CloneValue(1));
  EXPECT_NE(dynamic_cast<VLong8*>(long8.get()), nullptr);
}

TEST(VArrayNumbers, FindMethods) {
  const VArrayLong longs = MakeLongs({1, 5, 3});
  struct Case {
    int32 value;
    int32 start;
    uint8 forward;
    CompareMethod method;
    int32 found;
  } const cases[] = {
      {4, 1, 1, kFindGreaterOrEqual, 2},
      {4, 3, 0, kFindLessOrEqual, 3},
      {5, 1, 1, kFindEqual, 2},
      {5, 3, 1, kFindEqual, -1},
      {5, 3, 0, kFindEqual, 2},
      {1, 1, 1, kFindGreater, 2},
      {5, 2, 1, kFindLess, 3},
      {3, 3, 1, kFindLessOrEqual, 3},
      {9, 1, 1, kFindGreaterOrEqual, -1},
      {9, 2, 1, 7, 2},
      {1, 0, 1, kFindEqual, -1},
      {1, 4, 0, kFindEqual, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " from " << c.start << " method " << c.method);
    EXPECT_EQ(longs.Find(c.value, c.start, c.forward, c.method), c.found);
    EXPECT_EQ(longs.Find(VLong(c.value), c.start, c.forward, c.method), c.found);
  }
  EXPECT_EQ(VArrayLong().Find(1, 1, 1, kFindEqual), -1);

  // Bytes search by the low 8 bits of the value's word.
  VArrayByte bytes;
  bytes.AppendByte(1);
  bytes.AppendByte(-1);
  EXPECT_EQ(bytes.Find(VWord(0x01FF), 1, 1, kFindEqual), 2);
  EXPECT_EQ(bytes.Find(int8(1), 2, 0, kFindEqual), 1);

  VArrayReal reals;
  reals.AppendReal(0.1);
  reals.AppendReal(0.3);
  EXPECT_EQ(reals.Find(0.1 + 0.2, 1, 1, kFindEqual), -1);
  EXPECT_EQ(reals.Find(0.3, 1, 1, kFindEqual), 2);
}

TEST(VArrayNumbers, QuickFind) {
  VArrayLong longs = MakeLongs({-7, -2, 0, 3, 3, 8, 100});
  for (int32 i = 1; i <= longs.GetCount(); ++i) {
    const int32 found = longs.QuickFind(longs.GetLong(i));
    ASSERT_GE(found, 1);
    EXPECT_EQ(longs.GetLong(found), longs.GetLong(i));
  }
  for (int32 absent : {-8, 1, 4, 101}) EXPECT_EQ(longs.QuickFind(absent), -1);
  EXPECT_EQ(VArrayLong().QuickFind(0), -1);

  VArrayReal reals;
  for (double r : {-1.5, 0.0, 2.25}) reals.AppendReal(r);
  EXPECT_EQ(reals.QuickFind(2.25), 3);
  EXPECT_EQ(reals.QuickFind(2.0), -1);

  VArrayDuration durations;
  for (int64 ms : {10, 20, 30}) durations.AppendDuration(VDuration(ms));
  EXPECT_EQ(durations.QuickFind(VDuration(20)), 2);
  EXPECT_EQ(durations.QuickFind(VDuration(25)), -1);
}

TEST(VArrayNumbers, ExtremesOfEmptyAndFilledArrays) {
  EXPECT_EQ(VArrayLong().GetMax(), INT32_MIN);
  EXPECT_EQ(VArrayLong().GetMin(), INT32_MAX);
  EXPECT_EQ(VArrayWord().GetMax(), -32768);
  EXPECT_EQ(VArrayWord().GetMin(), 32767);
  EXPECT_EQ(VArrayByte().GetMax(), -128);
  EXPECT_EQ(VArrayByte().GetMin(), 127);
  VArrayLong longs = MakeLongs({3, -9, 12, 0});
  EXPECT_EQ(longs.GetMax(), 12);
  EXPECT_EQ(longs.GetMin(), -9);
}

TEST(VArrayNumbers, RealStatistics) {
  VArrayReal empty;
  EXPECT_EQ(empty.GetSum(), 0.0);
  EXPECT_EQ(empty.GetAverage(), 0.0);
  EXPECT_EQ(empty.GetSquareSum(), 0.0);
  EXPECT_EQ(empty.GetStdDev(), 0.0);
  VArrayReal reals;
  for (double r : {1.0, 2.0, 3.0, 4.0}) reals.AppendReal(r);
  EXPECT_EQ(reals.GetSum(), 10.0);
  EXPECT_EQ(reals.GetAverage(), 2.5);
  EXPECT_EQ(reals.GetSquareSum(), 5.0);
  EXPECT_EQ(reals.GetStdDev(), 1.25);
}

TEST(VArrayTimes, StampsAndNeutralTimes) {
  VTime date;
  date.FromUTCTime(2024, 2, 29, 12, 30, 15, 250);
  VTime later;
  later.FromUTCTime(2024, 3, 1, 0, 0, 0, 0);
  VArrayTime times;
  times.AppendTime(later);
  times.AppendTime(date);
  VTime out;
  times.GetTime(out, 2);
  EXPECT_EQ(out.GetStamp(), date.GetStamp());
  // Outside the array the time is left as it was.
  times.GetTime(out, 3);
  EXPECT_EQ(out.GetStamp(), date.GetStamp());

  EXPECT_EQ(times.Find(date, 1, 1, kFindEqual), 2);
  EXPECT_EQ(times.Find(date, 1, 1, kFindGreater), 1);
  EXPECT_EQ(times.CompareTo(date, false, 1), kCompareBigger);
  EXPECT_EQ(times.CompareTo(date, false, 2), kCompareEqual);
  times.Sort(1, 2, 0);
  times.GetTime(out, 1);
  EXPECT_EQ(out.GetStamp(), date.GetStamp());

  std::unique_ptr<VValueSingle> clone(times.CloneValue(1));
  ASSERT_NE(dynamic_cast<VTime*>(clone.get()), nullptr);
  EXPECT_EQ(static_cast<VTime*>(clone.get())->GetStamp(), date.GetStamp());

  VArrayTime fromValue(1);
  fromValue.FromValue(date, 1);
  EXPECT_EQ(fromValue.Find(VTime(date), 1, 1, kFindEqual), 1);
}

TEST(VArrayDurations, MillisecondsAndNeutralDurations) {
  VArrayDuration durations;
  durations.AppendDuration(VDuration(1500));
  durations.AppendDuration(VDuration(-20));
  VDuration out(7);
  durations.GetDuration(out, 1);
  EXPECT_EQ(out.ConvertToMilliseconds(), 1500);
  durations.GetDuration(out, 3);
  EXPECT_EQ(out.ConvertToMilliseconds(), 0);
  EXPECT_EQ(durations.Find(VDuration(-20), 1, 1, kFindEqual), 2);
  EXPECT_EQ(durations.Find(VDuration(0), 1, 1, kFindLess), 2);
  EXPECT_EQ(durations.CompareTo(VDuration(1000), false, 1), kCompareBigger);
  durations.Sort(1, 2, 0);
  durations.GetDuration(out, 1);
  EXPECT_EQ(out.ConvertToMilliseconds(), -20);
  std::unique_ptr<VValueSingle> clone(durations.CloneValue(2));
  ASSERT_NE(dynamic_cast<VDuration*>(clone.get()), nullptr);
  EXPECT_EQ(static_cast<VDuration*>(clone.get())->ConvertToMilliseconds(), 1500);
}

// Bytes of the count and of elements of `width` bytes, as the stream
// writes them in the given order.
Bytes Expected(int32 count, const std::vector<uint64>& elements, size_t width, bool swap) {
  Bytes out;
  auto put = [&out, swap](uint64 value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) {
      const size_t shift = swap ? 8 * (bytes - 1 - i) : 8 * i;
      out.push_back(uint8(value >> shift));
    }
  };
  put(uint32(count), 4);
  for (uint64 e : elements) put(e, width);
  return out;
}

template <class T>
uint64 RawBits(T value) {
  uint64 bits = 0;
  std::memcpy(&bits, &value, sizeof(T));
  return bits;
}

TEST(VArrayNumbers, StreamFormsInBothByteOrders) {
  struct Case {
    const char* name;
    std::function<VArrayValue*()> make;
    std::vector<uint64> elements;
    size_t width;
  };
  const std::vector<Case> cases = {
      {"byte",
       [] {
         auto* a = new VArrayByte;
         a->AppendByte(-2);
         a->AppendByte(7);
         return a;
       },
       {0xFE, 7},
       1},
      {"word",
       [] {
         auto* a = new VArrayWord;
         a->AppendWord(-2);
         a->AppendWord(0x1234);
         return a;
       },
       {0xFFFE, 0x1234},
       2},
      {"long",
       [] {
         auto* a = new VArrayLong;
         a->AppendLong(0x12345678);
         return a;
       },
       {0x12345678},
       4},
      {"long8",
       [] {
         auto* a = new VArrayLong8;
         a->AppendLong8(0x0102030405060708);
         a->AppendLong8(-1);
         return a;
       },
       {0x0102030405060708, ~uint64(0)},
       8},
      {"real",
       [] {
         auto* a = new VArrayReal;
         a->AppendReal(-2.5);
         return a;
       },
       {RawBits(-2.5)},
       8},
      {"duration",
       [] {
         auto* a = new VArrayDuration;
         a->AppendDuration(VDuration(1500));
         return a;
       },
       {1500},
       8},
      {"time",
       [] {
         auto* a = new VArrayTime;
         VTime t;
         t.FromStamp(0x0000012345678900);
         a->AppendTime(t);
         return a;
       },
       {0},  // filled below from the stamp the time keeps
       8},
  };
  for (const Case& c : cases) {
    for (bool swap : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (swap ? " swapped" : " native"));
      std::unique_ptr<VArrayValue> array(c.make());
      std::vector<uint64> elements = c.elements;
      if (VArrayTime* times = dynamic_cast<VArrayTime*>(array.get())) {
        VTime t;
        times->GetTime(t, 1);
        elements = {t.GetStamp()};
      }
      const Bytes bytes = test::StreamBytes(*array, swap);
      EXPECT_EQ(bytes, Expected(array->GetCount(), elements, c.width, swap));

      std::unique_ptr<VValue> back(VValue::NewValueFromValueKind(array->GetValueKind()));
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(test::ReadStreamBytes(*back, bytes, swap), VE_OK);
      EXPECT_EQ(test::StreamBytes(*back, swap), bytes);
    }
  }
}

}  // namespace
}  // namespace zeft
