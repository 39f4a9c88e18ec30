#include "json/VJSONImporter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "JSONTestSupport.h"
#include "core/CharSet.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "files/FileTestSupport.h"
#include "files/VFile.h"
#include "json/VJSONPropertyIterator.h"
#include "support/ErrorTestSupport.h"
#include "support/TempFolder.h"
#include "values/VTime.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::HasToolboxError;
using test::Parse;
using test::Write;

struct ParseCase {
  const char* text;
  uint32 options;
  bool accepted;
  const char* written;  // the value written back (compact), when accepted
};

void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.text << " options " << c.options; }

class ParseTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTable, AcceptsOrRefuses) {
  const ParseCase& c = GetParam();
  ErrorCollector errors;
  VError error = VE_OK;
  const VJSONValue value = Parse(c.text, c.options, &error);
  if (!c.accepted) {
    EXPECT_EQ(error, ToolboxError(json_error::kMalformed));
    EXPECT_TRUE(HasToolboxError(errors.Errors(), json_error::kMalformed, "line"));
    return;
  }
  EXPECT_EQ(error, VE_OK) << ::testing::PrintToString(test::CurrentErrors());
  EXPECT_EQ(Write(value), c.written);
}

// What strict mode (option 0x2) must accept and refuse, after RFC 8259's grammar.
INSTANTIATE_TEST_SUITE_P(
    Strict, ParseTable,
    ::testing::Values(ParseCase{"{}", 2, true, "{}"}, ParseCase{"[]", 2, true, "[]"},
                      ParseCase{" \t\r\n[ 1 , 2 ]\n", 2, true, "[1,2]"},
                      ParseCase{"{\"a\":1,\"b\":[true,false,null]}", 2, true,
                                "{\"a\":1,\"b\":[true,false,null]}"},
                      ParseCase{"0", 2, true, "0"}, ParseCase{"-0", 2, true, "0"},
                      ParseCase{"0.5", 2, true, "0.5"}, ParseCase{"1e5", 2, true, "100000"},
                      ParseCase{"1E+5", 2, true, "100000"},
                      ParseCase{"-1.5e-3", 2, true, "-0.0015"},
                      ParseCase{"1.7976931348623157e308", 2, true, "1.7976931348623E+308"},
                      ParseCase{"4.9e-324", 2, true, "4.9406564584125E-324"},
                      ParseCase{"1e400", 2, true, "null"}, ParseCase{"1e-400", 2, true, "0"},
                      ParseCase{"\"\\u0041\\u00e9\\\"\\\\\\/\"", 2, true, "\"A\xC3\xA9\\\"\\\\/\""},
                      ParseCase{"\"\\ud83d\\ude00\"", 2, true, "\"\xF0\x9F\x98\x80\""},
                      ParseCase{"{\"a\":1,\"a\":2}", 2, true, "{\"a\":2}"},
                      ParseCase{"{\"a\":1} x", 2, true, "{\"a\":1}"},
                      // Refused.
                      ParseCase{"01", 2, false, ""}, ParseCase{"-01", 2, false, ""},
                      ParseCase{"1.", 2, false, ""}, ParseCase{".5", 2, false, ""},
                      ParseCase{"1e", 2, false, ""}, ParseCase{"+1", 2, false, ""},
                      ParseCase{"{\"a\":1,}", 2, false, ""}, ParseCase{"[1,]", 2, false, ""},
                      ParseCase{"{a:1}", 2, false, ""}, ParseCase{"[hello]", 2, false, ""},
                      ParseCase{"\"abc", 2, false, ""}, ParseCase{"\"abc\\", 2, false, ""},
                      ParseCase{"\"\\u12", 2, false, ""}, ParseCase{"", 2, false, ""},
                      ParseCase{"   ", 2, false, ""}, ParseCase{"[1 2]", 2, false, ""},
                      ParseCase{"{\"a\" 1}", 2, false, ""},
                      ParseCase{"{\"a\":1 \"b\":2}", 2, false, ""},
                      ParseCase{"[1, // comment\n2]", 2, false, ""}, ParseCase{"]", 2, false, ""}));

