// The value base: the registry of kinds, the null and dirty flags, the
// base's neutral defaults, VEmpty, conversion between kinds and what every
// kind's copies keep.
#include "core/VValue.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "core/CharSet.h"
#include "core/VBoolean.h"
#include "core/VByte.h"
#include "core/VEmpty.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VValueInfo.h"
#include "core/VValueMultiple.h"
#include "core/VWord.h"
#include "files/VConstPtrStream.h"
#include "values/VBlobWithPtr.h"
#include "values/VConstBlobWithPtr.h"
#include "values/VTime.h"

namespace zeft {
namespace {

// A value that records the order of its null and dirty hooks.
class RecordingValue : public VValue {
 public:
  explicit RecordingValue(uint8 flags) : VValue(flags) {}
  VValue* Clone() const override { return new RecordingValue(*this); }
  std::vector<std::string> fCalls;

 protected:
  void DoNullChanged() override { fCalls.push_back(IsNull() ? "null" : "not-null"); }
  void DoDirtyChanged() override { fCalls.push_back(IsDirty() ? "dirty" : "clean"); }
};

// A value that is not a single value, for conversions that must refuse it.
class MultiValue : public VValue {
 public:
  VValue* Clone() const override { return new MultiValue(*this); }
};

TEST(VValueRegistry, BuiltInKindsGenerateTheirClass) {
  struct Case {
    uint16 kind;
    bool startsNull;
  };
  const Case cases[] = {
      {kValueKindEmpty, true}, {kValueKindBoolean, false}, {kValueKindByte, false},
      {kValueKindWord, false}, {kValueKindLong, false},    {kValueKindLong8, false},
      {kValueKindReal, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    const VValueInfo* info = VValue::ValueInfoFromValueKind(c.kind);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetKind(), c.kind);
    EXPECT_EQ(info->GetRegisteredKind(), c.kind);
    std::unique_ptr<VValue> value(VValue::NewValueFromValueKind(c.kind));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->GetValueKind(), c.kind);
    EXPECT_EQ(value->GetValueInfo(), info);
    EXPECT_EQ(value->IsNull(), c.startsNull);
    EXPECT_TRUE(value->IsDirty());
    ASSERT_NE(value->IsVValueSingle(), nullptr);
    EXPECT_EQ(value->IsVValueSingle()->GetReal(), 0.0);
  }
}

TEST(VValueRegistry, StringKindIsRegistered) {
  EXPECT_EQ(VValue::ValueInfoFromValueKind(kValueKindString), &VString::sInfo);
}

TEST(VValueRegistry, KindsWithoutDescriptorGiveNull) {
  for (uint16 kind : {uint16(7), uint16(12), uint16(106), uint16(65534)}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(VValue::ValueInfoFromValueKind(kind), nullptr);
    EXPECT_EQ(VValue::NewValueFromValueKind(kind), nullptr);
  }
}

// Puts VLong's descriptor back whatever a test did to kind 4.
class VValueRegistryReplace : public ::testing::Test {
 protected:
  void TearDown() override { VValue::RegisterValueInfo(&VLong::sInfo); }
};

TEST_F(VValueRegistryReplace, SecondDescriptorReplacesAndDestroyingRemoves) {
  {
    // Constructing a descriptor registers it.
    VValueInfo_default<VEmpty, kValueKindLong> replacement;
    EXPECT_EQ(VValue::ValueInfoFromValueKind(kValueKindLong), &replacement);
    std::unique_ptr<VValue> made(VValue::NewValueFromValueKind(kValueKindLong));
    EXPECT_EQ(made->GetValueKind(), kValueKindEmpty);
  }
  // Destroying a descriptor removes its kind.
  EXPECT_EQ(VValue::ValueInfoFromValueKind(kValueKindLong), nullptr);
  EXPECT_EQ(VValue::NewValueFromValueKind(kValueKindLong), nullptr);

  VValue::RegisterValueInfo(&VLong::sInfo);
  std::unique_ptr<VValue> value(VValue::NewValueFromValueKind(kValueKindLong));
  EXPECT_EQ(value->GetValueKind(), kValueKindLong);
}

TEST_F(VValueRegistryReplace, UnregisteringRemovesWhateverHoldsTheKind) {
  VValueInfo_default<VEmpty, kValueKindLong> replacement;
  VValue::RegisterValueInfo(&replacement);
  VValue::UnregisterValueInfo(&VLong::sInfo);
  EXPECT_EQ(VValue::ValueInfoFromValueKind(kValueKindLong), nullptr);
  // Unregistering an absent kind does nothing.
  VValue::UnregisterValueInfo(&VLong::sInfo);
  EXPECT_EQ(VValue::ValueInfoFromValueKind(kValueKindLong), nullptr);
}

TEST(VValueRegistry, BaseDescriptorIsRegisteredOnFirstUse) {
  MultiValue bare;
  EXPECT_EQ(bare.GetValueKind(), kValueKindVValue);
  const VValueInfo* info = VValue::ValueInfoFromValueKind(kValueKindVValue);
  ASSERT_EQ(info, bare.GetValueInfo());
  std::unique_ptr<VValue> made(info->Generate());
  EXPECT_EQ(made->GetValueKind(), kValueKindEmpty);
  uint8 bytes[4] = {1, 2, 3, 4};
  EXPECT_EQ(info->ByteSwapPtr(bytes, true), bytes);
  std::unique_ptr<VValue> loaded(info->LoadFromPtr(bytes, false));
  EXPECT_EQ(loaded->GetValueKind(), kValueKindEmpty);
  EXPECT_TRUE(loaded->IsNull());
}

TEST(VValueFlags, SetNullAndSetDirtyCallTheirHooks) {
  constexpr uint8 kClean = 0;
  constexpr uint8 kDirty = VValue::kFlagDirty;
  constexpr uint8 kNullClean = VValue::kFlagNull;
  struct Case {
    const char* name;
    uint8 flags;
    bool nullNotDirty;  // true: SetNull, false: SetDirty
    bool state;
    std::vector<std::string> calls;
    bool nullAfter;
    bool dirtyAfter;
  };
  const Case cases[] = {
      {"null on clean", kClean, true, true, {"null", "dirty"}, true, true},
      {"null on dirty", kDirty, true, true, {"null"}, true, true},
      {"null again", kNullClean, true, true, {}, true, false},
      {"not null on null", kNullClean, true, false, {"not-null", "dirty"}, false, true},
      {"dirty on clean", kClean, false, true, {"dirty"}, false, true},
      {"dirty again", kDirty, false, true, {}, false, true},
      {"clean on dirty", kDirty, false, false, {"clean"}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingValue value(c.flags);
    if (c.nullNotDirty) {
      value.SetNull(c.state);
    } else {
      value.SetDirty(c.state);
    }
    EXPECT_EQ(value.fCalls, c.calls);
    EXPECT_EQ(value.IsNull(), c.nullAfter);
    EXPECT_EQ(value.IsDirty(), c.dirtyAfter);
  }
}

TEST(VValueBase, InvertCompResultSwapsOnlyOrder) {
  const CompareResult cases[][2] = {{1, -1}, {-1, 1}, {0, 0}, {-1000, -1000}, {7, 7}};
  for (const auto& c : cases) EXPECT_EQ(VValue::InvertCompResult(c[0]), c[1]);
}

TEST(VValueBase, DefaultsAnswerNeutrally) {
  MultiValue value;
  MultiValue other;
  VCompareOptions options;
  const int32 data = 5;
  EXPECT_EQ(value.CompareToSameKind(&other, false), kCompareEqual);
  EXPECT_TRUE(value.EqualToSameKindWithOptions(&other, options));
  EXPECT_EQ(value.Swap_CompareToSameKindPtr(&data, false), kCompareEqual);
  EXPECT_FALSE(value.FromValueSameKind(&other));
  EXPECT_EQ(value.LoadFromPtr(&data, false), &data);
  EXPECT_EQ(value.GetSpace(0), 0u);
  uint64 full = 99;
  EXPECT_EQ(value.GetFullSpaceOnDisk(full), 0u);
  EXPECT_EQ(full, 0u);
  EXPECT_FALSE(value.CanBeStreamed());
  EXPECT_EQ(value.IsVValueSingle(), nullptr);
  std::unique_ptr<VValue> clone(value.FullyClone(false));
  EXPECT_EQ(clone->GetValueKind(), kValueKindVValue);
}

TEST(VValueBase, StreamFormsReturnThePendingError) {
  const uint8 oneByte[1] = {0};
  VConstPtrStream stream(oneByte, sizeof(oneByte));
  stream.SetCharSet(kCharSetUTF8);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  MultiValue value;
  EXPECT_EQ(value.ReadFromStream(&stream, 0), VE_OK);
  int32 word = 0;
  int32 count = 1;
  stream.GetLongs(&word, &count);
  const VError pending = stream.GetLastError();
  ASSERT_NE(pending, VE_OK);
  EXPECT_EQ(value.ReadFromStream(&stream, 0), pending);
  EXPECT_EQ(value.ReadRawFromStream(&stream, 0), pending);
  stream.CloseReading();
}

TEST(VValueBase, DebugDumpOfTheRootIsEmpty) {
  MultiValue value;
  VString dump("not empty");
  value.DebugDump(dump);
  EXPECT_EQ(dump.GetLength(), 0);
  VString name("x");
  value.DebugGetClassName(name);
  EXPECT_EQ(name.GetLength(), 0);
}

TEST(VValueSingle, DebugDumpIsTheStringFormCutToTheBuffer) {
  VLong value(-1234);
  VString dump;
  value.DebugDump(dump);
  EXPECT_EQ(std::u16string(dump.GetCPointer(), dump.GetLength()), u"-1234");

  char buffer[6] = {};
  int size = 6;  // room for three units
  EXPECT_EQ(value.DebugDump(buffer, size), kCharSetUTF16);
  ASSERT_EQ(size, 6);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer), 3), u"-12");
}

