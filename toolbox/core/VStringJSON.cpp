// JSON string text of a VString (escaping and unescaping) and the small
// string checks of the JSON reader.
#include <array>
#include <cstring>
#include <utility>

#include "core/VCppMemMgr.h"
#include "core/VString.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

constexpr int64 kMaxUnits = int64(1) << 31;

// What an ASCII unit is written as: 0 itself, else the short escape letter
// or 'u' for a \u00XX escape. '&' and '\'' are looked at apart, since their
// form depends on the options.
constexpr std::array<char, 128> MakeEscapes() {
  std::array<char, 128> escapes{};
  for (int c = 0; c < 0x20; ++c) escapes[size_t(c)] = 'u';
  escapes[0x08] = 'b';
  escapes[0x09] = 't';
  escapes[0x0A] = 'n';
  escapes[0x0C] = 'f';
  escapes[0x0D] = 'r';
  escapes['"'] = '"';
  escapes['\\'] = '\\';
  escapes[0x7F] = 'u';
  return escapes;
}

constexpr std::array<char, 128> kEscapes = MakeEscapes();
constexpr char kUpperHex[] = "0123456789ABCDEF";

// The escape letter of unit c, 0 when it is written as it is.
inline char EscapeOf(UniChar c, bool escapeAmpAndApos) {
  if (c >= 0x80) return 0;
  if (escapeAmpAndApos && (c == '&' || c == '\'')) return 'u';
  return kEscapes[c];
}

int HexValue(UniChar c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

bool IsDigit(UniChar c) { return c >= u'0' && c <= u'9'; }

// dddd-dd-dd at `text`.
bool IsDatePattern(const UniChar* text) {
  for (int i = 0; i < 10; ++i) {
    const bool dash = i == 4 || i == 7;
    if (dash ? text[i] != u'-' : !IsDigit(text[i])) return false;
  }
  return true;
}

}  // namespace

VError VString::GetJSONString(VString& out, uint32 options) const {
  if (&out == this) {
    // The text is read while out is written: escape into a new string.
    VString escaped;
    const VError error = GetJSONString(escaped, options);
    if (error == VE_OK) out = std::move(escaped);
    return error;
  }
  const bool quoted = (options & kJSONWithQuotes) != 0;
  if ((options & kJSONRaw) != 0) {
    if (!quoted) {
      out.FromString(*this);
      return VE_OK;
    }
    if (!out._EnsureSize(fLength + 2, false)) {
      _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
      return ToolboxError(toolbox_error::kStringTooLong);
    }
    out.fString[0] = u'"';
    if (fLength > 0) std::memcpy(out.fString + 1, fString, size_t(fLength) * sizeof(UniChar));
    out.fString[fLength + 1] = u'"';
    out._SetLengthAndTerminate(fLength + 2);
    return VE_OK;
  }

  // Every unit takes at most six.
  if (4 + 6 * int64(fLength) >= kMaxUnits) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return ToolboxError(toolbox_error::kStringTooLong);
  }
  const bool escapeAmpAndApos = (options & kJSONEscapeAmpAndApos) != 0;
  int32 needed = quoted ? 2 : 0;
  for (int32 i = 0; i < fLength; ++i) {
    const char escape = EscapeOf(fString[i], escapeAmpAndApos);
    needed += escape == 0 ? 1 : (escape == 'u' ? 6 : 2);
  }
  if (!out._EnsureSize(needed, false)) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return ToolboxError(toolbox_error::kStringTooLong);
  }

  UniChar* dest = out.fString;
  if (quoted) *dest++ = u'"';
  for (int32 i = 0; i < fLength; ++i) {
    const UniChar c = fString[i];
    const char escape = EscapeOf(c, escapeAmpAndApos);
    if (escape == 0) {
      *dest++ = c;
    } else if (escape != 'u') {
      *dest++ = u'\\';
      *dest++ = UniChar(escape);
    } else {
      *dest++ = u'\\';
      *dest++ = u'u';
      *dest++ = u'0';
      *dest++ = u'0';
      *dest++ = UniChar(kUpperHex[c >> 4]);
      *dest++ = UniChar(kUpperHex[c & 15]);
    }
  }
  if (quoted) *dest++ = u'"';
  out._SetLengthAndTerminate(int32(dest - out.fString));
  return VE_OK;
}

VError VString::FromJSONString(const VString& json, uint32 options) {
  if ((options & kJSONRaw) != 0) {
    FromString(json);
    return VE_OK;
  }
  if (&json == this) {
    const VString text(json);
    return FromJSONString(text, options);
  }
  // The text never grows.
  if (!_EnsureSize(json.fLength, false)) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return ToolboxError(toolbox_error::kStringTooLong);
  }
  const UniChar* in = json.fString;
  const int32 length = json.fLength;
  UniChar* dest = fString;
  int32 i = 0;
  while (i < length) {
    const UniChar c = in[i++];
    if (c != u'\\') {
      *dest++ = c;
      continue;
    }
    if (i == length) break;  // a backslash at the end is dropped
    const UniChar e = in[i++];
    switch (e) {
      case u'b': *dest++ = 0x08; break;
      case u'f': *dest++ = 0x0C; break;
      case u'n': *dest++ = 0x0A; break;
      case u'r': *dest++ = 0x0D; break;
      case u't': *dest++ = 0x09; break;
      case u'u':
        if (length - i >= 4) {
          // Units that are not hexadecimal digits are consumed and add
          // nothing.
          UniChar value = 0;
          for (int32 k = 0; k < 4; ++k) {
            const int digit = HexValue(in[i + k]);
            if (digit >= 0) value = UniChar((value << 4) | digit);
          }
          i += 4;
          *dest++ = value;
        } else {
          *dest++ = u'u';
        }
        break;
      default: *dest++ = e; break;
    }
  }
  _SetLengthAndTerminate(int32(dest - fString));
  return VE_OK;
}

void VString::GetCleanJSName(VString& out) const {
  if (&out == this) {
    VString name;
    GetCleanJSName(name);
    out = std::move(name);
    return;
  }
  out.Clear();
  if (fLength == 0) return;
  const int32 room = fLength < 0x7FFFFFFF ? fLength + 1 : fLength;
  if (!out._EnsureSize(room, false)) return;
  UniChar* dest = out.fString;
  if (IsDigit(fString[0])) *dest++ = u'_';
  for (int32 i = 0; i < fLength && dest - out.fString < room; ++i) {
    const UniChar c = fString[i];
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || IsDigit(c) || c == u'$' ||
        c == u'_') {
      *dest++ = c;
    }
  }
  out._SetLengthAndTerminate(int32(dest - out.fString));
}

bool VString::IsISODate() const { return fLength == 10 && IsDatePattern(fString); }

bool VString::IsNonAmbigousDate() const {
  return fLength == 14 && fString[0] == u'!' && fString[1] == u'!' && IsDatePattern(fString + 2) &&
         fString[12] == u'!' && fString[13] == u'!';
}

bool VString::IsStringValid() const {
  if (fString != fInline && (sCppMemMgr == nullptr || !sCppMemMgr->CheckPtr(fString))) {
    return false;
  }
  return fLength == 0 || fString[fLength] == 0;
}

}  // namespace zeft
