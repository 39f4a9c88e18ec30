// XML escaping of strings: the predefined entities and hexadecimal
// character references, in place.
#include <algorithm>
#include <cstring>

#include "core/ASCIIText.h"
#include "core/UTF16Surrogates.h"
#include "core/VString.h"

namespace zeft {

namespace {

// The entity of a markup unit, or null.
const char* EntityOf(UniChar c) {
  switch (c) {
    case '"':
      return "&quot;";
    case '&':
      return "&amp;";
    case '\'':
      return "&apos;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    default:
      return nullptr;
  }
}

bool IsEscapedControl(UniChar c) {
  return (c >= 0x01 && c <= 0x1F && c != 0x09 && c != 0x0A && c != 0x0D) || c == 0x7F;
}

// True when the ASCII text lies at units[i] and fits before `n`.
bool MatchesAt(const UniChar* units, int32 i, int32 n, const char* ascii) {
  int32 len = int32(std::strlen(ascii));
  if (n - i < len) return false;
  for (int32 k = 0; k < len; ++k) {
    if (units[i + k] != UniChar(uint8(ascii[k]))) return false;
  }
  return true;
}

// Decodes the entity or reference beginning with the '&' at units[i]: the
// units it stands for go to `out` (one or two), and the result is the
// entity's length, 0 when it is none to decode.
int32 DecodeEntity(const UniChar* units, int32 i, int32 n, UniChar out[2], int32* outCount) {
  struct Named {
    const char* text;
    UniChar unit;
  };
  static constexpr Named kNamed[] = {
      {"&amp;", '&'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&lt;", '<'}, {"&apos;", '\''},
  };
  for (const Named& e : kNamed) {
    if (MatchesAt(units, i, n, e.text)) {
      out[0] = e.unit;
      *outCount = 1;
      return int32(std::strlen(e.text));
    }
  }
  if (!MatchesAt(units, i, n, "&#x")) return 0;
  int32 k = i + 3;
  uint32 value = 0;
  bool tooLarge = false;
  for (; k < n; ++k) {
    int d = HexDigitValue(units[k]);
    if (d < 0) break;
    if (value > 0x10FFFF) {
      tooLarge = true;  // stop accumulating; the digits are still skipped
    } else {
      value = value * 16 + uint32(d);
    }
  }
  if (k == i + 3 || k >= n || units[k] != ';') return 0;
  // A reference that names no character (0, a surrogate code point, beyond
  // U+10FFFF) stays as written.
  if (tooLarge || value == 0 || value > 0x10FFFF || IsSurrogate(value)) return 0;
  if (value >= 0x10000) {
    out[0] = HighSurrogateOf(value);
    out[1] = LowSurrogateOf(value);
    *outCount = 2;
  } else {
    out[0] = UniChar(value);
    *outCount = 1;
  }
  return k + 1 - i;
}

}  // namespace

// Both scans cover the whole length: a 0 unit inside the string is kept with
// everything behind it.
void VString::TranscodeToXML(bool escapeControls) {
  if (IsNull()) return;
  const UniChar* units = fString;
  const int32 n = fLength;
  VString result;
  int64 expected = 0;
  int32 runStart = 0;
  bool changed = false;
  for (int32 i = 0; i < n; ++i) {
    UniChar c = units[i];
    const char* entity = EntityOf(c);
    char reference[8];
    if (entity == nullptr && escapeControls && IsEscapedControl(c)) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      reference[0] = '&';
      reference[1] = '#';
      reference[2] = 'x';
      reference[3] = kHex[(c >> 4) & 0xF];
      reference[4] = kHex[c & 0xF];
      reference[5] = ';';
      reference[6] = 0;
      entity = reference;
    }
    if (entity == nullptr) continue;
    if (!changed) {
      changed = true;
      // Most texts need a few entities: room for the text and some more.
      result.EnsureSize(int32(std::min<int64>(int64(n) + n / 8 + 8, 0x7FFFFFFF)));
    }
    result.AppendUniChars(units + runStart, i - runStart);
    result.AppendCString(entity);
    expected += (i - runStart) + int64(std::strlen(entity));
    runStart = i + 1;
  }
  if (!changed) return;
  result.AppendUniChars(units + runStart, n - runStart);
  expected += n - runStart;
  // A result that could not be given its room (error already raised) must
  // not replace the text.
  if (result.GetLength() != expected) return;
  FromString(result);
}

void VString::TranscodeFromXML() {
  if (IsNull()) return;
  const UniChar* units = fString;
  const int32 n = fLength;
  VString result;
  int64 expected = 0;
  int32 runStart = 0;
  bool changed = false;
  for (int32 i = 0; i < n; ++i) {
    if (units[i] != '&') continue;
    UniChar decoded[2];
    int32 count = 0;
    int32 length = DecodeEntity(units, i, n, decoded, &count);
    if (length == 0) continue;
    if (!changed) {
      changed = true;
      result.EnsureSize(n);
    }
    result.AppendUniChars(units + runStart, i - runStart);
    result.AppendUniChars(decoded, count);
    expected += (i - runStart) + count;
    runStart = i + length;
    i += length - 1;  // the decoded text is not scanned again
  }
  if (!changed) return;
  result.AppendUniChars(units + runStart, n - runStart);
  expected += n - runStart;
  if (result.GetLength() != expected) return;
  FromString(result);
}

void VString::GetXMLString(VString& dest, uint32) const {
  dest.FromString(*this);
  dest.TranscodeToXML(false);
}

bool VString::FromXMLString(const VString& source) {
  FromString(source);
  TranscodeFromXML();
  return true;
}

}  // namespace zeft