// Without the strict option bare words are strings and an unterminated
// string ends at the end of the text; numbers keep their grammar.
INSTANTIATE_TEST_SUITE_P(
    Lenient, ParseTable,
    ::testing::Values(ParseCase{"{a:hello}", 0, true, "{\"a\":\"hello\"}"},
                      ParseCase{"[.5]", 0, true, "[\".5\"]"},
                      ParseCase{"\"abc", 0, true, "\"abc\""}, ParseCase{"-", 0, true, "0"},
                      ParseCase{"[/*]", 0, true, "[\"/*\"]"},
                      ParseCase{"\"a\\u00zzb\"", 0, true, "\"ab\""},
                      ParseCase{"\"\\uZZ41\"", 0, true, "\"A\""},
                      ParseCase{"\"\\q\"", 0, true, "\"q\""}, ParseCase{"01", 0, false, ""},
                      ParseCase{"1.", 0, false, ""}, ParseCase{"{\"a\":1,}", 0, false, ""},
                      ParseCase{"[1,2", 0, false, ""}));

TEST(VJSONImporterTest, ManyNamesAndWholeNumbersReadBackExactly) {
  // More distinct names than the parser keeps for sharing, each met twice,
  // beside names that come back in every object.
  std::string text = "[";
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 300; ++i) {
      if (round != 0 || i != 0) text += ',';
      text += "{\"n" + std::to_string(i) + "\":" + std::to_string(i) +
              ",\"\":" + std::to_string(round) + ",\"n\":0}";
    }
  }
  text += "]";
  const VJSONValue value = Parse(text, 2);
  ASSERT_TRUE(value.IsArray());
  EXPECT_EQ(Write(value), text);
  // Whole numbers on both sides of the digits a double holds exactly read
  // as the C library reads them, signed zero included.
  for (const char* word :
       {"0", "-0", "7", "-7", "999999999999999", "-999999999999999", "1000000000000000",
        "9007199254740993", "-9007199254740993", "123456789012345678901234567890"}) {
    const VJSONValue number = Parse(word, 2);
    ASSERT_TRUE(number.IsNumber()) << word;
    const double expected = std::strtod(word, nullptr);
    EXPECT_EQ(number.GetNumber(), expected) << word;
    EXPECT_EQ(std::signbit(number.GetNumber()), std::signbit(expected)) << word;
  }
}

TEST(VJSONImporterTest, NamesAndValuesSharedByManyObjectsKeepExactCounts) {
  // Repeated names and short values share one block; the counts the parser
  // hands out must match the holders exactly, whatever their number, also
  // where a repeated name replaces a member.
  for (int count : {1, 2, 64, 65, 66, 200}) {
    SCOPED_TRACE(count);
    std::string text = "[";
    for (int i = 0; i < count; ++i) {
      if (i != 0) text += ',';
      text += R"({"k":"v","k":"w","n":"v"})";
    }
    VJSONObject* kept = nullptr;
    {
      text += ']';
      const VJSONValue value = Parse(text);
      ASSERT_TRUE(value.IsArray());
      ASSERT_EQ(value.GetArray()->GetCount(), size_t(count));
      kept = value.GetArray()->GetAt(size_t(count / 2)).RetainObject();
    }
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(Write(VJSONValue(kept)), R"({"k":"w","n":"v"})");
    const VJSONPropertyMap& map = kept->GetPropertyMap();
    for (const auto& [name, value] : map) {
      EXPECT_EQ(VString::GetSharedBufferCount(name.GetCPointer(), name.GetCapacity()), 1)
          << to_string(name);
      const VInlineString& text = value.GetInlineString();
      EXPECT_EQ(VString::GetSharedBufferCount(text.fString, text.fMaxLength), 1) << to_string(name);
    }
    kept->Release();
  }
}

