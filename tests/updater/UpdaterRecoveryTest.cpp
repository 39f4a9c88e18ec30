// What the updater does about what an interrupted or stuck run left: it
// puts back only the bundle a run's swap record shows it moved, removes
// only hidden copies of this very bundle, and a swap whose undo fails stops
// where it is for the next run to finish.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
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

// The world's tree of which the up-to-date bundle is a twin.
const std::string kUpToDateTwin = "Download/Demo.app";

// Whether `text` begins with `start` and ends with `end`, apart.
bool StartsAndEndsWith(const std::string& text, const std::string& start, const std::string& end) {
  return text.size() >= start.size() + end.size() && text.compare(0, start.size(), start) == 0 &&
         text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Writes into the staging folder kStaging of Installed/ the swap record of
// a run whose installed bundle is now at `installed` and whose copy is at
// `staged` (both of Installed/), and which sets the installed bundle aside
// under the aside name numbered `aside`.
void WriteRecord(const UpdaterWorld& world, const std::string& installed, const std::string& staged,
                 int aside = 1) {
  platform::FileDescriptor folder(::open(world.Path("Installed").c_str(), O_RDONLY | O_DIRECTORY));
  platform::FileDescriptor staging(
      ::open(world.Path("Installed/" + kStaging).c_str(), O_RDONLY | O_DIRECTORY));
  SwapRecord record;
  ASSERT_TRUE(GetItemIdentity(staging.Get(), "", record.fStaging));
  ASSERT_TRUE(GetItemIdentity(folder.Get(), installed, record.fInstalled)) << installed;
  ASSERT_TRUE(GetItemIdentity(folder.Get(), staged, record.fStaged)) << staged;
  record.fAsideNumber = aside;
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
    for (const std::string& name : partial) {
      world.MakeBundle("Installed/" + name + "/Demo.app", "2");
      ASSERT_TRUE(test::MarkAsStaging(folder + name));
    }
    fs::create_directories(world.Path("Installed/" + partial[1] + "/Demo.app/locked"));
    ::chmod(world.Path("Installed/" + partial[1] + "/Demo.app/locked").c_str(), 0);
    for (const std::string& name : others) std::ofstream(folder + name) << "keep";
    std::vector<std::string> expected = others;
    if (c.fLeft == kRenamedAside) {
      world.MakeBundle("Installed/Demo_old0001.app", "0");
      expected.push_back("Demo_old0001.app");
      fs::rename(folder + "Demo.app", folder + "Demo_old0002.app");
      WriteRecord(world, "Demo_old0002.app", kStaging + "/Demo.app", 2);
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
      EXPECT_TRUE(Contains(
          messages,
          "Removed the hidden folder that an interrupted update left: '" + folder + name + "'"))
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
  for (const std::string& copy : {myCopy, theirCopy, cutCopy})
    ASSERT_TRUE(test::MarkAsStaging(world.Path("Installed/" + copy)));

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
    world.UseFaults(c.fFaults);
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

    world.UseFaults(c.fNextFaults);
    EXPECT_EQ(world.UpdateDemo({"--silent"}).fExitCode, 0) << c.fName << world.LogText();
    EXPECT_TRUE(SameTree(installed, world.Path("Download/Demo.app"))) << c.fName;
    EXPECT_TRUE(SameTree(world.Trashed("Demo_old0001.app"), world.Path("Reference/Demo.app")))
        << c.fName;
    EXPECT_EQ(SortedNames(world.Path("Installed")), std::vector<std::string>{"Demo.app"})
        << c.fName;
  }
}

// Where a killed run left the old bundle.
enum class OldAt { kStaging, kAside };

// Runs the world's update in the faults build with `faults`, which must
// kill it: the state it leaves is a real run's, stopped at a chosen step,
// with the old bundle (whose twin it keeps as Reference/Demo.app) where
// `oldAt` says (under the aside name `aside` when set aside) and the
// installed path holding the new one, or nothing after a rename aside.
void KillUpdate(UpdaterWorld& world, const std::vector<std::string>& faults, OldAt oldAt,
                const std::string& aside = "Demo_old0001.app") {
  world.MakeBundle("Reference/Demo.app", "1");
  world.UseFaults(faults);
  ASSERT_EQ(world.UpdateDemo({"--silent"}).fExitCode, -1) << world.LogText();
  world.UseFaults({});
  const std::string installed = world.Path("Installed/Demo.app");
  if (oldAt == OldAt::kStaging) {
    bool staged = false;
    for (const std::string& name : HiddenItems(world.Path("Installed")))
      staged = staged || SameTree(world.Path("Installed/" + name + "/Demo.app"),
                                  world.Path("Reference/Demo.app"));
    EXPECT_TRUE(staged) << "the old bundle is not in the staging folder";
  } else {
    EXPECT_TRUE(SameTree(world.Path("Installed/" + aside), world.Path("Reference/Demo.app")));
  }
  EXPECT_TRUE(!fs::exists(installed) || SameTree(installed, world.Path("Download/Demo.app")));
}

// The staging folder an interrupted run left in Installed/ (its only
// hidden item but the lock file); "" when there is none.
std::string StagingFolder(const UpdaterWorld& world) {
  std::string staging;
  for (const std::string& name : HiddenItems(world.Path("Installed")))
    if (name != ".Demo.app.zeft-lock") staging = world.Path("Installed/" + name);
  return staging;
}

// The next run, without faults, finishes the update: the new bundle in
// place, the old one in the Trash as `trashedAs` and nothing else left in
// Installed/ but the `kept` items.
void ExpectARerunFinishes(UpdaterWorld& world, const char* name,
                          const std::string& trashedAs = "Demo_old0001.app",
                          std::vector<std::string> kept = {}) {
  world.UseFaults({});
  EXPECT_EQ(world.UpdateDemo({"--silent"}).fExitCode, 0) << name << world.LogText();
  EXPECT_TRUE(SameTree(world.Path("Installed/Demo.app"), world.Path("Download/Demo.app"))) << name;
  EXPECT_TRUE(SameTree(world.Trashed(trashedAs), world.Path("Reference/Demo.app"))) << name;
  kept.push_back("Demo.app");
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(SortedNames(world.Path("Installed")), kept) << name;
}

// Runs the world's update twice, each run stopping in place: exit code 2,
// `sentence` in its log, the old bundle whole at `oldAt`, at `newAt` the
// twin of `newIs` of the world (nothing when it is ""), the record of the
// staging folder `staging` kept and nothing relaunched. Where the
// up-to-date copy is not at `newAt`, its log must not say `newAt` is.
void ExpectTwoRunsStopInPlace(UpdaterWorld& world, const char* name, const std::string& sentence,
                              const std::string& oldAt, const std::string& newAt,
                              const std::string& staging,
                              const std::string& newIs = kUpToDateTwin) {
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(world.UpdateDemo({"--silent"}).fExitCode, 2) << name;
    EXPECT_NE(world.LogText().find(sentence), std::string::npos) << name << world.LogText();
    if (newIs != kUpToDateTwin) {
      EXPECT_EQ(world.LogText().find("up-to-date application at '" + newAt), std::string::npos)
          << name << world.LogText();
    }
    EXPECT_TRUE(SameTree(oldAt, world.Path("Reference/Demo.app"))) << name;
    EXPECT_TRUE(newIs.empty() ? !fs::exists(fs::symlink_status(newAt))
                              : SameTree(newAt, world.Path(newIs)))
        << name;
    EXPECT_TRUE(fs::exists(staging + "/" + SwapRecord::kFileName)) << name;
    EXPECT_TRUE(world.OpenCalls().empty()) << name;
    fs::remove_all(world.Path("logs"));
  }
}

