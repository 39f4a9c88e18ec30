#include "SwapRecord.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/FileDescriptor.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

using test::TempFolder;

class SwapRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fFolder.Reset(::open(fTemp.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(fFolder.IsOpen());
  }

  TempFolder fTemp;
  platform::FileDescriptor fFolder;
};

TEST_F(SwapRecordTest, ReadsBackWhatWasWrittenAndIsGoneOnceRemoved) {
  SwapRecord written;
  written.fInstalled = {dev_t(0xFFFFFFFFFFFFFFFFull), ino_t(1)};
  written.fStaged = {dev_t(2049), ino_t(0xFFFFFFFFFFFFFFFFull)};
  ASSERT_EQ(written.Write(fFolder.Get()), 0);
  SwapRecord read;
  ASSERT_TRUE(read.Read(fFolder.Get()));
  EXPECT_EQ(read.fInstalled, written.fInstalled);
  EXPECT_EQ(read.fStaged, written.fStaged);
  // Only one record per staging folder: a second is refused, not merged.
  EXPECT_EQ(written.Write(fFolder.Get()), EEXIST);
  EXPECT_EQ(SwapRecord::Remove(fFolder.Get()), 0);
  EXPECT_FALSE(read.Read(fFolder.Get()));
}

// A record cut short, damaged or not a record at all proves nothing: it
// reads as no record, and leaves the one read into untouched.
TEST_F(SwapRecordTest, ADamagedRecordReadsAsNone) {
  const std::string whole = "zeft swap record 1\ninstalled 5 6\nstaged 7 8\n";
  const struct {
    const char* fName;
    std::string fText;
  } cases[] = {
      {"empty", ""},
      {"first line only", "zeft swap record 1\n"},
      {"cut in a number", whole.substr(0, whole.size() - 3)},
      {"no last line feed", whole.substr(0, whole.size() - 1)},
      {"another version", "zeft swap record 2\ninstalled 5 6\nstaged 7 8\n"},
      {"lines swapped", "zeft swap record 1\nstaged 7 8\ninstalled 5 6\n"},
      {"a sign", "zeft swap record 1\ninstalled -5 6\nstaged 7 8\n"},
      {"a blank too many", "zeft swap record 1\ninstalled  5 6\nstaged 7 8\n"},
      {"a number beyond 64 bits",
       "zeft swap record 1\ninstalled 18446744073709551616 6\n"
       "staged 7 8\n"},
      {"something after", whole + "x"},
      {"a NUL for a blank", std::string(whole).replace(whole.find(" 6"), 1, 1, '\0')},
      {"far too long", whole + std::string(4096, '\n')},
  };
  for (const auto& c : cases) {
    fTemp.Write(SwapRecord::kFileName, c.fText);
    SwapRecord read;
    read.fInstalled = {1, 2};
    EXPECT_FALSE(read.Read(fFolder.Get())) << c.fName;
    EXPECT_EQ(read.fInstalled, (ItemIdentity{1, 2})) << c.fName;
  }
  ::unlinkat(fFolder.Get(), SwapRecord::kFileName, 0);
  ::mkdirat(fFolder.Get(), SwapRecord::kFileName, 0700);
  SwapRecord read;
  EXPECT_FALSE(read.Read(fFolder.Get())) << "a folder";
}

TEST_F(SwapRecordTest, ItemIdentityFollowsAnItemThroughARenameButNotALink) {
  fTemp.MakeFolder("Demo.app");
  ItemIdentity before;
  ASSERT_TRUE(GetItemIdentity(fFolder.Get(), "Demo.app", before));
  ASSERT_EQ(::renameat(fFolder.Get(), "Demo.app", fFolder.Get(), "Demo_old0001.app"), 0);
  ItemIdentity after;
  ASSERT_TRUE(GetItemIdentity(fFolder.Get(), "Demo_old0001.app", after));
  EXPECT_EQ(after, before);
  ASSERT_EQ(::symlinkat("Demo_old0001.app", fFolder.Get(), "Demo.app"), 0);
  ItemIdentity link;
  ASSERT_TRUE(GetItemIdentity(fFolder.Get(), "Demo.app", link));
  EXPECT_NE(link, before);
  EXPECT_FALSE(GetItemIdentity(fFolder.Get(), "Gone.app", link));
}

}  // namespace
}  // namespace zeft
