// The six scalar values: getters, setters with their cuts and saturation,
// conversions, ordering, cloning, raw forms and descriptors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "core/VBoolean.h"
#include "core/VByte.h"
#include "core/VCompareOptions.h"
#include "core/VEmpty.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VWord.h"

namespace zeft {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int32 kInt32Max = std::numeric_limits<int32>::max();
constexpr int32 kInt32Min = std::numeric_limits<int32>::min();
constexpr int64 kInt64Max = std::numeric_limits<int64>::max();
constexpr int64 kInt64Min = std::numeric_limits<int64>::min();

using MakeValue = std::function<VValueSingle*()>;

TEST(VScalarValue, GettersCutAndExtend) {
  struct Case {
    const char* name;
    MakeValue make;
    uint8 boolean;
    int8 byte;
    int16 word;
    int32 longValue;
    int64 long8;
    double real;
  };
  const Case cases[] = {
      {"bool 2", [] { return new VBoolean(2); }, 2, 2, 2, 2, 2, 2.0},
      {"bool 200", [] { return new VBoolean(200); }, 200, -56, 200, 200, 200, 200.0},
      {"byte -1", [] { return new VByte(-1); }, 1, -1, -1, -1, -1, -1.0},
      {"word 0x1234", [] { return new VWord(0x1234); }, 1, 0x34, 0x1234, 0x1234, 0x1234, 4660.0},
      {"word -2", [] { return new VWord(-2); }, 1, -2, -2, -2, -2, -2.0},
      {"long 0x12345678", [] { return new VLong(0x12345678); }, 1, 0x78, 0x5678, 0x12345678,
       0x12345678, 305419896.0},
      {"long -70000", [] { return new VLong(-70000); }, 1, int8(-112), -4464, -70000, -70000,
       -70000.0},
      {"long8 2^32+5", [] { return new VLong8(0x100000005LL); }, 1, 5, 5, 5, 0x100000005LL,
       4294967301.0},
      {"long8 2^53+1", [] { return new VLong8((1LL << 53) + 1); }, 1, 1, 1, 1, (1LL << 53) + 1,
       9007199254740992.0},
      {"long8 0", [] { return new VLong8(0); }, 0, 0, 0, 0, 0, 0.0},
      {"real -2.7", [] { return new VReal(-2.7); }, 1, -2, -2, -2, -2, -2.7},
      {"real 3e10", [] { return new VReal(3e10); }, 1, -1, -1, kInt32Max, 30000000000LL, 3e10},
      {"real -1e300", [] { return new VReal(-1e300); }, 1, 0, 0, kInt32Min, kInt64Min, -1e300},
      {"real 1e300", [] { return new VReal(1e300); }, 1, -1, -1, kInt32Max, kInt64Max, 1e300},
      {"real 0", [] { return new VReal(0.0); }, 0, 0, 0, 0, 0, 0.0},
      {"real 0.4", [] { return new VReal(0.4); }, 1, 0, 0, 0, 0, 0.4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<VValueSingle> value(c.make());
    EXPECT_EQ(value->GetBoolean(), c.boolean);
    EXPECT_EQ(value->GetByte(), c.byte);
    EXPECT_EQ(value->GetWord(), c.word);
    EXPECT_EQ(value->GetLong(), c.longValue);
    EXPECT_EQ(value->GetLong8(), c.long8);
    EXPECT_EQ(value->GetLong8OrMilliSeconds(), c.long8);
    EXPECT_EQ(value->GetReal(), c.real);
  }
}

TEST(VScalarValue, NaNReadsAsTrueAndZero) {
  VReal nan(kNaN);
  EXPECT_EQ(nan.GetBoolean(), 1);
  EXPECT_EQ(nan.GetByte(), 0);
  EXPECT_EQ(nan.GetWord(), 0);
  EXPECT_EQ(nan.GetLong(), 0);
  EXPECT_EQ(nan.GetLong8(), 0);
}

TEST(VScalarValue, SettersStoreCutSaturateAndMarkTheValue) {
  struct Case {
    const char* name;
    MakeValue make;
    std::function<void(VValueSingle&)> set;
    double expected;  // read back with GetReal (exact for these numbers)
  };
  const Case cases[] = {
      {"bool FromBoolean 2", [] { return new VBoolean; }, [](auto& v) { v.FromBoolean(2); }, 2},
      {"bool FromByte 2", [] { return new VBoolean; }, [](auto& v) { v.FromByte(2); }, 2},
      {"bool FromByte -1", [] { return new VBoolean; }, [](auto& v) { v.FromByte(-1); }, 255},
      {"bool FromWord 256", [] { return new VBoolean; }, [](auto& v) { v.FromWord(256); }, 1},
      {"bool FromLong 2", [] { return new VBoolean; }, [](auto& v) { v.FromLong(2); }, 1},
      {"bool FromLong8 2^40", [] { return new VBoolean; }, [](auto& v) { v.FromLong8(1LL << 40); },
       1},
      {"bool FromReal NaN", [] { return new VBoolean; }, [](auto& v) { v.FromReal(kNaN); }, 1},
      {"bool FromReal -0", [] { return new VBoolean(1); }, [](auto& v) { v.FromReal(-0.0); }, 0},
      {"byte FromBoolean 200", [] { return new VByte; }, [](auto& v) { v.FromBoolean(200); }, -56},
      {"byte FromLong 300", [] { return new VByte; }, [](auto& v) { v.FromLong(300); }, 44},
      {"byte FromWord -129", [] { return new VByte; }, [](auto& v) { v.FromWord(-129); }, 127},
      {"byte FromLong8 0x1FF", [] { return new VByte; }, [](auto& v) { v.FromLong8(0x1FF); }, -1},
      {"byte FromReal 300.7", [] { return new VByte; }, [](auto& v) { v.FromReal(300.7); }, 44},
      {"byte FromReal 3e10", [] { return new VByte; }, [](auto& v) { v.FromReal(3e10); }, -1},
      {"byte FromReal -2.7", [] { return new VByte; }, [](auto& v) { v.FromReal(-2.7); }, -2},
      {"word FromBoolean 255", [] { return new VWord; }, [](auto& v) { v.FromBoolean(255); }, 255},
      {"word FromByte -1", [] { return new VWord; }, [](auto& v) { v.FromByte(-1); }, -1},
      {"word FromLong 0x12345", [] { return new VWord; }, [](auto& v) { v.FromLong(0x12345); },
       0x2345},
      {"word FromLong8 -65537", [] { return new VWord; }, [](auto& v) { v.FromLong8(-65537); }, -1},
      {"word FromReal 70000.9", [] { return new VWord; }, [](auto& v) { v.FromReal(70000.9); },
       4464},
      {"word FromReal NaN", [] { return new VWord(3); }, [](auto& v) { v.FromReal(kNaN); }, 0},
      {"long FromReal -2.7", [] { return new VLong; }, [](auto& v) { v.FromReal(-2.7); }, -2},
      {"long FromReal 3e10", [] { return new VLong; }, [](auto& v) { v.FromReal(3e10); },
       kInt32Max},
      {"long FromReal -3e10", [] { return new VLong; }, [](auto& v) { v.FromReal(-3e10); },
       kInt32Min},
      {"long FromReal -inf", [] { return new VLong; }, [](auto& v) { v.FromReal(-kInf); },
       kInt32Min},
      {"long FromLong8 2^32+2", [] { return new VLong; },
       [](auto& v) { v.FromLong8(0x100000002LL); }, 2},
      {"long FromBoolean 255", [] { return new VLong; }, [](auto& v) { v.FromBoolean(255); }, 255},
      {"long FromWord -5", [] { return new VLong; }, [](auto& v) { v.FromWord(-5); }, -5},
      {"long8 FromReal NaN", [] { return new VLong8(9); }, [](auto& v) { v.FromReal(kNaN); }, 0},
      {"long8 FromLong -7", [] { return new VLong8; }, [](auto& v) { v.FromLong(-7); }, -7},
      {"long8 FromReal -2.5e15", [] { return new VLong8; }, [](auto& v) { v.FromReal(-2.5e15); },
       -2.5e15},
      {"real FromLong8 2^53+1", [] { return new VReal; },
       [](auto& v) { v.FromLong8((1LL << 53) + 1); }, 9007199254740992.0},
      {"real FromByte -3", [] { return new VReal; }, [](auto& v) { v.FromByte(-3); }, -3},
      {"real FromBoolean 2", [] { return new VReal; }, [](auto& v) { v.FromBoolean(2); }, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<VValueSingle> value(c.make());
    value->SetNull(true);
    value->SetDirty(false);
    c.set(*value);
    EXPECT_EQ(value->GetReal(), c.expected);
    EXPECT_FALSE(value->IsNull());
    EXPECT_TRUE(value->IsDirty());
  }
}

TEST(VScalarValue, Long8SaturatesAtItsLimits) {
  struct Case {
    double real;
    int64 expected;
  };
  const Case cases[] = {
      {1e19, kInt64Max},
      {-1e19, kInt64Min},
      {9223372036854775808.0, kInt64Max},
      {-9223372036854775808.0, kInt64Min},
      {kInf, kInt64Max},
      {9.2233720368547748e18, 9223372036854774784LL},
  };
  for (const Case& c : cases) {
    VLong8 value;
    value.FromReal(c.real);
    EXPECT_EQ(value.GetLong8(), c.expected) << c.real;
  }
}

TEST(VScalarValue, FromValueTakesTheSourceNullState) {
  VReal nullReal(5.5);
  nullReal.SetNull(true);
  VLong target(1);
  target.SetDirty(false);
  target.FromValue(nullReal);
  EXPECT_EQ(target.GetLong(), 5);
  EXPECT_TRUE(target.IsNull());
  EXPECT_TRUE(target.IsDirty());

  VByte byte;
  byte.FromValue(VLong(300));  // through GetWord, then the low 8 bits
  EXPECT_EQ(byte.GetByte(), 44);
  EXPECT_FALSE(byte.IsNull());

  VWord word;
  word.FromValue(VLong(0x12345));
  EXPECT_EQ(word.GetWord(), 0x2345);

  VBoolean boolean;
  boolean.FromValue(VLong(0x100));  // a long's boolean is "not 0"
  EXPECT_EQ(boolean.GetBoolean(), 1);
}

TEST(VScalarValue, NullStringKeepsTheNumberOfLong8AndReal) {
  const VString nullText(true);
  ASSERT_TRUE(nullText.IsNull());
  VLong8 long8(7);
  long8.FromString(nullText);
  EXPECT_EQ(long8.GetLong8(), 7);
  EXPECT_TRUE(long8.IsNull());
  VReal real(2.5);
  real.FromString(nullText);
  EXPECT_EQ(real.GetReal(), 2.5);
  EXPECT_TRUE(real.IsNull());
}

TEST(VScalarValue, GetValueHandsTheNumberToTheTargetsSetter) {
  struct Case {
    const char* name;
    MakeValue source;
    double expected;  // what a VLong target then holds
  };
  const Case cases[] = {
      {"byte -1", [] { return new VByte(-1); }, -1},
      {"bool 2", [] { return new VBoolean(2); }, 2},
      {"word -300", [] { return new VWord(-300); }, -300},
      {"long8 2^32+3", [] { return new VLong8(0x100000003LL); }, 3},
      {"real 2.9", [] { return new VReal(2.9); }, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<VValueSingle> source(c.source());
    source->SetNull(true);  // GetValue carries no null state
    VLong target(99);
    target.SetNull(true);
    source->GetValue(target);
    EXPECT_EQ(target.GetReal(), c.expected);
    EXPECT_FALSE(target.IsNull());
  }
}

TEST(VScalarValue, CompareToAnySingleValue) {
  struct Case {
    const char* name;
    MakeValue left;
    MakeValue right;
    CompareResult expected;
  };
  const Case cases[] = {
      {"long vs real read as long", [] { return new VLong(5); }, [] { return new VReal(5.9); }, 0},
      {"long vs long8 read as long", [] { return new VLong(5); },
       [] { return new VLong8(0x100000001LL); }, 1},
      {"long8 vs long", [] { return new VLong8(1LL << 40); }, [] { return new VLong(1); }, 1},
      {"byte vs word", [] { return new VByte(-1); }, [] { return new VWord(-1); }, 0},
      {"word vs byte", [] { return new VWord(-1); }, [] { return new VByte(0); }, -1},
      {"real within 1e-6", [] { return new VReal(1.0); }, [] { return new VReal(1.0000005); }, 0},
      {"real beyond 1e-6", [] { return new VReal(1.0); }, [] { return new VReal(1.000002); }, -1},
      {"real vs long", [] { return new VReal(2.5); }, [] { return new VLong(2); }, 1},
      {"NaN vs NaN", [] { return new VReal(kNaN); }, [] { return new VReal(kNaN); }, 0},
      {"NaN vs 1", [] { return new VReal(kNaN); }, [] { return new VReal(1); }, -1},
      {"1 vs NaN", [] { return new VReal(1); }, [] { return new VReal(kNaN); }, 1},
      {"bool 2 vs bool 1", [] { return new VBoolean(2); }, [] { return new VBoolean(1); }, 0},
      {"bool 1 vs bool 2", [] { return new VBoolean(1); }, [] { return new VBoolean(2); }, 0},
      {"bool 1 vs long 0", [] { return new VBoolean(1); }, [] { return new VLong(0); }, 1},
      {"bool 0 vs long 7", [] { return new VBoolean(0); }, [] { return new VLong(7); }, -1},
      {"empty vs long", [] { return new VEmpty; }, [] { return new VLong(0); }, -1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<VValueSingle> left(c.left());
    std::unique_ptr<VValueSingle> right(c.right());
    EXPECT_EQ(left->CompareTo(*right, false), c.expected);
    EXPECT_EQ(left->CompareTo(*right, true), c.expected);
    EXPECT_EQ(left->EqualTo(*right, false), c.expected == 0);
  }
}

TEST(VScalarValue, CompareToSameKindAndStoredBytes) {
  struct Case {
    const char* name;
    MakeValue left;
    MakeValue right;
    CompareResult expected;
  };
  const Case cases[] = {
      {"bool bytes unsigned", [] { return new VBoolean(200); }, [] { return new VBoolean(1); }, 1},
      {"bool 2 vs 1", [] { return new VBoolean(2); }, [] { return new VBoolean(1); }, 1},
      {"byte signed", [] { return new VByte(-56); }, [] { return new VByte(1); }, -1},
      {"word equal", [] { return new VWord(-7); }, [] { return new VWord(-7); }, 0},
      {"long", [] { return new VLong(kInt32Min); }, [] { return new VLong(0); }, -1},
      {"long8", [] { return new VLong8(kInt64Max); }, [] { return new VLong8(0); }, 1},
      {"real tolerance", [] { return new VReal(1.0); }, [] { return new VReal(1.0000005); }, 0},
      {"real beyond", [] { return new VReal(1.000002); }, [] { return new VReal(1.0); }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<VValueSingle> left(c.left());
    std::unique_ptr<VValueSingle> right(c.right());
    uint8 stored[8] = {};
    right->WriteToPtr(stored, false, sizeof(stored));
    const VCompareOptions options;
    EXPECT_EQ(left->CompareToSameKind(right.get(), false), c.expected);
    EXPECT_EQ(left->EqualToSameKind(right.get(), true), c.expected == 0);
    EXPECT_EQ(left->CompareToSameKindWithOptions(right.get(), options), c.expected);
    EXPECT_EQ(left->EqualToSameKindWithOptions(right.get(), options), c.expected == 0);
    // The raw form of a VBoolean is normalised to 1, so skip its bytes.
    if (left->GetValueKind() != kValueKindBoolean) {
      EXPECT_EQ(left->CompareToSameKindPtr(stored, false), c.expected);
      EXPECT_EQ(left->EqualToSameKindPtr(stored, false), c.expected == 0);
      EXPECT_EQ(left->CompareToSameKindPtrWithOptions(stored, options), c.expected);
      EXPECT_EQ(left->Swap_CompareToSameKindPtr(stored, false),
                VValue::InvertCompResult(c.expected));
    }
  }
}

TEST(VScalarValue, RealComparisonsFollowTheOptionsEpsilon) {
  struct Case {
    double left;
    double right;
    double epsilon;
    bool diacritical;
    CompareResult expected;
  };
  const Case cases[] = {
      {1.0, 1.0000005, 0.0, false, -1},
      {1.0, 1.0000005, 1e-6, false, 0},
      {1.0, 1.05, 0.1, false, 0},
      {1.0, 1.05, 0.1, true, 0},  // the value's own comparison ignores the flag
      {1.05, 1.0, 0.01, false, 1},
      {kNaN, kNaN, 0.0, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.left << " " << c.right << " eps " << c.epsilon);
    VCompareOptions options;
    options.SetEpsilon(c.epsilon);
    options.SetDiacritical(c.diacritical);
    VReal left(c.left);
    VReal right(c.right);
    EXPECT_EQ(left.CompareToSameKindWithOptions(&right, options), c.expected);
    EXPECT_EQ(left.EqualToSameKindWithOptions(&right, options), c.expected == 0);
    EXPECT_EQ(left.CompareToSameKindPtrWithOptions(&c.right, options), c.expected);
    EXPECT_EQ(left.EqualToSameKindPtrWithOptions(&c.right, options), c.expected == 0);
  }
}

TEST(VScalarValue, CloneClearAndSameKindCopy) {
  const MakeValue makers[] = {
      [] { return new VBoolean(2); },       [] { return new VByte(-3); },
      [] { return new VWord(-300); },       [] { return new VLong(-70000); },
      [] { return new VLong8(1LL << 40); }, [] { return new VReal(-2.5); },
  };
  for (const MakeValue& make : makers) {
    std::unique_ptr<VValueSingle> value(make());
    SCOPED_TRACE(value->GetValueKind());
    value->SetNull(true);
    value->SetDirty(false);
    std::unique_ptr<VValue> clone(value->Clone());
    ASSERT_EQ(clone->GetValueKind(), value->GetValueKind());
    EXPECT_TRUE(clone->IsNull());
    EXPECT_TRUE(clone->IsDirty());
    EXPECT_EQ(clone->IsVValueSingle()->GetReal(), value->GetReal());

    std::unique_ptr<VValueSingle> copy(make());
    copy->Clear();
    EXPECT_EQ(copy->GetReal(), 0.0);
    EXPECT_FALSE(copy->IsNull());
    EXPECT_TRUE(copy->IsDirty());
    copy->SetDirty(false);
    EXPECT_TRUE(copy->FromValueSameKind(value.get()));
    EXPECT_EQ(copy->GetReal(), value->GetReal());
    EXPECT_TRUE(copy->IsNull());
    EXPECT_TRUE(copy->IsDirty());
    EXPECT_TRUE(copy->CanBeEvaluated());
    EXPECT_TRUE(copy->CanBeStreamed());
  }
}

TEST(VScalarValue, StoredTypeConstructor) {
  const int32 stored = -9;
  VLong copied(&stored, false);
  VLong zeroed(&stored, true);
  EXPECT_EQ(copied.GetLong(), -9);
  EXPECT_EQ(zeroed.GetLong(), 0);
  EXPECT_FALSE(copied.IsNull());
  EXPECT_TRUE(copied.IsDirty());
}

TEST(VScalarValue, RawFormsAndSizes) {
  struct Case {
    const char* name;
    MakeValue make;
    size_t space;
    size_t streamSpace;
  };
  const Case cases[] = {
      {"bool", [] { return new VBoolean(1); }, 1, 2},
      {"byte", [] { return new VByte(-5); }, 1, 2},
      {"word", [] { return new VWord(-500); }, 2, 2},
      {"long", [] { return new VLong(-5); }, 4, 4},
      {"long8", [] { return new VLong8(-5); }, 8, 8},
      {"real", [] { return new VReal(-0.5); }, 8, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<VValueSingle> value(c.make());
    EXPECT_EQ(value->GetSpace(0), c.space);
    EXPECT_EQ(value->GetStreamSpace(), c.streamSpace);
    // Unaligned on purpose: packed storage has no alignment.
    uint8 buffer[16] = {};
    uint8* at = buffer + 1;
    EXPECT_EQ(value->WriteToPtr(at, false, 0), at + c.space);
    const VValueInfo* info = value->GetValueInfo();
    EXPECT_EQ(info->GetSizeOfValueDataPtr(at), c.space);
    EXPECT_EQ(info->GetAvgSpace(), c.space);
    std::unique_ptr<VValueSingle> loaded(info->LoadFromPtr(at, false)->IsVValueSingle());
    EXPECT_EQ(loaded->GetReal(), value->GetReal());
    EXPECT_FALSE(loaded->IsNull());
    EXPECT_TRUE(loaded->IsDirty());

    std::unique_ptr<VValueSingle> reloaded(info->Generate()->IsVValueSingle());
    reloaded->SetNull(true);
    reloaded->SetDirty(false);
    EXPECT_EQ(reloaded->LoadFromPtr(at, false), at + c.space);
    EXPECT_EQ(reloaded->GetReal(), value->GetReal());
    EXPECT_FALSE(reloaded->IsNull());
    EXPECT_TRUE(reloaded->IsDirty());
  }
}

TEST(VScalarValue, BooleanRawFormIsOneOrZero) {
  uint8 byte = 0xAA;
  VBoolean(2).WriteToPtr(&byte, false, 1);
  EXPECT_EQ(byte, 1);
  const uint8 two = 2;
  VBoolean loaded;
  loaded.LoadFromPtr(&two, false);
  EXPECT_EQ(loaded.GetBoolean(), 1);
  // The descriptor keeps the stored byte as it is.
  std::unique_ptr<VValueSingle> kept(VBoolean::sInfo.LoadFromPtr(&two, false)->IsVValueSingle());
  EXPECT_EQ(kept->GetBoolean(), 2);
}

TEST(VScalarDescriptor, ByteSwapPtrReversesOneStoredNumber) {
  const VValueInfo* infos[] = {&VBoolean::sInfo, &VByte::sInfo,  &VWord::sInfo,
                               &VLong::sInfo,    &VLong8::sInfo, &VReal::sInfo};
  for (const VValueInfo* info : infos) {
    SCOPED_TRACE(info->GetKind());
    const size_t size = info->GetAvgSpace();
    uint8 bytes[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(info->ByteSwapPtr(bytes, true), bytes + size);
    for (size_t i = 0; i < size; ++i) EXPECT_EQ(bytes[i], size - i) << i;
    EXPECT_EQ(bytes[size], size + 1);  // nothing behind it is touched
  }
}

TEST(VScalarDescriptor, CompareTwoStoredNumbers) {
  auto compare = [](const VValueInfo& info, auto a, auto b, bool diacritical) {
    return info.CompareTwoPtrToData(&a, &b, diacritical);
  };
  EXPECT_EQ(compare(VBoolean::sInfo, uint8(200), uint8(1), false), 1);
  EXPECT_EQ(compare(VByte::sInfo, int8(-56), int8(1), false), -1);
  EXPECT_EQ(compare(VWord::sInfo, int16(-1), int16(-1), false), 0);
  EXPECT_EQ(compare(VLong::sInfo, int32(-1), int32(1), false), -1);
  EXPECT_EQ(compare(VLong8::sInfo, kInt64Max, kInt64Min, false), 1);
  EXPECT_EQ(compare(VReal::sInfo, 1.0, 1.0000005, false), 0);
  EXPECT_EQ(compare(VReal::sInfo, 1.0, 1.0000005, true), -1);
  EXPECT_EQ(compare(VReal::sInfo, kNaN, 1.0, false), -1);
  EXPECT_EQ(compare(VReal::sInfo, 1.0, kNaN, false), 1);
  EXPECT_EQ(compare(VReal::sInfo, kNaN, kNaN, true), 0);
  const double a = 2.0;
  const double b = 1.0;
  EXPECT_EQ(VReal::sInfo.CompareTwoPtrToDataBegining(&a, &b, false), 1);
  EXPECT_EQ(VReal::sInfo.CompareTwoPtrToData_Like(&a, &b, false), 1);
}

TEST(VScalarDescriptor, RealWithOptions) {
  struct Case {
    double a;
    double b;
    double epsilon;
    bool diacritical;
    CompareResult expected;
  };
  const Case cases[] = {
      {kNaN, kNaN, 1e-6, false, 0},   {kNaN, 1.0, 1e-6, false, -1}, {1.0, kNaN, 1e-6, false, 1},
      {1.0, 1.05, 0.1, false, 0},     {1.0, 1.05, 0.1, true, -1},   {1.05, 1.0, 0.01, false, 1},
      {-kInf, kInf, 1e-6, false, -1},
  };
  for (const Case& c : cases) {
    VCompareOptions options;
    options.SetEpsilon(c.epsilon);
    options.SetDiacritical(c.diacritical);
    EXPECT_EQ(VReal::sInfo.CompareTwoPtrToDataWithOptions(&c.a, &c.b, options), c.expected)
        << c.a << " " << c.b;
  }
  // The integers ignore the options.
  const int32 x = 3;
  const int32 y = 4;
  EXPECT_EQ(VLong::sInfo.CompareTwoPtrToDataWithOptions(&x, &y, VCompareOptions()), -1);
}

// A boolean is its truth: a stored 2 is as true as a 1, whichever side
// holds which.
TEST(VScalarValue, BooleansCompareByTruthValue) {
  const struct {
    uint8 mine, theirs;
    CompareResult expected;
  } cases[] = {
      {2, 1, kCompareEqual},    {1, 2, kCompareEqual},  {200, 7, kCompareEqual},
      {200, 0, kCompareBigger}, {0, 200, kCompareLess}, {0, 0, kCompareEqual},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VBoolean(c.mine).CompareTo(VBoolean(c.theirs), false), c.expected)
        << int(c.mine) << " against " << int(c.theirs);
  }
}

}  // namespace
}  // namespace zeft
