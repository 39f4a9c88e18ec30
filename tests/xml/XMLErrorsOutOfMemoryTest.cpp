// The XML parser's error records made while plain new fails, one
// allocation at a time: nothing throws, nothing leaks, and a record that
// could be made is right.
#include "xml/XMLErrors.h"

#include <gtest/gtest.h>

#include "core/VString.h"
#include "support/ErrorTestSupport.h"
#include "support/StFailingAllocation.h"

namespace zeft {
namespace {

using test::StFailingAllocation;

// More allocations than the record takes.
constexpr int kMaxAllocations = 200;

TEST(XMLErrorsOutOfMemory, PushXMLErrorDropsWhatItCannotMake) {
  const VString message("unexpected end of input");
  const VString systemID("file:///tmp/a.xml");
  const VString publicID;
  const VError expected = MakeVError(kComponentXML, 12);
  for (int nth = 1; nth <= kMaxAllocations; ++nth) {
    SCOPED_TRACE(nth);
    test::ErrorCollector errors;
    bool failed = false;
    {
      StFailingAllocation failing(nth);
      EXPECT_NO_THROW(PushXMLError(12, message, systemID, publicID, 3, 7));
      failed = failing.Failed();
    }
    const std::vector<test::ErrorRecord> records = errors.Errors();
    ASSERT_LE(records.size(), 1u);
    if (!records.empty()) {
      EXPECT_EQ(records[0].code, expected);
    }
    if (!failed) {
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].parameters.at("message"), "unexpected end of input");
      EXPECT_EQ(records[0].parameters.at("line"), "3");
      return;
    }
  }
  FAIL() << "never ran without a failing allocation";
}

}  // namespace
}  // namespace zeft
