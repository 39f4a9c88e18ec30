// A library that fails to load while plain new fails, one allocation at a
// time: the load answers false, nothing throws, nothing leaks or stays
// open, and a record that could be made is right.
#include <gtest/gtest.h>

#include <string>

#include "ProcessTestSupport.h"
#include "process/VLibrary.h"
#include "support/ErrorTestSupport.h"
#include "support/StFailingAllocation.h"

namespace zeft {
namespace {

using test::PosixPath;
using test::StFailingAllocation;
using test::TemporaryFolder;

// More allocations than a failed load makes.
constexpr int kMaxAllocations = 400;

TEST(LibraryErrorsOutOfMemory, FailedLoadDropsWhatItCannotMake) {
  TemporaryFolder folder;
  const std::string file = folder.Write("text.so", "not a library", 0755);
  const VError expected = ToolboxError(toolbox_error::kLibraryCannotLoad);
  for (int nth = 1; nth <= kMaxAllocations; ++nth) {
    SCOPED_TRACE(nth);
    VRefPtr<VLibrary> library(new VLibrary(PosixPath(file)), kAdoptRef);
    test::ErrorCollector errors;
    bool loaded = true;
    bool failed = false;
    {
      StFailingAllocation failing(nth);
      EXPECT_NO_THROW(loaded = library->Load());
      failed = failing.Failed();
    }
    EXPECT_FALSE(loaded);
    const std::vector<test::ErrorRecord> records = errors.Errors();
    for (const test::ErrorRecord& record : records) EXPECT_EQ(record.code, expected);
    if (!failed) {
      EXPECT_TRUE(test::HasError(records, expected, "reason"));
      return;
    }
  }
  FAIL() << "never ran without a failing allocation";
}

}  // namespace
}  // namespace zeft
