// The two ends of a copy or move, opened and checked before anything is
// touched: the folders of source and destination (opened O_PATH), the
// source's status and, when one exists, the destination's.
#pragma once

#include <sys/stat.h>

#include <string>

#include "platform/FileDescriptor.h"
#include "platform/PathError.h"

namespace zeft::platform {

class ItemTransfer {
 public:
  // Opens the folders and checks the transfer. EEXIST for an existing
  // destination without `replace`; EINVAL when the destination is the
  // source (same path, or same device and inode), lies inside a source
  // folder, or is a folder that holds the source (replacing it would delete
  // the source).
  PathError Open(const std::string& source, const std::string& destination, bool replace);

  int SourceDir() const { return fSourceDir.Get(); }
  int DestinationDir() const { return fDestinationDir.Get(); }
  const std::string& SourceName() const { return fSourceName; }
  const std::string& DestinationName() const { return fDestinationName; }
  const std::string& DestinationFolder() const { return fDestinationFolder; }
  const struct stat& SourceInfo() const { return fSourceInfo; }
  // Whether a destination exists (and is to be replaced), and its status.
  bool Replacing() const { return fReplacing; }
  const struct stat& ExistingInfo() const { return fExistingInfo; }
  // Whether source and existing destination are both folders-or-not such
  // that a plain rename replaces the destination atomically.
  bool RenameReplaces() const {
    return !S_ISDIR(fExistingInfo.st_mode) && !S_ISDIR(fSourceInfo.st_mode);
  }

 private:
  std::string fSourceFolder, fSourceName, fDestinationFolder, fDestinationName;
  FileDescriptor fSourceDir, fDestinationDir;
  struct stat fSourceInfo = {};
  struct stat fExistingInfo = {};
  bool fReplacing = false;
};

}  // namespace zeft::platform
