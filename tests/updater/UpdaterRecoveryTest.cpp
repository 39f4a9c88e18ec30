// What the updater does about what an interrupted or stuck run left: it
// puts back only the bundle a run's swap record shows it moved, removes
// only hidden copies of this very bundle, and a swap whose undo fails stops
// where it is for the next run to finish.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "SwapRecord.h"
#include "UpdaterWorld.h"
#include "platform/DirectoryWalk.h"
#include "platform/FileDescriptor.h"
#include "support/RepeatCount.h"
#include "support/ToolboxTestEnvironment.h"

namespace zeft {
namespace {

namespace fs = std::filesystem;
using test::Contains;
using test::HiddenItems;
using test::InterruptedUpdates;
using test::LogMessages;
using test::ReadWholeFile;
using test::SameTree;
using test::SortedNames;
using test::UpdaterRun;
using test::UpdaterWorld;

// The staging folder an interrupted run left in Installed/, as the updater
// names it.
const std::string kStaging = ".Demo.app.zeft-0123456789ab";

// Writes into the staging folder kStaging of Installed/ the swap record of
// a run whose installed bundle is now at `installed` and whose copy is at
// `staged` (both of Installed/).
void WriteRecord(const UpdaterWorld& world, const std::string& installed,
                 const std::string& staged) {
  platform::FileDescriptor folder(::open(world.Path("Installed").c_str(), O_RDONLY | O_DIRECTORY));
  platform::FileDescriptor staging(
      ::open(world.Path("Installed/" + kStaging).c_str(), O_RDONLY | O_DIRECTORY));
  SwapRecord record;
  ASSERT_TRUE(GetItemIdentity(folder.Get(), installed, record.fInstalled)) << installed;
  ASSERT_TRUE(GetItemIdentity(folder.Get(), staged, record.fStaged)) << staged;
  ASSERT_EQ(record.Write(staging.Get()), 0);
}

// The installed bundle is missing (deleted, moved, a wrong path) and the
// user keeps folders named like aside bundles beside it: without a record
// of a run that moved them, none is put in place; the run fails as for any
// missing bundle and nothing is moved, trashed or deleted.
TEST(UpdaterRecovery, FoldersThatOnlyLookSetAsideAreNeverTouched) {
  const struct {
    const char* fName;
    bool fForeignRecord;  // a staging folder whose record names another item
  } cases[] = {{"no record", false}, {"a record of another item", true}};
  for (const auto& c : cases) {
    UpdaterWorld world;
    for (const char* name : {"Demo_old2019.app", "Demo_old0003.app"}) {
      world.MakeBundle(std::string("Installed/") + name, name);
      world.MakeBundle(std::string("Reference/") + name, name);
    }
    if (c.fForeignRecord) {
      world.MakeBundle("Installed/" + kStaging + "/Demo.app", "2");
      fs::create_directories(world.Path("Installed/" + kStaging + "/Elsewhere.app"));
      WriteRecord(world, kStaging + "/Elsewhere.app", kStaging + "/Demo.app");
    }
    fs::remove_all(world.Path("Installed/Demo.app"));

    const UpdaterRun run = world.UpdateDemo({"--silent"});
    EXPECT_EQ(run.fExitCode, 2) << c.fName;
    for (const char* name : {"Demo_old2019.app", "Demo_old0003.app"}) {
      EXPECT_TRUE(SameTree(world.Path(std::string("Installed/") + name),
                           world.Path(std::string("Reference/") + name)))
          << c.fName << " " << name;
    }
    EXPECT_EQ(SortedNames(world.Path("Installed")),
              (std::vector<std::string>{"Demo_old0003.app", "Demo_old2019.app"}))
        << c.fName;
    EXPECT_FALSE(fs::exists(world.Path("home/.local/share/Trash"))) << c.fName;
    EXPECT_TRUE(world.OpenCalls().empty()) << c.fName;
    EXPECT_NE(world.LogText().find("The application to update was not found at '" +
                                   world.Path("Installed/Demo.app/") + "'"),
              std::string::npos)
        << c.fName << world.LogText();
  }
}

// What an interrupted run left is undone before anything else: the hidden
// copies of this bundle go, the bundle its record shows it moved comes back
// from wherever the run left it, and the update then goes through.
TEST(UpdaterRecovery, WhatAnInterruptedRunLeftIsUndoneFirst) {
  enum Left { kCopiesOnly, kRenamedAside, kExchanged };
  const struct {
    const char* fName;
    Left fLeft;
    const char* fPutBackFrom;  // of Installed/, "" when nothing is put back
    const char* fTrashedAs;    // the name the old bundle has in the Trash
  } cases[] = {
      {"hidden copies only", kCopiesOnly, "", "Demo_old0001.app"},
      // The first of the two renames made, the second not: the installed
      // path is empty; a look-alike older aside name stays as it is.
      {"set aside, not replaced", kRenamedAside, "Demo_old0002.app", "Demo_old0002.app"},
      // Exchanged with the copy, not yet set aside: the old bundle is in
      // the staging folder.
      {"exchanged, not set aside", kExchanged, ".Demo.app.zeft-0123456789ab/Demo.app",
       "Demo_old0001.app"},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    const std::string folder = world.Path("Installed/");
    world.MakeBundle("Reference/Demo.app", "1");
    // Partial copies of this bundle, and look-alikes that are not.
    const std::vector<std::string> partial = {kStaging, ".Demo.app.zeft-a1b2c3d4e5f6"};
    const std::vector<std::string> others = {".Demo.app.zeft-0123", ".Other.app.zeft-0123456789ab",
                                             ".Demo.app.zeft-0123456789AB"};
    for (const std::string& name : partial)
      world.MakeBundle("Installed/" + name + "/Demo.app", "2");
    fs::create_directories(world.Path("Installed/" + partial[1] + "/Demo.app/locked"));
    ::chmod(world.Path("Installed/" + partial[1] + "/Demo.app/locked").c_str(), 0);
    for (const std::string& name : others) std::ofstream(folder + name) << "keep";
    std::vector<std::string> expected = others;
    if (c.fLeft == kRenamedAside) {
      world.MakeBundle("Installed/Demo_old0001.app", "0");
      expected.push_back("Demo_old0001.app");
      fs::rename(folder + "Demo.app", folder + "Demo_old0002.app");
      WriteRecord(world, "Demo_old0002.app", kStaging + "/Demo.app");
    } else if (c.fLeft == kExchanged) {
      ASSERT_EQ(::renameat2(AT_FDCWD, (folder + "Demo.app").c_str(), AT_FDCWD,
                            (folder + kStaging + "/Demo.app").c_str(), RENAME_EXCHANGE),
                0);
      WriteRecord(world, kStaging + "/Demo.app", "Demo.app");
    }

    const UpdaterRun run = world.UpdateDemo({"--silent"});
    EXPECT_EQ(run.fExitCode, 0) << c.fName << world.LogText();
    EXPECT_EQ(world.InstalledVersion(), "2") << c.fName;
    EXPECT_TRUE(SameTree(world.Trashed(c.fTrashedAs), world.Path("Reference/Demo.app"))) << c.fName;
    expected.push_back("Demo.app");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SortedNames(folder), expected) << c.fName;

    const std::vector<std::string> messages = LogMessages(world.LogText());
    for (const std::string& name : partial) {
      EXPECT_TRUE(Contains(messages, "Removed the partial copy left by an interrupted update: '" +
                                         folder + name + "'"))
          << c.fName << world.LogText();
    }
    const std::string putBack =
        "Put the application set aside by an interrupted update back in place: '" + folder +
        c.fPutBackFrom + "' to '" + folder + "Demo.app'";
    EXPECT_EQ(Contains(messages, putBack), *c.fPutBackFrom != '\0') << c.fName << world.LogText();
  }
}

// Bundle names of up to 255 bytes are legal, and hidden names cannot hold
// all of a long one: a hidden copy is still only matched by the whole name.
TEST(UpdaterRecovery, HiddenCopiesAreMatchedByTheWholeBundleName) {
  UpdaterWorld world;
  const std::string shared(220, 'n');
  const std::string mine = shared + "-mine.app";
  const std::string theirs = shared + "-theirs.app";
  world.MakeBundle("Installed/" + mine, "1");
  world.MakeBundle("Installed/" + theirs, "1");
  const std::string myCopy = platform::TemporaryItemName(mine);
  const std::string theirCopy = platform::TemporaryItemName(theirs);
  // Named as hidden names were once cut, at 200 bytes: whose it is cannot
  // be told, so it is no one's to remove.
  const std::string cutCopy = "." + theirs.substr(0, 200) + ".zeft-0123456789ab";
  world.MakeBundle("Installed/" + myCopy + "/" + mine, "2");
  world.MakeBundle("Installed/" + theirCopy + "/" + theirs, "2");
  world.MakeBundle("Installed/" + cutCopy + "/" + theirs, "2");

  const UpdaterRun run =
      world.Update({"--silent", "--log-dir", world.Path("logs"), world.Path("Installed/" + mine),
                    world.Path("Download/Demo.app")});
  EXPECT_EQ(run.fExitCode, 0) << world.LogText();
  EXPECT_EQ(ReadWholeFile(world.Path("Installed/" + mine + "/Contents/Resources/version.txt")),
            "2");
  EXPECT_FALSE(fs::exists(world.Path("Installed/" + myCopy)));
  EXPECT_EQ(ReadWholeFile(world.Path("Installed/" + theirCopy + "/" + theirs +
                                     "/Contents/Resources/version.txt")),
            "2");
  std::vector<std::string> left = HiddenItems(world.Path("Installed"));
  std::sort(left.begin(), left.end());
  std::vector<std::string> expected = {theirCopy, cutCopy};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
}

// A move of the swap fails and so does its undo: nothing more moves or is
// deleted, the error says in one sentence which path holds which bundle,
// both bundles are whole, and the next run finishes from the swap record.
TEST(UpdaterRecovery, AFailedUndoStopsInPlaceAndTheNextRunFinishes) {
  const struct {
    const char* fName;
    std::vector<std::string> fFaults;
    std::vector<std::string> fNextFaults;  // the file system's refusals that last
    bool fExchanged;                       // the exchange road (else the two renames)
  } cases[] = {
      {"exchange, then its undo",
       {"ZEFT_TEST_RENAME_TO_FAILS=Demo_old*", "ZEFT_TEST_EXCHANGE_FAILS_FROM=2"},
       {},
       true},
      {"two renames, then the undo",
       {"ZEFT_TEST_EXCHANGE_REFUSED=1", "ZEFT_TEST_RENAME_TO_FAILS=Demo.app"},
       {"ZEFT_TEST_EXCHANGE_REFUSED=1"},
       false},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    world.MakeBundle("Reference/Demo.app", "1");
    world.UseRenameFaults(c.fFaults);
    const UpdaterRun stuck = world.UpdateDemo({"--silent"});
    EXPECT_EQ(stuck.fExitCode, 2) << c.fName;
    EXPECT_TRUE(world.OpenCalls().empty()) << c.fName;
    const std::vector<std::string> hidden = HiddenItems(world.Path("Installed"));
    ASSERT_EQ(hidden.size(), 1u) << c.fName;
    const std::string staged = world.Path("Installed/" + hidden[0] + "/Demo.app");
    const std::string installed = world.Path("Installed/Demo.app");
    const std::string aside = world.Path("Installed/Demo_old0001.app");
    const std::string oldAt = c.fExchanged ? staged : aside;
    const std::string newAt = c.fExchanged ? installed : staged;
    EXPECT_TRUE(SameTree(oldAt, world.Path("Reference/Demo.app"))) << c.fName;
    EXPECT_TRUE(SameTree(newAt, world.Path("Download/Demo.app"))) << c.fName;
    if (!c.fExchanged) {
      EXPECT_FALSE(fs::exists(installed)) << c.fName;
    }
    const std::string sentence =
        "The update stopped halfway and could not be undone: the application to update is at '" +
        oldAt + "/' and the up-to-date application at '" + newAt +
        "/'. Run the update again to finish it.";
    EXPECT_NE(world.LogText().find(sentence), std::string::npos) << c.fName << world.LogText();
    EXPECT_NE(world.LogText().find("INFO - Update failed - "), std::string::npos) << c.fName;

    world.UseRenameFaults(c.fNextFaults);
    EXPECT_EQ(world.UpdateDemo({"--silent"}).fExitCode, 0) << c.fName << world.LogText();
    EXPECT_TRUE(SameTree(installed, world.Path("Download/Demo.app"))) << c.fName;
    EXPECT_TRUE(SameTree(world.Trashed("Demo_old0001.app"), world.Path("Reference/Demo.app")))
        << c.fName;
    EXPECT_EQ(SortedNames(world.Path("Installed")), std::vector<std::string>{"Demo.app"})
        << c.fName;
  }
}

// Where the file system refuses to exchange two names, the installed bundle
// is set aside and the copy renamed into place. Killed at any moment of
// that, a run leaves the installed bundle in place or a record of where it
// went, and the same command run again finishes the update, leaves nothing
// hidden behind and has lost no bundle.
TEST(UpdaterReliability, AKilledTwoRenameUpdateIsFinishedByARerun) {
  if (test::ToolboxTestEnvironment::Allocator() == kAllocatorBlock)
    GTEST_SKIP() << "the same run as over the default allocator";
  InterruptedUpdates updates(
      [](UpdaterWorld& world) { world.UseRenameFaults({"ZEFT_TEST_EXCHANGE_REFUSED=1"}); });
  ASSERT_EQ(updates.FullRun().fExitCode, 0) << updates.FullRun().fError;
  // Fifty rounds in the full run, fifteen in CI.
  const int kRuns = test::RepeatCount(50, 15);
  int emptied = 0;
  for (int round = 0; round < kRuns; ++round) {
    UpdaterWorld world(InterruptedUpdates::Parent());
    updates.Prepare(world);
    updates.Interrupt(world, SIGKILL);
    const std::string installed = world.Path("Installed/Demo.app");
    if (!fs::exists(installed)) {
      ++emptied;
      EXPECT_TRUE(
          SameTree(world.Path("Installed/Demo_old0001.app"), world.Path("Reference/Demo.app")))
          << "round " << round;
    } else {
      EXPECT_TRUE(SameTree(installed, world.Path("Reference/Demo.app")) ||
                  SameTree(installed, world.Path("Download/Demo.app")))
          << "round " << round;
    }
    const UpdaterRun rerun = world.UpdateDemo({"--silent"});
    EXPECT_EQ(rerun.fExitCode, 0) << "round " << round << ": " << world.LogText();
    EXPECT_TRUE(SameTree(installed, world.Path("Download/Demo.app"))) << "round " << round;
    EXPECT_EQ(HiddenItems(world.Path("Installed")), std::vector<std::string>{})
        << "round " << round;
    // The old bundle is in the Trash, or beside the new one where the kill
    // came between its move aside and the Trash.
    bool oldKept = false;
    for (const std::string& folder :
         {world.Path("Installed"), world.Path("home/.local/share/Trash/files")}) {
      if (!fs::exists(folder)) continue;
      for (const auto& entry : fs::directory_iterator(folder))
        oldKept = oldKept || SameTree(entry.path(), world.Path("Reference/Demo.app"));
    }
    EXPECT_TRUE(oldKept) << "round " << round;
  }
  std::printf("after %d kills: installed path empty %d times\n", kRuns, emptied);
}

}  // namespace
}  // namespace zeft
