// JSON string text of VString (escaping, the lenient unescaping) and the
// string checks of the JSON reader.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/VString.h"
#include "support/StringTestSupport.h"

namespace zeft {
namespace {

using test::Str;
using test::Text;

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c >= 0x20 && c < 0x7F ? char(c) : '?';
  return out;
}

std::u16string Escape(const std::u16string& text, uint32 options) {
  VString out = Str(u"previous content");
  EXPECT_EQ(Str(text).GetJSONString(out, options), VE_OK);
  EXPECT_FALSE(out.IsNull());
  return Text(out);
}

std::u16string Unescape(const std::u16string& json, uint32 options = 0) {
  VString s(true);
  EXPECT_EQ(s.FromJSONString(Str(json), options), VE_OK);
  EXPECT_FALSE(s.IsNull());
  return Text(s);
}

constexpr uint32 kQuotes = VString::kJSONWithQuotes;
constexpr uint32 kRaw = VString::kJSONRaw;
constexpr uint32 kAmp = VString::kJSONEscapeAmpAndApos;

TEST(VStringJSON, Escaping) {
  struct Case {
    std::u16string text;
    uint32 options;
    std::u16string json;
  };
  const Case cases[] = {
      {u"a\"\\\n", kQuotes, u"\"a\\\"\\\\\\n\""},
      {u"\b\t\n\f\r", 0, u"\\b\\t\\n\\f\\r"},
      {u"\x01", 0, u"\\u0001"},
      {u"\x1F", 0, u"\\u001F"},
      {u"\x0B", 0, u"\\u000B"},
      {std::u16string(1, u'\0'), 0, u"\\u0000"},
      {u"\x7F", 0, u"\\u007F"},
      {u"\u00E9/\u2028", 0, u"\u00E9/\u2028"},
      {u"\xD83D\xDE00", 0, u"\xD83D\xDE00"},  // surrogates as they are
      {u"&'", 0, u"&'"},
      {u"&'", kAmp, u"\\u0026\\u0027"},
      {u"&'", kAmp | kQuotes, u"\"\\u0026\\u0027\""},
      {u"a\"\n", kRaw | kQuotes, u"\"a\"\n\""},
      {u"a\"\n", kRaw, u"a\"\n"},
      {u"", 0, u""},
      {u"", kQuotes, u"\"\""},
      {u"", kRaw | kQuotes, u"\"\""},
      {u"plain", 0x2 | 0x8, u"plain"},  // other bits are not looked at
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << Narrow(c.text) << " options " << c.options);
    EXPECT_EQ(Escape(c.text, c.options), c.json);
  }
  VString out;
  ASSERT_EQ(VString(true).GetJSONString(out, kQuotes), VE_OK);
  EXPECT_EQ(Text(out), u"\"\"");
}

TEST(VStringJSON, EscapingIntoItself) {
  for (uint32 options : {0u, kQuotes, kRaw | kQuotes, kRaw}) {
    SCOPED_TRACE(options);
    VString s = Str(u"a \"quoted\" text\nlong enough for the heap");
    VString expected;
    ASSERT_EQ(s.GetJSONString(expected, options), VE_OK);
    ASSERT_EQ(s.GetJSONString(s, options), VE_OK);
    EXPECT_EQ(Text(s), Text(expected));
  }
}

TEST(VStringJSON, AppendingMatchesEscaping) {
  std::mt19937 random(5);
  std::vector<std::u16string> texts = {u"", std::u16string(3000, u'\x01'),
                                       std::u16string(2000, u'a') + u"\"" + u"\n"};
  for (int round = 0; round < 400; ++round) {
    // Escapes sparse or dense, at every place in and across 8-unit blocks.
    std::u16string text;
    const int length = int(random() % 70);
    const unsigned density = 1 + random() % 12;
    for (int i = 0; i < length; ++i) {
      const char16_t special[] = {u'"', u'\\', u'\n', u'\x1F', u'\x7F', u'&', u'\''};
      text += random() % density == 0
                  ? special[random() % 7]
                  : char16_t(random() % 2 ? 0x20 + random() % 0x5F : 0x80 + random() % 0xFF80);
    }
    texts.push_back(text);
  }
  for (const std::u16string& text : texts) {
    SCOPED_TRACE(Narrow(text.substr(0, 80)));
    for (uint32 options : {0u, kQuotes, kAmp, kAmp | kQuotes, kRaw, kRaw | kQuotes}) {
      SCOPED_TRACE(options);
      VString expected;
      ASSERT_EQ(Str(text).GetJSONString(expected, options), VE_OK);
      // Into inline room, a small heap block, and a block shared with
      // another string, which must keep its text.
      VStr<4> inlineTarget;
      inlineTarget.AppendCString("ab");
      VString heapTarget = Str(u"previous content");
      VString shared = heapTarget;
      for (VString* target : {static_cast<VString*>(&inlineTarget), &heapTarget}) {
        const std::u16string before = Text(*target);
        ASSERT_EQ(target->AppendJSONString(text.data(), int32(text.size()), options), VE_OK);
        EXPECT_EQ(Text(*target), before + Text(expected));
      }
      EXPECT_EQ(Text(shared), u"previous content");
    }
  }
}

