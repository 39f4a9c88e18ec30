// printf-style formatting into strings: standard conversions, the object
// conversions %S, %A and %V, the 1023-byte cut, and bag placeholders.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "core/IRefCountable.h"
#include "core/VLong.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "support/StringTestSupport.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using test::Text;

std::string UTF8(const VString& s) { return to_string(s); }

// What the C library prints, cut at 1023 bytes like the string (for
// ASCII results).
template <class... Args>
std::string CLibraryCut(const char* format, Args... args) {
  const int length = std::snprintf(nullptr, 0, format, args...);
  std::string full(size_t(std::max(length, 0)) + 1, '\0');
  std::snprintf(full.data(), full.size(), format, args...);
  full.resize(size_t(std::clamp(length, 0, 1023)));
  return full;
}

struct PrintfCase {
  const char* name;
  std::function<void(VString&)> print;
  std::string expected;
};

class VStringPrintf : public ::testing::Test {
 protected:
  VString fAbc{"abc"};
  VString fDef{"def"};
  VLong fTwelve{12};
};

TEST_F(VStringPrintf, StandardAndObjectConversions) {
  const VString* abc = &fAbc;
  const VString* def = &fDef;
  const VLong* twelve = &fTwelve;
  const PrintfCase cases[] = {
      {"int and C string", [](VString& s) { s.Printf("%d-%s", 7, "x"); }, "7-x"},
      // Doubles and pointers travel apart on x86-64: the objects must still
      // land where their conversions stand.
      {"mixed with doubles",
       [&](VString& s) { s.Printf("%f %S %lld %S", 1.5, abc, 1234567890123LL, def); },
       "1.500000 abc 1234567890123 def"},
      {"many doubles and objects",
       [&](VString& s) {
         s.Printf("%g%S%g%A%g%g%g%g%g%g%S", 1.0, abc, 2.0, twelve, 3.0, 4.0, 5.0, 6.0, 7.0, 8.5,
                  def);
       },
       "1abc212345678.5def"},
      {"string and value", [&](VString& s) { s.Printf("%S and %A", abc, twelve); }, "abc and 12"},
      {"percent pair", [&](VString& s) { s.Printf("100%% %S", abc); }, "100% abc"},
      {"flags width precision",
       [](VString& s) { s.Printf("%5.2f|%-4d|%04x|%+d|%#o|% d", 3.14159, 7, 255, 3, 8, 5); },
       " 3.14|7   |00ff|+3|010| 5"},
      {"star width and precision",
       [](VString& s) { s.Printf("%*d|%.*f|%*.*s", 5, 42, 2, 2.5, 6, 2, "hello"); },
       "   42|2.50|    he"},
      {"negative star width", [](VString& s) { s.Printf("[%*d]", -4, 7); }, "[7   ]"},
      {"star then object",
       [&](VString& s) { s.Printf("%*.*f%S%-*s%A", 8, 3, 2.25, abc, 3, "x", twelve); },
       "   2.250abcx  12"},
      {"length modifiers",
       [](VString& s) {
         s.Printf("%hhd %hd %ld %lld %zu %zd %jd %td %llx", 300, 70000, -5L, -6LL, size_t(9),
                  ssize_t(-9), intmax_t(10), ptrdiff_t(-11), 0xFFFFFFFFFULL);
       },
       "44 4464 -5 -6 9 -9 10 -11 fffffffff"},
      {"long double", [](VString& s) { s.Printf("%.3Lf|%Lg", 1.5L, 2.0L); }, "1.500|2"},
      {"hex float after a flag", [](VString& s) { s.Printf("%+a|%.1A", 1.0, 1.0); },
       "+0x1p+0|0X1.0P+0"},
      {"characters", [](VString& s) { s.Printf("%c%lc%3c", 'a', wint_t(0xE9), 'z'); },
       "a\xC3\xA9  z"},
      {"wide string",
       [](VString& s) { s.Printf("%ls|%5S|%.2ls", L"\u00E9t\u00E9", L"ab", L"xyz"); },
       "\xC3\xA9t\xC3\xA9|   ab|xy"},
      {"utf-8 text", [](VString& s) { s.Printf("\xE2\x82\xAC %s", "\xF0\x9F\x98\x80"); },
       "\xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"utf-8 text after an object",
       [&](VString& s) { s.Printf("%S\xC3\xA9%S\xE2\x82\xAC", abc, def); },
       "abc\xC3\xA9"
       "def\xE2\x82\xAC"},
      {"null pointer", [](VString& s) { s.Printf("%p", static_cast<void*>(nullptr)); }, "(nil)"},
      // ";;;" in the format or in an argument does not move object texts.
      {"markers in arguments",
       [&](VString& s) { s.Printf("%s%S%s|%S", ";;;", abc, ";;;x;;;", def); }, ";;;abc;;;x;;;|def"},
      {"markers in format", [&](VString& s) { s.Printf(";;;%S;;; ;;;%p;;;", abc, nullptr); },
       ";;;abc;;; ;;;(nil);;;"},
      // Not conversions: written as they stand, taking no argument.
      {"unknown conversion", [](VString& s) { s.Printf("%y|%d", 4); }, "%y|4"},
      {"positional argument", [](VString& s) { s.Printf("%1$d|%d", 5); }, "%1$d|5"},
      {"trailing percent", [](VString& s) { s.Printf("50%"); }, "50%"},
      // However long its flags, a conversion takes its argument.
      {"long conversion",
       [](VString& s) {
         s.Printf(std::string("%").append(70, '0').append("5d|%s").c_str(), 5, "x");
       },
       "00005|x"},
      {"empty format", [](VString& s) { s.Printf(""); }, ""},
  };
  for (const PrintfCase& tc : cases) {
    VString s("previous");
    tc.print(s);
    EXPECT_EQ(UTF8(s), tc.expected) << tc.name;
    EXPECT_FALSE(s.IsNull()) << tc.name;
  }
}

