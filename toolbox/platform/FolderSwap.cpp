#include "platform/FolderSwap.h"

#include <fcntl.h>
#include <stdio.h>

#include <cerrno>

#include "platform/DirectoryWalk.h"

namespace zeft::platform {

namespace {

// The length of the random part of TemporaryItemName's names, in hex digits.
constexpr size_t kRandomDigits = 12;

}  // namespace

int ExchangeFolders(int firstDir, const std::string& first, int secondDir,
                    const std::string& second) {
  return ::renameat2(firstDir, first.c_str(), secondDir, second.c_str(), RENAME_EXCHANGE) == 0
             ? 0
             : errno;
}

bool IsExchangeRefused(int error) { return error == EINVAL || error == ENOSYS || error == ENOTSUP; }

bool IsTemporaryItemNameOf(const std::string& candidate, const std::string& name) {
  const std::string made = TemporaryItemName(name);
  const size_t prefix = made.size() - kRandomDigits;
  if (candidate.size() != made.size() || candidate.compare(0, prefix, made, 0, prefix) != 0)
    return false;
  for (size_t i = prefix; i < candidate.size(); ++i) {
    const char c = candidate[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace zeft::platform
