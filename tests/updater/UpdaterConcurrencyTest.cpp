// One update per bundle at a time: a run that finds another holding its
// bundle stops at once and touches nothing, while bundles beside it stay
// free to update.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
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

// The number of items in the tree at `path`, itself included.
size_t CountEntries(const std::string& path) {
  size_t count = 1;
  for (auto it = fs::recursive_directory_iterator(path); it != fs::recursive_directory_iterator();
       ++it)
    ++count;
  return count;
}

// Two updaters started together on one big bundle, a little apart or at
// once: one installs the whole download and relaunches it, the other stops
// with its sentence; the application relaunched is whole.
TEST(UpdaterConcurrency, OfTwoUpdatersOfOneBundleOneInstallsAWholeCopyTheOtherStops) {
  if (test::ToolboxTestEnvironment::Allocator() == kAllocatorBlock)
    GTEST_SKIP() << "the same run as over the default allocator";
  UpdaterWorld world(fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
  // A download of 20,000 items in folders of 100, as resources lie.
  const std::string resources = world.Path("Download/Demo.app/Contents/Resources/");
  for (int folder = 0; folder < 200; ++folder) {
    const std::string name = resources + "r" + std::to_string(folder) + "/";
    fs::create_directories(name);
    for (int file = 0; file < 100; ++file)
      std::ofstream(name + std::to_string(file) + ".txt") << name << file;
  }
  const size_t entries = CountEntries(world.Path("Download/Demo.app"));
  ASSERT_GE(entries, 20000u);
  // The relaunch records how many items the relaunched bundle holds, then
  // lasts 2 s, which the winner spends holding its lock: a second run
  // started within half a lone update's length meets it however much
  // faster the copy goes than when it was timed.
  const std::string open = world.Path("bin/open");
  std::ofstream(open, std::ios::trunc)
      << "#!/bin/sh\nfind \"$2\" | wc -l >> '" << world.Path("open.log") << "'\nsleep 2\n";
  ::chmod(open.c_str(), 0755);

  const auto reset = [&world] {
    fs::remove_all(world.Path("Installed"));
    fs::remove_all(world.Path("home/.local/share/Trash"));
    fs::remove(world.Path("open.log"));
    world.MakeBundle("Installed/Demo.app", "1");
  };
  // The second starts at once, or a quarter or half of a lone update later.
  reset();
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(world.UpdateDemo({"--silent"}).fExitCode, 0) << world.LogText();
  const auto length = std::chrono::steady_clock::now() - begin;
  for (const int quarters : {0, 1, 2}) {
    const auto gap = length * quarters / 4;
    reset();
    const std::vector<std::string> arguments = {world.Path("Installed/Demo.app"),
                                                world.Path("Download/Demo.app")};
    auto start = [&world, &arguments](const std::string& run) {
      std::vector<std::string> command = {"--silent", "--log-dir", world.Path("logs-" + run)};
      command.insert(command.end(), arguments.begin(), arguments.end());
      return world.Start(command, run);
    };
    const pid_t first = start("a");
    std::this_thread::sleep_for(gap);
    const pid_t second = start("b");
    const UpdaterRun a = world.Wait(first, "a");
    const UpdaterRun b = world.Wait(second, "b");

    const bool aWon = a.fExitCode == 0;
    EXPECT_EQ(aWon ? b.fExitCode : a.fExitCode, 2) << "quarters " << quarters;
    EXPECT_EQ(aWon ? a.fExitCode : b.fExitCode, 0) << "quarters " << quarters;
    const std::string loserLog = ReadWholeFile(
        fs::directory_iterator(world.Path(aWon ? "logs-b" : "logs-a"))->path().string());
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
