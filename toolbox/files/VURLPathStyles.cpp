// The path-style conversions of VURL: POSIX, the native ':' form, Windows.
#include <string>

#include "core/StStringConverter.h"
#include "files/VURL.h"
#include "files/mac/XMacFile.h"

namespace zeft {

void VURL::Convert(VString& path, EURLPathStyle from, EURLPathStyle to, bool relative) {
  if (from == kURLPathStylePosix && to == kURLPathStyleWindows) {
    POSIX_to_WIN(path);
  } else if (from == kURLPathStyleWindows && to == kURLPathStylePosix) {
    WIN_to_POSIX(path);
  } else if (from == kURLPathStylePosix && to == kURLPathStyleHFS) {
    POSIX_to_HFS(path);
  } else if (from == kURLPathStyleHFS && to == kURLPathStylePosix) {
    HFS_to_POSIX(path, relative);
  }
}

void VURL::POSIX_to_WIN(VString& path) { path.Exchange(UniChar('/'), UniChar('\\')); }

void VURL::WIN_to_POSIX(VString& path) { path.Exchange(UniChar('\\'), UniChar('/')); }

void VURL::HFS_to_POSIX(VString& path, bool relative) {
  if (path.IsNull() || path.IsEmpty()) return;
  if (!relative) {
    VString posix;
    XMacFile::HFSFullPathToPosix(path, posix);
    path.Swap(posix);
    return;
  }
  // Each run of n colons is a separator followed by n - 1 climbs. A run at
  // the very beginning stands for the current folder: it writes no
  // separator, only its climbs (":a" is "a", "::a" is "../a").
  const UniChar* text = path.GetCPointer();
  const int32 length = path.GetLength();
  VString result;
  result.EnsureSize(length + 8);
  auto writeRun = [&result](int32 run, bool leading) {
    if (!leading) result.AppendUniChar('/');
    for (int32 k = 1; k < run; ++k) result.AppendCString("../");
  };
  int32 run = 0;
  bool leading = true;
  for (int32 i = 0; i < length; ++i) {
    const UniChar c = text[i];
    if (c == ':') {
      ++run;
      continue;
    }
    if (run > 0) writeRun(run, leading);
    run = 0;
    leading = false;
    result.AppendUniChar(c == '/' ? UniChar(':') : c);
  }
  if (run > 0) writeRun(run, leading);
  path.Swap(result);
}

void VURL::POSIX_to_HFS(VString& path) {
  if (path.IsNull() || path.IsEmpty()) return;
  const int32 length = path.GetLength();
  const UniChar* text = path.GetCPointer();
  if (text[0] == '/') {
    StStringConverter<char> posix(path, kCharSetUTF8);
    VString full;
    if (posix.IsOK() && XMacFile::PosixFullPathToHFS(posix.GetCPointer(), true, full)) {
      path.Swap(full);
      return;
    }
  }
  // A run of '/' is one separator (an empty component never climbs); only
  // "../" climbs, and "./" is skipped.
  VString result;
  result.EnsureSize(length + 8);
  int32 pending = 0;
  bool atComponentStart = true;
  int32 i = 0;
  while (i < length) {
    const UniChar c = text[i];
    if (atComponentStart && c == '.') {
      if (i + 1 == length) break;
      if (text[i + 1] == '/') {
        i += 2;
        continue;
      }
      if (text[i + 1] == '.' && i + 2 < length && text[i + 2] == '/') {
        ++pending;
        i += 3;
        continue;
      }
    }
    if (c == '/') {
      if (i == 0 || text[i - 1] != '/') ++pending;
      atComponentStart = true;
      ++i;
      continue;
    }
    for (; pending > 0; --pending) result.AppendUniChar(':');
    result.AppendUniChar(c == ':' ? UniChar('/') : c);
    atComponentStart = false;
    ++i;
  }
  for (; pending > 0; --pending) result.AppendUniChar(':');
  path.Swap(result);
}

}  // namespace zeft
