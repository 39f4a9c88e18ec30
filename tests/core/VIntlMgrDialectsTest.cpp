#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/VIntlMgr.h"
#include "platform/Locale.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

// Makes the platform read given locale variables for one test.
class StLocaleEnvironment {
 public:
  explicit StLocaleEnvironment(platform::LocaleEnvironment env) {
    platform::SetLocaleEnvironmentForTesting(&env);
  }
  ~StLocaleEnvironment() { platform::SetLocaleEnvironmentForTesting(nullptr); }
};

platform::LocaleEnvironment Lang(const char* lang) { return {"", "", "", lang}; }

TEST(VIntlMgrDialects, TableHoldsEveryRowInOrder) {
  std::vector<DialectCode> codes;
  VIntlMgr::GetAllDialects(codes);
  ASSERT_EQ(codes.size(), 154u);
  EXPECT_EQ(codes.front(), 1078u);
  EXPECT_EQ(codes.back(), 1077u);
  // 1044, 1050 and 1065 appear twice; look-ups take their first rows.
  for (DialectCode twice : {1044u, 1050u, 1065u})
    EXPECT_EQ(std::count(codes.begin(), codes.end(), twice), 2) << twice;
  EXPECT_EQ(std::set<DialectCode>(codes.begin(), codes.end()).size(), 151u);
  VString s;
  EXPECT_TRUE(VIntlMgr::GetISO6392LanguageCode(1044, s));
  EXPECT_EQ(to_string(s), "nor");
  EXPECT_TRUE(VIntlMgr::GetISO6391LanguageCode(1050, s));
  EXPECT_EQ(to_string(s), "hr");
  EXPECT_TRUE(VIntlMgr::GetISO6392LanguageCode(1065, s));
  EXPECT_EQ(to_string(s), "per");

  std::vector<std::pair<VString, DialectCode>> collators;
  VIntlMgr::GetDialectsHavingCollator(collators);
  ASSERT_EQ(collators.size(), 154u);
  // The language of each row's code, which for a repeated code is the
  // first row's.
  EXPECT_EQ(collators[1].second, 1052u);
  EXPECT_EQ(to_string(collators[1].first), "sq");
  auto serbian = std::find_if(collators.begin(), collators.end(),
                              [](const auto& p) { return to_string(p.first) == "sr"; });
  EXPECT_EQ(serbian->second, 2074u);  // the 1050 Serbian row reads "hr"
}

TEST(VIntlMgrDialects, ColumnsOfOneRow) {
  VString s;
  EXPECT_TRUE(VIntlMgr::GetISOLanguageName(1031, s));
  EXPECT_EQ(to_string(s), "german");
  EXPECT_TRUE(VIntlMgr::GetISO3166RegionCode(2055, s));
  EXPECT_EQ(to_string(s), "CH");
  EXPECT_TRUE(VIntlMgr::GetRFC3066BisSubTagRegionCode(1028, s));
  EXPECT_EQ(to_string(s), "Hant");
  EXPECT_STREQ(VIntlMgr::GetISO6391LanguageCode(1041), "ja");
  EXPECT_STREQ(VIntlMgr::GetISO3166RegionCode(94), "");
  // Empty columns and unknown codes answer false with a cleared string.
  s = "old";
  EXPECT_FALSE(VIntlMgr::GetISO3166RegionCode(94, s));
  EXPECT_TRUE(s.IsEmpty());
  s = "old";
  EXPECT_FALSE(VIntlMgr::GetISO6391LanguageCode(12345, s));
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(VIntlMgr::GetISO6391LanguageCode(12345), nullptr);
  EXPECT_EQ(VIntlMgr::GetISO3166RegionCode(12345), nullptr);
  EXPECT_TRUE(VIntlMgr::IsDialectCode(1033));
  EXPECT_FALSE(VIntlMgr::IsDialectCode(6156));
}

