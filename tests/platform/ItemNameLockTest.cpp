#include "platform/ItemNameLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/DirectoryWalk.h"
#include "support/TempFolder.h"

namespace zeft::platform {
namespace {

namespace fs = std::filesystem;
using test::SortedNames;
using test::TempFolder;

TEST(ItemNameLock, OneHolderPerNameAndNoneLeftBehind) {
  TempFolder temp;
  const std::string demo = temp.Path("Demo.app");
  ItemNameLock first;
  ASSERT_EQ(first.TryLock(demo), 0);
  EXPECT_TRUE(first.IsLocked());
  EXPECT_EQ(SortedNames(temp.Path()), std::vector<std::string>{".Demo.app.zeft-lock"});

  ItemNameLock second;
  EXPECT_EQ(second.TryLock(demo), EWOULDBLOCK);
  EXPECT_FALSE(second.IsLocked());
  // Another name, or the same name in another folder, is another lock.
  ItemNameLock other;
  EXPECT_EQ(other.TryLock(temp.Path("Demo.app.app")), 0);
  ItemNameLock elsewhere;
  EXPECT_EQ(elsewhere.TryLock(temp.MakeFolder("Sub") + "/Demo.app"), 0);

  first.Unlock();
  EXPECT_EQ(second.TryLock(demo + "/"), 0);
  second.Unlock();
  other.Unlock();
  elsewhere.Unlock();
  EXPECT_EQ(SortedNames(temp.Path()), std::vector<std::string>{"Sub"});
  EXPECT_TRUE(SortedNames(temp.Path("Sub")).empty());
}

TEST(ItemNameLock, RefusesWhatCannotHoldALock) {
  TempFolder temp;
  ItemNameLock lock;
  EXPECT_EQ(lock.TryLock(temp.Path("Gone/Demo.app")), ENOENT);
  EXPECT_EQ(lock.TryLock("/"), EINVAL);
  // Something that is not ours at the lock file's name is never followed
  // nor taken for one.
  fs::create_symlink(temp.Path("target"), temp.Path(".Link.app.zeft-lock"));
  EXPECT_EQ(lock.TryLock(temp.Path("Link.app")), ELOOP);
  EXPECT_FALSE(fs::exists(temp.Path("target")));
  fs::create_directories(temp.Path(".Folder.app.zeft-lock"));
  EXPECT_EQ(lock.TryLock(temp.Path("Folder.app")), EISDIR);
  EXPECT_FALSE(lock.IsLocked());
}

// Names longer than a hidden name can hold get locks of their own however
// many bytes they share.
TEST(ItemNameLock, LongNamesSharingTheirFirstBytesHaveLocksOfTheirOwn) {
  TempFolder temp;
  const std::string shared(240, 'n');
  ItemNameLock first;
  ItemNameLock second;
  ASSERT_EQ(first.TryLock(temp.Path(shared + "-1.app")), 0);
  EXPECT_EQ(second.TryLock(temp.Path(shared + "-2.app")), 0);
  for (const std::string& name : SortedNames(temp.Path())) EXPECT_LE(name.size(), 255u);
}

// Holders that come and go from many threads at once: the lock file one
// holder removes on its way out is never also held by the next.
TEST(ItemNameLock, HoldersComingAndGoingNeverOverlap) {
  TempFolder temp;
  const std::string demo = temp.Path("Demo.app");
  std::atomic<int> holders{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> taken{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 400; ++i) {
        ItemNameLock lock;
        if (lock.TryLock(demo) != 0) continue;
        if (holders.fetch_add(1) != 0) overlaps.fetch_add(1);
        taken.fetch_add(1);
        holders.fetch_sub(1);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_GT(taken.load(), 0);
  EXPECT_TRUE(SortedNames(temp.Path()).empty());
}

}  // namespace
}  // namespace zeft::platform
