#include "json/VJSONClass.h"

#include <gtest/gtest.h>

#include "JSONClassTestSupport.h"
#include "JSONTestSupport.h"
#include "json/VJSONCloner.h"
#include "json/VJSONUser.h"
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

// A getter answering the this object's property "stored" plus 1.
EJSONStatus GetPlusOne(const VJSONObject*, IJSONFunctionContext* context) {
  const double stored = context->GetThisObject()->GetOwnProperty(VString("stored")).GetNumber();
  context->SetResult(VJSONValue(stored + 1), 1);
  return EJSON_ok;
}

// A setter storing its parameter under "stored".
EJSONStatus SetStored(const VJSONObject*, IJSONFunctionContext* context) {
  context->GetThisObject()->SetOwnProperty(VString("stored"), context->GetParam(1));
  return EJSON_ok;
}

EJSONStatus Answer1(const VJSONObject*, IJSONFunctionContext* context) {
  context->SetResult(VJSONValue(1.0), 5);
  return EJSON_ok;
}

EJSONStatus Answer2(const VJSONObject*, IJSONFunctionContext* context) {
  context->SetResult(VJSONValue(2.0), 5);
  return EJSON_ok;
}

TEST(VJSONClassTest, NewClassRestsOnObject) {
  VRefPtr<VJSONObject> classObject;
  VJSONClass* jsonClass =
      VJSONClass::Create(classObject, VString("Plain"), nullptr, nullptr, VString(), 0);
  ASSERT_NE(jsonClass, nullptr);
  EXPECT_EQ(jsonClass->GetSuperclassObject(), Store().GetObjectClassObject());
  EXPECT_EQ(jsonClass->GetLevel(), 1);
  EXPECT_EQ(classObject->GetClassObject(), Store().GetClassClassObject());
  EXPECT_EQ(classObject->GetProperty(VString("name")).GetType(), JSON_string);
  EXPECT_EQ(classObject->GetProperty(VString("superclass")).GetObject(),
            Store().GetObjectClassObject());
  EXPECT_EQ(classObject->GetProperty(VString("_id")).GetNumber(), double(jsonClass->GetID()));
  EXPECT_TRUE(classObject->GetProperty(VString("__prototype")).IsObject());
  VString description;
  classObject->GetDescription(description);
  EXPECT_EQ(to_string(description), "Class: Plain");
  EXPECT_FALSE(jsonClass->IsSealed());
  EXPECT_EQ(NewInstance(classObject.Get()).Get(), nullptr) << "an open class makes no instance";
  // Reserved names refuse changes; other names are ordinary properties.
  VJSONUser user(classObject.Get());
  for (const char* name : {"__prototype", "name", "superclass", "__file"}) {
    ErrorCollector errors;
    EXPECT_FALSE(classObject->SetProperty(VString(name), VJSONValue(1.0))) << name;
    EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kReadOnlyProperty))) << name;
  }
  EXPECT_TRUE(classObject->SetProperty(VString("note"), VJSONValue(1.0)));
  // A class object is not cloned.
  VJSONCloner cloner;
  VJSONValue copy(classObject.Get());
  cloner.CloneValue(copy);
  EXPECT_NE(copy.GetObject(), classObject.Get());
}

TEST(VJSONClassTest, SuperclassMustBeAClass) {
  ErrorCollector errors;
  VJSONValue plain(JSON_object);
  VRefPtr<VJSONObject> classObject;
  EXPECT_EQ(
      VJSONClass::Create(classObject, VString("Bad"), plain.GetObject(), nullptr, VString(), 0),
      nullptr);
  EXPECT_EQ(classObject.Get(), nullptr);
  EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kSuperclassNotAClass)));
}

TEST(VJSONClassTest, AccessorsReadAndWriteThroughFunctions) {
  auto point = MakeClass("Point", {{VString("get x"), &GetPlusOne, 0},
                                   {VString("set y"), &SetStored, 0},
                                   {VString("on click"), &Answer1, 0}});
  auto instance = NewInstance(point.Get());
  ASSERT_NE(instance.Get(), nullptr);
  instance->SetOwnProperty(VString("stored"), VJSONValue(41.0));
  EXPECT_EQ(instance->GetProperty(VString("x")).GetNumber(), 42);
  {
    ErrorCollector errors;
    EXPECT_FALSE(instance->SetProperty(VString("x"), VJSONValue(5.0)));
    EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kReadOnlyProperty)));
    EXPECT_FALSE(instance->HasOwnProperty(VString("x")));
  }
  EXPECT_TRUE(instance->SetProperty(VString("y"), VJSONValue(7.0)));
  EXPECT_EQ(instance->GetOwnProperty(VString("stored")).GetNumber(), 7);
  EXPECT_TRUE(instance->GetProperty(VString("y")).IsUndefined()) << "write-only";
  const VJSONValue click = instance->GetProperty(VString("on click"));
  ASSERT_TRUE(click.IsObject());
  EXPECT_EQ(test::Write(click.GetObject()->GetProperty(VString("eventName"))), "\"on\"");
  EXPECT_EQ(test::Write(click.GetObject()->GetProperty(VString("_description"))),
            "\"Point.on click\"");
  std::vector<VString> getters;
  VJSONClass::CastObject(point.Get())->GetGetterNames(getters);
  EXPECT_EQ(getters.size(), 2u) << "x and the write-only y";
  auto bare = NewInstance(point.Get());
  EXPECT_FALSE(bare->IsEmpty()) << "a class with getters";
}

