#include <gtest/gtest.h>

#include "JSONTestSupport.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::HasToolboxError;
using test::Parse;

std::string Fill(const char* pattern, const char* json) {
  const VJSONValue values = json != nullptr ? Parse(json) : VJSONValue(JSON_null);
  VString out("stale");
  VString(pattern).FormatWithTemplate(values.GetObject(), out);
  return to_string(out);
}

TEST(VStringTemplateTest, FillsPlaceholders) {
  struct Case {
    const char* pattern;
    const char* json;
    const char* filled;
  };
  const Case cases[] = {
      {"Hello {{name}}!", "{\"name\":\"Ann\"}", "Hello Ann!"},
      {"Hello {{name}}!", "{}", "Hello !"},
      {"Hello {{name}}!", "{\"name\":null}", "Hello !"},
      {"Hello {{name}}!", nullptr, "Hello !"},
      {"{{n}} items", "{\"n\":3}", "3 items"},
      {"{{n}} items", "{\"n\":true}", "true items"},
      {"{{a.b}}", "{\"a\":{\"b\":\"x\"}}", "x"},
      {"{{list[1]}}", "{\"list\":[1,2]}", "2"},
      {"x{{y", "{}", "xy"},
      {"a}}b", "{\"a\":\"A\"}", "Ab"},
      {"{{a}}}}b", "{\"a\":\"A\"}", "Ab"},
      {"plain text", "{}", "plain text"},
      {"", "{}", ""},
      {"{{a}}{{b}}", "{\"a\":1,\"b\":2}", "12"},
      {"{{ name }}", "{\"name\":\"Ann\"}", "Ann"},
  };
  for (const Case& c : cases) EXPECT_EQ(Fill(c.pattern, c.json), c.filled) << c.pattern;
}

TEST(VStringTemplateTest, EmptyPathRaisesOnlyWithValues) {
  {
    ErrorCollector errors;
    EXPECT_EQ(Fill("[{{}}]", "{}"), "[]");
    EXPECT_TRUE(HasToolboxError(errors.Errors(), json_error::kPathEmptyStep));
  }
  ErrorCollector errors;
  EXPECT_EQ(Fill("[{{}}]", nullptr), "[]");
  EXPECT_TRUE(errors.Errors().empty());
}

}  // namespace
}  // namespace zeft
