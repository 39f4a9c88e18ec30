#include "files/mac/XMacFSObjectIterator.h"

#include <fcntl.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "files/VFile.h"
#include "files/VFileError.h"
#include "files/VFilePath.h"
#include "files/VFileSystem.h"
#include "files/VFolder.h"
#include "files/mac/XMacFile.h"
#include "files/mac/XMacVolumes.h"
#include "platform/ItemKind.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

bool IsWanted(unsigned char type) {
  return type == DT_UNKNOWN || type == DT_DIR || type == DT_REG || type == DT_LNK;
}

// The directory-entry type of a status; DT_UNKNOWN for what is no entry
// (pipes, sockets, devices).
unsigned char TypeOfMode(mode_t mode) {
  if (S_ISDIR(mode)) return DT_DIR;
  if (S_ISREG(mode)) return DT_REG;
  if (S_ISLNK(mode)) return DT_LNK;
  return DT_UNKNOWN;
}

// The ':' text of the entries of the folder at the real path `base` (ending
// with '/') up to their names: what XMacFile::PosixFullPathToHFS gives for
// any entry that is not a mount point itself, whose volume is then the
// folder's. Worked out once per folder instead of once per entry. Empty
// when the folder lies on no known volume.
std::string EntryPrefix(const std::string& base) {
  std::string mountPath;
  char name[1024 + 1];  // a volume name is at most as long as a path
  XMacVolumes& volumes = XMacVolumes::Get();
  if (!volumes.GetMountPathOfPath(base.c_str(), mountPath) ||
      !volumes.GetVolumeNameFromMountPath(mountPath.c_str(), name, sizeof(name))) {
    return std::string();
  }
  std::string prefix = name;
  const size_t rest = mountPath.size();
  if (rest >= base.size() || base[rest] != '/') prefix.push_back(':');
  // A real path has no empty, "." or ".." components: each '/' is one ':'
  // and a ':' inside a name becomes '/'.
  for (size_t i = rest; i < base.size(); ++i) {
    prefix.push_back(base[i] == '/' ? ':' : base[i] == ':' ? '/' : base[i]);
  }
  return prefix;
}

}  // namespace

XMacFSObjectIterator::XMacFSObjectIterator(const VFolder* folder, unsigned options)
    : fOptions(options), fFolder(folder) {
  const char* path = folder != nullptr ? folder->GetImpl().GetPosixPathText() : nullptr;
  if (path == nullptr || *path == 0) return;
  // Entries are named under the folder's real path: a folder reached
  // through a link yields paths inside the link's target.
  // Held so that a failing allocation below frees it.
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path, nullptr), &std::free);
  if (real == nullptr) return;
  fBasePath = real.get();
  if (fBasePath.empty() || fBasePath.back() != '/') fBasePath.push_back('/');
  if (fBasePath.size() > kMaxPosixPath) return;
  // Worked out before the folder is opened: a constructor that throws
  // after opening it would never close it.
  std::string prefix = EntryPrefix(fBasePath);
  fDirectory = ::opendir(fBasePath.c_str());
  if (fDirectory != nullptr) fPrefix = std::move(prefix);
}

VFileSystem* XMacFSObjectIterator::GetFileSystem() const {
  return fFolder != nullptr ? fFolder->GetFileSystem() : nullptr;
}

XMacFSObjectIterator::~XMacFSObjectIterator() {
  if (fDirectory != nullptr) ::closedir(fDirectory);
}

