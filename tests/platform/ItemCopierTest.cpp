#include "platform/ItemCopier.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "FileTreeMaker.h"
#include "platform/FileDescriptor.h"
#include "platform/TreeDeleter.h"
#include "support/TempFolder.h"

namespace zeft::platform {
namespace {

using zeft::test::Listing;
using zeft::test::TempFolder;
using zeft::test::TreeDifferences;

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

using zeft::test::ReadWholeFile;

class ItemCopierTest : public ::testing::Test {
 protected:
  // Read-only folders go too, whoever runs the tests.
  void TearDown() override { DeleteTree(fFolder.Path(), true); }
  TempFolder fFolder;
};

TEST_F(ItemCopierTest, CopiedBundleIsIdenticalToItsSource) {
  zeft::test::MakeBundleTree(fFolder, "New.app");
  const std::string source = fFolder.Path("New.app");
  const std::string copy = fFolder.Path("Copy.app");
  uint64_t reported = 0;
  CopyOptions options;
  options.fProgress = [&](uint64_t bytes) {
    EXPECT_GE(bytes, reported);
    reported = bytes;
    return true;
  };

  PathError result = CopyItem(source, copy, options);

  ASSERT_FALSE(result.Failed()) << result.fCode << " " << result.fPath;
  EXPECT_EQ(TreeDifferences(source, copy), "");
  std::string listing = Listing(source);
  EXPECT_NE(listing.find("Contents/MacOS/App -rwsr-xr-x  981173045.1234567890"), std::string::npos)
      << listing;
  EXPECT_NE(listing.find("Contents/_CodeSignature dr-x------"), std::string::npos);
  EXPECT_EQ(Listing(copy), listing);
  char value[16] = {};
  EXPECT_EQ(::getxattr((copy + "/Contents/Info.plist").c_str(), "user.zeft.note", value, 16), 4);
  EXPECT_EQ(::getxattr((copy + "/Contents/Resources").c_str(), "user.zeft.folder", value, 16), 3);
  EXPECT_GE(reported, 20u * 1024 * 1024);
  EXPECT_EQ(Names(fFolder.Path()), (std::vector<std::string>{"Copy.app", "New.app"}));
}

TEST_F(ItemCopierTest, CopyOntoItselfFailsAndTouchesNothing) {
  const std::string file = fFolder.Write("a/file", "data");
  const std::string folder = fFolder.Path("a");
  ASSERT_EQ(::link(file.c_str(), fFolder.Path("a/hard").c_str()), 0);
  fFolder.MakeFolder("a/sub");
  struct Case {
    const char* name;
    std::string source, destination;
  };
  const Case cases[] = {
      {"same path", file, file},
      {"same path spelled otherwise", file, fFolder.Path("a/./file")},
      {"same inode (hard link)", file, fFolder.Path("a/hard")},
      {"folder onto itself", folder, fFolder.Path("a/")},
      {"folder into itself", folder, fFolder.Path("a/inside")},
      {"folder below itself", folder, fFolder.Path("a/sub/inside")},
      {"replacing a folder that holds the source", file, folder},
  };
  const std::string before = Listing(fFolder.Path());
  for (const Case& c : cases) {
    for (bool replace : {false, true}) {
      CopyOptions options;
      options.fReplace = replace;
      PathError result = CopyItem(c.source, c.destination, options);
      if (!replace && std::string(c.name) == "replacing a folder that holds the source") {
        EXPECT_EQ(result.fCode, EEXIST) << c.name;
      } else {
        EXPECT_EQ(result.fCode, EINVAL) << c.name << (replace ? " (replace)" : "");
      }
      EXPECT_EQ(Listing(fFolder.Path()), before) << c.name;
    }
  }
  EXPECT_EQ(ReadWholeFile(file), "data");
}

TEST_F(ItemCopierTest, ExistingDestinationIsKeptOrReplacedWhole) {
  fFolder.Write("new/one", "1");
  fFolder.Write("new/two", "2");
  fFolder.Write("old/three", "3");
  fFolder.Write("old-file", "old");
  const std::string source = fFolder.Path("new");
  const std::string destination = fFolder.Path("old");

  EXPECT_EQ(CopyItem(source, destination).fCode, EEXIST);
  EXPECT_EQ(Names(destination), (std::vector<std::string>{"three"}));

  CopyOptions replace;
  replace.fReplace = true;
  ASSERT_FALSE(CopyItem(source, destination, replace).Failed());
  EXPECT_EQ(Names(destination), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(Names(source), (std::vector<std::string>{"one", "two"}));

  // A file over a file, and a folder over a file.
  ASSERT_FALSE(CopyItem(fFolder.Path("new/one"), fFolder.Path("old-file"), replace).Failed());
  EXPECT_EQ(ReadWholeFile(fFolder.Path("old-file")), "1");
  ASSERT_FALSE(CopyItem(source, fFolder.Path("old-file"), replace).Failed());
  EXPECT_EQ(Names(fFolder.Path("old-file")), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(Names(fFolder.Path()), (std::vector<std::string>{"new", "old", "old-file"}));
}

TEST_F(ItemCopierTest, StoppedOrFailedCopyLeavesNothingBehind) {
  fFolder.Write("tree/a", std::string(3 * 1024 * 1024, 'a'));
  fFolder.Write("tree/b/c", std::string(1024, 'c'));
  fFolder.Write("kept/x", "x");
  const std::string source = fFolder.Path("tree");

  CopyOptions stop;
  stop.fProgress = [](uint64_t) { return false; };
  PathError stopped = CopyItem(source, fFolder.Path("copy"), stop);
  EXPECT_EQ(stopped.fCode, ECANCELED);
  EXPECT_TRUE(stopped.fPath == source + "/a" || stopped.fPath == source + "/b/c") << stopped.fPath;

  stop.fReplace = true;
  EXPECT_EQ(CopyItem(source, fFolder.Path("kept"), stop).fCode, ECANCELED);
  EXPECT_EQ(Names(fFolder.Path("kept")), (std::vector<std::string>{"x"}));
  EXPECT_EQ(Names(fFolder.Path()), (std::vector<std::string>{"kept", "tree"}));

  // An unreadable file in the tree (as an ordinary user: root reads it).
  std::string secret = fFolder.Write("tree/b/secret", "s");
  ::chmod(secret.c_str(), 0);
  zeft::test::SetTreeOwner(fFolder.Path(), zeft::test::kNobody, zeft::test::kNobody);
  ::chmod(fFolder.Path().c_str(), 0755);
  int code = zeft::test::RunInChild(
      [&] {
        PathError failed = CopyItem(source, fFolder.Path("copy"));
        return failed.fPath == secret ? failed.fCode : 255;
      },
      true);
  EXPECT_EQ(code, EACCES);
  EXPECT_EQ(Names(fFolder.Path()), (std::vector<std::string>{"kept", "tree"}));
}

TEST_F(ItemCopierTest, SpecialFilesAreRecreatedNeverOpened) {
  fFolder.Write("tree/file", "f");
  ASSERT_EQ(::mkfifo(fFolder.Path("tree/pipe").c_str(), 0640), 0);
  const std::string source = fFolder.Path("tree");
  const std::string copy = fFolder.Path("copy");
  // A FIFO opened for reading would wait for a writer forever.
  int code = zeft::test::RunInChild([&] { return CopyItem(source, copy).fCode; }, false, 20);
  ASSERT_EQ(code, 0);
  struct stat info;
  ASSERT_EQ(::lstat((copy + "/pipe").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadWholeFile(copy + "/file"), "f");
  // A FIFO copied on its own.
  code = zeft::test::RunInChild(
      [&] { return CopyItem(source + "/pipe", fFolder.Path("pipe2")).fCode; }, false, 20);
  EXPECT_EQ(code, 0);
}

TEST_F(ItemCopierTest, LinksAreCopiedAsLinks) {
  fFolder.Write("outside/secret", "outside");
  const std::string source = fFolder.MakeFolder("tree");
  ASSERT_EQ(::symlink(fFolder.Path("outside").c_str(), (source + "/to-outside").c_str()), 0);
  ASSERT_EQ(::symlink("to-outside/secret", (source + "/chain").c_str()), 0);
  ASSERT_FALSE(CopyItem(source, fFolder.Path("copy")).Failed());
  EXPECT_EQ(TreeDifferences(source, fFolder.Path("copy")), "");
  std::error_code error;
  EXPECT_TRUE(std::filesystem::is_symlink(fFolder.Path("copy/to-outside"), error));
  // A link given as the item to copy is copied as itself.
  ASSERT_FALSE(CopyItem(source + "/to-outside", fFolder.Path("link-copy")).Failed());
  EXPECT_TRUE(std::filesystem::is_symlink(fFolder.Path("link-copy"), error));
}

// What `cp -a` keeps beyond modes and times: the names of one item stay
// names of one copy, and holes stay holes (st_blocks, as `du` counts).
TEST_F(ItemCopierTest, HardLinksAndSparseFilesAreCopiedAsTheyAre) {
  const std::string source = fFolder.MakeFolder("tree");
  const std::string first = fFolder.Write("tree/a/first", "linked");
  ASSERT_EQ(::link(first.c_str(), fFolder.Path("tree/a/second").c_str()), 0);
  fFolder.MakeFolder("tree/b/c");
  ASSERT_EQ(::link(first.c_str(), fFolder.Path("tree/b/c/third").c_str()), 0);
  // A second name outside the copied tree is not copied with it.
  const std::string half = fFolder.Write("tree/half", "half");
  ASSERT_EQ(::link(half.c_str(), fFolder.Path("outside").c_str()), 0);
  // A link that has two names itself.
  ASSERT_EQ(::symlink("a/first", fFolder.Path("tree/to-first").c_str()), 0);
  ASSERT_EQ(::linkat(AT_FDCWD, fFolder.Path("tree/to-first").c_str(), AT_FDCWD,
                     fFolder.Path("tree/b/to-first").c_str(), 0),
            0);
  // Two data ranges in 16 MiB, the rest holes.
  const std::string sparse = fFolder.Path("tree/sparse");
  {
    FileDescriptor out(::open(sparse.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644));
    ASSERT_TRUE(out.IsOpen());
    const std::string data(64 * 1024, 's');
    ASSERT_EQ(::pwrite(out.Get(), data.data(), data.size(), 0), ssize_t(data.size()));
    ASSERT_EQ(::pwrite(out.Get(), data.data(), data.size(), 4 << 20), ssize_t(data.size()));
    ASSERT_EQ(::ftruncate(out.Get(), 16 << 20), 0);
  }
  const std::string copy = fFolder.Path("copy");

  PathError result = CopyItem(source, copy);

  ASSERT_FALSE(result.Failed()) << result.fCode << " " << result.fPath;
  EXPECT_EQ(TreeDifferences(source, copy), "");
  EXPECT_EQ(Listing(copy), Listing(source));
  struct Case {
    const char* fPath;
    nlink_t fLinks;
    const char* fSameAs;  // another name of the same copy, or null
  } const kCases[] = {
      {"a/first", 3, nullptr}, {"a/second", 3, "a/first"}, {"b/c/third", 3, "a/first"},
      {"half", 1, nullptr},    {"to-first", 2, nullptr},   {"b/to-first", 2, "to-first"},
  };
  for (const Case& item : kCases) {
    SCOPED_TRACE(item.fPath);
    struct stat info, original;
    ASSERT_EQ(::lstat((copy + "/" + item.fPath).c_str(), &info), 0);
    ASSERT_EQ(::lstat((source + "/" + item.fPath).c_str(), &original), 0);
    EXPECT_EQ(info.st_nlink, item.fLinks);
    EXPECT_NE(info.st_ino, original.st_ino);
    if (item.fSameAs != nullptr) {
      struct stat other;
      ASSERT_EQ(::lstat((copy + "/" + item.fSameAs).c_str(), &other), 0);
      EXPECT_EQ(info.st_ino, other.st_ino);
    }
  }
  struct stat copied, original;
  ASSERT_EQ(::stat((copy + "/sparse").c_str(), &copied), 0);
  ASSERT_EQ(::stat(sparse.c_str(), &original), 0);
  EXPECT_EQ(copied.st_size, 16 << 20);
  EXPECT_EQ(copied.st_blocks, original.st_blocks);
  EXPECT_LT(copied.st_blocks, 1024);  // 512-byte blocks: far below 16 MiB
}

// Makes the hard links of every copy fail with `error` while it lives.
class StHardLinkError {
 public:
  explicit StHardLinkError(int error) { SetHardLinkErrorForTesting(error); }
  ~StHardLinkError() { SetHardLinkErrorForTesting(0); }
  StHardLinkError(const StHardLinkError&) = delete;
  StHardLinkError& operator=(const StHardLinkError&) = delete;
};

// Where the destination refuses a link, whatever the reason, each name of
// an item gets a separate copy and the tree is copied all the same.
TEST_F(ItemCopierTest, NamesThatCannotBeLinkedGetSeparateCopies) {
  const std::string source = fFolder.MakeFolder("tree");
  const std::string first = fFolder.Write("tree/a/first", "linked");
  ASSERT_EQ(::link(first.c_str(), fFolder.Path("tree/a/second").c_str()), 0);
  fFolder.MakeFolder("tree/b");
  ASSERT_EQ(::link(first.c_str(), fFolder.Path("tree/b/third").c_str()), 0);
  const struct {
    const char* fName;
    int fError;
  } kErrors[] = {
      {"EPERM", EPERM},   {"EXDEV", EXDEV},   {"EOPNOTSUPP", EOPNOTSUPP},
      {"EMLINK", EMLINK}, {"EACCES", EACCES}, {"ENAMETOOLONG", ENAMETOOLONG},
  };
  for (const auto& error : kErrors) {
    SCOPED_TRACE(error.fName);
    const std::string copy = fFolder.Path(std::string("copy-") + error.fName);
    PathError result;
    {
      StHardLinkError refused(error.fError);
      result = CopyItem(source, copy);
    }

    if (result.Failed()) {
      ADD_FAILURE() << "copy failed: " << result.fCode << " " << result.fPath;
      continue;
    }
    EXPECT_EQ(TreeDifferences(source, copy), "");
    EXPECT_EQ(Listing(copy), Listing(source));
    std::vector<ino_t> inodes;
    for (const char* name : {"a/first", "a/second", "b/third"}) {
      SCOPED_TRACE(name);
      const std::string path = copy + "/" + name;
      EXPECT_EQ(ReadWholeFile(path), "linked");
      struct stat info;
      ASSERT_EQ(::lstat(path.c_str(), &info), 0);
      EXPECT_EQ(info.st_nlink, 1u);
      EXPECT_EQ(std::count(inodes.begin(), inodes.end(), info.st_ino), 0);
      inodes.push_back(info.st_ino);
    }
  }
}

TEST_F(ItemCopierTest, DeepTreesWithReadOnlyFoldersAreCopied) {
  const std::string source = fFolder.MakeFolder("deep");
  ASSERT_TRUE(zeft::test::MakeDeepTree(source, 150, 100, zeft::test::kNobody));
  ::chown(fFolder.Path().c_str(), zeft::test::kNobody, zeft::test::kNobody);
  const std::string copy = fFolder.Path("copy");
  int code = zeft::test::RunInChild([&] { return CopyItem(source, copy).fCode; }, true);
  ASSERT_EQ(code, 0);
  EXPECT_EQ(Listing(copy), Listing(source));
}

}  // namespace
}  // namespace zeft::platform
