// VString read as numbers, codes and booleans, hexadecimal text, and the
// string written as bytes in a character set.
#include <locale.h>

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "core/CLocale.h"
#include "core/VFromUnicodeConverter.h"
#include "core/VIntlMgr.h"
#include "core/VString.h"
#include "core/VTextConverters.h"
#include "runtime/VTask.h"
#include "values/VDuration.h"
#include "values/VTime.h"
#include "values/VUUID.h"

namespace zeft {

namespace {

// The unit that ends a lenient integer parse: the first unit of the task's
// decimal separator, "." without settings. False when nothing ends it.
bool DecimalStopUnit(UniChar& stop) {
  VIntlMgr* intl = VTask::GetCurrentIntlManager();
  if (intl == nullptr) {
    stop = u'.';
    return true;
  }
  const VString& separator = intl->GetDecimalSeparator();
  if (separator.IsEmpty()) return false;
  stop = separator.GetCPointer()[0];
  return true;
}

// Plain decimal text (after white space and a sign, a digit or a point,
// and no "0x") reads the same through std::from_chars, which rounds
// correctly as strtod_l does and is much faster. False for anything else,
// and for results out of range, which strtod_l then decides.
bool ReadPlainDecimal(const char* text, const char* end, double& result) {
  const char* p = text;
  while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  if (p == end || !((*p >= '0' && *p <= '9') || *p == '.')) return false;
  if (*p == '0' && p + 1 < end && (p[1] == 'x' || p[1] == 'X')) return false;
  double value = 0.0;
  if (std::from_chars(p, end, value, std::chars_format::general).ec != std::errc()) return false;
  result = negative ? -value : value;
  return true;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Upper-case digits of value, most significant first, padded with "0" to
// the width that `bits` gives the digit count when withPrefix is set, then
// "0x" in front. Returns the number of characters written into text (at
// most 18).
int32 StringFromHexLong(uint64 value, int32 bits, bool withPrefix, char* text) {
  char digits[16];
  int32 count = 0;
  do {
    digits[count++] = kHexDigits[value & 15];
    value >>= 4;
  } while (value != 0);

  int32 width = count;
  if (withPrefix) {
    if (bits == 8) {
      width = 2;
    } else if (count <= 4) {
      width = 4;
    } else if (count <= 8 || bits == 32) {
      width = 8;
    } else {
      width = 16;
    }
  }
  int32 n = 0;
  if (withPrefix) {
    text[n++] = '0';
    text[n++] = 'x';
  }
  for (int32 i = count; i < width; ++i) text[n++] = '0';
  while (count > 0) text[n++] = digits[--count];
  return n;
}

}  // namespace

// ---------------------------------------------------------------------------
// Reading the string as a value

uint8 VString::GetBoolean() const {
  static constexpr UniChar kTrue[] = u"true";
  if (VIntlMgr* intl = VTask::GetCurrentIntlManager()) {
    return intl->EqualString(fString, fLength, kTrue, 4, false) ? 1 : 0;
  }
  // Without settings, "true" in any ASCII case.
  if (fLength != 4) return 0;
  for (int32 i = 0; i < 4; ++i) {
    const UniChar c = fString[i];
    if ((c >= u'A' && c <= u'Z' ? UniChar(c + 32) : c) != kTrue[i]) return 0;
  }
  return 1;
}

int64 VString::GetLong8() const {
  if (fLength == 0) return 0;
  UniChar stop = 0;
  const bool canStop = DecimalStopUnit(stop);
  uint64 value = 0;  // wraps like the 64-bit sum it stands for
  bool negative = false;
  for (int32 i = 0; i < fLength; ++i) {
    const UniChar c = fString[i];
    if (c >= u'0' && c <= u'9') {
      value = value * 10 + uint64(c - u'0');
    } else if (c == u'-') {
      if (value == 0) negative = true;
    } else if (canStop && c == stop) {
      break;
    }
  }
  return int64(negative ? 0 - value : value);
}

int32 VString::GetLong() const {
  const int64 value = GetLong8();
  return (value >= INT32_MIN && value <= INT32_MAX) ? int32(value) : 0;
}

int16 VString::GetWord() const {
  const int64 value = GetLong8();
  return (value >= INT16_MIN && value <= INT16_MAX) ? int16(value) : 0;
}

double VString::GetReal() const { return GetRealCheckOverflow(nullptr); }

double VString::GetRealCheckOverflow(bool* overflow) const {
  if (overflow != nullptr) *overflow = false;
  const locale_t cLocale = GetCLocale();
  if (fLength == 0 || cLocale == locale_t(nullptr)) return 0.0;

  // No unit from 0x80 up can belong to a number, so the ASCII run from the
  // start reads exactly as the whole UTF-8 form would.
  int32 count = 0;
  while (count < fLength && fString[count] != 0 && fString[count] < 0x80) ++count;

  char stackText[128];
  std::unique_ptr<char[]> heapText;
  char* text = stackText;
  if (count >= int32(sizeof(stackText))) {
    heapText.reset(new (std::nothrow) char[size_t(count) + 1]);
    if (heapText == nullptr) return 0.0;
    text = heapText.get();
  }
  for (int32 i = 0; i < count; ++i) text[i] = char(fString[i]);
  text[count] = 0;

  double result = 0.0;
  if (ReadPlainDecimal(text, text + count, result)) return result;
  errno = 0;
  result = strtod_l(text, nullptr, cLocale);
  if (overflow != nullptr) {
    *overflow = errno == ERANGE && (result == 0.0 || std::isinf(result));
  }
  return result;
}

uint32 VString::GetOsType() const {
  // Room for four characters of up to four bytes each.
  uint8 bytes[16];
  const size_t produced = ToBlock(bytes, sizeof(bytes), kCharSetUTF8, false, false);
  uint32 code = 0;
  for (size_t i = 0; i < 4; ++i) code = (code << 8) | (i < produced ? bytes[i] : 0x20);
  return code;
}

// Each kind parses and writes its own text. The calls go through the value
// base (virtual dispatch), so this file needs none of those classes' code.
void VString::GetDuration(VDuration& target) const {
  static_cast<VValueSingle&>(target).FromString(*this);
}

void VString::GetTime(VTime& target) const { static_cast<VValueSingle&>(target).FromString(*this); }

void VString::GetVUUID(VUUID& target) const {
  static_cast<VValueSingle&>(target).FromString(*this);
}

void VString::FromDuration(const VDuration& duration) {
  static_cast<const VValueSingle&>(duration).GetString(*this);
}

void VString::FromTime(const VTime& time) {
  static_cast<const VValueSingle&>(time).GetString(*this);
}

void VString::FromVUUID(const VUUID& uuid) {
  static_cast<const VValueSingle&>(uuid).GetString(*this);
}

uint64 VString::GetHexLong() const {
  uint64 value = 0;
  for (int32 i = 0; i < fLength; ++i) {
    const UniChar c = fString[i];
    if (c >= u'0' && c <= u'9') {
      value = value * 16 + uint64(c - u'0');
    } else if (c >= u'A' && c <= u'F') {
      value = value * 16 + uint64(c - u'A' + 10);
    } else if (c >= u'a' && c <= u'f') {
      value = value * 16 + uint64(c - u'a' + 10);
    }
  }
  return value;
}

// ---------------------------------------------------------------------------
// Hexadecimal text

void VString::_FromHexLong(uint64 value, int32 bits, bool withPrefix) {
  char text[20];
  const int32 count = StringFromHexLong(value, bits, withPrefix, text);
  if (!_EnsureSize(count, false)) {
    Clear();
    return;
  }
  for (int32 i = 0; i < count; ++i) fString[i] = UniChar(text[i]);
  _SetLengthAndTerminate(count);
}

void VString::FromHexLong(uint64 value, bool withPrefix) { _FromHexLong(value, 64, withPrefix); }

void VString::FromHexLong(int64 value, bool withPrefix) {
  _FromHexLong(uint64(value), 64, withPrefix);
}

void VString::FromHexLong(uint32 value, bool withPrefix) { _FromHexLong(value, 32, withPrefix); }

void VString::FromHexLong(int32 value, bool withPrefix) {
  _FromHexLong(uint32(value), 32, withPrefix);
}

void VString::FromHexLong(uint8 value, bool withPrefix) { _FromHexLong(value, 8, withPrefix); }

void VString::FromHexLong(int8 value, bool withPrefix) {
  _FromHexLong(uint8(value), 8, withPrefix);
}

// ---------------------------------------------------------------------------
// Bytes

CharSet VString::FromBlockWithOptionalBOM(const void* data, size_t bytes, CharSet set) {
  size_t bomSize = 0;
  CharSet bomSet = kCharSetUnknown;
  if (VTextConverters::ParseBOM(data, bytes, &bomSize, &bomSet)) {
    data = static_cast<const uint8*>(data) + bomSize;
    bytes -= bomSize;
    set = bomSet;
  }
  FromBlock(data, bytes, set);
  return set;
}

size_t VString::ToBlock(void* buffer, size_t bufferSize, CharSet set, bool withTerminator,
                        bool withLengthPrefix) const {
  // Native UTF-16 counts its prefix and terminator in units, the other
  // sets in bytes.
  const bool units = set == kCharSetUTF16;
  const size_t step = units ? 2 : 1;
  const size_t overhead = (withTerminator ? step : 0) + (withLengthPrefix ? step : 0);
  if (buffer == nullptr || bufferSize < overhead) return 0;

  uint8* out = static_cast<uint8*>(buffer);
  uint8* text = out + (withLengthPrefix ? step : 0);
  size_t room = bufferSize - overhead;
  if (units) room &= ~size_t(1);

  size_t produced = 0;
  if (room > 0 && fLength > 0) {
    VTextConverters::Get()->ConvertFromVString(*this, nullptr, text, room, &produced, set);
    if (produced > room) produced = room;
  }

  if (withLengthPrefix) {
    const size_t count = units ? produced / 2 : produced;
    const size_t limit = units ? 65536 : 256;
    // A text the prefix cannot count is given as empty, so that the
    // prefix, the terminator and the result agree.
    if (count >= limit) produced = 0;
    if (units) {
      const uint16 prefix = uint16(produced / 2);
      std::memcpy(out, &prefix, 2);
    } else {
      out[0] = uint8(produced);
    }
  }
  if (withTerminator) std::memset(text + produced, 0, step);
  return produced;
}

bool VString::ToBuffer(VMemoryBuffer<>& buffer, CharSet set) const {
  VFromUnicodeConverter* converter = VTextConverters::Get()->RetainFromUnicodeConverter(set);
  if (converter == nullptr) return false;
  if (!converter->IsValid()) {
    converter->Release();
    return false;
  }
  buffer.SetSize(0);
  const bool ok = converter->ConvertToBuffer(fString, fLength, buffer, 0);
  converter->Release();
  return ok;
}

}  // namespace zeft
