// VString read as numbers, booleans, codes and hexadecimal; hexadecimal
// text; the string written as bytes and read with a byte-order mark.
#include <gtest/gtest.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/CharSet.h"
#include "core/IRefCountable.h"
#include "core/VIntlMgr.h"
#include "core/VLong.h"
#include "core/VMemoryBuffer.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "runtime/VTask.h"
#include "support/StringTestSupport.h"
#include "support/ToolboxTestEnvironment.h"
#include "values/VDuration.h"
#include "values/VTime.h"
#include "values/VUUID.h"

namespace zeft {
namespace {

using test::Str;
using test::Text;

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? char(c) : '?';
  return out;
}

// ---------------------------------------------------------------------------
// Lenient integer parse

TEST(VStringNumbers, GetLong8IsLenient) {
  struct Case {
    std::u16string text;
    int64 value;
  };
  const Case cases[] = {
      {u"", 0},
      {u"0", 0},
      {u"12a3", 123},
      {u"-12", -12},
      {u"1-2", 12},  // a "-" after a nonzero digit is ignored
      {u"0-3", -3},  // ...but not after zeros only
      {u"--5", -5},
      {u"x-y7", -7},
      {u"12.7", 12},  // the decimal separator ends the parse
      {u".5", 0},
      {u"1,234", 1234},  // not the separator: skipped
      {u"  42  ", 42},
      {u"abc", 0},
      {u"\uFF11\uFF12", 0},  // full-width digits are no digits
      {u"9223372036854775807", INT64_MAX},
      {u"-9223372036854775808", INT64_MIN},
      {u"18446744073709551616", 0},  // 2^64 wraps
      {u"9223372036854775808", INT64_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    EXPECT_EQ(Str(c.text).GetLong8(), c.value);
  }
}

TEST(VStringNumbers, GetLongAndGetWordRefuseWhatDoesNotFit) {
  struct Case {
    std::u16string text;
    int32 asLong;
    int16 asWord;
  };
  const Case cases[] = {
      {u"3000000000", 0, 0},       {u"2147483647", INT32_MAX, 0}, {u"-2147483648", INT32_MIN, 0},
      {u"-2147483649", 0, 0},      {u"40000", 40000, 0},          {u"32767", 32767, 32767},
      {u"-32768", -32768, -32768}, {u"-32769", -32769, 0},        {u"-5", -5, -5},
      {u"7 apples", 7, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    const VString s = Str(c.text);
    EXPECT_EQ(s.GetLong(), c.asLong);
    EXPECT_EQ(s.GetWord(), c.asWord);
    EXPECT_EQ(s.GetByte(), 0);  // a string has no byte form of its own
  }
}

TEST(VStringNumbers, HexParseSkipsEverythingButDigits) {
  struct Case {
    std::u16string text;
    uint64 value;
  };
  const Case cases[] = {
      {u"", 0},
      {u"0x1F", 31},
      {u"ff", 255},
      {u"De Ad", 0xDEAD},
      {u"xyz", 0},
      {u"1_0", 16},
      {u"FFFFFFFFFFFFFFFF", UINT64_MAX},
      {u"10000000000000000", 0},  // wraps
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    EXPECT_EQ(Str(c.text).GetHexLong(), c.value);
  }
}

// ---------------------------------------------------------------------------
// Reals

TEST(VStringNumbers, GetRealReadsTheCLocaleForm) {
  struct Case {
    std::u16string text;
    double value;
    bool overflow;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {u"12.5", 12.5, false},
      {u"", 0.0, false},
      {u"abc", 0.0, false},
      {u"  3.25xyz", 3.25, false},
      {u"-1e3", -1000.0, false},
      {u"1.5\u00E9", 1.5, false},
      {u"2\u00E97", 2.0, false},  // stops at the first unit it cannot use
      {u"1,5", 1.0, false},       // the C locale's decimal point only
      {u"0x10", 16.0, false},
      {u"1e999", inf, true},
      {u"-1e999", -inf, true},
      {u"1e-999", 0.0, true},
      {u"inf", inf, false},
      {std::u16string(300, u'0') + u"1.5", 1.5, false},
      {std::u16string(u"4\0"
                      u"2",
                      3),
       4.0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text.substr(0, 40)));
    const VString s = Str(c.text);
    bool overflow = !c.overflow;
    EXPECT_EQ(s.GetRealCheckOverflow(&overflow), c.value);
    EXPECT_EQ(overflow, c.overflow);
    EXPECT_EQ(s.GetReal(), c.value);
  }
}

// Whatever the text, the result is the C library's C-locale reading.
TEST(VStringNumbers, GetRealMatchesStrtodInTheCLocale) {
  const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", locale_t(nullptr));
  ASSERT_NE(cLocale, locale_t(nullptr));
  std::mt19937 random(17);
  const std::string alphabet = " \t\n+-0123456789..eExXiInNfFaApP(";
  std::vector<std::string> texts = {"1e308",     "1.8e308",  "2.2250738585072014e-308",
                                    "4e-320",    "1e-400",   "-0",
                                    "0x1p-1080", "   .5e-3", "+-1",
                                    "nan(12)"};
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    const int length = int(random() % 24);
    for (int k = 0; k < length; ++k) text += alphabet[random() % alphabet.size()];
    texts.push_back(text);
  }
  std::uniform_real_distribution<double> exponent(-330, 330);
  char buffer[64];
  for (int i = 0; i < 2000; ++i) {
    const double value = std::pow(10.0, exponent(random)) * ((random() % 2) ? -1.0 : 1.0);
    std::snprintf(buffer, sizeof(buffer),
                  (i % 3 == 0)   ? "%.17g"
                  : (i % 3 == 1) ? "%.6e"
                                 : "%a",
                  value);
    texts.push_back(buffer);
  }
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    errno = 0;
    const double expected = strtod_l(text.c_str(), nullptr, cLocale);
    const bool expectedOverflow = errno == ERANGE && (expected == 0.0 || std::isinf(expected));
    bool overflow = !expectedOverflow;
    const double value =
        Str(std::u16string(text.begin(), text.end())).GetRealCheckOverflow(&overflow);
    if (std::isnan(expected)) {
      EXPECT_TRUE(std::isnan(value));
    } else {
      EXPECT_EQ(std::memcmp(&value, &expected, sizeof(double)), 0) << value << " " << expected;
    }
    EXPECT_EQ(overflow, expectedOverflow);
  }
  freelocale(cLocale);
}

