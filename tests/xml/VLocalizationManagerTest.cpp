// The localization manager: XLIFF files chosen by language and platform,
// strings files in their encodings, look-ups, reloads after changes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VString.h"
#include "files/FileTestSupport.h"
#include "files/VFolder.h"
#include "support/StringTestSupport.h"
#include "support/TempFolder.h"
#include "values/VValueBag.h"
#include "xml/VLocalizationManager.h"

namespace zeft {

using namespace toolbox_error;
namespace {

// The error component of an application built on the toolbox.
constexpr uint32 kApplicationComponent = FourCC("UPNV");

using test::FileAt;
using test::PosixFilePath;
using test::TempFolder;
using test::Text;

VRefPtr<VFolder> FolderAt(const std::string& posix) {
  return VRefPtr<VFolder>(new VFolder(PosixFilePath(posix + "/")), kAdoptRef);
}

std::string Xliff(const std::string& files) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><xliff version=\"1.2\">" + files + "</xliff>";
}

std::string File(const std::string& language, const std::string& body) {
  const std::string attribute = language.empty() ? "" : " target-language=\"" + language + "\"";
  return "<file original=\"t\"" + attribute + "><body>" + body + "</body></file>";
}

std::string Unit(const std::string& resname, const std::string& text,
                 const std::string& extra = "") {
  return "<trans-unit resname=\"" + resname + "\"" + extra + "><source>" + text +
         "</source></trans-unit>";
}

std::u16string Lookup(VLocalizationManager& manager, const char* key) {
  VString text("(none)");
  manager.LocalizeStringWithKey(VString(key), text);
  return Text(text);
}

void SetModificationTime(const std::string& path, time_t seconds) {
  struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimes(path.c_str(), times), 0);
}

class VLocalizationManagerTest : public ::testing::Test {
 protected:
  VError Load(const std::string& name, const std::string& content, bool avoidCheck = false) {
    return fManager->LoadFile(FileAt(fTemp.Write(name, content)).Get(), avoidCheck);
  }

  TempFolder fTemp;
  VRefPtr<VLocalizationManager> fManager{new VLocalizationManager(kDialectEnglishUS), kAdoptRef};
};

TEST(VLocalizationLanguageTest, TargetLanguageDecidesWhichFilesAreTakenAndWhichReplace) {
  // English (United Kingdom): its tag has a region ("en-gb"), which US
  // English, the language's main dialect, has not.
  constexpr DialectCode kEnglishUK = 2057;
  TempFolder temp;
  VRefPtr<VLocalizationManager> manager(new VLocalizationManager(kEnglishUK), kAdoptRef);
  auto load = [&](const std::string& name, const std::string& content) {
    return manager->LoadFile(FileAt(temp.Write(name, content)).Get(), false);
  };
  struct Case {
    const char* language;
    const char16_t* expected;  // after "first" was loaded by an en-GB file
  };
  const Case cases[] = {
      {"en-GB", u"replaced"}, {"en", u"first"}, {"en-US", u"first"}, {"fr", u"first"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    manager->ClearLocalizations();
    ASSERT_EQ(load("a.xlf", Xliff(File("en-GB", Unit("k", "first")))), VE_OK);
    ASSERT_EQ(load("b.xlf", Xliff(File(c.language, Unit("k", "replaced") + Unit("new", "n")))),
              VE_OK);
    EXPECT_EQ(Lookup(*manager, "k"), c.expected);
    EXPECT_EQ(Lookup(*manager, "new"), std::string(c.language) == "fr" ? u"(none)" : u"n");
  }
  // A file without a language follows the decision of the last one.
  ASSERT_EQ(load("c.xlf", Xliff(File("fr", "") + File("", Unit("after-fr", "x")))), VE_OK);
  EXPECT_EQ(Lookup(*manager, "after-fr"), u"(none)");
  ASSERT_EQ(load("d.xlf", Xliff(File("en", "") + File("", Unit("after-en", "y")))), VE_OK);
  EXPECT_EQ(Lookup(*manager, "after-en"), u"y");
}

TEST_F(VLocalizationManagerTest, PlatformTagsIncludeAndExcludeUnits) {
  struct Case {
    const char* attribute;
    bool stored;
  };
  const Case cases[] = {
      {" zq:includeIf=\"win linux\"", false}, {" zq:includeIf=\"mac win\"", true},
      {" zq:excludeIf=\"win\"", true},        {" zq:excludeIf=\"MAC\"", false},
      {" zq:excludeIf=\"ios tvos\"", true},   {" zq:includeIf=\"  mac  \"", true},
  };
  std::string units;
  for (size_t i = 0; i < std::size(cases); ++i) {
    units += Unit("u" + std::to_string(i), "t", cases[i].attribute);
  }
  ASSERT_EQ(Load("p.xlf", Xliff(File("en-US", units))), VE_OK);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].attribute);
    EXPECT_EQ(Lookup(*fManager, ("u" + std::to_string(i)).c_str()),
              cases[i].stored ? u"t" : u"(none)");
  }
}

