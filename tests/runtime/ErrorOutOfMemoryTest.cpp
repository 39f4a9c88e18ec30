// Raising, recording and saving errors while plain new fails, one
// allocation at a time: nothing throws, nothing leaks (the leak sanitizer
// checks every test program at exit), and what is recorded is right.
#include <gtest/gtest.h>

#include <cerrno>

#include "core/VString.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "runtime/VErrorThrow.h"
#include "support/ErrorTestSupport.h"
#include "support/StFailingAllocation.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using test::ReadErrors;
using test::StFailingAllocation;

constexpr VError kCode = ToolboxError(4);
constexpr VError kMemoryFull = ToolboxError(toolbox_error::kMemoryFull);
// More allocations than any of these operations makes.
constexpr int kMaxAllocations = 200;

TEST(ErrorsOutOfMemory, ThrowErrorRecordsTheRightRecordOrNothing) {
  const VString where("where");
  for (int nth = 1; nth <= kMaxAllocations; ++nth) {
    SCOPED_TRACE(nth);
    StErrorContextInstaller level(false);
    bool failed = false;
    {
      StFailingAllocation failing(nth);
      EXPECT_NO_THROW(_ThrowError(kCode, &where));
      failed = failing.Failed();
    }
    const auto records = ReadErrors(level.GetContext());
    ASSERT_LE(records.size(), 1u);
    if (!records.empty()) {
      EXPECT_EQ(records[0].code, kCode);
      // A parameter that could not be set is missing, never wrong.
      const auto p1 = records[0].parameters.find("p1");
      if (p1 != records[0].parameters.end()) {
        EXPECT_EQ(p1->second, "where");
      }
    }
    if (!failed) {
      EXPECT_EQ(records.size(), 1u);
      return;
    }
  }
  FAIL() << "never ran without a failing allocation";
}

TEST(ErrorsOutOfMemory, CallersRecordIsPushedWhenItsNativeCompanionCannotBeMade) {
  StErrorContextInstaller level(false);
  VErrorBase* mine = new VErrorBase(kCode);
  bool pushed = false;
  {
    StFailingAllocation failing(1);  // the native record's own allocation
    EXPECT_NO_THROW(pushed = _PushRetainedError(mine, MakeVError(kComponentPosix, EACCES)));
    EXPECT_TRUE(failing.Failed());
  }
  EXPECT_TRUE(pushed);
  const auto records = ReadErrors(level.GetContext());
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].code, kCode);
}

TEST(ErrorsOutOfMemory, SavingAndLoadingALevelAnswersError100) {
  VErrorContext level;
  for (VError code : {kCode, ToolboxError(5)}) {
    VRefPtr<VErrorBase> error(new VErrorBase(code), kAdoptRef);
    error->GetBag()->SetString(ErrorBagKeys::p1, VString("detail"));
    ASSERT_TRUE(level.PushError(error.Get()));
  }
  VValueBag saved;
  ASSERT_EQ(level.SaveToBag(saved), VE_OK);

  for (int nth = 1; nth <= kMaxAllocations; ++nth) {
    SCOPED_TRACE(nth);
    VValueBag bag;
    VErrorContext loaded;
    VError saveResult = VE_OK;
    VError loadResult = VE_OK;
    bool failed = false;
    {
      StFailingAllocation failing(nth);
      EXPECT_NO_THROW(saveResult = level.SaveToBag(bag));
      EXPECT_NO_THROW(loadResult = loaded.LoadFromBag(saved));
      failed = failing.Failed();
    }
    EXPECT_TRUE(saveResult == VE_OK || saveResult == kMemoryFull) << saveResult;
    EXPECT_TRUE(loadResult == VE_OK || loadResult == kMemoryFull) << loadResult;
    if (!failed) {
      EXPECT_EQ(saveResult, VE_OK);
      EXPECT_EQ(loadResult, VE_OK);
      const auto original = ReadErrors(&level);
      const auto copy = ReadErrors(&loaded);
      ASSERT_EQ(copy.size(), original.size());
      for (size_t i = 0; i < copy.size(); ++i) {
        EXPECT_EQ(copy[i].code, original[i].code);
        EXPECT_EQ(copy[i].parameters, original[i].parameters);
      }
      return;
    }
  }
  FAIL() << "never ran without a failing allocation";
}

}  // namespace
}  // namespace zeft
