// Text forms of the scalar values (real numbers in the C locale, booleans)
// and the decimal record converter.
#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/MAPM_FloatToReal.h"
#include "core/VBoolean.h"
#include "core/VByte.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VWord.h"
#include "support/StringTestSupport.h"

namespace zeft {
namespace {

using test::Text;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

VString FromUtf16(const std::u16string& text) {
  VString s;
  s.FromUniString(text.data(), int32(text.size()));
  return s;
}

struct RealTextCase {
  double value;
  const char16_t* xml;
  const char16_t* json;
};

const RealTextCase kRealTextCases[] = {
    {2.0, u"2", u"2"},
    {-0.0, u"0", u"0"},
    {0.0, u"0", u"0"},
    {1e20, u"1E+20", u"1E+20"},
    {0.1, u"0.1", u"0.1"},
    {1.5, u"1.5", u"1.5"},
    {-2.5e-7, u"-2.5E-07", u"-2.5E-07"},
    {1234.5678, u"1234.5678", u"1234.5678"},
    {1.0 / 3.0, u"0.33333333333333", u"0.33333333333333"},
    {9007199254740991.0, u"9007199254740991", u"9007199254740991"},
    {-9007199254740991.0, u"-9007199254740991", u"-9007199254740991"},
    {9007199254740992.0, u"9.007199254741E+15", u"9.007199254741E+15"},
    {kNaN, u"NaN", u"null"},
    {kInf, u"INF", u"null"},
    {-kInf, u"-INF", u"null"},
};

TEST(VRealText, XMLAndJSONForms) {
  for (const RealTextCase& c : kRealTextCases) {
    SCOPED_TRACE(c.value);
    VString xml;
    VReal::RealToXMLString(c.value, xml);
    EXPECT_EQ(Text(xml), c.xml);
    VString json;
    VReal::RealToJSONString(c.value, json);
    EXPECT_EQ(Text(json), c.json);
    VString fromValue;
    VReal(c.value).GetXMLString(fromValue, 0);
    EXPECT_EQ(Text(fromValue), c.xml);
  }
}

TEST(VRealText, XMLFormReadsBackItsOwnText) {
  for (const RealTextCase& c : kRealTextCases) {
    SCOPED_TRACE(c.value);
    VString xml;
    VReal::RealToXMLString(c.value, xml);
    VReal parsed(7.0);
    ASSERT_TRUE(parsed.FromXMLString(xml));
    if (std::isnan(c.value)) {
      EXPECT_TRUE(std::isnan(parsed.GetReal()));
    } else if (std::isinf(c.value)) {
      EXPECT_EQ(parsed.GetReal(), c.value);
    } else {
      // 14 significant digits.
      EXPECT_NEAR(parsed.GetReal(), c.value, std::fabs(c.value) * 1e-13);
    }
  }
}

// The "%.14G" text as the standard library writes it at that precision,
// whole numbers as integers.
std::string FourteenDigitText(double value) {
  char text[64];
  if (value == std::trunc(value) && std::fabs(value) <= 9007199254740991.0) {
    return std::string(text, std::to_chars(text, text + sizeof(text), int64(value)).ptr);
  }
  std::string out(
      text, std::to_chars(text, text + sizeof(text), value, std::chars_format::general, 14).ptr);
  for (char& c : out) c = c == 'e' ? 'E' : c;
  return out;
}

TEST(VRealText, MatchesTheFourteenDigitFormEverywhere) {
  std::vector<double> values = {
      // Shortest digits that are the rounding midpoint, above and below it.
      0.100000000000005, 1.000000000000005, 123456789012.345, 0.123456789012345, 1.2345678901234549,
      1.2345678901234551, 2.5e-5 + 5e-19, 0.500000000000005,
      // Rounding up across a power of ten, into and out of the exponent form.
      9.9999999999999951, 99999999999999.95, 9.99999999999996e-5, 9.99999999999994e-5,
      0.000099999999999999, 1e-5, 1e-4, 0.0001234, 1e15 + 0.5,
      // Exact ties, rounded half to even.
      12345678901234.5, 12345678901235.5, -99999999999999.5, 1.00000000000005e-18,
      // Edges of double.
      5e-324, 1e-310, 2.2250738585072009e-308, 2.2250738585072014e-308, 1.7976931348623157e308,
      1e300, 1e-300, 9.5e99, 1e100, 0.1 + 0.2, 2.0 / 3.0, 1e23, 8.41e21, 5e-7, -123.456};
  std::mt19937_64 random(21);
  std::uniform_int_distribution<int> digitCount(1, 17);
  std::uniform_int_distribution<int> exponent(-25, 25);
  for (int i = 0; i < 60000; ++i) {
    // Any bit pattern, and decimal texts of every length and scale.
    double value;
    const uint64 bits = random();
    std::memcpy(&value, &bits, sizeof value);
    if (std::isfinite(value)) values.push_back(value);
    std::string text = random() % 2 ? "-" : "";
    const int count = digitCount(random);
    for (int d = 0; d < count; ++d) text += char('0' + (d == 0 ? 1 + random() % 9 : random() % 10));
    if (random() % 3 == 0) text.back() = '5';
    text += "e" + std::to_string(exponent(random));
    values.push_back(std::strtod(text.c_str(), nullptr));
  }
  for (double value : values) {
    VString xml;
    VReal::RealToXMLString(value, xml);
    ASSERT_EQ(to_string(xml), FourteenDigitText(value)) << std::hexfloat << value;
  }
}

TEST(VRealText, FromXMLStringTakesOnlyTheWholeText) {
  struct Case {
    std::u16string text;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {u"1,5", true, 1.5},
      {u"1.5", true, 1.5},
      {u" 2.5", true, 2.5},
      {u"", true, 0.0},
      {u"-1e3", true, -1000.0},
      {u"-INF", true, -kInf},
      {u"1.5 ", false, 0},
      {u"abc", false, 0},
      {u"  ", false, 0},
      {u"1,5,5", false, 0},
      {u"\uFF11", false, 0},  // a full-width digit is no number
      {std::u16string(u"1.5\0"
                      u"9",
                      5),
       false, 0},
      {std::u16string(253, u'0') + u"7", true, 7.0},
      {std::u16string(254, u'0') + u"7", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    VReal value(42.0);
    value.SetNull(true);
    value.SetDirty(false);
    EXPECT_EQ(value.FromXMLString(FromUtf16(c.text)), c.ok);
    if (c.ok) {
      EXPECT_EQ(value.GetReal(), c.value);
      EXPECT_FALSE(value.IsNull());
      EXPECT_TRUE(value.IsDirty());
    } else {
      EXPECT_EQ(value.GetReal(), 42.0);
      EXPECT_TRUE(value.IsNull());
      EXPECT_FALSE(value.IsDirty());
    }
  }
}

// A process locale whose decimal point is "," must change nothing.
TEST(VRealText, IgnoresTheProcessLocale) {
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  const char* candidates[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "fr_FR"};
  bool changed = false;
  for (const char* name : candidates) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      changed = true;
      break;
    }
  }
  if (!changed) GTEST_SKIP() << "no locale with a decimal comma is installed";
  VString text;
  VReal::RealToXMLString(0.25, text);
  VReal parsed;
  const bool ok = parsed.FromXMLString(FromUtf16(u"1.25"));
  std::setlocale(LC_NUMERIC, previous.c_str());
  EXPECT_EQ(Text(text), u"0.25");
  EXPECT_TRUE(ok);
  EXPECT_EQ(parsed.GetReal(), 1.25);
}

TEST(VBooleanText, XMLForms) {
  struct Case {
    std::u16string text;
    bool ok;
    uint8 value;
  };
  const Case cases[] = {
      {u"TRUE", true, 1},   {u"true", true, 1}, {u"False", true, 0}, {u"fALSE", true, 0},
      {u"1", true, 1},      {u"0", true, 0},    {u"yes", false, 0},  {u"tru", false, 0},
      {u"truee", false, 0}, {u"", false, 0},    {u"2", false, 0},    {u" true", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    VBoolean value(7);
    value.SetNull(true);
    value.SetDirty(false);
    EXPECT_EQ(value.FromXMLString(FromUtf16(c.text)), c.ok);
    EXPECT_EQ(value.GetBoolean(), c.ok ? c.value : 7);
    EXPECT_EQ(value.IsNull(), !c.ok);
    EXPECT_EQ(value.IsDirty(), c.ok);
  }
  VString text;
  VBoolean(2).GetXMLString(text, 0);
  EXPECT_EQ(Text(text), u"true");
  VBoolean(0).GetXMLString(text, 0);
  EXPECT_EQ(Text(text), u"false");
}

// Every scalar reads a string through the string's own parse, cut to its
// width as from any other value.
TEST(VScalarFromString, ParsesTheText) {
  struct Case {
    std::u16string text;
    int8 byte;
    int16 word;
    int32 long4;
    int64 long8;
    double real;
    uint8 boolean;
  };
  const Case cases[] = {
      {u"42", 42, 42, 42, 42, 42.0, 0},
      {u"-12.7", -12, -12, -12, -12, -12.7, 0},
      {u"300", 44, 300, 300, 300, 300.0, 0},          // a byte keeps the low 8 bits
      {u"70000", 0, 4464, 70000, 70000, 70000.0, 0},  // a word asks the long
      {u"3000000000", 0, 0, 0, 3000000000, 3e9, 0},   // beyond 32 bits: 0
      {u"12a3", 123, 123, 123, 123, 12.0, 0},
      {u"true", 0, 0, 0, 0, 0.0, 1},
      {u"", 0, 0, 0, 0, 0.0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    const VString text = FromUtf16(c.text);
    VByte byte(9);
    byte.FromString(text);
    EXPECT_EQ(byte.GetByte(), c.byte);
    VWord word(9);
    word.FromString(text);
    EXPECT_EQ(word.GetWord(), c.word);
    VLong long4(9);
    long4.FromString(text);
    EXPECT_EQ(long4.GetLong(), c.long4);
    VLong8 long8(9);
    long8.FromString(text);
    EXPECT_EQ(long8.GetLong8(), c.long8);
    VReal real(9.0);
    real.FromString(text);
    EXPECT_EQ(real.GetReal(), c.real);
    VBoolean boolean(7);
    boolean.FromString(text);
    EXPECT_EQ(boolean.GetBoolean(), c.boolean);
    EXPECT_FALSE(long8.IsNull());
  }
}

// exponent, sign, count, digit bytes, packed without padding.
std::vector<uint8> Record(int32 exponent, int8 sign, int32 count, std::vector<uint8> digits) {
  std::vector<uint8> record(9 + digits.size());
  std::memcpy(record.data(), &exponent, 4);
  std::memcpy(record.data() + 4, &sign, 1);
  std::memcpy(record.data() + 5, &count, 4);
  if (!digits.empty()) std::memcpy(record.data() + 9, digits.data(), digits.size());
  return record;
}

TEST(MAPMFloatToReal, ConvertsDecimalRecords) {
  struct Case {
    const char* name;
    std::vector<uint8> record;
    double expected;
  };
  const Case cases[] = {
      {"123.45", Record(3, 1, 5, {12, 34, 50}), 123.45},
      {"odd count ignores the last units", Record(3, 1, 5, {12, 34, 59}), 123.45},
      {"negative", Record(3, -1, 5, {12, 34, 50}), -123.45},
      {"zero sign", Record(99, 0, 0, {}), 0.0},
      {"0.7", Record(0, 1, 1, {70}), 0.7},
      {"0.007", Record(-2, 1, 1, {70}), 0.007},
      {"1e300", Record(301, 1, 1, {10}), 1e300},
      {"two digits", Record(2, 1, 2, {99}), 99.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_DOUBLE_EQ(MAPM_FloatToReal(c.record.data()), c.expected);
  }
}

TEST(MAPMFloatToReal, MalformedRecordsGiveNaN) {
  EXPECT_TRUE(std::isnan(MAPM_FloatToReal(Record(1, 1, 0, {}).data())));
  EXPECT_TRUE(std::isnan(MAPM_FloatToReal(Record(1, 1, -5, {}).data())));
  EXPECT_TRUE(std::isnan(MAPM_FloatToReal(Record(1, 1, 2, {100}).data())));
  EXPECT_TRUE(std::isnan(MAPM_FloatToReal(Record(1, -1, 3, {12, 255}).data())));
}

}  // namespace
}  // namespace zeft
