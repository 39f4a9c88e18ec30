#include "json/VJSONCloner.h"

#include <gtest/gtest.h>

#include "JSONTestSupport.h"
#include "json/VJSONUser.h"
#include "json/VStorageLocker.h"

namespace zeft {
namespace {

using test::Parse;
using test::StLiveContainers;
using test::Write;

TEST(VJSONClonerTest, CyclesAndSharingKeepTheirShape) {
  StLiveContainers live;
  {
    VJSONValue array(JSON_array);
    array.GetArray()->Push(array);
    VJSONCloner cloner;
    VJSONValue copy(array);
    ASSERT_EQ(cloner.CloneValue(copy), VE_OK);
    ASSERT_NE(copy.GetArray(), array.GetArray());
    EXPECT_EQ(copy.GetArray()->GetAt(0).GetArray(), copy.GetArray());

    VJSONValue object(JSON_object);
    VJSONValue pair(JSON_array);
    pair.GetArray()->Push(object);
    pair.GetArray()->Push(object);
    VJSONValue pairCopy(pair);
    ASSERT_EQ(cloner.CloneValue(pairCopy), VE_OK);
    EXPECT_NE(pairCopy.GetArray()->GetAt(0).GetObject(), object.GetObject());
    EXPECT_EQ(pairCopy.GetArray()->GetAt(0).GetObject(), pairCopy.GetArray()->GetAt(1).GetObject());
  }
  EXPECT_EQ(live.Arrays(), 0);
  EXPECT_EQ(live.Objects(), 0);
}

TEST(VJSONClonerTest, Modes) {
  VRefPtr<VJSONArray> shared(new VJSONArray(true), kAdoptRef);
  VJSONValue root = Parse("{\"a\":[1,{\"b\":2}]}");
  root.GetProperty(VString("a")).GetArray()->Push(VJSONValue(shared.Get()));
  {
    VJSONCloner keep(VJSONCloner::kKeepShared);
    VJSONValue copy(root);
    ASSERT_EQ(keep.CloneValue(copy), VE_OK);
    EXPECT_EQ(copy.GetProperty(VString("a")).GetArray()->GetAt(2).GetArray(), shared.Get());
    EXPECT_EQ(Write(copy), Write(root));
  }
  {
    VJSONCloner all(VJSONCloner::kCopyAll);
    VJSONValue copy(root);
    ASSERT_EQ(all.CloneValue(copy), VE_OK);
    EXPECT_NE(copy.GetProperty(VString("a")).GetArray()->GetAt(2).GetArray(), shared.Get());
  }
  {
    VJSONCloner locked(VJSONCloner::kCopyIntoLocker);
    VJSONValue copy(root);
    ASSERT_EQ(locked.CloneValue(copy), VE_OK);
    VStorageLocker* locker = locked.GetStorageLockerAndAssignIfNecessary();
    EXPECT_EQ(locked.GetStorageLockerAndAssignIfNecessary(), locker);
    const int32 id = copy.GetObject()->GetSharedID();
    EXPECT_EQ(id, int32(locker->GetID()));
    const VJSONValue a = copy.GetProperty(VString("a"));
    EXPECT_EQ(a.GetArray()->GetSharedID(), id);
    EXPECT_EQ(a.GetArray()->GetAt(1).GetObject()->GetSharedID(), id);
    VJSONUser user(copy);
    EXPECT_EQ(Write(copy), "{\"a\":[1,{\"b\":2},[]]}");
  }
  {
    // A shared object is kept by reference in mode 1.
    VRefPtr<VJSONObject> object(new VJSONObject(nullptr, nullptr, true), kAdoptRef);
    VJSONCloner keep(VJSONCloner::kKeepShared);
    VJSONValue copy(object.Get());
    ASSERT_EQ(keep.CloneValue(copy), VE_OK);
    EXPECT_EQ(copy.GetObject(), object.Get());
  }
}

}  // namespace
}  // namespace zeft
