// The small JSON builders and readers: array and object text writers, the
// array text reader, the one-shot property setters and the iterator.
#include <gtest/gtest.h>

#include <cmath>

#include "JSONClassTestSupport.h"
#include "JSONTestSupport.h"
#include "core/VLong.h"
#include "core/VReal.h"
#include "json/VJSONAlter.h"
#include "json/VJSONArrayReader.h"
#include "json/VJSONArrayWriter.h"
#include "json/VJSONIter.h"
#include "json/VJSONMemberFunction.h"
#include "json/VJSONSingleObjectWriter.h"
#include "support/ErrorTestSupport.h"
#include "values/VTime.h"

namespace zeft {
namespace {

using test::Parse;
using test::Write;

std::string ArrayText(VJSONArrayWriter& writer, bool keep = false) {
  VString text;
  writer.GetArray(text, keep);
  return to_string(text);
}

TEST(VJSONBuildersTest, ArrayWriter) {
  VJSONArrayWriter writer;
  EXPECT_EQ(ArrayText(writer), "[]");
  writer.AddLong(1);
  writer.AddBool(false);
  EXPECT_EQ(ArrayText(writer), "[1,false]");
  EXPECT_EQ(ArrayText(writer), "[]") << "ready for a new array";
  const double reals[] = {1.5, INFINITY};
  writer.AddReals(reals, 2);
  writer.AddString("a\"b", 1);
  writer.AddString(nullptr, 1);
  writer.Add(VLong(7), 1);
  writer.AddWords(nullptr, 3);
  const char bools[] = {0, 2};
  writer.AddBools(bools, 2);
  writer.AddStrings({VString("x"), VString("y")}, 1);
  VJSONArrayWriter inner;
  inner.AddLong(3);
  writer.AddJSONArray(inner);
  EXPECT_EQ(ArrayText(inner), "[]");
  EXPECT_EQ(ArrayText(writer, true), R"([1.5,INF,"a\"b",7,false,true,"x","y",[3]])");
  EXPECT_EQ(ArrayText(writer), R"([1.5,INF,"a\"b",7,false,true,"x","y",[3]])") << "kept";
}

TEST(VJSONBuildersTest, SingleObjectWriter) {
  VJSONSingleObjectWriter writer;
  EXPECT_FALSE(writer.AddMember(VString(), VLong(1), 1));
  EXPECT_TRUE(writer.AddMember(VString("a\"b"), VLong(1), 1));
  VString text;
  writer.GetObject(text);
  EXPECT_EQ(to_string(text), R"({"a"b":1})") << "names are not escaped";
  EXPECT_TRUE(writer.AddMember(VString("s"), VString("t"), 1));
  EXPECT_TRUE(writer.AddMember(VString("r"), VReal(0.25), 1));
  writer.GetObject(text);
  EXPECT_EQ(to_string(text), R"({"a"b":1,"s":"t","r":0.25})");
  VJSONSingleObjectWriter empty;
  empty.GetObject(text);
  EXPECT_EQ(to_string(text), "{}");
}

TEST(VJSONBuildersTest, ArrayReader) {
  VJSONArrayReader reader(VString(R"(x [1, "x", [2, 3], true, {"k": 4}])"));
  VError error = 1;
  ASSERT_EQ(reader.GetCountOfElements(&error), 5);
  EXPECT_EQ(error, VE_OK);
  std::vector<VString> texts{VString("old")};
  EXPECT_EQ(reader.ToArrayString(texts, true), VE_OK);
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(to_string(texts[2]), "x");
  EXPECT_EQ(to_string(texts[4]), "k") << "names inside objects read as values";
  int32 longs[5] = {};
  EXPECT_EQ(reader.ToArrayLong(longs), VE_OK);
  EXPECT_EQ(longs[0], 1);
  EXPECT_EQ(longs[4], 4);
  char bools[5] = {};
  EXPECT_EQ(reader.ToArrayBool(bools), VE_OK);
  EXPECT_EQ(bools[2], 1);
  EXPECT_EQ(bools[0], 0);
  for (const char* bad : {"[1, [2, 3]", "", "word", "[1, 2"}) {
    test::ErrorCollector errors;
    VJSONArrayReader broken{VString(bad)};
    EXPECT_EQ(broken.GetCountOfElements(&error), 0) << bad;
    EXPECT_EQ(error, ToolboxError(json_error::kMalformed)) << bad;
    double reals[1] = {9};
    EXPECT_EQ(broken.ToArrayReal(reals), ToolboxError(json_error::kMalformed));
    EXPECT_EQ(reals[0], 9) << "nothing written";
    EXPECT_TRUE(errors.Errors().empty()) << "kept, never raised";
  }
}