// Makes the folder of the aside bundle `from` (of Installed/) the user's
// own folder `to`: the same item (its inode and birth time, as when the
// file system gives a freed inode number to a new folder) under another
// aside name, with the user's files in it.
void MakeUsersFolderOf(const UpdaterWorld& world, const std::string& from, const std::string& to) {
  fs::rename(world.Path("Installed/" + from), world.Path("Installed/" + to));
  for (const auto& entry : fs::directory_iterator(world.Path("Installed/" + to)))
    fs::remove_all(entry.path());
  world.MakeBundle("Installed/" + to, "mine");
  world.MakeBundle("Reference/" + to, "mine");
}

// A run stopped at a real step of either swap leaves its record; what the
// next run does depends on that step, not on what merely looks like the
// bundle that run moved. Where the user replaced the set-aside bundle with
// a folder of their own that has its identity (a freed inode number given
// again) under another aside name, that folder is never put in place: the
// update fails as for any missing bundle and the user's folder stays whole.
TEST(UpdaterRecovery, AStaleRecordPutsBackOnlyWhatItsRunLeftHalfway) {
  const std::vector<std::string> exchangeKilled = {"ZEFT_TEST_KILLED_AFTER_EXCHANGE=1"};
  const std::vector<std::string> asideKilled = {"ZEFT_TEST_KILLED_AFTER_MOVE_TO=Demo_old*"};
  const std::vector<std::string> renamesKilled = {"ZEFT_TEST_EXCHANGE_REFUSED=1",
                                                  "ZEFT_TEST_KILLED_AFTER_MOVE_TO=Demo_old*"};
  const struct {
    const char* fName;
    std::vector<std::string> fKilledBy;
    OldAt fOldAt;
    bool fUserTakesAside;  // the user's own folder takes the aside bundle's identity
    bool fUserDeletesInstalled;
    bool fUpdated;  // else the run fails with the bundle not found
  } cases[] = {
      {"exchanged, not set aside", exchangeKilled, OldAt::kStaging, false, false, true},
      {"set aside by the exchange: complete", asideKilled, OldAt::kAside, false, false, true},
      {"complete; the user's folder took the aside bundle's identity", asideKilled, OldAt::kAside,
       true, true, false},
      {"set aside by rename, not replaced", renamesKilled, OldAt::kAside, false, false, true},
      {"set aside by rename; the user's folder took the aside bundle's identity", renamesKilled,
       OldAt::kAside, true, false, false},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    KillUpdate(world, c.fKilledBy, c.fOldAt);
    if (c.fUserDeletesInstalled) fs::remove_all(world.Path("Installed/Demo.app"));
    if (c.fUserTakesAside) MakeUsersFolderOf(world, "Demo_old0001.app", "Demo_old2019.app");

    const UpdaterRun run = world.UpdateDemo({"--silent"});
    EXPECT_EQ(HiddenItems(world.Path("Installed")), std::vector<std::string>{}) << c.fName;
    if (c.fUpdated) {
      EXPECT_EQ(run.fExitCode, 0) << c.fName << world.LogText();
      EXPECT_TRUE(SameTree(world.Path("Installed/Demo.app"), world.Path("Download/Demo.app")))
          << c.fName;
      // The old bundle in the Trash, or beside the new one where the
      // killed run had set it aside already.
      const std::string old = fs::exists(world.Trashed("Demo_old0001.app"))
                                  ? world.Trashed("Demo_old0001.app")
                                  : world.Path("Installed/Demo_old0001.app");
      EXPECT_TRUE(SameTree(old, world.Path("Reference/Demo.app"))) << c.fName;
      continue;
    }
    EXPECT_EQ(run.fExitCode, 2) << c.fName << world.LogText();
    EXPECT_NE(world.LogText().find("The application to update was not found at '" +
                                   world.Path("Installed/Demo.app/") + "'"),
              std::string::npos)
        << c.fName << world.LogText();
    EXPECT_EQ(SortedNames(world.Path("Installed")), std::vector<std::string>{"Demo_old2019.app"})
        << c.fName;
    EXPECT_TRUE(SameTree(world.Path("Installed/Demo_old2019.app"),
                         world.Path("Reference/Demo_old2019.app")))
        << c.fName;
    EXPECT_FALSE(fs::exists(world.Path("home/.local/share/Trash/files"))) << c.fName;
    EXPECT_TRUE(world.OpenCalls().empty()) << c.fName;
  }
}

