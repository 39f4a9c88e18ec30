// XBSDSystem gathers the POSIX services of the file layer that belong to no
// object: finding an executable along the search path and making symbolic
// links. Static functions only.
#pragma once

#include "core/VErrorCodes.h"

namespace zeft {

class VFilePath;
class VString;

class XBSDSystem {
 public:
  XBSDSystem() = delete;

  // The full path of the program `name`: a name holding '/' is resolved
  // against the current folder (links followed); any other is looked for in
  // the folders of PATH, in order. Only a regular file that the process
  // may execute counts. False with `path` cleared when none; nothing is
  // raised.
  static bool SearchExecutablePath(const VString& name, VFilePath& path);
  // The same over the given ':'-separated folder list instead of PATH.
  static bool SearchExecutablePathIn(const char* searchPath, const VString& name, VFilePath& path);
  // Makes a symbolic link at `linkPath` holding `target`; raises and
  // returns the POSX error of a failure.
  static VError CreateSymbolicLink(const char* target, const char* linkPath);
};

}  // namespace zeft