TEST_F(VStringPrintf, StandardConversionsMatchTheCLibrary) {
  char expected[256];
  std::snprintf(expected, sizeof(expected), "%e|%G|%10.4e|%-8.3g|%x|%X|%o|%u", 12345.678, 0.000012,
                -1.0 / 3, 1e10, 48879u, 48879u, 8u, 4000000000u);
  VString s;
  s.Printf("%e|%G|%10.4e|%-8.3g|%x|%X|%o|%u", 12345.678, 0.000012, -1.0 / 3, 1e10, 48879u, 48879u,
           8u, 4000000000u);
  EXPECT_EQ(UTF8(s), expected);
}

// Plain conversions are written without the C library; they must print
// exactly what it prints.
TEST_F(VStringPrintf, PlainConversionsMatchTheCLibrary) {
  const double doubles[] = {0.0,
                            -0.0,
                            1.5,
                            -2.25,
                            0.1,
                            1e-5,
                            0.0078125,
                            0.5e-6,
                            2.5e-6,
                            123456789.0,
                            999999.5,
                            9999995.0,
                            1e15,
                            1e16,
                            1e300,
                            std::numeric_limits<double>::min(),
                            std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::max(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN()};
  for (double d : doubles) {
    for (const char* format :
         {"%f", "%F", "%e", "%E", "%g", "%G", "%lf", "%.0f", "%.f", "%.1f", "%.3f", "%.10e", "%.0e",
          "%.0g", "%.1g", "%.17g", "%.40f", "%.41f", "%.3G"}) {
      char expected[1024];
      std::snprintf(expected, sizeof(expected), format, d);
      VString s;
      s.Printf(format, d);
      EXPECT_EQ(UTF8(s), expected) << format << " " << d;
    }
  }
  const long long integers[] = {0, 1, -1, 255, INT_MAX, INT_MIN, UINT_MAX, LLONG_MAX, LLONG_MIN};
  for (long long n : integers) {
    for (const char* format : {"%d", "%i", "%u", "%x", "%X", "%o"}) {
      char expected[64];
      std::snprintf(expected, sizeof(expected), format, int(n));
      VString s;
      s.Printf(format, int(n));
      EXPECT_EQ(UTF8(s), expected) << format << " " << n;
    }
    for (const char* format : {"%ld", "%lu", "%lx", "%lld", "%llu", "%llX", "%llo"}) {
      char expected[64];
      std::snprintf(expected, sizeof(expected), format, n);
      VString s;
      s.Printf(format, n);
      EXPECT_EQ(UTF8(s), expected) << format << " " << n;
    }
  }
  VString s;
  s.Printf("%c|%s|%s", 'q', static_cast<const char*>(nullptr), "");
  EXPECT_EQ(UTF8(s), "q|(null)|");
}

TEST_F(VStringPrintf, ObjectsThatCannotBePrinted) {
  VObject plainObject;
  VString nullString(true);
  const PrintfCase cases[] = {
      {"null string pointer", [](VString& s) { s.Printf("[%S]", static_cast<VString*>(nullptr)); },
       "[@@invalid VObject@@]"},
      {"null value pointer", [](VString& s) { s.Printf("[%A]", static_cast<VLong*>(nullptr)); },
       "[@@invalid VObject@@]"},
      {"null object pointer", [](VString& s) { s.Printf("[%V]", static_cast<VObject*>(nullptr)); },
       "[@@invalid VObject@@]"},
      {"value that is no string", [&](VString& s) { s.Printf("[%S]", &fTwelve); },
       "[@@invalid VString@@]"},
      {"object that is no value", [&](VString& s) { s.Printf("[%A]", &plainObject); },
       "[@@invalid VValueSingle@@]"},
      {"null string prints empty", [&](VString& s) { s.Printf("[%S]", &nullString); }, "[]"},
  };
  for (const PrintfCase& tc : cases) {
    VString s;
    tc.print(s);
    EXPECT_EQ(UTF8(s), tc.expected) << tc.name;
  }
}

TEST_F(VStringPrintf, DebugTextOfObjects) {
  VReal real(2.5);
  VString expected;
  real.DebugDump(expected);
  ASSERT_FALSE(expected.IsEmpty());
  VString s;
  s.Printf("<%V>", static_cast<const VObject*>(&real));
  EXPECT_EQ(Text(s), std::u16string(u"<").append(Text(expected)).append(u">"));
}

TEST_F(VStringPrintf, PrintfReplacesAndAppendPrintfAppends) {
  VString s;
  s.Printf("%d", 1);
  s.Printf("%d", 2);
  EXPECT_EQ(UTF8(s), "2");
  s.AppendPrintf("-%s", "x");
  EXPECT_EQ(UTF8(s), "2-x");

  // The string may be its own argument: its text is taken before it changes.
  VString self("abc");
  self.Printf("<%S>", &self);
  EXPECT_EQ(UTF8(self), "<abc>");
  self.AppendPrintf("%S", &self);
  EXPECT_EQ(UTF8(self), "<abc><abc>");

  // A null string becomes a value.
  VString null(true);
  null.Printf("%s", "");
  EXPECT_FALSE(null.IsNull());
  EXPECT_TRUE(null.IsEmpty());
}

TEST_F(VStringPrintf, PercentNCountsTheBytesWrittenSoFar) {
  int first = -1;
  long long second = -1;
  signed char third = -1;
  VString s;
  s.Printf("ab%ncd%S\xC3\xA9%lln%hhn", &first, &fAbc, &second, &third);
  EXPECT_EQ(UTF8(s), "abcdabc\xC3\xA9");
  EXPECT_EQ(first, 2);
  EXPECT_EQ(second, 9);
  EXPECT_EQ(third, 9);
}

// An object text counts as the bytes its UTF-8 form takes: a pair as one
// 4-byte character, a lone surrogate (also one ending the text) as 3 bytes.
TEST_F(VStringPrintf, PercentNCountsObjectTextsInUTF8) {
  const struct {
    std::u16string text;
    int bytes;
  } kCases[] = {
      {u"", 0},         {u"a\u00E9", 3}, {u"\u20AC", 3},  {u"\U0001F600", 4},
      {u"x\xDC00y", 5}, {u"\xD83Dz", 4}, {u"z\xD83D", 4}, {u"\U0001F600\xD83D", 7},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - kCases));
    VString text = test::Str(c.text);
    int count = -1;
    VString s;
    s.Printf("%S%n", &text, &count);
    EXPECT_EQ(count, c.bytes);
  }
}

