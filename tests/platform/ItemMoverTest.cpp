#include "platform/ItemMover.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "FileTreeMaker.h"
#include "platform/TreeDeleter.h"
#include "support/TempFolder.h"

namespace zeft::platform {
namespace {

using zeft::test::Listing;
using zeft::test::TempFolder;

struct stat StatusOf(const std::string& path) {
  struct stat info = {};
  ::lstat(path.c_str(), &info);
  return info;
}

bool Exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

// A scratch folder on another file system than /tmp: /dev/shm when it is one.
class OtherDevice {
 public:
  // Read-only folders moved in need the forced delete.
  ~OtherDevice() {
    if (!fFolder.Path().empty()) DeleteTree(fFolder.Path(), true);
  }
  // Empty when there is no such file system.
  std::string Path() const {
    if (fFolder.Path().empty() || StatusOf(fFolder.Path()).st_dev == StatusOf("/tmp").st_dev)
      return {};
    return fFolder.Path();
  }

 private:
  TempFolder fFolder{"/dev/shm"};
};

class ItemMoverTest : public ::testing::Test {
 protected:
  void TearDown() override { DeleteTree(fFolder.Path(), true); }
  TempFolder fFolder;
};

TEST_F(ItemMoverTest, RenameKeepsTheItem) {
  const std::string file = fFolder.Write("a/file", "data");
  const ino_t inode = StatusOf(file).st_ino;
  ASSERT_FALSE(MoveItem(file, fFolder.Path("b-file")).Failed());
  EXPECT_EQ(StatusOf(fFolder.Path("b-file")).st_ino, inode);
  EXPECT_FALSE(Exists(file));

  ASSERT_FALSE(MoveItem(fFolder.Path("a"), fFolder.Path("Name_old0001.app")).Failed());
  EXPECT_TRUE(Exists(fFolder.Path("Name_old0001.app")));
}

TEST_F(ItemMoverTest, DestinationRulesAreKept) {
  fFolder.Write("src/one", "1");
  fFolder.Write("dst/two", "2");
  fFolder.Write("file", "f");
  const std::string source = fFolder.Path("src");
  const std::string destination = fFolder.Path("dst");
  struct Case {
    const char* name;
    std::string from, to;
    bool replace;
    int code;
  };
  const Case cases[] = {
      {"existing destination", source, destination, false, EEXIST},
      {"onto itself", source, source + "/", true, EINVAL},
      {"into itself", source, source + "/inner", false, EINVAL},
      {"over the folder holding it", fFolder.Path("src/one"), source, true, EINVAL},
      {"missing source", fFolder.Path("missing"), fFolder.Path("x"), false, ENOENT},
      {"missing destination folder", fFolder.Path("file"), fFolder.Path("none/x"), false, ENOENT},
  };
  const std::string before = Listing(fFolder.Path());
  for (const Case& c : cases) {
    CopyOptions options;
    options.fReplace = c.replace;
    EXPECT_EQ(MoveItem(c.from, c.to, options).fCode, c.code) << c.name;
    EXPECT_EQ(Listing(fFolder.Path()), before) << c.name;
  }

  CopyOptions replace;
  replace.fReplace = true;
  ASSERT_FALSE(MoveItem(source, destination, replace).Failed());
  EXPECT_TRUE(Exists(destination + "/one"));
  EXPECT_FALSE(Exists(destination + "/two"));
  EXPECT_FALSE(Exists(source));
  ASSERT_FALSE(MoveItem(fFolder.Path("file"), destination + "/one", replace).Failed());
  EXPECT_EQ(zeft::test::RunCommand("cat " + destination + "/one"), "f");
}

TEST_F(ItemMoverTest, MoveAcrossFileSystemsCopiesThenDeletes) {
  OtherDevice other;
  if (other.Path().empty()) GTEST_SKIP() << "/dev/shm is on the same file system as /tmp";
  zeft::test::MakeBundleTree(fFolder, "Old.app");
  const std::string source = fFolder.Path("Old.app");
  const std::string listing = Listing(source);
  const std::string destination = other.Path() + "/Old.app";

  PathError moved = MoveItem(source, destination);

  ASSERT_FALSE(moved.Failed()) << moved.fCode << " " << moved.fPath;
  EXPECT_FALSE(Exists(source));
  EXPECT_EQ(Listing(destination), listing);

  // Back again, replacing an item there, stopped half-way: both stay whole.
  fFolder.Write("Old.app", "a file in the way");
  CopyOptions stop;
  stop.fReplace = true;
  stop.fProgress = [](uint64_t bytes) { return bytes < 1024 * 1024; };
  EXPECT_EQ(MoveItem(destination, source, stop).fCode, ECANCELED);
  EXPECT_EQ(Listing(destination), listing);
  EXPECT_EQ(zeft::test::RunCommand("cat " + source), "a file in the way");
  stop.fProgress = nullptr;
  ASSERT_FALSE(MoveItem(destination, source, stop).Failed());
  EXPECT_EQ(Listing(source), listing);
  EXPECT_FALSE(Exists(destination));
}

}  // namespace
}  // namespace zeft::platform
