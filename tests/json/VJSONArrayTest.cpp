#include "json/VJSONArray.h"

#include <gtest/gtest.h>

#include "JSONTestSupport.h"
#include "json/VJSONStamp.h"
#include "json/VJSONUser.h"
#include "json/VStorageLocker.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::HasError;
using test::Parse;
using test::StLiveContainers;
using test::Write;

VRefPtr<VJSONArray> Numbers(int count) {
  VRefPtr<VJSONArray> array(new VJSONArray(), kAdoptRef);
  for (int i = 0; i < count; ++i) array->Push(VJSONValue(double(i)));
  return array;
}

TEST(VJSONArrayTest, RemoveAtClampsWithoutOverflow) {
  struct Case {
    size_t index, count;
    const char* left;
    bool stamped;
  };
  const Case cases[] = {
      {2, 100, "[0,1]", true},    {5, 1, "[0,1,2,3,4]", false},       {1, 0, "[0,1,2,3,4]", true},
      {1, SIZE_MAX, "[0]", true}, {3, SIZE_MAX - 1, "[0,1,2]", true},
  };
  for (const Case& c : cases) {
    VRefPtr<VJSONArray> array = Numbers(5);
    VRefPtr<VJSONStamp> stamp(new VJSONStamp(), kAdoptRef);
    array->SetJSONStamp(stamp.Get());
    array->RemoveAt(c.index, c.count);
    EXPECT_EQ(Write(VJSONValue(array.Get())), c.left) << c.index << " " << c.count;
    EXPECT_EQ(stamp->GetCounter() != 0, c.stamped) << c.index << " " << c.count;
  }
}

TEST(VJSONArrayTest, ParsedArraysGrowShrinkAndEmptyLikeBuiltOnes) {
  // A parsed array keeps its elements in its own block at first.
  VJSONValue value = Parse("[0,1,2]");
  VJSONArray* array = value.GetArray();
  ASSERT_NE(array, nullptr);
  for (int i = 3; i < 10; ++i) array->Push(VJSONValue(double(i)));
  array->RemoveAt(1, 2);
  EXPECT_EQ(Write(value), "[0,3,4,5,6,7,8,9]");
  ASSERT_TRUE(array->Resize(2));
  ASSERT_TRUE(array->Concatenate(*array));
  EXPECT_EQ(Write(value), "[0,3,0,3]");
  array->Clear();
  array->Push(VJSONValue(JSON_true));
  EXPECT_EQ(Write(value), "[true]");
  VJSONValue other = Parse("[[1],[2,3]]");
  std::vector<VJSONValue> values{VJSONValue(7.0)};
  other.GetArray()->SwapValues(values);
  EXPECT_EQ(Write(other), "[7]");
  VJSONValue small = Parse("[1,2]");
  ASSERT_TRUE(small.GetArray()->Resize(3, JSON_null));
  EXPECT_EQ(Write(small), "[1,2,null]");
}

TEST(VJSONArrayTest, GetAndSetAtTheEnd) {
  VRefPtr<VJSONArray> array = Numbers(3);
  EXPECT_TRUE(array->GetAt(3).IsUndefined());
  VJSONValue out(1.0);
  EXPECT_FALSE(array->GetAt(3, out));
  EXPECT_TRUE(out.IsUndefined());
  EXPECT_TRUE(array->SetAt(3, VJSONValue(9.0)));
  EXPECT_EQ(array->GetCount(), 3u);
}

TEST(VJSONArrayTest, ResizeWithOneFillContainer) {
  VRefPtr<VJSONArray> array(new VJSONArray(), kAdoptRef);
  ASSERT_TRUE(array->Resize(3, JSON_object));
  ASSERT_EQ(array->GetCount(), 3u);
  EXPECT_EQ(array->GetAt(0).GetObject(), array->GetAt(2).GetObject());
  EXPECT_EQ(Write(VJSONValue(array.Get())), "[{},{},{}]");
}

TEST(VJSONArrayTest, RefusedPushOnASharedArrayLeavesNothing) {
  VRefPtr<VJSONArray> shared(new VJSONArray(true), kAdoptRef);
  VJSONUser user(shared.Get());
  ASSERT_TRUE(shared->Push(VJSONValue(1.0)));
  ErrorCollector errors;
  EXPECT_FALSE(shared->Push(VJSONValue(JSON_object)));
  EXPECT_TRUE(
      HasError(errors.Errors(), MakeVError(kComponentJSONClasses, json_error::kPrivateContainer)));
  EXPECT_EQ(shared->GetCount(), 1u);
}

