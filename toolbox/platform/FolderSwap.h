// The steps an installer takes to put a complete folder in another's place
// without ever leaving the place empty: flushing the copy to disk, swapping
// the two names in one step, and recognising the hidden copies that an
// interrupted install left beside the place.
#pragma once

#include <string>

namespace zeft::platform {

// Swaps the names of the items at `first` and `second` (same file system) in
// one step (renameat2 RENAME_EXCHANGE). 0 or an errno value.
int ExchangeFolders(const std::string& first, const std::string& second);

// Whether ExchangeFolders failed only because the kernel or the file system
// cannot exchange names (a plain rename may still work there).
bool IsExchangeRefused(int error);

// Writes to disk everything pending on the file system that holds the
// folder at `path` (syncfs). 0 or an errno value.
int SyncFileSystemOf(const std::string& path);

// Writes the folder at `path` itself (its entries) to disk (fsync). 0 or an
// errno value.
int SyncFolder(const std::string& path);

// Whether `candidate` is a name that TemporaryItemName made for `name`.
bool IsTemporaryItemNameOf(const std::string& candidate, const std::string& name);

}  // namespace zeft::platform