// The formatted bytes are cut at 1023, never inside a UTF-8 sequence; what
// follows the cut, object texts included, is dropped.
TEST_F(VStringPrintf, OutputIsCutAtACharacterBoundary) {
  VString s;
  std::string longText(2000, 'x');
  s.Printf("%s%S", longText.c_str(), &fAbc);
  EXPECT_EQ(UTF8(s), std::string(1023, 'x'));

  const char* characters[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
  for (const char* character : characters) {
    const size_t size = std::strlen(character);
    for (size_t prefix = 1015; prefix <= 1023; ++prefix) {
      std::string text = std::string(prefix, 'y') + character + "z";
      std::string expected = std::string(prefix, 'y');
      if (prefix + size <= 1023) expected += character;
      if (prefix + size < 1023) expected += "z";
      // Through a conversion and through the format's literal text.
      s.Printf("%s", text.c_str());
      EXPECT_EQ(UTF8(s), expected) << "conversion, prefix " << prefix << " size " << size;
      s.Printf(text.c_str());
      EXPECT_EQ(UTF8(s), expected) << "literal, prefix " << prefix << " size " << size;
    }
  }
}

// Widths and precisions far beyond the 1023-byte cut are bounded by it: the
// kept bytes are what the C library gives, without its work or memory.
TEST_F(VStringPrintf, WidthsAndPrecisionsBeyondTheCutKeepItsBytes) {
  auto expect = [](const VString& s, const char* format, auto... args) {
    EXPECT_EQ(UTF8(s), CLibraryCut(format, args...)) << format;
  };
  const std::string longText(3000, 'q');
  VString s;
  s.Printf("%5000d", 12345);
  expect(s, "%5000d", 12345);
  s.Printf("%-5000d|", 12345);
  expect(s, "%-5000d|", 12345);
  s.Printf("%05000d", -5);
  expect(s, "%05000d", -5);
  s.Printf("%+.3000d", 42);
  expect(s, "%+.3000d", 42);
  s.Printf("%.5000f", 1.0 / 3);
  expect(s, "%.5000f", 1.0 / 3);
  s.Printf("%.5000e", -2.5e-300);
  expect(s, "%.5000e", -2.5e-300);
  s.Printf("%5000.3000f", 7.25);
  expect(s, "%5000.3000f", 7.25);
  s.Printf("%.2000s", longText.c_str());
  expect(s, "%.2000s", longText.c_str());
  s.Printf("%2000s", "abc");
  expect(s, "%2000s", "abc");
  s.Printf("%*d", 5000, 9);
  expect(s, "%*d", 5000, 9);
  s.Printf("%*d|", -5000, 9);
  expect(s, "%*d|", -5000, 9);
  s.Printf("%.*f", 3000, 0.1);
  expect(s, "%.*f", 3000, 0.1);

  // A long double's decimal exponent reaches 4932, beyond the bound: %Lg
  // still writes fixed style while the exponent is below the precision
  // asked for, exponent style from there on.
  const long double e1199 = std::ldexp(1.0L, 3986);  // 8.0e+1199
  const struct {
    const char* format;
    long double value;
  } longReals[] = {
      {"%.1512Lg", e1199},
      {"%.1512LG", -e1199},
      {"%.1200Lg", e1199},
      {"%.1199Lg", e1199},
      {"%2000.1512Lg", e1199},
      {"%#2000.1512LG", e1199},
      {"%-1300.1512Lg|", -e1199},
      {"%+01600.1300Lg", e1199},
      {"%.1512Lg", std::ldexp(1.0L, 16000)},  // 3.0e+4816
      {"%.5000LG", std::numeric_limits<long double>::max()},
      {"%.3000Lg", std::numeric_limits<long double>::infinity()},
      {"%.1512Lg", 0.1L},
      {"%.1512Lg", std::numeric_limits<long double>::denorm_min()},
  };
  for (const auto& c : longReals) {
    s.Printf(c.format, c.value);
    expect(s, c.format, c.value);
  }
  s.Printf("%.*Lg", 1512, e1199);
  expect(s, "%.*Lg", 1512, e1199);

  // Sizes that would take seconds and gigabytes.
  s.Printf("%2147483647d", 1);
  EXPECT_EQ(UTF8(s), std::string(1023, ' '));
  s.Printf("%-2147483647d|", 5);
  EXPECT_EQ(UTF8(s), std::string("5").append(1022, ' '));
  s.Printf("%.999999999f", 1.0);
  EXPECT_EQ(UTF8(s), std::string("1.").append(1021, '0'));
}

// The C library refuses a whole conversion whose width or precision is 2^31
// or more (EOVERFLOW), a '*' width of INT_MIN included. Such a conversion
// prints nothing, as every conversion the C library refuses does; its
// arguments are taken, and the rest of the format is formatted.
TEST_F(VStringPrintf, ConversionsTheCLibraryRefusesPrintNothing) {
  int stored = -1;
  const PrintfCase cases[] = {
      {"width 2^31", [](VString& s) { s.Printf("%2147483648d", 1); }, ""},
      {"width beyond 64 bits", [](VString& s) { s.Printf("%99999999999999999999d", 2); }, ""},
      {"text around", [](VString& s) { s.Printf("a%2147483648d|%d", 1, 2); }, "a|2"},
      {"precision 2^31", [](VString& s) { s.Printf("%.2147483648f|%s", 1.0, "x"); }, "|x"},
      {"left-aligned", [](VString& s) { s.Printf("%-4294967297s|", "abc"); }, "|"},
      {"width and precision", [](VString& s) { s.Printf("%5.2147483648d|", 3); }, "|"},
      {"text precision", [](VString& s) { s.Printf("%.99999999999s|", "abc"); }, "|"},
      {"character", [](VString& s) { s.Printf("%2147483648c%c", 'a', 'b'); }, "b"},
      {"star width INT_MIN", [](VString& s) { s.Printf("%*d|%d", INT_MIN, 3, 4); }, "|4"},
      {"star precision INT_MIN counts as none", [](VString& s) { s.Printf("%.*d|", INT_MIN, 5); },
       "5|"},
      {"count", [&](VString& s) { s.Printf("x%2147483648n%d", &stored, 7); }, "x7"},
      {"wide character without a multibyte form",
       [](VString& s) { s.Printf("%lc|%d", wint_t(0xD800), 5); }, "|5"},
      {"width 2^31 - 1 is kept", [](VString& s) { s.Printf("%2147483647d", 1); },
       std::string(1023, ' ')},
  };
  for (const PrintfCase& c : cases) {
    VString s("old");
    c.print(s);
    EXPECT_EQ(UTF8(s), c.expected) << c.name;
  }
  EXPECT_EQ(stored, -1);
  // What the C library answers for the same conversions.
  // (The format is made at run time: the compiler refuses the literal.)
  auto refused = [](const std::string& format, auto... args) {
    return std::snprintf(nullptr, 0, format.c_str(), args...) < 0;
  };
  EXPECT_TRUE(refused("%2147483648d", 1));
  EXPECT_TRUE(refused("%.2147483648f", 1.0));
  EXPECT_TRUE(refused("%*d", INT_MIN, 3));
  EXPECT_TRUE(refused("%lc", wint_t(0xD800)));
}

// A right-aligned field whose width and precision are both beyond the
// bound: the padding is what the full value leaves of the width, as the C
// library pads it, then cut at 1023 bytes.
TEST_F(VStringPrintf, RightAlignedWidthAndPrecisionBeyondTheBoundPadLikeTheCLibrary) {
  const struct {
    const char* format;
    double value;
  } reals[] = {
      {"%1500.1200f", 7.25},    {"%3500.3000f", 7.25},     {"%3000.2000e", -1.5},
      {"%01500.1200f", -2.5},   {"% 1200.1150f", 0.1},     {"%+1400.1150a", 1.0},
      {"%1300.1200g", 1.0 / 3}, {"%#1300.1200g", 1.0 / 3}, {"%2000.1500f", HUGE_VAL},
      {"%1500.1200F", -NAN},    {"%90000.3000f", 1.0},
  };
  for (const auto& c : reals) {
    VString s;
    s.Printf(c.format, c.value);
    EXPECT_EQ(UTF8(s), CLibraryCut(c.format, c.value)) << c.format;
  }
  // A long double's digits may go on past the bound, and %g drops the
  // trailing zeros of those it writes.
  const struct {
    const char* format;
    long double value;
  } longReals[] = {
      {"%1500.1110Lg", std::ldexp(1.0L, 3705)},    // to 1101 digits: ...350
      {"%02496.3522Lg", std::ldexp(1.0L, -2830)},  // 1979 digits
      {"%#02496.3522Lg", std::ldexp(1.0L, -2830)},
  };
  for (const auto& c : longReals) {
    VString s;
    s.Printf(c.format, c.value);
    EXPECT_EQ(UTF8(s), CLibraryCut(c.format, c.value)) << c.format;
  }
  const struct {
    const char* format;
    int value;
  } integers[] = {
      {"%1500.1200d", -42}, {"%3000.2990x", 0xBEEF}, {"%#1500.1200o", 8},
      {"%+1200.1150i", 7},  {"%01500.1200u", 3},
  };
  for (const auto& c : integers) {
    VString s;
    s.Printf(c.format, c.value);
    EXPECT_EQ(UTF8(s), CLibraryCut(c.format, c.value)) << c.format;
  }
  const std::string longText(3000, 't');
  const std::string mediumText(1500, 'm');
  const struct {
    const char* format;
    const char* value;
  } texts[] = {
      {"%1500.1200s", longText.c_str()},
      {"%2500.2000s", mediumText.c_str()},
      {"%1500.1200s", "abc"},
  };
  for (const auto& c : texts) {
    VString s;
    s.Printf(c.format, c.value);
    EXPECT_EQ(UTF8(s), CLibraryCut(c.format, c.value)) << c.format;
  }
  VString s;
  s.Printf("%*.*f", 5000, 4990, 0.5);
  EXPECT_EQ(UTF8(s), CLibraryCut("%*.*f", 5000, 4990, 0.5));
}

TEST_F(VStringPrintf, LongObjectTextsAreKeptWhole) {
  VString big;
  for (int i = 0; i < 3000; ++i) big.AppendUniChar(u'a');
  VString s;
  s.Printf("[%S][%S]", &big, &fAbc);
  EXPECT_EQ(s.GetLength(), 3000 + 7);
  EXPECT_EQ(Text(s).substr(3001), u"][abc]");
}

// ---------------------------------------------------------------------------
// Bag placeholders

class VStringFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    fBag->SetLong("code", 5);
    fBag->SetString("file", VString("a.txt"));
    fBag->SetString("brace", VString("{code}"));
    fBag->SetString("empty", VString(""));
    fBag->SetReal("ratio", 0.5);
  }
  VRefPtr<VValueBag> fBag{new VValueBag, kAdoptRef};
};