TEST(VJSONBuildersTest, AlterSetsOnePropertyOfAnyValue) {
  VJSONValue value(JSON_null);
  VJSONAlter(value, VString("a.b"), 1);
  EXPECT_EQ(Write(value), R"({"a":{"b":1}})");
  VJSONAlter(value, VString("t"), true);
  VJSONAlter(value, VString("d"), 2.5);
  VJSONAlter(value, VString("s"), "x");
  const UniChar wide[] = {u'w', 0};
  VJSONAlter(value, VString("u"), wide);
  VJSONAlter(value, VString("v"), VString("y"));
  VJSONAlter(value, VString("j"), Parse("[1]"));
  VTime time;
  time.FromUTCTime(2020, 1, 2, 3, 4, 5, 6);
  VJSONAlter(value, VString("time"), time);
  VJSONArray* list = nullptr;
  VJSONAlter(value, VString("list"), JSON_array, &list);
  ASSERT_NE(list, nullptr);
  list->Push(VJSONValue(1.0));
  VJSONAlter(value, VString("a"));
  EXPECT_EQ(Write(value), R"({"t":true,"d":2.5,"s":"x","u":"w","v":"y","j":[1],)"
                          R"("time":"2020-01-02T03:04:05.006Z","list":[1]})");
  VJSONValue text(VString("not an object"));
  VJSONAlter(text, VString("gone"));
  EXPECT_TRUE(text.IsString()) << "removing from a non-object changes nothing";
  VJSONAlter make(text);
  EXPECT_EQ(Write(text), "{}");
}

TEST(VJSONBuildersTest, IterWindowsAndNames) {
  VJSONValue array = Parse("[0,1,2,3,4]");
  struct Case {
    int32 start, end;
    bool toEnd;
    const char* seen;
  };
  const Case cases[] = {
      {-2, 0, true, "34"}, {1, -1, false, "123"}, {-9, 2, false, "01"}, {4, 99, false, "4"}};
  for (const Case& item : cases) {
    VRefPtr<VJSONIter> iter(new VJSONIter(array.GetArray(), item.start, item.end, item.toEnd),
                            kAdoptRef);
    std::string seen;
    VJSONValue element;
    while (iter->NextValue(element)) seen += Write(element);
    EXPECT_EQ(seen, item.seen) << item.start << " " << item.end;
    EXPECT_TRUE(element.IsUndefined());
  }
  VJSONValue object = Parse(R"({"b":1,"a":{"x":2}})");
  VRefPtr<VJSONIter> names(new VJSONIter(object.GetObject(), 0, 0, true), kAdoptRef);
  std::string seen;
  VJSONValue name;
  while (names->NextValue(name)) seen += Write(name);
  EXPECT_EQ(seen, R"("b""a")");
}

TEST(VJSONBuildersTest, FormulasAreFunctionObjects) {
  VJSONValue plain(JSON_object);
  EXPECT_FALSE(IsObjectAFormula(plain));
  EXPECT_FALSE(IsObjectAFormula(static_cast<const VJSONObject*>(nullptr)));
  EXPECT_FALSE(IsObjectAFormula(VJSONValue(1.0)));
  const VJSONValue call = plain.GetObject()->GetProperty(VString("call"));
  EXPECT_TRUE(call.IsUndefined());
  VJSONObject* apply = VJSONClass::CastObject(test::Store().GetFunctionClassObject())
                           ->FindFunction(VString("apply"));
  EXPECT_TRUE(IsObjectAFormula(apply));
}

}  // namespace
}  // namespace zeft
