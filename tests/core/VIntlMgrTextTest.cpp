#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/VIntlMgr.h"
#include "core/VMemory.h"

namespace zeft {
namespace {

using Ranges = std::vector<std::pair<int32, int32>>;

std::u16string U16(const VString& s) {
  return std::u16string(s.GetCPointer(), size_t(s.GetLength()));
}

class VIntlMgrText : public ::testing::Test {
 protected:
  VIntlMgr fIntl{1033, VIntlMgr::kKeywordAlphaNumeric};
};

TEST_F(VIntlMgrText, CharacterClasses) {
  struct Case {
    UniChar c;
    bool alpha, digit, punctuation, space;
  };
  const Case cases[] = {
      {u'A', true, false, false, false},
      {u'z', true, false, false, false},
      {0x00E9, true, false, false, false},
      {0x1E00, true, false, false, false},
      {0xFF21, true, false, false, false},
      {0x4E00, true, false, false, false},
      {0x9FA5, true, false, false, false},
      {0x0242, false, false, false, false},
      // Whole ideograph and Hangul blocks are letters, not only their ends.
      {0x4E01, true, false, false, false},
      {0x6F22, true, false, false, false},
      {0xAC01, true, false, false, false},
      {0xD7A3, true, false, false, false},
      {0x9FA6, false, false, false, false},
      {0xD7A4, false, false, false, false},
      {u'5', false, true, false, false},
      {0x0663, false, true, false, false},
      {0x2460, false, true, false, false},
      {0xFF19, false, true, false, false},
      {u'!', false, false, true, false},
      {u'$', false, false, false, false},
      {0xFF65, false, false, true, false},
      {0x3001, false, false, true, false},
      {u' ', false, false, false, true},
      {0x00A0, false, false, false, true},
      {0x200B, false, false, false, true},
      {0x3000, false, false, false, true},
      {u'\t', false, false, false, false},
      {u'\n', false, false, false, false},
      {u'\r', false, false, false, false},
      {0x0000, false, false, false, false},
      {0xFFFF, false, false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fIntl.IsAlpha(c.c), c.alpha) << std::hex << int(c.c);
    EXPECT_EQ(fIntl.IsDigit(c.c), c.digit) << std::hex << int(c.c);
    EXPECT_EQ(fIntl.IsPunctuation(c.c), c.punctuation) << std::hex << int(c.c);
    EXPECT_EQ(fIntl.IsSpace(c.c), c.space) << std::hex << int(c.c);
    EXPECT_EQ(fIntl.IsSpace(c.c, true), c.space) << std::hex << int(c.c);
  }
  EXPECT_FALSE(fIntl.IsUpper(u'A'));
  EXPECT_FALSE(fIntl.IsLower(u'a'));
  EXPECT_FALSE(fIntl.IsSymbol32(u'$'));
  EXPECT_EQ(VIntlMgr::CharType(u'A'), 0);
  EXPECT_EQ(fIntl.CharDigitValue(u'7'), 7);
  EXPECT_EQ(fIntl.CharDigitValue(0x0663), -1);
  EXPECT_EQ(fIntl.CharDigitValue(u'a'), -1);
}

// The scan from either end must agree with a plain look-up for every unit.
TEST_F(VIntlMgrText, RangeTestAgreesWithALinearScanEverywhere) {
  for (const uint16* table : {VIntlMgr::GetLetterTable(), VIntlMgr::GetDigitTable(),
                              VIntlMgr::GetPunctuationTable(), VIntlMgr::GetSpaceTable()}) {
    int32 count = table[0];
    for (int32 r = 0; r + 1 < count; ++r) ASSERT_LT(table[2 + 2 * r + 1], table[2 + 2 * r + 2]);
    for (uint32 c = 0; c < 0x10000; ++c) {
      bool inside = false;
      for (int32 r = 0; r < count && !inside; ++r)
        inside = c >= table[2 + 2 * r] && c <= table[2 + 2 * r + 1];
      ASSERT_EQ(VIntlMgr::_CharTest(UniChar(c), table), inside) << std::hex << c;
    }
  }
  // The class tests answer what the tables say.
  for (uint32 c = 0; c < 0x10000; ++c) {
    UniChar u = UniChar(c);
    ASSERT_EQ(fIntl.IsAlpha(u), VIntlMgr::_CharTest(u, VIntlMgr::GetLetterTable())) << c;
    ASSERT_EQ(fIntl.IsDigit(u), VIntlMgr::_CharTest(u, VIntlMgr::GetDigitTable())) << c;
    ASSERT_EQ(fIntl.IsSpace(u), VIntlMgr::_CharTest(u, VIntlMgr::GetSpaceTable())) << c;
    ASSERT_EQ(fIntl.IsPunctuation(u), VIntlMgr::_CharTest(u, VIntlMgr::GetPunctuationTable())) << c;
    ASSERT_EQ(VIntlMgr::_IsItaDeadChar(u), c < 0x20 || (!fIntl.IsAlpha(u) && !fIntl.IsDigit(u)))
        << c;
  }
  EXPECT_EQ(VIntlMgr::GetLetterTable()[0], 200);
  EXPECT_EQ(VIntlMgr::GetDigitTable()[0], 32);
  EXPECT_EQ(VIntlMgr::GetPunctuationTable()[0], 67);
  EXPECT_EQ(VIntlMgr::GetSpaceTable()[0], 4);
}

TEST_F(VIntlMgrText, RangesRebuiltFromClassBitsMatchTheTables) {
  std::vector<uint8> bits(0x10000, 0);
  struct Class {
    const uint16* table;
    uint8 mask;
  };
  const Class classes[] = {{VIntlMgr::GetLetterTable(), 8},
                           {VIntlMgr::GetDigitTable(), 2},
                           {VIntlMgr::GetSpaceTable(), 1},
                           {VIntlMgr::GetPunctuationTable(), 4}};
  for (const Class& k : classes) {
    for (int32 r = 0; r < k.table[0]; ++r) {
      for (uint32 c = k.table[2 + 2 * r]; c <= k.table[3 + 2 * r]; ++c) bits[c] |= k.mask;
    }
  }
  for (const Class& k : classes) {
    std::unique_ptr<uint16, void (*)(void*)> built(
        VIntlMgr::_FillOneRangesArray(bits.data(), k.mask), &VMemory::DisposePtr);
    ASSERT_NE(built, nullptr);
    const uint16* table = built.get();
    // Adjacent ranges of the tables (03D0-03FF, 0400-0482) merge into one.
    EXPECT_LE(table[0], k.table[0]);
    EXPECT_GE(table[0], k.table[0] - 1);
    uint64 sum = 0;
    for (int32 r = 0; r < table[0]; ++r) sum += table[2 + 2 * r];
    EXPECT_EQ(table[1], sum / table[0]);
    for (uint32 c = 0; c < 0x10000; ++c)
      ASSERT_EQ(VIntlMgr::_CharTest(UniChar(c), table), VIntlMgr::_CharTest(UniChar(c), k.table))
          << std::hex << c;
  }
  std::vector<uint8> none(0x10000, 0);
  uint16* empty = VIntlMgr::_FillOneRangesArray(none.data(), 0xFF);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty[0], 0);
  EXPECT_FALSE(VIntlMgr::_CharTest(u'a', empty));
  VMemory::DisposePtr(empty);
}

TEST_F(VIntlMgrText, MacRomanClasses) {
  struct Case {
    uint8 c;
    bool kinds[6];
  };
  const Case cases[] = {
      {'a', {true, true, true, true, true, false}},
      {'7', {true, true, false, true, false, true}},
      {'_', {true, true, true, true, true, false}},
      {0x8A, {true, true, true, false, false, false}},
      {0xCB, {true, true, true, false, false, false}},
      {0xA5, {true, false, false, false, false, false}},
      {9, {true, false, false, false, false, false}},
      {10, {false, false, false, false, false, false}},
      {127, {false, false, false, false, false, false}},
  };
  for (const Case& c : cases) {
    for (uint8 kind = 0; kind < 6; ++kind)
      EXPECT_EQ(VIntlMgr::IsAMacCharacter(c.c, kind), c.kinds[kind])
          << int(c.c) << " " << int(kind);
    EXPECT_FALSE(VIntlMgr::IsAMacCharacter(c.c, 6));
  }
}

TEST_F(VIntlMgrText, UpperAndLowerCase) {
  struct Case {
    std::u16string source;
    bool upper;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"straße", true, u"STRASSE"},
      {u"\uFB03", true, u"FFI"},
      {u"ÀÉÎ abc", false, u"àéî abc"},
      {u"àéî abc", true, u"ÀÉÎ ABC"},
      {u"\U00010400", false, u"\U00010428"},
      {u"İ", false, u"i\u0307"},
      {u"123 !", true, u"123 !"},
  };
  for (const Case& c : cases) {
    VString s;
    s.FromUniString(c.source.data(), int32(c.source.size()));
    fIntl.ToUpperLowerCase(s, false, c.upper);
    EXPECT_EQ(U16(s), c.expected);
  }
  VString empty;
  fIntl.ToUpperLowerCase(empty, false, true);
  EXPECT_TRUE(empty.IsEmpty());
}

