// Copies that create their destination folder first and name the paths
// involved when they fail, a search for a file by extension, and a debug
// alert. The update itself does not use them.
#pragma once

#include "UpdaterErrors.h"

namespace zeft {

class VFilePath;
class VFolder;
class VString;

VError RobustCopyFile(const VFilePath& source, const VFilePath& destination, uint32 options);
bool RobustCopyFolderContent(const VFolder& source, const VFolder& destination, uint32 options);
bool RobustCopyFolderContent(const VFilePath& source, const VFilePath& destination, uint32 options);

// The first file of the folder whose extension is `extension` (ignoring
// diacritics); toolbox error 600, `result` cleared, when there is none.
VError FindFileByExt(const VFolder& folder, const VString& extension, VFilePath& result);
// Toolbox error 3 when `folder` is not a valid, non-empty folder path.
VError FindFileByExt(const VFilePath& folder, const VString& extension, VFilePath& result);

// A system alert titled "Debug".
void DisplayMessage(const char* text);

}  // namespace zeft
