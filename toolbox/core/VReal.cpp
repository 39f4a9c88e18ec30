#include "core/VReal.h"

#include <locale.h>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/CLocale.h"
#include "core/VString.h"
#include "files/VStream.h"
#include "values/VDuration.h"

namespace zeft {

constinit const VReal::VValueInfo_real VReal::sInfo;

namespace {

constexpr double kTolerance = 1e-6;
// Whole numbers up to this magnitude are written as integers.
constexpr double kLargestExactWhole = 9007199254740991.0;  // 2^53 - 1
// Longest number text taken, in bytes.
constexpr int32 kMaxNumberText = 254;

// Significant digits of the "%.14G" form.
constexpr int kPrecision = 14;

// The "%.14G" text of a finite number, from its shortest round-trip digits,
// which are much cheaper to find than digits at a given precision. Up to 14
// shortest digits are the 14-digit text itself; more are rounded to 14
// (the true value lies on the same side of the rounding midpoint as the
// shortest digits, or the midpoint itself, being shorter or closer, would
// have been chosen), unless they are that midpoint exactly: then nullptr
// and the caller asks for the digits at that precision. Subnormal numbers,
// whose shortest digits may be fewer than their 14-digit text, give nullptr
// too. Answers the end of the text.
char* ToFourteenDigits(double value, char* text, char* end) {
  if (std::fabs(value) < std::numeric_limits<double>::min()) return nullptr;
  char shortest[32];
  const std::to_chars_result written =
      std::to_chars(shortest, shortest + sizeof(shortest), value, std::chars_format::scientific);
  // "-d.ddde+XX": the digits without the point, and the exponent.
  const char* p = shortest;
  const bool negative = *p == '-';
  if (negative) ++p;
  char digits[24];
  int count = 0;
  for (; *p != 'e'; ++p) {
    if (*p != '.') digits[count++] = *p;
  }
  int exponent = 0;
  std::from_chars(p + (p[1] == '+' ? 2 : 1), written.ptr, exponent);
  if (count > kPrecision) {
    if (count == kPrecision + 1 && digits[kPrecision] == '5') return nullptr;
    const bool up = digits[kPrecision] >= '5';
    count = kPrecision;
    if (up) {
      int i = count - 1;
      while (i >= 0 && digits[i] == '9') digits[i--] = '0';
      if (i >= 0) {
        ++digits[i];
      } else {
        digits[0] = '1';
        ++exponent;
      }
    }
  }
  while (count > 1 && digits[count - 1] == '0') --count;

  char* out = text;
  if (negative) *out++ = '-';
  if (exponent >= -4 && exponent < kPrecision) {
    if (exponent < 0) {
      *out++ = '0';
      *out++ = '.';
      for (int i = -1; i > exponent; --i) *out++ = '0';
      std::memcpy(out, digits, size_t(count));
      out += count;
    } else {
      for (int i = 0; i <= exponent; ++i) *out++ = i < count ? digits[i] : '0';
      if (count > exponent + 1) {
        *out++ = '.';
        std::memcpy(out, digits + exponent + 1, size_t(count - exponent - 1));
        out += count - exponent - 1;
      }
    }
  } else {
    *out++ = digits[0];
    if (count > 1) {
      *out++ = '.';
      std::memcpy(out, digits + 1, size_t(count - 1));
      out += count - 1;
    }
    *out++ = 'E';
    *out++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) *out++ = '0';
    out = std::to_chars(out, end, magnitude).ptr;
  }
  return out;
}

// Writes the number for the cases shared by the XML and JSON forms: whole
// numbers as integers, others with "%.14G" in the C locale, terminated.
// Answers the length, or 0 for NaN and infinities, which the two forms spell
// differently.
size_t RealToChars(double value, char (&text)[VReal::kMaxTextSize]) {
  if (std::isnan(value) || std::isinf(value)) return 0;
  char* const end = text + sizeof(text) - 1;
  char* last;
  if (value == std::trunc(value) && std::fabs(value) <= kLargestExactWhole) {
    last = std::to_chars(text, end, int64(value)).ptr;  // -0.0 gives "0"
  } else if ((last = ToFourteenDigits(value, text, end)) == nullptr) {
    last = std::to_chars(text, end, value, std::chars_format::general, kPrecision).ptr;
    for (char* c = text; c != last; ++c) {
      if (*c == 'e') *c = 'E';
    }
  }
  *last = 0;
  return size_t(last - text);
}

}  // namespace

uint8 VReal::GetBoolean() const { return fValue != 0.0; }  // NaN is true
int8 VReal::GetByte() const { return int8(SaturatingRealToLong(fValue)); }
int16 VReal::GetWord() const { return int16(SaturatingRealToLong(fValue)); }
int32 VReal::GetLong() const { return SaturatingRealToLong(fValue); }
int64 VReal::GetLong8() const { return SaturatingRealToLong8(fValue); }
double VReal::GetReal() const { return fValue; }
void VReal::GetDuration(VDuration& target) const { target.FromReal(fValue); }
void VReal::GetString(VString& target) const { target.FromReal(fValue); }
void VReal::GetValue(VValueSingle& target) const { target.FromReal(fValue); }