TEST(VEmptyValue, HasNoOrderAndIsNull) {
  VEmpty empty;
  EXPECT_TRUE(empty.IsNull());
  EXPECT_FALSE(empty.CanBeEvaluated());
  EXPECT_EQ(empty.CompareTo(VLong(1), false), kCompareUnordered);
  EXPECT_EQ(empty.CompareTo(VEmpty(), false), kCompareUnordered);
  EXPECT_FALSE(empty.EqualTo(VEmpty(), false));
  std::unique_ptr<VValue> clone(empty.Clone());
  EXPECT_EQ(clone->GetValueKind(), kValueKindEmpty);
  EXPECT_TRUE(clone->IsNull());
}

TEST(VValueSingle, ConvertToCutsToTheTargetAndKeepsNull) {
  std::unique_ptr<VValueSingle> byte(VReal(300.7).ConvertTo(kValueKindByte));
  ASSERT_NE(byte, nullptr);
  EXPECT_EQ(byte->GetValueKind(), kValueKindByte);
  EXPECT_EQ(byte->GetByte(), 44);

  VLong nullLong(12);
  nullLong.SetNull(true);
  std::unique_ptr<VValueSingle> real(nullLong.ConvertTo(kValueKindReal));
  ASSERT_NE(real, nullptr);
  EXPECT_TRUE(real->IsNull());
  EXPECT_EQ(real->GetReal(), 12.0);

  EXPECT_EQ(VLong(1).ConvertTo(7), nullptr);
}

