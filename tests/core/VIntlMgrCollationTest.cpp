#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/VCollator.h"
#include "core/VCompareOptions.h"
#include "core/VIntlMgr.h"
#include "runtime/VTask.h"
#include "support/ToolboxTestEnvironment.h"

namespace zeft {
namespace {

using Ranges = std::vector<std::pair<int32, int32>>;

// Holds the reference Create hands out.
VRefPtr<VIntlMgr> Make(DialectCode dialect, DialectCode collatorDialect = kDialectSystem) {
  return VRefPtr<VIntlMgr>(VIntlMgr::Create(dialect, collatorDialect, 1), kAdoptRef);
}

TEST(VIntlMgrCreate, DialectsFallBackToTheLanguageThenEnglish) {
  struct Case {
    DialectCode asked;
    DialectCode collatorAsked;
    DialectCode dialect;
    DialectCode collator;
  };
  const Case cases[] = {
      {1033, 1033, 1033, 1033},  {6156, 6156, 1036, 1036},  // a French sub-language without a row
      {99999, 1036, 1033, 1036}, {1033, 1038, 1033, 1033},  // Hungarian and Thai sort as 1033
      {1054, 1054, 1054, 1033},  {2057, 3084, 2057, 3084},
  };
  for (const Case& c : cases) {
    VRefPtr<VIntlMgr> intl = Make(c.asked, c.collatorAsked);
    ASSERT_TRUE(intl) << c.asked;
    EXPECT_EQ(intl->GetDialectCode(), c.dialect) << c.asked;
    ASSERT_NE(intl->GetCollator(), nullptr);
    EXPECT_EQ(intl->GetCollator()->GetDialectCode(), c.collator) << c.asked;
    EXPECT_EQ(intl->GetRefCount(), 1);
  }
  VRefPtr<VIntlMgr> system = Make(kDialectSystem);
  ASSERT_TRUE(system);
  EXPECT_EQ(system->GetDialectCode(), VIntlMgr::IsDialectCode(VIntlMgr::ResolveDialectCode(0))
                                          ? VIntlMgr::ResolveDialectCode(0)
                                          : DialectPrimary(VIntlMgr::ResolveDialectCode(0)));
}

TEST(VIntlMgrCreate, LocaleConventions) {
  VRefPtr<VIntlMgr> us = Make(1033);
  ASSERT_TRUE(us);
  EXPECT_EQ(to_string(us->GetDecimalSeparator()), ".");
  EXPECT_EQ(to_string(us->GetThousandsSeparator()), ",");
  EXPECT_EQ(to_string(us->GetCurrencySymbol()), "$");
  EXPECT_EQ(to_string(us->GetAMString()), "AM");
  EXPECT_EQ(to_string(us->GetPMString()), "PM");
  EXPECT_TRUE(us->UseAmPm());
  EXPECT_EQ(to_string(us->GetTimeSeparator()), ":");
  EXPECT_EQ(to_string(us->GetDateSeparator()), "/");
  EXPECT_EQ(us->GetDateOrder(), kDateOrderMDY);
  EXPECT_EQ(to_string(us->GetDatePattern(0)), "M/d/yy");
  for (int32 style = 0; style < 4; ++style) {
    EXPECT_FALSE(us->GetDatePattern(style).IsEmpty()) << style;
    EXPECT_FALSE(us->GetTimePattern(style).IsEmpty()) << style;
  }
  EXPECT_TRUE(us->GetTimePattern(4).IsEmpty());
  EXPECT_TRUE(us->GetDatePattern(-1).IsEmpty());

  VRefPtr<VIntlMgr> german = Make(1031);
  ASSERT_TRUE(german);
  EXPECT_EQ(to_string(german->GetDecimalSeparator()), ",");
  EXPECT_EQ(to_string(german->GetThousandsSeparator()), ".");
  EXPECT_EQ(to_string(german->GetCurrencySymbol()), "\xE2\x82\xAC");
  EXPECT_FALSE(german->UseAmPm());
  EXPECT_EQ(to_string(german->GetTimeSeparator()), ":");
  EXPECT_EQ(german->GetDateOrder(), kDateOrderDMY);
  EXPECT_EQ(to_string(german->GetDateSeparator()), ".");

  VRefPtr<VIntlMgr> japanese = Make(1041);
  ASSERT_TRUE(japanese);
  EXPECT_EQ(japanese->GetDateOrder(), kDateOrderYMD);
}

// A locale without a region has only the generic currency sign U+00A4,
// which becomes the euro sign.
TEST(VIntlMgrCreate, GenericCurrencySignBecomesEuro) {
  VRefPtr<VIntlMgr> spanish = Make(3082);  // "es", no region
  ASSERT_TRUE(spanish);
  EXPECT_EQ(to_string(spanish->GetCurrencySymbol()), "\xE2\x82\xAC");
}

TEST(VIntlMgrCreate, CloneCopiesSettingsAndCollator) {
  VRefPtr<VIntlMgr> original = Make(1031);
  ASSERT_TRUE(original);
  original->GetCollator()->SetWildChar(u'*');
  VRefPtr<VIntlMgr> copy(original->Clone(), kAdoptRef);
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->GetDialectCode(), 1031u);
  ASSERT_NE(copy->GetCollator(), nullptr);
  EXPECT_NE(copy->GetCollator(), original->GetCollator());
  EXPECT_EQ(copy->GetWildChar(), u'*');
  EXPECT_EQ(to_string(copy->GetDecimalSeparator()), ",");
  EXPECT_EQ(copy->GetDateOrder(), kDateOrderDMY);
  EXPECT_EQ(to_string(copy->GetDatePattern(2)), to_string(original->GetDatePattern(2)));
  copy->Reset();
  EXPECT_EQ(copy->GetWildChar(), u'@');
  EXPECT_EQ(original->GetWildChar(), u'*');
}

TEST(VIntlMgrCreate, ProcessDefaultHoldsOneReference) {
  test::StWithoutIntlSettings restore;
  VRefPtr<VIntlMgr> intl = Make(1033);
  ASSERT_TRUE(intl);
  VIntlMgr::SetProcessDefault(intl.Get());
  EXPECT_EQ(VIntlMgr::GetProcessDefault(), intl.Get());
  EXPECT_EQ(intl->GetRefCount(), 2);
  VIntlMgr::SetProcessDefault(intl.Get());
  EXPECT_EQ(intl->GetRefCount(), 2);
  VIntlMgr::SetProcessDefault(nullptr);
  EXPECT_EQ(VIntlMgr::GetProcessDefault(), nullptr);
  EXPECT_EQ(intl->GetRefCount(), 1);
}

// Settings equal to the current ones are copied, with the collator reset.
TEST(VIntlMgrCreate, ReusesEqualCurrentSettings) {
  VRefPtr<VIntlMgr> current = Make(1031);
  ASSERT_TRUE(current);
  test::StProcessIntlSettings settings(current.Get());
  ASSERT_EQ(VTask::GetCurrentIntlManager(), current.Get());
  current->GetCollator()->SetWildChar(u'*');
  VRefPtr<VIntlMgr> same = Make(1031, 1031);
  ASSERT_TRUE(same);
  EXPECT_NE(same.Get(), current.Get());
  EXPECT_NE(same->GetCollator(), current->GetCollator());
  EXPECT_EQ(same->GetWildChar(), u'@');
  EXPECT_EQ(current->GetWildChar(), u'*');
  EXPECT_EQ(to_string(same->GetDecimalSeparator()), ",");
  VRefPtr<VIntlMgr> other = Make(1031, 1033);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->GetCollator()->GetDialectCode(), 1033u);
}

