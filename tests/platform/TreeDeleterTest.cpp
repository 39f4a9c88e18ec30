#include "platform/TreeDeleter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "ChildProcess.h"
#include "FileTreeMaker.h"
#include "support/TempFolder.h"

namespace zeft::platform {
namespace {

using zeft::test::RunInChild;
using zeft::test::TempFolder;

bool Exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

mode_t ModeOf(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class TreeDeleterTest : public ::testing::Test {
 protected:
  // Gives the scratch folder to the ordinary user the children run as.
  void GiveToChildren() {
    zeft::test::SetTreeOwner(fFolder.Path(), zeft::test::kNobody, zeft::test::kNobody);
  }
  void TearDown() override { DeleteTree(fFolder.Path(), true); }
  TempFolder fFolder;
};

TEST_F(TreeDeleterTest, ForcedDeletionRemovesReadOnlyAndClosedFolders) {
  const std::string tree = fFolder.MakeFolder("parent/Old.app");
  fFolder.Write("parent/Old.app/Contents/sealed/file", "f");
  fFolder.Write("parent/Old.app/Contents/closed/inner/file", "f");
  std::string readOnly = fFolder.Write("parent/Old.app/Contents/read-only", "r");
  ::chmod(readOnly.c_str(), 0444);
  ::chmod(fFolder.Path("parent/Old.app/Contents/sealed").c_str(), 0500);
  ::chmod(fFolder.Path("parent/Old.app/Contents/closed").c_str(), 0);
  ::chmod(fFolder.Path("parent/Old.app/Contents/closed/inner").c_str(), 0300);
  ::chmod(fFolder.Path("parent").c_str(), 0500);
  GiveToChildren();

  // Without force an ordinary user is refused inside the sealed folders.
  int plain = RunInChild([&] { return DeleteTree(tree, false).fCode; }, true);
  EXPECT_EQ(plain, zeft::test::RunsAsNobody() ? EACCES : 0);
  if (plain != 0) {
    EXPECT_TRUE(Exists(tree));
  }

  int forced = RunInChild(
      [&] {
        PathError restore;
        PathError result = DeleteTree(tree, true, &restore);
        return result.fCode != 0 ? result.fCode : restore.fCode;
      },
      true);
  EXPECT_EQ(forced, 0);
  EXPECT_FALSE(Exists(tree));
  EXPECT_EQ(ModeOf(fFolder.Path("parent")), 0500u);  // set back
}

TEST_F(TreeDeleterTest, DeepTreesAreDeleted) {
  // Deeper than PATH_MAX allows to name, with a sealed folder far below the
  // levels the walk keeps open.
  const std::string tree = fFolder.MakeFolder("deep");
  ASSERT_TRUE(zeft::test::MakeDeepTree(tree, 300, 200, zeft::test::kNobody));
  ::chown(fFolder.Path().c_str(), zeft::test::kNobody, zeft::test::kNobody);
  EXPECT_EQ(RunInChild([&] { return DeleteTree(tree, true).fCode; }, true), 0);
  EXPECT_FALSE(Exists(tree));
}

TEST_F(TreeDeleterTest, LinksAreRemovedNeverFollowed) {
  const std::string outside = fFolder.Write("outside/kept", "k");
  const std::string tree = fFolder.MakeFolder("tree");
  ::symlink(fFolder.Path("outside").c_str(), (tree + "/folder-link").c_str());
  ::symlink(outside.c_str(), (tree + "/file-link").c_str());
  ::symlink("nowhere", (tree + "/dangling").c_str());
  ::symlink(fFolder.Path("outside").c_str(), fFolder.Path("root-link").c_str());
  ASSERT_EQ(::mkfifo((tree + "/pipe").c_str(), 0600), 0);

  EXPECT_EQ(RunInChild([&] { return DeleteTree(tree, true).fCode; }, false, 20), 0);
  EXPECT_FALSE(Exists(tree));
  ASSERT_FALSE(DeleteTree(fFolder.Path("root-link"), false).Failed());
  EXPECT_FALSE(Exists(fFolder.Path("root-link")));
  EXPECT_TRUE(Exists(outside));
}

TEST_F(TreeDeleterTest, FailuresNameTheItem) {
  EXPECT_EQ(DeleteTree(fFolder.Path("missing"), true).fCode, ENOENT);
  EXPECT_EQ(DeleteTree(fFolder.Path("missing"), true).fPath, fFolder.Path("missing"));
  EXPECT_EQ(DeleteTree("/", true).fCode, EINVAL);

  // A sealed folder of someone else: even forced, an ordinary user stops there.
  const std::string tree = fFolder.MakeFolder("tree");
  fFolder.Write("tree/a-file", "a");
  std::string foreign = fFolder.Write("tree/foreign/file", "f");
  GiveToChildren();
  ::chown(fFolder.Path("tree/foreign").c_str(), 0, 0);
  ::chmod(fFolder.Path("tree/foreign").c_str(), 0555);
  if (!zeft::test::RunsAsNobody()) GTEST_SKIP() << "needs root to hand items to another user";
  ::chmod(fFolder.Path().c_str(), 0500);  // given access for the deletion, and set back
  int code = RunInChild(
      [&] {
        PathError result = DeleteTree(tree, true);
        return result.fPath == foreign ? result.fCode : 255;
      },
      true);
  EXPECT_EQ(code, EACCES);
  EXPECT_TRUE(Exists(foreign));
  EXPECT_EQ(ModeOf(fFolder.Path()), 0500u);
}

TEST_F(TreeDeleterTest, ForcedDeletionClearsImmutableFlags) {
  const std::string tree = fFolder.MakeFolder("tree");
  std::string locked = fFolder.Write("tree/locked", "l");
  int fd = ::open(locked.c_str(), O_RDONLY);
  int flags = 0;
  bool set = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
             (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  if (fd >= 0) ::close(fd);
  if (!set) GTEST_SKIP() << "the file system or the caller cannot set the immutable flag";

  EXPECT_EQ(DeleteTree(tree, false).fCode, EPERM);
  EXPECT_TRUE(Exists(locked));
  EXPECT_FALSE(DeleteTree(tree, true).Failed());
  EXPECT_FALSE(Exists(tree));
}

}  // namespace
}  // namespace zeft::platform
