#include "platform/ItemNameLock.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
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
  EXPECT_FALSE(lock.IsLocked());
}

// Only a regular file is ever taken for the lock file: anything else with
// its name is refused at once, never followed, opened or waited on (a FIFO
// would hold an open for reading until a writer came), and left as it is.
TEST(ItemNameLock, RefusesAnythingButARegularFileAtTheLockFilesName) {
  TempFolder temp;
  const std::string file = temp.Write("file", "keep");
  const struct {
    const char* fName;
    std::function<bool(const std::string&)> fMake;
  } cases[] = {
      {"a folder", [](const std::string& at) { return ::mkdir(at.c_str(), 0755) == 0; }},
      {"a link to nothing",
       [](const std::string& at) { return ::symlink("nowhere", at.c_str()) == 0; }},
      {"a link to a file",
       [&file](const std::string& at) { return ::symlink(file.c_str(), at.c_str()) == 0; }},
      {"a FIFO", [](const std::string& at) { return ::mkfifo(at.c_str(), 0666) == 0; }},
      {"a socket",
       [](const std::string& at) {
         const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address = {};
         address.sun_family = AF_UNIX;
         if (at.size() >= sizeof address.sun_path) return false;
         std::strcpy(address.sun_path, at.c_str());
         const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
         ::close(fd);
         return bound;
       }},
  };
  for (const auto& c : cases) {
    const std::string item = temp.MakeFolder(c.fName) + "/Demo.app";
    const std::string lockFile = temp.Path(std::string(c.fName) + "/.Demo.app.zeft-lock");
    ASSERT_TRUE(c.fMake(lockFile)) << c.fName;
    struct stat before = {};
    ASSERT_EQ(::lstat(lockFile.c_str(), &before), 0);
    ItemNameLock lock;
    EXPECT_EQ(lock.TryLock(item), EEXIST) << c.fName;
    EXPECT_FALSE(lock.IsLocked()) << c.fName;
    struct stat after = {};
    ASSERT_EQ(::lstat(lockFile.c_str(), &after), 0) << c.fName;
    EXPECT_EQ(after.st_ino, before.st_ino) << c.fName;
    EXPECT_EQ(after.st_mode, before.st_mode) << c.fName;
  }
  EXPECT_EQ(test::ReadWholeFile(file), "keep");
}

// The lock file is readable by all whatever the umask, so that another
// user allowed to replace the item can take the lock that a holder killed
// under a strict umask left behind.
TEST(ItemNameLock, TheLockFileIsReadableByAllWhateverTheUmask) {
  TempFolder temp;
  const mode_t umask = ::umask(077);
  ItemNameLock lock;
  const int locked = lock.TryLock(temp.Path("Demo.app"));
  ::umask(umask);
  ASSERT_EQ(locked, 0);
  struct stat info = {};
  ASSERT_EQ(::stat(temp.Path(".Demo.app.zeft-lock").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u);
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
