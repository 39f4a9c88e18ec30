// Splitting a VString at separators, trimming its spaces, joining strings.
#include <cstring>
#include <string>
#include <utility>

#include "core/VIntlMgr.h"
#include "core/VString.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"
#include "values/VArrayString.h"

namespace zeft {

namespace {

constexpr UniChar kSpace = 0x20;

// Appends the piece of `count` units at `units`, without its surrounding
// spaces when trimSpaces is set; an empty piece only with keepEmpty.
void AppendPiece(std::vector<VString>& parts, const UniChar* units, int32 count, bool keepEmpty,
                 bool trimSpaces) {
  if (trimSpaces) {
    while (count > 0 && units[0] == kSpace) ++units, --count;
    while (count > 0 && units[count - 1] == kSpace) --count;
  }
  if (count == 0 && !keepEmpty) return;
  parts.emplace_back();
  if (count > 0) parts.back().FromUniString(units, count);
}

}  // namespace

bool VString::GetSubStrings(UniChar separator, std::vector<VString>& parts, bool keepEmpty,
                            bool trimSpaces) const {
  parts.clear();
  if (fLength == 0) {
    if (keepEmpty) parts.push_back(*this);
    return false;
  }
  bool found = false;
  int32 pos = 0;
  for (;;) {
    const UniChar* hit =
        std::char_traits<UniChar>::find(fString + pos, size_t(fLength - pos), separator);
    const int32 end = hit != nullptr ? int32(hit - fString) : fLength;
    AppendPiece(parts, fString + pos, end - pos, keepEmpty, trimSpaces);
    if (hit == nullptr) break;
    found = true;
    if (end == fLength - 1) {
      // The empty piece behind a trailing separator.
      if (keepEmpty) parts.emplace_back();
      break;
    }
    pos = end + 1;
  }
  return found;
}

bool VString::GetSubStrings(UniChar separator, VArrayString& parts, bool keepEmpty,
                            bool trimSpaces) const {
  std::vector<VString> pieces;
  const bool found = GetSubStrings(separator, pieces, keepEmpty, trimSpaces);
  parts.Destroy();
  for (const VString& piece : pieces) parts.AppendString(piece);
  return found;
}

bool VString::GetSubStrings(const VString& separator, std::vector<VString>& parts, bool keepEmpty,
                            bool trimSpaces, bool diacritical) const {
  parts.clear();
  if (fLength == 0) return false;
  if (separator.fLength == 0) {
    parts.push_back(*this);
    return false;
  }
  // Without international settings the separator is matched unit for unit
  // (ASCII letters folded when diacritical is clear), so a match is as
  // long as the separator.
  VIntlMgr* intl = VTask::GetCurrentIntlManager();
  bool found = false;
  int32 consumed = 0;
  for (;;) {
    int32 matchLength = 0;
    int32 at = 0;  // 1-based in the units from `consumed`
    if (intl != nullptr) {
      at = intl->FindString(fString + consumed, fLength - consumed, separator.fString,
                            separator.fLength, diacritical, &matchLength);
    } else {
      const int32 position = Find(separator, consumed + 1, diacritical);
      at = position > 0 ? position - consumed : 0;
      matchLength = separator.fLength;
    }
    const bool last = at < 1 || matchLength <= 0;
    if (last) {
      at = fLength - consumed + 1;
      matchLength = separator.fLength;
    } else {
      found = true;
    }
    AppendPiece(parts, fString + consumed, at - 1, keepEmpty, trimSpaces);
    if (last) break;
    consumed += at - 1 + matchLength;
    if (consumed >= fLength) {
      // The separator ended the string.
      if (keepEmpty) parts.emplace_back();
      break;
    }
  }
  return found;
}

void VString::TrimeSpaces() {
  if (fLength == 0) return;
  int32 leading = 0;
  while (leading < fLength && fString[leading] == kSpace) ++leading;
  if (leading == fLength) {
    Clear();
    return;
  }
  int32 trailing = 0;
  while (fString[fLength - 1 - trailing] == kSpace) ++trailing;
  if (leading == 0 && trailing == 0) return;
  SubString(leading + 1, fLength - leading - trailing);
}

bool VString::Join(const std::vector<VString>& parts, const VString& separator) {
  if (parts.empty()) {
    Clear();
    return true;
  }
  // This string among the inputs: join into a new string, then take it.
  bool aliased = &separator == this;
  for (const VString& part : parts) aliased = aliased || &part == this;
  if (aliased) {
    VString joined;
    if (!joined.Join(parts, separator)) return false;
    *this = std::move(joined);
    return true;
  }

  constexpr int64 kLimit = 0x7FFFFFFF;
  const size_t separators = parts.size() - 1;
  int64 total = 0;
  if (separator.fLength > 0) {
    total = separators < size_t(kLimit) ? int64(separators) * separator.fLength : kLimit;
  }
  for (const VString& part : parts) {
    if (total >= kLimit) break;
    total += part.fLength;
  }
  if (total >= kLimit) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return false;
  }
  if (!_EnsureSize(int32(total), false)) return false;

  UniChar* out = fString;
  const size_t separatorBytes = size_t(separator.fLength) * sizeof(UniChar);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0 && separatorBytes > 0) {
      std::memcpy(out, separator.fString, separatorBytes);
      out += separator.fLength;
    }
    const VString& part = parts[i];
    if (part.fLength > 0) {
      std::memcpy(out, part.fString, size_t(part.fLength) * sizeof(UniChar));
      out += part.fLength;
    }
  }
  _SetLengthAndTerminate(int32(total));
  return true;
}

bool VString::Join(const std::vector<VString>& parts, UniChar separator) {
  VStr<4> separatorText;
  separatorText.FromUniString(&separator, 1);
  return Join(parts, separatorText);
}

VString operator+(const VString& a, const VString& b) {
  VString sum(a);
  sum.AppendUniChars(b.GetCPointer(), b.GetLength());
  return sum;
}

}  // namespace zeft