// What stands at the installed path when a put-back begins.
enum class InPlace { kCopy, kMine, kNothing };

// Putting back the bundle that a killed run moved fails: nothing more
// moves or is deleted, the record and the staging folder stay, the error
// says which path holds which bundle, and the next run finishes. What
// stands at the installed path is called the up-to-date application only
// where it is the killed run's copy: a bundle the user put there, or an
// empty path, is not.
TEST(UpdaterRecovery, AFailedPutBackStopsInPlaceAndTheNextRunFinishes) {
  const std::vector<std::string> exchangeKilled = {"ZEFT_TEST_KILLED_AFTER_EXCHANGE=1"};
  const struct {
    const char* fName;
    std::vector<std::string> fKilledBy;
    std::vector<std::string> fPutBackFails;
    OldAt fOldAt;
    InPlace fInPlace;
  } cases[] = {
      {"exchanged, not set aside",
       exchangeKilled,
       {"ZEFT_TEST_EXCHANGE_FAILS_FROM=1"},
       OldAt::kStaging,
       InPlace::kCopy},
      {"set aside by rename, not replaced",
       {"ZEFT_TEST_EXCHANGE_REFUSED=1", "ZEFT_TEST_KILLED_AFTER_MOVE_TO=Demo_old*"},
       {"ZEFT_TEST_EXCHANGE_REFUSED=1", "ZEFT_TEST_RENAME_TO_FAILS=Demo.app"},
       OldAt::kAside,
       InPlace::kCopy},
      // A full disk: the record cannot be set to the put-back's stage.
      {"exchanged; the user's bundle in place; the record cannot be rewritten",
       exchangeKilled,
       {"ZEFT_TEST_OPEN_FAILS=28:" + std::string(SwapRecord::kNewFileName)},
       OldAt::kStaging,
       InPlace::kMine},
      {"exchanged; the installed path emptied; the rename back fails",
       exchangeKilled,
       {"ZEFT_TEST_RENAME_TO_FAILS=Demo.app"},
       OldAt::kStaging,
       InPlace::kNothing},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    KillUpdate(world, c.fKilledBy, c.fOldAt);
    const std::string stagingPath = StagingFolder(world);
    ASSERT_FALSE(stagingPath.empty()) << c.fName;
    const std::string staged = stagingPath + "/Demo.app";
    const std::string installed = world.Path("Installed/Demo.app");
    const std::string aside = world.Path("Installed/Demo_old0001.app");
    const bool exchanged = c.fOldAt == OldAt::kStaging;
    const std::string oldAt = exchanged ? staged : aside;
    const std::string newAt = exchanged ? installed : staged;
    std::string newIs = kUpToDateTwin;
    std::string sentence =
        "The update stopped halfway and could not be undone: the application to "
        "update is at '" +
        oldAt + "/' and the up-to-date application at '" + newAt +
        "/'. Run the update again to finish it.";
    if (c.fInPlace != InPlace::kCopy) {
      fs::remove_all(installed);
      newIs = "";
      if (c.fInPlace == InPlace::kMine) {
        world.MakeBundle("Installed/Demo.app", "3");
        world.MakeBundle("Reference/Mine.app", "3");
        newIs = "Reference/Mine.app";
      }
      sentence = "An interrupted update left the application to update at '" + oldAt +
                 "/', and it could not be put back at '" + installed +
                 "/'. Nothing was moved; run the update again to put it back and finish the "
                 "update.";
    }

    world.UseFaults(c.fPutBackFails);
    ExpectTwoRunsStopInPlace(world, c.fName, sentence, oldAt, newAt, stagingPath, newIs);

    ExpectARerunFinishes(world, c.fName);
    if (c.fInPlace == InPlace::kMine) {
      EXPECT_TRUE(SameTree(world.Trashed("Demo.app"), world.Path("Reference/Mine.app"))) << c.fName;
    }
  }
}

