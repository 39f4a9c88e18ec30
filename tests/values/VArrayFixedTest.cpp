// What VArrayFixed gives every array of machine numbers, checked over the
// whole family: copies (copy constructor, assignment, Clone) that keep the
// class, kinds and stream bytes and own their block; elements that travel
// through their single value and back unchanged; copies refused between
// kinds that hold the same machine type; and no JSON form.
#include <gtest/gtest.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "ValueTestSupport.h"
#include "core/VString.h"
#include "json/VJSONValue.h"
#include "support/ErrorTestSupport.h"
#include "values/VArrayByte.h"
#include "values/VArrayDuration.h"
#include "values/VArrayLong.h"
#include "values/VArrayLong8.h"
#include "values/VArrayReal.h"
#include "values/VArrayTime.h"
#include "values/VArrayWord.h"

namespace zeft {
namespace {

using test::Bytes;

// The stream form of `elements`, each in the array's element width, in
// native (little-endian) order.
Bytes StreamFormOf(const VArrayValue& array, const std::vector<uint8>& elements) {
  Bytes bytes = {uint8(elements.size()), 0, 0, 0};
  for (uint8 e : elements) {
    bytes.push_back(e);
    bytes.insert(bytes.end(), array.GetElemSize() - 1, 0);
  }
  return bytes;
}

template <class ARRAY>
ARRAY Filled(const std::vector<uint8>& elements) {
  ARRAY array;
  EXPECT_EQ(test::ReadStreamBytes(array, StreamFormOf(array, elements), false), VE_OK);
  return array;
}

template <class ARRAY>
class VArrayFixedFamily : public testing::Test {};

using FixedArrays = testing::Types<VArrayByte, VArrayWord, VArrayLong, VArrayLong8, VArrayReal,
                                   VArrayTime, VArrayDuration>;
TYPED_TEST_SUITE(VArrayFixedFamily, FixedArrays);

TYPED_TEST(VArrayFixedFamily, CopiesKeepClassKindsAndBytesAndOwnTheirBlock) {
  const TypeParam source = Filled<TypeParam>({3, 1, 2});
  const Bytes bytes = test::StreamBytes(source, false);
  ASSERT_EQ(bytes, StreamFormOf(source, {3, 1, 2}));

  TypeParam constructed(source);
  TypeParam assigned(5);
  assigned = source;
  std::unique_ptr<TypeParam> cloned(source.Clone());
  static_assert(std::is_same_v<decltype(source.Clone()), TypeParam*>);
  for (TypeParam* copy : {&constructed, &assigned, cloned.get()}) {
    EXPECT_EQ(copy->GetValueKind(), source.GetValueKind());
    EXPECT_EQ(copy->GetElemValueKind(), source.GetElemValueKind());
    EXPECT_EQ(test::StreamBytes(*copy, false), bytes);
    copy->Sort(1, 3, 0);
    copy->Delete(1, 1);
  }
  EXPECT_EQ(test::StreamBytes(constructed, false), StreamFormOf(source, {2, 3}));
  EXPECT_EQ(test::StreamBytes(source, false), bytes);
}

TYPED_TEST(VArrayFixedFamily, ElementsTravelThroughTheirSingleValue) {
  TypeParam array = Filled<TypeParam>({7, 0});
  std::unique_ptr<VValueSingle> element(array.CloneValue(1));
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(element->GetValueKind(), array.GetElemValueKind());
  EXPECT_EQ(array.CompareTo(*element, false, 1), kCompareEqual);
  EXPECT_EQ(array.CompareTo(*element, false, 2), kCompareLess);
  EXPECT_EQ(array.Find(*element, 1, 1, kFindEqual), 1);

  array.FromValue(*element, 2);
  EXPECT_EQ(test::StreamBytes(array, false), StreamFormOf(array, {7, 7}));
  std::unique_ptr<VValueSingle> out(array.CloneValue(1));
  array.GetValue(*out, 3);
  EXPECT_EQ(array.CompareTo(*out, false, 3), kCompareEqual);
  EXPECT_EQ(array.CompareTo(*out, false, 1), kCompareBigger);
}

TYPED_TEST(VArrayFixedFamily, HasNoJSONForm) {
  TypeParam array = Filled<TypeParam>({4});
  const Bytes bytes = test::StreamBytes(array, false);
  test::ErrorCollector errors;
  VJSONValue json(1.0);
  VString text("kept");
  EXPECT_EQ(array.GetJSONValue(json, 0), ToolboxError(toolbox_error::kNotSupportedByValue));
  EXPECT_TRUE(json.IsUndefined());
  EXPECT_EQ(array.GetJSONString(text, 0), ToolboxError(toolbox_error::kNotSupportedByValue));
  EXPECT_EQ(to_string(text), "kept");
  EXPECT_EQ(array.FromJSONValue(VJSONValue(2.0)),
            ToolboxError(toolbox_error::kNotSupportedByValue));
  EXPECT_EQ(array.FromJSONString(VString("[2]"), 0),
            ToolboxError(toolbox_error::kNotSupportedByValue));
  EXPECT_EQ(test::StreamBytes(array, false), bytes);
  EXPECT_EQ(errors.Errors().size(), 4u);
}

// Long8s and durations both hold signed 64-bit numbers, times unsigned
// ones: the element kind, not the machine type, decides what may be copied.
TEST(VArrayFixedFamily, CopiesAreRefusedBetweenKinds) {
  std::vector<std::unique_ptr<VArrayValue>> arrays;
  arrays.emplace_back(new VArrayByte(Filled<VArrayByte>({1})));
  arrays.emplace_back(new VArrayWord(Filled<VArrayWord>({2})));
  arrays.emplace_back(new VArrayLong(Filled<VArrayLong>({3})));
  arrays.emplace_back(new VArrayLong8(Filled<VArrayLong8>({4})));
  arrays.emplace_back(new VArrayReal(Filled<VArrayReal>({5})));
  arrays.emplace_back(new VArrayTime(Filled<VArrayTime>({6})));
  arrays.emplace_back(new VArrayDuration(Filled<VArrayDuration>({7})));
  for (const auto& target : arrays) {
    const Bytes before = test::StreamBytes(*target, false);
    for (const auto& source : arrays) {
      if (source == target) continue;
      SCOPED_TRACE(testing::Message()
                   << source->GetValueKind() << " onto " << target->GetValueKind());
      EXPECT_FALSE(target->Copy(*source));
      EXPECT_EQ(test::StreamBytes(*target, false), before);
    }
  }
}

}  // namespace
}  // namespace zeft
