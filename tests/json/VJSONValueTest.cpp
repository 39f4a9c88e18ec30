#include "json/VJSONValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "JSONTestSupport.h"
#include "core/VCompareOptions.h"
#include "core/VReal.h"
#include "support/ErrorTestSupport.h"
#include "values/VTime.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::HasToolboxError;
using test::Parse;

TEST(VJSONValueTest, StringsShareTheTextBuffer) {
  const VJSONValue empty((VString()));
  EXPECT_TRUE(empty.IsString());
  EXPECT_FALSE(empty.GetBool());
  EXPECT_TRUE(VJSONValue(VString(true)).IsNull());
  VString text("shared text that lives on the heap");
  const VJSONValue value(text);
  const VJSONValue copy(value);
  EXPECT_EQ(value.GetInlineString().fString, copy.GetInlineString().fString);
  VString out;
  copy.GetString(out);
  EXPECT_EQ(to_string(out), "shared text that lives on the heap");
}

TEST(VJSONValueTest, ConversionsOutOfAValue) {
  struct Case {
    const char* text;
    double number;
  };
  for (const Case& c : {Case{"0x1F", 31}, Case{"0x", 0}, Case{"12abc", 12}, Case{"abc", 0}}) {
    EXPECT_EQ(VJSONValue(VString(c.text)).GetNumber(), c.number) << c.text;
  }
  VJSONValue date;
  date.SetDate(2024, 3, 1);
  EXPECT_EQ(date.GetNumber(), 0);
  EXPECT_TRUE(VJSONValue(std::nan("")).GetBool());
  EXPECT_FALSE(VJSONValue(0.0).GetBool());
  EXPECT_TRUE(VJSONValue(JSON_object).GetBool());
}

TEST(VJSONValueTest, CompareToOrdersKinds) {
  VCompareOptions options;
  VJSONValue date;
  date.SetDate(2000, 1, 1);
  EXPECT_EQ(VJSONValue(JSON_null).CompareTo(VJSONValue(JSON_undefined), options), 0);
  EXPECT_EQ(VJSONValue(JSON_false).CompareTo(VJSONValue(JSON_true), options), -1);
  EXPECT_EQ(VJSONValue(VString("z")).CompareTo(VJSONValue(-5.0), options), -1);
  EXPECT_EQ(date.CompareTo(VJSONValue(JSON_array), options), 1);
  const VJSONValue a(JSON_object), b(JSON_object);
  EXPECT_NE(a.CompareTo(b, options), 0);
  EXPECT_TRUE(a.DeepEqualTo(b, options));
  EXPECT_FALSE(VJSONValue(1.0).DeepEqualTo(VJSONValue(JSON_true), options));
}

// Structures that hold themselves: an array holding itself (and `tail`),
// an object whose "self" holds it, and two arrays holding each other.
VJSONValue SelfArray(const char* tail) {
  VJSONValue array = Parse(tail);
  array.GetArray()->Push(array);
  return array;
}
VJSONValue SelfObject(const char* members) {
  VJSONValue object = Parse(members);
  object.GetObject()->SetProperty(VString("self"), object);
  return object;
}
VJSONValue ArraysHoldingEachOther() {
  VJSONValue first(JSON_array), second(JSON_array);
  first.GetArray()->Push(second);
  second.GetArray()->Push(first);
  return first;
}

