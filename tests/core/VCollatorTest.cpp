#include "core/VCollator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "core/VCollator_system.h"
#include "core/VIntlMgr.h"
#include "core/VString.h"

namespace zeft {
namespace {

constexpr DialectCode kEnglish = 1033;

// Owns one reference to a collator.
struct CollatorHolder {
  explicit CollatorHolder(VCollator* c) : collator(c) {}
  ~CollatorHolder() {
    if (collator != nullptr) collator->Release();
  }
  VCollator* operator->() const { return collator; }
  VCollator* collator;
};

// The units of a text in hexadecimal, for failure messages.
std::string Hex(const std::u16string& text) {
  std::string hex = "\"";
  for (char16_t unit : text) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "\\u%04X", unsigned(unit));
    hex += digits;
  }
  return hex + "\"";
}

class VCollatorTest : public ::testing::Test {
 protected:
  VCollatorTest() : fCollator(VCollator_system::Create(kEnglish, nullptr)) {}

  void SetWildOnlyAtEnds(bool onlyAtEnds) {
    fCollator->SetOptions(onlyAtEnds
                              ? VCollator::kOptionDefault | VCollator::kOptionWildCharOnlyAtEnds
                              : VCollator::kOptionDefault);
  }
  CompareResult Like(const std::u16string& text, const std::u16string& pattern,
                     bool diacritical = false) {
    return fCollator->CompareString_Like(P(text), int32(text.size()), P(pattern),
                                         int32(pattern.size()), diacritical);
  }
  bool EqualLike(const std::u16string& text, const std::u16string& pattern,
                 bool diacritical = false) {
    return fCollator->EqualString_Like(P(text), int32(text.size()), P(pattern),
                                       int32(pattern.size()), diacritical);
  }
  static const UniChar* P(const std::u16string& s) { return s.data(); }

  CollatorHolder fCollator;
};

TEST_F(VCollatorTest, CreateGivesOneReferenceAndDefaults) {
  ASSERT_NE(fCollator.collator, nullptr);
  EXPECT_EQ(fCollator->GetRefCount(), 1);
  EXPECT_EQ(fCollator->GetWildChar(), u'@');
  EXPECT_EQ(fCollator->GetOptions(), VCollator::kOptionDefault);
  EXPECT_EQ(fCollator->GetDialectCode(), kEnglish);
}

// One LIKE case: whether the text matches under each wild-character rule,
// and, for mismatches whose sign the rules fix, that sign.
struct LikeCase {
  const char16_t* text;
  const char16_t* pattern;
  CompareResult anywhere;    // options bit 1 clear
  CompareResult onlyAtEnds;  // options bit 1 set
};

// 2 stands for "any nonzero result".
constexpr CompareResult kNonZero = 2;

const LikeCase kLikeCases[] = {
    {u"abcdef", u"abc@", 0, 0},
    {u"abcdef", u"@def", 0, 0},
    {u"abcdef", u"@cd@", 0, 0},
    {u"abcdef", u"a@c@f", 0, kNonZero},
    {u"abcdef", u"a@f", 0, kNonZero},
    {u"abcdef", u"@", 0, 0},
    {u"abcdef", u"@@", 0, 0},
    {u"", u"@", 0, 0},
    {u"", u"@@", 0, 0},
    {u"xab", u"ab@", 1, 1},  // CompareString("xab", "ab")
    {u"abc", u"@b", -1, 1},  // the mismatch results of the two rules
    {u"a@c", u"a@c", 0, 0},  // with bit 1 a middle wild character is literal
    {u"abc", u"a@c", 0, kNonZero},
    {u"abcabc", u"@c", 0, 0},
    {u"abcab", u"@c", -1, 1},
    {u"aaa", u"@aa", 0, 0},  // overlapping occurrences of the last segment
    {u"abXcdYef", u"ab@cd@ef", 0, kNonZero},
    {u"ab", u"a@b@", 0, kNonZero},
    {u"ab", u"ab@@", 0, kNonZero},  // with bit 1 the inner "@" must be matched
    {u"abc", u"x@", kNonZero, kNonZero},
    {u"ABCDEF", u"abc@", 0, 0},  // case ignored without diacritical
    {u"Été", u"et@", 0, 0},
    {u"un été", u"@ete", 0, 0},
    {u"aéxb", u"a@b", 0, kNonZero},
    {u"", u"", 0, 0},
    {u"abc", u"", 1, 1},
};

