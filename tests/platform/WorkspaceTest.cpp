#include "platform/Workspace.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/UserEnvironment.h"
#include "support/TempFolder.h"

namespace zeft::platform {
namespace {

using zeft::test::TempFolder;

TEST(Workspace, PackagesAreFoldersHoldingAnInfoPlist) {
  TempFolder folder;
  folder.Write("App.app/Contents/Info.plist", "<plist/>");
  folder.Write("Plain/Contents/Resources/x", "x");
  folder.MakeFolder("Odd.app/Contents/Info.plist");
  folder.Write("File.app", "not a folder");
  ::symlink("App.app", folder.Path("Link.app").c_str());
  struct Case {
    const char* name;
    bool package;
  };
  const Case cases[] = {{"App.app", true},  {"Link.app", true},  {"Plain", false},
                        {"Odd.app", false}, {"File.app", false}, {"Missing.app", false}};
  for (const Case& c : cases) EXPECT_EQ(IsPackage(folder.Path(c.name)), c.package) << c.name;
}

TEST(Workspace, RevealWithoutADesktopDoesNothing) {
  TempFolder folder;
  const std::string file = folder.Write("file", "f");
  UserEnvironment environment;
  environment.fHome = folder.Path();
  SetUserEnvironmentForTesting(&environment);
  EXPECT_EQ(RevealItem(file), ENOTSUP);
  environment.fDisplay = ":99";
  SetUserEnvironmentForTesting(&environment);
  EXPECT_EQ(RevealItem(folder.Path("missing")), ENOENT);
  SetUserEnvironmentForTesting(nullptr);
}

}  // namespace
}  // namespace zeft::platform
