#include "json/VJSONMemberFunction.h"

#include <gtest/gtest.h>

#include <limits>

#include "JSONClassTestSupport.h"
#include "JSONTestSupport.h"
#include "json/VJSONArray.h"
#include "json/VJSONBlob.h"
#include "json/VJSONCloner.h"
#include "json/VJSONSuper.h"
#include "json/VJSONSuperMember.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::ClassError;
using test::ErrorCollector;
using test::HasError;
using test::MakeClass;
using test::NewInstance;
using test::ScopedContext;
using test::Store;

// What the last call of Record saw.
struct Seen {
  VJSONObject* thisObject = nullptr;
  VJSONArray* thisArray = nullptr;
  std::vector<double> parameters;
} gSeen;

EJSONStatus Record(const VJSONObject*, IJSONFunctionContext* context) {
  gSeen = Seen();
  gSeen.thisObject = context->GetThisObject();
  gSeen.thisArray = context->GetThisArray();
  for (size_t i = 1; i <= context->GetParamCount(); ++i) {
    gSeen.parameters.push_back(context->GetParam(i).GetNumber());
  }
  context->SetResult(VJSONValue(99.0), 3);
  return EJSON_ok;
}

VRefPtr<VJSONObject> RecordFunction() {
  return VRefPtr<VJSONObject>(VJSONMemberFunction::Create(&Record, VString("record"), nullptr, 0),
                              kAdoptRef);
}

VJSONValue FunctionOfFunction(const char* name) {
  return VJSONValue(
      VJSONClass::CastObject(Store().GetFunctionClassObject())->FindFunction(VString(name)));
}

TEST(VJSONMemberFunctionTest, CallChoosesThisAndParameters) {
  auto record = RecordFunction();
  const VJSONValue call = record->GetProperty(VString("call"));
  ASSERT_TRUE(call.IsObject()) << "functions inherit call from Function";
  VJSONValue result;
  ASSERT_EQ(test::Call(call, record.Get(), {}, &result), EJSON_ok);
  EXPECT_EQ(gSeen.thisObject, nullptr);
  EXPECT_TRUE(gSeen.parameters.empty());
  VJSONValue o(JSON_object);
  ASSERT_EQ(test::Call(call, record.Get(), {o, VJSONValue(1.0), VJSONValue(2.0)}, &result),
            EJSON_ok);
  EXPECT_EQ(gSeen.thisObject, o.GetObject());
  EXPECT_EQ(gSeen.parameters, (std::vector<double>{1, 2}));
  EXPECT_EQ(result.GetNumber(), 99);

  VJSONValue a(JSON_array);
  ASSERT_EQ(test::Call(FunctionOfFunction("apply"), record.Get(), {a, VJSONValue(5.0)}, &result),
            EJSON_ok);
  EXPECT_EQ(gSeen.thisArray, a.GetArray());
  EXPECT_TRUE(gSeen.parameters.empty()) << "the second parameter is no array";
  VJSONValue list(JSON_array);
  list.GetArray()->Push(VJSONValue(3.0));
  ASSERT_EQ(test::Call(FunctionOfFunction("apply"), record.Get(), {o, list}, &result), EJSON_ok);
  EXPECT_EQ(gSeen.parameters, (std::vector<double>{3}));
}

TEST(VJSONMemberFunctionTest, CallingWhatIsNotCallable) {
  VJSONValue plain(JSON_object);
  VJSONValue untouched(7.0);
  EXPECT_EQ(
      plain.GetObject()->CallAsFunction(nullptr, nullptr, nullptr, untouched, nullptr, nullptr),
      EJSON_unhandled);
  EXPECT_EQ(untouched.GetNumber(), 7);
  for (const char* name : {"call", "apply"}) {
    ErrorCollector errors;
    VJSONValue result;
    EXPECT_EQ(test::Call(FunctionOfFunction(name), plain.GetObject(), {}, &result), EJSON_error)
        << name;
    EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kNotCallable))) << name;
  }
  // An implementation that does not handle the call.
  auto blob = VRefPtr<VJSONObject>(VJSONBlob::Create("ab", 2), kAdoptRef);
  ErrorCollector errors;
  VJSONValue result;
  EXPECT_EQ(test::Call(FunctionOfFunction("call"), blob.Get(), {}, &result), EJSON_unhandled);
  EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kNotCallable)));
}