TEST(VJSONClassTest, WrittenInstancesListTheirGettersAlone) {
  // An instance of a class without getters is written with its stored
  // properties only; one inside it whose class has a getter lists the
  // getter first and runs it.
  auto plain = MakeClass("Plain", {});
  auto point = MakeClass("Point", {{VString("get x"), &GetPlusOne, 0}});
  auto outer = NewInstance(plain.Get());
  auto inner = NewInstance(point.Get());
  ASSERT_NE(outer.Get(), nullptr);
  ASSERT_NE(inner.Get(), nullptr);
  inner->SetOwnProperty(VString("stored"), VJSONValue(41.0));
  outer->SetOwnProperty(VString("a"), VJSONValue(1.0));
  outer->SetOwnProperty(VString("inner"), VJSONValue(inner.Get()));
  outer->SetOwnProperty(VString("b"), VJSONValue(VString("end")));
  EXPECT_EQ(test::Write(VJSONValue(outer.Get())),
            R"({"a":1,"inner":{"x":42,"stored":41},"b":"end"})");
  EXPECT_EQ(test::Write(VJSONValue(NewInstance(plain.Get()).Get())), "{}");
}

TEST(VJSONClassTest, SubclassInheritsWhatWasSealedBefore) {
  VRefPtr<VJSONObject> baseObject;
  VJSONClass* base =
      VJSONClass::Create(baseObject, VString("Base"), nullptr, nullptr, VString(), 0);
  auto early = MakeClass("Early", {}, baseObject.Get());
  base->SetFunctions({{VString("f"), &Answer1, 0}, {VString("get g"), &Answer1, 0}}, nullptr,
                     &VJSONClass::GenericInstantiator);
  auto late = MakeClass("Late", {{VString("f"), &Answer2, 0}, {VString("h"), &Answer2, 0}},
                        baseObject.Get());
  auto earlyInstance = NewInstance(early.Get());
  EXPECT_TRUE(earlyInstance->GetProperty(VString("f")).IsUndefined());
  auto lateInstance = NewInstance(late.Get());
  VJSONValue result;
  EXPECT_EQ(test::Call(lateInstance->GetProperty(VString("f")), lateInstance.Get(), {}, &result),
            EJSON_ok);
  EXPECT_EQ(result.GetNumber(), 2) << "own function wins";
  EXPECT_EQ(lateInstance->GetProperty(VString("g")).GetNumber(), 1) << "inherited getter";
  EXPECT_TRUE(lateInstance->IsInstanceOf(baseObject.Get()));
  EXPECT_FALSE(earlyInstance->IsInstanceOf(late.Get()));
  // Sealing happens once.
  base->SetFunctions({{VString("z"), &Answer1, 0}}, nullptr, nullptr);
  EXPECT_EQ(base->FindFunction(VString("z")), nullptr);
}

TEST(VJSONClassTest, FinalFlags) {
  auto finals = MakeClass("Finals", {{VString("a"), &Answer1, 0}}, nullptr, nullptr,
                          VJSONClass::kFinalFunctions);
  auto some = MakeClass("Some", {{VString("a"), &Answer1, 1}, {VString("b"), &Answer1, 0}});
  auto finalOf = [](VJSONObject* classObject, const char* name) {
    VJSONObject* function = VJSONClass::CastObject(classObject)->FindFunction(VString(name));
    return function->GetOwnProperty(VString("final")).GetType() == JSON_true;
  };
  EXPECT_TRUE(finalOf(finals.Get(), "a"));
  EXPECT_TRUE(finalOf(some.Get(), "a"));
  EXPECT_FALSE(finalOf(some.Get(), "b"));
  ErrorCollector errors;
  VJSONObject* function = VJSONClass::CastObject(some.Get())->FindFunction(VString("b"));
  test::ScopedContext context(nullptr, nullptr, nullptr);
  EXPECT_EQ(VJSONClass::do_errorOverridingFinalFunction(function, &context), EJSON_error);
  EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kFinalOverridden), "p1", "Some.b"));
}

// Constructors that count their runs and call (or not) their super constructor.
int gBaseRuns = 0;
int gDerivedRuns = 0;

