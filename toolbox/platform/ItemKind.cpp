#include "platform/ItemKind.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace zeft::platform {

namespace {

ItemKind KindOf(const struct stat& info) {
  if (S_ISREG(info.st_mode)) return ItemKind::kFile;
  if (S_ISDIR(info.st_mode)) return ItemKind::kFolder;
  if (S_ISLNK(info.st_mode)) return ItemKind::kLink;
  return ItemKind::kOther;
}

}  // namespace

ItemKind GetItemKind(const std::string& path, bool followLinks) {
  struct stat info;
  int result = followLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
  return result == 0 ? KindOf(info) : ItemKind::kMissing;
}

bool IsRegularFile(const std::string& path) { return GetItemKind(path, true) == ItemKind::kFile; }

PathError ResolveLinks(const std::string& path, std::string& target, ItemKind& kind) {
  kind = ItemKind::kMissing;
  // Held so that a failing copy into `target` still frees it.
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                             &std::free);
  if (resolved == nullptr) return PathError(errno, path);
  target = resolved.get();
  struct stat info;
  if (::lstat(target.c_str(), &info) != 0) return PathError(errno, target);
  kind = KindOf(info);
  return PathError();
}

}  // namespace zeft::platform
