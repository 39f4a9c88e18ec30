#include "json/VJSONObject.h"

#include <gtest/gtest.h>

#include "JSONTestSupport.h"
#include "json/IJSONObject.h"
#include "json/VJSONPropertyIterator.h"
#include "json/VJSONUser.h"
#include "json/VStorageLocker.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::HasError;
using test::Parse;
using test::Write;

std::string Names(const VJSONObject* object) {
  std::string names;
  for (VJSONPropertyConstOrderedIterator it(object, 3); it.IsValid(); ++it) {
    names += to_string(it.GetName());
  }
  return names;
}

TEST(VJSONObjectTest, InsertionOrderSurvivesReplaceAndRemove) {
  VRefPtr<VJSONObject> object(new VJSONObject(), kAdoptRef);
  object->SetProperty(VString("z"), VJSONValue(1.0));
  object->SetProperty(VString("a"), VJSONValue(2.0));
  object->SetProperty(VString("m"), VJSONValue(3.0));
  object->SetProperty(VString("z"), VJSONValue(4.0));
  EXPECT_EQ(Names(object.Get()), "zam");
  object->RemoveProperty(VString("a"));
  EXPECT_EQ(Names(object.Get()), "zm");
  object->SetProperty(VString("a"), VJSONValue(5.0));
  EXPECT_EQ(Names(object.Get()), "zma");
  EXPECT_EQ(Write(VJSONValue(object.Get())), "{\"z\":4,\"m\":3,\"a\":5}");
}

TEST(VJSONObjectTest, ParsedObjectsGrowShrinkCopyAndClear) {
  // A parsed object keeps its first properties in its own block: growing
  // past them, removing, copying and emptying work as on any object.
  for (int count : {1, 3, 15, 16, 20}) {
    SCOPED_TRACE(count);
    std::string text = "{";
    std::string names;
    for (int i = 0; i < count; ++i) {
      if (i != 0) text += ',';
      const char name = char('A' + i);
      text += '"';
      text += name;
      text += "\":";
      text += std::to_string(i);
      names += name;
    }
    text += '}';
    VJSONValue value = Parse(text);
    VJSONObject* object = value.GetObject();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(Names(object), names);
    for (int i = 0; i < 40; ++i) {
      VString name("x");
      name.AppendLong(i);
      object->SetProperty(name, VJSONValue(double(i)));
    }
    object->RemoveProperty(VString("A"));
    EXPECT_EQ(object->GetProperty(VString("x39")).GetNumber(), 39.0);
    const UniChar last[2] = {UniChar('A' + count - 1), 0};
    EXPECT_EQ(object->GetProperty(VString(last)).GetType(),
              count > 1 ? JSON_number : JSON_undefined);
    const VJSONObject::PropertyMap copy = object->GetInternalProperties();
    EXPECT_EQ(copy.size(), size_t(count + 39));
    object->ClearInternalProperties();
    EXPECT_TRUE(object->IsEmpty());
    object->SetProperty(VString("again"), VJSONValue(JSON_true));
    EXPECT_EQ(Write(value), "{\"again\":true}");
    EXPECT_EQ(copy[copy.Find(VString("x0"))].fValue.GetNumber(), 0.0);
    // Emptied in place too, with nothing grown first.
    VJSONValue small = Parse(text);
    small.GetObject()->Clear();
    EXPECT_EQ(Write(small), "{}");
  }
}

TEST(VJSONObjectTest, UndefinedRemovesAndClearKeepsThePlace) {
  VJSONValue value = Parse("{\"a\":1,\"s\":\"x\",\"b\":true}");
  VJSONObject* object = value.GetObject();
  EXPECT_TRUE(object->SetProperty(VString("nothing"), VJSONValue(JSON_undefined)));
  EXPECT_TRUE(object->ClearProperty(VString("s")));
  EXPECT_FALSE(object->ClearProperty(VString("absent")));
  EXPECT_TRUE(object->ClearProperty(VString("b")));
  EXPECT_EQ(Write(value), "{\"a\":1,\"s\":\"\",\"b\":false}");
  EXPECT_TRUE(object->SetProperty(VString("a"), VJSONValue(JSON_undefined)));
  EXPECT_EQ(Write(value), "{\"s\":\"\",\"b\":false}");
  VString name;
  EXPECT_EQ(object->GetClassName(name), EJSON_ok);
  EXPECT_EQ(to_string(name), "Object");
}