TEST(VStringNumbers, GetRealIgnoresTheProcessLocale) {
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
  const double value = Str(u"1.25").GetReal();
  std::setlocale(LC_NUMERIC, previous.c_str());
  EXPECT_EQ(value, 1.25);
}

// With settings, the integer parse stops at their decimal separator and
// "true" is compared through their collation.
TEST(VStringNumbers, FollowTheCurrentSettings) {
  VRefPtr<VIntlMgr> french(VIntlMgr::Create(1036, kDialectSystem, 1), kAdoptRef);
  ASSERT_TRUE(french);
  ASSERT_EQ(Text(french->GetDecimalSeparator()), u",");
  test::StProcessIntlSettings settings(french.Get());
  ASSERT_EQ(VTask::GetCurrentIntlManager(), french.Get());
  const int64 comma = Str(u"12,7").GetLong8();
  const int64 point = Str(u"12.7").GetLong8();
  const uint8 upper = Str(u"TRUE").GetBoolean();
  const uint8 one = Str(u"1").GetBoolean();
  std::vector<VString> parts;
  const bool split = Str(u"aXb").GetSubStrings(Str(u"x"), parts, false, false, false);
  EXPECT_EQ(comma, 12);
  EXPECT_EQ(point, 127);
  EXPECT_EQ(upper, 1);
  EXPECT_EQ(one, 0);
  EXPECT_TRUE(split);
  EXPECT_EQ(parts.size(), 2u);
}

// ---------------------------------------------------------------------------
// Booleans and codes

TEST(VStringNumbers, OnlyTrueIsTrue) {
  const std::u16string trueTexts[] = {u"true", u"TRUE", u"True"};
  const std::u16string falseTexts[] = {u"1", u"yes", u"", u"true ", u" true", u"tru", u"false"};
  for (const std::u16string& text : trueTexts) EXPECT_EQ(Str(text).GetBoolean(), 1) << Narrow(text);
  for (const std::u16string& text : falseTexts) {
    EXPECT_EQ(Str(text).GetBoolean(), 0) << Narrow(text);
  }
}