TEST(VJSONArrayTest, SharedResizeAndSwapValuesJoinTheGroup) {
  VRefPtr<VJSONArray> shared(new VJSONArray(true), kAdoptRef);
  VJSONUser user(shared.Get());
  ASSERT_TRUE(shared->Resize(2, JSON_array));
  EXPECT_EQ(shared->GetAt(0).GetArray()->GetSharedID(), shared->GetSharedID());
  EXPECT_NE(shared->GetGraph(), nullptr) << "the fill container is connected";

  VRefPtr<VJSONArray> fresh(new VJSONArray(true), kAdoptRef);
  std::vector<VJSONValue> values{VJSONValue(fresh.Get()), VJSONValue(3.0)};
  shared->SwapValues(values);
  EXPECT_TRUE(values.empty());
  EXPECT_EQ(fresh->GetSharedID(), shared->GetSharedID());
}

TEST(VJSONArrayTest, SwapValuesConnectsToTheGraph) {
  StLiveContainers live;
  {
    VRefPtr<VJSONArray> array(new VJSONArray(), kAdoptRef);
    std::vector<VJSONValue> values{VJSONValue(array.Get())};
    array->SwapValues(values);  // the array now holds itself
    EXPECT_NE(array->GetGraph(), nullptr);
  }
  EXPECT_EQ(live.Arrays(), 0) << "the self-cycle made by SwapValues is collected";
}

TEST(VJSONArrayTest, NotInUseChangesFail) {
  VRefPtr<VJSONArray> shared(new VJSONArray(true), kAdoptRef);
  ErrorCollector errors;
  EXPECT_FALSE(shared->Push(VJSONValue(1.0)));
  EXPECT_TRUE(
      HasError(errors.Errors(), MakeVError(kComponentJSONClasses, json_error::kArrayNotInUse)));
  EXPECT_EQ(shared->GetCount(), 0u);
  EXPECT_EQ(VRefPtr<VJSONArray>(Numbers(1))->GetSharedID(), 0);
}

TEST(VJSONArrayTest, JoinAsString) {
  const VJSONValue value = Parse("[1,null,\"\",\"a\"]");
  VString text;
  value.GetArray()->JoinAsString(VString(","), text);
  EXPECT_EQ(to_string(text), "1,a");
  value.GetArray()->JoinAsString(VString(","), text, false, true);
  EXPECT_EQ(to_string(text), "1,null,a");
  value.GetArray()->JoinAsString(VString(","), text, true, true);
  EXPECT_EQ(to_string(text), "1,null,,a");
}

TEST(VJSONArrayTest, SelectedRows) {
  const VJSONValue rows = Parse("[\"a\",\"b\",\"c\",\"d\"]");
  EXPECT_EQ(Write(rows.GetArray()->GetSelectedRows(Parse("[\"b\",\"c\",\"x\"]"))),
            "{\"ranges\":[{\"start\":1,\"end\":2}]}");
  EXPECT_EQ(Write(rows.GetArray()->GetSelectedRows(Parse("[\"d\",\"a\"]"))),
            "{\"ranges\":[{\"start\":0,\"end\":0},{\"start\":3,\"end\":3}]}");
  EXPECT_EQ(Write(rows.GetArray()->GetSelectedRows(VJSONValue(1.0))), "{\"ranges\":[]}");
}

class Descending : public IJSONValueComparator {
 public:
  bool operator()(const VJSONValue& a, const VJSONValue& b) override {
    return a.GetNumber() > b.GetNumber();
  }
};

TEST(VJSONArrayTest, SortAndConcatenate) {
  VJSONValue value = Parse("[3,1,4,1,5,9,2,6]");
  VRefPtr<VJSONStamp> stamp(new VJSONStamp(), kAdoptRef);
  value.GetArray()->SetJSONStamp(stamp.Get());
  Descending descending;
  value.GetArray()->Sort(&descending);
  EXPECT_EQ(Write(value), "[9,6,5,4,3,2,1,1]");
  EXPECT_EQ(stamp->GetCounter(), 1u);
  EXPECT_TRUE(value.GetArray()->Concatenate(VJSONArray()));
  EXPECT_EQ(stamp->GetCounter(), 1u);
  EXPECT_TRUE(value.GetArray()->Concatenate(*value.GetArray()));
  EXPECT_EQ(value.GetArray()->GetCount(), 16u);
}

TEST(VJSONArrayTest, PushingOneOfItsOwnElementsIntoAFullSharedArray) {
  VRefPtr<VJSONArray> array(new VJSONArray(true), kAdoptRef);
  VStorageLocker* locker = array->GetStorageLockerNoRetain();
  ASSERT_TRUE(locker->Use());
  for (int i = 0; i < 4; ++i) array->Push(VJSONValue(VString("own")));
  ASSERT_TRUE(array->Push(array->GetValuesNoLock()[1]));
  EXPECT_EQ(Write(VJSONValue(array.Get())), R"(["own","own","own","own","own"])");
  locker->EndUse();
}

}  // namespace
}  // namespace zeft