TEST(VIntlMgrDialects, TagsToCodes) {
  struct Case {
    const char* tag;
    bool fallBack;
    bool primaryOnly;
    bool recognised;
    DialectCode code;
  };
  const Case cases[] = {
      {"en-US", true, false, true, 1033},  // no English row has "US": the language
      {"en-US", false, false, false, kDialectNotFound},
      {"en-GB", true, false, true, 2057},
      {"EN_gb", false, false, true, 2057},
      {"fr", true, false, true, 1036},
      {"es", true, false, true, 3082},
      {"es", true, true, true, 1034},
      {"zh-TW", true, false, false, kDialectNotFound},  // every Chinese row has a sub-tag
      {"zh-Hant", true, false, true, 1028},
      {"zh_Hans", true, false, true, 2052},
      {"de_CH", true, false, true, 2055},
      {"de-XX", true, true, true, 1031},
      {"en-Latn-US", true, false, false, kDialectNotFound},
      {"xx", true, false, false, kDialectNotFound},
      {"", true, false, false, kDialectNotFound},
      {"-", true, false, false, kDialectNotFound},
      {"en-", true, false, true, 1033},
      {"fr-CA", true, false, true, 3084},
      {"sr-Latn", true, false, true, 2074},
      {"\xC3\xA9n", true, false, false, kDialectNotFound},
  };
  for (const Case& c : cases) {
    DialectCode code = 7;
    bool recognised = VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(VString(c.tag), code,
                                                                         c.fallBack, c.primaryOnly);
    EXPECT_EQ(recognised, c.recognised) << c.tag;
    EXPECT_EQ(code, c.code) << c.tag;
  }
  DialectCode code = 0;
  EXPECT_TRUE(VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode("en", "gb", code, false, false));
  EXPECT_EQ(code, 2057u);
  EXPECT_TRUE(VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode("zh", "Hant", code, false, false));
  EXPECT_EQ(code, 1028u);
  EXPECT_TRUE(
      VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode("es", nullptr, code, false, false));
  EXPECT_EQ(code, 3082u);
  EXPECT_FALSE(VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(nullptr, "gb", code, true, true));
  EXPECT_EQ(code, kDialectNotFound);
}

TEST(VIntlMgrDialects, CodesToTags) {
  VString s;
  EXPECT_TRUE(VIntlMgr::GetBCP47LanguageCode(1033, s));
  EXPECT_EQ(to_string(s), "en-US");
  EXPECT_TRUE(VIntlMgr::GetBCP47LanguageCode(3082, s));
  EXPECT_EQ(to_string(s), "es");
  EXPECT_TRUE(VIntlMgr::GetBCP47LanguageCode(1028, s));
  EXPECT_EQ(to_string(s), "zh-TW");
  EXPECT_FALSE(VIntlMgr::GetBCP47LanguageCode(6156, s));
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_TRUE(VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(2052, s, '_'));
  EXPECT_EQ(to_string(s), "zh_Hans");
  EXPECT_TRUE(VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(2057, s, '-'));
  EXPECT_EQ(to_string(s), "en-gb");
  EXPECT_TRUE(VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(1033, s, '-'));
  EXPECT_EQ(to_string(s), "en");
  EXPECT_FALSE(VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(6156, s, '-'));
}

// Every row's tag leads back to a row with the same tag; it leads back to
// the row itself unless an earlier row has the same language and sub-tag.
TEST(VIntlMgrDialects, TagRoundTripsOverTheWholeTable) {
  std::vector<DialectCode> codes;
  VIntlMgr::GetAllDialects(codes);
  std::set<DialectCode> notBack;
  for (DialectCode code : codes) {
    VString tag;
    ASSERT_TRUE(VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(code, tag, '-')) << code;
    DialectCode back = 0;
    ASSERT_TRUE(VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(tag, back, false, false))
        << to_string(tag);
    VString again;
    ASSERT_TRUE(VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(back, again, '-'));
    EXPECT_EQ(to_string(again), to_string(tag)) << code;
    if (back != code) notBack.insert(code);
  }
  const std::set<DialectCode> expected = {8192, 11264, 2066, 2107, 3131, 5179, 7227};
  EXPECT_EQ(notBack, expected);
}

TEST(VIntlMgrDialects, CompareLanguageTags) {
  struct Case {
    const char* a;
    const char* b;
    int32 level;
  };
  const Case cases[] = {
      {"fr-CA", "fr", 3}, {"fr", "fr-CA", 2}, {"fr-CA", "fr-BE", 1}, {"en", "xx", -1},
      {"xx", "en", -1},   {"fr", "FR", 4},    {"en-GB", "fr-FR", 0}, {"en", "fr", 0},
      {"de_CH", "de", 0},  // only "-" separates parts here
  };
  for (const Case& c : cases)
    EXPECT_EQ(VIntlMgr::Compare2RFC3066LanguageCodes(VString(c.a), VString(c.b)), c.level)
        << c.a << " " << c.b;
}

