#include "UpdaterUtilities.h"

#include "UpdaterLog.h"
#include "files/VFSObjectIterator.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "process/VSystem.h"

namespace zeft {

VError RobustCopyFile(const VFilePath& source, const VFilePath& destination, uint32 options) {
  VFilePath folderPath(destination);
  folderPath.ToFolder();
  VFolder folder(folderPath);
  if (!folder.Exists()) {
    const VError created = folder.CreateRecursive(false);
    if (created != VE_OK) return ThrowErrorWithPath(created, folderPath);
  }
  if (VFile(source).CopyTo(destination, nullptr, options) != VE_OK)
    return ThrowErrorWithPaths(UpdaterError(updater_error::kFileCopyFailed), source, destination);
  return VE_OK;
}

bool RobustCopyFolderContent(const VFolder& source, const VFolder& destination, uint32 options) {
  if (!source.Exists()) {
    ThrowErrorWithPath(ToolboxError(toolbox_error::kFolderNotFound), source.GetPath());
    return false;
  }
  if (!destination.Exists()) {
    const VError created = destination.CreateRecursive(false);
    if (created != VE_OK) {
      ThrowErrorWithPath(created, destination.GetPath());
      return false;
    }
  }
  const VError copied = source.CopyContentsTo(destination, options);
  if (copied != VE_OK) {
    ThrowErrorWithPath(copied, destination.GetPath());
    return false;
  }
  return true;
}

bool RobustCopyFolderContent(const VFilePath& source, const VFilePath& destination,
                             uint32 options) {
  return RobustCopyFolderContent(VFolder(source), VFolder(destination), options);
}

VError FindFileByExt(const VFolder& folder, const VString& extension, VFilePath& result) {
  result.Clear();
  for (VFileIterator file(&folder, kFSIterateFiles); file.IsValid(); ++file) {
    VString candidate;
    file->GetExtension(candidate);
    if (candidate.EqualToString(extension, false)) {
      result = file->GetPath();
      break;
    }
  }
  if (!result.IsValid() || result.IsEmpty()) return ToolboxError(toolbox_error::kFileNotFound);
  return VE_OK;
}

VError FindFileByExt(const VFilePath& folder, const VString& extension, VFilePath& result) {
  if (!folder.IsValid() || folder.IsEmpty() || !folder.IsFolder())
    return ToolboxError(toolbox_error::kInvalidParameter);
  return FindFileByExt(VFolder(folder), extension, result);
}

void DisplayMessage(const char* text) { VSystem::DisplayNotification("Debug", text, 0); }

}  // namespace zeft
