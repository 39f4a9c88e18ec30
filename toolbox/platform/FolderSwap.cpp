#include "platform/FolderSwap.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "platform/DirectoryWalk.h"
#include "platform/FileDescriptor.h"

namespace zeft::platform {

namespace {

// The length of the random part of TemporaryItemName's names, in hex digits.
constexpr size_t kRandomDigits = 12;

int SyncOpenFolder(const std::string& path, int (*sync)(int)) {
  FileDescriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.IsOpen()) return errno;
  return sync(folder.Get()) == 0 ? 0 : errno;
}

}  // namespace

int ExchangeFolders(const std::string& first, const std::string& second) {
  return ::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE) == 0
             ? 0
             : errno;
}

bool IsExchangeRefused(int error) { return error == EINVAL || error == ENOSYS || error == ENOTSUP; }

int SyncFileSystemOf(const std::string& path) { return SyncOpenFolder(path, ::syncfs); }

int SyncFolder(const std::string& path) { return SyncOpenFolder(path, ::fsync); }

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