TEST(VJSONImporterTest, DecimalsReadBitForBitAsTheCLibraryReadsThem) {
  // On both sides of what one exact product or quotient can give: 2^53,
  // 19 significant digits, decimal exponents of +-22, leading zeros.
  std::vector<std::string> words = {
      "0.1",
      "-0.0",
      "0e5",
      "-0e-5",
      "0.5e-3",
      "123.456",
      "-123.45678901234",
      "1e22",
      "1e23",
      "1e-22",
      "1e-23",
      "9007199254740992e-3",
      "9007199254740993e-3",
      "9007199254740993",
      "9007199254740995",
      "18014398509481986",
      "18014398509481990",
      "1801439850948198.6e1",
      "180143985094819860e-1",
      "18446744073709551615",
      "9999999999999999999e19",
      "9999999999999999999e-19",
      "1000000000000000001e-19",
      "1234567890123456789",
      "12345678901234567890",
      "1234567890123456789e1",
      "0.1234567890123456789",
      "0.12345678901234567890",
      "0.00000000000000000000000001",
      "4.35",
      "3.141592653589793",
      "0.30000000000000004",
      "2.2250738585072014e-308",
      "1.7976931348623157e308",
      "-1.5E+10",
      "1E1000",
      "1e-1000",
      "10000000000000000000000e-1",
      "0.000000000000000000000000000000000000000000000000000000000000000000000000000000001"};
  std::mt19937 random(21);
  // Mantissas past 2^53 with short decimal exponents, in both notations.
  for (int i = 0; i < 20000; ++i) {
    std::string digits(size_t(16 + random() % 4), '0');
    for (char& digit : digits) digit = char('0' + random() % 10);
    digits[0] = char('1' + random() % 9);
    const int exponent = int(random() % 39) - 19;
    std::string word = digits;
    word += 'e';
    word += std::to_string(exponent);
    words.push_back(word);
    const size_t point = size_t(1 + random() % (digits.size() - 1));
    words.push_back(digits.substr(0, point) + '.' + digits.substr(point));
  }
  for (int i = 0; i < 20000; ++i) {
    std::string word = random() % 2 == 0 ? "-" : "";
    const int whole = 1 + int(random() % 10);
    const int fraction = int(random() % 12);
    for (int d = 0; d < whole; ++d) {
      word += char('0' + (d == 0 && whole > 1 ? 1 + random() % 9 : random() % 10));
    }
    if (fraction > 0) word += '.';
    for (int d = 0; d < fraction; ++d) word += char('0' + random() % 10);
    if (random() % 2 == 0) {
      word += 'e';
      word += std::to_string(int(random() % 61) - 30);
    }
    words.push_back(word);
  }
  std::string text = "[";
  for (const std::string& word : words) {
    if (text.size() > 1) text += ',';
    text += word;
  }
  const VJSONValue value = Parse(text + "]", 2);
  ASSERT_TRUE(value.IsArray());
  ASSERT_EQ(value.GetArray()->GetCount(), words.size());
  for (size_t i = 0; i < words.size(); ++i) {
    const double expected = std::strtod(words[i].c_str(), nullptr);
    const double read = value.GetArray()->GetAt(i).GetNumber();
    EXPECT_EQ(std::memcmp(&read, &expected, sizeof read), 0) << words[i] << " read " << read;
  }
  // The minus sign U+2212 in the exponent, on the short path and past it.
  for (const char* word : {"2e\xE2\x88\x92"
                           "3",
                           "2e\xE2\x88\x92"
                           "400",
                           "123456789012345678901e\xE2\x88\x92"
                           "2"}) {
    std::string plain = word;
    plain.replace(plain.find("\xE2\x88\x92"), 3, "-");
    const double expected = std::strtod(plain.c_str(), nullptr);
    const double read = Parse(word, 2).GetNumber();
    EXPECT_EQ(std::memcmp(&read, &expected, sizeof read), 0) << plain;
  }
}

TEST(VJSONImporterTest, QuotedTextsReadWholeWhereverTheirStopsFall) {
  // Units around the stops that share a byte with a quote or a backslash.
  const char* const plain[] = {"a", "\xE2\x88\xA2", "\xE8\x80\xA2", "\xEF\xBC\xBC", "\xE5\xB1\x9C"};
  struct Stop {
    const char* written;
    const char* read;
  };
  const Stop stops[] = {{"\\\"", "\""},   {"\\n", "\n"}, {"\n", "\n"},
                        {"\r\n", "\r\n"}, {"\t", "\t"},  {"\\u00e9", "\xC3\xA9"}};
  for (int before = 0; before < 9; ++before) {
    for (const Stop& stop : stops) {
      std::string text, expected;
      for (int i = 0; i < before; ++i) text += plain[i % 5];
      expected = text;
      text += stop.written;
      expected += stop.read;
      for (int i = 0; i < 7; ++i) {
        text += plain[(i + before) % 5];
        expected += plain[(i + before) % 5];
      }
      VJSONImporter importer(VString(("[\"" + text + "\",\n2]").c_str()), 0x2 | 0x8);
      VJSONValue value;
      ASSERT_EQ(importer.Parse(value), VE_OK) << text;
      EXPECT_EQ(to_string(VString(value.GetArray()->GetAt(0).GetInlineString(), true)), expected)
          << text;
      // The line breaks inside the text are counted.
      const int breaks = stop.written[0] == '\n' || stop.written[0] == '\r' ? 1 : 0;
      const VJSONValue entry = importer.GetPathsLines()->GetProperty(VString("[1]"));
      EXPECT_EQ(entry.GetProperty(VString("line")).GetNumber(), 2 + breaks) << text;
    }
  }
  // Short values met again share their text; every one still reads back as
  // it was written when more distinct ones than the parser keeps follow.
  std::string text = "[";
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 700; ++i) text += "\"v" + std::to_string(i * (round + 1)) + "\",";
  }
  text += "\"v\"]";
  const VJSONValue values = Parse(text, 2);
  EXPECT_EQ(Write(values), text);
}

