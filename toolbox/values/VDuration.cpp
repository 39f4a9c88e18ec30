#include "values/VDuration.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/VString.h"
#include "files/VStream.h"

namespace zeft {

constinit const VDuration::InfoType VDuration::sInfo;

namespace {

// Real numbers of milliseconds become counts by truncation; values beyond
// the 64-bit range saturate rather than overflow.
int64 TruncateToCount(double milliseconds) {
  if (std::isnan(milliseconds)) return 0;
  if (milliseconds >= 9223372036854775808.0) return INT64_MAX;
  if (milliseconds <= -9223372036854775808.0) return INT64_MIN;
  return int64(milliseconds);
}

// Counts read from text are summed exactly in 128 bits, then brought to
// the nearest 64-bit count: a span too long to count reads as the longest
// one of its sign, never as a wrapped or refused value.
using int128 = __int128;

int64 ClampToCount(int128 count) {
  if (count > INT64_MAX) return INT64_MAX;
  if (count < INT64_MIN) return INT64_MIN;
  return int64(count);
}

// Milliseconds of a real number of seconds read from text, rounded to the
// nearest: the text's decimal fraction rarely has an exact binary form, so
// truncating would lose a millisecond on values such as 1.007. Beyond
// 10^30 ms (far past any 64-bit count, and inside 128 bits) the count
// stays at that bound; a number that is not finite counts 0.
int128 SecondsToWideCount(double seconds) {
  if (!std::isfinite(seconds)) return 0;
  constexpr double kBound = 1e30;
  return int128(std::clamp(std::round(seconds * 1000.0), -kBound, kBound));
}

// Counts wrap around instead of overflowing: out-of-range input gives a
// defined (if meaningless) count, never undefined behaviour.
int64 MulWrap(int64 a, int64 b) { return int64(uint64(a) * uint64(b)); }
int64 AddWrap(int64 a, int64 b) { return int64(uint64(a) + uint64(b)); }

CompareResult CompareCounts(int64 a, int64 b) {
  return a == b ? kCompareEqual : a > b ? kCompareBigger : kCompareLess;
}

int64 LoadCount(const void* data) {
  int64 count;
  std::memcpy(&count, data, sizeof(count));
  return count;
}

// The products fit in 64 bits for every 32-bit part.
int64 SumOfParts(int32 days, int32 hours, int32 minutes, int32 seconds, int32 milliseconds) {
  return int64(days) * VDuration::kMillisecondsPerDay +
         int64(hours) * VDuration::kMillisecondsPerHour +
         int64(minutes) * VDuration::kMillisecondsPerMinute +
         int64(seconds) * VDuration::kMillisecondsPerSecond + milliseconds;
}

// h, m, s and ms read from text, summed exactly.
int64 SumOfTextParts(int64 hours, int64 minutes, int64 seconds, int64 milliseconds) {
  return ClampToCount(int128(hours) * VDuration::kMillisecondsPerHour +
                      int128(minutes) * VDuration::kMillisecondsPerMinute +
                      int128(seconds) * VDuration::kMillisecondsPerSecond + milliseconds);
}

}  // namespace

VDuration::VDuration(int64 milliseconds) : VValueSingle(kFlagDirty), fMilliseconds(milliseconds) {}

VDuration::VDuration(const int64* count, bool zero)
    : VValueSingle(kFlagDirty), fMilliseconds(zero ? 0 : LoadCount(count)) {}

VDuration::VDuration(const VDuration& other)
    : VValueSingle(kFlagDirty), fMilliseconds(other.fMilliseconds) {}

VDuration& VDuration::operator=(const VDuration& other) {
  FromDuration(other);
  return *this;
}

void VDuration::SetCount(int64 milliseconds) {
  fMilliseconds = milliseconds;
  SetNotNullAndDirty();
}

void VDuration::Clear() { SetCount(0); }

VDuration* VDuration::Clone() const { return new VDuration(*this); }

bool VDuration::FromValueSameKind(const VValue* other) {
  fMilliseconds = static_cast<const VDuration*>(other)->fMilliseconds;
  SetNull(other->IsNull());
  fFlags |= kFlagDirty;
  return true;
}

// ---- Scalar forms

uint8 VDuration::GetBoolean() const { return fMilliseconds != 0; }
int8 VDuration::GetByte() const { return int8(ConvertToSeconds()); }
int16 VDuration::GetWord() const { return int16(ConvertToSeconds()); }
int32 VDuration::GetLong() const { return int32(ConvertToSeconds()); }
int64 VDuration::GetLong8() const { return ConvertToSeconds(); }
int64 VDuration::GetLong8OrMilliSeconds() const { return fMilliseconds; }
double VDuration::GetReal() const { return double(fMilliseconds) / 1000.0; }

void VDuration::GetDuration(VDuration& target) const { target.fMilliseconds = fMilliseconds; }

void VDuration::GetString(VString& target) const {
  target.Clear();
  if (!IsNull()) target.FromLong8(fMilliseconds);
}

void VDuration::GetValue(VValueSingle& target) const { target.FromDuration(*this); }

void VDuration::FromBoolean(uint8 value) { SetCount(value ? kMillisecondsPerSecond : 0); }
void VDuration::FromByte(int8 value) { FromNbSeconds(value); }
void VDuration::FromWord(int16 value) { FromNbSeconds(value); }
void VDuration::FromLong(int32 value) { FromNbSeconds(value); }
void VDuration::FromLong8(int64 value) { FromNbSeconds(value); }
void VDuration::FromReal(double value) { SetCount(TruncateToCount(value * 1000.0)); }
void VDuration::FromDuration(const VDuration& other) { SetCount(other.fMilliseconds); }

void VDuration::FromValue(const VValueSingle& value) {
  value.GetDuration(*this);
  SetNull(value.IsNull());
}

void VDuration::FromString(const VString& text) {
  std::vector<VString> texts;
  if (!text.GetSubStrings(u':', texts, true, true) || texts.size() < 2) {
    SetCount(SumOfTextParts(0, 0, text.GetLong8(), 0));
    return;
  }
  std::vector<int64> parts;
  for (const VString& part : texts) parts.push_back(part.GetLong8());
  if (parts.size() >= 4) {
    SetCount(SumOfTextParts(parts[0], parts[1], parts[2], parts[3]));
  } else if (parts.size() == 3) {
    SetCount(SumOfTextParts(parts[0], parts[1], parts[2], 0));
  } else {
    SetCount(SumOfTextParts(0, parts[0], parts[1], 0));
  }
}

VError VDuration::GetJSONString(VString& text, uint32) const {
  text.FromLong8(fMilliseconds);
  return VE_OK;
}

VError VDuration::FromJSONString(const VString& text, uint32) {
  SetCount(text.GetLong8());
  return VE_OK;
}

// ---- ISO 8601 form

void VDuration::GetXMLString(VString& text, uint32 options) const {
  if ((options & kXMLOptionISO8601) == 0) {
    text.FromLong8(ConvertToSeconds());
    return;
  }
  int32 days, hours, minutes, seconds, milliseconds;
  GetDuration(days, hours, minutes, seconds, milliseconds);
  char buffer[256];
  if (milliseconds == 0) {
    if (days == 0) {
      std::snprintf(buffer, sizeof(buffer), "PT%dH%dM%dS", hours, minutes, seconds);
    } else {
      std::snprintf(buffer, sizeof(buffer), "P%dDT%dH%dM%dS", days, hours, minutes, seconds);
    }
  } else {
    // The seconds are written through single precision, as they always were,
    // with 14 decimals and a "." whatever the process locale.
    const double fraction = double(float(double(seconds) + double(milliseconds) / 1000.0));
    char number[64];
    const std::to_chars_result written =
        std::to_chars(number, number + sizeof(number) - 1, fraction, std::chars_format::fixed, 14);
    *written.ptr = 0;
    if (days == 0) {
      std::snprintf(buffer, sizeof(buffer), "PT%dH%dM%sS", hours, minutes, number);
    } else {
      std::snprintf(buffer, sizeof(buffer), "P%dDT%dH%dM%sS", days, hours, minutes, number);
    }
  }
  text.FromCString(buffer);
}

bool VDuration::FromXMLString(const VString& text) {
  if (text.IsEmpty() || text.GetCPointer()[0] != u'P') {
    FromString(text);  // seconds, or the colon form
    return true;
  }
  int64 years = 0, months = 0, days = 0, hours = 0, minutes = 0;
  double seconds = 0.0;
  bool inTime = false;
  VString number;
  const UniChar* units = text.GetCPointer();
  for (int32 i = 1; i < text.GetLength(); ++i) {
    const UniChar c = units[i];
    if (!inTime && c == u'T') {
      inTime = true;
    } else if (!inTime && (c == u'Y' || c == u'M' || c == u'D')) {
      const int64 n = number.GetLong8();
      (c == u'Y' ? years : c == u'M' ? months : days) = n;
      number.Clear();
    } else if (inTime && (c == u'H' || c == u'M')) {
      (c == u'H' ? hours : minutes) = number.GetLong8();
      number.Clear();
    } else if (inTime && c == u'S') {
      seconds = number.GetReal();  // C locale; 0 when no number
    } else {
      number.AppendUniChar(c);
    }
  }
  // A year counts 360 days and a month 30.
  const int128 count = SecondsToWideCount(seconds) + int128(years) * (360 * kMillisecondsPerDay) +
                       int128(months) * (30 * kMillisecondsPerDay) +
                       int128(days) * kMillisecondsPerDay + int128(hours) * kMillisecondsPerHour +
                       int128(minutes) * kMillisecondsPerMinute;
  SetCount(ClampToCount(count));
  return true;
}

// ---- Parts

int32 VDuration::GetDay() const { return int32(fMilliseconds / kMillisecondsPerDay); }
int32 VDuration::GetHour() const {
  return int32((fMilliseconds % kMillisecondsPerDay) / kMillisecondsPerHour);
}
int32 VDuration::GetMinute() const {
  return int32((fMilliseconds % kMillisecondsPerHour) / kMillisecondsPerMinute);
}
int32 VDuration::GetSecond() const {
  return int32((fMilliseconds % kMillisecondsPerMinute) / kMillisecondsPerSecond);
}
int32 VDuration::GetMillisecond() const { return int32(fMilliseconds % kMillisecondsPerSecond); }

void VDuration::GetDuration(int32& days, int32& hours, int32& minutes, int32& seconds,
                            int32& milliseconds) const {
  if (IsNull()) {
    days = hours = minutes = seconds = milliseconds = -1;
    return;
  }
  days = GetDay();
  hours = GetHour();
  minutes = GetMinute();
  seconds = GetSecond();
  milliseconds = GetMillisecond();
}

void VDuration::GetFormattedString(VString& text) const {
  int32 parts[5];
  GetDuration(parts[0], parts[1], parts[2], parts[3], parts[4]);
  for (int i = 0; i < 5; ++i) {
    if (i > 0) text.AppendUniChar(u':');
    text.AppendLong(parts[i]);
  }
}

void VDuration::FromDecimalHour(double hours) {
  SetCount(TruncateToCount(hours * double(kMillisecondsPerHour)));
}

void VDuration::FromNbMilliseconds(int64 n) { SetCount(n); }
void VDuration::FromNbSeconds(int64 n) { SetCount(MulWrap(n, kMillisecondsPerSecond)); }
void VDuration::FromNbMinutes(int64 n) { SetCount(MulWrap(n, kMillisecondsPerMinute)); }
void VDuration::FromNbHours(int64 n) { SetCount(MulWrap(n, kMillisecondsPerHour)); }
void VDuration::FromNbDays(int64 n) { SetCount(MulWrap(n, kMillisecondsPerDay)); }

void VDuration::SetDuration(int32 days, int32 hours, int32 minutes, int32 seconds,
                            int32 milliseconds) {
  SetCount(SumOfParts(days, hours, minutes, seconds, milliseconds));
}

void VDuration::AddDuration(int32 days, int32 hours, int32 minutes, int32 seconds,
                            int32 milliseconds) {
  SetCount(AddWrap(fMilliseconds, SumOfParts(days, hours, minutes, seconds, milliseconds)));
}

// ---- Arithmetic

void VDuration::Add(const VDuration& other) {
  fMilliseconds = AddWrap(fMilliseconds, other.fMilliseconds);
}
void VDuration::Substract(const VDuration& other) {
  fMilliseconds = AddWrap(fMilliseconds, MulWrap(other.fMilliseconds, -1));
}

VDuration& VDuration::Multiply(double factor) {
  fMilliseconds = TruncateToCount(double(fMilliseconds) * factor);
  return *this;
}

VDuration& VDuration::Divide(double divisor) {
  fMilliseconds = TruncateToCount(double(fMilliseconds) / divisor);
  return *this;
}

double VDuration::Divide(const VDuration& divisor) const {
  return double(fMilliseconds) / double(divisor.fMilliseconds);
}

void VDuration::Remainder(const VDuration& divisor) {
  // -1 would overflow the division for the smallest count; its remainder is 0.
  if (divisor.fMilliseconds == 0) return;
  fMilliseconds = divisor.fMilliseconds == -1 ? 0 : fMilliseconds % divisor.fMilliseconds;
}

// The deltas are formed in 64 bits (n days always fit); only the final sum
// can leave the range, and it wraps.
void VDuration::AddDays(int32 n) { AddMilliseconds(int64(n) * kMillisecondsPerDay); }
void VDuration::AddHours(int32 n) { AddMilliseconds(int64(n) * kMillisecondsPerHour); }
void VDuration::AddMinutes(int32 n) { AddMilliseconds(int64(n) * kMillisecondsPerMinute); }
void VDuration::AddSeconds(int32 n) { AddMilliseconds(int64(n) * kMillisecondsPerSecond); }
void VDuration::AddMilliseconds(int64 n) { SetCount(AddWrap(fMilliseconds, n)); }
void VDuration::AddDecimalHour(double hours) {
  AddMilliseconds(TruncateToCount(hours * double(kMillisecondsPerHour)));
}

void VDuration::AdjustDay(int32 n) { AddMilliseconds((int64(n) - GetDay()) * kMillisecondsPerDay); }
void VDuration::AdjustHour(int32 n) {
  AddMilliseconds((int64(n) - GetHour()) * kMillisecondsPerHour);
}
void VDuration::AdjustMinute(int32 n) {
  AddMilliseconds((int64(n) - GetMinute()) * kMillisecondsPerMinute);
}
void VDuration::AdjustSecond(int32 n) {
  AddMilliseconds((int64(n) - GetSecond()) * kMillisecondsPerSecond);
}
void VDuration::AdjustMillisecond(int32 n) { AddMilliseconds(int64(n) - GetMillisecond()); }

// ---- Comparison

CompareResult VDuration::CompareTo(const VDuration& other) const {
  return CompareCounts(fMilliseconds, other.fMilliseconds);
}

CompareResult VDuration::CompareTo(const VValueSingle& other, bool) const {
  VDuration converted;
  other.GetDuration(converted);
  return CompareTo(converted);
}

CompareResult VDuration::CompareToSameKind(const VValue* other, bool) const {
  return CompareTo(*static_cast<const VDuration*>(other));
}
bool VDuration::EqualToSameKind(const VValue* other, bool) const {
  return fMilliseconds == static_cast<const VDuration*>(other)->fMilliseconds;
}
CompareResult VDuration::CompareToSameKindPtr(const void* data, bool) const {
  return CompareCounts(fMilliseconds, LoadCount(data));
}
bool VDuration::EqualToSameKindPtr(const void* data, bool) const {
  return fMilliseconds == LoadCount(data);
}
CompareResult VDuration::CompareToSameKindWithOptions(const VValue* other,
                                                      const VCompareOptions&) const {
  return CompareToSameKind(other, false);
}
bool VDuration::EqualToSameKindWithOptions(const VValue* other, const VCompareOptions&) const {
  return EqualToSameKind(other, false);
}
CompareResult VDuration::CompareToSameKindPtrWithOptions(const void* data,
                                                         const VCompareOptions&) const {
  return CompareToSameKindPtr(data, false);
}
bool VDuration::EqualToSameKindPtrWithOptions(const void* data, const VCompareOptions&) const {
  return EqualToSameKindPtr(data, false);
}

// ---- Raw and stream forms

const void* VDuration::LoadFromPtr(const void* data, bool) {
  SetCount(LoadCount(data));
  return static_cast<const uint8*>(data) + sizeof(int64);
}

void* VDuration::WriteToPtr(void* data, bool, size_t) const {
  std::memcpy(data, &fMilliseconds, sizeof(int64));
  return static_cast<uint8*>(data) + sizeof(int64);
}

VError VDuration::ReadFromStream(VStream* stream, int32) {
  int64 count = 0;
  int32 n = 1;
  const VError error = stream->GetLong8s(&count, &n);
  if (n == 1) fMilliseconds = count;
  return error;
}

VError VDuration::WriteToStream(VStream* stream, int32 param) const {
  VValueSingle::WriteToStream(stream, param);
  return stream->PutLong8s(&fMilliseconds, 1);
}

}  // namespace zeft