TEST_F(VLocalizationManagerTest, UnitsAreStoredUnderCodesGroupsAndObjectURLs) {
  const std::string body =
      "<group id=\"3\" resname=\"G\">"
      "<trans-unit id=\"1\" resname=\"one\"><source>s1</source><target/></trans-unit>"
      "<trans-unit id=\"2\" resname=\"two\"><source>s2</source><target> </target></trans-unit>"
      "<trans-unit id=\"5\"><source>s5</source><target>t5</target></trans-unit>"
      "<trans-unit id=\"0\" resname=\"zero\"><source>s0</source></trans-unit>"
      "</group>"
      "<group resname=\"[P]\"><group resname=\"H\">" +
      Unit("U", "in-object") +
      "</group></group>"
      "<group resname=\"Outer\"><group resname=\"Inner\"><trans-unit id=\"7\" resname=\"V\">"
      "<source>nested</source></trans-unit></group></group>";
  ASSERT_EQ(Load("g.xlf", Xliff(File("en-US", body))), VE_OK);

  EXPECT_EQ(Lookup(*fManager, "one"), u"s1");
  EXPECT_EQ(Lookup(*fManager, "two"), u" ");
  VString text;
  EXPECT_TRUE(fManager->LocalizeStringWithSTRSharpCodes(STRSharpCodes(3, 5), text));
  EXPECT_EQ(Text(text), u"t5");
  EXPECT_FALSE(fManager->LocalizeStringWithSTRSharpCodes(STRSharpCodes(3, 0), text));
  std::vector<VString> strings;
  // Units 1, 2 and 5: the run stops at the missing 3.
  EXPECT_TRUE(fManager->LocalizeGroupOfStringsWithAStrSharpID(3, strings));
  EXPECT_EQ(strings.size(), 2u);
  EXPECT_TRUE(fManager->GetOrderedStringsOfGroup(VString("G"), strings));
  ASSERT_EQ(strings.size(), 4u);
  EXPECT_EQ(strings[0], "s0");
  EXPECT_EQ(strings[3], "t5");

  EXPECT_EQ(Lookup(*fManager, "[P]#}[{@H#}[{@U"), u"in-object");
  EXPECT_EQ(Lookup(*fManager, "U"), u"(none)");
  EXPECT_FALSE(fManager->GetOrderedStringsOfGroup(VString("H"), strings));
  EXPECT_EQ(Lookup(*fManager, "V"), u"nested");
  for (const char* group : {"Inner", "Outer"}) {
    EXPECT_TRUE(fManager->GetOrderedStringsOfGroup(VString(group), strings)) << group;
  }
}

TEST_F(VLocalizationManagerTest, UnitTextComesFromItsOwnSourceOrTarget) {
  struct Case {
    const char* content;
    const char16_t* text;
  };
  const Case cases[] = {
      {"<source>s</source><target>t</target>", u"t"},
      {"<target>t</target><source>s</source>", u"t"},
      {"<source/><target>t</target>", u"t"},
      {"<source>s</source><target/>", u"s"},
      {"<source>a &amp; b</source>", u"a & b"},
      {"<source>s</source><note>n</note>", u"s"},
      {"<source>s</source><alt-trans><target>x</target></alt-trans>", u"s"},
      {"<source>s</source><alt-trans><source>y</source></alt-trans><target>t</target>", u"t"},
  };
  std::string body;
  for (size_t i = 0; i < std::size(cases); ++i) {
    body +=
        "<trans-unit resname=\"k" + std::to_string(i) + "\">" + cases[i].content + "</trans-unit>";
  }
  ASSERT_EQ(Load("texts.xlf", Xliff(File("en-US", body))), VE_OK);
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(Lookup(*fManager, ("k" + std::to_string(i)).c_str()), cases[i].text)
        << cases[i].content;
  }
}