bool XMacFSObjectIterator::GetNextPath(VFilePath& path, void** /*url*/, char* posix,
                                       unsigned long size) {
  fName.clear();
  fCurrent.clear();
  if (fDirectory == nullptr) return false;
  const bool invisibleToo = (fOptions & kFSIterateInvisible) != 0;
  for (;;) {
    const struct dirent* entry = ::readdir(fDirectory);
    if (entry == nullptr) return false;
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    unsigned char type = entry->d_type;
    if (!IsWanted(type)) continue;
    std::string entryPath = fBasePath + name;
    // A path that does not fit is left out, never cut to name another item.
    if (entryPath.size() > kMaxPosixPath || entryPath.size() >= size) continue;

    if (type == DT_UNKNOWN) {
      struct stat info;
      if (::fstatat(dirfd(fDirectory), name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
      type = TypeOfMode(info.st_mode);
      if (type == DT_UNKNOWN) continue;
    }
    bool resolved = false;
    if (type == DT_LNK && (fOptions & kFSIterateResolveLinks) != 0) {
      if (!invisibleToo && name[0] == '.') continue;
      std::string target;
      platform::ItemKind kind;
      if (platform::ResolveLinks(entryPath, target, kind).Failed()) continue;
      if (kind == platform::ItemKind::kFile) {
        type = DT_REG;
      } else if (kind == platform::ItemKind::kFolder) {
        type = DT_DIR;
      } else {
        continue;  // only folders and regular files are targets
      }
      entryPath = target;
      resolved = true;
      if (entryPath.size() > kMaxPosixPath || entryPath.size() >= size) continue;
    }
    if (!invisibleToo && XMacFile::PosixNameBeginsWithDot(entryPath.c_str())) continue;

    const bool isFolder = type == DT_DIR;
    if (isFolder ? (fOptions & kFSIterateFolders) == 0 : (fOptions & kFSIterateFiles) == 0) {
      continue;
    }
    VString text;
    // A resolved link may lead anywhere, and a mount point is a volume of
    // its own: those are converted whole.
    if (!fPrefix.empty() && !resolved &&
        !XMacVolumes::Get().GetVolumeNameFromMountPath(entryPath.c_str(), nullptr, 0)) {
      std::string hfs = fPrefix;
      for (const char* c = name; *c != 0; ++c) hfs.push_back(*c == ':' ? '/' : *c);
      text.AppendBlock(hfs.data(), hfs.size(), kCharSetUTF8);
    } else if (!XMacFile::PosixFullPathToHFS(entryPath.c_str(), false, text)) {
      continue;
    }
    if (isFolder) text.AppendUniChar(':');
    path.FromFullPath(text, kFilePathStyleNative);
    // A file system hands out nothing outside its root (a resolved link
    // may lead there).
    VFileSystem* fileSystem = GetFileSystem();
    if (fileSystem != nullptr && !path.IsChildOfRawPath(fileSystem->GetRoot())) continue;

    std::memcpy(posix, entryPath.c_str(), entryPath.size() + 1);
    fName = name;
    fCurrent = std::move(entryPath);
    return true;
  }
}

VError XMacFSObjectIterator::GetTime(VTime* modified, VTime* created, VTime* accessed) {
  if (fName.empty()) {
    VFileError* error =
        fFolder != nullptr ? NewErrorRecord<VFileError>(
                                 fFolder, ToolboxError(toolbox_error::kFileCannotResolveAlias))
                           : NewErrorRecord<VFileError>(
                                 VFilePath(), ToolboxError(toolbox_error::kFileCannotResolveAlias));
    _PushRetainedError(error);
    return ToolboxError(toolbox_error::kFileNotFound);
  }
  // The entry's own status: a resolved link's path is already its target's.
  return XMacFile::GetTimeAttributes(fCurrent.c_str(), false, modified, created, accessed);
}

VFile* XMacFileIterator::Next() {
  VFilePath path;
  char posix[kMaxPosixPath + 1];
  if (!GetNextPath(path, nullptr, posix, sizeof(posix))) return nullptr;
  return new VFile(posix, path, GetFileSystem());
}

VFolder* XMacFolderIterator::Next() {
  VFilePath path;
  char posix[kMaxPosixPath + 2];
  if (!GetNextPath(path, nullptr, posix, kMaxPosixPath + 1)) return nullptr;
  // A folder's POSIX path ends with '/', as one made from its path does.
  std::strcat(posix, "/");
  return new VFolder(posix, path, GetFileSystem());
}

}  // namespace zeft
