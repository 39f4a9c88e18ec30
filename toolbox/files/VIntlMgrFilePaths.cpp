// The localization-folder look-ups of VIntlMgr over folder paths: thin
// wrappers over its POSIX-text forms, kept in the file layer that owns paths.
#include "core/VIntlMgr.h"
#include "files/VFilePath.h"

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

}  // namespace zeft
