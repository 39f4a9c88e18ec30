// Copy of a file, link, special file or whole folder tree, keeping what
// makes the copy identical to its source: content, modes (set-id and sticky
// bits included), owner and group where the caller may set them, access and
// modification times to the nanosecond, and extended attributes.
//
// - Links are copied as links, never followed, so nothing outside the tree
//   is reached through one.
// - File content is cloned (FICLONE) where the file system shares blocks,
//   else its data ranges (SEEK_DATA, SEEK_HOLE) are copied in the kernel
//   (copy_file_range), else read and written, so the holes of a sparse
//   file stay holes. A file is copied up to the size it had when the copy
//   reached it.
// - A folder gets its mode and times after its content, so a 0500 folder
//   is filled before it becomes read-only.
// - FIFOs and sockets are recreated as new nodes, never opened (opening a
//   FIFO would wait for a writer); device nodes are recreated too, which
//   needs privilege: without it the copy fails with EPERM naming the device.
// - Hard links inside the tree stay links to one copy: an item with
//   several names is copied once and its other names in the tree link to
//   that copy. Where a link cannot be made, whatever the reason (a file
//   system without hard links, a path beyond PATH_MAX, a full link count),
//   that name gets a separate copy and the copy goes on. Names outside the
//   tree are not followed.
// - Extended attributes the destination cannot hold, or that the caller may
//   not set (EPERM, ENOTSUP: trusted and security namespaces, file systems
//   without them), are left out; every other failure fails the copy.
//
// The copy is made under a hidden temporary name beside the destination and
// renamed into place only when it is complete: a failed or stopped copy
// leaves the destination as it was and nothing else behind. When a replaced
// destination cannot be deleted after the exchange, the copy is in place,
// the old item stays under the temporary name and the error names it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/PathError.h"

namespace zeft::platform {

// Bytes of file content copied so far, after each chunk; answering false
// stops the copy (ECANCELED, naming the file being copied).
using CopyProgress = std::function<bool(uint64_t bytesCopied)>;

struct CopyOptions {
  // An existing destination is replaced: the complete copy is exchanged
  // with it (renameat2 RENAME_EXCHANGE, else a rename), then the old item is
  // deleted. Without it, an existing destination fails with EEXIST.
  bool fReplace = false;
  CopyProgress fProgress;
};

// Copies the item at `source` to `destination` (the path of the copy
// itself, not of its folder). Fails with EINVAL, touching nothing, when
// the destination is the source (the same path or the same device and
// inode), when a folder would be copied into itself or below itself, or
// when the destination to replace holds the source.
PathError CopyItem(const std::string& source, const std::string& destination,
                   const CopyOptions& options = {});

// While not 0, every hard link a copy makes fails with this errno value, as
// on a file system that refuses them, so that the separate copies made
// instead can be tested.
void SetHardLinkErrorForTesting(int error);

}  // namespace zeft::platform
