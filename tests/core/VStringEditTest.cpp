// VString editing, searching, exchanging and line ends.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/VMemoryBuffer.h"
#include "core/VString.h"
#include "support/StringTestSupport.h"

namespace zeft {
namespace {

using test::Str;

using test::Text;

using namespace std::literals;

// ---------------------------------------------------------------------------
// Editing

struct EditCase {
  const char* name;
  std::u16string_view before;
  std::function<void(VString&)> edit;
  std::u16string_view after;
};

TEST(VStringEdit, EditingEdgeCases) {
  const EditCase cases[] = {
      {"insert char past end appends", u"abc", [](VString& s) { s.Insert(u'x', 8); }, u"abcx"},
      {"insert char at 1", u"abc", [](VString& s) { s.Insert(u'x', 1); }, u"xabc"},
      {"insert char 0 does nothing", u"abc", [](VString& s) { s.Insert(UniChar(0), 1); }, u"abc"},
      {"insert char at 0 does nothing", u"abc", [](VString& s) { s.Insert(u'x', 0); }, u"abc"},
      {"insert string in middle", u"abef", [](VString& s) { s.Insert(Str(u"cd"), 3); }, u"abcdef"},
      {"insert string past end", u"ab", [](VString& s) { s.Insert(Str(u"cd"), 9); }, u"abcd"},
      {"insert itself", u"ab", [](VString& s) { s.Insert(s, 2); }, u"aabb"},
      {"remove to end", u"abcdef", [](VString& s) { s.Remove(2, 100); }, u"a"},
      {"remove past end", u"abcdef", [](VString& s) { s.Remove(7, 1); }, u"abcdef"},
      {"remove middle", u"abcdef", [](VString& s) { s.Remove(2, 2); }, u"adef"},
      {"remove exactly to the end", u"abcdef", [](VString& s) { s.Remove(4, 3); }, u"abc"},
      {"remove negative count", u"abcdef", [](VString& s) { s.Remove(2, -1); }, u"abcdef"},
      {"truncate keeps pair", u"ab\xD83D\xDE00", [](VString& s) { s.Truncate(3, true); }, u"ab"},
      {"truncate splits pair", u"ab\xD83D\xDE00", [](VString& s) { s.Truncate(3, false); },
       u"ab\xD83D"},
      {"truncate negative", u"abc", [](VString& s) { s.Truncate(-4); }, u""},
      {"truncate longer", u"abc", [](VString& s) { s.Truncate(10); }, u"abc"},
      {"replace to end", u"abcdef", [](VString& s) { s.Replace(Str(u"XY"), 5, 10); }, u"abcdXY"},
      {"replace grows", u"abcdef", [](VString& s) { s.Replace(Str(u"XY"), 2, 1); }, u"aXYcdef"},
      {"replace shrinks", u"abcdef", [](VString& s) { s.Replace(Str(u"X"), 2, 3); }, u"aXef"},
      {"replace same size", u"abcdef", [](VString& s) { s.Replace(Str(u"XY"), 3, 2); }, u"abXYef"},
      {"replace count 0", u"abcdef", [](VString& s) { s.Replace(Str(u"XY"), 3, 0); }, u"abcdef"},
      {"replace past end", u"abcdef", [](VString& s) { s.Replace(Str(u"XY"), 7, 1); }, u"abcdef"},
      {"replace with itself", u"abc", [](VString& s) { s.Replace(s, 2, 1); }, u"aabcc"},
      {"substring middle", u"abcdef", [](VString& s) { s.SubString(2, 3); }, u"bcd"},
      {"substring count cut", u"abcdef", [](VString& s) { s.SubString(4, 100); }, u"def"},
      {"substring after end", u"abcdef", [](VString& s) { s.SubString(7, 2); }, u""},
      // Out-of-range arguments are refused and change nothing.
      {"substring pos 0", u"abcdef", [](VString& s) { s.SubString(0, 2); }, u"abcdef"},
      {"substring negative count", u"abcdef", [](VString& s) { s.SubString(2, -1); }, u"abcdef"},
      {"substring far past end", u"abcdef", [](VString& s) { s.SubString(9, 1); }, u"abcdef"},
      {"append itself", u"abc", [](VString& s) { s.AppendString(s); }, u"abcabc"},
      {"append own units", u"abc", [](VString& s) { s.AppendUniChars(s.GetCPointer() + 1, 2); },
       u"abcbc"},
      {"append numbers", u"n=",
       [](VString& s) {
         s.AppendLong(-7);
         s.AppendULong8(9);
       },
       u"n=-79"},
      {"append real", u"", [](VString& s) { s.AppendReal(1.5); }, u"1.5"},
      {"append os type", u">", [](VString& s) { s.AppendOsType(0x61626364); }, u">abcd"},
      {"append block utf16", u"", [](VString& s) { s.AppendBlock(u"xy", 4, kCharSetUTF16); },
       u"xy"},
      {"append block utf8", u"a", [](VString& s) { s.AppendBlock("\xC3\xA9", 2, kCharSetUTF8); },
       u"a\u00E9"},
      {"exchange chars", u"aaaa", [](VString& s) { s.Exchange(u'a', u'b', 1, 2); }, u"bbaa"},
      {"exchange chars from start", u"abab", [](VString& s) { s.Exchange(u'a', u'c', 2); },
       u"abcb"},
      {"exchange chars start 0", u"aaaa", [](VString& s) { s.Exchange(u'a', u'b', 0); }, u"aaaa"},
      {"remove white spaces", u" \t a b \t", [](VString& s) { s.RemoveWhiteSpaces(); }, u"a b"},
      {"remove white leading only", u"  a  ", [](VString& s) { s.RemoveWhiteSpaces(true, false); },
       u"a  "},
      {"remove white drops a cut pair", u"a\xD83D ", [](VString& s) { s.RemoveWhiteSpaces(); },
       u"a"},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    VString s = Str(c.before);
    c.edit(s);
    EXPECT_EQ(Text(s), std::u16string(c.after));
    EXPECT_EQ(s.GetCPointer()[s.GetLength()], 0);

    // The same edit on a copy that shares its block leaves the original.
    VString shared = Str(c.before);
    shared.EnsureSize(40);
    VString original = shared;
    ASSERT_EQ(original.GetCPointer(), shared.GetCPointer());
    c.edit(shared);
    EXPECT_EQ(Text(shared), std::u16string(c.after));
    EXPECT_EQ(Text(original), std::u16string(c.before));
  }
}

TEST(VStringEdit, SubStringsBeforeAndAfter) {
  VString s = Str(u"abcdef");
  VString dest = Str(u"old");
  s.GetSubString(3, 0, dest);
  EXPECT_EQ(Text(dest), u"");
  s.GetSubString(3, 100, dest);
  EXPECT_EQ(Text(dest), u"cdef");
  s.GetSubString(0, 2, dest);
  EXPECT_EQ(Text(dest), u"");
  s.GetSubString(7, 2, dest);
  EXPECT_EQ(Text(dest), u"");

  EXPECT_EQ(Text(s.Before(1)), u"");
  EXPECT_EQ(Text(s.Before(0)), u"");
  EXPECT_EQ(Text(s.Before(3)), u"ab");
  EXPECT_EQ(Text(s.Before(7)), u"abcdef");
  EXPECT_EQ(Text(s.After(0)), u"abcdef");
  EXPECT_EQ(Text(s.After(2)), u"cdef");
  EXPECT_EQ(Text(s.After(6)), u"");
}

TEST(VStringEdit, SingleCharacters) {
  VString s = Str(u"abc");
  EXPECT_EQ(s.GetUniChar(1), u'a');
  EXPECT_EQ(s.GetUniChar(0), 0);
  EXPECT_EQ(s.GetUniChar(4), 0);
  EXPECT_TRUE(s.SetUniChar(3, u'z'));
  EXPECT_FALSE(s.SetUniChar(4, u'z'));
  EXPECT_FALSE(s.SetUniChar(0, u'z'));
  EXPECT_EQ(Text(s), u"abz");
  VString null(true);
  EXPECT_FALSE(null.SetUniChar(1, u'a'));
}

TEST(VStringEdit, ExchangeCharDoesNotCopyWhenAbsent) {
  VString a = Str(u"abcdefghijklmnopqrstuvwxyz");
  a.EnsureSize(40);
  VString b = a;
  b.Exchange(u'#', u'!');
  EXPECT_EQ(a.GetCPointer(), b.GetCPointer());
}

TEST(VStringEdit, RemoveWhiteSpacesReportsCounts) {
  VString s = Str(u" \t a b \t");
  int32 leading = -1;
  int32 trailing = -1;
  s.RemoveWhiteSpaces(true, true, &leading, &trailing);
  EXPECT_EQ(Text(s), u"a b");
  EXPECT_EQ(leading, 3);
  EXPECT_EQ(trailing, 2);

  VString white = Str(u" \t  ");
  white.RemoveWhiteSpaces(true, true, &leading, &trailing);
  EXPECT_EQ(Text(white), u"");
  EXPECT_EQ(leading, 4);
  EXPECT_EQ(trailing, 0);

  VString side = Str(u" x ");
  leading = -1;
  trailing = -1;
  side.RemoveWhiteSpaces(false, true, &leading, &trailing);
  EXPECT_EQ(leading, -1);  // not asked for: not reported
  EXPECT_EQ(trailing, 1);
}

// ---------------------------------------------------------------------------
// Searching

TEST(VStringSearch, EdgeCases) {
  VString abca = Str(u"abca");
  EXPECT_EQ(abca.FindUniChar(u'a', 3, true), 1);
  EXPECT_EQ(abca.FindUniChar(u'a', 3, false), 4);
  EXPECT_EQ(abca.FindUniChar(u'a', -5, false), 1);
  EXPECT_EQ(abca.FindUniChar(u'a', 5, false), 0);
  EXPECT_EQ(VString().FindUniChar(u'a'), 0);

  EXPECT_EQ(abca.FindRawString(VString(), 1), 1);
  EXPECT_EQ(abca.FindRawString(VString(), 3), 3);
  EXPECT_EQ(abca.FindRawString(Str(u"bca"), 3), 0);  // longer than the rest
  EXPECT_EQ(abca.FindRawString(Str(u"ca"), 1), 3);
  EXPECT_EQ(abca.FindRawString(Str(u"a"), 2), 4);
  EXPECT_EQ(abca.FindRawString(Str(u"a"), 0), 0);
  EXPECT_EQ(abca.FindRawString(Str(u"a"), 9), 0);
  EXPECT_EQ(VString::FindRawString(u"x", 1, u"", 0), 1);
  EXPECT_EQ(VString::FindRawString(u"", 0, u"x", 1), 0);

  EXPECT_TRUE(abca.BeginsWithRawString(Str(u"ab")));
  EXPECT_TRUE(abca.BeginsWithRawString(VString()));
  EXPECT_FALSE(abca.BeginsWithRawString(Str(u"abcab")));
  EXPECT_TRUE(abca.EndsWithRawString(Str(u"ca")));
  EXPECT_FALSE(abca.EndsWithRawString(Str(u"Ca")));

  // Without international settings: raw with diacritical set, ASCII letters
  // folded with it clear. Starts outside 1 .. length + 1 are refused.
  VString text = Str(u"Hello World");
  EXPECT_EQ(text.Find(Str(u"world"), 1, false), 7);
  EXPECT_EQ(text.Find(Str(u"world"), 1, true), 0);
  EXPECT_EQ(text.Find(Str(u"o"), 6, true), 8);
  EXPECT_EQ(text.Find(Str(u"o"), 0, true), 0);
  EXPECT_EQ(text.Find(Str(u"o"), 13, true), 0);
  EXPECT_EQ(text.Find(Str(u"o"), -3, true), 0);
  EXPECT_TRUE(text.BeginsWith(Str(u"HELLO")));
  EXPECT_FALSE(text.BeginsWith(Str(u"HELLO"), true));
  EXPECT_TRUE(text.EndsWith(Str(u"WORLD")));
}

TEST(VStringSearch, SimilarToString) {
  EXPECT_DOUBLE_EQ(Str(u"abcd").SimilarToString(Str(u"axcy")), 0.5);
  EXPECT_DOUBLE_EQ(Str(u"abcd").SimilarToString(VString()), 0.0);
  EXPECT_DOUBLE_EQ(VString().SimilarToString(Str(u"abcd")), 0.0);
  EXPECT_DOUBLE_EQ(Str(u"ab").SimilarToString(Str(u"xxaxxbxx")), 1.0);
}

TEST(VStringSearch, RawFindMatchesStdFindOnRandomText) {
  for (uint32 seed = 1; seed <= 300; ++seed) {
    std::mt19937 random(seed);
    const int alphabet = 2 + int(seed % 3);
    auto randomText = [&](int maxLength) {
      std::u16string text(size_t(random() % uint32(maxLength + 1)), u'a');
      for (auto& unit : text) unit = char16_t(u'a' + random() % uint32(alphabet));
      return text;
    };
    // Occasionally a pattern of 256 units or more (table off the stack).
    std::u16string text = randomText(seed % 10 == 0 ? 2000 : 60);
    for (int round = 0; round < 20; ++round) {
      std::u16string pattern = randomText(seed % 10 == 0 ? 300 : 6);
      if (seed % 10 == 0 && round % 2 == 0 && text.size() > 300) {
        size_t from = random() % (text.size() - 280);
        pattern = text.substr(from, 260 + random() % 20);
      }
      int32 start = int32(random() % (text.size() + 2)) + 1;
      SCOPED_TRACE(testing::Message() << "seed " << seed << " start " << start);
      size_t expected = std::u16string_view(text).find(pattern, size_t(start - 1));
      int32 want = expected == std::u16string_view::npos ? 0 : int32(expected) + 1;
      if (size_t(start - 1) > text.size()) want = 0;
      EXPECT_EQ(Str(text).FindRawString(Str(pattern), start), want);
    }
  }
}

// ---------------------------------------------------------------------------
// Exchanging occurrences

TEST(VStringExchange, RawExchangeStrategies) {
  struct Case {
    const char* name;
    std::u16string_view text;
    std::u16string_view pattern;
    std::u16string_view replacement;
    int32 start;
    int32 maxCount;
    std::u16string_view result;
    int32 count;
  };
  const Case cases[] = {
      {"shrink, limited", u"ababab", u"ab", u"x", 1, 2, u"xxab", 2},
      {"grow", u"ababab", u"ab", u"abc", 1, 10, u"abcabcabc", 3},
      {"same size", u"ababab", u"ab", u"XY", 3, 10, u"abXYXY", 2},
      {"remove", u"a--b--c", u"--", u"", 1, 10, u"abc", 2},
      {"grow with gaps", u"xaxxaxxxa!", u"a", u"<A>", 1, 10, u"x<A>xx<A>xxx<A>!", 3},
      {"not found", u"abc", u"z", u"y", 1, 10, u"abc", 0},
      {"max 0", u"abc", u"a", u"y", 1, 0, u"abc", 0},
      {"empty pattern", u"abc", u"", u"y", 1, 10, u"abc", 0},
      {"start past", u"abab", u"ab", u"x", 4, 10, u"abab", 0},
      {"start 0", u"abab", u"ab", u"x", 0, 10, u"abab", 0},
      {"overlapping", u"aaaa", u"aa", u"b", 1, 10, u"bb", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VString s = Str(c.text);
    s.EnsureSize(64);
    VString other = s;
    EXPECT_EQ(s.ExchangeRawString(Str(c.pattern), Str(c.replacement), c.start, c.maxCount),
              c.count);
    EXPECT_EQ(Text(s), std::u16string(c.result));
    EXPECT_EQ(Text(other), std::u16string(c.text));
  }
}

TEST(VStringExchange, RawExchangeAgainstReference) {
  std::mt19937 random(7);
  for (int round = 0; round < 500; ++round) {
    std::u16string text(random() % 40, u'a');
    for (auto& unit : text) unit = char16_t(u'a' + random() % 2);
    std::u16string pattern(1 + random() % 3, u'a');
    for (auto& unit : pattern) unit = char16_t(u'a' + random() % 2);
    std::u16string replacement(random() % 5, u'X');
    int32 maxCount = 1 + int32(random() % 5);
    std::u16string expected = text;
    int32 count = 0;
    for (size_t at = expected.find(pattern); at != std::u16string::npos && count < maxCount;
         at = expected.find(pattern, at + replacement.size())) {
      expected.replace(at, pattern.size(), replacement);
      ++count;
    }
    VString s = Str(text);
    EXPECT_EQ(s.ExchangeRawString(Str(pattern), Str(replacement), 1, maxCount), count);
    EXPECT_EQ(Text(s), expected);
  }
}

TEST(VStringExchange, ExchangeWithoutCollation) {
  VString s = Str(u"One one ONE");
  s.Exchange(Str(u"one"), Str(u"1"), 1, 10, false);
  EXPECT_EQ(Text(s), u"1 1 1");
  VString exact = Str(u"One one ONE");
  exact.Exchange(Str(u"one"), Str(u"1"), 1, 10, true);
  EXPECT_EQ(Text(exact), u"One 1 ONE");
  VString limited = Str(u"a-a-a-a");
  limited.Exchange(Str(u"a"), Str(u"bb"), 3, 2, true);
  EXPECT_EQ(Text(limited), u"a-bb-bb-a");
}

// ---------------------------------------------------------------------------
// Line ends

TEST(VStringLineEnds, ModesAndConversions) {
  struct Case {
    std::u16string_view text;
    ECarriageReturnMode mode;
    std::u16string_view result;
  };
  const Case cases[] = {
      {u"a\rb\nc\r\nd", kCRModeCRLF, u"a\r\nb\r\nc\r\nd"},
      {u"a\rb\nc\r\nd", kCRModeLF, u"a\nb\nc\nd"},
      {u"a\rb\nc\r\nd", kCRModeCR, u"a\rb\rc\rd"},
      {u"a\rb\nc\r\nd", kCRModeNone, u"a\rb\nc\r\nd"},
      {u"\r\r\n", kCRModeLF, u"\n\n"},
      {u"\n\n", kCRModeCR, u"\r\r"},
      {u"\n\r", kCRModeCRLF, u"\r\n\r\n"},
      {u"x\0\ny"sv, kCRModeCRLF, u"x\0\r\ny"sv},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << int(c.mode) << " length " << c.text.size());
    VStr<4> s;  // small inline room: CR LF growth must leave it
    s.FromUniString(c.text.data(), int32(c.text.size()));
    s.ConvertCarriageReturns(c.mode);
    EXPECT_EQ(Text(s), std::u16string(c.result));
  }

  EXPECT_EQ(Str(u"a\r").GetCarriageReturnMode(kCRModeLF), kCRModeCR);
  EXPECT_EQ(Str(u"a\r\nb").GetCarriageReturnMode(kCRModeLF), kCRModeCRLF);
  EXPECT_EQ(Str(u"a\nb\r").GetCarriageReturnMode(kCRModeCR), kCRModeLF);
  EXPECT_EQ(Str(u"ab").GetCarriageReturnMode(kCRModeCR), kCRModeCR);
}

TEST(VStringLineEnds, UnitArraysWithLimitedRoom) {
  uint8 text[8] = {'a', '\n', 'b', '\r', 'c'};
  size_t needed = 0;
  EXPECT_EQ(VString::_ConvertCarriageReturns<uint8>(text, 5, 7, kCRModeCRLF, &needed), 7u);
  EXPECT_EQ(needed, 7u);
  EXPECT_EQ(std::memcmp(text, "a\r\nb\r\nc", 7), 0);

  uint8 tight[8] = {'a', '\n', 'b', '\r', 'c'};
  EXPECT_EQ(VString::_ConvertCarriageReturns<uint8>(tight, 5, 6, kCRModeCRLF, &needed), 6u);
  EXPECT_EQ(needed, 7u);
  EXPECT_EQ(std::memcmp(tight, "a\r\nb\rc", 6), 0);
  // The second run leaves the pair already written alone.
  EXPECT_EQ(VString::_ConvertCarriageReturns<uint8>(tight, 6, 7, kCRModeCRLF, &needed), 7u);
  EXPECT_EQ(std::memcmp(tight, "a\r\nb\r\nc", 7), 0);

  uint8 zero[4] = {0, '\n'};
  EXPECT_EQ(VString::_ConvertCarriageReturns<uint8>(zero, 2, 4, kCRModeCRLF, nullptr), 3u);
  EXPECT_EQ(std::memcmp(zero, "\0\r\n", 3), 0);

  uint32 wide[4] = {'\r', '\r', '\n'};
  EXPECT_EQ(VString::_ConvertCarriageReturns<uint32>(wide, 3, 4, kCRModeLF, &needed), 2u);
  EXPECT_EQ(needed, 3u);
  EXPECT_EQ(wide[0], uint32('\n'));
  EXPECT_EQ(wide[1], uint32('\n'));
}

TEST(VStringLineEnds, ByteBuffersGrowWhenNeeded) {
  struct Case {
    CharSet set;
    size_t width;
  };
  for (const Case& c : {Case{kCharSetUTF8, 1}, Case{kCharSetUTF16, 2}, Case{kCharSetUTF32, 4}}) {
    SCOPED_TRACE(int(c.set));
    const char plain[] = "l1\nl2\nl3\r\n";
    const size_t count = sizeof(plain) - 1;
    std::vector<uint8> bytes(count * c.width, 0);
    for (size_t i = 0; i < count; ++i) bytes[i * c.width] = uint8(plain[i]);  // little-endian units
    VMemoryBuffer<> buffer;
    ASSERT_TRUE(buffer.SetData(bytes.data(), bytes.size()));
    VString::ConvertCarriageReturns(buffer, c.set, kCRModeCRLF);
    const char expected[] = "l1\r\nl2\r\nl3\r\n";
    ASSERT_EQ(buffer.GetDataSize(), (sizeof(expected) - 1) * c.width);
    const auto* data = static_cast<const uint8*>(buffer.GetDataPtr());
    for (size_t i = 0; i < sizeof(expected) - 1; ++i)
      EXPECT_EQ(data[i * c.width], uint8(expected[i]));

    VString::ConvertCarriageReturns(buffer, c.set, kCRModeLF);
    EXPECT_EQ(buffer.GetDataSize(), 9 * c.width);
  }
  VMemoryBuffer<> untouched;
  ASSERT_TRUE(untouched.SetData("a\nb", 3));
  VString::ConvertCarriageReturns(untouched, kCharSetUnknown, kCRModeCRLF);
  EXPECT_EQ(untouched.GetDataSize(), 3u);
}

}  // namespace
}  // namespace zeft
