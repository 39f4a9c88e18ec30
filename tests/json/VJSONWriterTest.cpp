#include "json/VJSONWriter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "JSONTestSupport.h"
#include "core/VReal.h"
#include "support/ErrorTestSupport.h"
#include "values/VTime.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::HasToolboxError;
using test::Parse;
using test::Write;

TEST(VJSONWriterTest, ScalarsAndNumbers) {
  struct Case {
    VJSONValue value;
    const char* text;
  };
  const Case cases[] = {
      {VJSONValue(JSON_null), "null"},
      {VJSONValue(JSON_undefined), "null"},
      {VJSONValue(JSON_true), "true"},
      {VJSONValue(JSON_false), "false"},
      {VJSONValue(0.0), "0"},
      {VJSONValue(-0.0), "0"},
      {VJSONValue(1.5), "1.5"},
      {VJSONValue(1e21), "1E+21"},
      {VJSONValue(9007199254740991.0), "9007199254740991"},
      {VJSONValue(9007199254740992.0), "9.007199254741E+15"},
      {VJSONValue(0.1 + 0.2), "0.3"},
      {VJSONValue(std::nan("")), "null"},
      {VJSONValue(-HUGE_VAL), "null"},
  };
  for (const Case& c : cases) EXPECT_EQ(Write(c.value), c.text);
}

TEST(VJSONWriterTest, WholeNumbersAreTheRealText) {
  // Whole numbers take their own path: their text is still VReal's,
  // through the largest whole number a double holds exactly and past it.
  const double numbers[] = {0.0,
                            -0.0,
                            1.0,
                            -1.0,
                            9.0,
                            10.0,
                            -10.0,
                            99.0,
                            100.0,
                            65535.0,
                            4294967296.0,
                            99999999999999.0,
                            100000000000000.0,
                            -100000000000000.0,
                            999999999999999.0,
                            1e15,
                            1234567890123456.0,
                            9007199254740991.0,
                            -9007199254740991.0,
                            9007199254740992.0,
                            -9007199254740992.0,
                            1e16,
                            1e300,
                            0.5,
                            -0.5,
                            99999999999999.5,
                            1e-7};
  for (const double number : numbers) {
    char chars[VReal::kMaxTextSize];
    const std::string expected(chars, VReal::RealToXMLChars(number, chars));
    EXPECT_EQ(Write(VJSONValue(number)), expected) << expected;
  }
}

