// An exclusive lock on the name of one item in its folder, for a program
// that replaces the item and must not meet another doing the same: held
// through a hidden file beside the item (".<name>.zeft-lock"), locked with
// flock so that the kernel lets go when the holder dies however it dies,
// and removed by the holder when it lets go. Items of other names in the
// same folder have locks of their own. The lock file is readable by all,
// so that another user who may replace the item can take the lock after
// a holder that died.
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/FileDescriptor.h"

namespace zeft::platform {

class ItemNameLock {
 public:
  ItemNameLock() = default;
  ~ItemNameLock() { Unlock(); }
  ItemNameLock(const ItemNameLock&) = delete;
  ItemNameLock& operator=(const ItemNameLock&) = delete;

  // Takes the lock of the item at `path` (which need not exist) without
  // waiting and without ever blocking: 0, EWOULDBLOCK when someone else
  // holds it, EEXIST when something other than a regular file (a folder, a
  // link, a FIFO, a socket, a device) has the lock file's name, or an errno
  // value (EINVAL for a path without a last name; see LocksUnsupported).
  // Taking a lock already held through this object lets go of that one
  // first.
  int TryLock(const std::string& path);

  // Whether TryLock failed because the file system offers no such lock to
  // this caller (ENOLCK, EOPNOTSUPP; EBADF where, as on NFS, an exclusive
  // lock needs a file open for writing and the caller may only read it).
  static bool LocksUnsupported(int error);

  // Removes the lock file and lets go; nothing when no lock is held.
  void Unlock();

  bool IsLocked() const { return fFile.IsOpen(); }

  // The name of the lock file of an item named `name`.
  static std::string LockFileName(const std::string& name);

 private:
  FileDescriptor fFolder;
  FileDescriptor fFile;
  std::string fName;
};

}  // namespace zeft::platform