TEST(VStringNumbers, OsTypeIsTheFirstFourUTF8BytesPadded) {
  struct Case {
    std::u16string text;
    uint32 code;
  };
  const Case cases[] = {
      {u"ab", 0x61622020},     {u"TEXT", 0x54455854},    {u"abcdef", 0x61626364}, {u"", 0x20202020},
      {u"\u00E9", 0xC3A92020}, {u"a\u20AC", 0x61E282AC},  // a three-byte character fills the code
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    EXPECT_EQ(Str(c.text).GetOsType(), c.code);
  }
  VString back;
  back.FromOsType(Str(u"ab").GetOsType());
  EXPECT_EQ(Text(back), u"ab  ");
}

// Durations, UUIDs and times give the string their own text and read their
// own text from it.
TEST(VStringOtherKinds, EachKindWritesAndReadsItsOwnText) {
  VString text(true);
  const VDuration duration(90061001);
  text.FromDuration(duration);
  VString expected;
  duration.GetString(expected);
  EXPECT_EQ(Text(text), Text(expected));
  EXPECT_FALSE(text.IsEmpty());
  const VString colons = Str(u"1:02:03:004");
  VDuration durationBack;
  colons.GetDuration(durationBack);
  VDuration durationExpected;
  durationExpected.FromString(colons);
  EXPECT_TRUE(durationBack == durationExpected);
  EXPECT_NE(durationBack.GetLong8(), 0);

  const VUUID uuid(true);
  text.FromVUUID(uuid);
  EXPECT_EQ(text.GetLength(), 32);
  VUUID uuidBack;
  text.GetVUUID(uuidBack);
  EXPECT_TRUE(uuidBack == uuid);

  VTime time;
  time.FromUTCTime(2024, 2, 29, 13, 45, 30, 0);
  text.FromTime(time);
  time.GetString(expected);
  EXPECT_EQ(Text(text), Text(expected));
  const VString numbers = Str(u"2024 2 29 13 45 30");
  VTime timeBack;
  numbers.GetTime(timeBack);
  VTime timeExpected;
  timeExpected.FromString(numbers);
  EXPECT_TRUE(timeBack == timeExpected);
  EXPECT_FALSE(timeBack.IsNull());
}

// ---------------------------------------------------------------------------
// Hexadecimal text

TEST(VStringHexText, WidthsAndPrefix) {
  struct Case {
    const char* name;
    void (*set)(VString&, bool);
    const char16_t* plain;
    const char16_t* prefixed;
  };
  const Case cases[] = {
      {"64-bit 0", [](VString& s, bool p) { s.FromHexLong(uint64(0), p); }, u"0", u"0x0000"},
      {"64-bit 0x1F", [](VString& s, bool p) { s.FromHexLong(uint64(0x1F), p); }, u"1F", u"0x001F"},
      {"64-bit 0x12345", [](VString& s, bool p) { s.FromHexLong(uint64(0x12345), p); }, u"12345",
       u"0x00012345"},
      {"64-bit 0x123456789", [](VString& s, bool p) { s.FromHexLong(uint64(0x123456789), p); },
       u"123456789", u"0x0000000123456789"},
      {"64-bit -1", [](VString& s, bool p) { s.FromHexLong(int64(-1), p); }, u"FFFFFFFFFFFFFFFF",
       u"0xFFFFFFFFFFFFFFFF"},
      {"32-bit 0xABCDE", [](VString& s, bool p) { s.FromHexLong(uint32(0xABCDE), p); }, u"ABCDE",
       u"0x000ABCDE"},
      {"32-bit 0x1234", [](VString& s, bool p) { s.FromHexLong(uint32(0x1234), p); }, u"1234",
       u"0x1234"},
      {"32-bit -1", [](VString& s, bool p) { s.FromHexLong(int32(-1), p); }, u"FFFFFFFF",
       u"0xFFFFFFFF"},
      {"8-bit 0x0A", [](VString& s, bool p) { s.FromHexLong(uint8(0x0A), p); }, u"A", u"0x0A"},
      {"8-bit -1", [](VString& s, bool p) { s.FromHexLong(int8(-1), p); }, u"FF", u"0xFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool prefix : {false, true}) {
      VString s(true);
      s.AppendUniChars(u"a previous text much longer than any hex form", 45);
      s.SetDirty(false);
      c.set(s, prefix);
      EXPECT_EQ(Text(s), prefix ? c.prefixed : c.plain);
      EXPECT_FALSE(s.IsNull());
      EXPECT_TRUE(s.IsDirty());
    }
  }
}

