#include "files/VFilePath.h"

#include <vector>

#include "core/VIntlMgr.h"
#include "files/VFolder.h"
#include "files/VURL.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"

namespace zeft {

namespace {

constexpr UniChar kSeparator = ':';

// 1-based position of the last `c` at or before `pos`; 0 when none.
int32 FindBackward(const VString& text, UniChar c, int32 pos) {
  return pos < 1 ? 0 : text.FindUniChar(c, pos, true);
}

// The ':' that ends the component before the last character (the parent's
// cut); 0 when the text is shorter than 2 units or has none.
int32 ParentCut(const VString& text) {
  return text.GetLength() < 2 ? 0 : FindBackward(text, kSeparator, text.GetLength() - 1);
}

// The last ':' (a folder path is its own folder); 0 when none.
int32 FolderCut(const VString& text) { return FindBackward(text, kSeparator, text.GetLength()); }

// The text up to and including position `cut`; whether that is not empty.
bool CutText(const VString& text, int32 cut, VString& out) {
  if (cut == 0) {
    out.Clear();
  } else {
    text.GetSubString(1, cut, out);
  }
  return !out.IsEmpty();
}

bool HasNul(const VString& text) {
  return VString::UniCStringLength(text.GetCPointer()) != text.GetLength();
}

bool EndsWithSeparator(const VString& text) {
  return !text.IsEmpty() && text.GetUniChar(text.GetLength()) == kSeparator;
}

void RefuseNameWithSeparator() { _ThrowError(ToolboxError(toolbox_error::kFileInvalidName)); }

}  // namespace

VFilePath::VFilePath(const VString& fullPath, FilePathStyle style, bool unused) {
  FromFullPath(fullPath, style, unused);
}

VFilePath::VFilePath(const VFilePath& base, const VString& relativePath, FilePathStyle style,
                     bool onlyInFolder) {
  FromRelativePath(base, relativePath, style, onlyInFolder);
}

bool VFilePath::FromFilePath(const VFilePath& other) {
  fPath = other.fPath;
  fIsValid = other.fIsValid;
  return fIsValid;
}

bool VFilePath::FromFullPath(const VString& fullPath, FilePathStyle style, bool) {
  fPath = fullPath;
  if (style == kFilePathStylePosix)
    VURL::Convert(fPath, kURLPathStylePosix, kURLPathStyleHFS, false);
  return _Validate();
}

bool VFilePath::FromRelativePath(const VFolder& base, const VString& relativePath,
                                 FilePathStyle style, bool onlyInFolder) {
  return FromRelativePath(base.GetPath(), relativePath, style, onlyInFolder);
}

bool VFilePath::FromRelativePath(const VFilePath& base, const VString& relativePath,
                                 FilePathStyle style, bool onlyInFolder) {
  if (style == kFilePathStyleNative) {
    VString joined(base.fPath);
    joined.AppendString(relativePath);
    fPath.Swap(joined);
  } else if (style == kFilePathStylePosix) {
    VString converted(relativePath);
    if (!onlyInFolder && !relativePath.IsEmpty() && relativePath.GetUniChar(1) == '/') {
      VURL::Convert(converted, kURLPathStylePosix, kURLPathStyleHFS, false);
      fPath.Swap(converted);
    } else if (!onlyInFolder || base.IsFolder()) {
      VURL::Convert(converted, kURLPathStylePosix, kURLPathStyleHFS, true);
      VString joined(base.fPath);
      joined.AppendString(converted);
      fPath.Swap(joined);
    } else {
      fPath.Clear();
    }
  }
  return _Validate();
}

bool VFilePath::_Validate() {
  fIsValid = false;
  if (fPath.IsEmpty() || HasNul(fPath)) return false;
  if (fPath.GetUniChar(1) == kSeparator) return false;
  bool resolved = true;
  _ResolveStep(fPath, 1, fPath.FindUniChar(kSeparator), resolved, kSeparator);
  fIsValid = resolved && !fPath.IsEmpty() && fPath.GetUniChar(1) != kSeparator;
  return fIsValid;
}

void VFilePath::Clear() {
  fPath.Clear();
  fIsValid = false;
}

bool VFilePath::IsFolder() const { return fIsValid && EndsWithSeparator(fPath); }

bool VFilePath::IsFile() const { return fIsValid && !fPath.IsEmpty() && !EndsWithSeparator(fPath); }

void VFilePath::GetPosixPath(VString& path) const {
  if (!fIsValid) {
    path.Clear();
    return;
  }
  path = fPath;
  VURL::Convert(path, kURLPathStyleHFS, kURLPathStylePosix, false);
}

bool VFilePath::HasParent() const { return fIsValid && ParentCut(fPath) > 0; }

bool VFilePath::_CutInto(int32 cut, VFilePath& target) const {
  if (!fIsValid || cut == 0) {
    target.Clear();
    return false;
  }
  fPath.GetSubString(1, cut, target.fPath);
  target.fIsValid = true;
  return true;
}

bool VFilePath::GetParent(VFilePath& parent) const { return _CutInto(ParentCut(fPath), parent); }

VFilePath& VFilePath::ToParent() {
  if (fIsValid) GetParent(*this);
  return *this;
}

bool VFilePath::GetFolder(VFilePath& folder) const { return _CutInto(FolderCut(fPath), folder); }

VFilePath& VFilePath::ToFolder() {
  if (fIsValid) GetFolder(*this);
  return *this;
}

bool VFilePath::_GetParent(const VString& path, VString& parent) {
  return CutText(path, ParentCut(path), parent);
}

bool VFilePath::_GetFolder(const VString& path, VString& folder) {
  return CutText(path, FolderCut(path), folder);
}

bool VFilePath::IsChildOf(const VFilePath& base) const {
  return fIsValid && base.IsFolder() && fPath.GetLength() > base.fPath.GetLength() &&
         fPath.BeginsWithRawString(base.fPath);
}

bool VFilePath::IsChildOfRawPath(const VFilePath& base) const { return IsChildOf(base); }

bool VFilePath::IsSameOrChildOf(const VFilePath& base) const {
  return fIsValid && base.IsFolder() && fPath.BeginsWithRawString(base.fPath);
}

int32 VFilePath::GetDepth() const {
  if (!fIsValid) return 0;
  int32 depth = 0;
  const UniChar* text = fPath.GetCPointer();
  for (int32 i = 0; i < fPath.GetLength(); ++i) depth += text[i] == kSeparator ? 1 : 0;
  return EndsWithSeparator(fPath) ? depth : depth + 1;
}

void VFilePath::GetName(VString& name) const {
  const int32 length = fPath.GetLength();
  if (!EndsWithSeparator(fPath)) {
    const int32 last = FindBackward(fPath, kSeparator, length);
    fPath.GetSubString(last + 1, length - last, name);
    return;
  }
  const int32 before = FindBackward(fPath, kSeparator, length - 1);
  fPath.GetSubString(before + 1, length - 1 - before, name);
}

void VFilePath::GetFileName(VString& name, bool withExtension) const {
  name.Clear();
  if (!IsFile()) return;
  const int32 length = fPath.GetLength();
  const int32 last = FindBackward(fPath, kSeparator, length);
  int32 end = length;
  if (!withExtension) {
    const int32 dot = FindBackward(fPath, '.', length);
    if (dot > last) end = dot - 1;
  }
  fPath.GetSubString(last + 1, end - last, name);
}

void VFilePath::GetFolderName(VString& name, bool withExtension) const {
  name.Clear();
  if (!IsFolder()) return;
  const int32 length = fPath.GetLength();
  const int32 before = FindBackward(fPath, kSeparator, length - 1);
  // A one-component folder ("Root:") gives its whole text.
  int32 first = before + 1;
  int32 end = before == 0 ? length : length - 1;
  if (!withExtension) {
    const int32 dot = FindBackward(fPath, '.', length - 1);
    if (dot > before) end = dot - 1;
  }
  fPath.GetSubString(first, end - first + 1, name);
}

void VFilePath::GetExtension(VString& extension) const {
  extension.Clear();
  const int32 end = IsFolder() ? fPath.GetLength() - 1 : fPath.GetLength();
  const int32 last = FindBackward(fPath, kSeparator, end);
  const int32 dot = FindBackward(fPath, '.', end);
  if (dot == 0 || dot <= last || dot == end) return;
  fPath.GetSubString(dot + 1, end - dot, extension);
}

bool VFilePath::MatchExtension(const VString& extension, bool diacritical) const {
  VString suffix(".");
  suffix.AppendString(extension);
  if (IsFolder()) suffix.AppendUniChar(kSeparator);
  return fPath.EndsWith(suffix, diacritical);
}

bool VFilePath::_GetRelativePath(const VFilePath& base, VString& relative) const {
  if (!base.IsFolder() || !fPath.BeginsWithRawString(base.fPath)) return false;
  fPath.GetSubString(base.fPath.GetLength() + 1, fPath.GetLength() - base.fPath.GetLength(),
                     relative);
  return true;
}

bool VFilePath::GetRelativePath(const VFilePath& base, VString& relative) const {
  if (_GetRelativePath(base, relative)) return true;
  relative = fPath;
  return false;
}

bool VFilePath::GetRelativePosixPath(const VFilePath& base, VString& relative) const {
  if (_GetRelativePath(base, relative)) {
    VURL::Convert(relative, kURLPathStyleHFS, kURLPathStylePosix, true);
    return true;
  }
  GetPosixPath(relative);
  return false;
}

bool VFilePath::_ReplaceName(int32 cut, const VString& name, const VString& extension,
                             bool folder) {
  if (cut == 0) {
    Clear();
    return false;
  }
  fPath.Truncate(cut);
  fPath.AppendString(name);
  if (!extension.IsEmpty()) {
    fPath.AppendUniChar('.');
    fPath.AppendString(extension);
  }
  if (folder) fPath.AppendUniChar(kSeparator);
  return fIsValid;
}

bool VFilePath::SetName(const VString& name) {
  if (name.FindUniChar(kSeparator) > 0) {
    RefuseNameWithSeparator();
    return false;
  }
  if (!fIsValid) return false;
  const bool folder = EndsWithSeparator(fPath);
  return _ReplaceName(folder ? ParentCut(fPath) : FolderCut(fPath), name, VString(), folder);
}

bool VFilePath::SetFileName(const VString& name, bool withExtension) {
  if (name.FindUniChar(kSeparator) > 0) {
    RefuseNameWithSeparator();
    return false;
  }
  if (!fIsValid) return false;
  if (IsFolder()) {
    fPath.AppendString(name);
    return fIsValid;
  }
  VString extension;
  if (!withExtension) GetExtension(extension);
  return _ReplaceName(FolderCut(fPath), name, extension, false);
}

bool VFilePath::SetFolderName(const VString& name, bool withExtension) {
  if (!IsFolder()) return false;
  VString extension;
  if (!withExtension) GetExtension(extension);
  return _ReplaceName(ParentCut(fPath), name, extension, true);
}

bool VFilePath::SetExtension(const VString& extension) {
  if (!fIsValid || fPath.IsEmpty()) return fIsValid;
  return IsFolder() ? SetFolderExtension(extension) : SetFileExtension(extension);
}

bool VFilePath::SetFileExtension(const VString& extension) {
  const int32 length = fPath.GetLength();
  const int32 last = FindBackward(fPath, kSeparator, length);
  int32 dot = FindBackward(fPath, '.', length);
  if (dot <= last) dot = 0;
  if (extension.IsEmpty()) {
    if (dot > 0) fPath.Truncate(dot - 1);
  } else if (dot == length) {
    fPath.AppendString(extension);
  } else if (dot > 0) {
    fPath.Truncate(dot);
    fPath.AppendString(extension);
  } else {
    fPath.AppendUniChar('.');
    fPath.AppendString(extension);
  }
  return fIsValid;
}

bool VFilePath::SetFolderExtension(const VString& extension) {
  if (fPath.IsNull() || !EndsWithSeparator(fPath)) return fIsValid;
  const int32 final = fPath.GetLength();
  const int32 before = FindBackward(fPath, kSeparator, final - 1);
  int32 dot = FindBackward(fPath, '.', final - 1);
  if (dot <= before) dot = 0;
  if (extension.IsEmpty()) {
    if (dot > 0) fPath.Remove(dot, final - dot);
  } else if (dot == final - 1) {
    fPath.Insert(extension, final);
  } else if (dot > 0) {
    fPath.Replace(extension, dot + 1, final - 1 - dot);
  } else {
    VString dotted(".");
    dotted.AppendString(extension);
    fPath.Insert(dotted, final);
  }
  return fIsValid;
}

VFilePath& VFilePath::ToSubFolder(const VString& name) {
  if (IsFolder()) {
    fPath.AppendString(name);
    fPath.AppendUniChar(kSeparator);
  }
  return *this;
}

VFilePath& VFilePath::ToSubFile(const VString& name) {
  if (IsFolder()) fPath.AppendString(name);
  return *this;
}

void VFilePath::RemoveBlanks() {
  const VIntlMgr* intl = VTask::GetCurrentIntlManager();
  auto isSpace = [intl](UniChar c) {
    return intl != nullptr ? intl->IsSpace(c) : (c == 0x20 || c == 0x09);
  };
  const UniChar* text = fPath.GetCPointer();
  const int32 length = fPath.GetLength();
  VString result;
  result.EnsureSize(length);
  int32 start = 0;
  while (start <= length) {
    int32 end = start;
    while (end < length && text[end] != kSeparator) ++end;
    int32 first = start;
    int32 last = end;
    while (first < last && isSpace(text[first])) ++first;
    while (last > first && isSpace(text[last - 1])) --last;
    result.AppendUniChars(text + first, last - first);
    if (end < length) result.AppendUniChar(kSeparator);
    start = end + 1;
  }
  fPath.Swap(result);
}

bool VFilePath::ResolveRelativePosix(VString& path) {
  if (path.IsNull() || path.IsEmpty()) return true;
  bool valid = true;
  _ResolveStep(path, 1, path.FindUniChar('/'), valid, '/');
  return valid;
}

bool VFilePath::_ResolveRelative(VString& path) {
  if (path.IsEmpty()) return true;
  if (path.GetUniChar(1) == kSeparator) return false;
  bool valid = true;
  _ResolveStep(path, 1, path.FindUniChar(kSeparator), valid, kSeparator);
  return valid && (path.IsEmpty() || path.GetUniChar(1) != kSeparator);
}

bool VFilePath::_ResolveStep(VString& path, int32 start, int32 separatorPos, bool& valid,
                             UniChar separator) {
  // The steps nest one per component; an explicit stack of the components'
  // starts keeps deep paths off the call stack. A removal hands control
  // back to the enclosing component, which looks again at what now follows
  // it; a component with nothing more to resolve ends the whole walk.
  const bool climbs = separator == kSeparator;
  const bool posix = separator == '/' || separator == '\\';
  std::vector<int32> enclosing;
  bool changed = false;
  int32 s = start;
  int32 p = separatorPos;
  auto at = [&path](int32 pos) -> UniChar {
    return pos >= 1 && pos <= path.GetLength() ? path.GetUniChar(pos) : UniChar(0);
  };
  while (p > 0) {
    bool removed = false;
    if (climbs) {
      if (p == path.GetLength()) break;
      if (at(p + 1) == separator) {
        path.Remove(s, p + 2 - s);
        removed = true;
      }
    } else if (posix) {
      while (at(p + 1) == '.' && at(p + 2) == separator) path.Remove(p + 1, 2);
      if (at(p + 1) == separator) {
        valid = false;
        break;
      }
      if (at(p + 1) == '.' && at(p + 2) == '.' && at(p + 3) == separator) {
        path.Remove(s, p + 4 - s);
        removed = true;
      }
    }
    if (removed) {
      changed = true;
      if (enclosing.empty()) break;
      s = enclosing.back();
      enclosing.pop_back();
      p = path.FindUniChar(separator, s);
      continue;
    }
    if (p == path.GetLength()) break;
    enclosing.push_back(s);
    s = p + 1;
    p = path.FindUniChar(separator, s);
  }
  return changed;
}

CharSet VFilePath::DebugDump(char* buffer, int& size) const {
  return fPath.DebugDump(buffer, size);
}

}  // namespace zeft