void ExpectLikeResult(CompareResult expected, CompareResult actual, size_t index, bool onlyAtEnds) {
  SCOPED_TRACE(::testing::Message()
               << "case " << index << (onlyAtEnds ? " (ends only)" : " (anywhere)"));
  if (expected == kNonZero)
    EXPECT_NE(actual, 0);
  else
    EXPECT_EQ(actual, expected);
}

TEST_F(VCollatorTest, CompareStringLikeFollowsTheWildCharacterRule) {
  for (const LikeCase& c : kLikeCases) {
    const size_t index = size_t(&c - kLikeCases);
    SetWildOnlyAtEnds(false);
    ExpectLikeResult(c.anywhere, Like(c.text, c.pattern), index, false);
    SetWildOnlyAtEnds(true);
    ExpectLikeResult(c.onlyAtEnds, Like(c.text, c.pattern), index, true);
  }
}

// The ASCII fast scan must agree with the full rule on every case,
// including those it hands over midway.
TEST_F(VCollatorTest, EqualStringLikeAgreesWithTheFullRule) {
  for (const LikeCase& c : kLikeCases) {
    for (bool onlyAtEnds : {false, true}) {
      SetWildOnlyAtEnds(onlyAtEnds);
      SCOPED_TRACE(::testing::Message()
                   << "case " << (&c - kLikeCases) << (onlyAtEnds ? " ends only" : " anywhere"));
      const CompareResult expected = onlyAtEnds ? c.onlyAtEnds : c.anywhere;
      EXPECT_EQ(EqualLike(c.text, c.pattern), expected == 0);
      EXPECT_EQ(EqualLike(c.text, c.pattern), Like(c.text, c.pattern) == 0);
    }
  }
}

