// The freedesktop.org Trash: moving an item to the trash of its file
// system, with the .trashinfo record that lets a file manager put it back.
//
// - An item on the file system of the home trash goes to
//   $XDG_DATA_HOME/Trash (default ~/.local/share/Trash).
// - An item elsewhere goes to the trash at the top folder of its mount:
//   $topdir/.Trash/$uid when $topdir/.Trash is a real folder (no link) with
//   the sticky bit, else $topdir/.Trash-$uid, made when missing; either must
//   be a folder (no link) owned by the user. When neither can be had the
//   item is not trashed (it is never copied across file systems).
// - The item goes to files/<name> with info/<name>.trashinfo holding
//   "[Trash Info]", "Path=" and the item's absolute path percent-encoded,
//   "DeletionDate=" and the local time as YYYY-MM-DDThh:mm:ss. A taken name
//   becomes <name>.2, <name>.3, ...; the info file is created first with
//   O_EXCL, which reserves the name.
#pragma once

#include <string>

#include "platform/PathError.h"

namespace zeft::platform {

// Moves the item at `path` (a link is trashed as itself) to its trash;
// `trashedPath`, when given, receives the item's path in the trash.
PathError TrashItem(const std::string& path, std::string* trashedPath = nullptr);

// Moves the item `name` of the open folder `dirFd` to its trash, whatever
// name the folder has meanwhile; `recordedPath`, an absolute path, is the
// place the trash records the item came from (a file manager puts it back
// there) and whose mount chooses the trash with the item's own device.
PathError TrashItemAt(int dirFd, const std::string& name, const std::string& recordedPath,
                      std::string* trashedPath = nullptr);

// The percent-encoded form of a path in a .trashinfo record: bytes outside
// the unreserved characters of RFC 2396 and '/' become %XX.
std::string EncodeTrashPath(const std::string& path);

}  // namespace zeft::platform