void VReal::FromBoolean(uint8 value) { Store(value); }
void VReal::FromByte(int8 value) { Store(value); }
void VReal::FromWord(int16 value) { Store(value); }
void VReal::FromLong(int32 value) { Store(value); }
void VReal::FromLong8(int64 value) { Store(double(value)); }
void VReal::FromReal(double value) { Store(value); }
void VReal::FromDuration(const VDuration& duration) {
  StoreWithNullState(duration.GetReal(), duration.IsNull());
}
void VReal::FromString(const VString& text) {
  // A null text keeps the number and only passes on its null state.
  StoreWithNullState(text.IsNull() ? fValue : text.GetReal(), text.IsNull());
}
void VReal::FromValue(const VValueSingle& value) {
  StoreWithNullState(value.GetReal(), value.IsNull());
}

CompareResult VReal::CompareTo(const VValueSingle& other, bool) const {
  return CompareReals(fValue, other.GetReal(), kTolerance, false);
}

CompareResult VReal::CompareToSameKind(const VValue* other, bool) const {
  return CompareReals(fValue, Other(other), kTolerance, false);
}
bool VReal::EqualToSameKind(const VValue* other, bool diacritical) const {
  return CompareToSameKind(other, diacritical) == kCompareEqual;
}
CompareResult VReal::CompareToSameKindPtr(const void* data, bool) const {
  return CompareReals(fValue, Load(data), kTolerance, false);
}
bool VReal::EqualToSameKindPtr(const void* data, bool diacritical) const {
  return CompareToSameKindPtr(data, diacritical) == kCompareEqual;
}
CompareResult VReal::CompareToSameKindWithOptions(const VValue* other,
                                                  const VCompareOptions& options) const {
  return CompareReals(fValue, Other(other), options.GetEpsilon(), false);
}
bool VReal::EqualToSameKindWithOptions(const VValue* other, const VCompareOptions& options) const {
  return CompareToSameKindWithOptions(other, options) == kCompareEqual;
}
CompareResult VReal::CompareToSameKindPtrWithOptions(const void* data,
                                                     const VCompareOptions& options) const {
  return CompareReals(fValue, Load(data), options.GetEpsilon(), false);
}
bool VReal::EqualToSameKindPtrWithOptions(const void* data, const VCompareOptions& options) const {
  return CompareToSameKindPtrWithOptions(data, options) == kCompareEqual;
}

CompareResult VReal::VValueInfo_real::CompareTwoPtrToDataWithOptions(
    const void* data1, const void* data2, const VCompareOptions& options) const {
  return CompareReals(Load(data1), Load(data2), options.GetEpsilon(), options.IsDiacritical());
}

VError VReal::ReadFromStream(VStream* stream, int32) {
  double value = 0;
  int32 count = 1;
  const VError error = stream->GetReals(&value, &count);
  if (count == 1) fValue = value;
  return error;
}

VError VReal::WriteToStream(VStream* stream, int32 param) const {
  VValueSingle::WriteToStream(stream, param);
  return stream->PutReals(&fValue, 1);
}

size_t VReal::GetStreamSpace() const { return sizeof(double); }

size_t VReal::RealToXMLChars(double value, char (&text)[kMaxTextSize]) {
  if (const size_t length = RealToChars(value, text)) return length;
  const char* spelled = std::isnan(value) ? "NaN" : value < 0 ? "-INF" : "INF";
  std::strcpy(text, spelled);
  return std::strlen(spelled);
}

void VReal::RealToXMLString(double value, VString& text) {
  char chars[kMaxTextSize];
  RealToXMLChars(value, chars);
  text.FromCString(chars);
}

void VReal::RealToJSONString(double value, VString& text) {
  char chars[kMaxTextSize];
  text.FromCString(RealToChars(value, chars) != 0 ? chars : "null");
}

void VReal::GetXMLString(VString& text, uint32) const { RealToXMLString(fValue, text); }

VError VReal::FromJSONString(const VString& text, uint32) {
  if (!FromXMLString(text)) Store(0.0);
  return VE_OK;
}

bool VReal::FromXMLString(const VString& text) {
  // Number text is ASCII: any other unit cannot be part of a number, so
  // refusing it here is the same as letting the parse stop on it.
  const int32 length = text.GetLength();
  if (length > kMaxNumberText) return false;
  char buffer[kMaxNumberText + 1];
  const UniChar* units = text.GetCPointer();
  for (int32 i = 0; i < length; ++i) {
    if (units[i] >= 0x80) return false;
    buffer[i] = units[i] == u',' ? '.' : char(units[i]);
  }
  buffer[length] = 0;
  const locale_t cLocale = GetCLocale();
  if (cLocale == locale_t(nullptr)) return false;
  char* end = nullptr;
  const double value = strtod_l(buffer, &end, cLocale);
  // Every byte must be used; an embedded 0 unit stops the parse early.
  if (end != buffer + length) return false;
  Store(value);
  return true;
}

}  // namespace zeft