// Results that grow beyond the room reserved (512 units for short strings,
// twice the length for long ones) are converted in full, not cut.
TEST_F(VIntlMgrText, ExpandingCaseIsNotCut) {
  for (int32 count : {200, 255, 256, 300, 1000}) {
    std::u16string ligatures(size_t(count), u'\uFB03');
    VString s;
    s.FromUniString(ligatures.data(), count);
    fIntl.ToUpperLowerCase(s, false, true);
    ASSERT_EQ(s.GetLength(), 3 * count) << count;
    std::u16string expected;
    for (int32 i = 0; i < count; ++i) expected += u"FFI";
    EXPECT_EQ(U16(s), expected) << count;
  }
}

TEST_F(VIntlMgrText, WordBoundaries) {
  Ranges words;
  ASSERT_TRUE(fIntl.GetWordBoundariesWithOptions(VString("l'amore di 2 cuori"), words, 1));
  EXPECT_EQ(words, (Ranges{{1, 1}, {3, 5}, {9, 2}, {12, 1}, {14, 5}}));
  ASSERT_TRUE(fIntl.GetWordBoundariesWithOptions(VString("\x01x\x02yz."), words, 1));
  EXPECT_EQ(words, (Ranges{{2, 1}, {4, 2}}));
  ASSERT_TRUE(fIntl.GetWordBoundariesWithOptions(VString(u"東京 서울"), words, 1));
  EXPECT_EQ(words, (Ranges{{1, 2}, {4, 2}}));
  EXPECT_FALSE(fIntl.GetWordBoundariesWithOptions(VString("two words"), words, 2));
  EXPECT_TRUE(words.empty());
  EXPECT_TRUE(fIntl.GetWordBoundariesWithOptions(VString(""), words, 0));
  EXPECT_TRUE(fIntl.GetWordBoundariesWithOptions(VString(true), words, 1));
  EXPECT_TRUE(words.empty());
}

