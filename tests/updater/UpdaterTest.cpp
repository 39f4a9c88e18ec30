// The built updater, driven from outside: command line, exit codes, what
// ends up on disk, what `open` was asked to do and what the log says.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "UpdaterWorld.h"
#include "support/RepeatCount.h"
#include "support/TempFolder.h"
#include "support/ToolboxTestEnvironment.h"

namespace zeft {
namespace {

namespace fs = std::filesystem;
using test::Contains;
using test::HiddenItems;
using test::InterruptedUpdates;
using test::Lines;
using test::LogMessages;
using test::ReadWholeFile;
using test::SameTree;
using test::SortedNames;
using test::UpdaterRun;
using test::UpdaterWorld;

mode_t Mode(const std::string& path) {
  struct stat info = {};
  ::lstat(path.c_str(), &info);
  return info.st_mode & 07777;
}

// Sets or clears the immutable flag of a folder (privileged); false when
// the file system or the user cannot.
bool SetImmutable(const std::string& path, bool on) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

TEST(UpdaterCommandLine, VersionPrintsTheBundleVersionAndUpdatesNothing) {
  UpdaterWorld world;
  const UpdaterRun run = world.Update({"--version", "--pid", "1", world.Path("Installed/Demo.app"),
                                       world.Path("Download/Demo.app")});
  EXPECT_EQ(run.fExitCode, 0);
  EXPECT_EQ(run.fOut, std::string(ZEFT_UPDATER_VERSION) + "\n");
  EXPECT_EQ(world.InstalledVersion(), "1");
}

TEST(UpdaterCommandLine, HelpListsTheOptionsAndExitsWithZero) {
  UpdaterWorld world;
  const UpdaterRun run = world.Update({"--help"});
  EXPECT_EQ(run.fExitCode, 0);
  for (const char* wanted : {"Novu Updater", "<path of app to update>", "--pid=VALUE",
                             "--restart-headless", "--version", "--log-dir=VALUE"}) {
    EXPECT_NE(run.fOut.find(wanted), std::string::npos) << wanted;
  }
}

TEST(UpdaterCommandLine, BadCommandLinesPrintTheirMessagesAndExitWithOne) {
  const std::string outdated = "mismatched value for option --outdated-app\n\n";
  const std::string upToDate = "mismatched value for option --uptodate-app\n\n";
  const struct {
    std::vector<std::string> fArguments;
    std::string fError;
  } cases[] = {
      {{}, upToDate + outdated},
      {{"/a.app"}, "not enough arguments from the command line (required <dest> <src>)\n\n"},
      {{"/a.app", "/b.app", "/c.app"}, "two many arguments from the command line\n"},
      {{"--outdated-app", "/x.app", "/a.app", "/b.app"}, outdated},
      {{"--outdated-app", "/x.app", "--uptodate-app", "/y.app", "/a.app", "/b.app"},
       outdated + upToDate},
      {{"--uptodate-app", "/b.app"}, outdated},
      {{"--outdated-app", "/a.app"}, upToDate},
  };
  UpdaterWorld world;
  for (const auto& c : cases) {
    const UpdaterRun run = world.Update(c.fArguments);
    EXPECT_EQ(run.fExitCode, 1) << c.fError;
    EXPECT_EQ(run.fError, c.fError);
  }
  EXPECT_EQ(world.InstalledVersion(), "1");
}

TEST(UpdaterUpdate, SwapsTheBundlesRelaunchesAndTrashesTheOldOne) {
  UpdaterWorld world;
  fs::create_symlink("Resources/version.txt", world.Path("Download/Demo.app/Contents/link"));
  ::chmod(world.Path("Download/Demo.app/Contents/Resources/version.txt").c_str(), 0640);
  const UpdaterRun run = world.UpdateDemo();
  ASSERT_EQ(run.fExitCode, 0) << run.fError;
  EXPECT_EQ(run.fOut, "");

  EXPECT_EQ(world.InstalledVersion(), "2");
  EXPECT_EQ(fs::read_symlink(world.Path("Installed/Demo.app/Contents/link")),
            "Resources/version.txt");
  EXPECT_EQ(Mode(world.Path("Installed/Demo.app/Contents/Resources/version.txt")), 0640u);
  EXPECT_EQ(Mode(world.Path("Installed/Demo.app/Contents/MacOS/demo")), 0755u);
  EXPECT_EQ(ReadWholeFile(world.Path("Download/Demo.app/Contents/Resources/version.txt")), "2");
  EXPECT_EQ(ReadWholeFile(world.Trashed("Demo_old0001.app/Contents/Resources/version.txt")), "1");
  EXPECT_FALSE(fs::exists(world.Path("Installed/Demo_old0001.app")));

  const std::vector<std::string> open = {"-a", world.Path("Installed/Demo.app/"), ""};
  EXPECT_EQ(world.OpenCalls(), open);

  const std::vector<std::string> messages = LogMessages(world.LogText());
  const std::vector<std::string> expected = {
      "Waiting for external process to quit",
      "Skipping process wait (negative pid)",
      "Proceeding with up-to-date application install...",
      "Proceeding with up-to-date application restart...",
      "Restarting installed application (open -a \"" + world.Path("Installed/Demo.app/") + "\")...",
      "Updated application restarted, returned 0",
      "Up-to-date application restarted",
  };
  ASSERT_GE(messages.size(), expected.size() + 2);
  EXPECT_EQ(messages.front().rfind("Updater starting - ", 0), 0u);
  EXPECT_EQ(std::vector<std::string>(messages.begin() + 1, messages.end() - 1), expected);
  EXPECT_EQ(messages.back().rfind("Update successful - ", 0), 0u);
}

// A Trash that refuses the old bundle after a good relaunch: the bundle is
// deleted instead and the refusal is only a warning.
TEST(UpdaterUpdate, ATrashThatRefusesTheOldBundleIsOnlyAWarning) {
  UpdaterWorld world;
  // A file where the Trash folder belongs: nothing can be put in it.
  fs::create_directories(world.Path("home/.local/share"));
  std::ofstream(world.Path("home/.local/share/Trash")) << "not a folder";
  const UpdaterRun run = world.UpdateDemo();
  EXPECT_EQ(run.fExitCode, 0) << run.fError;
  EXPECT_EQ(world.InstalledVersion(), "2");
  EXPECT_FALSE(fs::exists(world.Path("Installed/Demo_old0001.app")));
  EXPECT_EQ(ReadWholeFile(world.Path("home/.local/share/Trash")), "not a folder");
  const std::string log = world.LogText();
  EXPECT_NE(log.find("] WARN"), std::string::npos) << log;
  EXPECT_EQ(log.find("] ERROR"), std::string::npos) << log;
  EXPECT_TRUE(Contains(LogMessages(log), "Up-to-date application restarted"));
  EXPECT_EQ(LogMessages(log).back().rfind("Update successful - ", 0), 0u) << log;
}

TEST(UpdaterUpdate, MissingSameOrNestedBundlesFailWithTwoAndMoveNothing) {
  const struct {
    const char* fName;
    std::string fOutdated;
    std::string fUpToDate;
  } cases[] = {
      {"outdated missing", "Gone/Demo.app", "Download/Demo.app"},
      {"up-to-date missing", "Installed/Demo.app", "Gone/Demo.app"},
      {"same bundle", "Installed/Demo.app", "Installed/Demo.app"},
      {"same bundle, other spelling", "Installed/Demo.app/", "Installed/../Installed/Demo.app"},
      {"up-to-date inside", "Installed/Demo.app", "Installed/Demo.app/Contents/Resources/New.app"},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    world.MakeBundle("Installed/Demo.app/Contents/Resources/New.app", "3");
    const UpdaterRun run = world.Update({"--silent", "--log-dir", world.Path("logs"),
                                         world.Path(c.fOutdated), world.Path(c.fUpToDate)});
    EXPECT_EQ(run.fExitCode, 2) << c.fName;
    EXPECT_EQ(world.InstalledVersion(), "1") << c.fName;
    EXPECT_FALSE(fs::exists(world.Path("Installed/Demo_old0001.app"))) << c.fName;
    EXPECT_TRUE(world.OpenCalls().empty()) << c.fName;
    EXPECT_NE(world.LogText().find("Update failed - "), std::string::npos) << c.fName;
  }
}

// A name taken by anything is skipped at once, with no retry and its
// taker untouched.
TEST(UpdaterUpdate, TakenAsideNamesAreSkipped) {
  const struct {
    const char* fName;
    std::function<void(const UpdaterWorld&, const std::string&)> fTake;
  } cases[] = {
      {"a folder", [](const UpdaterWorld& world,
                      const std::string&) { world.MakeBundle("Installed/Demo_old0001.app", "0"); }},
      {"a file",
       [](const UpdaterWorld&, const std::string& taken) { std::ofstream(taken) << "0"; }},
      {"a link to nothing",
       [](const UpdaterWorld&, const std::string& taken) { fs::create_symlink("Gone", taken); }},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    const std::string taken = world.Path("Installed/Demo_old0001.app");
    c.fTake(world, taken);
    const fs::file_status before = fs::symlink_status(taken);
    ASSERT_EQ(world.UpdateDemo().fExitCode, 0) << c.fName << world.LogText();
    EXPECT_EQ(world.InstalledVersion(), "2") << c.fName;
    EXPECT_EQ(fs::symlink_status(taken).type(), before.type()) << c.fName;
    if (fs::is_regular_file(fs::symlink_status(taken))) {
      EXPECT_EQ(ReadWholeFile(taken), "0") << c.fName;
    }
    if (fs::is_directory(fs::symlink_status(taken))) {
      EXPECT_EQ(ReadWholeFile(taken + "/Contents/Resources/version.txt"), "0") << c.fName;
    }
    EXPECT_EQ(ReadWholeFile(world.Trashed("Demo_old0002.app/Contents/Resources/version.txt")), "1")
        << c.fName;
    EXPECT_EQ(world.LogText().find("could not be moved aside"), std::string::npos)
        << c.fName << world.LogText();
  }
}

// A folder mounted on itself cannot be renamed while it stays a mount
// point (EBUSY), which passes once it is unmounted: a failure that a retry
// mends. False when this user cannot mount.
bool MountOnItself(const std::string& path) {
  return ::mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0;
}

// An installed bundle that cannot be moved for a while: the move is
// retried every 3 s, five times at most, and an attempt that succeeds
// leaves no error of the earlier ones behind. A failure that no wait mends
// (the immutable flag: EPERM) is reported at once.
TEST(UpdaterUpdate, TheMoveAsideIsRetriedAndOnlyAFinalFailureCounts) {
  enum Hold { kBusy, kImmutable };
  const struct {
    const char* fName;
    Hold fHold;
    bool fReleased;
    int fExitCode;
    const char* fInstalled;
    size_t fRetries;
  } cases[] = {
      {"busy, released during the first wait", kBusy, true, 0, "2", 0},
      // Each error is logged twice: by the dump and by the process logger.
      {"busy, never released", kBusy, false, 2, "1", 8},
      {"immutable: not retried", kImmutable, false, 2, "1", 0},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    const std::string bundle = world.Path("Installed/Demo.app");
    if (c.fHold == kBusy && !MountOnItself(bundle))
      GTEST_SKIP() << "a folder cannot be mounted here";
    // The flag on the bundle's own folder forbids renaming it.
    if (c.fHold == kImmutable && !SetImmutable(bundle, true))
      GTEST_SKIP() << "the immutable flag cannot be set here";
    auto release = [&c, bundle] {
      if (c.fHold == kBusy) ::umount2(bundle.c_str(), MNT_DETACH);
      if (c.fHold == kImmutable) SetImmutable(bundle, false);
    };
    // The updater's moves and long waits, in order.
    const std::string transcript = world.Path("transcript.txt");
    world.UseFaults({"ZEFT_TEST_TRANSCRIPT=" + transcript});
    const pid_t updater = world.Start(
        {"--silent", "--log-dir", world.Path("logs"), bundle, world.Path("Download/Demo.app")});
    if (c.fReleased) {
      // Released once the first move has failed: during the wait after it.
      const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
      while (ReadWholeFile(transcript).find("move " + bundle + " 16\n") == std::string::npos &&
             std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      release();
    }
    const UpdaterRun run = world.Wait(updater);
    if (!c.fReleased) release();
    EXPECT_EQ(run.fExitCode, c.fExitCode) << c.fName;
    EXPECT_EQ(world.InstalledVersion(), c.fInstalled) << c.fName;
    const std::string log = world.LogText();
    size_t retries = 0;
    for (size_t at = log.find("could not be moved aside to '"); at != std::string::npos;
         at = log.find("could not be moved aside to '", at + 1))
      ++retries;
    EXPECT_EQ(retries, c.fRetries) << c.fName << log;
    // The moves of the bundle and the waits, in order (the copy's own and
    // the Trash's moves are left out).
    std::vector<std::string> moves;
    for (const std::string& line : Lines(ReadWholeFile(transcript))) {
      if (line.rfind("wait ", 0) == 0 || line.rfind("move " + bundle + " ", 0) == 0 ||
          line.rfind("move " + world.Path("Installed/Demo_old"), 0) == 0)
        moves.push_back(line);
    }
    const std::string aside = world.Path("Installed/Demo_old0001.app");
    if (c.fReleased) {
      // The exchange refused while the bundle was busy (EBUSY), one wait,
      // then the exchange and the move aside.
      EXPECT_EQ(moves, (std::vector<std::string>{"move " + bundle + " 16", "wait 3000",
                                                 "move " + bundle + " 0", "move " + aside + " 0"}))
          << c.fName;
    }
    if (c.fHold == kImmutable) {
      // Refused (EPERM) and reported at once: no wait, no other attempt.
      EXPECT_EQ(moves, std::vector<std::string>{"move " + bundle + " 1"}) << c.fName;
    }
    EXPECT_EQ(world.OpenCalls().empty(), !c.fReleased) << c.fName;
    // Nothing but the bundle, whatever happened: no copy or lock file left
    // beside it.
    EXPECT_EQ(SortedNames(world.Path("Installed")), std::vector<std::string>{"Demo.app"})
        << c.fName;
  }
}

// A target folder on a small file system that cannot hold the new bundle:
// the copy fails, the old bundle goes back in place.
TEST(UpdaterUpdate, AFullDiskRollsBackToTheOldApplication) {
  UpdaterWorld world;
  const std::string small = world.Path("Small");
  fs::create_directories(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "a small file system cannot be mounted here";
  world.MakeBundle("Small/Demo.app", "1");
  std::ofstream(world.Path("Download/Demo.app/Contents/Resources/big.bin"))
      << std::string(2 << 20, 'x');
  const UpdaterRun run = world.Update({"--silent", "--log-dir", world.Path("logs"),
                                       small + "/Demo.app", world.Path("Download/Demo.app")});
  EXPECT_EQ(run.fExitCode, 2);
  EXPECT_EQ(ReadWholeFile(small + "/Demo.app/Contents/Resources/version.txt"), "1");
  EXPECT_FALSE(fs::exists(small + "/Demo_old0001.app"));
  EXPECT_TRUE(world.OpenCalls().empty());
  EXPECT_TRUE(
      Contains(LogMessages(world.LogText()), "Rolling back up-to-date application install"));
  ::umount2(small.c_str(), MNT_DETACH);
}

// The folder holding the installed bundle cannot be changed (the immutable
// flag stands in for a read-only folder, whose modes root would ignore):
// the bundle cannot be moved aside, every retry fails and nothing moves.
TEST(UpdaterUpdate, AReadOnlyTargetFolderKeepsTheOldApplication) {
  UpdaterWorld world;
  if (!SetImmutable(world.Path("Installed"), true))
    GTEST_SKIP() << "the immutable flag cannot be set here";
  const UpdaterRun run = world.UpdateDemo({"--silent"});
  SetImmutable(world.Path("Installed"), false);
  EXPECT_EQ(run.fExitCode, 2);
  EXPECT_EQ(world.InstalledVersion(), "1");
  EXPECT_EQ(ReadWholeFile(world.Path("Installed/Demo.app/Contents/MacOS/demo")),
            "#!/bin/sh\necho v1\n");
  EXPECT_EQ(fs::directory_iterator(world.Path("Installed"))->path().filename(), "Demo.app");
  EXPECT_EQ(std::distance(fs::directory_iterator(world.Path("Installed")), {}), 1);
  EXPECT_TRUE(world.OpenCalls().empty());
  EXPECT_TRUE(Contains(LogMessages(world.LogText()), "Up-to-date application install failed"));
  EXPECT_NE(world.LogText().find("Update failed - "), std::string::npos);
}

// Killed at any moment, the update leaves the installed path holding the
// whole old or the whole new application, and the same command run again
// finishes the update and leaves nothing hidden behind, but an empty
// staging folder killed in the instant between being made and being
// marked, or between its record's removal and its own, which no run can
// tell from a folder of the user's.
TEST(UpdaterReliability, AKilledUpdateAlwaysLeavesAWholeApplicationAndARerunFinishesIt) {
  // The updater runs in its own process: the test's allocator changes nothing.
  if (test::ToolboxTestEnvironment::Allocator() == kAllocatorBlock)
    GTEST_SKIP() << "the same run as over the default allocator";
  InterruptedUpdates updates;
  ASSERT_EQ(updates.FullRun().fExitCode, 0) << updates.FullRun().fError;
  std::printf("an uninterrupted update takes %lld ms\n",
              static_cast<long long>(updates.Length().count() / 1000));
  // Fifty rounds in the full run, twenty in CI.
  const int kRuns = test::RepeatCount(50, 20);
  int oldInPlace = 0;
  int newInPlace = 0;
  for (int round = 0; round < kRuns; ++round) {
    UpdaterWorld world(InterruptedUpdates::Parent());
    updates.Prepare(world);
    updates.Interrupt(world, SIGKILL);
    const std::string installed = world.Path("Installed/Demo.app");
    if (SameTree(installed, world.Path("Reference/Demo.app"))) {
      ++oldInPlace;
    } else if (SameTree(installed, world.Path("Download/Demo.app"))) {
      ++newInPlace;
    } else {
      ADD_FAILURE() << "round " << round << ": no whole application in place";
    }
    const UpdaterRun rerun = world.UpdateDemo({"--silent"});
    EXPECT_EQ(rerun.fExitCode, 0) << "round " << round << ": " << world.LogText();
    EXPECT_TRUE(SameTree(installed, world.Path("Download/Demo.app"))) << "round " << round;
    EXPECT_EQ(test::HiddenItemsButUnmarkedFolders(world.Path("Installed")),
              std::vector<std::string>{})
        << "round " << round;
  }
  std::printf("after %d kills: old in place %d, new in place %d\n", kRuns, oldInPlace, newInPlace);
}

// The terminal that started the update closes (SIGHUP) at any moment: the
// update goes on to its end and says so by its exit code.
TEST(UpdaterReliability, AHangUpLetsTheUpdateFinish) {
  if (test::ToolboxTestEnvironment::Allocator() == kAllocatorBlock)
    GTEST_SKIP() << "the same run as over the default allocator";
  InterruptedUpdates updates;
  ASSERT_EQ(updates.FullRun().fExitCode, 0) << updates.FullRun().fError;
  // Fifty rounds in the full run, twenty in CI.
  const int kRuns = test::RepeatCount(50, 20);
  for (int round = 0; round < kRuns; ++round) {
    UpdaterWorld world(InterruptedUpdates::Parent());
    updates.Prepare(world);
    EXPECT_EQ(updates.Interrupt(world, SIGHUP), 0) << "round " << round << ": " << world.LogText();
    const std::string installed = world.Path("Installed/Demo.app");
    EXPECT_TRUE(SameTree(installed, world.Path("Download/Demo.app"))) << "round " << round;
    EXPECT_EQ(HiddenItems(world.Path("Installed")), std::vector<std::string>{})
        << "round " << round;
    EXPECT_EQ(world.UpdateDemo({"--silent"}).fExitCode, 0) << "round " << round;
    EXPECT_TRUE(SameTree(installed, world.Path("Download/Demo.app"))) << "round " << round;
  }
}

// An up-to-date folder that is no whole application never replaces the
// installed one: the run fails with its own error, exit code 2, before
// anything moves.
TEST(UpdaterUpdate, AnUpToDateFolderThatIsNoApplicationMovesNothing) {
  const struct {
    const char* fName;
    std::function<void(const UpdaterWorld&)> fSpoil;
  } cases[] = {
      {"no Contents",
       [](const UpdaterWorld& world) {
         fs::remove_all(world.Path("Download/Demo.app/Contents"));
         std::ofstream(world.Path("Download/Demo.app/readme.txt")) << "hello";
       }},
      {"no Info.plist",
       [](const UpdaterWorld& world) {
         fs::remove(world.Path("Download/Demo.app/Contents/Info.plist"));
       }},
      {"unreadable Info.plist",
       [](const UpdaterWorld& world) {
         std::ofstream(world.Path("Download/Demo.app/Contents/Info.plist")) << "<plist><dict>";
       }},
      {"no executable named",
       [](const UpdaterWorld& world) {
         std::ofstream(world.Path("Download/Demo.app/Contents/Info.plist"))
             << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict></dict></plist>\n";
       }},
      {"no executable",
       [](const UpdaterWorld& world) {
         fs::remove(world.Path("Download/Demo.app/Contents/MacOS/demo"));
       }},
      {"executable not executable",
       [](const UpdaterWorld& world) {
         ::chmod(world.Path("Download/Demo.app/Contents/MacOS/demo").c_str(), 0644);
       }},
      {"executable a folder",
       [](const UpdaterWorld& world) {
         fs::remove(world.Path("Download/Demo.app/Contents/MacOS/demo"));
         fs::create_directories(world.Path("Download/Demo.app/Contents/MacOS/demo"));
       }},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    world.MakeBundle("Reference/Demo.app", "1");
    c.fSpoil(world);
    const UpdaterRun run = world.UpdateDemo({"--silent"});
    EXPECT_EQ(run.fExitCode, 2) << c.fName;
    EXPECT_TRUE(SameTree(world.Path("Installed/Demo.app"), world.Path("Reference/Demo.app")))
        << c.fName;
    EXPECT_EQ(std::distance(fs::directory_iterator(world.Path("Installed")), {}), 1) << c.fName;
    EXPECT_TRUE(world.OpenCalls().empty()) << c.fName;
    const std::string log = world.LogText();
    // The sentence names the folder as the user typed it, in POSIX form.
    EXPECT_NE(log.find("The up-to-date application '" + world.Path("Download/Demo.app/") +
                       "' is not a whole application"),
              std::string::npos)
        << c.fName << log;
    EXPECT_NE(log.find("Update failed - "), std::string::npos) << c.fName;
  }
}

// `open` that fails says why on its standard error: the log keeps it.
TEST(UpdaterUpdate, WhatAFailingOpenSaysIsLogged) {
  UpdaterWorld world;
  const std::string script = world.Path("bin/open");
  std::ofstream(script, std::ios::trunc)
      << "#!/bin/sh\necho 'Unable to find application named Demo' >&2\nexit 1\n";
  ::chmod(script.c_str(), 0755);
  EXPECT_EQ(world.UpdateDemo().fExitCode, 0);
  const std::vector<std::string> messages = LogMessages(world.LogText());
  EXPECT_TRUE(Contains(messages, "The open command wrote: Unable to find application named Demo"))
      << world.LogText();
  EXPECT_TRUE(Contains(messages, "Updated application restarted, returned 1"));
}

TEST(UpdaterUpdate, AFailedRelaunchKeepsTheOldBundleAside) {
  UpdaterWorld world;
  world.RemoveOpen();
  const UpdaterRun run = world.UpdateDemo({"--silent"});
  EXPECT_EQ(run.fExitCode, 2);
  EXPECT_EQ(world.InstalledVersion(), "2");
  EXPECT_EQ(ReadWholeFile(world.Path("Installed/Demo_old0001.app/Contents/Resources/version.txt")),
            "1");
  const std::vector<std::string> messages = LogMessages(world.LogText());
  EXPECT_TRUE(Contains(messages, "Up-to-date application restart failed"));
}

TEST(UpdaterUpdate, AnOpenThatFailsIsLoggedButNotJudged) {
  UpdaterWorld world;
  world.SetOpenExitStatus(3);
  EXPECT_EQ(world.UpdateDemo().fExitCode, 0);
  EXPECT_TRUE(Contains(LogMessages(world.LogText()), "Updated application restarted, returned 3"));
}

TEST(UpdaterUpdate, RestartParametersAndHeadlessModeReachOpen) {
  const struct {
    std::vector<std::string> fOptions;
    std::vector<std::string> fAfterBundle;
  } cases[] = {
      {{"--restart-headless"}, {"--args", "--headless"}},
      {{"--restart-params", "/tmp/params file"}, {"--args", "/tmp/params file"}},
      {{"--restart-params", "/tmp/params file", "--restart-headless"},
       {"--args", "/tmp/params file", "--headless"}},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    ASSERT_EQ(world.UpdateDemo(c.fOptions).fExitCode, 0);
    std::vector<std::string> expected = {"-a", world.Path("Installed/Demo.app/")};
    expected.insert(expected.end(), c.fAfterBundle.begin(), c.fAfterBundle.end());
    expected.push_back("");
    EXPECT_EQ(world.OpenCalls(), expected);
  }
}

// Names that a command line or a shell could split, expand or take for an
// option reach `open` whole: spaces, both quotes, backslashes, '$', '`',
// '*' and a leading '-'.
TEST(UpdaterUpdate, AwkwardBundleAndParameterNamesReachOpenWhole) {
  UpdaterWorld world;
  const std::string name = "-My \"Demo\" $HOME `id` * App's\\ 2\\.app";
  world.MakeBundle("Installed/" + name, "1");
  world.MakeBundle("Download/" + name, "2");
  const std::string params = world.Path("-params \"x\" 'y'\\");
  const UpdaterRun run =
      world.Update({"--silent", "--log-dir", world.Path("logs"), "--restart-params", params,
                    world.Path("Installed/" + name), world.Path("Download/" + name)});
  ASSERT_EQ(run.fExitCode, 0) << run.fError;
  EXPECT_EQ(ReadWholeFile(world.Path("Installed/" + name + "/Contents/Resources/version.txt")),
            "2");
  const std::vector<std::string> open = {"-a", world.Path("Installed/" + name + "/"), "--args",
                                         params, ""};
  EXPECT_EQ(world.OpenCalls(), open);
  EXPECT_TRUE(fs::exists(world.Trashed("-My \"Demo\" $HOME `id` * App's\\ 2\\_old0001.app")));
}

// Through the real `open`, the relaunched program is the installed bundle's
// executable by its exact path, however awkward the bundle's name.
TEST(UpdaterUpdate, TheRealOpenStartsTheInstalledExecutableByItsExactPath) {
  UpdaterWorld world;
  world.RemoveOpen();
  fs::create_symlink(ZEFT_OPEN_TOOL_PATH, world.Path("bin/open"));
  const std::string name = "My \"Demo\" $HOME `id` App's\\ 2.app";
  world.MakeBundle("Installed/" + name, "1");
  world.MakeBundle("Download/" + name, "2");
  const std::string ran = world.Path("ran.txt");
  std::ofstream(world.Path("Download/" + name + "/Contents/MacOS/demo"), std::ios::trunc)
      << "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" << ran << ".tmp'\nmv '" << ran << ".tmp' '"
      << ran << "'\n";
  const std::string params = world.Path("params $x 'y'");
  const UpdaterRun run =
      world.Update({"--silent", "--log-dir", world.Path("logs"), "--restart-params", params,
                    world.Path("Installed/" + name), world.Path("Download/" + name)});
  ASSERT_EQ(run.fExitCode, 0) << run.fError;
  // The program runs detached: wait for its line (bounded).
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!fs::exists(ran) && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const std::vector<std::string> started = {
      world.Path("Installed/" + name + "/Contents/MacOS/demo"), params};
  EXPECT_EQ(Lines(ReadWholeFile(ran)), started);
}

TEST(UpdaterProgress, TheProgressLineIsWrittenOnlyWithACallerLog) {
  const struct {
    std::vector<std::string> fOptions;
    std::string fOut;
  } cases[] = {
      {{"--caller-log", "caller.txt"}, "waitquit,-1\n"},
      {{"--caller-log="}, ""},
      {{}, ""},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    const UpdaterRun run = world.UpdateDemo(c.fOptions);
    EXPECT_EQ(run.fExitCode, 0);
    EXPECT_EQ(run.fOut, c.fOut);
    EXPECT_EQ(run.fError, "");
  }
}

// The caller reads the updater's output through a pipe: end of file comes
// right after the progress line, while the updater still waits.
TEST(UpdaterProgress, TheCallerSeesEndOfFileWhileTheUpdaterWaits) {
  UpdaterWorld world;
  // The process waited for lives until the test closes its pipe: the
  // updater is still waiting whenever the test looks.
  int holdFds[2];
  ASSERT_EQ(::pipe(holdFds), 0);
  const pid_t sleeper = ::fork();
  if (sleeper == 0) {
    ::close(holdFds[1]);
    char byte;
    while (::read(holdFds[0], &byte, 1) > 0) {
    }
    ::_exit(0);
  }
  ::close(holdFds[0]);
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const std::string home = "HOME=" + world.Path("home");
  const std::string path = "PATH=" + world.Path("bin") + ":/usr/bin:/bin";
  const std::string pid = std::to_string(sleeper);
  const std::string installed = world.Path("Installed/Demo.app");
  const std::string download = world.Path("Download/Demo.app");
  const pid_t updater = ::fork();
  if (updater == 0) {
    ::close(holdFds[1]);
    ::dup2(pipeFds[1], 1);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    const char* argv[] = {ZEFT_UPDATER_PATH, "--caller-log",   "x",    "--pid", pid.c_str(),
                          installed.c_str(), download.c_str(), nullptr};
    const char* envp[] = {home.c_str(), path.c_str(), nullptr};
    ::execve(argv[0], const_cast<char**>(argv), const_cast<char**>(envp));
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  ::close(pipeFds[0]);
  // End of file came while the updater was still waiting for the sleeper.
  int status = 0;
  EXPECT_EQ(::waitpid(updater, &status, WNOHANG), 0);
  EXPECT_EQ(out, "waitquit,-1\n");
  ::close(holdFds[1]);
  ::waitpid(sleeper, nullptr, 0);
  ASSERT_EQ(::waitpid(updater, &status, 0), updater);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(world.InstalledVersion(), "2");
}

TEST(UpdaterWait, ALivePidIsWaitedForBeforeAnythingMoves) {
  UpdaterWorld world;
  const pid_t sleeper = ::fork();
  if (sleeper == 0) {
    ::usleep(1000 * 1000);
    ::_exit(0);
  }
  const auto start = std::chrono::steady_clock::now();
  const UpdaterRun run = world.UpdateDemo({"--pid", std::to_string(sleeper)});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ::waitpid(sleeper, nullptr, 0);
  EXPECT_EQ(run.fExitCode, 0);
  EXPECT_GE(elapsed, std::chrono::milliseconds(1000));
  const std::vector<std::string> messages = LogMessages(world.LogText());
  const std::string pid = std::to_string(sleeper);
  EXPECT_TRUE(Contains(messages, "Waiting for process " + pid + " to quit"));
  EXPECT_TRUE(Contains(messages, "Process " + pid + " has quit. Proceeding."));
  EXPECT_EQ(world.InstalledVersion(), "2");
}

TEST(UpdaterClient, TheConnectionFileIsWrittenAndTheExecutableMadeExecutable) {
  const struct {
    const char* fJSON;
    const char* fConnection;
  } cases[] = {
      {R"({"ServerPlatform":"x","BuildIPAdress":"10.0.0.1","BuildIPPort":"19812",)"
       R"("PublishName":"Shop","BuildCacheFolderNameClient":"cache","RemoteSharedResources":true})",
       R"(<?xml version="1.0" encoding="UTF-8"?><database_shortcut is_remote="true" )"
       R"(server_database_name="Shop" server_path="10.0.0.1:19812" cache_folder_name="cache" )"
       R"(remote_shared_resources="true"/>)"},
      {R"({"ServerPlatform":"x","BuildIPAdress":"host","RemoteSharedResources":"yes"})",
       R"(<?xml version="1.0" encoding="UTF-8"?><database_shortcut is_remote="true" )"
       R"(server_database_name="" server_path="host" cache_folder_name="" )"
       R"(remote_shared_resources="false"/>)"},
      {R"({"ServerPlatform":"x"})", nullptr},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    ::chmod(world.Path("Download/Demo.app/Contents/MacOS/demo").c_str(), 0640);
    std::ofstream(world.Path("client.json")) << c.fJSON;
    const UpdaterRun run = world.UpdateDemo({"--client-info", world.Path("client.json")});
    ASSERT_EQ(run.fExitCode, 0) << c.fJSON << run.fError;
    const std::string file =
        world.Path("Installed/Demo.app/Contents/Database/RivivavUdevar.Roridevu");
    if (c.fConnection != nullptr) {
      EXPECT_EQ(ReadWholeFile(file), c.fConnection);
    } else {
      EXPECT_FALSE(fs::exists(file));
    }
    EXPECT_EQ(Mode(world.Path("Installed/Demo.app/Contents/MacOS/demo")), 0751u) << c.fJSON;
  }
}

TEST(UpdaterClient, ABadCustomizationFileStopsTheUpdateBeforeTheSwap) {
  const struct {
    const char* fName;
    const char* fJSON;
    bool fBlockDatabase = false;
  } cases[] = {
      {"not JSON", "{ServerPlatform"},
      // Cut short after usable properties: half a file is no file.
      {"cut short", R"({"ServerPlatform":"x","BuildIPAdress":"host")"},
      {"not an object", "[1, 2]"},
      {"no platform", R"({"BuildIPAdress":"host"})"},
      {"platform not a string", R"({"ServerPlatform":3})"},
      {"missing file", nullptr},
      // A file stands where the connection file's folder goes.
      {"connection file not writable", R"({"ServerPlatform":"x","BuildIPAdress":"host"})", true},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    if (c.fJSON != nullptr) std::ofstream(world.Path("client.json")) << c.fJSON;
    if (c.fBlockDatabase) std::ofstream(world.Path("Download/Demo.app/Contents/Database"));
    const UpdaterRun run =
        world.UpdateDemo({"--silent", "--client-info", world.Path("client.json")});
    EXPECT_EQ(run.fExitCode, 2) << c.fName;
    EXPECT_EQ(world.InstalledVersion(), "1") << c.fName;
    EXPECT_TRUE(world.OpenCalls().empty()) << c.fName;
    for (const char* app : {"Download", "Installed"}) {
      EXPECT_FALSE(
          fs::exists(world.Path(app) + "/Demo.app/Contents/Database/RivivavUdevar.Roridevu"))
          << c.fName;
    }
  }
}

// Without a desktop the alert is written on standard error and answered by
// its default button at once, naming the log file that holds this run.
TEST(UpdaterReport, AFailureWithoutSilentNeverBlocksAndNamesTheLogWritten) {
  UpdaterWorld world;
  // Log files of this and the next seconds exist already: the logger goes
  // on with the newest of them, not with number 1.
  fs::create_directories(world.Path("logs"));
  const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  for (int offset = 0; offset < 3; ++offset) {
    const time_t when = now + offset;
    struct tm local = {};
    ::localtime_r(&when, &local);
    char name[64];
    std::strftime(name, sizeof name, "%Y-%m-%d_%H-%M-%S_log", &local);
    std::ofstream(world.Path("logs/") + name + "_1.txt") << "earlier\n";
    std::ofstream(world.Path("logs/") + name + "_2.txt") << "earlier\n";
  }
  const UpdaterRun run = world.Update({"--log-dir", world.Path("logs"), world.Path("Gone/Demo.app"),
                                       world.Path("Download/Demo.app")});
  EXPECT_EQ(run.fExitCode, 2);
  const size_t start = run.fError.find("More information is available in the log file '");
  ASSERT_NE(start, std::string::npos) << run.fError;
  const size_t open = run.fError.find('\'', start);
  const std::string named = run.fError.substr(open + 1, run.fError.find('\'', open + 1) - open - 1);
  EXPECT_NE(ReadWholeFile(named).find("Update failed - "), std::string::npos) << named;
  EXPECT_NE(run.fError.find("The application to update was not found at '"), std::string::npos)
      << run.fError;
}

// The error texts and the alert's sentence are read from the bundle's
// localization, not from the texts built into the program.
TEST(UpdaterReport, TheTextsComeFromTheBundlesLocalization) {
  UpdaterWorld world;
  world.UseUpdaterCopy([](std::string& xliff) {
    for (const auto& [from, to] : {
             std::pair<std::string, std::string>{
                 "The application to update was not found at '{path}'.",
                 "Nothing to update at '{path}'."},
             {"More information is available in the log file '{LogFilePath}'",
              "See '{LogFilePath}'"},
         }) {
      const size_t at = xliff.find(from);
      ASSERT_NE(at, std::string::npos) << from;
      xliff.replace(at, from.size(), to);
    }
  });
  const UpdaterRun run = world.Update({"--log-dir", world.Path("logs"), world.Path("Gone/Demo.app"),
                                       world.Path("Download/Demo.app")});
  EXPECT_EQ(run.fExitCode, 2);
  const std::string gone = "Nothing to update at '";
  EXPECT_NE(world.LogText().find(gone), std::string::npos) << world.LogText();
  EXPECT_NE(run.fError.find(gone), std::string::npos) << run.fError;
  EXPECT_NE(run.fError.find("See '" + world.Path("logs/")), std::string::npos) << run.fError;
  EXPECT_EQ(run.fError.find("was not found"), std::string::npos) << run.fError;
}

}  // namespace
}  // namespace zeft