TEST_F(VLocalizationManagerTest, KeysMatchExactlyAmongThousands) {
  // Keys differing in case, in one middle unit, or only by a longer tail
  // stay apart; long object URLs sharing their ends too.
  std::string body;
  for (int i = 0; i < 3000; ++i) {
    const std::string n = std::to_string(i);
    body += Unit("Key_" + n, "lower " + n) + Unit("KEY_" + n, "upper " + n);
    body += "<group resname=\"[Window]\"><group resname=\"Pane" + n + "Pane\">" +
            Unit("Button_Label", "url " + n) + "</group></group>";
  }
  body += Unit("K\xC3\xA9y", "accented");
  ASSERT_EQ(Load("many.xlf", Xliff(File("en-US", body))), VE_OK);

  for (int i = 0; i < 3000; i += 7) {
    const std::string n = std::to_string(i);
    EXPECT_EQ(Lookup(*fManager, ("Key_" + n).c_str()), Text(VString(("lower " + n).c_str())));
    EXPECT_EQ(Lookup(*fManager, ("KEY_" + n).c_str()), Text(VString(("upper " + n).c_str())));
    const std::string url = "[Window]#}[{@Pane" + n + "Pane#}[{@Button_Label";
    EXPECT_EQ(Lookup(*fManager, url.c_str()), Text(VString(("url " + n).c_str())));
  }
  EXPECT_EQ(Lookup(*fManager, "Key_3000"), u"(none)");
  EXPECT_EQ(Lookup(*fManager, "key_1"), u"(none)");
  EXPECT_EQ(Lookup(*fManager, "Key_"), u"(none)");
  EXPECT_EQ(Lookup(*fManager, "Key"), u"(none)");
  VString accented;
  ASSERT_TRUE(fManager->LocalizeStringWithKey(VString(u"K\u00E9y"), accented));
  EXPECT_EQ(Text(accented), u"accented");
}

TEST_F(VLocalizationManagerTest, GroupBagsAreKeptByResnameAndRestype) {
  const std::string body =
      "<group resname=\"Menu\" restype=\"menu\" id=\"9\">"
      "<trans-unit id=\"1\" resname=\"open\"><source>Open</source>"
      "<alt-trans><target>Ouvrir</target></alt-trans></trans-unit></group>";
  ASSERT_EQ(Load("b.xlf", Xliff(File("en-US", body))), VE_OK);
  VRefPtr<VValueBag> bag(fManager->RetainGroupBag(VString("MENU")), kAdoptRef);
  ASSERT_TRUE(bag);
  std::vector<VRefPtr<VValueBag>> bags;
  fManager->RetainGroupBagsByRestype(VString("menu"), bags);
  ASSERT_EQ(bags.size(), 1u);
  EXPECT_EQ(bags[0].Get(), bag.Get());
  EXPECT_EQ(Lookup(*fManager, "open"), u"Open");
}

TEST_F(VLocalizationManagerTest, StringsFilesInUTF16WithMarkAndInASCII) {
  // UTF-16 big-endian with its mark, lines ended by CR LF.
  std::u16string text =
      u"\uFEFF\"title\" = \"Caf\u00e9\";\r\n/* comment */\r\n\"both\" = \"strings\";\r\n";
  std::string utf16;
  for (char16_t c : text) {
    utf16 += char(c >> 8);
    utf16 += char(c & 0xFF);
  }
  EXPECT_EQ(fManager->LoadFile(FileAt(fTemp.Write("a.strings", utf16)).Get(), false),
            ToolboxError(kFileCannotLoadLocalization));
  EXPECT_EQ(Lookup(*fManager, "title"), u"Caf\u00e9");

  const std::string ascii =
      "\"quoted\" = \"value\";\n"
      "a==b;\n"
      "\"nosemicolon\" = \"abcd\"\n"
      "with = two = equals;\n"
      "  plain   =   spaced  ;\n";
  fManager->LoadFile(FileAt(fTemp.Write("b.strings", ascii)).Get(), false);
  struct Case {
    const char* key;
    const char16_t* value;
  };
  const Case cases[] = {{"quoted", u"value"}, {"a", u"b"},          {"nosemicolon", u"abc"},
                        {"with", u"(none)"},  {"plain", u"spaced"}, {"both", u"strings"}};
  for (const Case& c : cases) {
    EXPECT_EQ(Lookup(*fManager, c.key), c.value) << c.key;
  }
  // The strings-file table answers its own look-up too.
  VString value;
  EXPECT_TRUE(fManager->LocalizeStringWithDotStringsKey(VString("title"), value));
  EXPECT_EQ(Text(value), u"Caf\u00e9");
}

