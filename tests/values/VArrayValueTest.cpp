// The value array base: counts and resizing, insert, delete and move with
// their guards, copy, appenders, the stream frame shared by the typed
// arrays and its refusal of forged input, and the kind descriptors.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "ValueTestSupport.h"
#include "core/VLong.h"
#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"
#include "values/VArrayBlob.h"
#include "values/VArrayBoolean.h"
#include "values/VArrayByte.h"
#include "values/VArrayDuration.h"
#include "values/VArrayImage.h"
#include "values/VArrayLong.h"
#include "values/VArrayLong8.h"
#include "values/VArrayReal.h"
#include "values/VArrayString.h"
#include "values/VArrayTime.h"
#include "values/VArrayWord.h"

namespace zeft {
namespace {

using test::Bytes;

std::vector<int32> Longs(const VArrayLong& array) {
  std::vector<int32> out;
  for (int32 i = 1; i <= array.GetCount(); ++i) out.push_back(array.GetLong(i));
  return out;
}

VArrayLong MakeLongs(const std::vector<int32>& values) {
  VArrayLong array;
  for (int32 v : values) array.AppendLong(v);
  return array;
}

// The bytes a write produces with the given parameter.
Bytes Written(const VValue& value, int32 param, bool swap = false) {
  VPtrStream stream;
  stream.SetNeedSwap(swap);
  EXPECT_EQ(stream.OpenWriting(), VE_OK);
  EXPECT_EQ(value.WriteToStream(&stream, param), VE_OK);
  stream.CloseWriting(true);
  const void* data = nullptr;
  int64 size = 0;
  stream.GetUnderlyingData(data, size);
  const uint8* bytes = static_cast<const uint8*>(data);
  return Bytes(bytes, bytes + size);
}

Bytes LittleLongs(std::initializer_list<uint32> words) {
  Bytes out;
  for (uint32 w : words) {
    for (int32 i = 0; i < 4; ++i) out.push_back(uint8(w >> (8 * i)));
  }
  return out;
}

TEST(VArrayValue, NewArraysAreEmptyNotNullAndDirty) {
  VArrayLong empty;
  EXPECT_EQ(empty.GetCount(), 0);
  EXPECT_EQ(empty.GetDataSize(), 0u);
  EXPECT_EQ(empty.LockAndGetData(), nullptr);
  empty.UnlockData();
  EXPECT_FALSE(empty.IsNull());
  EXPECT_TRUE(empty.IsDirty());

  VArrayLong sized(3);
  EXPECT_EQ(sized.GetCount(), 3);
  EXPECT_EQ(sized.GetDataSize(), 12u);
  EXPECT_EQ(Longs(sized), (std::vector<int32>{0, 0, 0}));
}

TEST(VArrayValue, SetCount) {
  VArrayLong array = MakeLongs({1, 2, 3, 4, 5});
  const uint8* block = array.LockAndGetData();
  EXPECT_TRUE(array.SetCount(5));
  EXPECT_EQ(array.LockAndGetData(), block);

  EXPECT_TRUE(array.SetCount(7));
  EXPECT_EQ(Longs(array), (std::vector<int32>{1, 2, 3, 4, 5, 0, 0}));
  EXPECT_EQ(array.GetDataSize(), 28u);
  EXPECT_TRUE(array.SetCount(2));
  EXPECT_EQ(Longs(array), (std::vector<int32>{1, 2}));
  EXPECT_EQ(array.GetDataSize(), 8u);
  EXPECT_TRUE(array.SetCount(-3));
  EXPECT_EQ(array.GetCount(), 0);
  EXPECT_EQ(array.GetDataSize(), 0u);
}

TEST(VArrayValue, ResizeThatCannotBeHeldKeepsTheArray) {
  // 2^28 long8s need 2 GiB, more than a block may hold: refused, and the
  // old block and count stay in place.
  VArrayLong8 array;
  array.AppendLong8(11);
  array.AppendLong8(22);
  EXPECT_FALSE(array.SetCount(1 << 28));
  EXPECT_EQ(array.GetCount(), 2);
  EXPECT_EQ(array.GetDataSize(), 16u);
  EXPECT_EQ(array.GetLong8(2), 22);
  EXPECT_FALSE(array.Insert(1, INT32_MAX));
  EXPECT_EQ(array.GetCount(), 2);
  EXPECT_EQ(array.AppendLong8(33), 3);
}

TEST(VArrayValue, InsertAndDeleteAtEveryPlace) {
  struct Case {
    bool insert;
    int32 position;
    int32 count;
    bool accepted;
    std::vector<int32> after;
  } const cases[] = {
      {true, 3, 2, true, {7, 8, 0, 0}}, {true, 1, 1, true, {0, 7, 8}},
      {true, 2, 1, true, {7, 0, 8}},    {true, 2, 0, true, {7, 8}},
      {true, 0, 1, false, {7, 8}},      {true, 4, 1, false, {7, 8}},
      {true, 1, -1, false, {7, 8}},     {false, 1, 1, true, {8}},
      {false, 2, 1, true, {7}},         {false, 1, 2, true, {}},
      {false, 2, 0, true, {7, 8}},      {false, 2, 2, false, {7, 8}},
      {false, 0, 1, false, {7, 8}},     {false, 3, 1, false, {7, 8}},
      {false, 1, -1, false, {7, 8}},    {false, 2, INT32_MAX, false, {7, 8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << (c.insert ? "Insert(" : "Delete(") << c.position << ", " << c.count << ")");
    VArrayLong array = MakeLongs({7, 8});
    const bool accepted =
        c.insert ? array.Insert(c.position, c.count) : array.Delete(c.position, c.count);
    EXPECT_EQ(accepted, c.accepted);
    EXPECT_EQ(Longs(array), c.after);
    EXPECT_EQ(array.GetDataSize(), 4 * c.after.size());
  }

  VArrayLong four = MakeLongs({1, 2, 3, 4});
  EXPECT_TRUE(four.Delete(2, 1));
  EXPECT_EQ(Longs(four), (std::vector<int32>{1, 3, 4}));
  EXPECT_EQ(four.GetDataSize(), 12u);
  // Three elements: deleting 10 from position 2 used to drive the count
  // negative.
  EXPECT_FALSE(four.Delete(2, 10));
  EXPECT_EQ(Longs(four), (std::vector<int32>{1, 3, 4}));
}

TEST(VArrayValue, MoveElementsGuards) {
  struct Case {
    int32 from;
    int32 to;
    int32 count;
    std::vector<int32> after;
  } const cases[] = {
      {0, 2, 2, {1, 2, 1, 2, 5}},  {2, 0, 3, {3, 4, 5, 4, 5}},  {1, 1, 2, {1, 2, 3, 4, 5}},
      {0, 1, 0, {1, 2, 3, 4, 5}},  {3, 0, 3, {1, 2, 3, 4, 5}},  {0, 3, 3, {1, 2, 3, 4, 5}},
      {-1, 0, 1, {1, 2, 3, 4, 5}}, {0, -1, 1, {1, 2, 3, 4, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << "->" << c.to << " x" << c.count);
    VArrayLong array = MakeLongs({1, 2, 3, 4, 5});
    array.MoveElements(c.from, c.to, c.count);
    EXPECT_EQ(Longs(array), c.after);
  }
}

TEST(VArrayValue, CopyTakesTheSourceAndRefusesOtherKinds) {
  VArrayLong source = MakeLongs({4, 5, 6});
  VArrayLong target = MakeLongs({1});
  EXPECT_TRUE(target.Copy(source));
  EXPECT_EQ(Longs(target), (std::vector<int32>{4, 5, 6}));
  EXPECT_EQ(target.GetDataSize(), 12u);
  EXPECT_NE(target.LockAndGetData(), source.LockAndGetData());

  // Copying onto itself keeps the elements.
  EXPECT_TRUE(target.Copy(target));
  target = target;
  EXPECT_EQ(Longs(target), (std::vector<int32>{4, 5, 6}));

  // Another element kind would give pointers numbers (or numbers bytes
  // of another width): refused, nothing changed.
  VArrayString strings;
  strings.AppendString(VString("x"));
  VArrayLong8 long8s;
  long8s.AppendLong8(0x1234);
  EXPECT_FALSE(strings.Copy(long8s));
  EXPECT_FALSE(long8s.Copy(strings));
  EXPECT_FALSE(target.Copy(long8s));
  EXPECT_EQ(Longs(target), (std::vector<int32>{4, 5, 6}));
  VString s;
  strings.GetString(s, 1);
  EXPECT_EQ(to_string(s), "x");
  EXPECT_EQ(long8s.GetLong8(1), 0x1234);
}

TEST(VArrayValue, AppendersGoThroughTheSetterChain) {
  VArrayReal reals;
  EXPECT_EQ(reals.AppendLong(7), 1);
  EXPECT_EQ(reals.AppendBoolean(1), 2);
  EXPECT_EQ(reals.AppendLong8(int64(1) << 40), 3);
  EXPECT_EQ(reals.AppendString(VString("9")), 4);
  EXPECT_EQ(reals.GetReal(1), 7.0);
  EXPECT_EQ(reals.GetReal(2), 1.0);
  EXPECT_EQ(reals.GetReal(3), double(int64(1) << 40));
  EXPECT_EQ(reals.GetReal(4), 0.0);

  // A long8 array stores only long8s: a long goes to FromReal, which it
  // does not take.
  VArrayLong8 long8s;
  EXPECT_EQ(long8s.AppendLong(7), 1);
  EXPECT_EQ(long8s.GetLong8(1), 0);

  VArrayLong longs;
  longs.AppendBoolean(1);
  longs.AppendByte(-3);
  longs.AppendWord(-300);
  longs.AppendReal(2.5);
  EXPECT_EQ(Longs(longs), (std::vector<int32>{1, -3, -300, 0}));

  VArrayWord words;
  words.AppendBoolean(1);
  words.AppendByte(5);
  EXPECT_EQ(words.GetWord(1), 1);
  EXPECT_EQ(words.GetWord(2), 0);
}

TEST(VArrayValue, ClearAndDestroyEmpty) {
  VArrayLong array = MakeLongs({1, 2});
  array.Clear();
  EXPECT_EQ(array.GetCount(), 0);
  array.AppendLong(3);
  array.Destroy();
  EXPECT_EQ(array.GetCount(), 0);
  uint8 byte = 0;
  EXPECT_EQ(array.LoadFromPtr(&byte, false), &byte);
  EXPECT_EQ(array.WriteToPtr(&byte, false, 1), &byte);
}

TEST(VArrayValue, StreamFrame) {
  VArrayLong empty;
  EXPECT_EQ(Written(empty, VArrayValue::kStreamParamWithKind), LittleLongs({0x0000FFFF, 0}));
  EXPECT_EQ(Written(empty, 0), LittleLongs({0}));
  EXPECT_EQ(Written(empty, VArrayValue::kStreamParamWithKind, true),
            (Bytes{0, 0, 0xFF, 0xFF, 0, 0, 0, 0}));
  VArrayLong two = MakeLongs({1, -2});
  EXPECT_EQ(Written(two, 0), LittleLongs({2, 1, 0xFFFFFFFE}));
}

TEST(VArrayValue, NegativeCountIsRefusedAndLeavesTheArray) {
  VArrayLong array = MakeLongs({5, 6});
  EXPECT_EQ(test::ReadStreamBytes(array, LittleLongs({0xFFFFFFFF, 1, 2}), false),
            ToolboxError(toolbox_error::kArrayStreamCorrupted));
  EXPECT_EQ(Longs(array), (std::vector<int32>{5, 6}));
}

// A count far beyond the bytes that follow must neither allocate for the
// count nor succeed, for every array kind.
TEST(VArrayValue, ForgedCountsFailWithoutHugeAllocations) {
  std::vector<std::unique_ptr<VArrayValue>> arrays;
  arrays.emplace_back(new VArrayBoolean);
  arrays.emplace_back(new VArrayByte);
  arrays.emplace_back(new VArrayWord);
  arrays.emplace_back(new VArrayLong);
  arrays.emplace_back(new VArrayLong8);
  arrays.emplace_back(new VArrayReal);
  arrays.emplace_back(new VArrayTime);
  arrays.emplace_back(new VArrayDuration);
  arrays.emplace_back(new VArrayString);
  arrays.emplace_back(new VArrayBlob);
  for (const auto& array : arrays) {
    SCOPED_TRACE(array->GetValueKind());
    array->AppendLong(1);
    const Bytes forged = LittleLongs({0x7FFFFFFF, 2, 0, 0, 0});
    EXPECT_NE(test::ReadStreamBytes(*array, forged, false), VE_OK);
    EXPECT_EQ(array->GetCount(), 0);
    const Bytes cut = LittleLongs({40, 2});
    EXPECT_NE(test::ReadStreamBytes(*array, cut, false), VE_OK);
    EXPECT_EQ(array->GetCount(), 0);
  }
}

TEST(VArrayValue, DescriptorsMakeEachArrayKind) {
  struct Case {
    uint16 kind;
    uint16 elementKind;
  } const cases[] = {
      {kValueKindArrayBoolean, kValueKindBoolean}, {kValueKindArrayByte, kValueKindByte},
      {kValueKindArrayWord, kValueKindWord},       {kValueKindArrayLong, kValueKindLong},
      {kValueKindArrayLong8, kValueKindLong8},     {kValueKindArrayReal, kValueKindReal},
      {kValueKindArrayTime, kValueKindTime},       {kValueKindArrayDuration, kValueKindDuration},
      {kValueKindArrayString, kValueKindString},   {kValueKindArrayBlob, kValueKindBlob},
      {kValueKindArrayImage, kValueKindImage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    const VValueInfo* info = VValue::ValueInfoFromValueKind(c.kind);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetKind(), c.kind);
    for (VValue* made :
         {info->Generate(), info->Generate(nullptr), info->LoadFromPtr("x", false)}) {
      std::unique_ptr<VValue> value(made);
      VArrayValue* array = dynamic_cast<VArrayValue*>(value.get());
      ASSERT_NE(array, nullptr);
      EXPECT_EQ(array->GetValueKind(), c.kind);
      EXPECT_EQ(array->GetElemValueKind(), c.elementKind);
      EXPECT_EQ(array->GetCount(), 0);
    }
    uint8 bytes[4] = {};
    EXPECT_EQ(info->ByteSwapPtr(bytes, true), bytes);
  }
  EXPECT_EQ(VValue::ValueInfoFromValueKind(106), nullptr);
}

TEST(VArrayValue, PutValueAndGetValueCarryTheKind) {
  VArrayString names;
  names.AppendString(VString("one"));
  names.AppendString(VString("two"));
  VPtrStream out;
  ASSERT_EQ(out.OpenWriting(), VE_OK);
  ASSERT_EQ(out.PutValue(names, true), VE_OK);
  out.CloseWriting(true);
  const void* data = nullptr;
  int64 size = 0;
  out.GetUnderlyingData(data, size);
  ASSERT_GE(size, 2);
  EXPECT_EQ(static_cast<const uint8*>(data)[0], kValueKindArrayString);

  VConstPtrStream in(data, size_t(size));
  ASSERT_EQ(in.OpenReading(), VE_OK);
  std::unique_ptr<VValue> read(in.GetValue());
  ASSERT_NE(read, nullptr);
  VArrayString* strings = dynamic_cast<VArrayString*>(read.get());
  ASSERT_NE(strings, nullptr);
  VString s;
  strings->GetString(s, 2);
  EXPECT_EQ(to_string(s), "two");
  EXPECT_EQ(in.GetLastError(), VE_OK);
}

}  // namespace
}  // namespace zeft