TEST(VJSONImporterTest, ErrorsCarryLineAndPositionOfTheToken) {
  struct Case {
    const char* text;
    const char* line;
    const char* position;
  };
  const Case cases[] = {
      {"{\"a\":1 \"b\":2}", "1", "8"},
      {"{\"a\":1,\n  \"b\" 2}", "2", "7"},
      // CRLF: the position counts from after the line feed.
      {"{\"a\":1,\r\n  \"b\" 2}", "2", "7"},
      {"{\"a\":1,\r  \"b\" 2}", "2", "7"},
  };
  for (const Case& c : cases) {
    ErrorCollector errors;
    Parse(c.text);
    EXPECT_TRUE(HasToolboxError(errors.Errors(), json_error::kMalformed, "line", c.line)) << c.text;
    EXPECT_TRUE(HasToolboxError(errors.Errors(), json_error::kMalformed, "position", c.position))
        << c.text;
  }
  ErrorCollector errors;
  Parse("{\"a\":1 \"b\":2}");
  EXPECT_TRUE(HasToolboxError(errors.Errors(), json_error::kInvalidToken, "expected", "} ,"));
  EXPECT_TRUE(HasToolboxError(errors.Errors(), json_error::kInvalidToken, "found", "\""));
}

TEST(VJSONImporterTest, ErrorKindsAndTheirParameters) {
  {
    ErrorCollector errors;
    Parse("");
    EXPECT_TRUE(HasToolboxError(errors.Errors(), json_error::kEmptyToken, "found", ""));
  }
  {
    ErrorCollector errors;
    Parse("[1,]");
    EXPECT_TRUE(HasToolboxError(errors.Errors(), json_error::kExtraComma, "token", "]"));
  }
  {
    ErrorCollector errors;
    Parse("01");
    EXPECT_TRUE(
        HasToolboxError(errors.Errors(), json_error::kInvalidToken, "expected", "+- 0-9 eE"));
  }
  {
    ErrorCollector errors;
    Parse("\"abc", 2);
    EXPECT_TRUE(HasToolboxError(errors.Errors(), json_error::kUnterminatedString, "token", "\""));
  }
  {
    ErrorCollector errors;
    VError error = VE_OK;
    Parse("[x", 0x4 | 0x2, &error);
    EXPECT_EQ(error, ToolboxError(json_error::kMalformed));
    EXPECT_TRUE(errors.Errors().empty()) << "option 0x4 silences invalid tokens";
  }
}

TEST(VJSONImporterTest, FailureKeepsThePartialResultOrUndefined) {
  ErrorCollector errors;
  EXPECT_EQ(Write(Parse("[1,2,x", 2)), "[1,2]");
  EXPECT_EQ(Write(Parse(R"({"a":1,"b":[2,x)", 2)), R"({"a":1})");
  EXPECT_EQ(Parse("[1,2,x", 3).GetType(), JSON_undefined);
  EXPECT_EQ(Parse("").GetType(), JSON_undefined);
}

TEST(VJSONImporterTest, MinusSignInTheExponentReadsAsMinus) {
  const UniChar text[] = {u'2', u'e', 0x2212, u'3', 0};
  VJSONValue value;
  ASSERT_EQ(VJSONImporter::ParseString(VString(text), value, 2), VE_OK);
  EXPECT_DOUBLE_EQ(value.GetNumber(), 0.002);
}

TEST(VJSONImporterTest, DateOptions) {
  struct Case {
    const char* text;
    uint32 options;
    bool date;
  };
  const Case cases[] = {
      {"\"2024-03-01\"", 0x80, true},
      {"\"2024-3-1\"", 0x80, false},
      {"\"!!2024-03-01T10:00:00Z!!\"", 0x40, true},
      {"\"!!2024-03-01T10:00:00Z!!\"", 0x240, false},
      {"\"!!2024-03-01!!\"", 0x240, true},
      {"\"2024-03-01\"", 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Parse(c.text, c.options).IsDate(), c.date) << c.text << " " << c.options;
  }
  int16 year, month, day;
  ASSERT_TRUE(Parse("\"!!2024-03-01T23:30:00Z!!\"", 0x40).GetDate(&year, &month, &day));
  EXPECT_EQ(year * 10000 + month * 100 + day, 20240301);
  // A marked text that is no date stays the text it is.
  const VJSONValue kept = Parse("\"!!not a date!!\"", 0xC0);
  ASSERT_TRUE(kept.IsString());
  EXPECT_EQ(Write(kept), "\"!!not a date!!\"");
}