TEST(VStringHexText, ReadsBackWhatItWrites) {
  const uint64 values[] = {0,         1, 0xF, 0x10, 0xFFFF, 0x10000, 0xDEADBEEF, 0x123456789ABCDEF0,
                           UINT64_MAX};
  for (uint64 value : values) {
    for (bool prefix : {false, true}) {
      VString s;
      s.FromHexLong(value, prefix);
      EXPECT_EQ(s.GetHexLong(), value) << Narrow(Text(s));
    }
  }
}

// ---------------------------------------------------------------------------
// Bytes

TEST(VStringBytes, ByteOrderMarkChoosesTheCharSet) {
  struct Case {
    const char* name;
    std::vector<uint8> bytes;
    CharSet given;
    CharSet used;
    std::u16string text;
  };
  const Case cases[] = {
      {"UTF-8 mark", {0xEF, 0xBB, 0xBF, 'a', 'b'}, kCharSetUTF16BigEndian, kCharSetUTF8, u"ab"},
      {"UTF-16 BE mark", {0xFE, 0xFF, 0x00, 'A'}, kCharSetUTF8, kCharSetUTF16BigEndian, u"A"},
      {"UTF-16 LE mark", {0xFF, 0xFE, 'A', 0x00}, kCharSetUTF8, kCharSetUTF16, u"A"},
      {"UTF-32 LE mark", {0xFF, 0xFE, 0, 0, 'A', 0, 0, 0}, kCharSetUTF8, kCharSetUTF32, u"A"},
      {"no mark", {'h', 'i'}, kCharSetUTF8, kCharSetUTF8, u"hi"},
      {"mark only", {0xEF, 0xBB, 0xBF}, kCharSetUTF16, kCharSetUTF8, u""},
      {"nothing", {}, kCharSetUTF8, kCharSetUTF8, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VString s(true);
    EXPECT_EQ(s.FromBlockWithOptionalBOM(c.bytes.data(), c.bytes.size(), c.given), c.used);
    EXPECT_EQ(Text(s), c.text);
    EXPECT_FALSE(s.IsNull());
  }
}

// The bytes ToBlock wrote, up to `count`, and the result.
struct Block {
  size_t result;
  std::vector<uint8> bytes;
};

Block ToBlock(const VString& s, size_t bufferSize, CharSet set, bool terminator, bool prefix,
              size_t shown) {
  std::vector<uint8> buffer(std::max<size_t>(bufferSize, shown) + 4, 0xEE);
  Block block;
  block.result = s.ToBlock(buffer.data(), bufferSize, set, terminator, prefix);
  block.bytes.assign(buffer.begin(), buffer.begin() + long(shown));
  return block;
}

TEST(VStringBytes, ToBlockPrefixAndTerminatorInBytes) {
  struct Case {
    const char* name;
    std::u16string text;
    size_t bufferSize;
    bool terminator;
    bool prefix;
    size_t result;
    std::vector<uint8> bytes;  // the buffer's start; 0xEE is untouched
  };
  const Case cases[] = {
      {"plain", u"abc", 16, false, false, 3, {'a', 'b', 'c'}},
      {"terminated", u"abc", 16, true, false, 3, {'a', 'b', 'c', 0, 0xEE}},
      {"prefixed", u"abc", 16, false, true, 3, {3, 'a', 'b', 'c'}},
      {"both", u"abc", 16, true, true, 3, {3, 'a', 'b', 'c', 0, 0xEE}},
      {"cut to the room", u"abcdef", 5, true, true, 3, {3, 'a', 'b', 'c', 0, 0xEE}},
      {"exact room", u"abc", 5, true, true, 3, {3, 'a', 'b', 'c', 0, 0xEE}},
      {"multi-byte", u"\u00E9", 8, true, true, 2, {2, 0xC3, 0xA9, 0, 0xEE}},
      {"no room for the text", u"abc", 2, true, true, 0, {0, 0, 0xEE}},
      {"empty string", u"", 4, true, true, 0, {0, 0, 0xEE}},
      // Too small for the prefix and the terminator: nothing is written.
      {"one byte for two", u"abc", 1, true, true, 0, {0xEE, 0xEE}},
      {"no buffer room", u"abc", 0, true, false, 0, {0xEE}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Block block =
        ToBlock(Str(c.text), c.bufferSize, kCharSetUTF8, c.terminator, c.prefix, c.bytes.size());
    EXPECT_EQ(block.result, c.result);
    EXPECT_EQ(block.bytes, c.bytes);
  }
}

TEST(VStringBytes, ToBlockPrefixThatCannotCountGivesAnEmptyText) {
  const VString text = Str(std::u16string(300, u'x'));
  const Block block = ToBlock(text, 400, kCharSetUTF8, true, true, 3);
  EXPECT_EQ(block.result, 0u);
  EXPECT_EQ(block.bytes, (std::vector<uint8>{0, 0, 'x'}));  // prefix 0, terminator behind it

  const Block exact = ToBlock(Str(std::u16string(255, u'x')), 400, kCharSetUTF8, false, true, 1);
  EXPECT_EQ(exact.result, 255u);
  EXPECT_EQ(exact.bytes, std::vector<uint8>{255});
}

TEST(VStringBytes, ToBlockInNativeUTF16CountsUnits) {
  const VString s = Str(u"AB");
  std::array<UniChar, 8> buffer;
  buffer.fill(0xEEEE);
  EXPECT_EQ(s.ToBlock(buffer.data(), sizeof(buffer), kCharSetUTF16, true, true), 4u);
  EXPECT_EQ(buffer[0], 2);
  EXPECT_EQ(buffer[1], u'A');
  EXPECT_EQ(buffer[2], u'B');
  EXPECT_EQ(buffer[3], 0);
  EXPECT_EQ(buffer[4], 0xEEEE);

  // Room for one unit between prefix and terminator; an odd byte is not used.
  buffer.fill(0xEEEE);
  EXPECT_EQ(s.ToBlock(buffer.data(), 7, kCharSetUTF16, true, true), 2u);
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(buffer[1], u'A');
  EXPECT_EQ(buffer[2], 0);
  EXPECT_EQ(buffer[3], 0xEEEE);

  // Three bytes cannot hold a prefix unit and a terminator unit.
  buffer.fill(0xEEEE);
  EXPECT_EQ(s.ToBlock(buffer.data(), 3, kCharSetUTF16, true, true), 0u);
  EXPECT_EQ(buffer[0], 0xEEEE);

  const VString big = Str(std::u16string(65536, u'z'));
  std::vector<UniChar> large(65540, 0xEEEE);
  EXPECT_EQ(big.ToBlock(large.data(), large.size() * 2, kCharSetUTF16, true, true), 0u);
  EXPECT_EQ(large[0], 0);
  EXPECT_EQ(large[1], 0);
}

TEST(VStringBytes, ToBufferReplacesTheContent) {
  VMemoryBuffer<> buffer;
  ASSERT_TRUE(buffer.SetData("old content", 11));
  ASSERT_TRUE(Str(u"h\u00E9").ToBuffer(buffer, kCharSetUTF8));
  ASSERT_EQ(buffer.GetDataSize(), 3u);
  EXPECT_EQ(std::memcmp(buffer.GetDataPtr(), "h\xC3\xA9", 3), 0);

  ASSERT_TRUE(Str(u"AB").ToBuffer(buffer, kCharSetUTF16BigEndian));
  ASSERT_EQ(buffer.GetDataSize(), 4u);
  EXPECT_EQ(std::memcmp(buffer.GetDataPtr(), "\0A\0B", 4), 0);

  ASSERT_TRUE(VString().ToBuffer(buffer, kCharSetUTF8));
  EXPECT_EQ(buffer.GetDataSize(), 0u);

  // A set nobody serves leaves the buffer alone.
  ASSERT_TRUE(buffer.SetData("kept", 4));
  EXPECT_FALSE(Str(u"x").ToBuffer(buffer, CharSet(987654)));
  ASSERT_EQ(buffer.GetDataSize(), 4u);
  EXPECT_EQ(std::memcmp(buffer.GetDataPtr(), "kept", 4), 0);
}

// A single value's debug text goes through ToBlock in native UTF-16.
TEST(VStringBytes, ScalarDebugDumpIsCutToWholeUnits) {
  struct Case {
    int size;
    int written;
    std::u16string text;
  };
  const Case cases[] = {{64, 10, u"-1234"}, {4, 4, u"-1"}, {5, 4, u"-1"}, {1, 0, u""}, {0, 0, u""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    std::array<UniChar, 40> buffer;
    buffer.fill(0xEEEE);
    int size = c.size;
    EXPECT_EQ(VLong(-1234).DebugDump(reinterpret_cast<char*>(buffer.data()), size), kCharSetUTF16);
    EXPECT_EQ(size, c.written);
    EXPECT_EQ(std::u16string(buffer.data(), size_t(size / 2)), c.text);
    EXPECT_EQ(buffer[size_t(size / 2)], 0xEEEE);
  }
}

}  // namespace
}  // namespace zeft
