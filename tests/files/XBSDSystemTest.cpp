// Finding an executable along a search path, and making symbolic links.
#include "files/mac/XBSDSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "files/VFilePath.h"
#include "support/ErrorTestSupport.h"
#include "support/StringTestSupport.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

// A scratch folder with programs and look-alikes in two search folders.
class XBSDSystemSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    fFirst = fFolder.MakeFolder("first");
    fSecond = fFolder.MakeFolder("second");
    MakeFile("first/tool", 0755);
    MakeFile("second/tool", 0755);
    MakeFile("second/only-second", 0755);
    MakeFile("first/plain", 0644);
    MakeFile("second/plain", 0755);
    MakeFile("first/others-only", 0001);
    fFolder.MakeFolder("first/folder");
    fSearch = fFirst + ":" + fSecond;
  }

  void MakeFile(const std::string& relative, mode_t mode) {
    const std::string path = fFolder.Write(relative, "#!/bin/sh\n");
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
  }

  // The POSIX path found, or "" when none.
  std::string Search(const char* searchPath, const char* name) {
    VFilePath path(VString("Root:stale"));
    if (!XBSDSystem::SearchExecutablePathIn(searchPath, VString(name), path)) {
      EXPECT_TRUE(path.IsEmpty());
      return "";
    }
    VString posix;
    path.GetPosixPath(posix);
    return to_string(posix);
  }

  test::TempFolder fFolder;
  std::string fFirst;
  std::string fSecond;
  std::string fSearch;
};

TEST_F(XBSDSystemSearch, SearchPathOrderAndRejectedCandidates) {
  EXPECT_EQ(Search(fSearch.c_str(), "tool"), fFirst + "/tool");
  EXPECT_EQ(Search(fSearch.c_str(), "only-second"), fSecond + "/only-second");
  // A file without the execute bit is passed over for the next folder.
  EXPECT_EQ(Search(fSearch.c_str(), "plain"), fSecond + "/plain");
  EXPECT_EQ(Search(fSearch.c_str(), "folder"), "");
  EXPECT_EQ(Search(fSearch.c_str(), "absent"), "");
  // Our own file with only the others' bit does not run for us.
  EXPECT_EQ(Search(fSearch.c_str(), "others-only"), "");
  // Trailing separators and empty entries.
  const std::string withSlash = fFirst + "/::" + fSecond;
  EXPECT_EQ(Search(withSlash.c_str(), "tool"), fFirst + "/tool");
  EXPECT_EQ(Search("", "tool"), "");
  EXPECT_EQ(Search(nullptr, "tool"), "");
  EXPECT_EQ(Search(fSearch.c_str(), ""), "");
  EXPECT_EQ(Search(fSearch.c_str(), std::string(1100, 'a').c_str()), "");
}

TEST_F(XBSDSystemSearch, NamesWithSlashAreResolvedAgainstTheCurrentFolder) {
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof(saved)), nullptr);
  ASSERT_EQ(chdir(fFirst.c_str()), 0);
  const std::string tool = Search(nullptr, "./tool");
  const std::string folder = Search(nullptr, "./folder");
  const std::string plain = Search(nullptr, "./plain");
  const std::string climbed = Search(nullptr, "../second/only-second");
  ASSERT_EQ(chdir(saved), 0);
  EXPECT_EQ(tool, fFirst + "/tool");
  EXPECT_EQ(folder, "");
  EXPECT_EQ(plain, "");
  EXPECT_EQ(climbed, fSecond + "/only-second");
}

TEST_F(XBSDSystemSearch, PathOfTheProcessFindsAShell) {
  VFilePath path;
  ASSERT_TRUE(XBSDSystem::SearchExecutablePath(VString("sh"), path));
  EXPECT_TRUE(path.IsFile());
}

// The bits that apply to a user who neither owns the file nor is in its
// group are the others' bits. Run in a child that drops to "nobody".
TEST_F(XBSDSystemSearch, OwnerBitsDoNotServeOtherUsers) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user in a child";
  MakeFile("first/owner-only", 0744);
  MakeFile("first/for-all", 0755);
  ASSERT_EQ(chmod(fFolder.Path().c_str(), 0755), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    VFilePath found;
    const bool ownerOnly =
        XBSDSystem::SearchExecutablePathIn(fFirst.c_str(), VString("owner-only"), found);
    const bool forAll =
        XBSDSystem::SearchExecutablePathIn(fFirst.c_str(), VString("for-all"), found);
    _exit(!ownerOnly && forAll ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "the child could not drop its privileges";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(XBSDSystem, CreateSymbolicLinkRaisesThePosixError) {
  test::TempFolder folder;
  const std::string link = folder.Path("link");
  EXPECT_EQ(XBSDSystem::CreateSymbolicLink("target", link.c_str()), VE_OK);
  char contents[16] = {};
  EXPECT_EQ(readlink(link.c_str(), contents, sizeof(contents) - 1), 6);
  EXPECT_STREQ(contents, "target");

  test::ErrorCollector errors;
  const VError again = XBSDSystem::CreateSymbolicLink("target", link.c_str());
  EXPECT_EQ(again, MakeVError(kComponentPosix, EEXIST));
  EXPECT_TRUE(test::HasError(errors.Errors(), MakeVError(kComponentPosix, EEXIST)));
}

}  // namespace
}  // namespace zeft