TEST(VJSONImporterTest, PathsTableRecordsEveryMember) {
  VJSONImporter importer(VString("{\"a\":{\"b\":[1,{\"c\":2}]}}"), 0x8);
  VJSONValue value;
  ASSERT_EQ(importer.Parse(value), VE_OK);
  const VJSONObject* paths = importer.GetPathsLines();
  ASSERT_NE(paths, nullptr);
  for (const char* path : {"a", "a.b", "a.b[0]", "a.b[1]", "a.b[1].c", "}"}) {
    const VJSONValue entry = paths->GetProperty(VString(path));
    ASSERT_TRUE(entry.IsObject()) << path;
    EXPECT_EQ(entry.GetProperty(VString("line")).GetNumber(), 1) << path;
  }
  EXPECT_EQ(paths->GetProperty(VString("a.b")).GetProperty(VString("offset")).GetNumber(), 6);
  EXPECT_EQ(paths->GetInternalProperties().size(), 6u);
}

TEST(VJSONImporterTest, PathsTableCountsLinesAcrossRunsOfBlanks) {
  // Runs of blanks of every length around the line breaks, which are
  // counted wherever they fall in a run.
  const char* const breaks[] = {"", "\n", "\r", "\r\n", "\n\r", "\n\n\t", "\r\r"};
  for (const int before : {0, 1, 3, 7, 8, 9, 15, 17}) {
    for (const char* lineBreak : breaks) {
      for (const int after : {0, 1, 6, 8, 13}) {
        const std::string blanks =
            std::string(size_t(before), ' ') + lineBreak + std::string(size_t(after), ' ');
        const std::string text = "[1," + blanks + "{}]";
        int32 line = 1;
        size_t lineStart = 0;
        for (size_t i = 0; i < text.size(); ++i) {
          if (text[i] == '\n' || (text[i] == '\r' && text[i + 1] != '\n')) {
            ++line;
            lineStart = i + 1;
          }
        }
        VJSONImporter importer(VString(text.c_str()), 0x8);
        VJSONValue value;
        ASSERT_EQ(importer.Parse(value), VE_OK) << text;
        const VJSONValue entry = importer.GetPathsLines()->GetProperty(VString("[1]"));
        EXPECT_EQ(entry.GetProperty(VString("line")).GetNumber(), line) << text;
        EXPECT_EQ(entry.GetProperty(VString("offset")).GetNumber(),
                  double(text.find('{') - lineStart))
            << text;
      }
    }
  }
}

TEST(VJSONImporterTest, SharedOptionGivesEveryContainerOneLocker) {
  const VJSONValue value = Parse("{\"a\":[{}],\"b\":{}}", 0x100);
  ASSERT_TRUE(value.IsObject());
  const int32 id = value.GetObject()->GetSharedID();
  EXPECT_GT(id, 0);
  const VJSONValue a = value.GetProperty(VString("a"));
  EXPECT_EQ(a.GetArray()->GetSharedID(), id);
  EXPECT_EQ(a.GetArray()->GetAt(0).GetObject()->GetSharedID(), id);
  EXPECT_EQ(value.GetProperty(VString("b")).GetObject()->GetSharedID(), id);
}

TEST(VJSONImporterTest, DeepNestingFailsCleanly) {
  ErrorCollector errors;
  const std::string deep(1000000, '[');
  VError error = VE_OK;
  const VJSONValue value = Parse(deep, 0x1, &error);
  EXPECT_EQ(error, ToolboxError(toolbox_error::kBufferTooLong));
  EXPECT_TRUE(HasToolboxError(errors.Errors(), toolbox_error::kBufferTooLong));
  EXPECT_TRUE(value.IsUndefined());
  // Without option 0x1 the partial result is kept, and it frees cleanly.
  const VJSONValue partial = Parse(deep);
  EXPECT_TRUE(partial.IsArray());
  std::string objects;
  for (int i = 0; i < 200000; ++i) objects += "{\"a\":";
  EXPECT_EQ(Parse(objects, 1, &error).GetType(), JSON_undefined);
  EXPECT_EQ(error, ToolboxError(toolbox_error::kBufferTooLong));
}

