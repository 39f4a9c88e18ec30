// What an item is, told from its status alone: nothing is opened, so a FIFO
// never blocks the caller. Only regular files and folders count as files
// and folders; FIFOs, sockets and devices are "other".
#pragma once

#include <string>

#include "platform/PathError.h"

namespace zeft::platform {

enum class ItemKind { kMissing, kFile, kFolder, kLink, kOther };

// The kind of the item at `path`; with `followLinks` a link gives the kind
// of its final target (kMissing when it dangles), else kLink.
ItemKind GetItemKind(const std::string& path, bool followLinks);

// Whether `path` names an existing regular file (links followed).
bool IsRegularFile(const std::string& path);

// The absolute path `path` resolves to, every link in it resolved
// (realpath, which opens nothing), and the kind of the item found there.
// ENOENT naming `path` when a link dangles.
PathError ResolveLinks(const std::string& path, std::string& target, ItemKind& kind);

}  // namespace zeft::platform
