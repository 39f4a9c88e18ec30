// The localization-folder look-ups of VIntlMgr over folder paths: thin
// wrappers over its POSIX-text forms, kept in the file layer that owns paths.
#include "core/VIntlMgr.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"

namespace zeft {

namespace {

VFilePath FromPosix(const VString& posix, bool folder) {
  VString text(posix);
  if (folder && (text.IsEmpty() || text.GetUniChar(text.GetLength()) != '/')) {
    text.AppendUniChar('/');
  }
  return VFilePath(text, kFilePathStylePosix);
}

}  // namespace

bool VIntlMgr::GetLocalizationFoldersWithDialect(DialectCode dialect, const VFilePath& folder,
                                                 std::vector<VFilePath>& found) {
  if (!folder.IsFolder()) return false;
  VString posix;
  folder.GetPosixPath(posix);
  std::vector<VString> folders;
  GetLocalizationFoldersWithDialect(dialect, posix, folders);
  for (const VString& each : folders) found.push_back(FromPosix(each, true));
  return !found.empty();
}

bool VIntlMgr::GetLocalizationFilePath(const VFilePath& folder, const VString& fileName,
                                       DialectCode dialect, VFilePath& path) {
  path.Clear();
  if (!folder.IsFolder()) return false;
  VString posix;
  folder.GetPosixPath(posix);
  VString file;
  if (!GetLocalizationFilePath(posix, fileName, dialect, file)) return false;
  path = FromPosix(file, false);
  return path.IsValid();
}

bool VIntlMgr::GetLocalizationFoldersWithDialect(DialectCode dialect, const VFilePath& folder,
                                                 std::vector<VRefPtr<VFolder>>& found) {
  std::vector<VFilePath> paths;
  GetLocalizationFoldersWithDialect(dialect, folder, paths);
  for (const VFilePath& each : paths) found.emplace_back(new VFolder(each), kAdoptRef);
  return !found.empty();
}

VFile* VIntlMgr::RetainLocalizationFile(const VFilePath& folder, const VString& fileName,
                                        DialectCode dialect, bool* found) {
  VFilePath path;
  const bool exists = GetLocalizationFilePath(folder, fileName, dialect, path);
  if (found != nullptr) *found = exists;
  return exists ? new VFile(path) : nullptr;
}

}  // namespace zeft
