#include "SwapRecord.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/FileDescriptor.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

using test::SortedNames;
using test::TempFolder;

using ReadResult = SwapRecord::ReadResult;

ItemIdentity Identity(uint64_t inode, int64_t seconds, uint32_t nanoseconds) {
  ItemIdentity identity;
  identity.fInode = inode;
  identity.fHasBirthTime = true;
  identity.fBirthSeconds = seconds;
  identity.fBirthNanoseconds = nanoseconds;
  return identity;
}

ItemIdentity Identity(uint64_t inode) {
  ItemIdentity identity;
  identity.fInode = inode;
  return identity;
}

class SwapRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fFolder.Reset(::open(fTemp.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(fFolder.IsOpen());
  }

  TempFolder fTemp;
  platform::FileDescriptor fFolder;
};

// A record is replaced whole by the next one (a run writes one when it
// makes its folder, one when the copy is whole and one per aside name it is
// about to take), and nothing of the writing is left.
TEST_F(SwapRecordTest, ReadsBackWhatWasWrittenReplacedWholeAndIsGoneOnceRemoved) {
  SwapRecord written;
  written.fStage = SwapRecord::Stage::kCopying;
  written.fStaging = Identity(41, 1700000000, 12);
  ASSERT_EQ(written.Write(fFolder.Get()), 0);
  SwapRecord read;
  ASSERT_EQ(read.Read(fFolder.Get()), ReadResult::kRead);
  EXPECT_EQ(read.fVersion, SwapRecord::kVersion);
  EXPECT_EQ(read.fStage, SwapRecord::Stage::kCopying);
  EXPECT_EQ(read.fStaging, written.fStaging);

  written.fStage = SwapRecord::Stage::kSwapping;
  written.fInstalled = Identity(0xFFFFFFFFFFFFFFFFull, -12345, 999999999);
  written.fStaged = Identity(2);
  written.fAsideNumber = 1;
  ASSERT_EQ(written.Write(fFolder.Get()), 0);
  ASSERT_EQ(read.Read(fFolder.Get()), ReadResult::kRead);
  EXPECT_EQ(read.fStage, SwapRecord::Stage::kSwapping);
  EXPECT_EQ(read.fStaging, written.fStaging);
  EXPECT_EQ(read.fInstalled, written.fInstalled);
  EXPECT_EQ(read.fStaged, written.fStaged);
  EXPECT_EQ(read.fAsideNumber, 1);

  written.fStage = SwapRecord::Stage::kPuttingBack;
  written.fAsideNumber = 9999;
  written.fStaged = Identity(3, 1700000000, 5);
  ASSERT_EQ(written.Write(fFolder.Get()), 0);
  ASSERT_EQ(read.Read(fFolder.Get()), ReadResult::kRead);
  EXPECT_EQ(read.fStage, SwapRecord::Stage::kPuttingBack);
  EXPECT_EQ(read.fStaged, written.fStaged);
  EXPECT_EQ(read.fAsideNumber, 9999);
  EXPECT_EQ(SortedNames(fTemp.Path()), std::vector<std::string>{SwapRecord::kFileName});
  struct stat info = {};
  ASSERT_EQ(::stat(fTemp.Path(SwapRecord::kFileName).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);

  // What a write killed before its rename leaves goes with the record.
  fTemp.Write(SwapRecord::kNewFileName, "zeft swap");
  EXPECT_EQ(SwapRecord::Remove(fFolder.Get()), 0);
  EXPECT_EQ(read.Read(fFolder.Get()), ReadResult::kNone);
  EXPECT_EQ(SortedNames(fTemp.Path()), std::vector<std::string>{});
}

// Anything but a whole record, or something that is not a file at all,
// reads as damaged (a FIFO without waiting for a writer), and leaves the
// record read into untouched.
TEST_F(SwapRecordTest, ADamagedRecordReadsAsDamaged) {
  const std::string whole =
      "zeft swap record 3\nstage swapping\nstaging 9 -\ninstalled 5 100.000000001\nstaged 7 -\n"
      "aside 12\n";
  const auto with = [&whole](const std::string& from, const std::string& to) {
    std::string text = whole;
    return text.replace(text.find(from), from.size(), to);
  };
  const struct {
    const char* fName;
    std::string fText;
  } cases[] = {
      {"empty", ""},
      {"first line only", "zeft swap record 3\n"},
      {"cut in a number", whole.substr(0, whole.size() - 2)},
      {"no last line feed", whole.substr(0, whole.size() - 1)},
      {"another version", with("record 3", "record 4")},
      {"an earlier version's lines under this version", with("stage swapping\nstaging 9 -\n", "")},
      {"no stage", with("stage swapping\n", "")},
      {"an unknown stage", with("swapping", "moving")},
      {"a stage cut short", with("swapping", "swap")},
      {"no staging folder", with("staging 9 -\n", "")},
      {"identities after a copying stage", with("swapping", "copying")},
      {"a copying stage with an aside number",
       "zeft swap record 3\nstage copying\nstaging 9 -\n"
       "aside 1\n"},
      {"lines swapped",
       with("installed 5 100.000000001\nstaged 7 -\n", "staged 7 -\ninstalled 5 100.000000001\n")},
      {"no aside line", with("aside 12\n", "")},
      {"an aside number beyond four digits", with("aside 12", "aside 10000")},
      {"a negative aside number", with("aside 12", "aside -1")},
      {"a sign on an inode", with("installed 5", "installed -5")},
      {"a blank too many", with("installed 5", "installed  5")},
      {"eight digits of nanoseconds", with("100.000000001", "100.00000001")},
      {"ten digits of nanoseconds", with("100.000000001", "100.0000000001")},
      {"a birth time without its dot", with("100.000000001", "100")},
      {"a number beyond 64 bits", with("installed 5", "installed 18446744073709551616")},
      {"something after", whole + "x"},
      {"a NUL for a blank", with("staged 7", std::string("staged\0"
                                                         "7",
                                                         8))},
      {"far too long", whole + std::string(4096, '\n')},
  };
  for (const auto& c : cases) {
    fTemp.Write(SwapRecord::kFileName, c.fText);
    SwapRecord read;
    read.fInstalled = Identity(1);
    EXPECT_EQ(read.Read(fFolder.Get()), ReadResult::kDamaged) << c.fName;
    EXPECT_EQ(read.fInstalled, Identity(1)) << c.fName;
  }
  fTemp.Write(SwapRecord::kFileName, whole);
  SwapRecord read;
  ASSERT_EQ(read.Read(fFolder.Get()), ReadResult::kRead);
  EXPECT_EQ(read.fStaging, Identity(9));
  EXPECT_EQ(read.fInstalled, Identity(5, 100, 1));
  EXPECT_EQ(read.fStaged, Identity(7));

  const std::string record = fTemp.Path(SwapRecord::kFileName);
  const struct {
    const char* fName;
    int (*fMake)(const char*);
  } kinds[] = {
      {"a folder", [](const char* at) { return ::mkdir(at, 0700); }},
      {"a link", [](const char* at) { return ::symlink("elsewhere", at); }},
      {"a FIFO", [](const char* at) { return ::mkfifo(at, 0600); }},
  };
  for (const auto& kind : kinds) {
    ::unlink(record.c_str());
    ::rmdir(record.c_str());
    ASSERT_EQ(kind.fMake(record.c_str()), 0) << kind.fName;
    EXPECT_EQ(read.Read(fFolder.Get()), ReadResult::kDamaged) << kind.fName;
  }
}

// A record of this version marks only the folder it names; the records of
// earlier versions, written once their copy was whole, name none and still
// tell where their run left the installed bundle: version 2 with its aside
// number, version 1 without (its device numbers dropped).
TEST_F(SwapRecordTest, ARecordMarksItsOwnFolderAndEarlierVersionsAreStillRead) {
  SwapRecord written;
  written.fStage = SwapRecord::Stage::kCopying;
  written.fStaging = Identity(41, 100, 7);
  ASSERT_EQ(written.Write(fFolder.Get()), 0);
  SwapRecord read;
  ASSERT_EQ(read.Read(fFolder.Get()), ReadResult::kRead);
  EXPECT_TRUE(read.Marks(Identity(41, 100, 7)));
  EXPECT_FALSE(read.Marks(Identity(41, 200, 7)));
  EXPECT_FALSE(read.Marks(Identity(42, 100, 7)));

  const struct {
    const char* fName;
    const char* fText;
    int fVersion;
    int fAsideNumber;
  } cases[] = {
      {"version 2", "zeft swap record 2\ninstalled 5 100.000000001\nstaged 6 -\naside 3\n", 2, 3},
      {"version 1", "zeft swap record 1\ninstalled 2049 5\nstaged 2049 6\n", 1, 0},
  };
  for (const auto& c : cases) {
    fTemp.Write(SwapRecord::kFileName, c.fText);
    ASSERT_EQ(read.Read(fFolder.Get()), ReadResult::kRead) << c.fName;
    EXPECT_EQ(read.fVersion, c.fVersion) << c.fName;
    EXPECT_EQ(read.fStage, SwapRecord::Stage::kSwapping) << c.fName;
    EXPECT_EQ(read.fInstalled.fInode, 5u) << c.fName;
    EXPECT_EQ(read.fStaged, Identity(6)) << c.fName;
    EXPECT_EQ(read.fAsideNumber, c.fAsideNumber) << c.fName;
    EXPECT_TRUE(read.Marks(Identity(41, 100, 7))) << c.fName;
  }
  fTemp.Write(SwapRecord::kFileName,
              "zeft swap record 1\ninstalled 2049 5\nstaged 2049 6\naside 1\n");
  EXPECT_EQ(read.Read(fFolder.Get()), ReadResult::kDamaged);
}

// A record that others may change, or another user's, is not taken for
// this user's, however well formed.
TEST_F(SwapRecordTest, ARecordOthersMayChangeOrAnotherUsersIsForeign) {
  SwapRecord written;
  written.fInstalled = Identity(5);
  written.fStaged = Identity(6);
  written.fAsideNumber = 1;
  ASSERT_EQ(written.Write(fFolder.Get()), 0);
  const std::string record = fTemp.Path(SwapRecord::kFileName);
  SwapRecord read;
  for (const mode_t mode : {0620, 0602, 0666}) {
    ASSERT_EQ(::chmod(record.c_str(), mode), 0);
    EXPECT_EQ(read.Read(fFolder.Get()), ReadResult::kForeign) << std::oct << mode;
  }
  ASSERT_EQ(::chmod(record.c_str(), 0644), 0);
  EXPECT_EQ(read.Read(fFolder.Get()), ReadResult::kRead);
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  ASSERT_EQ(::chown(record.c_str(), 65534, 65534), 0);
  EXPECT_EQ(read.Read(fFolder.Get()), ReadResult::kForeign);
}

TEST_F(SwapRecordTest, ItemIdentityFollowsAnItemThroughARenameButNotALink) {
  fTemp.MakeFolder("Demo.app");
  ItemIdentity before;
  ASSERT_TRUE(GetItemIdentity(fFolder.Get(), "Demo.app", before));
  ASSERT_EQ(::renameat(fFolder.Get(), "Demo.app", fFolder.Get(), "Demo_old0001.app"), 0);
  ItemIdentity after;
  ASSERT_TRUE(GetItemIdentity(fFolder.Get(), "Demo_old0001.app", after));
  EXPECT_TRUE(after.Matches(before));
  ASSERT_EQ(::symlinkat("Demo_old0001.app", fFolder.Get(), "Demo.app"), 0);
  ItemIdentity link;
  ASSERT_TRUE(GetItemIdentity(fFolder.Get(), "Demo.app", link));
  EXPECT_FALSE(link.Matches(before));
  EXPECT_FALSE(GetItemIdentity(fFolder.Get(), "Gone.app", link));
  // An empty name: the open folder itself.
  platform::FileDescriptor opened(
      ::openat(fFolder.Get(), "Demo_old0001.app", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ItemIdentity self;
  ASSERT_TRUE(GetItemIdentity(opened.Get(), "", self));
  EXPECT_EQ(self, after);
}

// An inode number given again to a new item is told apart by its birth
// time, where both sides know one; without one, the number decides.
TEST(ItemIdentity, MatchesByInodeAndByBirthTimeWhereBothKnowIt) {
  const struct {
    const char* fName;
    ItemIdentity fLeft;
    ItemIdentity fRight;
    bool fMatches;
  } cases[] = {
      {"the same item", Identity(5, 100, 7), Identity(5, 100, 7), true},
      {"its number given again", Identity(5, 100, 7), Identity(5, 200, 7), false},
      {"its number given again in the same second", Identity(5, 100, 7), Identity(5, 100, 8),
       false},
      {"another item", Identity(5, 100, 7), Identity(6, 100, 7), false},
      {"one birth time unknown", Identity(5, 100, 7), Identity(5), true},
      {"both unknown", Identity(5), Identity(5), true},
      {"both unknown, another item", Identity(5), Identity(6), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.fLeft.Matches(c.fRight), c.fMatches) << c.fName;
    EXPECT_EQ(c.fRight.Matches(c.fLeft), c.fMatches) << c.fName;
  }
}

}  // namespace
}  // namespace zeft