// Everything a parse leaves, exactly: the value (numbers to the bit, texts
// to the unit, members in order), the result and the errors raised.
std::string Describe(const VJSONValue& value) {
  char buffer[64];
  switch (value.GetType()) {
    case JSON_number:
      std::snprintf(buffer, sizeof buffer, "%a", value.GetNumber());
      return buffer;
    case JSON_string: {
      const VString text(value.GetInlineString(), true);
      std::string units = "\"";
      for (int32 i = 0; i < text.GetLength(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%04x ", unsigned(text.GetCPointer()[i]));
        units += buffer;
      }
      return units + "\"";
    }
    case JSON_date: {
      VTime time;
      value.GetTime(time);
      return "date " + std::to_string(time.GetMilliseconds());
    }
    case JSON_array: {
      std::string items = "[";
      for (size_t i = 0; i < value.GetArray()->GetCount(); ++i) {
        items += Describe(value.GetArray()->GetAt(i)) + ",";
      }
      return items + "]";
    }
    case JSON_object: {
      std::string members = "{";
      if (value.GetObject()->GetSharedID() > 0) members += "shared ";
      for (VJSONPropertyConstIterator it(value.GetObject()); it.IsValid(); ++it) {
        members += to_string(it.GetName()) + ":" + Describe(it.GetValue()) + ",";
      }
      return members + "}";
    }
    default:
      return "type " + std::to_string(int(value.GetType()));
  }
}

std::string ParseOutcome(const std::string& bytes, uint32 options, bool inPlace) {
  ErrorCollector errors;
  VJSONValue value;
  VError error;
  if (inPlace) {
    error = VJSONImporter::ParseUTF8(bytes.data(), bytes.size(), value, options);
  } else {
    VString text;
    text.FromBlock(bytes.data(), bytes.size(), kCharSetUTF8);
    error = VJSONImporter::ParseString(text, value, options);
  }
  std::string outcome = std::to_string(error) + " " + Describe(value);
  for (const test::ErrorRecord& record : errors.Errors()) {
    outcome += " | " + ::testing::PrintToString(record);
  }
  return outcome;
}

// Reading UTF-8 bytes in place gives what reading their VString gives.
void ExpectSameOutcome(const std::string& bytes) {
  for (const uint32 options : {0x0u, 0x1u, 0x2u, 0x4u, 0xC0u, 0x100u, 0x282u}) {
    EXPECT_EQ(ParseOutcome(bytes, options, true), ParseOutcome(bytes, options, false))
        << ::testing::PrintToString(bytes) << " options " << options;
  }
}

TEST(VJSONImporterTest, UTF8BytesReadAsTheirDecodedText) {
  using namespace std::string_literals;
  const std::string cases[] = {
      // Well formed.
      "{\"a\":[1,-2.5e3,true,false,null,\"x\\u00e9\\ud83d\\ude00\\n\\t\\\"\\\\\\/\"],\"b\":{}}",
      "[\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xE6\x97\xA5\xE6\x9C\xAC\",\"\xC3\xA9t\xC3\xA9\"]",
      "{\"\xC3\xA9\":1,\"a\":2,\"a\":3}", " \t\r\n[ 1 , 2 ]\n", "\"top\"", "0", "-0", "{\"a\":1} x",
      "[\"!!2024-03-01T00:00:00Z!!\",\"2024-03-01\",\"2024-03-01T10:00:00Z\"]",
      "[\"a\tb\x01\",\"line\nbreak\",\"\\b\\f\\r\"]",
      // Runs of blanks and controls of every length between tokens.
      "{\n" + std::string(40, ' ') + "\"a\" :  \t[1,\n" + std::string(15, '\t') + "2,\x01\x1F" +
          std::string(16, ' ') + "3" + std::string(17, '\r') + "]\n}" + std::string(33, ' '),
      // Bytes VString does not decode as one character.
      "\"a\377b\"", "\"\xC3\"", "\"\xE2\x82\"", "\"\xC0\xAF\"", "\"\xE0\x80\xAF\"", "\"\x80\"",
      "\"\xED\xA0\x80\xED\xB0\x80\"", "\"\xF4\x90\x80\x80\"", "\"\xF8\x88\x80\x80\x80\"",
      "\"\xFE\xFF\"", "[1,\3772]", "\xEF\xBB\xBF[1]", "[1] \xFF", "[1] \xE2\x82", "[\"a\"]\xC3",
      "[\xC3\xA9]", "{\xC3\xA9:1}", "\"\xC3\xA9",
      // Escapes cut short or out of the grammar.
      "\"\\u12\"", "\"\\u12", "\"\\", "\"abc", "\"\\uZZ41\"", "\"\\u00zzb\"", "\"\\u0000x\"",
      "\"\\q\"", "\"\\\xC3\xA9\"", "\"\\\n\"", "\"\\ud83d\"", "\"\\ude00\\ud83d\"", "\"\\u00E9\"",
      // NUL.
      "[1,\0 2]"s, "\"a\0b\""s, "\"\\\0\""s, "\0"s, "[\"a\"\0]"s,
      // Numbers.
      "1e400", "-1e-400", "123456789012345678901234567890", "1" + std::string(400, '0'),
      "0." + std::string(400, '0') + "1", "1e99999999999", "4.9e-324", "1.7976931348623157e308",
      "0.1", "9007199254740993", "-", "01", "1.", "1e", ".5", "+1", "12abc", "1\xE2\x88\x92",
      "1e\342\210\2225", "\342\210\2225", "[1e5,-0.0,1E+2,2e-3]",
      // Bare words and tokens out of place.
      "[hello]", "{a:1}", "[truex]", "[tru]", "nul", "TRUE", "[true\"x\"]", "[/*]",
      // Errors.
      "", "   ", "[1 2]", "{\"a\" 1}", "[1,]", "{\"a\":1,}", "]", "}", ":", ",", "[1,2",
      "{\"a\":1 \"b\":2}", "{\"a\":1,\n  \"b\" 2}", "{\"a\":1,\r\n  \"b\" 2}", "{\"a\"",
      "{\"a\":", "{,}", "[,]", "{\"a\"::1}",
      // The binary form's carrier.
      "{\"__PRIVATE_BINARY_OBJECT\":\"!!!\"}", "{\"__PRIVATE_BINARY_OBJECT\":1}",
      std::string(100, '[') + std::string(100, ']')};
  for (const std::string& bytes : cases) ExpectSameOutcome(bytes);
}

TEST(VJSONImporterTest, UTF8BytesReadAsTheirDecodedTextAtDeepNesting) {
  // Deeper than the stack allows, and a deep value that fits.
  ExpectSameOutcome(std::string(300000, '['));
  ExpectSameOutcome(std::string(100000, '[') + "1" + std::string(100000, ']'));
}

TEST(VJSONImporterTest, UTF8BytesReadAsTheirDecodedTextAfterRandomEdits) {
  // A text of every form, edited at random with the bytes that matter to
  // the two readings.
  const std::string base =
      "{\"name\":\"caf\xC3\xA9 \xF0\x9F\x98\x80\",\"n\":[0,-1.5e-3,12345678901234567890,1e300],"
      "\"t\":true,\"f\":false,\"z\":null,\"e\":\"\\u00e9\\n\\\"\\\\\",\"o\":{\"a\":{}},"
      "\"l\":[\"\xE6\x97\xA5\",[],[[1]]],\"d\":\"!!2024-03-01T00:00:00Z!!\"}";
  const char pool[] = "\"\\{}[],: \n\t\x01\x00\x80\xBF\xC3\xE2\xF0\xFFu0e-.+9aZ";
  std::mt19937 random(20261210);
  for (int round = 0; round < 1000; ++round) {
    std::string bytes = base;
    const int edits = 1 + int(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const size_t at = random() % (bytes.size() + 1);
      const char byte = pool[random() % (sizeof pool - 1)];
      switch (random() % 3) {
        case 0:
          bytes.insert(at, 1, byte);
          break;
        case 1:
          if (at < bytes.size()) bytes.erase(at, 1);
          break;
        default:
          if (at < bytes.size()) bytes[at] = byte;
          break;
      }
    }
    ExpectSameOutcome(bytes);
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(VJSONImporterTest, FileReadsAsItsTextDecodedWithItsMark) {
  using namespace std::string_literals;
  const std::string cases[] = {
      "{\"a\":[1,\"\xC3\xA9\"]}", "\xEF\xBB\xBF{\"a\":1}", "\xEF\xBB\xBF{\"a\":1\n \"b\":2}",
      "[1,\n2 3]", "\xEF\xBB\xBF", "", "[\"a\xFF\"]", "\xEF\xBB\xBF\xEF\xBB\xBF[1]",
      // UTF-16 text, which its mark announces.
      "\xFF\xFE[\0\"\0\xE9\0\"\0]\0"s, "\xFE\xFF\0[\0\"\0\xE9\0\"\0]"s, "\xFF\xFE[\0,\0"s};
  test::TempFolder scratch;
  for (const std::string& bytes : cases) {
    const std::string path = scratch.Write("in.json", bytes);
    VRefPtr<VFile> file = test::FileAt(path);
    for (const uint32 options : {0x0u, 0x2u}) {
      // What the file's text decoded as a string gives, the file's path
      // naming the source of errors.
      std::string expected;
      {
        ErrorCollector errors;
        VString text;
        ASSERT_EQ(file->GetContentAsString(text, kCharSetUTF8, kCRModeNone), VE_OK);
        VJSONValue value;
        const VError error = VJSONImporter::ParseString(text, value, options);
        expected = std::to_string(error) + " " + Describe(value);
        for (test::ErrorRecord record : errors.Errors()) {
          if (record.parameters.count("source") != 0) record.parameters["source"] = path + ", ";
          expected += " | " + ::testing::PrintToString(record);
        }
      }
      ErrorCollector errors;
      VJSONValue value;
      const VError error = VJSONImporter::ParseFile(file.Get(), value, options);
      std::string outcome = std::to_string(error) + " " + Describe(value);
      for (const test::ErrorRecord& record : errors.Errors()) {
        outcome += " | " + ::testing::PrintToString(record);
      }
      EXPECT_EQ(outcome, expected) << ::testing::PrintToString(bytes) << " options " << options;
    }
  }
  // An unreadable file gives the read's error and leaves the value.
  ErrorCollector errors;
  VJSONValue value(1.0);
  EXPECT_NE(VJSONImporter::ParseFile(test::FileAt(scratch.Path("missing.json")).Get(), value),
            VE_OK);
  EXPECT_EQ(value.GetNumber(), 1.0);
}

TEST(VJSONImporterTest, ObjectToBag) {
  VJSONImporter importer(VString("{\"s\":\"t\", n:null, \"b\":true, \"i\":12, \"big\":1E+21, "
                                 "\"small\":1E-05, \"r\":1.5, \"huge\":99999999999999999999,"
                                 "\"d\":\"2024-03-01\", \"o\":{\"x\":1}, "
                                 "\"l\":[1,{\"y\":2},[3],\"q\"], \"__CDATA\":\"text\",}"),
                         0);
  VValueBag bag;
  ASSERT_EQ(importer.JSONObjectToBag(bag), VE_OK);
  VString text;
  ASSERT_TRUE(bag.GetString(StPackedDictionaryKey("s"), text));
  EXPECT_EQ(to_string(text), "t");
  const VValueSingle* n = bag.GetAttributeValue(StPackedDictionaryKey("n"));
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->GetValueKind(), kValueKindString);
  EXPECT_EQ(bag.GetAttributeValue(StPackedDictionaryKey("i"))->GetValueKind(), kValueKindLong8);
  // Exponents and out-of-range words are reals, never truncated integers.
  for (const char* key : {"big", "small", "r", "huge"}) {
    const VValueSingle* value = bag.GetAttributeValue(StPackedDictionaryKey(key, std::strlen(key)));
    ASSERT_NE(value, nullptr) << key;
    EXPECT_EQ(value->GetValueKind(), kValueKindReal) << key;
  }
  EXPECT_DOUBLE_EQ(bag.GetAttributeValue(StPackedDictionaryKey("big"))->GetReal(), 1e21);
  EXPECT_DOUBLE_EQ(bag.GetAttributeValue(StPackedDictionaryKey("small"))->GetReal(), 1e-5);
  EXPECT_EQ(bag.GetAttributeValue(StPackedDictionaryKey("d"))->GetValueKind(), kValueKindTime);
  const VBagArray* objects = bag.GetElements(StPackedDictionaryKey("o"));
  ASSERT_NE(objects, nullptr);
  EXPECT_EQ(objects->GetCount(), 1);
  const VBagArray* list = bag.GetElements(StPackedDictionaryKey("l"));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->GetCount(), 3) << "the nested array has no bag form";
  ASSERT_TRUE(bag.GetString(VValueBag::CDataAttributeName(), text));
  EXPECT_EQ(to_string(text), "text");
}

}  // namespace
}  // namespace zeft
