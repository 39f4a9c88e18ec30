#include "values/VTime.h"

#include <cstring>

#include "core/VString.h"
#include "files/VStream.h"
#include "platform/Clock.h"

namespace zeft {

constinit const VTime::InfoType VTime::sInfo;

namespace {

enum { kYear, kMonth, kDay, kHour, kMinute, kSecond, kMillisecond, kFieldCount };

constexpr int64 kMsPerSecond = 1000;
constexpr int64 kMsPerMinute = 60000;
constexpr int64 kMsPerHour = 3600000;
constexpr int64 kMsPerDay = 86400000;
// Day number of 1 March of year 0, less one.
constexpr int64 kDayNumberOrigin = 1721118;

// February has 29; the leap rule decides whether the 29th exists.
constexpr int32 kDaysInMonth[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
// Days before each month in a year that begins on 1 March (index 0 serves
// the zero date).
constexpr int32 kDaysBeforeMonth[13] = {0, 306, 337, 0, 31, 61, 92, 122, 153, 184, 214, 245, 275};

int64 FloorDiv(int64 a, int64 b) {
  int64 q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

int64 FloorMod(int64 a, int64 b) { return a - FloorDiv(a, b) * b; }

// Months outside 0-12 (fields stored without validation) carry into the
// year, so that the tables are never read out of bounds.
void NormalizeMonth(int64& year, int64& month) {
  if (month >= 0 && month <= 12) return;
  const int64 index = month - 1;
  year += FloorDiv(index, 12);
  month = FloorMod(index, 12) + 1;
}

int64 DayNumber(int64 year, int64 month, int64 day) {
  NormalizeMonth(year, month);
  const int64 y = month < 3 ? year - 1 : year;
  return 365 * y + FloorDiv(y, 4) - FloorDiv(y, 100) + FloorDiv(y, 400) + kDaysBeforeMonth[month] +
         day + kDayNumberOrigin;
}

// The Gregorian date of a day number.
void DateOfDayNumber(int64 dayNumber, int64& year, int64& month, int64& day) {
  const int64 a = (dayNumber - kDayNumberOrigin) * 100 - 25;
  const int64 c = FloorDiv(a, 3652425);
  const int64 b = c - FloorDiv(c, 4);
  year = FloorDiv(a + 100 * b, 36525);
  const int64 d = (dayNumber - kDayNumberOrigin + b - 365 * year) - FloorDiv(year, 4);
  const int64 m = (5 * d + 456) / 153;
  day = d - (153 * m - 457) / 5;
  if (m >= 13) {
    ++year;
    month = m - 12;
  } else {
    month = m;
  }
}

int64 AddWrap(int64 a, int64 b) { return int64(uint64(a) + uint64(b)); }

CompareResult CompareNumbers(int64 a, int64 b) {
  return a == b ? kCompareEqual : a > b ? kCompareBigger : kCompareLess;
}

uint64 LoadStamp(const void* data) {
  uint64 stamp;
  std::memcpy(&stamp, data, sizeof(stamp));
  return stamp;
}

bool IsZeroDate(int64 year, int64 month, int64 day) { return year == 0 && month == 0 && day == 0; }

}  // namespace

// ---- Construction

VTime::VTime(VTimeInitParam init) : VValueSingle(kFlagDirty) {
  if (init == kTimeInitNow) Now(*this);
}

VTime::VTime(uint64 stamp) : VValueSingle(kFlagDirty) { _SetFromStamp(stamp); }

VTime::VTime(const uint64* stamp, bool zero) : VValueSingle(kFlagDirty) {
  if (!zero) _SetFromStamp(LoadStamp(stamp));
}

VTime::VTime(const VTime& other)
    : VValueSingle(uint8(kFlagDirty | (other.fFlags & kFlagNull))),
      fYear(other.fYear),
      fMonth(other.fMonth),
      fDay(other.fDay),
      fMilliseconds(other.fMilliseconds) {}

VTime& VTime::operator=(const VTime& other) {
  FromTime(other);
  return *this;
}

void VTime::Clear() {
  fYear = 0;
  fMonth = 0;
  fDay = 0;
  fMilliseconds = 0;
  SetNotNullAndDirty();
}

VTime* VTime::Clone() const { return new VTime(*this); }

bool VTime::FromValueSameKind(const VValue* other) {
  FromTime(*static_cast<const VTime*>(other));
  fFlags |= kFlagDirty;
  return true;
}

void VTime::_SetFromStamp(uint64 stamp) {
  fYear = int16(uint16(stamp >> 48));
  fMonth = uint8(stamp >> 40);
  fDay = uint8(stamp >> 32);
  fMilliseconds = uint32(stamp);
  SetNotNullAndDirty();
}

void VTime::_ClearAndMakeNull() {
  Clear();
  SetNull(true);
}

// ---- Setting

void VTime::FromUTCTime(int16 year, int16 month, int16 day, int16 hour, int16 minute, int16 second,
                        int16 millisecond) {
  const int64 milliseconds = int64(hour) * kMsPerHour + int64(minute) * kMsPerMinute +
                             int64(second) * kMsPerSecond + millisecond;
  if (IsZeroDate(year, month, day)) {
    // A time of day alone, not limited to 24 hours.
    fYear = 0;
    fMonth = 0;
    fDay = 0;
    fMilliseconds = uint32(milliseconds);
    SetNotNullAndDirty();
    return;
  }
  if (!CheckDate(year, month, day) || uint16(millisecond) > 999 || uint16(second) > 59 ||
      uint16(minute) > 59 || uint16(hour) > 23) {
    _ClearAndMakeNull();
    return;
  }
  fYear = year;
  fMonth = uint8(month);
  fDay = uint8(day);
  fMilliseconds = uint32(milliseconds);
  SetNotNullAndDirty();
}

void VTime::_FromLocalFields(int16* dateTime) {
  // Impossible local fields are refused here: the zone conversion would
  // otherwise roll them into a real date (31 February into March).
  if (!IsZeroDate(dateTime[kYear], dateTime[kMonth], dateTime[kDay])) {
    if (!CheckDate(dateTime[kYear], dateTime[kMonth], dateTime[kDay]) ||
        uint16(dateTime[kHour]) > 23 || uint16(dateTime[kMinute]) > 59 ||
        uint16(dateTime[kSecond]) > 59 || uint16(dateTime[kMillisecond]) > 999) {
      _ClearAndMakeNull();
      return;
    }
  }
  platform::LocalToUTCTime(dateTime);
  FromUTCTime(dateTime[kYear], dateTime[kMonth], dateTime[kDay], dateTime[kHour], dateTime[kMinute],
              dateTime[kSecond], dateTime[kMillisecond]);
}

void VTime::FromLocalTime(int16 year, int16 month, int16 day, int16 hour, int16 minute,
                          int16 second, int16 millisecond) {
  int16 dateTime[kFieldCount] = {year, month, day, hour, minute, second, millisecond};
  _FromLocalFields(dateTime);
}

void VTime::Now(VTime& time) {
  int16 dateTime[kFieldCount];
  platform::GetSystemUTCTime(dateTime);
  time.FromUTCTime(dateTime[kYear], dateTime[kMonth], dateTime[kDay], dateTime[kHour],
                   dateTime[kMinute], dateTime[kSecond], dateTime[kMillisecond]);
}

void VTime::FromSystemTime() {
  int16 dateTime[kFieldCount];
  platform::GetSystemUTCTime(dateTime);
  fYear = dateTime[kYear];
  fMonth = uint8(dateTime[kMonth]);
  fDay = uint8(dateTime[kDay]);
  fMilliseconds = uint32(dateTime[kHour] * kMsPerHour + dateTime[kMinute] * kMsPerMinute +
                         dateTime[kSecond] * kMsPerSecond + dateTime[kMillisecond]);
  SetNotNullAndDirty();
}

void VTime::FromToday(int32 milliseconds) {
  int16 dateTime[kFieldCount];
  platform::GetSystemLocalTime(dateTime);
  dateTime[kHour] = dateTime[kMinute] = dateTime[kSecond] = dateTime[kMillisecond] = 0;
  platform::LocalToUTCTime(dateTime);
  FromUTCTime(dateTime[kYear], dateTime[kMonth], dateTime[kDay], dateTime[kHour], dateTime[kMinute],
              dateTime[kSecond], dateTime[kMillisecond]);
  AddMilliseconds(milliseconds);
}

void VTime::FromStamp(uint64 stamp) { _SetFromStamp(stamp); }

void VTime::FromMilliseconds(int64 milliseconds) {
  if (milliseconds == -1) {
    SetNull(true);
  } else if (milliseconds == 0) {
    Clear();
  } else {
    const int64 day = milliseconds / kMsPerDay;
    FromJulianDay(int32(day));
    fMilliseconds = uint32(milliseconds - day * kMsPerDay);
    SetNotNullAndDirty();
  }
  fFlags |= kFlagDirty;
}

void VTime::FromJulianDay(int32 dayNumber) {
  int64 year, month, day;
  DateOfDayNumber(dayNumber, year, month, day);
  fYear = int16(year);
  fMonth = uint8(month);
  fDay = uint8(day);
  fMilliseconds = 0;
  SetNull(false);
}

void VTime::FromJulianDate(int32 year, int32 month, int32 day) {
  if (month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month] ||
      (month == 2 && day == 29 && FloorMod(year, 4) != 0)) {
    _ClearAndMakeNull();
    return;
  }
  // The proleptic Julian calendar: a leap year every four years.
  const int64 y = month < 3 ? int64(year) - 1 : int64(year);
  const int64 dayNumber = 365 * y + FloorDiv(y, 4) + kDaysBeforeMonth[month] + day + 1721116;
  FromJulianDay(int32(dayNumber));
  fFlags |= kFlagDirty;
}

void VTime::NullIfZero() {
  if (IsZeroDate(fYear, fMonth, fDay)) SetNull(true);
}

// ---- Local-time setters

void VTime::SetLocalYear(int32 n) {
  int16 f[kFieldCount];
  GetLocalTime(f[kYear], f[kMonth], f[kDay], f[kHour], f[kMinute], f[kSecond], f[kMillisecond]);
  f[kYear] = int16(n);
  _FromLocalFields(f);
}

void VTime::SetLocalMonth(int32 n) {
  int16 f[kFieldCount];
  GetLocalTime(f[kYear], f[kMonth], f[kDay], f[kHour], f[kMinute], f[kSecond], f[kMillisecond]);
  // Truncating division: 13 is January of the next year, values below 1 are
  // an invalid month.
  const int64 carry = (int64(n) - 1) / 12;
  f[kYear] = int16(f[kYear] + carry);
  f[kMonth] = int16(n - 12 * carry);
  _FromLocalFields(f);
}

void VTime::SetLocalDay(int32 n) {
  int16 f[kFieldCount];
  GetLocalTime(f[kYear], f[kMonth], f[kDay], f[kHour], f[kMinute], f[kSecond], f[kMillisecond]);
  const int64 dayNumber = DayNumber(f[kYear], f[kMonth], f[kDay]) + (int64(n) - f[kDay]);
  int64 year, month, day;
  DateOfDayNumber(dayNumber, year, month, day);
  f[kYear] = int16(year);
  f[kMonth] = int16(month);
  f[kDay] = int16(day);
  _FromLocalFields(f);
}

namespace {

// Sets one time field of local fields to 0, adds n units on the millisecond
// scale (64-bit) and splits the result again, carrying into the date.
void ReplaceTimeField(int16* f, int field, int32 n, int64 unit) {
  f[field] = 0;
  const bool zeroDate = IsZeroDate(f[kYear], f[kMonth], f[kDay]);
  const int64 timeOfDay = f[kHour] * kMsPerHour + f[kMinute] * kMsPerMinute +
                          f[kSecond] * kMsPerSecond + f[kMillisecond];
  const int64 dayBase = zeroDate ? 0 : DayNumber(f[kYear], f[kMonth], f[kDay]) * kMsPerDay;
  const int64 total = dayBase + timeOfDay + int64(n) * unit;
  int64 rest = total;
  if (!zeroDate) {
    int64 year, month, day;
    DateOfDayNumber(FloorDiv(total, kMsPerDay), year, month, day);
    f[kYear] = int16(year);
    f[kMonth] = int16(month);
    f[kDay] = int16(day);
    rest = FloorMod(total, kMsPerDay);
  }
  f[kHour] = int16(rest / kMsPerHour);
  f[kMinute] = int16(rest % kMsPerHour / kMsPerMinute);
  f[kSecond] = int16(rest % kMsPerMinute / kMsPerSecond);
  f[kMillisecond] = int16(rest % kMsPerSecond);
}

}  // namespace

void VTime::SetLocalHour(int32 n) {
  int16 f[kFieldCount];
  GetLocalTime(f[kYear], f[kMonth], f[kDay], f[kHour], f[kMinute], f[kSecond], f[kMillisecond]);
  ReplaceTimeField(f, kHour, n, kMsPerHour);
  _FromLocalFields(f);
}

void VTime::SetLocalMinute(int32 n) {
  int16 f[kFieldCount];
  GetLocalTime(f[kYear], f[kMonth], f[kDay], f[kHour], f[kMinute], f[kSecond], f[kMillisecond]);
  ReplaceTimeField(f, kMinute, n, kMsPerMinute);
  _FromLocalFields(f);
}

void VTime::SetLocalSecond(int32 n) {
  int16 f[kFieldCount];
  GetLocalTime(f[kYear], f[kMonth], f[kDay], f[kHour], f[kMinute], f[kSecond], f[kMillisecond]);
  ReplaceTimeField(f, kSecond, n, kMsPerSecond);
  _FromLocalFields(f);
}

void VTime::SetLocalMillisecond(int32 n) {
  int16 f[kFieldCount];
  GetLocalTime(f[kYear], f[kMonth], f[kDay], f[kHour], f[kMinute], f[kSecond], f[kMillisecond]);
  ReplaceTimeField(f, kMillisecond, n, 1);
  _FromLocalFields(f);
}

// ---- Reading

uint64 VTime::GetStamp() const {
  return (uint64(uint16(fYear)) << 48) | (uint64(fMonth) << 40) | (uint64(fDay) << 32) |
         fMilliseconds;
}

int64 VTime::GetMilliseconds() const {
  if (IsNull()) return -1;
  if (IsZeroDate(fYear, fMonth, fDay)) return 0;
  return DayNumber(fYear, fMonth, fDay) * kMsPerDay + fMilliseconds;
}

int32 VTime::GetJulianDay() const {
  if (IsNull()) return -1;
  return int32(DayNumber(fYear, fMonth, fDay));
}

int32 VTime::GetWeekDay() const {
  if (IsNull()) return -1;
  return ComputeWeekDay(fYear, fMonth, fDay);
}

int32 VTime::GetYearDay() const {
  if (IsNull()) return -1;
  return ComputeYearDay(fYear, fMonth, fDay);
}

void VTime::GetJulianDate(int32& year, int32& month, int32& day) const {
  if (IsNull()) {
    year = month = day = 0;
    return;
  }
  const int64 j = DayNumber(fYear, fMonth, fDay) - 1721116;
  int64 y = FloorDiv(100 * j - 25, 36525);
  const int64 d = j - 365 * y - FloorDiv(y, 4);
  const int64 m = (5 * d + 456) / 153;
  day = int32(d - (153 * m - 457) / 5);
  if (m >= 13) {
    ++y;
    month = int32(m - 12);
  } else {
    month = int32(m);
  }
  year = int32(y);
}

void VTime::_GetUTCFields(int16* dateTime) const {
  if (IsNull()) {
    std::memset(dateTime, 0, sizeof(int16) * kFieldCount);
    return;
  }
  dateTime[kYear] = fYear;
  dateTime[kMonth] = fMonth;
  dateTime[kDay] = fDay;
  dateTime[kHour] = int16(fMilliseconds / kMsPerHour);
  dateTime[kMinute] = int16(fMilliseconds % kMsPerHour / kMsPerMinute);
  dateTime[kSecond] = int16(fMilliseconds % kMsPerMinute / kMsPerSecond);
  dateTime[kMillisecond] = int16(fMilliseconds % kMsPerSecond);
}

void VTime::GetUTCTime(int16& year, int16& month, int16& day, int16& hour, int16& minute,
                       int16& second, int16& millisecond) const {
  int16 f[kFieldCount];
  _GetUTCFields(f);
  year = f[kYear];
  month = f[kMonth];
  day = f[kDay];
  hour = f[kHour];
  minute = f[kMinute];
  second = f[kSecond];
  millisecond = f[kMillisecond];
}

void VTime::GetLocalTime(int16& year, int16& month, int16& day, int16& hour, int16& minute,
                         int16& second, int16& millisecond) const {
  int16 f[kFieldCount];
  _GetUTCFields(f);
  platform::UTCToLocalTime(f);
  year = f[kYear];
  month = f[kMonth];
  day = f[kDay];
  hour = f[kHour];
  minute = f[kMinute];
  second = f[kSecond];
  millisecond = f[kMillisecond];
}

namespace {

int16 LocalField(const VTime& time, int field) {
  int16 f[kFieldCount];
  time.GetLocalTime(f[kYear], f[kMonth], f[kDay], f[kHour], f[kMinute], f[kSecond],
                    f[kMillisecond]);
  return f[field];
}

}  // namespace

int16 VTime::GetLocalYear() const { return LocalField(*this, kYear); }
int16 VTime::GetLocalMonth() const { return LocalField(*this, kMonth); }
int16 VTime::GetLocalDay() const { return LocalField(*this, kDay); }
int16 VTime::GetLocalHour() const { return LocalField(*this, kHour); }
int16 VTime::GetLocalMinute() const { return LocalField(*this, kMinute); }
int16 VTime::GetLocalSecond() const { return LocalField(*this, kSecond); }
int16 VTime::GetLocalMillisecond() const { return LocalField(*this, kMillisecond); }

VDuration VTime::GetLocalDurationSinceMidnight() const {
  int16 f[kFieldCount];
  GetLocalTime(f[kYear], f[kMonth], f[kDay], f[kHour], f[kMinute], f[kSecond], f[kMillisecond]);
  return VDuration(f[kHour] * kMsPerHour + f[kMinute] * kMsPerMinute + f[kSecond] * kMsPerSecond +
                   f[kMillisecond]);
}

int64 VTime::GetLocalUnixTime() const {
  int16 f[kFieldCount];
  GetLocalTime(f[kYear], f[kMonth], f[kDay], f[kHour], f[kMinute], f[kSecond], f[kMillisecond]);
  return platform::LocalToUnixTime(f);
}

// ---- Calendar rules

bool VTime::IsLeapYear(int16 year) { return year % 400 == 0 || (year % 4 == 0 && year % 100 != 0); }

bool VTime::CheckDate(int16 year, int16 month, int16 day) {
  if (day < 1 || year < 0 || month < 1 || month > 12 || day > kDaysInMonth[month]) return false;
  return !(month == 2 && day == 29 && !IsLeapYear(year));
}

int32 VTime::ComputeJulianDay(int32 year, int32 month, int32 day) {
  return int32(DayNumber(year, month, day));
}

int32 VTime::ComputeWeekDay(int32 year, int32 month, int32 day) {
  return int32(FloorMod(DayNumber(year, month, day) + 2, 7));
}

int32 VTime::ComputeYearDay(int32 year, int32 month, int32 day) {
  return int32(DayNumber(year, month, day) - DayNumber(year, 1, 1) + 1);
}

// ---- Single value operations

void VTime::GetTime(VTime& target) const { target.FromTime(*this); }
void VTime::GetValue(VValueSingle& target) const { target.FromTime(*this); }

void VTime::FromTime(const VTime& other) {
  fYear = other.fYear;
  fMonth = other.fMonth;
  fDay = other.fDay;
  fMilliseconds = other.fMilliseconds;
  SetNull(other.IsNull());
}

void VTime::FromValue(const VValueSingle& value) {
  value.GetTime(*this);
  SetNull(value.IsNull());
}

// ---- Arithmetic

void VTime::Add(const VDuration& duration) {
  FromMilliseconds(AddWrap(GetMilliseconds(), duration.ConvertToMilliseconds()));
}

void VTime::Substract(const VDuration& duration) {
  FromMilliseconds(AddWrap(GetMilliseconds(), -duration.ConvertToMilliseconds()));
}

void VTime::Substract(const VTime& other, VDuration& result) const {
  result.FromNbMilliseconds(AddWrap(GetMilliseconds(), -other.GetMilliseconds()));
}

void VTime::AddMilliseconds(int64 n) { FromMilliseconds(AddWrap(GetMilliseconds(), n)); }
void VTime::AddSeconds(int32 n) { AddMilliseconds(int64(n) * kMsPerSecond); }
void VTime::AddMinutes(int32 n) { AddMilliseconds(int64(n) * kMsPerMinute); }
void VTime::AddHours(int32 n) { AddMilliseconds(int64(n) * kMsPerHour); }
void VTime::AddDays(int32 n) { AddMilliseconds(int64(n) * kMsPerDay); }

void VTime::AddMonths(int32 n) {
  const int64 m = int64(fMonth) - 1 + n;
  const int64 carry = FloorDiv(m, 12);
  fMonth = uint8(m - 12 * carry + 1);
  fYear = int16(fYear + carry);
}

void VTime::AddYears(int32 n) { fYear = int16(fYear + n); }

// ---- Comparison

CompareResult VTime::CompareTo(const VTime& other) const {
  if (fYear != other.fYear) return CompareNumbers(fYear, other.fYear);
  if (fMonth != other.fMonth) return CompareNumbers(fMonth, other.fMonth);
  if (fDay != other.fDay) return CompareNumbers(fDay, other.fDay);
  return CompareNumbers(fMilliseconds, other.fMilliseconds);
}

CompareResult VTime::CompareTo(const VValueSingle& other, bool) const {
  VTime converted;
  other.GetTime(converted);
  converted.SetNull(other.IsNull());
  return CompareTo(converted);
}

CompareResult VTime::CompareToSameKind(const VValue* other, bool) const {
  return CompareTo(*static_cast<const VTime*>(other));
}
bool VTime::EqualToSameKind(const VValue* other, bool) const {
  return CompareTo(*static_cast<const VTime*>(other)) == kCompareEqual;
}
CompareResult VTime::CompareToSameKindPtr(const void* data, bool) const {
  return CompareTo(VTime(LoadStamp(data)));
}
bool VTime::EqualToSameKindPtr(const void* data, bool) const {
  return CompareToSameKindPtr(data, false) == kCompareEqual;
}
CompareResult VTime::CompareToSameKindWithOptions(const VValue* other,
                                                  const VCompareOptions&) const {
  return CompareToSameKind(other, false);
}
bool VTime::EqualToSameKindWithOptions(const VValue* other, const VCompareOptions&) const {
  return EqualToSameKind(other, false);
}
CompareResult VTime::CompareToSameKindPtrWithOptions(const void* data,
                                                     const VCompareOptions&) const {
  return CompareToSameKindPtr(data, false);
}
bool VTime::EqualToSameKindPtrWithOptions(const void* data, const VCompareOptions&) const {
  return EqualToSameKindPtr(data, false);
}

// ---- Raw and stream forms

const void* VTime::LoadFromPtr(const void* data, bool) {
  _SetFromStamp(LoadStamp(data));
  return static_cast<const uint8*>(data) + sizeof(uint64);
}

void* VTime::WriteToPtr(void* data, bool, size_t) const {
  const uint64 stamp = GetStamp();
  std::memcpy(data, &stamp, sizeof(stamp));
  return static_cast<uint8*>(data) + sizeof(uint64);
}

VError VTime::ReadFromStream(VStream* stream, int32) {
  uint8 bytes[8];
  size_t got = 0;
  const VError error = stream->GetData(bytes, sizeof(bytes), &got);
  if (got != sizeof(bytes)) return error;
  uint16 year;
  uint32 milliseconds;
  std::memcpy(&year, bytes, 2);
  std::memcpy(&milliseconds, bytes + 4, 4);
  if (stream->NeedSwap()) {
    year = __builtin_bswap16(year);
    milliseconds = __builtin_bswap32(milliseconds);
  }
  fYear = int16(year);
  fMonth = bytes[2];
  fDay = bytes[3];
  fMilliseconds = milliseconds;
  return error;
}

VError VTime::WriteToStream(VStream* stream, int32 param) const {
  VValueSingle::WriteToStream(stream, param);
  uint16 year = uint16(fYear);
  uint32 milliseconds = fMilliseconds;
  if (stream->NeedSwap()) {
    year = __builtin_bswap16(year);
    milliseconds = __builtin_bswap32(milliseconds);
  }
  uint8 bytes[8];
  std::memcpy(bytes, &year, 2);
  bytes[2] = fMonth;
  bytes[3] = fDay;
  std::memcpy(bytes + 4, &milliseconds, 4);
  return stream->PutData(bytes, sizeof(bytes));
}

}  // namespace zeft
