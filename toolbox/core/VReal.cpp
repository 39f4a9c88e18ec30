#include "core/VReal.h"

#include <locale.h>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>

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

// Writes the number for the cases shared by the XML and JSON forms: whole
// numbers as integers, others with "%.14G" in the C locale, terminated.
// Answers the length, or 0 for NaN and infinities, which the two forms spell
// differently.
size_t RealToChars(double value, char (&text)[VReal::kMaxTextSize]) {
  if (std::isnan(value) || std::isinf(value)) return 0;
  char* const end = text + sizeof(text) - 1;
  std::to_chars_result result;
  if (value == std::trunc(value) && std::fabs(value) <= kLargestExactWhole) {
    result = std::to_chars(text, end, int64(value));  // -0.0 gives "0"
  } else {
    result = std::to_chars(text, end, value, std::chars_format::general, 14);
    for (char* c = text; c != result.ptr; ++c) {
      if (*c == 'e') *c = 'E';
    }
  }
  *result.ptr = 0;
  return size_t(result.ptr - text);
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