TEST(VJSONObjectTest, SharedObjectNeedsItsLockerInUse) {
  VRefPtr<VJSONObject> shared(new VJSONObject(nullptr, nullptr, true), kAdoptRef);
  EXPECT_TRUE(shared->HasOwnProperty(VString("__LockerID")));
  EXPECT_LT(shared->GetOwnProperty(VString("__LockerID")).GetNumber(), 0) << "fresh locker";
  {
    ErrorCollector errors;
    EXPECT_FALSE(shared->SetProperty(VString("a"), VJSONValue(1.0)));
    // Removing by setting undefined fails the same way.
    EXPECT_FALSE(shared->SetProperty(VString("a"), VJSONValue(JSON_undefined)));
    EXPECT_TRUE(
        HasError(errors.Errors(), MakeVError(kComponentJSONClasses, json_error::kObjectNotInUse)));
  }
  VJSONUser user(shared.Get());
  ASSERT_TRUE(user.IsInUse());
  EXPECT_TRUE(shared->SetProperty(VString("a"), VJSONValue(1.0)));
  EXPECT_FALSE(shared->SetProperty(VString("__LockerID"), VJSONValue(1.0)));
  EXPECT_TRUE(shared->SetProperty(VString("a"), VJSONValue(JSON_undefined)));
  {
    ErrorCollector errors;
    VJSONValue privateObject(JSON_object);
    EXPECT_FALSE(shared->SetProperty(VString("p"), privateObject));
    EXPECT_TRUE(HasError(errors.Errors(),
                         MakeVError(kComponentJSONClasses, json_error::kPrivateContainer)));
  }
  // The class store gives it the class "Object" ("Shared Object" is only
  // the name of an object made without any class).
  VString name;
  shared->GetClassName(name);
  EXPECT_EQ(to_string(name), "Object");
}

TEST(VJSONObjectTest, FreshSharedObjectJoinsOneGroupOnly) {
  VRefPtr<VJSONObject> first(new VJSONObject(nullptr, nullptr, true), kAdoptRef);
  VRefPtr<VJSONObject> second(new VJSONObject(nullptr, nullptr, true), kAdoptRef);
  VRefPtr<VJSONObject> moving(new VJSONObject(nullptr, nullptr, true), kAdoptRef);
  VJSONUser one(first.Get());
  VJSONUser two(second.Get());
  ASSERT_TRUE(first->SetProperty(VString("m"), VJSONValue(moving.Get())));
  EXPECT_EQ(moving->GetSharedID(), first->GetSharedID());
  ErrorCollector errors;
  EXPECT_FALSE(second->SetProperty(VString("m"), VJSONValue(moving.Get())));
  EXPECT_TRUE(HasError(errors.Errors(),
                       MakeVError(kComponentJSONClasses, json_error::kObjectOfOtherGroup)));
}

TEST(VJSONObjectTest, MergeWithOverwritesInPlaceAndAppends) {
  VJSONValue target = Parse("{\"a\":1,\"b\":2}");
  const VJSONValue source = Parse("{\"c\":3,\"b\":20,\"d\":4}");
  target.GetObject()->MergeWith(source.GetObject(), false);
  EXPECT_EQ(Write(target), "{\"a\":1,\"b\":20,\"c\":3,\"d\":4}");
  VJSONValue keep = Parse("{\"a\":1,\"b\":2}");
  keep.GetObject()->MergeWith(source.GetObject(), true);
  EXPECT_EQ(Write(keep), "{\"a\":1,\"b\":2,\"c\":3,\"d\":4}");
}

// A native implementation answers a deep comparison first: "handled" decides
// with its answer, "unhandled" lets the properties decide, "error" is unequal.
class NativeComparison : public IJSONObject {
 public:
  NativeComparison(EJSONStatus status, bool equal) : fStatus(status), fEqual(equal) {}
  EJSONStatus IJSON_DeepEqualTo(const VJSONObject*, const VJSONObject*, bool* outEqual) override {
    *outEqual = fEqual;
    return fStatus;
  }

 private:
  EJSONStatus fStatus;
  bool fEqual;
};

TEST(VJSONObjectTest, NativeDeepComparisonDecidesDefersOrFails) {
  struct Case {
    EJSONStatus status;
    bool nativeAnswer;
    const char* other;
    bool expected;
  };
  const Case cases[] = {
      {EJSON_ok, true, "{\"a\":2}", true},          // handled: its answer, whatever the properties
      {EJSON_ok, false, "{\"a\":1}", false},        // handled: unequal although the same
      {EJSON_unhandled, false, "{\"a\":1}", true},  // the properties decide
      {EJSON_unhandled, true, "{\"a\":2}", false},
      {EJSON_error, true, "{\"a\":1}", false},  // a failed comparison is never equal
  };
  for (const Case& c : cases) {
    VJSONValue mine = Parse("{\"a\":1}");
    VJSONValue other = Parse(c.other);
    auto* native = new NativeComparison(c.status, c.nativeAnswer);
    mine.GetObject()->SetImplementation(native);
    native->Release();
    EXPECT_EQ(mine.DeepEqualTo(other, VCompareOptions()), c.expected)
        << "status " << int(c.status) << " against " << c.other;
  }
}

TEST(VJSONObjectTest, TypedGettersAndStamps) {
  VJSONValue value = Parse("{\"s\":\"text\",\"b\":false,\"n\":1}");
  const VJSONObject* object = value.GetObject();
  VString text("kept");
  EXPECT_FALSE(object->GetPropertyAsString(VString("n"), text));
  EXPECT_EQ(to_string(text), "kept");
  EXPECT_TRUE(object->GetPropertyAsString(VString("s"), text));
  bool flag = true;
  EXPECT_TRUE(object->GetPropertyAsBool(VString("b"), &flag));
  EXPECT_FALSE(flag);
  const uint32 before = object->GetPropertyStamp(VString("n"));
  value.GetObject()->TouchPropertyStamp(VString("n"));
  EXPECT_NE(object->GetPropertyStamp(VString("n")), before);
  EXPECT_EQ(object->GetPropertyStamp(VString("absent")), 0u);
}

}  // namespace
}  // namespace zeft
