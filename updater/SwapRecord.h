// The record an update keeps in its hidden staging folder: it marks that
// very folder as the updater's own from the moment it is made, and, once
// the copy in it is whole, says which items the installed bundle and its
// staged replacement were when the moves began and under which aside name
// the installed bundle is set aside. It is on disk before each step that
// depends on it and removed after the last, so that the recovery of an
// interrupted run can tell from it whose folder it is and how far that run
// got, and puts back only the bundle that run moved, from where that run
// moved it.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace zeft {

// Which item a name stands for, as long as the item exists: a rename keeps
// it. Its inode number, and its birth time where the file system keeps one
// (a freed inode number is given to new items; their birth time differs).
// No device number: a disk can come back under another one after a
// reboot, and the items compared always lie in one folder.
struct ItemIdentity {
  uint64_t fInode = 0;
  bool fHasBirthTime = false;
  int64_t fBirthSeconds = 0;
  uint32_t fBirthNanoseconds = 0;

  // The same inode, and the same birth time where both know one.
  bool Matches(const ItemIdentity& other) const;
  bool operator==(const ItemIdentity&) const = default;
};

// Whether the item of status `info` belongs to this process's user and no
// one else may change it: only then can what it holds be trusted to be
// what a run of this user left.
bool IsOwnAndPrivate(const struct stat& info);

// The identity of the item `name` of the open folder `dirFd`, a link not
// followed, or of the open item `dirFd` itself when `name` is empty; false
// when nothing is there.
bool GetItemIdentity(int dirFd, const std::string& name, ItemIdentity& identity);

struct SwapRecord {
  // Its name in the staging folder.
  static constexpr const char* kFileName = ".zeft-swap-record";
  // Where each record is written whole before it takes that name: a run
  // killed meanwhile may leave it, unfinished.
  static constexpr const char* kNewFileName = ".zeft-swap-record.new";
  // The version this updater writes. Versions 1 and 2, which earlier
  // versions wrote once their copy was whole, are still read: they name
  // neither their folder nor a stage (they are of the swapping stage), and
  // version 1 no aside name either.
  static constexpr int kVersion = 3;

  enum class Stage {
    // The folder was just made, and the copy is going into it: nothing of
    // the installed bundle has moved. Only fStaging is recorded.
    kCopying,
    // The copy is whole and the moves of the swap may have begun.
    kSwapping,
    // A recovery is putting the installed bundle back by exchanging it
    // with what stands at the installed path: whatever the staging folder
    // then holds under the bundle's name stood at the installed path, and
    // is never deleted.
    kPuttingBack,
  };

  int fVersion = kVersion;
  Stage fStage = Stage::kSwapping;
  // The staging folder itself (version 3 on).
  ItemIdentity fStaging;
  ItemIdentity fInstalled;
  ItemIdentity fStaged;
  // The number of the aside name the installed bundle takes, or took, on
  // its way out; 0 when the record does not say (one of version 1).
  int fAsideNumber = 0;

  // Whether the record marks the staging folder whose identity is
  // `folder` as the updater's: one of this version must name that very
  // folder; one of an earlier version names none.
  bool Marks(const ItemIdentity& folder) const;

  // Writes the record, in this version, into the open staging folder
  // `stagingFd`, replacing any earlier one in one step, and flushes it and
  // the folder to disk. 0 or an errno value.
  int Write(int stagingFd) const;

  enum class ReadResult {
    kRead,
    kNone,
    // Not a record this updater writes: its text, its kind or its size
    // are wrong.
    kDamaged,
    // Another user's, or one that others may change: nothing it says can
    // be trusted.
    kForeign,
    // There, but it could not be read (permission, I/O error).
    kUnreadable,
  };
  // Reads the record of the open staging folder `stagingFd`; `error`
  // receives the errno of kUnreadable. The record is read into only when
  // the result is kRead.
  ReadResult Read(int stagingFd, int* error = nullptr);

  // Removes what an interrupted write of the record left, then the record
  // itself: a removal cut between the two leaves the folder marked. 0 or an
  // errno value.
  static int Remove(int stagingFd);
};

}  // namespace zeft