// A staging folder is removed with its record last: a run cut at any
// point of the removal, by a recovery or after its own failed copy, leaves
// a folder that the next run still knows as its own; that run removes it
// whole and finishes the update.
TEST(UpdaterRecovery, ARemovalCutAnywhereLeavesAFolderTheNextRunRemoves) {
  const struct {
    const char* fName;
    bool fByRecovery;       // else the removal after the run's own failed copy
    const char* fCutAfter;  // the name whose removal the cut follows
  } cases[] = {
      {"a recovery, cut after its first removal", true, "Info.plist"},
      {"a recovery, cut after the copy", true, "Demo.app"},
      {"a recovery, cut after the unfinished record", true, SwapRecord::kNewFileName},
      {"a failed copy's removal, cut after the copy", false, "Demo.app"},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    world.MakeBundle("Reference/Demo.app", "1");
    const std::string cut = std::string("ZEFT_TEST_KILLED_AFTER_REMOVAL_OF=") + c.fCutAfter;
    if (c.fByRecovery) {
      // A run stopped just before its exchange while it rewrote its
      // record: the whole copy, the record of the swap and the unfinished
      // next one.
      world.MakeBundle("Installed/" + kStaging + "/Demo.app", "2");
      WriteRecord(world, "Demo.app", kStaging + "/Demo.app");
      test::WriteFile(world.Path("Installed/" + kStaging + "/") + SwapRecord::kNewFileName,
                      "zeft swap record 3\nstage swa");
      world.UseFaults({cut});
    } else {
      world.UseFaults({"ZEFT_TEST_OPEN_FAILS=5:version.txt", cut});
    }
    ASSERT_EQ(world.UpdateDemo({"--silent"}).fExitCode, -1) << c.fName << world.LogText();
    ASSERT_FALSE(StagingFolder(world).empty()) << c.fName;
    EXPECT_TRUE(SameTree(world.Path("Installed/Demo.app"), world.Path("Reference/Demo.app")))
        << c.fName;

    ExpectARerunFinishes(world, c.fName);
  }
}

// A record that is there but cannot be read is never taken for none: the
// staging folder may hold the installed bundle. The run stops, names the
// folder and leaves it; once the record reads, the next run finishes.
TEST(UpdaterRecovery, AnUnreadableRecordStopsTheRunAndKeepsItsFolder) {
  const struct {
    const char* fName;
    int fError;
  } cases[] = {{"an I/O error", EIO}, {"no permission", EACCES}};
  for (const auto& c : cases) {
    UpdaterWorld world;
    KillUpdate(world, {"ZEFT_TEST_KILLED_AFTER_EXCHANGE=1"}, OldAt::kStaging);
    const std::string staging = StagingFolder(world);
    ASSERT_FALSE(staging.empty()) << c.fName;

    world.UseFaults(
        {"ZEFT_TEST_OPEN_FAILS=" + std::to_string(c.fError) + ":" + SwapRecord::kFileName});
    const UpdaterRun stuck = world.UpdateDemo({"--silent"});
    EXPECT_EQ(stuck.fExitCode, 2) << c.fName;
    EXPECT_NE(world.LogText().find("The record that an interrupted update left in '" + staging +
                                   "/' cannot be read"),
              std::string::npos)
        << c.fName << world.LogText();
    EXPECT_TRUE(SameTree(staging + "/Demo.app", world.Path("Reference/Demo.app"))) << c.fName;
    EXPECT_TRUE(SameTree(world.Path("Installed/Demo.app"), world.Path("Download/Demo.app")))
        << c.fName;
    EXPECT_TRUE(world.OpenCalls().empty()) << c.fName;

    ExpectARerunFinishes(world, c.fName);
  }
}

