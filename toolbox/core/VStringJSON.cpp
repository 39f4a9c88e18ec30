// JSON string text of a VString (escaping and unescaping) and the small
// string checks of the JSON reader.
#include <array>
#include <cstring>
#include <utility>

#include "core/ASCIIText.h"
#include "core/VCppMemMgr.h"
#include "core/VString.h"
#include "runtime/VErrorThrow.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zeft {

namespace {

constexpr int64 kMaxUnits = int64(1) << 31;

// What an ASCII unit is written as: the unit itself, a two-unit escape or a
// \u00XX escape; the second table also escapes '&' and '\''. The six units
// are copied whole and the length tells how many count, so that writing
// needs no branch on the unit's kind.
struct EscapeForm {
  UniChar units[6];
  uint32 length;
};

constexpr std::array<EscapeForm, 128> MakeEscapeForms(bool escapeAmpAndApos) {
  constexpr char kUpperHex[] = "0123456789ABCDEF";
  std::array<EscapeForm, 128> forms{};
  for (int c = 0; c < 128; ++c) {
    EscapeForm& form = forms[size_t(c)];
    char letter = 0;
    switch (c) {
      case 0x08:
        letter = 'b';
        break;
      case 0x09:
        letter = 't';
        break;
      case 0x0A:
        letter = 'n';
        break;
      case 0x0C:
        letter = 'f';
        break;
      case 0x0D:
        letter = 'r';
        break;
      case '"':
        letter = '"';
        break;
      case '\\':
        letter = '\\';
        break;
      default:
        if (c < 0x20 || c == 0x7F || (escapeAmpAndApos && (c == '&' || c == '\''))) letter = 'u';
        break;
    }
    if (letter == 0) {
      form.units[0] = UniChar(c);
      form.length = 1;
    } else if (letter != 'u') {
      form.units[0] = u'\\';
      form.units[1] = UniChar(letter);
      form.length = 2;
    } else {
      form.units[0] = u'\\';
      form.units[1] = u'u';
      form.units[2] = u'0';
      form.units[3] = u'0';
      form.units[4] = UniChar(kUpperHex[c >> 4]);
      form.units[5] = UniChar(kUpperHex[c & 15]);
      form.length = 6;
    }
  }
  return forms;
}

constexpr std::array<EscapeForm, 128> kEscapeForms = MakeEscapeForms(false);
constexpr std::array<EscapeForm, 128> kEscapeFormsWithAmpAndApos = MakeEscapeForms(true);

// The units the escapes add to a text, without branches so that the loop
// runs on whole vectors: 5 for a \u00XX escape, 1 for a two-unit one.
int64 EscapedExtraUnits(const UniChar* text, int32 length, bool escapeAmpAndApos) {
  const uint32 amp = escapeAmpAndApos ? 1 : 0;
  int64 extra = 0;
  for (int32 i = 0; i < length; ++i) {
    const uint32 c = text[i];
    const uint32 control =
        uint32(c < 0x20) | uint32(c == 0x7F) | (amp & (uint32(c == '&') | uint32(c == '\'')));
    const uint32 shortControl = uint32(c - 8 < 3) | uint32(c == 12) | uint32(c == 13);
    const uint32 quoteOrBackslash = uint32(c == '"') | uint32(c == '\\');
    extra += int32(5 * control - 4 * shortControl + quoteOrBackslash);
  }
  return extra;
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
    if (fLength > 0x7FFFFFFF - 2 || !out._EnsureSize(fLength + 2, false)) {
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
  const int32 needed =
      (quoted ? 2 : 0) + fLength + int32(EscapedExtraUnits(fString, fLength, escapeAmpAndApos));
  if (!out._EnsureSize(needed, false)) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return ToolboxError(toolbox_error::kStringTooLong);
  }

  UniChar* dest = out.fString;
  if (quoted) *dest++ = u'"';
  if (needed == fLength + (quoted ? 2 : 0)) {
    // Nothing to escape.
    if (fLength > 0) std::memcpy(dest, fString, size_t(fLength) * sizeof(UniChar));
    dest += fLength;
  } else {
    const EscapeForm* forms =
        escapeAmpAndApos ? kEscapeFormsWithAmpAndApos.data() : kEscapeForms.data();
    // Whole forms are copied while six units of room remain, exact lengths
    // after that.
    const int64 wholeFormsEnd = int64(out.fMaxLength) - 6;
    for (int32 i = 0; i < fLength; ++i) {
      const UniChar c = fString[i];
      if (c >= 0x80) {
        *dest++ = c;
        continue;
      }
      const EscapeForm& form = forms[c];
      if (dest - out.fString <= wholeFormsEnd) {
        std::memcpy(dest, form.units, sizeof(form.units));
      } else {
        std::memcpy(dest, form.units, form.length * sizeof(UniChar));
      }
      dest += form.length;
    }
  }
  if (quoted) *dest++ = u'"';
  out._SetLengthAndTerminate(int32(dest - out.fString));
  return VE_OK;
}

VError VString::AppendJSONString(const UniChar* text, int32 count, uint32 options) {
  if (count <= 0 || text == nullptr) count = 0;
  if (count > 0 && text >= fString && text < fString + fMaxLength + 1) {
    // The units lie in this string's block, which growing may move.
    VString copy;
    copy.FromUniString(text, count);
    if (copy.fLength != count) return ToolboxError(toolbox_error::kStringTooLong);
    return AppendJSONString(copy.fString, copy.fLength, options);
  }
  const bool quoted = (options & kJSONWithQuotes) != 0;
  const bool raw = (options & kJSONRaw) != 0;
  if (raw ? int64(count) > 0x7FFFFFFF - 2 : 4 + 6 * int64(count) >= kMaxUnits) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return ToolboxError(toolbox_error::kStringTooLong);
  }
  // Room for the text unescaped and its quotes, plus (when escaping) a
  // block for the whole-block stores below; escapes ask for more as they
  // come.
  constexpr int32 kBlock = 8;
  const int32 start = fLength;
  UniChar* dest = GetAppendRoom(count + 2 + (raw ? 0 : kBlock));
  if (dest == nullptr) return ToolboxError(toolbox_error::kStringTooLong);
  if (quoted) *dest++ = u'"';
  if (raw) {
    if (count > 0) std::memcpy(dest, text, size_t(count) * sizeof(UniChar));
    dest += count;
  } else {
    const bool escapeAmpAndApos = (options & kJSONEscapeAmpAndApos) != 0;
    const EscapeForm* forms =
        escapeAmpAndApos ? kEscapeFormsWithAmpAndApos.data() : kEscapeForms.data();
    const UniChar* src = text;
    const UniChar* const end = text + count;
#if defined(__SSE2__)
    const __m128i lastControl = _mm_set1_epi16(0x1F);
    const __m128i quote = _mm_set1_epi16('"');
    const __m128i backslash = _mm_set1_epi16('\\');
    const __m128i del = _mm_set1_epi16(0x7F);
    const __m128i amp = _mm_set1_epi16(escapeAmpAndApos ? '&' : '"');
    const __m128i apos = _mm_set1_epi16(escapeAmpAndApos ? '\'' : '"');
    const __m128i zero = _mm_setzero_si128();
#endif
    for (;;) {
      // A run of units written as they are, copied a block at a time:
      // each block is stored whole and the destination advanced to its
      // first unit that needs an escape.
#if defined(__SSE2__)
      while (end - src >= kBlock) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), units);
        const __m128i escaped = _mm_or_si128(
            _mm_or_si128(
                _mm_cmpeq_epi16(_mm_subs_epu16(units, lastControl), zero),
                _mm_or_si128(_mm_cmpeq_epi16(units, quote), _mm_cmpeq_epi16(units, backslash))),
            _mm_or_si128(_mm_cmpeq_epi16(units, del),
                         _mm_or_si128(_mm_cmpeq_epi16(units, amp), _mm_cmpeq_epi16(units, apos))));
        const int mask = _mm_movemask_epi8(escaped);
        if (mask != 0) {
          const int plain = __builtin_ctz(mask) / 2;
          src += plain;
          dest += plain;
          break;
        }
        src += kBlock;
        dest += kBlock;
      }
