// Move of a file, link, special file or folder tree to another path: a
// rename on the same file system; across file systems (EXDEV) a copy with
// everything it keeps (see ItemCopier.h) and then the forced deletion of the
// source, which starts only once the copy is complete. A failed copy leaves
// the source whole and no destination behind.
#pragma once

#include <string>

#include "platform/ItemCopier.h"
#include "platform/PathError.h"

namespace zeft::platform {

// Moves the item at `source` to `destination` (the path of the moved item
// itself). Without `options.fReplace` an existing destination fails with
// EEXIST; with it the destination is replaced (a rename over a file or
// link, an exchange and deletion of the old item for a folder). EINVAL,
// touching nothing, when the destination is the source (same path, or same
// device and inode), lies inside a moved folder, or is a folder holding
// the source. `options.fProgress` hears of the bytes of a copy across file
// systems. When the source cannot be deleted after a complete copy across
// file systems, or a replaced folder after the exchange (it then stands at
// the source's path), the moved item stays in place and the error names the
// item left behind.
PathError MoveItem(const std::string& source, const std::string& destination,
                   const CopyOptions& options = {});

}  // namespace zeft::platform