TEST_F(VCollatorTest, EqualStringLikeFastScan) {
  struct Case {
    const char16_t* text;
    const char16_t* pattern;
    bool diacritical;
    bool expected;
  };
  const Case cases[] = {
      {u"ABC", u"abc", false, true},
      {u"ABC", u"abc", true, false},
      {u"abc", u"abc", true, true},
      {u"A\u0001BC", u"abc", false, true},  // control characters are skipped
      {u"abc", u"a\u001Fb\u007Fc", false, true},
      {u"a\tb", u"ab", false, false},  // tab takes part
      {u"a\tb", u"a\tb", true, true},
      {u"ab", u"abc", false, false},   // text used up, ASCII left in the pattern
      {u"abc", u"ab", false, false},   // pattern used up, ASCII left in the text
      {u"abé", u"ab", false, false},   // ... non-ASCII left: the collator decides
      {u"abc", u"abc@", false, true},  // a trailing wild character matches the rest
      {u"abc", u"abc@@", false, true},
      {u"Été", u"ete", false, true},  // non-ASCII goes to the collator
      {u"Été", u"ete", true, false},
      {u"a^b", u"a^b", false, true},
      {u"a`b", u"A`B", false, true},
      {u"a[b", u"A[B", false, true},
      {u"a[b", u"a{b", false, false},  // only a-z fold
      // A letter with a combining accent is one character to the collator.
      {u"E\u0301E", u"E@", true, false},
      {u"E\u0301E", u"E@", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
    EXPECT_EQ(EqualLike(c.text, c.pattern, c.diacritical), c.expected);
  }
}

TEST_F(VCollatorTest, EqualStringLikeTreatsAMiddleWildCharacterAsLiteralWithBit1) {
  SetWildOnlyAtEnds(true);
  EXPECT_TRUE(EqualLike(u"a@c", u"a@c"));
  EXPECT_FALSE(EqualLike(u"abc", u"a@c"));
  // The scan reaches the middle "@" together with a non-ASCII unit: the
  // rest of the pattern must not turn that "@" into a leading wild card.
  EXPECT_FALSE(EqualLike(u"aéxb", u"a@b"));
  EXPECT_FALSE(EqualLike(u"ab", u"ab@@"));
  SetWildOnlyAtEnds(false);
  EXPECT_TRUE(EqualLike(u"aéxb", u"a@b"));
  EXPECT_TRUE(EqualLike(u"ab", u"ab@@"));
}

struct FindCase {
  const char16_t* text;
  const char16_t* pattern;
  bool diacritical;
  int32 position;
  int32 length;
};

TEST_F(VCollatorTest, FindStringGivesPositionAndMatchedLength) {
  const FindCase cases[] = {
      {u"Hello", u"lo", false, 4, 2},
      {u"Hello", u"x", false, 0, 0},
      {u"abc", u"", false, 1, 0},
      {u"", u"", false, 0, 0},
      {u"", u"a", false, 0, 0},
      {u"un été", u"ETE", false, 4, 3},
      {u"un été", u"ETE", true, 0, 0},
      {u"un été", u"été", true, 4, 3},
      {u"xABCabc", u"abc", true, 5, 3},     // case counts with diacritical
      {u"aaA", u"aA", true, 2, 2},          // an overlapping candidate
      {u"straße", u"SS", false, 5, 1},      // the match is shorter than the pattern
      {u"e\u0301te", u"été", false, 1, 4},  // ... or longer
      {u"ＡＢＣ", u"abc", false, 1, 3},     // full width
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
    const std::u16string text(c.text), pattern(c.pattern);
    int32 length = -1;
    EXPECT_EQ(fCollator->FindString(P(text), int32(text.size()), P(pattern), int32(pattern.size()),
                                    c.diacritical, &length),
              c.position);
    EXPECT_EQ(length, c.length);
    // The length argument may be null.
    EXPECT_EQ(fCollator->FindString(P(text), int32(text.size()), P(pattern), int32(pattern.size()),
                                    c.diacritical, nullptr),
              c.position);
  }
}

TEST_F(VCollatorTest, ReversedFindStringGivesTheLastOccurrence) {
  const FindCase cases[] = {
      {u"xabyab", u"ab", false, 5, 2}, {u"aaa", u"aa", false, 2, 2},
      {u"aaa", u"a", false, 3, 1},     {u"ßxss", u"ss", false, 3, 2},
      {u"ssxß", u"ss", false, 4, 1},   {u"xAByab", u"AB", true, 2, 2},
      {u"abc", u"x", false, 0, 0},     {u"abc", u"", false, 1, 0},
      {u"", u"a", false, 0, 0},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
    const std::u16string text(c.text), pattern(c.pattern);
    int32 length = -1;
    EXPECT_EQ(fCollator->ReversedFindString(P(text), int32(text.size()), P(pattern),
                                            int32(pattern.size()), c.diacritical, &length),
              c.position);
    EXPECT_EQ(length, c.length);
  }
}

TEST_F(VCollatorTest, BeginsAndEndsWithGiveTheMatchedTextLength) {
  struct Case {
    const char16_t* text;
    const char16_t* pattern;
    bool begins;
    int32 beginLength;
    bool ends;
    int32 endLength;
  };
  const Case cases[] = {
      {u"Hello", u"he", true, 2, false, 0},      {u"Hello", u"LO", false, 0, true, 2},
      {u"straße", u"STRASS", true, 5, false, 0},  // "ß" matches "SS"
      {u"ßtraße", u"ss", true, 1, false, 0},     {u"straße", u"SSE", false, 0, true, 2},
      {u"abcab", u"ab", true, 2, true, 2},       {u"abcabx", u"ab", true, 2, false, 0},
      {u"abc", u"", true, 0, true, 0},           {u"", u"a", false, 0, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
    const std::u16string text(c.text), pattern(c.pattern);
    int32 length = -1;
    EXPECT_EQ(fCollator->BeginsWithString(P(text), int32(text.size()), P(pattern),
                                          int32(pattern.size()), false, &length),
              c.begins);
    EXPECT_EQ(length, c.beginLength);
    length = -1;
    EXPECT_EQ(fCollator->EndsWithString(P(text), int32(text.size()), P(pattern),
                                        int32(pattern.size()), false, &length),
              c.ends);
    EXPECT_EQ(length, c.endLength);
  }
}

TEST_F(VCollatorTest, CompareStringHandlesEmptyTexts) {
  const std::u16string a(u"a");
  EXPECT_EQ(fCollator->CompareString(nullptr, 0, P(a), 1, false), -1);
  EXPECT_EQ(fCollator->CompareString(nullptr, 0, nullptr, 0, false), 0);
  EXPECT_EQ(fCollator->CompareString(P(a), 1, nullptr, 0, false), 1);
  EXPECT_TRUE(fCollator->EqualString(nullptr, 0, nullptr, 0, true));
}

// Equal exactly when the comparison gives 0, so that sorting and look-ups
// built on the two agree: an empty text against an ignorable character,
// and a pattern whose wild character matches nothing.
TEST_F(VCollatorTest, EqualityAgreesWithComparison) {
  const std::u16string nul(1, u'\0');
  const struct {
    std::u16string text;
    std::u16string other;
  } cases[] = {{u"", nul},          {nul, u""},
               {u"", u""},          {u"E", u"E@"},
               {u"E", u"@E@"},      {u"Abc", u"abc"},
               {u"\u00E9", u"e"},   {u"ab", u"a@b"},
               {u"x", u"\u0001"},   {u"E\u0900E", u"E@E"},
               {u"E\u0301", u"E"},  {u"E", u"E\u0301"},
               {u"E\u0301E", u"E@"}};
  for (const auto& c : cases) {
    for (bool diacritical : {false, true}) {
      for (bool onlyAtEnds : {false, true}) {
        SCOPED_TRACE(::testing::Message() << "case " << (&c - cases) << " diacritical "
                                          << diacritical << " ends only " << onlyAtEnds);
        SetWildOnlyAtEnds(onlyAtEnds);
        const int32 textLength = int32(c.text.size());
        const int32 otherLength = int32(c.other.size());
        EXPECT_EQ(
            fCollator->EqualString(P(c.text), textLength, P(c.other), otherLength, diacritical),
            fCollator->CompareString(P(c.text), textLength, P(c.other), otherLength, diacritical) ==
                0);
        EXPECT_EQ(EqualLike(c.text, c.other, diacritical), Like(c.text, c.other, diacritical) == 0);
      }
    }
  }
}

// LIKE skips control characters in its fast scan; the full rule must skip
// the same ones, or an empty text would match "\0" by one and not by the
// other, and a wild character followed by a control would end the pattern
// for one only.
TEST_F(VCollatorTest, LikeIgnoresTheSameControlsInBothForms) {
  const std::u16string nul(1, u'\0');
  const struct {
    std::u16string text;
    std::u16string pattern;
    bool anywhere;    // options bit 1 clear
    bool onlyAtEnds;  // options bit 1 set
  } cases[] = {
      {u"", nul, true, true},
      {nul, u"", true, true},
      {u"E", u"E@\u0001", true, true},
      {u"E", u"\u0001@\u0001", true, true},
      {u"E", u"\u007F@", true, true},
      {u"\u0001E", u"E@E", false, false},
      {u"E\u0001", u"E", true, true},
      {u"A\u0001BC", u"abc", true, true},
      {u"ab", u"\u0001@b\u0001", true, true},
      {u"ab", u"a\u0001@\u0001b", true, false},
      // Tab takes part.
      {u"a\tb", u"a\t@", true, true},
      {u"ab", u"a\t@", false, false},
  };
  for (const auto& c : cases) {
    for (bool onlyAtEnds : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "case " << (&c - cases) << " ends only " << onlyAtEnds);
      SetWildOnlyAtEnds(onlyAtEnds);
      const bool expected = onlyAtEnds ? c.onlyAtEnds : c.anywhere;
      EXPECT_EQ(EqualLike(c.text, c.pattern), expected);
      EXPECT_EQ(Like(c.text, c.pattern) == 0, expected);
    }
  }
}

// Random short texts over units that take every path of the fast scan
// (ASCII, the units it hands over, controls, the wild character, accents
// and combining marks): equality and comparison answer alike.
TEST_F(VCollatorTest, LikeEqualityAgreesWithComparisonOnRandomTexts) {
  const std::u16string units(u"Ee@@\u0001\u0000\u007F\t\r ^`-.'0\u00E9\u00C9\u0301\u00A0\u3042",
                             21);
  std::mt19937 random(32);
  auto randomText = [&]() {
    std::u16string text(random() % 7, u' ');
    for (char16_t& unit : text) unit = units[random() % units.size()];
    return text;
  };
  for (bool diacritical : {false, true}) {
    for (bool onlyAtEnds : {false, true}) {
      SetWildOnlyAtEnds(onlyAtEnds);
      int failures = 0;
      for (int i = 0; i < 5000 && failures < 5; ++i) {
        const std::u16string text = randomText();
        const std::u16string pattern = randomText();
        const bool equal = EqualLike(text, pattern, diacritical);
        const CompareResult compared = Like(text, pattern, diacritical);
        if (equal != (compared == 0)) {
          ++failures;
          ADD_FAILURE() << "diacritical " << diacritical << " ends only " << onlyAtEnds << ": "
                        << Hex(text) << " against " << Hex(pattern) << ": equal " << equal
                        << ", compared " << compared;
        }
      }
    }
  }
}

// A candidate refused for its case used to come back again and again.
TEST_F(VCollatorTest, FindMovesPastARefusedCandidate) {
  const std::u16string text = u"\U0001F600A";
  const std::u16string pattern = u"\U0001F600a";
  int32 length = -1;
  EXPECT_EQ(fCollator->FindString(P(text), 3, P(pattern), 3, true, &length), 0);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(fCollator->FindString(P(text), 3, P(pattern), 3, false, &length), 1);
  EXPECT_EQ(length, 3);
  EXPECT_EQ(fCollator->ReversedFindString(P(text), 3, P(pattern), 3, true, &length), 0);
  const std::u16string twice = u"\U0001F600A\U0001F600a";
  EXPECT_EQ(fCollator->FindString(P(twice), 6, P(pattern), 3, true, &length), 4);
  VString replaced;
  replaced.FromUniString(P(twice), 6);
  replaced.Exchange(VString(pattern.c_str()), VString("x"), 1, 10, true, fCollator.collator);
  EXPECT_EQ(std::u16string(replaced.GetCPointer(), size_t(replaced.GetLength())), u"\U0001F600Ax");
  EXPECT_FALSE(EqualLike(text, pattern, true));
  EXPECT_TRUE(EqualLike(text, pattern, false));
}

TEST_F(VCollatorTest, PatternCompatibilityWithDichotomy) {
  struct Case {
    const char16_t* pattern;
    bool expected;
  };
  const Case cases[] = {
      {u"", true},          {u"abc", true},      {u"abc@", true},    {u"a@c", false},
      {u"@abc", false},     {u"ab@@", false},    {u"\u3042", true},  {u"\u3042@", false},
      {u"\u30A2b@", false}, {u"\uFF65@", false}, {u"\u3095@", true},  // U+3095 is outside the kana
                                                                      // ranges
  };
  for (const Case& c : cases) {
    const std::u16string pattern(c.pattern);
    EXPECT_EQ(
        fCollator->IsPatternCompatibleWithDichotomyAndDiacritics(P(pattern), int32(pattern.size())),
        c.expected)
        << "case " << (&c - cases);
  }
}

TEST_F(VCollatorTest, WildCharacterCanBeChangedAndReset) {
  fCollator->SetWildChar(u'*');
  EXPECT_EQ(fCollator->GetWildChar(), u'*');
  EXPECT_EQ(Like(u"abcdef", u"abc*"), 0);
  EXPECT_NE(Like(u"abcdef", u"abc@"), 0);
  EXPECT_TRUE(EqualLike(u"abcdef", u"a*f"));
  fCollator->SetOptions(VCollator::kOptionDefault | VCollator::kOptionWildCharOnlyAtEnds);
  fCollator->Reset();
  EXPECT_EQ(fCollator->GetWildChar(), u'@');
  EXPECT_EQ(fCollator->GetOptions(),
            VCollator::kOptionDefault | VCollator::kOptionWildCharOnlyAtEnds);  // kept
  EXPECT_EQ(Like(u"abcdef", u"abc@"), 0);
}

TEST_F(VCollatorTest, CloneCopiesTheSettingsWithItsOwnReference) {
  fCollator->SetWildChar(u'%');
  fCollator->SetOptions(VCollator::kOptionDefault | VCollator::kOptionWildCharOnlyAtEnds);
  CollatorHolder clone(fCollator->Clone());
  ASSERT_NE(clone.collator, nullptr);
  EXPECT_EQ(clone->GetRefCount(), 1);
  EXPECT_EQ(clone->GetWildChar(), u'%');
  EXPECT_EQ(clone->GetOptions(), fCollator->GetOptions());
  EXPECT_EQ(clone->GetDialectCode(), kEnglish);
  const std::u16string a(u"Été"), b(u"ete");
  EXPECT_EQ(clone->CompareString(P(a), 3, P(b), 3, false), 0);
  int32 length = 0;
  EXPECT_EQ(clone->FindString(P(a), 3, P(b), 3, false, &length), 1);
  EXPECT_EQ(length, 3);
}

TEST_F(VCollatorTest, SignatureNamesTheSystemComparison) {
  VString signature;
  fCollator->GetStringComparisonAlgorithmSignature(signature);
  EXPECT_TRUE(signature.BeginsWithRawString(VString("system:")));
  EXPECT_GT(signature.GetLength(), 7);
  CollatorHolder other(VCollator_system::Create(1036, nullptr));
  VString otherSignature;
  other->GetStringComparisonAlgorithmSignature(otherSignature);
  EXPECT_TRUE(otherSignature.BeginsWithRawString(VString("system:")));
}

TEST(VCollatorDialectTest, OrderFollowsTheDialect) {
  // "ä" sorts with "a" in English and after "z" in Swedish.
  const std::u16string ae(u"ä"), z(u"z");
  CollatorHolder english(VCollator_system::Create(1033, nullptr));
  CollatorHolder swedish(VCollator_system::Create(1053, nullptr));
  ASSERT_NE(swedish.collator, nullptr);
  EXPECT_EQ(english->CompareString(ae.data(), 1, z.data(), 1, false), -1);
  EXPECT_EQ(swedish->CompareString(ae.data(), 1, z.data(), 1, false), 1);
}

TEST(VCollatorDialectTest, UsesTheLocaleOfItsIntlManager) {
  VIntlMgr* intl = VIntlMgr::Create(1053, 1053);
  ASSERT_NE(intl, nullptr);
  XMacStringCompare compare(1053, intl);
  EXPECT_EQ(compare.GetLocaleID(), intl->GetImpl().GetLocaleID());
  intl->Release();
}

}  // namespace
}  // namespace zeft