TEST(VValueSingle, ConvertToRefusesAKindThatIsNotSingle) {
  VValueInfo_default<MultiValue, 250> multiInfo;
  VValue::RegisterValueInfo(&multiInfo);
  // The value made for the attempt must not leak (checked by the sanitizer).
  EXPECT_EQ(VLong(1).ConvertTo(250), nullptr);
}

// An array that only takes reals, recording what reaches it.
class RealArray : public VValueMultiple {
 public:
  int32 GetCount() const override { return 0; }
  void FromReal(double value, int32 index) override {
    fReal = value;
    fIndex = index;
  }
  double fReal = -1;
  int32 fIndex = -1;
};

TEST(VValueMultipleBase, NarrowSettersReachTheWidestOne) {
  struct Case {
    const char* name;
    void (*set)(VValueMultiple&);
    double expected;
  };
  const Case cases[] = {
      {"boolean", [](VValueMultiple& a) { a.FromBoolean(200, 3); }, 200},
      {"byte", [](VValueMultiple& a) { a.FromByte(-5, 3); }, -5},
      {"word", [](VValueMultiple& a) { a.FromWord(-300, 3); }, -300},
      {"long", [](VValueMultiple& a) { a.FromLong(-70000, 3); }, -70000},
      {"long8", [](VValueMultiple& a) { a.FromLong8((1LL << 53) + 1, 3); }, 9007199254740992.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RealArray array;
    c.set(array);
    EXPECT_EQ(array.fReal, c.expected);
    EXPECT_EQ(array.fIndex, 3);
  }
  RealArray array;
  EXPECT_EQ(array.CompareTo(VLong(1), false, 1), kCompareUnordered);
  EXPECT_EQ(array.Clone(), nullptr);
  EXPECT_EQ(array.GetValueKind(), kValueKindVValue);
  EXPECT_EQ(array.IsVValueSingle(), nullptr);
}

// One kind of single value: how to make a non-null one and every way to copy
// it (Clone, the copy constructor and, where the class has one, assignment
// onto a value of the opposite null state).
struct CopiedKind {
  const char* fName;
  std::function<std::unique_ptr<VValueSingle>()> fMake;
  std::function<std::vector<std::unique_ptr<VValue>>(const VValueSingle&)> fCopies;
};

template <class T>
CopiedKind Kind(const char* name, std::function<T*()> make) {
  auto copies = [make](const VValueSingle& value) {
    const T& source = static_cast<const T&>(value);
    std::vector<std::unique_ptr<VValue>> out;
    out.emplace_back(source.Clone());
    out.emplace_back(new T(source));
    if constexpr (std::is_copy_assignable_v<T>) {
      std::unique_ptr<T> target(make());
      target->SetNull(!source.IsNull());
      *target = source;
      out.push_back(std::move(target));
    }
    return out;
  };
  return {name, [make] { return std::unique_ptr<VValueSingle>(make()); }, copies};
}

// Durations (copies never null) and UUIDs (a clone judges by the bytes)
// have rules of their own, pinned in their tests.
TEST(VValueCopies, KeepTheNullStateOfEveryOtherKind) {
  static const char kBytes[] = "bytes";
  const CopiedKind kinds[] = {
      Kind<VEmpty>("empty",
                   [] {
                     auto* empty = new VEmpty;
                     empty->SetNull(false);
                     return empty;
                   }),
      Kind<VBoolean>("boolean", [] { return new VBoolean(1); }),
      Kind<VByte>("byte", [] { return new VByte(-5); }),
      Kind<VWord>("word", [] { return new VWord(1234); }),
      Kind<VLong>("long", [] { return new VLong(-123456); }),
      Kind<VLong8>("long8", [] { return new VLong8(int64(1) << 40); }),
      Kind<VReal>("real", [] { return new VReal(2.5); }),
      Kind<VString>("string", [] { return new VString("abc"); }),
      Kind<VString>("long string",
                    [] { return new VString("a text longer than any inline room"); }),
      Kind<VStr<8>>("inline-room string", [] { return new VStr<8>("abc"); }),
      Kind<VTime>("time",
                  [] {
                    auto* time = new VTime;
                    time->FromUTCTime(2024, 2, 29, 13, 14, 15, 16);
                    return time;
                  }),
      Kind<VBlobWithPtr>("blob", [] { return new VBlobWithPtr(kBytes, 5); }),
      Kind<VConstBlobWithPtr>("const blob", [] { return new VConstBlobWithPtr(kBytes, 5); }),
  };
  const char* const kWays[] = {"clone", "copy", "assignment"};
  for (const CopiedKind& kind : kinds) {
    for (const bool null : {false, true}) {
      std::unique_ptr<VValueSingle> source = kind.fMake();
      ASSERT_FALSE(source->IsNull()) << kind.fName;
      if (null) source->SetNull(true);
      const std::vector<std::unique_ptr<VValue>> copies = kind.fCopies(*source);
      for (size_t i = 0; i < copies.size(); ++i) {
        SCOPED_TRACE(std::string(kind.fName) + (null ? ", null, " : ", not null, ") + kWays[i]);
        const VValue& copy = *copies[i];
        EXPECT_EQ(copy.GetValueKind(), source->GetValueKind());
        EXPECT_EQ(copy.IsNull(), null);
        EXPECT_TRUE(copy.IsDirty());
        if (!null) {
          EXPECT_TRUE(source->EqualToSameKind(&copy, true));
        }
      }
    }
  }
}

}  // namespace
}  // namespace zeft