// The settings keep strings as they are given: composed and decomposed
// forms are not converted into each other.
TEST(VIntlMgrStrings, NormalFormsAreLeftToTheSettings) {
  for (const char* form : {"\xC3\xA9t\xC3\xA9", "e\xCC\x81te\xCC\x81"}) {
    VString text(form);
    text.Decompose();
    EXPECT_EQ(to_string(text), form);
    text.Compose();
    EXPECT_EQ(to_string(text), form);
  }
}

TEST(VIntlMgrStrings, CaseOfStrings) {
  VString shared(
      "stra\xC3\x9F"
      "e \xC3\x9C abc");
  VString text(shared);
  VIntlMgr* current = VTask::GetCurrentIntlManager();
  text.ToUpperCase();
  if (current == nullptr) {
    // Without settings only ASCII letters change.
    EXPECT_EQ(to_string(text),
              "STRA\xC3\x9F"
              "E \xC3\x9C ABC");
  } else {
    EXPECT_EQ(to_string(text), "STRASSE \xC3\x9C ABC");
  }
  EXPECT_EQ(to_string(shared),
            "stra\xC3\x9F"
            "e \xC3\x9C abc");
  text.ToLowerCase();
  EXPECT_EQ(to_string(text).substr(0, 4), "stra");
  VString digits("123 \xC3\x9F");
  VString copy(digits);
  copy.ToLowerCase();
  EXPECT_EQ(to_string(copy), "123 \xC3\x9F");
  VString empty;
  empty.ToUpperCase();
  EXPECT_TRUE(empty.IsEmpty());
}