TEST_F(VStringFormat, ReplacesPlaceholdersFromAttributes) {
  const struct {
    const char* text;
    bool removeMissing;
    const char* expected;
  } cases[] = {
      {"Error {code} in {file}", false, "Error 5 in a.txt"},
      {"a {missing} b", true, "a  b"},
      {"a {missing} b", false, "a {missing} b"},
      {"{missing}{code}", true, "5"},
      {"{missing}{code}", false, "{missing}5"},
      {"{{code}}", true, "{{code}}"},
      {"{not a key}", true, "{not a key}"},
      {"{code}}}", false, "{code}}}"},
      {"{code} {ratio}", false, "5 0.5"},
      // An inserted text is not scanned again.
      {"<{brace}>", true, "<{code}>"},
      {"[{empty}]{code}", false, "[]5"},
      {"{code", false, "{code"},
      {"}{code}{", false, "}5{"},
      {"x", true, "x"},
      {"{}", true, ""},
      {"{}", false, "{}"},
  };
  for (const auto& tc : cases) {
    VString s(tc.text);
    s.Format(fBag.Get(), tc.removeMissing);
    EXPECT_EQ(UTF8(s), tc.expected) << tc.text << " removeMissing=" << tc.removeMissing;
  }
}

TEST_F(VStringFormat, NothingHappensWithoutABagOrText) {
  VString s("{code}");
  s.Format(nullptr, true);
  EXPECT_EQ(UTF8(s), "{code}");
  VRefPtr<VValueBag> empty(new VValueBag, kAdoptRef);
  s.Format(empty.Get(), true);
  EXPECT_EQ(UTF8(s), "{code}");

  VString null(true);
  null.Format(fBag.Get(), true);
  EXPECT_TRUE(null.IsNull());
}

// A placeholder whose key cannot be a bag key (over 255 bytes) names no
// attribute, even when a key made of its first bytes exists.
TEST_F(VStringFormat, OverlongKeyIsMissing) {
  std::string name(300, 'k');
  fBag->SetLong(StPackedDictionaryKey(name.c_str(), 255), 1);
  VString s(("<{" + name + "}>").c_str());
  s.Format(fBag.Get(), true);
  EXPECT_EQ(UTF8(s), "<>");
}

}  // namespace
}  // namespace zeft
