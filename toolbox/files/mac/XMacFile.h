// XMacFile is the platform half of VFile. This part holds its static path
// functions: the conversions between full POSIX paths and the ':' paths of
// mounted volumes, and the POSIX texts handed to the system.
#pragma once

#include <cstddef>

#include "core/VObject.h"
#include "core/VString.h"

namespace zeft {

class VFilePath;

class XMacFile : public VObject {
 public:
  // The full POSIX path of `path` as NUL-terminated UTF-8 from the memory
  // manager (the caller frees it with VMemory::DisposePtr); one NUL byte
  // when the text cannot be converted; null when memory runs out.
  static char* AllocatePosixPathFromFilePath(const VFilePath& path);
  static char* AllocatePosixPathFromString(const VString& posixPath);
  // Null clears `path`; otherwise the UTF-8 text, given a trailing '/' for
  // a folder, set as a POSIX full path.
  static void GetFilePathFromPosixPath(const char* posixPath, bool isFolder, VFilePath& path);
  // The last component (a trailing '/' ignored) begins with '.'.
  static bool PosixNameBeginsWithDot(const char* posixPath);
  // The volume name of a mount point, cut to size - 1 bytes and a NUL.
  static bool GetVolumeNameFromMountPath(const char* mountPath, char* name, size_t size);
  // The ':' path of a full POSIX path: the volume's name, then the
  // components; "." goes, ".." climbs, a run of '/' is one separator.
  // `itself` names the volume of the item (else of its folder); the item
  // itself is then taken with its links resolved. Items that do not exist
  // are converted from their nearest existing ancestor. Paths over 1024
  // bytes fail.
  static bool PosixFullPathToHFS(const char* posixPath, bool itself, VString& hfsPath);
  // The POSIX path of a ':' path through its volume's mount point; a volume
  // that is not mounted gives "/<name>/..." and false.
  static bool HFSFullPathToPosix(const VString& hfsPath, VString& posixPath);
};

}  // namespace zeft