TEST(VIntlMgrStrings, CaseThroughTheCurrentSettings) {
  VRefPtr<VIntlMgr> intl = Make(1033);
  ASSERT_TRUE(intl);
  test::StProcessIntlSettings settings(intl.Get());
  ASSERT_EQ(VTask::GetCurrentIntlManager(), intl.Get());
  VString text(
      "stra\xC3\x9F"
      "e");
  text.ToUpperCase();
  EXPECT_EQ(to_string(text), "STRASSE");
}

class VIntlMgrCollation : public ::testing::Test {
 protected:
  void SetUp() override {
    fIntl = Make(1033);
    ASSERT_TRUE(fIntl);
  }
  Ranges Find(const char* text, const char* pattern, EFindStringMode mode, bool all,
              bool diacritical = false) {
    Ranges found = {{99, 99}};
    fIntl->FindStrings(VString(text), VString(pattern), mode, diacritical, found, all);
    return found;
  }
  VRefPtr<VIntlMgr> fIntl;
};

TEST_F(VIntlMgrCollation, ComparisonsGoThroughTheCollator) {
  VString ete("\xC3\x89t\xC3\xA9");
  VString plain("ete");
  EXPECT_EQ(fIntl->CompareString(ete.GetCPointer(), ete.GetLength(), plain.GetCPointer(),
                                 plain.GetLength(), false),
            kCompareEqual);
  EXPECT_NE(fIntl->CompareString(ete.GetCPointer(), ete.GetLength(), plain.GetCPointer(),
                                 plain.GetLength(), true),
            kCompareEqual);
  EXPECT_TRUE(fIntl->EqualString(ete.GetCPointer(), ete.GetLength(), plain.GetCPointer(),
                                 plain.GetLength(), false));
  VString text("abcdef");
  VString pattern("abc@");
  EXPECT_TRUE(fIntl->EqualString_Like(text.GetCPointer(), text.GetLength(), pattern.GetCPointer(),
                                      pattern.GetLength(), false));
  EXPECT_EQ(fIntl->CompareString_Like(text.GetCPointer(), text.GetLength(), pattern.GetCPointer(),
                                      pattern.GetLength(), false),
            kCompareEqual);
  VCompareOptions options;
  options.SetLike(true);
  EXPECT_EQ(fIntl->CompareString(text.GetCPointer(), text.GetLength(), pattern.GetCPointer(),
                                 pattern.GetLength(), options),
            kCompareEqual);
  options.SetLike(false);
  EXPECT_NE(fIntl->CompareString(text.GetCPointer(), text.GetLength(), pattern.GetCPointer(),
                                 pattern.GetLength(), options),
            kCompareEqual);
  int32 length = -1;
  VString hello("Hello");
  VString lo("LO");
  EXPECT_EQ(fIntl->FindString(hello.GetCPointer(), hello.GetLength(), lo.GetCPointer(),
                              lo.GetLength(), false, &length),
            4);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(fIntl->GetWildChar(), u'@');
  VString signature;
  fIntl->GetStringComparisonAlgorithmSignature(signature);
  EXPECT_EQ(to_string(signature).rfind("system:", 0), 0u);
}

TEST_F(VIntlMgrCollation, FindStringsModes) {
  EXPECT_EQ(Find("abab ab", "ab", kFindStringAnywhere, true), (Ranges{{1, 2}, {3, 2}, {6, 2}}));
  EXPECT_EQ(Find("abab ab", "ab", kFindStringWholeWords, true), (Ranges{{6, 2}}));
  EXPECT_EQ(Find("abab ab", "ab", kFindStringAnywhere, false), (Ranges{{1, 2}}));
  EXPECT_EQ(Find("abab ab", "ab", kFindStringWholeWords, false), (Ranges{{6, 2}}));
  EXPECT_EQ(Find("abab ab", "b", kFindStringWordEnd, true), (Ranges{{4, 1}, {7, 1}}));
  EXPECT_EQ(Find("abab ab", "b", kFindStringWordStart, true), (Ranges{}));
  EXPECT_EQ(Find("abab ab", "a", kFindStringWordStart, true), (Ranges{{1, 1}, {6, 1}}));
  EXPECT_EQ(Find("abab ab", "a", EFindStringMode(1), true), (Ranges{{1, 1}, {3, 1}, {6, 1}}));
  EXPECT_EQ(Find("\xC3\xA9t\xC3\xA9", "E", kFindStringAnywhere, true), (Ranges{{1, 1}, {3, 1}}));
  EXPECT_EQ(Find("\xC3\xA9t\xC3\xA9", "e", kFindStringAnywhere, true, true), (Ranges{}));
  EXPECT_EQ(Find("abc", "", kFindStringAnywhere, true), (Ranges{}));
  EXPECT_EQ(Find("", "a", kFindStringAnywhere, true), (Ranges{}));
}