// In a folder that others may write, a neighbour plants a staging folder
// whose record names the victim's installed bundle and the neighbour's
// own. Unless the folder and its record are the running user's and no one
// else's to change, they are left as they are and logged: the neighbour's
// bundle never takes the victim's place, even when the update then fails.
TEST(UpdaterRecovery, HiddenFoldersOfOtherUsersOrOpenToOthersAreLeftAlone) {
  const struct {
    const char* fName;
    bool fNeedsRoot;
    std::function<bool(const std::string& staging, const std::string& record)> fPlant;
  } cases[] = {
      {"another user's folder", true,
       [](const std::string& staging, const std::string& record) {
         bool given = true;
         for (const auto& entry : fs::recursive_directory_iterator(staging))
           given = given && ::lchown(entry.path().c_str(), 65534, 65534) == 0;
         return given && ::chown(staging.c_str(), 65534, 65534) == 0;
       }},
      {"another user's record in a folder of this user", true,
       [](const std::string&, const std::string& record) {
         return ::chown(record.c_str(), 65534, 65534) == 0;
       }},
      {"a folder that others may write", false,
       [](const std::string& staging, const std::string&) {
         return ::chmod(staging.c_str(), 0777) == 0;
       }},
      {"a folder that its group may write", false,
       [](const std::string& staging, const std::string&) {
         return ::chmod(staging.c_str(), 0770) == 0;
       }},
      {"a record that others may write", false,
       [](const std::string&, const std::string& record) {
         return ::chmod(record.c_str(), 0666) == 0;
       }},
  };
  for (const auto& c : cases) {
    if (c.fNeedsRoot && ::geteuid() != 0) {
      std::printf("skipped \"%s\": only root can give files to another user\n", c.fName);
      continue;
    }
    UpdaterWorld world;
    world.MakeBundle("Reference/Demo.app", "1");
    world.MakeBundle("Installed/" + kStaging + "/Demo.app", "neighbour");
    world.MakeBundle("Reference/Neighbour.app", "neighbour");
    WriteRecord(world, kStaging + "/Demo.app", "Demo.app");
    const std::string staging = world.Path("Installed/" + kStaging);
    ASSERT_TRUE(c.fPlant(staging, staging + "/" + SwapRecord::kFileName)) << c.fName;
    // A broken download: the update fails after the recovery.
    fs::remove(world.Path("Download/Demo.app/Contents/Info.plist"));

    const UpdaterRun run = world.UpdateDemo({"--silent"});
    EXPECT_EQ(run.fExitCode, 2) << c.fName;
    EXPECT_TRUE(SameTree(world.Path("Installed/Demo.app"), world.Path("Reference/Demo.app")))
        << c.fName;
    EXPECT_TRUE(SameTree(staging + "/Demo.app", world.Path("Reference/Neighbour.app"))) << c.fName;
    EXPECT_TRUE(fs::exists(staging + "/" + SwapRecord::kFileName)) << c.fName;
    const std::vector<std::string> left = LogMessages(world.LogText());
    EXPECT_TRUE(std::any_of(left.begin(), left.end(),
                            [&staging](const std::string& line) {
                              return line.rfind("Left in place a hidden folder that ", 0) == 0 &&
                                     line.find("'" + staging + "'") != std::string::npos;
                            }))
        << c.fName << world.LogText();
    EXPECT_FALSE(fs::exists(world.Path("home/.local/share/Trash"))) << c.fName;
  }
}

// Whether the log has the line saying that the hidden folder at `path` was
// left in place, for a reason that begins with `why`.
bool LoggedLeftInPlace(const UpdaterWorld& world, const std::string& why, const std::string& path) {
  const std::vector<std::string> lines = LogMessages(world.LogText());
  const std::string start = "Left in place a hidden folder that " + why;
  const std::string end = ": '" + path + "'";
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return StartsAndEndsWith(line, start, end); });
}

