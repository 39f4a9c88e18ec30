#include <gtest/gtest.h>

#include "JSONTestSupport.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::HasToolboxError;
using test::Parse;
using test::Write;

std::string Steps(const char* path, VError* error) {
  std::vector<VString> steps;
  *error = VJSONObject::ExtractPath(VString(path), steps);
  std::string joined;
  for (const VString& step : steps) joined += to_string(step) + "|";
  return joined;
}

TEST(VJSONObjectPathTest, ExtractPath) {
  struct Case {
    const char* path;
    const char* steps;
    int32 error;
  };
  const Case cases[] = {
      {"a.b[2][0].c", "a|b|2|0|c|", 0},
      {"a . b", "a|b|", 0},
      {"servers[0].name", "servers|0|name|", 0},
      {"", "|", json_error::kPathEmptyStep},
      {"a..b", "a||", json_error::kPathEmptyStep},
      {"[1]", "|", json_error::kPathEmptyStep},
      {"a[]", "a||", json_error::kPathEmptyStep},
      {"a[1", "a|1|", json_error::kPathMissingBracket},
  };
  for (const Case& c : cases) {
    ErrorCollector errors;
    VError error = VE_OK;
    EXPECT_EQ(Steps(c.path, &error), c.steps) << c.path;
    EXPECT_EQ(error, c.error == 0 ? VE_OK : ToolboxError(c.error)) << c.path;
    if (c.error != 0) {
      EXPECT_TRUE(HasToolboxError(errors.Errors(), c.error)) << c.path;
    }
  }
}

TEST(VJSONObjectPathTest, SetPropertyWithPathBuildsContainers) {
  VJSONValue root(JSON_object);
  ASSERT_TRUE(root.GetObject()->SetPropertyWithPath(VString("a.b[2].c"), VJSONValue(1.0)));
  EXPECT_EQ(Write(root), "{\"a\":{\"b\":[null,null,{\"c\":1}]}}");
  EXPECT_EQ(root.GetObject()->GetPropertyWithPath(VString("a.b[2].c")).GetNumber(), 1);
  EXPECT_EQ(root.GetObject()->GetPropertyWithPath(VString("a.b.length")).GetNumber(), 3);
  EXPECT_TRUE(root.GetObject()->GetPropertyWithPath(VString("a.b.x")).IsNull())
      << "a step without digits reads as index 0";
  EXPECT_TRUE(root.GetObject()->GetPropertyWithPath(VString("a.b[-1]")).IsUndefined());
  ASSERT_TRUE(root.GetObject()->SetPropertyWithPath(VString("m[1][0]"), VJSONValue(2.0)));
  EXPECT_EQ(Write(root.GetProperty(VString("m"))), "[null,[2]]");
  EXPECT_TRUE(root.GetObject()->SetPropertyWithPath(VString("a.b[-1]"), VJSONValue(5.0)));
  EXPECT_EQ(Write(root.GetProperty(VString("a"))), "{\"b\":[null,null,{\"c\":1}]}");
}

TEST(VJSONObjectPathTest, SetThroughAScalarFails) {
  VJSONValue root = Parse("{\"a\":\"text\",\"n\":1}");
  {
    ErrorCollector errors;
    EXPECT_FALSE(root.GetObject()->SetPropertyWithPath(VString("a.b"), VJSONValue(1.0)));
    EXPECT_TRUE(HasToolboxError(errors.Errors(), json_error::kPathNameThroughScalar, "p1", "a"));
  }
  {
    ErrorCollector errors;
    EXPECT_FALSE(root.GetObject()->SetPropertyWithPath(VString("n[0]"), VJSONValue(1.0)));
    EXPECT_TRUE(HasToolboxError(errors.Errors(), json_error::kPathIndexThroughScalar, "p1", "n"));
  }
  ErrorCollector errors;
  EXPECT_FALSE(root.GetObject()->SetPropertiesWithPaths({{VString("x"), VJSONValue(1.0)},
                                                         {VString("a.b"), VJSONValue(2.0)},
                                                         {VString("y"), VJSONValue(3.0)}}));
  EXPECT_TRUE(root.GetProperty(VString("x")).IsNumber());
  EXPECT_TRUE(root.GetProperty(VString("y")).IsUndefined()) << "the first failure stops";
}

TEST(VJSONObjectPathTest, StampsByPath) {
  VJSONValue root = Parse("{\"a\":{\"b\":1},\"l\":[1,2]}");
  VJSONObject* object = root.GetObject();
  const uint32 before = object->GetPropertyStampWithPath(VString("a.b"));
  object->TouchPropertyStampWithPath(VString("a.b"));
  EXPECT_NE(object->GetPropertyStampWithPath(VString("a.b")), before);
  EXPECT_EQ(object->GetPropertyStampWithPath(VString("l.length")), 2u);
  EXPECT_EQ(object->GetPropertyStampWithPath(VString("l[5]")), 0u);
  ErrorCollector errors;
  EXPECT_EQ(object->GetPropertyStampWithPath(VString("a..b")), 0u);
}

}  // namespace
}  // namespace zeft
