// One update per bundle at a time: a run that finds another holding its
// bundle stops at once and touches nothing, while bundles beside it stay
// free to update.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "UpdaterWorld.h"
#include "platform/ItemNameLock.h"
#include "support/ToolboxTestEnvironment.h"

namespace zeft {
namespace {

namespace fs = std::filesystem;
using test::HiddenItems;
using test::ReadWholeFile;
using test::SameTree;
using test::UpdaterRun;
using test::UpdaterWorld;

std::string InProgress(const UpdaterWorld& world) {
  return "Another update of '" + world.Path("Installed/Demo.app/") + "' is in progress.";
}

// While another holds the bundle's lock, a run stops before undoing or
// moving anything (the hidden copy left beside the bundle stays too) and
// relaunches nothing; another bundle of the same folder updates meanwhile.
// Once the lock is free, the same run goes through and leaves no lock file.
TEST(UpdaterConcurrency, ALockedBundleIsLeftAloneAndOthersBesideItAreNot) {
  UpdaterWorld world;
  world.MakeBundle("Reference/Demo.app", "1");
  world.MakeBundle("Installed/Other.app", "1");
  const std::string leftover = ".Demo.app.zeft-0123456789ab";
  world.MakeBundle("Installed/" + leftover + "/Demo.app", "2");
  ASSERT_TRUE(test::MarkAsStaging(world.Path("Installed/" + leftover)));
  platform::ItemNameLock lock;
  ASSERT_EQ(lock.TryLock(world.Path("Installed/Demo.app")), 0);

  const UpdaterRun refused = world.UpdateDemo({"--silent"});
  EXPECT_EQ(refused.fExitCode, 2);
  EXPECT_NE(world.LogText().find(InProgress(world)), std::string::npos) << world.LogText();
  EXPECT_TRUE(SameTree(world.Path("Installed/Demo.app"), world.Path("Reference/Demo.app")));
  EXPECT_TRUE(fs::exists(world.Path("Installed/" + leftover)));
  EXPECT_FALSE(fs::exists(world.Path("home/.local/share/Trash")));
  EXPECT_TRUE(world.OpenCalls().empty());

  const UpdaterRun beside = world.Update(
      {"--silent", world.Path("Installed/Other.app"), world.Path("Download/Demo.app")});
  EXPECT_EQ(beside.fExitCode, 0) << beside.fError;
  EXPECT_EQ(ReadWholeFile(world.Path("Installed/Other.app/Contents/Resources/version.txt")), "2");

  lock.Unlock();
  EXPECT_EQ(world.UpdateDemo({"--silent"}).fExitCode, 0) << world.LogText();
  EXPECT_EQ(world.InstalledVersion(), "2");
  EXPECT_EQ(HiddenItems(world.Path("Installed")), std::vector<std::string>{});
}

// Something else than a file at the lock file's name (made by a neighbour,
// or by mistake) is refused at once: no open of it ever waits, the run
// stops with a sentence naming it, and nothing is touched.
TEST(UpdaterConcurrency, AnythingButAFileAtTheLockFilesNameIsRefusedAtOnce) {
  const struct {
    const char* fName;
    int (*fMake)(const char*);
  } cases[] = {
      // Opened for reading, a FIFO waits for a writer.
      {"a FIFO", [](const char* at) { return ::mkfifo(at, 0666); }},
      {"a folder", [](const char* at) { return ::mkdir(at, 0755); }},
      {"a link to nothing", [](const char* at) { return ::symlink("nowhere", at); }},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    world.MakeBundle("Reference/Demo.app", "1");
    const std::string lockFile = world.Path("Installed/.Demo.app.zeft-lock");
    ASSERT_EQ(c.fMake(lockFile.c_str()), 0) << c.fName;
    struct stat before = {};
    ASSERT_EQ(::lstat(lockFile.c_str(), &before), 0);

    const UpdaterRun run = world.WaitAtMost(
        world.Start({"--silent", "--log-dir", world.Path("logs"), world.Path("Installed/Demo.app"),
                     world.Path("Download/Demo.app")}),
        std::chrono::seconds(120));
    ASSERT_NE(run.fExitCode, -2) << c.fName << ": the updater hung";
    EXPECT_EQ(run.fExitCode, 2) << c.fName;
    EXPECT_NE(world.LogText().find("'" + lockFile +
                                   "' has the name of its lock file and is not a plain file."),
              std::string::npos)
        << c.fName << world.LogText();
    EXPECT_TRUE(SameTree(world.Path("Installed/Demo.app"), world.Path("Reference/Demo.app")))
        << c.fName;
    EXPECT_EQ(HiddenItems(world.Path("Installed")), std::vector<std::string>{".Demo.app.zeft-lock"})
        << c.fName;
    struct stat after = {};
    ASSERT_EQ(::lstat(lockFile.c_str(), &after), 0) << c.fName;
    EXPECT_EQ(after.st_ino, before.st_ino) << c.fName;
    EXPECT_TRUE(world.OpenCalls().empty()) << c.fName;
  }
}

// A run killed while it holds the lock, under a umask that lets no one
// else read what it makes, leaves a lock file that another user who may
// update the bundle can still take: that user's run goes through.
TEST(UpdaterConcurrency, ALockLeftUnderAStrictUmaskIsTakenByAnotherUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can run the updater as another user";
  UpdaterWorld world;
  // The first run stops at its first folder (the staging folder: there is
  // no log folder to make), holding the lock, and is killed there.
  const std::string mark = world.Path("paused");
  world.UseFaults({"ZEFT_TEST_PAUSE_AT_FOLDER=1", "ZEFT_TEST_PAUSE_MARK=" + mark,
                   "ZEFT_TEST_PAUSE_GATE=" + world.Path("never")});
  world.SetUmask(077);
  const pid_t first =
      world.Start({"--silent", world.Path("Installed/Demo.app"), world.Path("Download/Demo.app")});
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!fs::exists(mark) && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ::kill(first, SIGKILL);
  ASSERT_EQ(world.Wait(first).fExitCode, -1);
  const std::string lockFile = world.Path("Installed/.Demo.app.zeft-lock");
  struct stat info = {};
  ASSERT_EQ(::stat(lockFile.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u);

  // Everything but the lock file becomes the other user's.
  world.UseFaults({});
  world.SetUmask(022);
  ASSERT_TRUE(world.RunAs(65534, 65534, {"Installed/.Demo.app.zeft-lock"}));
  const UpdaterRun second = world.UpdateDemo({"--silent"});
  EXPECT_EQ(second.fExitCode, 0) << second.fError << world.LogText();
  EXPECT_EQ(world.InstalledVersion(), "2");
}

// Where the file system offers no lock (NFS without its lock service, or
// with a lock file this user may only read), refusing every update would
// leave the application out of date for good: the update goes on without
// the lock and says so, and undoes nothing of an interrupted run, which it
// could not tell from a run going on.
TEST(UpdaterConcurrency, WithoutLocksOnItsFileSystemTheUpdateGoesOnAndSaysSo) {
  const struct {
    const char* fName;
    int fError;
  } cases[] = {{"no lock service", ENOLCK},
               {"locks not supported", EOPNOTSUPP},
               {"a lock file open only for reading, on NFS", EBADF}};
  for (const auto& c : cases) {
    UpdaterWorld world;
    const std::string copy = ".Demo.app.zeft-0123456789ab";
    world.MakeBundle("Installed/" + copy + "/Demo.app", "2");
    world.UseFaults({"ZEFT_TEST_FLOCK_FAILS=" + std::to_string(c.fError)});
    const UpdaterRun run = world.UpdateDemo({"--silent"});
    EXPECT_EQ(run.fExitCode, 0) << c.fName << world.LogText();
    EXPECT_EQ(world.InstalledVersion(), "2") << c.fName;
    const std::string said =
        "The update goes on without its lock, which the file system does "
        "not provide (" +
        std::string(std::strerror(c.fError)) + ")";
    EXPECT_NE(world.LogText().find(said), std::string::npos) << c.fName << world.LogText();
    EXPECT_TRUE(fs::exists(world.Path("Installed/" + copy + "/Demo.app"))) << c.fName;
  }
}

// The number of items in the tree at `path`, itself included.
size_t CountEntries(const std::string& path) {
  size_t count = 1;
  for (auto it = fs::recursive_directory_iterator(path); it != fs::recursive_directory_iterator();
       ++it)
    ++count;
  return count;
}

// Which of the two children ends first, left to be waited for; -1 when
// neither ends (bounded only as a guard against a hang).
pid_t AwaitEitherEnd(pid_t first, pid_t second) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(600);
  while (std::chrono::steady_clock::now() < limit) {
    for (const pid_t pid : {first, second}) {
      siginfo_t info = {};
      if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
        return pid;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

// Waits until `path` exists (bounded only as a guard against a hang).
bool AwaitPath(const std::string& path) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!fs::exists(path)) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Two updaters of one big bundle: started at once, or the second started
// while the first holds a quarter or half of its copy. One installs the
// whole download and relaunches it, the other stops with its sentence; the
// application relaunched is whole. Each meeting is made by steps, not by
// time: the first run is held at a folder of its copy until the second has
// ended, and the winner's relaunch until the loser has ended.
TEST(UpdaterConcurrency, OfTwoUpdatersOfOneBundleOneInstallsAWholeCopyTheOtherStops) {
  if (test::ToolboxTestEnvironment::Allocator() == kAllocatorBlock)
    GTEST_SKIP() << "the same run as over the default allocator";
  UpdaterWorld world(fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
  // A download of 20,000 items in folders of 100, as resources lie.
  constexpr int kFolders = 200;
  const std::string resources = world.Path("Download/Demo.app/Contents/Resources/");
  for (int folder = 0; folder < kFolders; ++folder) {
    const std::string name = resources + "r" + std::to_string(folder) + "/";
    fs::create_directories(name);
    for (int file = 0; file < 100; ++file)
      std::ofstream(name + std::to_string(file) + ".txt") << name << file;
  }
  const size_t entries = CountEntries(world.Path("Download/Demo.app"));
  ASSERT_GE(entries, 20000u);
  // The relaunch records how many items the relaunched bundle holds, then
  // waits for the gate: the winner holds its lock until the test opens it.
  const std::string gate = world.Path("gate");
  const std::string open = world.Path("bin/open");
  std::ofstream(open, std::ios::trunc)
      << "#!/bin/sh\nfind \"$2\" | wc -l >> '" << world.Path("open.log") << "'\nwhile [ ! -e '"
      << gate << "' ]; do sleep 0.01; done\n";
  ::chmod(open.c_str(), 0755);
  const std::string mark = world.Path("paused");

  for (const int quarters : {0, 1, 2}) {
    fs::remove_all(world.Path("Installed"));
    fs::remove_all(world.Path("home/.local/share/Trash"));
    for (const char* name : {"open.log", "gate", "paused"}) fs::remove(world.Path(name));
    world.MakeBundle("Installed/Demo.app", "1");
    // The first run stops before the folder that begins the given share of
    // its copy (the staging folder and the bundle's first folders come
    // before the resources' folders).
    std::vector<std::string> faults;
    if (quarters > 0) {
      faults = {"ZEFT_TEST_PAUSE_AT_FOLDER=" + std::to_string(4 + kFolders * quarters / 4),
                "ZEFT_TEST_PAUSE_MARK=" + mark, "ZEFT_TEST_PAUSE_GATE=" + gate};
    }
    world.UseFaults(faults);
    auto start = [&world](const std::string& run) {
      return world.Start({"--silent", "--log-dir", world.Path("logs-" + run),
                          world.Path("Installed/Demo.app"), world.Path("Download/Demo.app")},
                         run);
    };
    const pid_t first = start("a");
    if (quarters > 0) {
      ASSERT_TRUE(AwaitPath(mark)) << "quarters " << quarters;
      // The first run is copying: part of the download is in its hidden
      // staging folder (under a name of the copy's own until it is whole).
      size_t copied = 0;
      for (const std::string& name : HiddenItems(world.Path("Installed"))) {
        const std::string staging = world.Path("Installed/" + name);
        if (fs::is_directory(staging)) copied = CountEntries(staging) - 1;
      }
      EXPECT_GT(copied, entries * quarters / 4 - entries / 20) << "quarters " << quarters;
      EXPECT_LT(copied, entries * quarters / 4 + entries / 20) << "quarters " << quarters;
      world.UseFaults({});
    }
    const pid_t second = start("b");
    // The run that lost ends first: the winner waits at the gate, which
    // opens only then.
    const pid_t ended = AwaitEitherEnd(first, second);
    ASSERT_NE(ended, -1) << "quarters " << quarters;
    if (quarters > 0) {
      EXPECT_EQ(ended, second) << "quarters " << quarters;
    }
    const bool aLost = ended == first;
    const UpdaterRun lost = world.Wait(ended, aLost ? "a" : "b");
    std::ofstream(gate) << "open";
    const UpdaterRun won = world.Wait(aLost ? second : first, aLost ? "b" : "a");

    EXPECT_EQ(lost.fExitCode, 2) << "quarters " << quarters;
    EXPECT_EQ(won.fExitCode, 0) << "quarters " << quarters;
    const std::string loserLog = ReadWholeFile(
        fs::directory_iterator(world.Path(aLost ? "logs-a" : "logs-b"))->path().string());
    EXPECT_NE(loserLog.find(InProgress(world)), std::string::npos)
        << "quarters " << quarters << loserLog;
    EXPECT_EQ(world.OpenCalls(), std::vector<std::string>{std::to_string(entries)})
        << "quarters " << quarters;
    EXPECT_TRUE(SameTree(world.Path("Installed/Demo.app"), world.Path("Download/Demo.app")))
        << "quarters " << quarters;
    EXPECT_EQ(HiddenItems(world.Path("Installed")), std::vector<std::string>{})
        << "quarters " << quarters;
    fs::remove_all(world.Path("logs-a"));
    fs::remove_all(world.Path("logs-b"));
  }
}

}  // namespace
}  // namespace zeft
