// The steps an installer takes to put a complete folder in another's place
// without ever leaving the place empty: swapping the two names in one step,
// and recognising the hidden copies that an interrupted install left
// beside the place.
#pragma once

#include <string>

namespace zeft::platform {

// Swaps the names of the item `first` of the open folder `firstDir` and
// the item `second` of `secondDir` (same file system) in one step
// (renameat2 RENAME_EXCHANGE). 0 or an errno value.
int ExchangeFolders(int firstDir, const std::string& first, int secondDir,
                    const std::string& second);

// Whether ExchangeFolders failed only because the kernel or the file system
// cannot exchange names (a plain rename may still work there).
bool IsExchangeRefused(int error);

// Whether `candidate` is a name that TemporaryItemName made for `name`.
bool IsTemporaryItemNameOf(const std::string& candidate, const std::string& name);

}  // namespace zeft::platform
