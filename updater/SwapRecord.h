// The record an update keeps in its hidden staging folder while it moves
// the installed bundle: which items the installed bundle and its staged
// replacement were when the moves began, and under which aside name the
// installed bundle is set aside. It is on disk before each move that
// depends on it and removed after the last, so that the recovery of an
// interrupted run can tell from it how far that run got, and puts back
// only the bundle that run moved, from where that run moved it.
#pragma once

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

// The identity of the item `name` of the open folder `dirFd`, a link not
// followed; false when nothing is there.
bool GetItemIdentity(int dirFd, const std::string& name, ItemIdentity& identity);

struct SwapRecord {
  // Its name in the staging folder.
  static constexpr const char* kFileName = ".zeft-swap-record";

  ItemIdentity fInstalled;
  ItemIdentity fStaged;
  // The number of the aside name the installed bundle takes, or took, on
  // its way out; 0 when the record does not say (one of an earlier version).
  int fAsideNumber = 0;

  // Writes the record into the open staging folder `stagingFd`, replacing
  // any earlier one in one step, and flushes it and the folder to disk. 0
  // or an errno value.
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

  // Removes the record of the staging folder. 0 or an errno value.
  static int Remove(int stagingFd);
};

}  // namespace zeft
