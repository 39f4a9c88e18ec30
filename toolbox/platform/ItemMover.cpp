#include "platform/ItemMover.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/DirectoryWalk.h"
#include "platform/ItemTransfer.h"
#include "platform/TreeDeleter.h"

namespace zeft::platform {

namespace {

// Whether the caller may remove `name` from the folder `dirFd` (what a
// rename would have needed), checked before a copy across file systems so
// that the copy is not made for nothing.
int CheckRemovable(int dirFd, const struct stat& itemInfo) {
  if (::faccessat(dirFd, ".", W_OK | X_OK, AT_EACCESS) != 0) return errno;
  struct stat folderInfo;
  if (::fstatat(dirFd, ".", &folderInfo, 0) != 0) return errno;
  uid_t user = ::geteuid();
  if ((folderInfo.st_mode & S_ISVTX) != 0 && user != 0 && folderInfo.st_uid != user &&
      itemInfo.st_uid != user)
    return EPERM;
  return 0;
}

// Which of the two paths a failed rename names.
bool IsDestinationError(int error) {
  return error == EEXIST || error == ENOTEMPTY || error == ENOSPC || error == EDQUOT ||
         error == EISDIR || error == ENOTDIR;
}

}  // namespace

PathError MoveItem(const std::string& source, const std::string& destination,
                   const CopyOptions& options) {
  ItemTransfer transfer;
  if (PathError error = transfer.Open(source, destination, options.fReplace); error.Failed())
    return error;
  const int from = transfer.SourceDir(), to = transfer.DestinationDir();
  const char* fromName = transfer.SourceName().c_str();
  const char* toName = transfer.DestinationName().c_str();

  int error = 0;
  if (!transfer.Replacing()) {
    error = RenameUnlessTaken(from, transfer.SourceName(), to, transfer.DestinationName());
  } else if (transfer.RenameReplaces()) {
    if (::renameat(from, fromName, to, toName) != 0) error = errno;
  } else {
    error = ExchangeItems(from, transfer.SourceName(), to, transfer.DestinationName());
    // The old item now stands at the source's path.
    if (error == 0) return DeleteTreeAt(from, transfer.SourceName(), true, source);
  }
  if (error == 0) return PathError();
  if (error != EXDEV) return PathError(error, IsDestinationError(error) ? destination : source);

  // Across file systems: copy, then delete the source, which the copy no
  // longer needs.
  if (int check = CheckRemovable(from, transfer.SourceInfo()); check != 0)
    return PathError(check, source);
  if (PathError copied = CopyItem(source, destination, options); copied.Failed()) return copied;
  return DeleteTreeAt(from, transfer.SourceName(), true, source);
}

}  // namespace zeft::platform