TEST_F(VLocalizationManagerTest, ErrorMessagesAreLookedUpByComponentAndNumber) {
  ASSERT_EQ(Load("e.xlf", Xliff(File("en-US", Unit("ERR_zeft_600", "Not found.") +
                                                  Unit("ERR_UPNV_-5", "Negative.")))),
            VE_OK);
  VString text("untouched");
  EXPECT_TRUE(fManager->LocalizeErrorMessage(ToolboxError(kFileNotFound), text));
  EXPECT_EQ(Text(text), u"Not found.");
  EXPECT_TRUE(fManager->LocalizeErrorMessage(MakeVError(kApplicationComponent, -5), text));
  EXPECT_EQ(Text(text), u"Negative.");
  text = VString("untouched");
  EXPECT_FALSE(fManager->LocalizeErrorMessage(ToolboxError(601), text));
  EXPECT_EQ(Text(text), u"untouched");
}

TEST_F(VLocalizationManagerTest, LoadingRejectsWhatItCannotRead) {
  EXPECT_EQ(fManager->LoadFile(nullptr, false), ToolboxError(kInvalidParameter));
  EXPECT_EQ(fManager->LoadFile(FileAt(fTemp.Path("missing.xlf")).Get(), false),
            ToolboxError(kFileNotFound));
  EXPECT_EQ(Load("other.txt", "x"), ToolboxError(kFileCannotLoadLocalization));
  EXPECT_EQ(fManager->ScanAndLoadFolder(nullptr, false), ToolboxError(kInvalidParameter));
  EXPECT_FALSE(fManager->LoadDefaultLocalizationFolders(nullptr));
  EXPECT_FALSE(fManager->LoadDefaultLocalizationFoldersForComponentOrPlugin(
      FolderAt(fTemp.Path("nothing.app")).Get()));
  // Malformed XML keeps what was read before the error.
  EXPECT_EQ(Load("bad.xlf", Xliff(File("en-US", Unit("before", "b"))) + "<broken"), VE_OK);
  EXPECT_EQ(Lookup(*fManager, "before"), u"b");
}

TEST_F(VLocalizationManagerTest, BundleResourcesAndLanguageFoldersLoad) {
  fTemp.Write("X.app/Contents/Resources/Base.xlf", Xliff(File("fr", Unit("base", "any"))));
  auto bundle = FolderAt(fTemp.Path("X.app"));
  // No language folder: false, but the Resources strings are there.
  EXPECT_FALSE(fManager->LoadDefaultLocalizationFoldersForComponentOrPlugin(bundle.Get()));
  EXPECT_EQ(Lookup(*fManager, "base"), u"any");

  fTemp.Write("X.app/Contents/Resources/en.lproj/L.xlf", Xliff(File("en", Unit("lang", "en"))));
  fTemp.Write("X.app/Contents/Resources/fr.lproj/L.xlf", Xliff(File("fr", Unit("fr", "fr"))));
  EXPECT_TRUE(fManager->LoadDefaultLocalizationFoldersForComponentOrPlugin(bundle.Get()));
  EXPECT_EQ(Lookup(*fManager, "lang"), u"en");
  EXPECT_EQ(Lookup(*fManager, "fr"), u"(none)");
}