TEST(VJSONWriterTest, NumbersIgnoreTheLocale) {
  const char* saved = std::setlocale(LC_NUMERIC, nullptr);
  const std::string previous = saved != nullptr ? saved : "C";
  if (std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr) GTEST_SKIP() << "no fr_FR locale";
  EXPECT_EQ(Write(VJSONValue(1.25)), "1.25");
  EXPECT_EQ(Write(Parse("[2.5]")), "[2.5]");
  std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(VJSONWriterTest, StringsEscapes) {
  const VJSONValue value(VString(u"\"\\/\u0001\u00e9&"));
  EXPECT_EQ(Write(value), "\"\\\"\\\\/\\u0001\xC3\xA9&\"");
  EXPECT_EQ(Write(value, 0x401), "\"\\\"\\\\/\\u0001\xC3\xA9\\u0026\"");
  EXPECT_EQ(Write(VJSONValue(VString("a\"b")), 0x11), "\"a\"b\"");
  EXPECT_EQ(Write(VJSONValue(VString("ab")), 0), "ab");
}

TEST(VJSONWriterTest, StringsOfEveryShortLengthAreEscapedAsVStringDoes) {
  // Texts are copied in pieces of eight, four and two units: a unit to
  // escape or to keep is put at every position of texts of every length
  // around those sizes, as a value and as a name, and the writer's text
  // must be VString's escaping of it.
  const UniChar units[] = {0x00, 0x08, 0x0A, 0x1F,   u'"',   u'\\',  0x7F,  0x20,
                           u'/', u'&', 0x80, 0xD800, 0xDFFF, 0x2028, 0xFFFF};
  for (int32 length = 0; length <= 34; ++length) {
    for (int32 position = 0; position < std::max(length, int32(1)); ++position) {
      for (const UniChar unit : units) {
        VString text;
        for (int32 i = 0; i < length; ++i)
          text.AppendUniChar(i == position ? unit : UniChar(u'a' + i % 26));
        VString escaped;
        ASSERT_EQ(text.GetJSONString(escaped, VString::kJSONWithQuotes), VE_OK);
        VJSONValue value(text);
        VString written;
        ASSERT_EQ(value.Stringify(written, 0x1), VE_OK);
        EXPECT_EQ(written, escaped)
            << "length " << length << " position " << position << " unit " << int(unit);
        VJSONValue object(JSON_object);
        object.GetObject()->SetProperty(text, VJSONValue(JSON_null));
        ASSERT_EQ(object.Stringify(written, 0x1), VE_OK);
        VString expected(u"{");
        expected.AppendString(escaped);
        expected.AppendString(VString(u":null}"));
        EXPECT_EQ(written, expected)
            << "length " << length << " position " << position << " unit " << int(unit);
      }
    }
  }
}

TEST(VJSONWriterTest, IndentedForm) {
  const VJSONValue value = Parse("{\"a\":1,\"b\":[1,2],\"c\":{},\"d\":[]}");
  EXPECT_EQ(Write(value, 0x9),
            "{\n\t\"a\": 1,\n\t\"b\": [\n\t\t1,\n\t\t2\n\t],\n\t\"c\": {},\n\t\"d\": []\n}");
  EXPECT_EQ(Write(Parse("{\"a\":1,\"b\":[1,2]}"), 0x9),
            "{\n\t\"a\": 1,\n\t\"b\": [\n\t\t1,\n\t\t2\n\t]\n}");
  EXPECT_EQ(Write(value), "{\"a\":1,\"b\":[1,2],\"c\":{},\"d\":[]}");
}

TEST(VJSONWriterTest, CyclesAndRepeatedObjects) {
  VJSONValue object(JSON_object);
  object.SetProperty(VString("self"), object);
  object.SetProperty(VString("n"), VJSONValue(1.0));
  {
    ErrorCollector errors;
    VString text("unchanged");
    EXPECT_EQ(object.Stringify(text, 0x1), ToolboxError(json_error::kCircular));
    EXPECT_EQ(to_string(text), "unchanged");
    EXPECT_TRUE(HasToolboxError(errors.Errors(), json_error::kCircular));
  }
  EXPECT_EQ(Write(object, 0x2001), "{\"self\":\"[circular]\",\"n\":1}");
  object.GetObject()->RemoveProperty(VString("self"));

  VJSONValue array(JSON_array);
  array.GetArray()->Push(VJSONValue(1.0));
  array.GetArray()->Push(array);
  {
    ErrorCollector errors;
    VString text;
    EXPECT_EQ(array.Stringify(text, 0x2001), ToolboxError(json_error::kCircular));
  }
  array.GetArray()->Clear();

  VJSONValue twice(JSON_object);
  twice.SetProperty(VString("a"), object);
  twice.SetProperty(VString("b"), object);
  EXPECT_EQ(Write(twice), "{\"a\":{\"n\":1},\"b\":{\"n\":1}}");
  ErrorCollector errors;
  VString text;
  EXPECT_EQ(twice.Stringify(text, 0x10001), ToolboxError(json_error::kMetTwice));
}

TEST(VJSONWriterTest, PreviewCutsLongOutputOnce) {
  VJSONValue array(JSON_array);
  for (int i = 0; i < 1000; ++i) array.GetArray()->Push(VJSONValue(double(i)));
  const std::string text = Write(array, 0x4001);
  ASSERT_GT(text.size(), 512u);
  // 512 units of element texts, plus the commas between them.
  EXPECT_LT(text.size(), 800u);
  EXPECT_EQ(text.substr(text.size() - 3), "...");
  EXPECT_EQ(text.find(']'), std::string::npos);
  EXPECT_EQ(text.find("..."), text.size() - 3);
}

TEST(VJSONWriterTest, Dates) {
  VJSONValue date;
  date.SetDate(2024, 3, 1);
  EXPECT_EQ(Write(date, 0x1), "\"2024-03-01T00:00:00.000Z\"");
  EXPECT_EQ(Write(date, 0x201), "\"2024-03-01\"");
  EXPECT_EQ(Write(date, 0x1001), "\"!!2024-03-01T00:00:00.000Z!!\"");
}

TEST(VJSONWriterTest, MovedFromContainersWriteAsNull) {
  VJSONValue object(JSON_object);
  VJSONValue taken(std::move(object));
  EXPECT_TRUE(object.IsObject());
  EXPECT_EQ(object.GetObject(), nullptr);
  EXPECT_EQ(Write(object), "null");
  EXPECT_FALSE(object.GetBool() && object.GetObject() != nullptr);
  VJSONValue array(JSON_array);
  VJSONValue other(std::move(array));
  EXPECT_EQ(Write(array), "null");
  VString text;
  EXPECT_EQ(array.GetString(text), VE_OK);
}

TEST(VJSONWriterTest, ContainerEmptiedWhileWrittenEndsWhereItNowEnds) {
  // Native code run while the first element or property is written empties
  // the container, which held the only count of that element.
  VJSONValue array(JSON_array);
  test::FillWithItsOwnEmptier(array.GetArray());
  EXPECT_EQ(Write(array), "[{}]");
  EXPECT_EQ(array.GetArray()->GetCount(), 0u);
  VJSONValue object(JSON_object);
  test::FillWithItsOwnEmptier(object.GetObject());
  EXPECT_EQ(Write(object), R"({"emptier":{}})");
  EXPECT_TRUE(object.GetObject()->IsEmpty());
}

TEST(VJSONWriterTest, ContainerDroppedWhileWrittenInsideItIsWrittenWhole) {
  // Native code two levels down empties the outermost container, which
  // held the only count of the inner one being written.
  VJSONValue array(JSON_array);
  {
    VJSONValue inner(JSON_array);
    VJSONValue element(JSON_object);
    auto* native = new test::EmptiesContainerWhenWritten(array.GetArray());
    element.GetObject()->SetImplementation(native);
    native->Release();
    inner.GetArray()->Push(element);
    inner.GetArray()->Push(VJSONValue(VString("later")));
    array.GetArray()->Push(inner);
  }
  EXPECT_EQ(Write(array), R"([[{},"later"]])");
  EXPECT_EQ(array.GetArray()->GetCount(), 0u);
  VJSONValue object(JSON_object);
  {
    VJSONValue inner(JSON_object);
    VJSONValue element(JSON_object);
    auto* native = new test::EmptiesContainerWhenWritten(object.GetObject());
    element.GetObject()->SetImplementation(native);
    native->Release();
    inner.GetObject()->SetProperty(VString("emptier"), element);
    inner.GetObject()->SetProperty(VString("next"), VJSONValue(VString("later")));
    object.GetObject()->SetProperty(VString("inner"), inner);
  }
  EXPECT_EQ(Write(object), R"({"inner":{"emptier":{},"next":"later"}})");
  EXPECT_TRUE(object.GetObject()->IsEmpty());
}

}  // namespace
}  // namespace zeft
