#include "platform/Locale.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/ItemKind.h"
#include "support/TempFolder.h"

namespace zeft::platform {
namespace {

TEST(Locale, CanonicalTags) {
  struct Case {
    const char* name;
    const char* tag;
  };
  const Case cases[] = {
      {"en_US.UTF-8", "en-US"},
      {"de_CH", "de-CH"},
      {"fr", "fr"},
      {"sr_RS@latin", "sr-RS"},
      {"en-gb", "en-GB"},
      {"zh-Hant-TW", "zh-Hant-TW"},
      {"pt_BR.ISO-8859-1", "pt-BR"},
      {"C", ""},
      {"POSIX", ""},
      {"C.UTF-8", ""},
      {"", ""},
      {"@euro", ""},
      {"en-US-", ""},
      // ICU's root locale is no language, however it is spelt.
      {"root_", ""},
      {"root", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CanonicalLanguageTag(c.name), c.tag) << c.name;
    // A canonical tag is its own canonical form.
    EXPECT_EQ(CanonicalLanguageTag(c.tag), c.tag) << c.name;
  }
}

TEST(Locale, PreferredLanguagesFollowTheVariablesInOrder) {
  struct Case {
    LocaleEnvironment env;
    std::vector<std::string> tags;
  };
  const Case cases[] = {
      {{"", "", "", ""}, {}},
      {{"", "", "", "fr_FR.UTF-8"}, {"fr-FR"}},
      {{"", "", "de_AT", "fr_FR"}, {"de-AT"}},
      {{"", "it", "de_AT", "fr_FR"}, {"it"}},
      {{"sv:en_GB::nb", "it", "", ""}, {"sv", "en-GB", "nb"}},
      {{"", "C", "", "fr_FR"}, {""}},
  };
  for (const Case& c : cases) EXPECT_EQ(PreferredLanguagesFrom(c.env), c.tags);

  LocaleEnvironment env{"", "", "", "ja_JP.eucJP"};
  SetLocaleEnvironmentForTesting(&env);
  EXPECT_EQ(GetPreferredLanguages(), std::vector<std::string>{"ja-JP"});
  SetLocaleEnvironmentForTesting(nullptr);
}

TEST(Locale, LocaleIDs) {
  EXPECT_EQ(LocaleIDFromLanguageTag("zh-Hant"), "zh_Hant");
  EXPECT_EQ(LocaleIDFromLanguageTag("en-US"), "en_US");
  EXPECT_EQ(LocaleIDFromLanguageTag(""), "");
  EXPECT_EQ(LanguageOfLocaleID("fr_CA"), "fr");
  EXPECT_EQ(LanguageOfLocaleID(""), "");
}

TEST(Locale, TimeZoneComesFromTZ) {
  const char* old = ::getenv("TZ");
  std::string saved = old != nullptr ? old : "";
  struct Case {
    const char* tz;
    const char* zone;
  };
  const Case cases[] = {{"Europe/Paris", "Europe/Paris"},
                        {":America/New_York", "America/New_York"},
                        {"/usr/share/zoneinfo/Asia/Tokyo", "Asia/Tokyo"},
                        {"/usr/share/zoneinfo/posix/Europe/Rome", "Europe/Rome"},
                        {"", "UTC"},
                        {"/nowhere", "UTC"}};
  for (const Case& c : cases) {
    ::setenv("TZ", c.tz, 1);
    EXPECT_EQ(GetSystemTimeZoneID(), c.zone) << c.tz;
  }
  if (old != nullptr)
    ::setenv("TZ", saved.c_str(), 1);
  else
    ::unsetenv("TZ");
  EXPECT_FALSE(GetSystemTimeZoneID().empty());
}

TEST(Locale, SubFoldersMatchWithoutCase) {
  test::TempFolder temp;
  temp.MakeFolder("Fr.lproj");
  temp.MakeFolder("fr.lproj");
  temp.MakeFolder("EN.LPROJ");
  temp.Write("de.lproj", "a file, not a folder");
  const std::vector<std::string> names = {"fr.lproj", "de.lproj", "en.lproj", "FR.LPROJ",
                                          "ja.lproj"};
  std::vector<std::string> found = FindSubFoldersNamed(temp.Path() + "/", names);
  // An exact match wins over one that differs in case.
  const std::vector<std::string> expected = {temp.Path("fr.lproj"), temp.Path("EN.LPROJ"),
                                             temp.Path("Fr.lproj")};
  EXPECT_EQ(found, expected);
  EXPECT_TRUE(FindSubFoldersNamed(temp.Path("missing"), names).empty());
  EXPECT_TRUE(FindSubFoldersNamed("", names).empty());
  EXPECT_TRUE(IsRegularFile(temp.Path("de.lproj")));
  EXPECT_FALSE(IsRegularFile(temp.Path("fr.lproj")));
  EXPECT_FALSE(IsRegularFile(temp.Path("none")));
}

}  // namespace
}  // namespace zeft::platform
