#include "core/mac/XMacStringCompare.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/LocalizeString.h"
#include "core/VString.h"
#include "process/VProcess.h"
#include "xml/ILocalizer.h"

namespace zeft {
namespace {

class XMacStringCompareTest : public ::testing::Test {
 protected:
  CompareResult Compare(const std::u16string& a, const std::u16string& b, bool diacritical) {
    return fCompare.CompareString(a.data(), int32(a.size()), b.data(), int32(b.size()),
                                  diacritical);
  }
  XMacStringCompare fCompare{1033, nullptr};
};

TEST_F(XMacStringCompareTest, ModesDecideWhatCounts) {
  struct Case {
    const char16_t* a;
    const char16_t* b;
    CompareResult loose;        // diacritical clear
    CompareResult diacritical;  // diacritical set
  };
  const Case cases[] = {
      {u"Été", u"ete", 0, 1},    {u"ete", u"Été", 0, -1},
      {u"abc", u"ABC", 0, -1},   // lower case sorts first
      {u"Ａ", u"A", 0, 0},       // full width equals normal width in both
      {u"ｶ", u"カ", 0, 0},       // half-width katakana too
      {u"e\u0301", u"é", 0, 0},  // canonically equivalent forms
      {u"a", u"b", -1, -1},      {u"b", u"a", 1, 1},
      {u"abc", u"abcd", -1, -1}, {u"", u"", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
    EXPECT_EQ(Compare(c.a, c.b, false), c.loose);
    EXPECT_EQ(Compare(c.a, c.b, true), c.diacritical);
    const std::u16string a(c.a), b(c.b);
    EXPECT_EQ(fCompare.EqualString(a.data(), int32(a.size()), b.data(), int32(b.size()), true),
              c.diacritical == 0);
  }
}

TEST_F(XMacStringCompareTest, FindGivesPositionAndLength) {
  const std::u16string text(u"Hello");
  const std::u16string lo(u"lo"), x(u"x");
  int32 length = -1;
  EXPECT_EQ(fCompare.FindString(text.data(), 5, lo.data(), 2, false, &length), 4);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(fCompare.FindString(text.data(), 5, x.data(), 1, false, &length), 0);
  EXPECT_EQ(length, 0);
  // The search object is reused: a new pattern and a new text are taken.
  const std::u16string other(u"yellow"), ll(u"LL");
  EXPECT_EQ(fCompare.FindString(other.data(), 6, ll.data(), 2, false, &length), 3);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(fCompare.FindString(other.data(), 6, ll.data(), 2, true, &length), 0);
}

TEST_F(XMacStringCompareTest, SearchSurvivesThePatternBufferGoingAway) {
  const std::u16string text(u"one two three two");
  int32 length = 0;
  {
    std::u16string pattern(u"two");
    EXPECT_EQ(
        fCompare.FindString(text.data(), int32(text.size()), pattern.data(), 3, false, &length), 5);
  }
  // Same pattern text from another buffer, then a different text.
  std::u16string pattern(u"two");
  const std::u16string text2(u"xxtwo");
  EXPECT_EQ(
      fCompare.FindString(text2.data(), int32(text2.size()), pattern.data(), 3, false, &length), 3);
  EXPECT_EQ(length, 3);
}

TEST_F(XMacStringCompareTest, UnreadableTextsCompareEqualAndAreNotFound) {
  const std::u16string a(u"a");
  EXPECT_EQ(fCompare.CompareString(nullptr, 3, a.data(), 1, false), 0);
  EXPECT_EQ(fCompare.CompareString(a.data(), -1, a.data(), 1, false), 0);
  int32 length = -1;
  EXPECT_EQ(fCompare.FindString(nullptr, 4, a.data(), 1, false, &length), 0);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(fCompare.FindString(a.data(), 1, a.data(), -2, false, &length), 0);
}

TEST_F(XMacStringCompareTest, CopyComparesAlike) {
  XMacStringCompare copy(fCompare);
  EXPECT_TRUE(copy.IsValid());
  EXPECT_EQ(copy.GetLocaleID(), fCompare.GetLocaleID());
  const std::u16string a(u"Été"), b(u"ete");
  EXPECT_EQ(copy.CompareString(a.data(), 3, b.data(), 3, false), 0);
  EXPECT_EQ(copy.CompareString(a.data(), 3, b.data(), 3, true), 1);
}

TEST_F(XMacStringCompareTest, LocaleComesFromTheDialect) {
  XMacStringCompare swedish(1053, nullptr);
  EXPECT_TRUE(swedish.IsValid());
  EXPECT_EQ(swedish.GetLocaleID().substr(0, 2), "sv");
  EXPECT_NE(swedish.GetEngineVersion().find("ICU"), std::string::npos);
}

// Knows the keys of its table, nothing else.
class KeyLocalizer : public ILocalizer {
 public:
  explicit KeyLocalizer(std::map<std::u16string, std::u16string> texts)
      : fTexts(std::move(texts)) {}
  DialectCode GetLocalizationLanguage() const override { return 1036; }
  bool LocalizeErrorMessage(VError, VString&) override { return false; }
  bool LocalizeStringWithKey(const VString& key, VString& result) override {
    auto it = fTexts.find(std::u16string(key.GetCPointer(), size_t(key.GetLength())));
    if (it == fTexts.end()) return false;
    result = VString(it->second.c_str());
    return true;
  }
  bool LocalizeStringWithDotStringsKey(const VString&, VString&) override { return false; }
  VValueBag* RetainGroupBag(const VString&) override { return nullptr; }

 private:
  std::map<std::u16string, std::u16string> fTexts;
};

TEST(LocalizeStringTest, AsksTheProcessLocalizerFirst) {
  ASSERT_NE(VProcess::sInstance, nullptr);
  KeyLocalizer localizer(std::map<std::u16string, std::u16string>{{u"More", u"Plus"}});
  VProcess::sInstance->SetLocalizer(&localizer);
  EXPECT_EQ(LocalizeString(VString("More"), "default"), VString("Plus"));
  EXPECT_EQ(LocalizeString(VString("More"), nullptr), VString("Plus"));
  // A key the localizer does not know falls back to the default text.
  EXPECT_EQ(LocalizeString(VString("Unknown"), "More"), VString("More"));
  EXPECT_TRUE(LocalizeString(VString("Unknown"), nullptr).IsEmpty());
  VProcess::sInstance->SetLocalizer(nullptr);
}

TEST(LocalizeStringTest, FallsBackToTheDefaultText) {
  // No process localizer is set: every key gives the default text.
  EXPECT_EQ(LocalizeString(VString("MoreInformationsAvailableInLogFile"), "More"), VString("More"));
  EXPECT_EQ(LocalizeString(VString("Key"), "Plus d’informations"), VString(u"Plus d’informations"));
  const VString none = LocalizeString(VString("Key"), nullptr);
  EXPECT_TRUE(none.IsEmpty());
  EXPECT_FALSE(none.IsNull());
}

}  // namespace
}  // namespace zeft