TEST(VIntlMgrDialects, LanguageNames) {
  struct Case {
    const char* name;
    bool found;
    DialectCode code;
  };
  const Case cases[] = {{"English", true, 1033},
                        {"french", true, 1036},
                        {"GERMAN", true, 1031},
                        // the table spells this one capitalised
                        {"sami", true, 1083},
                        {"klingon", false, 99},
                        {"", false, 99}};
  for (const Case& c : cases) {
    DialectCode code = 99;
    EXPECT_EQ(VIntlMgr::GetDialectCodeWithISOLanguageName(VString(c.name), code), c.found)
        << c.name;
    EXPECT_EQ(code, c.code) << c.name;
  }
}

TEST(VIntlMgrDialects, MacLanguagesScriptsAndDirection) {
  EXPECT_EQ(VIntlMgr::MAC_LanguageCodeToDialectCode(1), 1036u);
  EXPECT_EQ(VIntlMgr::MAC_LanguageCodeToDialectCode(33), 2052u);
  EXPECT_EQ(VIntlMgr::MAC_LanguageCodeToDialectCode(141), 1078u);
  EXPECT_EQ(VIntlMgr::MAC_LanguageCodeToDialectCode(0), 1033u);
  EXPECT_EQ(VIntlMgr::MAC_LanguageCodeToDialectCode(16), 1033u);
  EXPECT_EQ(VIntlMgr::MAC_LanguageCodeToDialectCode(-5), 1033u);

  struct Script {
    DialectCode code;
    int32 script;
  };
  const Script scripts[] = {{1025, 5},  {16385, 5}, {1041, 1},  {1028, 2},  {4100, 2},  {3076, 3},
                            {2066, 4},  {1037, 6},  {1032, 7},  {1065, 12}, {1048, 13}, {1054, 14},
                            {1066, 15}, {1055, 16}, {1080, 11}, {4122, 10}, {7194, 8},  {6170, 9},
                            {1033, 0},  {20490, 0}, {1067, -1}, {0, -1}};
  for (const Script& s : scripts)
    EXPECT_EQ(VIntlMgr::DialectCodeToScriptCode(s.code), s.script) << s.code;

  for (DialectCode rtl : {1025u, 3073u, 1037u, 1056u, 1065u})
    EXPECT_TRUE(VIntlMgr::IsRightToLeftDialect(rtl));
  for (DialectCode ltr : {1033u, 1041u, 1036u}) EXPECT_FALSE(VIntlMgr::IsRightToLeftDialect(ltr));
}

TEST(VIntlMgrDialects, SystemDialectFromTheLocaleVariables) {
  struct Case {
    platform::LocaleEnvironment env;
    DialectCode first;
    std::vector<DialectCode> all;
  };
  const Case cases[] = {
      {Lang("fr_CA.UTF-8"), 3084, {3084}},
      {Lang("de_DE@euro"), 1031, {1031}},
      {Lang("C"), 1033, {1033}},
      {Lang(""), 1033, {}},
      {{"sv:de_AT", "", "", "fr_FR"}, 1053, {1053, 3079}},
      {{"", "it_IT", "fr_FR", "de_DE"}, 1040, {1040}},
      {{"", "", "es_MX", "de_DE"}, 2058, {2058}},
      {{"xx:POSIX:nl", "", "", ""}, 1033, {1033, 1033, 1043}},
  };
  for (const Case& c : cases) {
    StLocaleEnvironment env(c.env);
    EXPECT_EQ(VIntlMgr::GetSystemUIDialectCode(), c.first) << c.env.fLang << c.env.fLanguage;
    std::vector<DialectCode> all = {5};
    VIntlMgr::GetSystemUIDialectCodes(all);
    EXPECT_EQ(all, c.all) << c.env.fLang << c.env.fLanguage;
  }
  {
    StLocaleEnvironment env(Lang("ja_JP.UTF-8"));
    EXPECT_TRUE(VIntlMgr::IsSystemUIDialectIdeographic());
  }
  {
    StLocaleEnvironment env(Lang("en_GB.UTF-8"));
    EXPECT_FALSE(VIntlMgr::IsSystemUIDialectIdeographic());
  }
}

