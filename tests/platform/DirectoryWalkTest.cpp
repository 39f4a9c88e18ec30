#include "platform/DirectoryWalk.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileDescriptor.h"
#include "support/TempFolder.h"

namespace zeft::platform {
namespace {

using zeft::test::ReadWholeFile;
using zeft::test::TempFolder;

// The folder and name of a path, for the paths that callers climb through:
// a bare name lives in ".", the root has no name, doubled and trailing
// slashes change nothing.
TEST(SplitItemPath, FolderAndNameOfAPath) {
  struct Case {
    const char* path;
    int error;
    const char* folder;
    const char* name;
  };
  const Case cases[] = {
      {"a", 0, ".", "a"},     {"a/", 0, ".", "a"},       {"/x", 0, "/", "x"},
      {"//x", 0, "/", "x"},   {"/a/b", 0, "/a", "b"},    {"/a/b/", 0, "/a", "b"},
      {"a/b", 0, "a", "b"},   {"./a", 0, ".", "a"},      {"/", EINVAL, "", ""},
      {"//", EINVAL, "", ""}, {"", EINVAL, "", ""},      {".", EINVAL, "", ""},
      {"..", EINVAL, "", ""}, {"/a/..", EINVAL, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string folder, name;
    EXPECT_EQ(SplitItemPath(c.path, folder, name), c.error);
    if (c.error != 0) continue;
    EXPECT_EQ(folder, c.folder);
    EXPECT_EQ(name, c.name);
  }
}

// Runs each case with renameat2's flags, then as on a file system without
// them; the hook is reset whatever a test did.
class RenameTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    SetRenameFlagsUnsupportedForTesting(GetParam());
    fDir.Reset(::open(fFolder.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(fDir.IsOpen());
  }
  void TearDown() override { SetRenameFlagsUnsupportedForTesting(false); }

  // The inode of the item at `relative` (a link itself), 0 when none.
  ino_t InodeOf(const std::string& relative) const {
    struct stat info;
    return ::lstat(fFolder.Path(relative).c_str(), &info) == 0 ? info.st_ino : 0;
  }
  // The names in the scratch folder, sorted.
  std::vector<std::string> Names() const {
    std::vector<DirectoryEntry> entries;
    EXPECT_EQ(ReadDirectory(fDir.Get(), entries), 0);
    std::vector<std::string> names;
    for (const DirectoryEntry& entry : entries) names.push_back(entry.fName);
    std::sort(names.begin(), names.end());
    return names;
  }

  TempFolder fFolder;
  FileDescriptor fDir;
};

INSTANTIATE_TEST_SUITE_P(FlagsAndFallback, RenameTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Fallback" : "Flags"; });

// Every kind of source onto a free name moves; onto any existing item it is
// refused with EEXIST and both items stay as they were.
TEST_P(RenameTest, RenameUnlessTakenNeverReplaces) {
  enum Kind { kNone, kFile, kEmptyFolder, kFolder, kLink };
  const auto make = [this](Kind kind, const std::string& name) {
    switch (kind) {
      case kNone:
        break;
      case kFile:
        fFolder.Write(name, name);
        break;
      case kEmptyFolder:
        fFolder.MakeFolder(name);
        break;
      case kFolder:
        fFolder.Write(name + "/inside", name);
        break;
      case kLink:
        ASSERT_EQ(::symlink("nowhere", fFolder.Path(name).c_str()), 0);
        break;
    }
  };
  const Kind kinds[] = {kFile, kEmptyFolder, kFolder, kLink};
  for (Kind source : kinds) {
    for (Kind target : {kNone, kFile, kEmptyFolder, kFolder, kLink}) {
      SCOPED_TRACE(testing::Message() << "source " << source << ", target " << target);
      std::filesystem::remove_all(fFolder.Path("from"));
      std::filesystem::remove_all(fFolder.Path("to"));
      make(source, "from");
      make(target, "to");
      const ino_t sourceInode = InodeOf("from");
      const ino_t targetInode = InodeOf("to");
      if (target == kNone) {
        EXPECT_EQ(RenameUnlessTaken(fDir.Get(), "from", fDir.Get(), "to"), 0);
        EXPECT_EQ(InodeOf("to"), sourceInode);
        EXPECT_EQ(Names(), std::vector<std::string>{"to"});
      } else {
        EXPECT_EQ(RenameUnlessTaken(fDir.Get(), "from", fDir.Get(), "to"), EEXIST);
        EXPECT_EQ(InodeOf("from"), sourceInode);
        EXPECT_EQ(InodeOf("to"), targetInode);
        const std::string kept = target == kFile ? "to" : target == kFolder ? "to/inside" : "";
        if (!kept.empty()) {
          EXPECT_EQ(ReadWholeFile(fFolder.Path(kept)), "to");
        }
      }
    }
  }
}

// A rename that fails after the name was reserved leaves nothing behind.
TEST_P(RenameTest, FailedRenameLeavesTheTargetFree) {
  fFolder.Write("folder/file", "x");
  EXPECT_EQ(RenameUnlessTaken(fDir.Get(), "folder", fDir.Get(), "folder/inner"), EINVAL);
  EXPECT_EQ(RenameUnlessTaken(fDir.Get(), "missing", fDir.Get(), "to"), ENOENT);
  EXPECT_EQ(Names(), std::vector<std::string>{"folder"});
  std::vector<DirectoryEntry> entries;
  FileDescriptor folder(::open(fFolder.Path("folder").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_EQ(ReadDirectory(folder.Get(), entries), 0);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].fName, "file");
}

TEST_P(RenameTest, ExchangeItemsSwapsTwoItems) {
  fFolder.Write("a", "file");
  fFolder.Write("b/inside", "folder");
  const ino_t a = InodeOf("a"), b = InodeOf("b");
  EXPECT_EQ(ExchangeItems(fDir.Get(), "a", fDir.Get(), "b"), 0);
  EXPECT_EQ(InodeOf("a"), b);
  EXPECT_EQ(InodeOf("b"), a);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace zeft::platform
