#include "platform/ItemTransfer.h"

#include <fcntl.h>

#include <cerrno>

#include "platform/DirectoryWalk.h"

namespace zeft::platform {

PathError ItemTransfer::Open(const std::string& source, const std::string& destination,
                             bool replace) {
  if (int error = SplitItemPath(source, fSourceFolder, fSourceName); error != 0)
    return PathError(error, source);
  if (int error = SplitItemPath(destination, fDestinationFolder, fDestinationName); error != 0)
    return PathError(error, destination);
  fSourceDir.Reset(::open(fSourceFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!fSourceDir.IsOpen()) return PathError(errno, fSourceFolder);
  fDestinationDir.Reset(::open(fDestinationFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!fDestinationDir.IsOpen()) return PathError(errno, fDestinationFolder);

  if (::fstatat(SourceDir(), fSourceName.c_str(), &fSourceInfo, AT_SYMLINK_NOFOLLOW) != 0)
    return PathError(errno, source);
  fReplacing = ::fstatat(DestinationDir(), fDestinationName.c_str(), &fExistingInfo,
                         AT_SYMLINK_NOFOLLOW) == 0;
  if (!fReplacing && errno != ENOENT) return PathError(errno, destination);
  bool within = false;
  if (fReplacing) {
    if (fExistingInfo.st_dev == fSourceInfo.st_dev && fExistingInfo.st_ino == fSourceInfo.st_ino)
      return PathError(EINVAL, destination);
    if (!replace) return PathError(EEXIST, destination);
    if (S_ISDIR(fExistingInfo.st_mode)) {
      int error = FolderIsWithin(SourceDir(), fExistingInfo.st_dev, fExistingInfo.st_ino, within);
      if (error != 0) return PathError(error, fSourceFolder);
      if (within) return PathError(EINVAL, destination);
    }
  }
  if (S_ISDIR(fSourceInfo.st_mode)) {
    int error = FolderIsWithin(DestinationDir(), fSourceInfo.st_dev, fSourceInfo.st_ino, within);
    if (error != 0) return PathError(error, fDestinationFolder);
    if (within) return PathError(EINVAL, destination);
  }
  return PathError();
}

}  // namespace zeft::platform