TEST(VJSONMemberFunctionTest, LayeredContextSharesTheCallersResult) {
  std::vector<VJSONValue> parameters{VJSONValue(1.0)};
  VJSONFunctionContext base(nullptr, nullptr, &parameters, nullptr, nullptr);
  VJSONValue o(JSON_object);
  VJSONFunctionContext layered(o.GetObject(), nullptr, &base);
  layered.SetResult(VJSONValue(4.0), 9);
  VJSONValue result;
  base.GetResult(result);
  EXPECT_EQ(result.GetNumber(), 4);
  EXPECT_EQ(base.GetResultLegacyValueKind(), 5);
  EXPECT_EQ(layered.GetThisObject(), o.GetObject());
  EXPECT_EQ(layered.GetParamCount(), 1u);
  EXPECT_TRUE(base.GetParam(0).IsUndefined());
  EXPECT_TRUE(base.GetParam(2).IsUndefined());
  EXPECT_EQ(base.GetScopeFunctionObject(), nullptr);
}

TEST(VJSONMemberFunctionTest, TypedParameters) {
  VJSONValue o(JSON_object);
  std::vector<VJSONValue> parameters{VJSONValue(3e9),          VJSONValue(-3e9),
                                     VJSONValue(VString("s")), o,
                                     VJSONValue(JSON_null),    VJSONValue(2.5)};
  VJSONFunctionContext context(nullptr, nullptr, &parameters, nullptr, nullptr);
  {
    ErrorCollector errors;
    EXPECT_EQ(context.GetLongParam(1), std::numeric_limits<int32>::max()) << "saturates";
    EXPECT_EQ(context.GetLongParam(2), std::numeric_limits<int32>::min());
    EXPECT_EQ(context.GetLongParam(6), 2);
    EXPECT_TRUE(errors.Errors().empty());
    EXPECT_TRUE(context.IsValid());
  }
  double number = 0;
  {
    ErrorCollector errors;
    EXPECT_FALSE(context.GetNumberOptParam(9, number));
    EXPECT_TRUE(errors.Errors().empty()) << "a missing optional number is no error";
    EXPECT_FALSE(context.IsValid());
  }
  struct Case {
    std::function<void()> read;
    int32 error;
  };
  VJSONFunctionContext fresh(nullptr, nullptr, &parameters, nullptr, nullptr);
  const Case cases[] = {
      {[&] { EXPECT_EQ(fresh.GetNumberParam(3), 0); }, json_error::kParamNotNumber},
      {[&] { EXPECT_FALSE(fresh.GetNumberOptParam(3, number)); }, json_error::kParamNotNumber},
      {[&] { EXPECT_TRUE(fresh.GetBoolParam(3)); }, json_error::kParamNotBoolean},
      {[&] { EXPECT_FALSE(fresh.GetBoolParam(5)); }, json_error::kParamNotBoolean},
      {[&] { EXPECT_TRUE(fresh.GetStringParam(1).IsEmpty()); }, json_error::kParamNotString},
      {[&] { EXPECT_EQ(fresh.GetObjectParam(1), nullptr); }, json_error::kParamNotContainer},
      {[&] { EXPECT_EQ(fresh.GetArrayParam(4), nullptr); }, json_error::kParamNotContainer},
      {[&] { EXPECT_FALSE(fresh.GetBlobParam(3, false).fFound); }, json_error::kParamNotContainer},
  };
  for (const Case& item : cases) {
    ErrorCollector errors;
    item.read();
    EXPECT_TRUE(HasError(errors.Errors(), ClassError(item.error))) << item.error;
  }
  ErrorCollector errors;
  EXPECT_FALSE(fresh.GetBlobParam(3, true).fFound);
  EXPECT_TRUE(errors.Errors().empty()) << "an optional blob is no error";
  VRefPtr<VJSONObject> object(fresh.GetObjectParam(4), kAdoptRef);
  EXPECT_EQ(object.Get(), o.GetObject());
}

