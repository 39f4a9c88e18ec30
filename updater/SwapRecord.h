// The record an update keeps in its hidden staging folder while it moves
// the installed bundle: which folders (device and inode) the installed
// bundle and its staged replacement were when the moves began. It is
// written and flushed before the first move and removed after the last, so
// that the recovery of an interrupted run finds the bundle that run moved
// by its identity, wherever the run left it, and puts back nothing else.
#pragma once

#include <sys/types.h>

#include <string>

namespace zeft {

// Which item a name stands for: a rename keeps it.
struct ItemIdentity {
  dev_t fDevice = 0;
  ino_t fInode = 0;

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

  // Writes the record into the open staging folder `stagingFd` and flushes
  // it and the folder to disk. 0 or an errno value.
  int Write(int stagingFd) const;

  // Reads the record of the open staging folder `stagingFd`; false when
  // there is none or it is damaged (a record cut short was never followed
  // by a move: the move waits for the flush).
  bool Read(int stagingFd);

  // Removes the record of the staging folder. 0 or an errno value.
  static int Remove(int stagingFd);
};

}  // namespace zeft