// Renames `from` to `to` as the user `uid`, which must be allowed to.
bool RenameAs(uid_t uid, const std::string& from, const std::string& to) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(126);
    ::_exit(::rename(from.c_str(), to.c_str()) == 0 ? 0 : 1);
  }
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// In a folder that others may write and that has no sticky bit, a
// neighbour cannot delete the user's files but can rename the user's
// folders, to the name of a staging folder too. A folder so named is
// removed only where a run marked that very folder as its own: any other
// is left in place and named in the log, and the update goes on.
TEST(UpdaterRecovery, AFolderNamedLikeAStagingFolderGoesOnlyWhereARunMarkedIt) {
  const std::string kTaken = ".Demo.app.zeft-000000000000";
  const struct {
    const char* fName;
    const char* fRenamed;  // the folder of Installed/ given the staging name
    bool fByNeighbour;     // renamed by another user, in a shared folder
    bool fRecordCopied;    // holds a record copied from a staging folder
    int fExitCode;
    const char* fWhy;  // why the log says it was left
  } cases[] = {
      {"the user's folder, renamed by a neighbour", "Projects", true, false, 0,
       "no update marked as its own"},
      {"the user's folder", "Projects", false, false, 0, "no update marked as its own"},
      {"the installed bundle", "Demo.app", false, false, 2, "no update marked as its own"},
      {"a folder holding a copy of another's mark", "Projects", false, true, 0,
       "holds a record of an interrupted update that names another folder"},
  };
  for (const auto& c : cases) {
    if (c.fByNeighbour && ::geteuid() != 0) {
      std::printf("skipped \"%s\": only root can run as two users\n", c.fName);
      continue;
    }
    UpdaterWorld world;
    world.MakeBundle("Reference/Demo.app", "1");
    const std::string installed = world.Path("Installed");
    fs::create_directories(installed + "/Projects/thesis");
    test::WriteFile(installed + "/Projects/thesis/chapter1.txt", "Chapter 1");
    if (c.fRecordCopied) {
      fs::create_directories(world.Path("Elsewhere"));
      ASSERT_TRUE(test::MarkAsStaging(world.Path("Elsewhere")));
      fs::copy_file(world.Path("Elsewhere/") + SwapRecord::kFileName,
                    installed + "/Projects/" + SwapRecord::kFileName);
    }
    fs::copy(installed + "/Projects", world.Path("Reference/Projects"),
             fs::copy_options::recursive);
    const std::string from = installed + "/" + c.fRenamed;
    const std::string taken = installed + "/" + kTaken;
    if (c.fByNeighbour) {
      // The victim's world, in a folder that all may write, without the
      // sticky bit that would keep others from renaming its items.
      ASSERT_TRUE(world.RunAs(65534, 65534)) << c.fName;
      ASSERT_EQ(::chmod(world.Path(".").c_str(), 0755), 0);
      ASSERT_EQ(::chmod(installed.c_str(), 0777), 0);
      ASSERT_TRUE(RenameAs(65533, from, taken)) << c.fName;
    } else {
      fs::rename(from, taken);
    }

    const UpdaterRun run = world.UpdateDemo({"--silent"});
    EXPECT_EQ(run.fExitCode, c.fExitCode) << c.fName << world.LogText();
    EXPECT_TRUE(SameTree(taken, world.Path(std::string("Reference/") + c.fRenamed))) << c.fName;
    EXPECT_TRUE(LoggedLeftInPlace(world, c.fWhy, taken)) << c.fName << world.LogText();
    if (c.fExitCode == 0) {
      EXPECT_EQ(world.InstalledVersion(), "2") << c.fName;
    } else {
      EXPECT_NE(world.LogText().find("The application to update was not found at '" + installed +
                                     "/Demo.app/'"),
                std::string::npos)
          << c.fName << world.LogText();
      EXPECT_FALSE(fs::exists(world.Path("home/.local/share/Trash"))) << c.fName;
    }
  }
}