// A method of Base, reached from a Derived method through "super".
EJSONStatus BaseGreet(const VJSONObject*, IJSONFunctionContext* context) {
  context->SetResult(VJSONValue(context->GetThisObject() != nullptr ? 1.0 : 0.0), 5);
  return EJSON_ok;
}

TEST(VJSONMemberFunctionTest, SuperReachesTheSuperclassMember) {
  auto base = MakeClass("SBase", {{VString("greet"), &BaseGreet, 0}});
  auto derived = MakeClass("SDerived", {{VString("greet"), &Record, 0}}, base.Get());
  auto instance = NewInstance(derived.Get());
  VJSONObject* running = VJSONClass::CastObject(derived.Get())->FindFunction(VString("greet"));
  VRefPtr<VJSONObject> super(VJSONSuper::CreateObject(), kAdoptRef);
  const VJSONValue member = super->GetProperty(VString("greet"));
  ASSERT_TRUE(member.IsObject());
  ScopedContext scoped(nullptr, running, instance.Get());
  ASSERT_EQ(
      member.GetObject()->GetImplementation()->IJSON_CallAsFunction(member.GetObject(), &scoped),
      EJSON_ok);
  VJSONValue result;
  scoped.GetResult(result);
  EXPECT_EQ(result.GetNumber(), 1) << "called with the running function's this object";

  struct Case {
    const char* member;
    VJSONObject* running;
    int32 error;
  };
  const Case cases[] = {
      {"greet", nullptr, json_error::kNoRunningClassFunction},
      {"missing", running, json_error::kNotCallable},
  };
  for (const Case& item : cases) {
    ErrorCollector errors;
    const VJSONValue other = super->GetProperty(VString(item.member));
    ScopedContext context(nullptr, item.running, instance.Get());
    EXPECT_EQ(
        other.GetObject()->GetImplementation()->IJSON_CallAsFunction(other.GetObject(), &context),
        EJSON_error);
    EXPECT_TRUE(HasError(errors.Errors(), ClassError(item.error))) << item.member;
  }
  // A clone keeps routine and name but has no owner class.
  VJSONCloner cloner;
  VJSONValue copy(running);
  ASSERT_EQ(cloner.CloneValue(copy), VE_OK);
  ASSERT_NE(copy.GetObject(), running);
  EXPECT_EQ(test::Write(copy.GetObject()->GetProperty(VString("_description"))),
            "\"SDerived.greet\"");
  ErrorCollector errors;
  ScopedContext fromClone(nullptr, copy.GetObject(), instance.Get());
  EXPECT_EQ(
      member.GetObject()->GetImplementation()->IJSON_CallAsFunction(member.GetObject(), &fromClone),
      EJSON_error);
  EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kNoRunningClassFunction)));
  // Super objects take no properties.
  EXPECT_FALSE(super->SetProperty(VString("x"), VJSONValue(1.0)));
  EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kReadOnlyObject)));
}

TEST(VJSONMemberFunctionTest, FunctionObjectsDescribeThemselves) {
  auto record = RecordFunction();
  VString text;
  record->GetDescription(text);
  EXPECT_EQ(to_string(text), "<<Native Function: .record >>");
  EXPECT_EQ(test::Write(VJSONValue(record.Get())), "<<Native Function: .record >>");
  ErrorCollector errors;
  EXPECT_FALSE(record->SetProperty(VString("x"), VJSONValue(1.0)));
  EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kReadOnlyProperty)));
  EXPECT_FALSE(record->IsEmpty());
}

}  // namespace
}  // namespace zeft