#endif
      while (src < end && (*src >= 0x80 || forms[*src].length == 1)) *dest++ = *src++;
      if (src == end) break;
      const EscapeForm& form = forms[*src++];
      // The rest still fits unescaped with its block, and this escape too.
      const int64 needed = int64(end - src) + 6 + 1 + kBlock;
      if (fString + fMaxLength - dest < needed) {
        // Growing keeps the length's units: count those written so far.
        fLength = int32(dest - fString);
        dest = GetAppendRoom(int32(needed));
        if (dest == nullptr) {
          fLength = start;
          fString[start] = 0;
          return ToolboxError(toolbox_error::kStringTooLong);
        }
      }
      std::memcpy(dest, form.units, sizeof(form.units));
      dest += form.length;
    }
  }
  if (quoted) *dest++ = u'"';
  _SetLengthAndTerminate(int32(dest - fString));
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
      case u'b':
        *dest++ = 0x08;
        break;
      case u'f':
        *dest++ = 0x0C;
        break;
      case u'n':
        *dest++ = 0x0A;
        break;
      case u'r':
        *dest++ = 0x0D;
        break;
      case u't':
        *dest++ = 0x09;
        break;
      case u'u':
        if (length - i >= 4) {
          // Units that are not hexadecimal digits are consumed and add
          // nothing.
          UniChar value = 0;
          for (int32 k = 0; k < 4; ++k) {
            const int digit = HexDigitValue(in[i + k]);
            if (digit >= 0) value = UniChar((value << 4) | digit);
          }
          i += 4;
          *dest++ = value;
        } else {
          *dest++ = u'u';
        }
        break;
      default:
        *dest++ = e;
        break;
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