EJSONStatus BaseConstructor(const VJSONObject*, IJSONFunctionContext* context) {
  ++gBaseRuns;
  context->GetThisObject()->SetOwnProperty(VString("order"), VJSONValue(double(gDerivedRuns)));
  return EJSON_ok;
}

EJSONStatus DerivedCallingSuper(const VJSONObject* function, IJSONFunctionContext* context) {
  // The runtime's context knows the running function: make one that does.
  ScopedContext scoped(context->GetThisObject(), const_cast<VJSONObject*>(function),
                       context->GetThisObject());
  const EJSONStatus status = VJSONClass::CallSuperConstructor(&scoped);
  ++gDerivedRuns;
  return status == EJSON_error ? EJSON_error : EJSON_ok;
}

EJSONStatus DerivedForgettingSuper(const VJSONObject*, IJSONFunctionContext*) {
  ++gDerivedRuns;
  return EJSON_ok;
}

TEST(VJSONClassTest, ConstructorsMustReachTheirSuperConstructor) {
  auto base = MakeClass("CBase", {}, nullptr, &BaseConstructor);
  auto calling = MakeClass("Calling", {}, base.Get(), &DerivedCallingSuper);
  auto forgetting = MakeClass("Forgetting", {}, base.Get(), &DerivedForgettingSuper);
  gBaseRuns = gDerivedRuns = 0;
  auto good = NewInstance(calling.Get());
  EXPECT_EQ(gBaseRuns, 1);
  EXPECT_EQ(gDerivedRuns, 1);
  EXPECT_EQ(good->GetOwnProperty(VString("order")).GetNumber(), 0) << "base ran first";
  EXPECT_EQ(good->GetClassLevel(), 2u);
  EXPECT_FALSE(good->IsInConstruction());
  {
    ErrorCollector errors;
    VJSONObject* instance = VJSONClass::GenericInstantiator(forgetting.Get(), nullptr);
    instance->SetClassLevel(1);
    EXPECT_EQ(VJSONClass::CastObject(forgetting.Get())->CallConstructor(instance, nullptr),
              EJSON_error);
    EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kSuperConstructorNotCalled)));
    instance->Release();
  }
  {
    // A fully constructed instance cannot run its super constructor again.
    ErrorCollector errors;
    VJSONObject* constructor = VJSONClass::CastObject(calling.Get())->GetConstructor();
    ScopedContext scoped(good.Get(), constructor, good.Get());
    EXPECT_EQ(VJSONClass::CallSuperConstructor(&scoped), EJSON_error);
    EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kSuperConstructorNotAllowed)));
  }
  {
    // Made without construction: finalising reports the class that has one.
    ErrorCollector errors;
    VJSONObject* raw = VJSONClass::GenericInstantiator(calling.Get(), nullptr);
    EXPECT_EQ(VJSONClass::FinalizeInstance(raw), ClassError(json_error::kNotConstructed));
    EXPECT_TRUE(
        HasError(errors.Errors(), ClassError(json_error::kNotConstructed), "p1", "Calling"));
    EXPECT_EQ(raw->GetClassLevel(), 2u);
    raw->Release();
  }
}

TEST(VJSONClassTest, NewMakesInstancesOfSealedClasses) {
  auto sealed = MakeClass("Sealed", {});
  VJSONValue result;
  const VJSONValue create = sealed->GetProperty(VString("new"));
  ASSERT_TRUE(create.IsObject());
  EXPECT_EQ(test::Call(create, sealed.Get(), {}, &result), EJSON_ok);
  ASSERT_TRUE(result.IsObject());
  EXPECT_TRUE(result.GetObject()->IsInstanceOf(sealed.Get()));
  EXPECT_FALSE(result.GetObject()->IsGenericObject());
  VJSONValue plain(JSON_object);
  EXPECT_EQ(test::Call(create, plain.GetObject(), {}, &result), EJSON_ok);
  EXPECT_TRUE(result.IsNull()) << "not a class object";
  ErrorCollector errors;
  VRefPtr<VJSONObject> noMaker(
      VJSONClass::Create(VString("NoMaker"), {}, nullptr, nullptr, nullptr, VString(), 0),
      kAdoptRef);
  EXPECT_EQ(test::Call(create, noMaker.Get(), {}, &result), EJSON_ok);
  EXPECT_TRUE(result.IsNull());
  EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kNoInstantiator)));
  // The root classes make no instances.
  EXPECT_EQ(test::Call(create, test::Store().GetObjectClassObject(), {}, &result), EJSON_ok);
  EXPECT_TRUE(result.IsNull());
  EXPECT_FALSE(plain.GetObject()->IsInstanceOf(plain.GetObject()));
  EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kNotAClassObject)));
}

}  // namespace
}  // namespace zeft