TEST(VStringJSON, AppendingItsOwnText) {
  VString s = Str(u"a \"quoted\" text\nlong enough for the heap");
  ASSERT_EQ(s.AppendJSONString(s.GetCPointer() + 2, 8, kQuotes), VE_OK);
  EXPECT_EQ(Text(s), u"a \"quoted\" text\nlong enough for the heap\"\\\"quoted\\\"\"");
}

TEST(VStringJSON, LenientReading) {
  struct Case {
    std::u16string json;
    std::u16string text;
  };
  const Case cases[] = {
      {u"\\u0041\\u00e9", u"A\u00E9"},
      {u"\\u12", u"u12"},
      {u"\\uZZ41", u"A"},
      {u"abc\\", u"abc"},
      {u"\\q", u"q"},
      {u"\\\"\\\\\\/", u"\"\\/"},
      {u"\\b\\f\\n\\r\\t", u"\b\f\n\r\t"},
      {u"\\uD83D\\uDE00", u"\xD83D\xDE00"},
      {u"\"quoted\"", u"\"quoted\""},  // quotes are not removed
      {u"\\u00", u"u00"},
      {u"\\u004", u"u004"},
      {u"\\u00411", u"A1"},
      {u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.json));
    EXPECT_EQ(Unescape(c.json), c.text);
  }
  EXPECT_EQ(Unescape(u"\\n", kRaw), u"\\n");
  VString s = Str(u"x");
  ASSERT_EQ(s.FromJSONString(VString(true), 0), VE_OK);
  EXPECT_FALSE(s.IsNull());
  EXPECT_EQ(Text(s), u"");
}

TEST(VStringJSON, ReadingItself) {
  VString s = Str(u"\\u0041 and \\\"more\\\" text long enough for the heap");
  ASSERT_EQ(s.FromJSONString(s, 0), VE_OK);
  EXPECT_EQ(Text(s), u"A and \"more\" text long enough for the heap");
}

TEST(VStringJSON, WrittenTextReadsBack) {
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    std::u16string text;
    const int length = int(random() % 40);
    for (int i = 0; i < length; ++i) {
      // Mostly the interesting low units, some of everything else.
      text += random() % 2 ? char16_t(random() % 0x80) : char16_t(random() % 0x10000);
    }
    SCOPED_TRACE(Narrow(text));
    for (uint32 options : {0u, kAmp}) {
      VString json;
      ASSERT_EQ(Str(text).GetJSONString(json, options), VE_OK);
      EXPECT_EQ(Unescape(Text(json)), text);
    }
  }
}

TEST(VStringChecks, Dates) {
  struct Case {
    std::u16string text;
    bool iso;
    bool nonAmbiguous;
  };
  const Case cases[] = {
      {u"2024-13-45", true, false},
      {u"2024-01-01", true, false},
      {u"2024-1-01", false, false},
      {u"2024-01-01T00", false, false},
      {u"2024/01/01", false, false},
      {u"20240-1-01", false, false},
      {u"!!2024-01-31!!", false, true},
      {u"!!2024-01-31!", false, false},
      {u"!?2024-01-31!!", false, false},
      {u"!!2024-01-3a!!", false, false},
      {u"", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    EXPECT_EQ(Str(c.text).IsISODate(), c.iso);
    EXPECT_EQ(Str(c.text).IsNonAmbigousDate(), c.nonAmbiguous);
  }
}

TEST(VStringChecks, CleanJSName) {
  struct Case {
    std::u16string text;
    std::u16string name;
  };
  const Case cases[] = {
      {u"9lives-x", u"_9livesx"}, {u"a.b$c", u"ab$c"}, {u"", u""},    {u"_ok_", u"_ok_"},
      {u"\u00E9t\u00E9", u"t"},   {u"0", u"_0"},       {u"-9", u"9"}, {u"...", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    VString out = Str(u"previous");
    Str(c.text).GetCleanJSName(out);
    EXPECT_EQ(Text(out), c.name);
    EXPECT_FALSE(out.IsNull());
  }
  VString self = Str(u"1 two");
  self.GetCleanJSName(self);
  EXPECT_EQ(Text(self), u"_1two");
}

TEST(VStringChecks, StringValid) {
  EXPECT_TRUE(VString().IsStringValid());
  EXPECT_TRUE(Str(u"short").IsStringValid());
  VString heap = Str(u"a text long enough to live in a heap block of its own");
  EXPECT_TRUE(heap.IsStringValid());
  VStr<8> inlineText(u"in room");
  EXPECT_TRUE(inlineText.IsStringValid());
}

}  // namespace
}  // namespace zeft