// A run killed right after its exchange leaves the old bundle in its
// staging folder and the new copy at the installed path. Whatever stands at
// the installed path when the next run puts the old bundle back is never
// deleted, whatever identity it shows (where the file system keeps no
// birth time, a bundle the user installed there may carry the killed
// copy's freed inode number): it goes to the Trash, as an outdated bundle
// does. Where the Trash refuses it, it is kept beside the bundle under a
// name in sight, and standard error says where, for a user who gave no log
// folder; should that name be refused too, it stays in the staging folder,
// every run says so, and the first run the Trash takes it moves it there.
TEST(UpdaterRecovery, APutBackNeverDeletesWhatStoodAtTheInstalledPath) {
  const struct {
    const char* fName;
    bool fCopysIdentity;  // the user's bundle is the killed run's copy, refilled
    bool fTrashRefuses;
    bool fKeptNameFails;  // the name in sight cannot be given
  } cases[] = {
      {"the user's bundle, with the copy's identity", true, false, false},
      {"the user's bundle, with an identity of its own", false, false, false},
      {"the user's bundle, with the copy's identity, while the Trash refuses it", true, true,
       false},
      {"the same, and no name in sight can be given", true, true, true},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    KillUpdate(world, {"ZEFT_TEST_KILLED_AFTER_EXCHANGE=1"}, OldAt::kStaging);
    const std::string staging = StagingFolder(world);
    ASSERT_FALSE(staging.empty()) << c.fName;
    // The user deletes what the killed run installed and installs a bundle
    // of their own, with their settings in it.
    const std::string installed = world.Path("Installed/Demo.app");
    if (c.fCopysIdentity) {
      for (const auto& entry : fs::directory_iterator(installed)) fs::remove_all(entry.path());
    } else {
      fs::remove_all(installed);
    }
    for (const char* at : {"Installed/Demo.app", "Reference/Mine.app"}) {
      world.MakeBundle(at, "3");
      test::WriteFile(world.Path(at) + "/Contents/Resources/settings.txt", "mine");
    }
    const std::string trash = world.Path("home/.local/share/Trash");
    if (c.fTrashRefuses) {
      fs::create_directories(world.Path("home/.local/share"));
      test::WriteFile(trash, "no folder");
    }
    if (c.fKeptNameFails) world.UseFaults({"ZEFT_TEST_RENAME_TO_FAILS=Demo_kept*"});
    // Without a log folder: the exit code and standard error are all the
    // user learns.
    const auto update = [&world, &installed] {
      return world.Update({"--silent", installed, world.Path("Download/Demo.app")});
    };

    const UpdaterRun run = update();
    EXPECT_EQ(run.fExitCode, 0) << c.fName << run.fError;
    EXPECT_TRUE(SameTree(installed, world.Path("Download/Demo.app"))) << c.fName;
    if (!c.fTrashRefuses) {
      EXPECT_EQ(run.fError, "") << c.fName;
      EXPECT_TRUE(SameTree(world.Trashed("Demo_old0001.app"), world.Path("Reference/Demo.app")))
          << c.fName;
      EXPECT_TRUE(SameTree(world.Trashed("Demo.app"), world.Path("Reference/Mine.app"))) << c.fName;
      EXPECT_EQ(SortedNames(world.Path("Installed")), std::vector<std::string>{"Demo.app"})
          << c.fName;
      continue;
    }
    const std::string kept =
        c.fKeptNameFails ? staging + "/Demo.app" : world.Path("Installed/Demo_kept0001.app");
    const auto told = [&](const std::string& error) {
      return StartsAndEndsWith(error,
                               "What stood where the application '" + installed +
                                   "' belongs could not be moved to the Trash (",
                               "); it is kept at '" + kept + "'.\n");
    };
    EXPECT_TRUE(told(run.fError)) << c.fName << run.fError;
    EXPECT_TRUE(SameTree(kept, world.Path("Reference/Mine.app"))) << c.fName;
    if (!c.fKeptNameFails) {
      // In sight, it is the user's: later runs leave it and say nothing.
      fs::remove(trash);
      const UpdaterRun next = update();
      EXPECT_EQ(next.fExitCode, 0) << c.fName << next.fError;
      EXPECT_EQ(next.fError, "") << c.fName;
      EXPECT_TRUE(SameTree(kept, world.Path("Reference/Mine.app"))) << c.fName;
      EXPECT_EQ(SortedNames(world.Path("Installed")),
                (std::vector<std::string>{"Demo.app", "Demo_kept0001.app"}))
          << c.fName;
      continue;
    }
    const UpdaterRun again = update();
    EXPECT_EQ(again.fExitCode, 0) << c.fName << again.fError;
    EXPECT_TRUE(told(again.fError)) << c.fName << again.fError;
    fs::remove(trash);
    world.UseFaults({});
    const UpdaterRun last = update();
    EXPECT_EQ(last.fExitCode, 0) << c.fName << last.fError;
    EXPECT_EQ(last.fError, "") << c.fName;
    EXPECT_TRUE(SameTree(world.Trashed("Demo.app"), world.Path("Reference/Mine.app"))) << c.fName;
    EXPECT_EQ(SortedNames(world.Path("Installed")), std::vector<std::string>{"Demo.app"})
        << c.fName;
  }
}

