#include "platform/SystemFolders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/MainBundle.h"
#include "platform/UserEnvironment.h"
#include "support/TempFolder.h"

namespace zeft::platform {
namespace {

using zeft::test::TempFolder;

class SystemFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fEnvironment.fHome = fFolder.MakeFolder("home");
    SetUserEnvironmentForTesting(&fEnvironment);
  }
  void TearDown() override { SetUserEnvironmentForTesting(nullptr); }

  std::string Folder(SystemFolderKind kind) {
    std::string path;
    PathError result = GetSystemFolder(kind, false, path);
    return result.Failed() ? "error " + std::to_string(result.fCode) : path;
  }

  TempFolder fFolder;
  UserEnvironment fEnvironment;
};

TEST_F(SystemFoldersTest, KindsFollowTheXdgConventions) {
  const std::string home = fFolder.Path("home");
  struct Case {
    SystemFolderKind kind;
    std::string unset;  // with HOME alone
    std::string set;    // with every variable set
  };
  const Case cases[] = {
      {SystemFolderKind::kHome, home, home},
      {SystemFolderKind::kTemporary, "/tmp", "/var/tmp/mine"},
      {SystemFolderKind::kUserData, home + "/.local/share", "/data"},
      {SystemFolderKind::kUserCaches, home + "/.cache", "/caches"},
      {SystemFolderKind::kUserConfiguration, home + "/.config", "/config"},
      {SystemFolderKind::kDocuments, home + "/Documents", home + "/Documents"},
      {SystemFolderKind::kDesktop, home + "/Desktop", home + "/Desktop"},
      {SystemFolderKind::kSharedData, "/usr/local/share", "/usr/local/share"},
      {SystemFolderKind::kSharedCaches, "/var/cache", "/var/cache"},
      {SystemFolderKind::kApplications, "/opt", "/opt"},
  };
  for (const Case& c : cases) EXPECT_EQ(Folder(c.kind), c.unset) << int(c.kind);

  fEnvironment = UserEnvironment{home + "/", "/data/", "/caches", "/config", "/var/tmp/mine/", ""};
  SetUserEnvironmentForTesting(&fEnvironment);
  for (const Case& c : cases) EXPECT_EQ(Folder(c.kind), c.set) << int(c.kind);

  // Relative values are no base folders.
  fEnvironment = UserEnvironment{home, "data", "./caches", "config", "tmp", ""};
  SetUserEnvironmentForTesting(&fEnvironment);
  for (const Case& c : cases) EXPECT_EQ(Folder(c.kind), c.unset) << int(c.kind);

  std::string executableFolder = GetExecutablePath();
  executableFolder.erase(executableFolder.rfind('/'));
  EXPECT_EQ(Folder(SystemFolderKind::kExecutableFolder), executableFolder);
}

TEST_F(SystemFoldersTest, UserDirectoriesComeFromUserDirsDirs) {
  const std::string home = fFolder.Path("home");
  fFolder.Write("home/.config/user-dirs.dirs",
                "# written by xdg-user-dirs-update\n"
                "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n"
                "XDG_DOCUMENTS_DIR=\"$HOME/first\"\n"
                "  XDG_DOCUMENTS_DIR=\"/srv/My \\\"Docs\\\"/\"\n"
                "XDG_DOWNLOAD_DIR=\"relative/ignored\"\n");
  EXPECT_EQ(Folder(SystemFolderKind::kDesktop), home + "/Bureau");
  EXPECT_EQ(Folder(SystemFolderKind::kDocuments), "/srv/My \"Docs\"");

  // Values that are neither under $HOME nor absolute, or unterminated, are
  // ignored.
  fFolder.Write("home/.config/user-dirs.dirs",
                "XDG_DESKTOP_DIR=\"Bureau\"\nXDG_DOCUMENTS_DIR=\"$HOME/open\n");
  EXPECT_EQ(Folder(SystemFolderKind::kDesktop), home + "/Desktop");
  EXPECT_EQ(Folder(SystemFolderKind::kDocuments), home + "/Documents");
}

TEST_F(SystemFoldersTest, CreateMakesPrivateFolders) {
  fEnvironment.fCacheHome = fFolder.Path("deep/er/cache");
  SetUserEnvironmentForTesting(&fEnvironment);
  std::string path;
  ASSERT_FALSE(GetSystemFolder(SystemFolderKind::kUserCaches, true, path).Failed());
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  fFolder.Write("file", "in the way");
  fEnvironment.fDataHome = fFolder.Path("file/data");
  SetUserEnvironmentForTesting(&fEnvironment);
  PathError failed = GetSystemFolder(SystemFolderKind::kUserData, true, path);
  EXPECT_EQ(failed.fCode, ENOTDIR);
  EXPECT_EQ(failed.fPath, fFolder.Path("file/data"));
}

}  // namespace
}  // namespace zeft::platform
