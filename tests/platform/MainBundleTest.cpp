#include "platform/MainBundle.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/TempFolder.h"

namespace zeft::platform {
namespace {

using zeft::test::TempFolder;

const char kInfoPlist[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<plist version=\"1.0\">\n<dict>\n"
    "\t<key>CFBundleName</key>\n\t<string>Sample</string>\n"
    "\t<key>CFBundleShortVersionString</key>\n\t<string>2.3.4</string>\n"
    "\t<key>LSCount</key>\n\t<integer>3</integer>\n"
    "</dict>\n</plist>\n";

// Restores the real main bundle whatever a test did.
class MainBundleTest : public ::testing::Test {
 protected:
  void TearDown() override { SetMainBundlePathForTesting(""); }
  TempFolder fFolder;
};

TEST_F(MainBundleTest, LocatesTheNearestBundleWithAnInfoPlist) {
  struct Case {
    const char* name;
    std::vector<const char*> infoPlists;  // bundles given Contents/Info.plist
    const char* executable;
    const char* expected;
  };
  const Case cases[] = {
      {"bundle", {"Foo.app"}, "Foo.app/Contents/MacOS/Foo", "Foo.app"},
      {"no Info.plist: the executable's folder",
       {},
       "Foo.app/Contents/MacOS/Foo",
       "Foo.app/Contents/MacOS"},
      {"nested bundle wins",
       {"Outer.app", "Outer.app/Contents/Frameworks/Inner.app"},
       "Outer.app/Contents/Frameworks/Inner.app/Contents/MacOS/Inner",
       "Outer.app/Contents/Frameworks/Inner.app"},
      {"nested bundle without Info.plist: the outer one",
       {"Outer.app"},
       "Outer.app/Contents/Frameworks/Inner.app/Contents/MacOS/Inner",
       "Outer.app"},
      {"executable directly in the bundle", {"Foo.app"}, "Foo.app/Foo", "Foo.app"},
      {"not a bundle name",
       {"Foo.apps", "Foo"},
       "Foo.apps/Contents/MacOS/Foo",
       "Foo.apps/Contents/MacOS"},
      {"plain folder", {}, "bin/tool", "bin"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder tree;
    for (const char* bundle : c.infoPlists)
      tree.Write(std::string(bundle) + "/Contents/Info.plist", kInfoPlist);
    std::string executable = tree.Write(c.executable, "");
    EXPECT_EQ(LocateMainBundle(executable), tree.Path(c.expected));
  }
}

// A relative executable path is taken from the working folder: a bare name
// lives in ".", never in "/" nor nowhere.
TEST_F(MainBundleTest, RelativeExecutablePathsStartFromTheWorkingFolder) {
  fFolder.Write("Foo.app/Contents/Info.plist", kInfoPlist);
  fFolder.Write("Foo.app/Contents/MacOS/Foo", "");
  fFolder.Write("bin/tool", "");
  fFolder.Write("tool", "");
  const std::string working = std::filesystem::current_path();
  std::filesystem::current_path(fFolder.Path());
  const struct {
    const char* executable;
    const char* expected;
  } cases[] = {
      {"tool", "."},
      {"./tool", "."},
      {"bin/tool", "bin"},
      {"bin//tool", "bin"},
      {"Foo.app/Contents/MacOS/Foo", "Foo.app"},
      {"./Foo.app/Contents/MacOS/Foo", "./Foo.app"},
      {"/tool", "/"},
      {"//tool", "/"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.executable);
    EXPECT_EQ(LocateMainBundle(c.executable), c.expected);
  }
  std::filesystem::current_path(working);
}

TEST_F(MainBundleTest, InfoPlistMustBeAFile) {
  fFolder.MakeFolder("Foo.app/Contents/Info.plist");
  std::string executable = fFolder.Write("Foo.app/Contents/MacOS/Foo", "");
  EXPECT_EQ(LocateMainBundle(executable), fFolder.Path("Foo.app/Contents/MacOS"));
}

TEST_F(MainBundleTest, RealBundleIsTheTestProgramsFolder) {
  std::string executable = GetExecutablePath();
  ASSERT_FALSE(executable.empty());
  EXPECT_EQ(executable.front(), '/');
  EXPECT_TRUE(executable.ends_with("/platform_tests")) << executable;
  // The test program is not in a bundle.
  EXPECT_EQ(GetMainBundlePath(), executable.substr(0, executable.rfind('/')));
  EXPECT_EQ(GetMainBundleInfoPlistPath(), "");
  std::string value = "unchanged";
  EXPECT_FALSE(GetMainBundleInfoString("CFBundleName", value));
  EXPECT_EQ(value, "unchanged");
}

TEST_F(MainBundleTest, OverrideReadsTheGivenBundle) {
  std::string real = GetMainBundlePath();
  std::string plist = fFolder.Write("Sample.app/Contents/Info.plist", kInfoPlist);
  SetMainBundlePathForTesting(fFolder.Path("Sample.app") + "/");
  EXPECT_EQ(GetMainBundlePath(), fFolder.Path("Sample.app"));
  EXPECT_EQ(GetMainBundleInfoPlistPath(), plist);

  std::string value;
  EXPECT_TRUE(GetMainBundleInfoString("CFBundleName", value));
  EXPECT_EQ(value, "Sample");
  EXPECT_TRUE(GetMainBundleInfoString("CFBundleShortVersionString", value));
  EXPECT_EQ(value, "2.3.4");
  value = "unchanged";
  EXPECT_FALSE(GetMainBundleInfoString("LSCount", value));  // not a string
  EXPECT_FALSE(GetMainBundleInfoString("Missing", value));
  EXPECT_FALSE(GetMainBundleInfoString(nullptr, value));
  EXPECT_EQ(value, "unchanged");

  SetMainBundlePathForTesting("");
  EXPECT_EQ(GetMainBundlePath(), real);
}

TEST_F(MainBundleTest, UnusableInfoPlistAnswersFalse) {
  struct Case {
    const char* name;
    const char* contents;  // null: no Info.plist at all
  };
  const Case cases[] = {
      {"missing", nullptr},
      {"empty", ""},
      {"malformed", "<plist><dict><key>CFBundleName</key>"},
      {"array root", "<plist version=\"1.0\"><array><string>CFBundleName</string></array></plist>"},
      {"binary garbage", "bplist00\x01\x02"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder tree;
    tree.MakeFolder("Broken.app/Contents");
    if (c.contents != nullptr) tree.Write("Broken.app/Contents/Info.plist", c.contents);
    SetMainBundlePathForTesting(tree.Path("Broken.app"));
    EXPECT_EQ(GetMainBundleInfoPlistPath().empty(), c.contents == nullptr);
    std::string value;
    EXPECT_FALSE(GetMainBundleInfoString("CFBundleName", value));
  }
}

TEST_F(MainBundleTest, BundleExecutableNameIsAPlainFileName) {
  struct Case {
    const char* name;
    const char* entry;  // what follows the key, or null for no key
    const char* expected;
  };
  const Case cases[] = {
      {"plain name", "<string>Demo</string>", "Demo"},
      {"no key", nullptr, ""},
      {"not a string", "<integer>3</integer>", ""},
      {"empty", "<string></string>", ""},
      {"a path", "<string>../../Demo</string>", ""},
      {"the folder itself", "<string>.</string>", ""},
      {"the parent folder", "<string>..</string>", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string body = "<plist version=\"1.0\"><dict><key>CFBundleName</key><string>Demo</string>";
    if (c.entry != nullptr) body += std::string("<key>CFBundleExecutable</key>") + c.entry;
    body += "</dict></plist>";
    fFolder.Write("Demo.app/Contents/Info.plist", body);
    std::string error = "stale";
    EXPECT_EQ(GetBundleExecutableName(fFolder.Path("Demo.app"), error), c.expected);
    EXPECT_EQ(error, "");
    // The folder path may end with '/'.
    EXPECT_EQ(GetBundleExecutableName(fFolder.Path("Demo.app/"), error), c.expected);
  }
  std::string error;
  EXPECT_EQ(GetBundleExecutableName(fFolder.Path("Missing.app"), error), "");
  EXPECT_NE(error, "");
}

// The probe program, laid out as a bundle by zeft_add_app_bundle, reads its
// own bundle; what it prints must match what CMake wrote into Info.plist.
TEST(BundleProbe, FindsAndReadsItsOwnBundle) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen("'" ZEFT_BUNDLE_PROBE_PATH "' 2>&1", "r"),
                                             ::pclose);
  ASSERT_NE(pipe, nullptr);
  std::map<std::string, std::string> printed;
  std::string output;
  char line[4096];
  while (std::fgets(line, sizeof(line), pipe.get()) != nullptr) {
    std::string text(line);
    output += text;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    size_t equal = text.find('=');
    if (equal != std::string::npos) printed[text.substr(0, equal)] = text.substr(equal + 1);
  }
  int status = ::pclose(pipe.release());
  ASSERT_TRUE(WIFEXITED(status)) << output;
  EXPECT_EQ(WEXITSTATUS(status), 0) << output;

  EXPECT_EQ(printed["bundle"], ZEFT_BUNDLE_PROBE_BUNDLE) << output;
  EXPECT_EQ(printed["info-plist"], ZEFT_BUNDLE_PROBE_BUNDLE "/Contents/Info.plist") << output;
  EXPECT_EQ(printed["CFBundleName"], "BundleProbe") << output;
  EXPECT_EQ(printed["CFBundleExecutable"], "BundleProbe") << output;
  EXPECT_EQ(printed["CFBundleIdentifier"], "com.zeft.tests.BundleProbe") << output;
  EXPECT_EQ(printed["CFBundleShortVersionString"], "3.1.4") << output;
  // Markup characters in a value reach the program intact.
  EXPECT_EQ(printed["ZeftProbeNote"], "read from <Info.plist> & checked") << output;
}

}  // namespace
}  // namespace zeft::platform
