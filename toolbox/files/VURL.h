// VURL is the toolbox's URL value. It also carries the conversions between
// the three path styles the toolbox meets: POSIX ('/'), the native ':' form
// of VFilePath, and Windows ('\').
#pragma once

#include "core/VObject.h"
#include "core/VString.h"

namespace zeft {

// The path styles of the conversions.
enum EURLPathStyle : int32 {
  kURLPathStylePosix = 0,
  kURLPathStyleHFS = 1,  // the native ':' form
  kURLPathStyleWindows = 2,
};

class VURL : public VObject {
 public:
  // Path-style conversions, in place. POSIX to ':' of a text beginning with
  // '/' is a full conversion through the mounted volumes, falling back to
  // the relative one; ':' to POSIX is full unless `relative`. Pairs other
  // than POSIX <-> ':' and POSIX <-> Windows leave the text unchanged.
  static void Convert(VString& path, EURLPathStyle from, EURLPathStyle to, bool relative);
  static void HFS_to_POSIX(VString& path, bool relative);
  static void POSIX_to_HFS(VString& path);
  static void WIN_to_POSIX(VString& path);
  static void POSIX_to_WIN(VString& path);
};

}  // namespace zeft
