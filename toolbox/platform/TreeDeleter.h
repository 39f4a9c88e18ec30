// Deletion of an item and, for a folder, of everything below it. The walk is
// fd-relative (openat, unlinkat), never follows a link (a link is removed as
// itself), and keeps one folder open at a time, so trees of any depth go.
//
// Forced deletion also removes what the caller may remove but is refused:
// a folder the caller owns that lacks owner read, write or search (0500,
// 0000) gets them before it is entered; an item refused with EPERM has its
// immutable and append-only flags cleared (possible for a privileged
// caller) before a second try. The first item that still cannot be removed
// stops the walk and names the failure; what was not reached stays.
#pragma once

#include <string>

#include "platform/PathError.h"

namespace zeft::platform {

// Deletes the item at `path` (a file, a link, a special file or a whole
// folder). ENOENT when there is none. With `force`, the item's folder, when
// owned by the caller and lacking owner access, is given it for the
// deletion and set back afterwards, success or not; `parentRestore` (when
// given) receives the failure of setting it back.
PathError DeleteTree(const std::string& path, bool force, PathError* parentRestore = nullptr);

// The same for the item `name` of the open folder `dirFd`; `displayPath`
// names the item in errors.
PathError DeleteTreeAt(int dirFd, const std::string& name, bool force,
                       const std::string& displayPath);

}  // namespace zeft::platform