TEST_F(VIntlMgrText, SplitOnDots) {
  struct Case {
    const char* text;
    int32 position;
    size_t length;
    bool keepDots;
    bool found;
    Ranges pieces;
  };
  const Case cases[] = {
      {"a.b", 1, 3, false, true, {{1, 1}, {3, 1}}},
      {"a.b", 1, 3, true, true, {{1, 1}, {2, 1}, {3, 1}}},
      {"abc", 1, 3, true, false, {}},
      {"x a..b. y", 3, 5, false, true, {{3, 1}, {6, 1}}},
      {"x a..b. y", 3, 5, true, true, {{3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}}},
      {"a.b", 1, 99, false, true, {{1, 1}, {3, 1}}},
      {"a.b", 9, 1, false, false, {}},
  };
  for (const Case& c : cases) {
    Ranges out;
    EXPECT_EQ(
        VIntlMgr::_SplitWordRangeOnDot(VString(c.text), c.position, c.length, out, c.keepDots),
        c.found)
        << c.text;
    EXPECT_EQ(out, c.pieces) << c.text << " " << c.position;
  }
}

TEST_F(VIntlMgrText, ApostropheSecondFollowedByVowel) {
  struct Case {
    std::u16string text;
    int32 position;
    int32 length;
    bool result;
  };
  const Case cases[] = {
      {u"l'amore", 1, 7, true}, {u"L\u2019Eau", 1, 5, true},  {u"d'yeux", 1, 6, true},
      {u"l'bc", 1, 4, false},   {u"l'a", 1, 3, false},        {u"lamore", 1, 6, false},
      {u"x l'or", 3, 4, true},  {u"l'\u0161ab", 1, 5, false}, {u"l'", 1, 4, false},
  };
  for (const Case& c : cases) {
    VString s;
    s.FromUniString(c.text.data(), int32(c.text.size()));
    EXPECT_EQ(VIntlMgr::_HasApostropheSecondFollowedByVowel(s, c.position, c.length), c.result)
        << c.position;
  }
}