// The records that earlier versions wrote, of a two-rename swap cut
// between its renames: the installed bundle waits under its aside name
// (looked for by identity where the record names none) and the copy in
// the staging folder. The next run puts the bundle back and finishes. The
// first aside name holds a folder of the user's, so that the bundle waits
// under the second: only a search finds it there.
TEST(UpdaterRecovery, AnEarlierVersionsRecordOfASwapCutBetweenItsRenamesIsFinished) {
  const struct {
    const char* fName;
    std::string (*fText)(const struct stat& installed, const struct stat& staged);
  } cases[] = {
      {"version 1: devices and inodes, no aside name",
       [](const struct stat& installed, const struct stat& staged) {
         return "zeft swap record 1\ninstalled " + std::to_string(installed.st_dev) + " " +
                std::to_string(installed.st_ino) + "\nstaged " + std::to_string(staged.st_dev) +
                " " + std::to_string(staged.st_ino) + "\n";
       }},
      {"version 2: inodes and the aside number",
       [](const struct stat& installed, const struct stat& staged) {
         return "zeft swap record 2\ninstalled " + std::to_string(installed.st_ino) +
                " -\nstaged " + std::to_string(staged.st_ino) + " -\naside 2\n";
       }},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    for (const char* at : {"Installed/Demo_old0001.app", "Reference/Demo_old0001.app"})
      world.MakeBundle(at, "mine");
    KillUpdate(world, {"ZEFT_TEST_EXCHANGE_REFUSED=1", "ZEFT_TEST_KILLED_AFTER_MOVE_TO=Demo_old*"},
               OldAt::kAside, "Demo_old0002.app");
    const std::string staging = StagingFolder(world);
    ASSERT_FALSE(staging.empty()) << c.fName;
    struct stat installed = {};
    struct stat staged = {};
    ASSERT_EQ(::stat(world.Path("Installed/Demo_old0002.app").c_str(), &installed), 0);
    ASSERT_EQ(::stat((staging + "/Demo.app").c_str(), &staged), 0);
    const std::string record = staging + "/" + SwapRecord::kFileName;
    fs::remove(record);
    test::WriteFile(record, c.fText(installed, staged));

    ExpectARerunFinishes(world, c.fName, "Demo_old0002.app", {"Demo_old0001.app"});
    EXPECT_TRUE(SameTree(world.Path("Installed/Demo_old0001.app"),
                         world.Path("Reference/Demo_old0001.app")))
        << c.fName;
  }
}

// The installed bundle waits under its aside name and the copy in the
// staging folder, and something else stands at the installed path (a
// neighbour's, or the empty folder with which a rename reserves the name
// where the file system cannot rename without replacing). Nothing is
// moved or removed and the record stays: the run stops with the sentence
// saying where each is. Once the path is clear, the same command finishes.
TEST(UpdaterRecovery, SomethingAtTheInstalledPathWhileTheBundleWaitsAsideStopsTheRun) {
  const struct {
    const char* fName;
    bool fFolder;
  } cases[] = {{"an empty folder", true}, {"a file", false}};
  for (const auto& c : cases) {
    UpdaterWorld world;
    KillUpdate(world, {"ZEFT_TEST_EXCHANGE_REFUSED=1", "ZEFT_TEST_KILLED_AFTER_MOVE_TO=Demo_old*"},
               OldAt::kAside);
    const std::string staging = StagingFolder(world);
    ASSERT_FALSE(staging.empty()) << c.fName;
    const std::string installed = world.Path("Installed/Demo.app");
    const std::string aside = world.Path("Installed/Demo_old0001.app");
    if (c.fFolder) {
      fs::create_directory(installed);
    } else {
      test::WriteFile(installed, "in the way");
    }

    ExpectTwoRunsStopInPlace(world, c.fName,
                             "An interrupted update left the application to update at '" + aside +
                                 "/' and the up-to-date application at '" + staging +
                                 "/Demo.app/', but '" + installed + (c.fFolder ? "/" : "") +
                                 "' stands where the application belongs.",
                             aside, staging + "/Demo.app", staging);
    EXPECT_TRUE(c.fFolder ? fs::is_empty(installed) : ReadWholeFile(installed) == "in the way")
        << c.fName;
    EXPECT_FALSE(fs::exists(world.Path("home/.local/share/Trash"))) << c.fName;

    fs::remove(installed);
    ExpectARerunFinishes(world, c.fName);
  }
}

// Where the file system refuses to exchange two names, the installed bundle
// is set aside and the copy renamed into place. Killed at any moment of
// that, a run leaves the installed bundle in place or a record of where it
// went, and the same command run again finishes the update, leaves nothing
// hidden behind (but an unmarked staging folder, as in the test of the
// exchange) and has lost no bundle.
TEST(UpdaterReliability, AKilledTwoRenameUpdateIsFinishedByARerun) {
  if (test::ToolboxTestEnvironment::Allocator() == kAllocatorBlock)
    GTEST_SKIP() << "the same run as over the default allocator";
  InterruptedUpdates updates(
      [](UpdaterWorld& world) { world.UseFaults({"ZEFT_TEST_EXCHANGE_REFUSED=1"}); });
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
    EXPECT_EQ(test::HiddenItemsButUnmarkedFolders(world.Path("Installed")),
              std::vector<std::string>{})
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