TEST_F(VLocalizationManagerTest, ReloadKeepsTheLanguageCheckChoiceOfEachFolder) {
  const std::string base = fTemp.Write("R/Base.xlf", Xliff(File("fr", Unit("base", "one"))));
  fTemp.Write("R/en.lproj/L.xlf", Xliff(File("en", Unit("lang", "en"))));
  SetModificationTime(base, 1000000);
  ASSERT_TRUE(fManager->LoadDefaultLocalizationFolders(FolderAt(fTemp.Path("R")).Get()));
  // The same folder again is remembered once: nothing changes.
  fManager->ScanAndLoadFolder(FolderAt(fTemp.Path("R")).Get(), true);
  EXPECT_FALSE(fManager->DoesNeedAnUpdate());

  fTemp.Write("R/Base.xlf", Xliff(File("fr", Unit("base", "two"))));
  SetModificationTime(base, 2000000);
  EXPECT_TRUE(fManager->UpdateIfNeeded());
  // Resources was first loaded without the check: its French file stays.
  EXPECT_EQ(Lookup(*fManager, "base"), u"two");
  EXPECT_EQ(Lookup(*fManager, "lang"), u"en");
  EXPECT_FALSE(fManager->DoesNeedAnUpdate());
}

TEST_F(VLocalizationManagerTest, UpdateIsNeededOnceAfterAChange) {
  const std::string path = fTemp.Write("S/a.xlf", Xliff(File("en-US", Unit("k", "v"))));
  SetModificationTime(path, 1000000);
  ASSERT_EQ(fManager->ScanAndLoadFolder(FolderAt(fTemp.Path("S")).Get(), false), VE_OK);
  EXPECT_FALSE(fManager->DoesNeedAnUpdate());
  SetModificationTime(path, 1000500);
  EXPECT_TRUE(fManager->DoesNeedAnUpdate());
  EXPECT_FALSE(fManager->DoesNeedAnUpdate());
  fTemp.Write("S/new.strings", "\"a\" = \"b\";\n");
  EXPECT_FALSE(fManager->DoesNeedAnUpdate());
  fTemp.Write("S/new.xlf", Xliff(""));
  EXPECT_TRUE(fManager->DoesNeedAnUpdate());
}

TEST_F(VLocalizationManagerTest, LookUpsFromSeveralTasksAtOnce) {
  ASSERT_EQ(Load("c.xlf", Xliff(File("en-US", Unit("ERR_zeft_600", "Not found.") +
                                                  "<group id=\"2\" resname=\"G\">"
                                                  "<trans-unit id=\"1\"><source>a</source>"
                                                  "</trans-unit></group>"))),
            VE_OK);
  // Tasks look up while one clears: the lock keeps each look-up on a whole
  // table (the thread sanitizer run checks it).
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 500; ++i) {
        VString text;
        std::vector<VString> strings;
        fManager->LocalizeErrorMessage(ToolboxError(kFileNotFound), text);
        fManager->GetOrderedStringsOfGroup(VString("G"), strings);
        fManager->LocalizeGroupOfStringsWithAStrSharpID(2, strings);
      }
    });
  }
  fManager->ClearLocalizations();
  for (std::thread& thread : threads) thread.join();
  VString text;
  EXPECT_FALSE(fManager->LocalizeErrorMessage(ToolboxError(kFileNotFound), text));
}

TEST(UpdaterLocalizationTest, EveryUpdaterErrorHasAnEnglishText) {
  VRefPtr<VLocalizationManager> manager(new VLocalizationManager(kDialectEnglishUS), kAdoptRef);
  ASSERT_TRUE(
      manager->LoadDefaultLocalizationFolders(FolderAt(std::string(ZEFT_UPDATER_RESOURCES)).Get()));
  for (int32 code : {1, 2, 3, 8, 11, 12, 13, 14, 15, 16, 17, 18, 41, 100, 101, 120}) {
    VString text;
    EXPECT_TRUE(manager->LocalizeErrorMessage(MakeVError(kApplicationComponent, code), text))
        << code;
    EXPECT_FALSE(text.IsEmpty()) << code;
  }
  EXPECT_EQ(Lookup(*manager, "MoreInformationsAvailableInLogFile"),
            u"More information is available in the log file '{LogFilePath}'");
}

}  // namespace
}  // namespace zeft
