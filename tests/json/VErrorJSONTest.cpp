#include <gtest/gtest.h>

#include <string>

#include "JSONTestSupport.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using test::Write;

VErrorBase* MakeError(uint32 component, int32 number, const char* description = nullptr) {
  auto* error = new VErrorBase(MakeVError(component, number));
  if (description != nullptr)
    error->GetBag()->SetString(ErrorBagKeys::error_description, VString(description));
  return error;
}

TEST(VErrorJSONTest, RecordGivesNumberSignatureAndDescriptionInOrder) {
  struct Case {
    uint32 component;
    int32 number;
    const char* description;
    std::string expected;
  };
  const Case cases[] = {
      {FourCC("CARB"), -43, nullptr,
       R"x({"errCode":-43,"componentSignature":"CARB","message":"Error code: -43 (CARB)"})x"},
      {kComponentToolbox, 600, "no \"way\"",
       R"({"errCode":600,"componentSignature":"zeft","message":"no \"way\""})"},
      {kComponentPosix, 2, nullptr,
       R"({"errCode":2,"componentSignature":"POSX","message":"No such file or directory"})"},
      // The whole 32 bits of the number are signed.
      {FourCC("MACH"), int32(0x80000001), nullptr,
       R"({"errCode":-2147483647,"componentSignature":"MACH",)"
       R"x("message":"Error code: -2147483647 (MACH)"})x"},
  };
  for (const Case& c : cases) {
    VRefPtr<VErrorBase> error(MakeError(c.component, c.number, c.description), kAdoptRef);
    VRefPtr<VJSONObject> object(error->CreateJSONObject(), kAdoptRef);
    ASSERT_NE(object.Get(), nullptr);
    EXPECT_EQ(object->GetRefCount(), 1) << "the caller holds the only reference";
    EXPECT_EQ(Write(VJSONValue(object.Get())), c.expected);
  }
}

TEST(VErrorJSONTest, LevelGivesItsRecordsOldestFirstOrUndefinedWhenEmpty) {
  VRefPtr<VErrorContext> level(new VErrorContext, kAdoptRef);
  VJSONValue value(3.0);
  EXPECT_EQ(level->SaveToJSONArray(value), VE_OK);
  EXPECT_TRUE(value.IsUndefined());

  VRefPtr<VErrorBase> first(MakeError(kComponentToolbox, 600, "first"), kAdoptRef);
  VRefPtr<VErrorBase> second(MakeError(FourCC("CARB"), -43, "second"), kAdoptRef);
  level->PushError(first.Get());
  level->PushError(second.Get());
  EXPECT_EQ(level->SaveToJSONArray(value), VE_OK);
  EXPECT_EQ(Write(value), R"([{"errCode":600,"componentSignature":"zeft","message":"first"},)"
                          R"({"errCode":-43,"componentSignature":"CARB","message":"second"}])");

  level->Flush();
  EXPECT_EQ(level->SaveToJSONArray(value), VE_OK);
  EXPECT_TRUE(value.IsUndefined()) << "an emptied level replaces the earlier array";
}

}  // namespace
}  // namespace zeft