TEST(VIntlMgrDialects, ResolveKeepsRealCodesAndCachesTheSystemOne) {
  EXPECT_EQ(VIntlMgr::ResolveDialectCode(1036), 1036u);
  EXPECT_EQ(VIntlMgr::ResolveDialectCode(6156), 6156u);
  DialectCode system = VIntlMgr::ResolveDialectCode(kDialectSystem);
  EXPECT_TRUE(VIntlMgr::IsDialectCode(system) || system == kDialectEnglishUS);
  EXPECT_EQ(VIntlMgr::ResolveDialectCode(kDialectSystemAlt), system);
  // Resolved once per process: later changes of the variables do not count.
  StLocaleEnvironment env(Lang(system == 1041 ? "fr_FR" : "ja_JP"));
  EXPECT_EQ(VIntlMgr::ResolveDialectCode(kDialectNotFound), system);
}

TEST(VIntlMgrDialects, LocalizationFolderCandidates) {
  struct Case {
    DialectCode dialect;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {1036, {"fr", "fr_FR", "French"}},
      // 'en_GB' finds what 'en_gb' finds: tried once.
      {2057, {"en-gb", "en_gb", "en", "English"}},
      {2052, {"zh-Hans", "zh_Hans", "zh", "zh_CN", "Chinese"}},
      {94, {"am", "Amharic"}},
      {6156, {}},
  };
  for (const Case& c : cases) {
    std::vector<VString> names;
    VIntlMgr::GetLocalizationFolderNames(c.dialect, names);
    std::vector<std::string> got;
    for (const VString& n : names) got.push_back(to_string(n));
    EXPECT_EQ(got, c.names) << c.dialect;
  }
}

TEST(VIntlMgrDialects, LocalizationFoldersMatchWithoutCase) {
  test::TempFolder temp;
  temp.MakeFolder("French.lproj");
  temp.MakeFolder("FR.lproj");
  temp.MakeFolder("fr_fr.LPROJ");
  temp.MakeFolder("de.lproj");
  temp.Write("fr_FR.lproj.txt", "not a folder");
  temp.Write("French.lproj/Localizable.strings", "\"a\" = \"b\";");
  temp.Write("FR.lproj/Other.strings", "");

  std::vector<VString> found = {VString("kept")};
  ASSERT_TRUE(
      VIntlMgr::GetLocalizationFoldersWithDialect(1036, VString(temp.Path().c_str()), found));
  std::vector<std::string> got;
  for (const VString& f : found) got.push_back(to_string(f));
  const std::vector<std::string> expected = {"kept", temp.Path("FR.lproj"),
                                             temp.Path("fr_fr.LPROJ"), temp.Path("French.lproj")};
  EXPECT_EQ(got, expected);

  found.clear();
  EXPECT_FALSE(
      VIntlMgr::GetLocalizationFoldersWithDialect(1041, VString(temp.Path().c_str()), found));
  EXPECT_FALSE(VIntlMgr::GetLocalizationFoldersWithDialect(1036, VString(""), found));
  EXPECT_FALSE(VIntlMgr::GetLocalizationFoldersWithDialect(
      1036, VString(temp.Path("missing").c_str()), found));
  EXPECT_TRUE(found.empty());

  VString path;
  EXPECT_TRUE(VIntlMgr::GetLocalizationFilePath(VString(temp.Path().c_str()),
                                                VString("Localizable.strings"), 1036, path));
  EXPECT_EQ(to_string(path), temp.Path("French.lproj/Localizable.strings"));
  EXPECT_TRUE(VIntlMgr::GetLocalizationFilePath(VString(temp.Path().c_str()),
                                                VString("Other.strings"), 1036, path));
  EXPECT_EQ(to_string(path), temp.Path("FR.lproj/Other.strings"));
  EXPECT_FALSE(VIntlMgr::GetLocalizationFilePath(VString(temp.Path().c_str()),
                                                 VString("Missing.strings"), 1036, path));
  EXPECT_TRUE(path.IsEmpty());
}

}  // namespace
}  // namespace zeft