// Cycles on both sides end the comparison: the same container is equal to
// itself, a pair met again counts as equal, and a difference anywhere else
// still tells. No stack guard is reached, so no error is left.
TEST(VJSONValueTest, DeepEqualToEndsOnCycles) {
  const VCompareOptions options;
  struct Case {
    const char* name;
    VJSONValue first;
    VJSONValue second;
    bool expected;
  };
  const VJSONValue same = SelfArray("[1]");
  const Case cases[] = {
      {"a=[a] and b=[b]", SelfArray("[]"), SelfArray("[]"), true},
      {"a and itself", same, same, true},
      {"one and two arrays in a loop", SelfArray("[]"), ArraysHoldingEachOther(), true},
      {"a=[1,a] and b=[2,b]", SelfArray("[1]"), SelfArray("[2]"), false},
      {"a=[a] and b=[b,b]", SelfArray("[]"),
       [] {
         VJSONValue twice = SelfArray("[]");
         twice.GetArray()->Push(twice);
         return twice;
       }(),
       false},
      {"objects holding themselves", SelfObject(R"({"n":1})"), SelfObject(R"({"n":1})"), true},
      {"objects holding themselves, apart", SelfObject(R"({"n":1})"), SelfObject(R"({"n":2})"),
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ErrorCollector errors;
    EXPECT_EQ(c.first.DeepEqualTo(c.second, options), c.expected);
    EXPECT_EQ(c.second.DeepEqualTo(c.first, options), c.expected);
    EXPECT_TRUE(errors.Errors().empty());
  }
}

TEST(VJSONValueTest, ClearEmptiesWithinTheKind) {
  VJSONValue value(JSON_true);
  value.Clear();
  EXPECT_EQ(value.GetType(), JSON_false);
  value = VJSONValue(JSON_object);
  value.Clear();
  EXPECT_EQ(value.GetType(), JSON_null);
  value.SetUndefined();
  value.Clear();
  EXPECT_EQ(value.GetType(), JSON_undefined);
}

TEST(VJSONValueTest, DatesKeepTheUTCCalendarDate) {
  VTime time;
  time.FromUTCTime(2024, 3, 1, 23, 30, 0, 0);
  const VJSONValue value(time);
  int16 year, month, day;
  ASSERT_TRUE(value.GetDate(&year, &month, &day));
  EXPECT_EQ(year * 10000 + month * 100 + day, 20240301);
  VString text;
  value.GetString(text);
  EXPECT_EQ(to_string(text), "2024-03-01");
}

TEST(VJSONValueTest, ArrayHoldingItselfConvertsWithTheNestedPlaceEmpty) {
  ErrorCollector errors;
  VJSONValue array(JSON_array);
  array.GetArray()->Push(VJSONValue(1.0));
  array.GetArray()->Push(array);
  VString text;
  EXPECT_EQ(array.GetString(text), VE_OK);
  EXPECT_EQ(to_string(text), "1,");
  EXPECT_TRUE(HasToolboxError(errors.Errors(), json_error::kCircular));
  array.GetArray()->Clear();
  EXPECT_EQ(to_string((Parse("[1,2,3,[4,5],6]").GetString(text), text)), "1,2,3,4,5,6");
}

// Every element shares one 2 MB text, so the array's text is measured past
// the string limit (2^31 units) before anything that size is allocated.
TEST(VJSONValueTest, ArrayTextPastTheStringLimitFails) {
  constexpr int32 kUnits = 1 << 20;
  constexpr int kElements = 2048;
  const std::vector<UniChar> units(kUnits, u'a');
  VString big;
  big.FromUniString(units.data(), kUnits);
  const VJSONValue element(big);
  VJSONValue array(JSON_array);
  for (int i = 0; i < kElements; ++i) array.GetArray()->Push(element);
  ErrorCollector errors;
  VString text("before");
  EXPECT_EQ(array.GetString(text), ToolboxError(toolbox_error::kStringTooLong));
  EXPECT_TRUE(HasToolboxError(errors.Errors(), toolbox_error::kStringTooLong));
}

TEST(VJSONValueTest, PathGettersTruncateAndSaturate) {
  const VJSONValue value =
      Parse("{\"a\":{\"p\":3.9,\"n\":-3.9,\"big\":1e20,\"low\":-1e20,\"s\":\"t\",\"b\":true}}");
  EXPECT_EQ(VJSONValue::GetLongByPath(value, VString("a.p")), 3);
  EXPECT_EQ(VJSONValue::GetLongByPath(value, VString("a.n")), -3);
  EXPECT_EQ(VJSONValue::GetLongByPath(value, VString("a.big")), 2147483647);
  EXPECT_EQ(VJSONValue::GetLongByPath(value, VString("a.low")), -2147483647 - 1);
  VJSONValue nan(JSON_object);
  nan.SetProperty(VString("x"), VJSONValue(std::nan("")));
  EXPECT_EQ(VJSONValue::GetLongByPath(nan, VString("x")), 0);
  EXPECT_TRUE(VJSONValue::GetBoolByPath(value, VString("a.b")));
  VString out("kept");
  EXPECT_FALSE(VJSONValue::GetStringByPath(value, VString("a.p"), out));
  EXPECT_EQ(to_string(out), "kept");
  EXPECT_TRUE(VJSONValue::GetStringByPath(value, VString("a.s"), out));
  EXPECT_EQ(to_string(out), "t");
}

TEST(VJSONValueTest, CreateVValue) {
  std::unique_ptr<VValueSingle> real(VJSONValue(2.5).CreateVValue());
  EXPECT_EQ(real->GetValueKind(), kValueKindReal);
  std::unique_ptr<VValueSingle> object(VJSONValue(JSON_object).CreateVValue(true));
  VString text;
  object->GetString(text);
  EXPECT_EQ(text.GetLength(), 4);
  EXPECT_EQ(text.GetUniChar(4), 1);
  std::unique_ptr<VValueSingle> plain(VJSONValue(JSON_array).CreateVValue(false));
  EXPECT_TRUE(plain->IsNull());
}

}  // namespace
}  // namespace zeft