// Each search goes on just behind the previous match: a one-unit match
// moves on instead of being found again for ever.
TEST_F(VIntlMgrCollation, FindStringsAdvancesPastEveryMatch) {
  EXPECT_EQ(Find("aaaa", "a", kFindStringAnywhere, true), (Ranges{{1, 1}, {2, 1}, {3, 1}, {4, 1}}));
  EXPECT_EQ(Find("aaaa", "aa", kFindStringAnywhere, true), (Ranges{{1, 2}, {3, 2}}));
  EXPECT_EQ(Find("x", "x", kFindStringAnywhere, true), (Ranges{{1, 1}}));
}

TEST_F(VIntlMgrCollation, FindWholeWords) {
  struct Case {
    const char* text;
    const char* word;
    bool like;
    bool found;
  };
  const Case cases[] = {
      {"l'amore di 2 cuori", "amore", false, true},
      {"l'amore di 2 cuori", "AMORE", false, true},
      {"l'amore di 2 cuori", "amo", false, false},
      {"l'amore di 2 cuori", "cuori", false, true},
      {"l'amore di 2 cuori", "l", false, true},
      {"amoamo amo", "amo", false, true},  // the third occurrence is whole
      {"amoamo", "amo", false, false},
      {"l'amore di 2 cuori", "am@", true, true},
      {"l'amore di 2 cuori", "x@", true, false},
      {"l'amore di 2 cuori", "", false, false},
  };
  for (const Case& c : cases) {
    VCompareOptions options;
    options.SetLike(c.like);
    EXPECT_EQ(fIntl->FindWord(VString(c.text), VString(c.word), options), c.found)
        << c.text << " / " << c.word;
  }
}

// Strings reach the collator through the settings their caller names.
TEST_F(VIntlMgrCollation, StringsCompareThroughTheSettings) {
  VString ete("\xC3\x89t\xC3\xA9");
  VString plain("ete");
  VCompareOptions options;
  options.SetIntlMgr(fIntl.Get());
  EXPECT_TRUE(ete.EqualToSameKindWithOptions(&plain, options));
  EXPECT_EQ(ete.CompareToSameKindWithOptions(&plain, options), kCompareEqual);
  options.SetDiacritical(true);
  EXPECT_FALSE(ete.EqualToSameKindWithOptions(&plain, options));
  // Without settings the same pair differs: only ASCII letters fold.
  VCompareOptions raw;
  EXPECT_FALSE(ete.EqualToSameKindWithOptions(&plain, raw));

  VString text("abcdef");
  VString pattern("a@f");
  options.SetDiacritical(false);
  options.SetLike(true);
  EXPECT_TRUE(text.EqualToSameKindWithOptions(&pattern, options));
  fIntl->GetCollator()->SetWildChar(u'*');
  EXPECT_FALSE(text.EqualToSameKindWithOptions(&pattern, options));
  VString star("a*f");
  EXPECT_TRUE(text.EqualToSameKindWithOptions(&star, options));
}

TEST_F(VIntlMgrCollation, ExchangeUsesTheMatchedLength) {
  VString text("\xC3\x89t\xC3\xA9 ETE ete");
  text.Exchange(VString("ete"), VString("x"), 1, 0x7FFFFFFF, false, fIntl->GetCollator());
  EXPECT_EQ(to_string(text), "x x x");
  VString once("a-A-a");
  once.Exchange(VString("a"), VString("bb"), 2, 1, false, fIntl->GetCollator());
  EXPECT_EQ(to_string(once), "a-bb-a");
}

TEST_F(VIntlMgrCollation, WhiteSpacesOfTheSettings) {
  VString text("\xC2\xA0 a\t\xE3\x80\x80");
  int32 leading = -1;
  int32 trailing = -1;
  text.RemoveWhiteSpaces(true, true, &leading, &trailing, fIntl.Get(), false);
  // No-break and ideographic spaces count; a tab does not.
  EXPECT_EQ(to_string(text), "a\t");
  EXPECT_EQ(leading, 2);
  EXPECT_EQ(trailing, 1);
}

}  // namespace
}  // namespace zeft