TEST_F(VIntlMgrText, TrivialBidi) {
  VString text("abc");
  EXPECT_FALSE(fIntl.TextLogicalToVisual(text, 1));
  EXPECT_EQ(to_string(text), "abc");
  VString empty("");
  EXPECT_TRUE(fIntl.TextLogicalToVisual(empty, 0));
  VString ret("\r");
  EXPECT_TRUE(fIntl.TextLogicalToVisual(ret, 0));

  const UniChar units[] = {u'a', u'b', u'\r'};
  std::vector<VBidiRun> runs = {VBidiRun(5, 5, 0)};
  std::vector<int32> order = {3, 4};
  EXPECT_EQ(fIntl.GetBidiRuns(units, 3, runs, order, 3, true), 1);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].fFirst, 0);
  EXPECT_EQ(runs[0].fLength, 2);
  EXPECT_EQ(runs[0].fReserved, 0);
  EXPECT_EQ(runs[0].fLevel, 1);
  EXPECT_EQ(order, std::vector<int32>{0});
  EXPECT_EQ(fIntl.GetBidiRuns(units, 3, runs, order, 0, false), 0);
  EXPECT_EQ(runs[0].fLength, 3);
  EXPECT_EQ(fIntl.GetBidiRuns(units, 2, runs, order, 0, true), 0);
  EXPECT_EQ(runs[0].fLength, 2);
}

TEST_F(VIntlMgrText, KeywordSignatureAndDebugConversion) {
  VString s("old");
  fIntl.GetKewordAlgorithmSignature(s);
  EXPECT_EQ(to_string(s), "AlphaNum");
  VIntlMgr other(1033, 2);
  s = "old";
  other.GetKewordAlgorithmSignature(s);
  EXPECT_EQ(to_string(s), "old");
  VIntlMgr none(1033, 0);
  none.GetKewordAlgorithmSignature(s);
  EXPECT_TRUE(s.IsEmpty());

  char source[] = "abcdef";
  char target[4] = {0, 0, 0, 0};
  int32 targetBytes = 3;
  EXPECT_TRUE(
      VIntlMgr::DebugConvertString(source, 6, kCharSetUTF8, target, targetBytes, kCharSetUTF8));
  EXPECT_EQ(targetBytes, 3);
  EXPECT_EQ(std::string(target, 3), "abc");
  targetBytes = 3;
  EXPECT_FALSE(
      VIntlMgr::DebugConvertString(source, 6, kCharSetUTF8, target, targetBytes, kCharSetASCII));
  EXPECT_EQ(targetBytes, 3);
}

}  // namespace
}  // namespace zeft
