// The text forms of VTime: RFC 3339 (its XML form), RFC 822, the system's
// date and time formats, the numeric parser and the compiler date reader.
#include <locale.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/CLocale.h"
#include "core/CharSet.h"
#include "core/VIntlMgr.h"
#include "core/VString.h"
#include "platform/Clock.h"
#include "runtime/VTask.h"
#include "values/VTime.h"

namespace zeft {

namespace {

enum { kYear, kMonth, kDay, kHour, kMinute, kSecond, kMillisecond, kFieldCount };

// Parsers see what a 256-byte buffer with its terminator holds.
constexpr size_t kParseBufferBytes = 256;

constexpr const char* kWeekDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Seconds since the day-number origin of date-time fields (year ... second).
int64 SecondsOfFields(const int16* f) {
  return int64(VTime::ComputeJulianDay(f[kYear], f[kMonth], f[kDay])) * 86400 +
         int64(f[kHour]) * 3600 + int64(f[kMinute]) * 60 + f[kSecond];
}

// The years the RFC 3339 forms write and read: four digits.
constexpr int32 kRfc3339MaxYear = 9999;

// The RFC 3339 date check: years up to 22,000.
bool IsRfc3339Date(int32 year, int32 month, int32 day) {
  if (month < 1 || month > 12 || year < 0 || year > 22000 || day < 1) return false;
  int32 length = 31;
  if (month == 4 || month == 6 || month == 9 || month == 11) {
    length = 30;
  } else if (month == 2) {
    length = (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 29 : 28;
  }
  return day <= length;
}

// Makes the C locale the thread's for its life: sscanf reads "%lf" with the
// thread's decimal point, and the texts read here always use ".".
class StCNumericLocale {
 public:
  StCNumericLocale()
      : fPrevious(GetCLocale() != locale_t(nullptr) ? uselocale(GetCLocale()) : locale_t(nullptr)) {
  }
  ~StCNumericLocale() {
    if (fPrevious != locale_t(nullptr)) uselocale(fPrevious);
  }
  StCNumericLocale(const StCNumericLocale&) = delete;
  StCNumericLocale& operator=(const StCNumericLocale&) = delete;

 private:
  const locale_t fPrevious;
};

// The writer's own UTC form, "yyyy-mm-ddThh:mm:ss[.f[f[f]]]Z", read without
// the general scanner; gives the fields sscanf would give.
bool ScanCanonicalUTC(const VString& text, int& year, int& month, int& day, int& hour, int& minute,
                      double& seconds) {
  const int32 length = text.GetLength();
  if (length < 20 || length > 24) return false;
  const UniChar* u = text.GetCPointer();
  auto digits = [u](int32 at, int32 count, int& value) {
    value = 0;
    for (int32 i = at; i < at + count; ++i) {
      if (u[i] < u'0' || u[i] > u'9') return false;
      value = value * 10 + (u[i] - u'0');
    }
    return true;
  };
  int second = 0, fraction = 0;
  if (!digits(0, 4, year) || u[4] != u'-' || !digits(5, 2, month) || u[7] != u'-' ||
      !digits(8, 2, day) || u[10] != u'T' || !digits(11, 2, hour) || u[13] != u':' ||
      !digits(14, 2, minute) || u[16] != u':' || !digits(17, 2, second) || u[length - 1] != u'Z') {
    return false;
  }
  if (length > 20) {
    const int32 count = length - 21;  // fraction digits
    if (u[19] != u'.' || count < 1 || !digits(20, count, fraction)) return false;
    for (int32 i = count; i < 3; ++i) fraction *= 10;
  }
  seconds = second + fraction / 1000.0;
  return true;
}

// The log stamps' form "yyyy-mm-ddThh:mm:ss.mmmZ" written without the
// general formatter; false (nothing written) when a field does not fit its
// digits, so that the formatter shows it as it is.
bool WriteCanonicalUTC(VString& text, int32 year, int32 month, int32 day, int32 hour, int32 minute,
                       int32 second, int32 millisecond) {
  const int32 values[7] = {year, month, day, hour, minute, second, millisecond};
  static constexpr int32 kWidths[7] = {4, 2, 2, 2, 2, 2, 3};
  static constexpr int32 kLimits[7] = {10000, 100, 100, 100, 100, 100, 1000};
  static constexpr UniChar kSeparators[7] = {u'-', u'-', u'T', u':', u':', u'.', u'Z'};
  UniChar units[24];
  int32 length = 0;
  for (int32 i = 0; i < 7; ++i) {
    if (values[i] < 0 || values[i] >= kLimits[i]) return false;
    int32 value = values[i];
    for (int32 k = kWidths[i] - 1; k >= 0; --k) {
      units[length + k] = UniChar(u'0' + value % 10);
      value /= 10;
    }
    length += kWidths[i];
    units[length++] = kSeparators[i];
  }
  text.FromUniString(units, length);
  return true;
}

DateTimeFields ToDateTimeFields(const int16* f) {
  DateTimeFields fields;
  fields.year = f[kYear];
  fields.month = f[kMonth];
  fields.day = f[kDay];
  fields.hour = f[kHour];
  fields.minute = f[kMinute];
  fields.second = f[kSecond];
  fields.millisecond = f[kMillisecond];
  return fields;
}

}  // namespace

// ---- RFC 3339 writer

void VTime::GetRfc3339String(VString& text, uint32 options) const {
  if (IsNull()) {
    text.FromCString("0000-00-00T00:00:00Z");
    return;
  }
  int16 f[kFieldCount];
  _GetUTCFields(f);
  const bool utc = (options & kRfc3339UTC) != 0;
  const bool withOffset = !utc && (options & kRfc3339LocalNoZone) == 0;
  int64 offset = 0;
  if (!utc) {
    const int64 utcSeconds = SecondsOfFields(f);
    platform::UTCToLocalTime(f);
    if (withOffset) {
      // The offset in force at the instant written; a time of day without a
      // date has no instant and takes the present one.
      if (f[kYear] == 0 && f[kMonth] == 0 && f[kDay] == 0) {
        offset = platform::GetGMTOffset(true);
      } else {
        // Offsets are written in whole minutes (local mean time had
        // seconds): the local fields are those of the written offset, so
        // that the text names the same instant.
        offset = SecondsOfFields(f) - utcSeconds;
        offset -= offset % 60;
        VTime local(*this);
        local.AddSeconds(int32(offset));
        local._GetUTCFields(f);
      }
    }
  }
  const char sign = offset < 0 ? '-' : '+';
  const long absolute = long(offset < 0 ? -offset : offset);
  const long offsetHours = absolute / 3600;
  const long offsetMinutes = absolute % 3600 / 60;
  int32 year = f[kYear], month = f[kMonth], day = f[kDay];
  if ((options & kRfc3339ZeroDate) != 0) year = month = day = 0;
  const int32 hour = f[kHour], minute = f[kMinute], second = f[kSecond];

  char buffer[255];
  const bool timeOnly = (options & kRfc3339TimeOnly) != 0;
  if (!timeOnly && (f[kYear] < 0 || f[kYear] > kRfc3339MaxYear) &&
      ((options & kRfc3339ZeroDate) == 0 || (options & kRfc3339DateOnly) != 0)) {
    // A year the reader cannot take back: written as the null time.
    text.FromCString("0000-00-00T00:00:00Z");
    return;
  }
  const bool dateOnly = (options & kRfc3339DateOnly) != 0;
  const bool noMilliseconds = (options & kRfc3339NoMilliseconds) != 0;
  if (utc || (options & kRfc3339LocalNoZone) != 0) {
    const char* zone = utc ? "Z" : "";
    if (timeOnly) {
      std::snprintf(buffer, sizeof(buffer), "%02d:%02d:%02d%s", hour, minute, second, zone);
    } else if (dateOnly) {
      std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02d", f[kYear], f[kMonth], f[kDay]);
    } else if (noMilliseconds) {
      std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02dT%02d:%02d:%02d%s", year, month, day,
                    hour, minute, second, zone);
    } else {
      if (utc && WriteCanonicalUTC(text, year, month, day, hour, minute, second, f[kMillisecond])) {
        return;
      }
      std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02dT%02d:%02d:%02d.%03d%s", year, month,
                    day, hour, minute, second, int32(f[kMillisecond]), zone);
    }
  } else if (timeOnly) {
    std::snprintf(buffer, sizeof(buffer), "%02d:%02d:%02d%c%02ld:%02ld", hour, minute, second, sign,
                  offsetHours, offsetMinutes);
  } else if (dateOnly) {
    std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02d%c%02ld:%02ld", f[kYear], f[kMonth],
                  f[kDay], sign, offsetHours, offsetMinutes);
  } else {
    std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", year, month,
                  day, hour, minute, second, sign, offsetHours, offsetMinutes);
  }
  text.FromCString(buffer);
}

void VTime::GetXMLString(VString& text, uint32 options) const { GetRfc3339String(text, options); }

VError VTime::GetJSONString(VString& text, uint32 options) const {
  int16 year, month, day, hour, minute, second, millisecond;
  GetUTCTime(year, month, day, hour, minute, second, millisecond);
  const bool dateOnly = (options & kJSONDateOnlyAtMidnight) != 0 && hour == 0 && minute == 0 &&
                        second == 0 && millisecond == 0;
  VString body;
  GetRfc3339String(body, dateOnly ? (kRfc3339DateOnly | kRfc3339UTC) : kRfc3339UTC);
  text.Clear();
  if ((options & kJSONQuotes) != 0) text.AppendUniChar(u'"');
  if ((options & kJSONDateMarks) != 0) text.AppendCString("!!");
  text.AppendString(body);
  if ((options & kJSONDateMarks) != 0) text.AppendCString("!!");
  if ((options & kJSONQuotes) != 0) text.AppendUniChar(u'"');
  return VE_OK;
}

// ---- RFC 3339 reader

bool VTime::FromRfc3339String(const VString& text) {
  if (text.IsNull() || text.IsEmpty()) {
    SetNull(true);
    return false;
  }
  // A date whose year has more than four digits lies beyond what the forms
  // hold: null, not a count of seconds.
  const UniChar* units = text.GetCPointer();
  int32 yearDigits = 0;
  while (yearDigits < text.GetLength() && units[yearDigits] >= u'0' && units[yearDigits] <= u'9')
    ++yearDigits;
  if (yearDigits > 4 && yearDigits < text.GetLength() && units[yearDigits] == u'-') {
    SetNull(true);
    return true;
  }
  enum Form { kDateTimeForm, kTimeForm, kSecondsForm, kDateForm };
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  double seconds = 0.0;
  int fields = 0;
  Form form;
  const int32 firstColon = text.FindUniChar(u':');
  const int32 firstDash = text.FindUniChar(u'-');
  const bool canonical = ScanCanonicalUTC(text, year, month, day, hour, minute, seconds);
  char bytes[kParseBufferBytes] = {};
  if (!canonical) text.ToBlock(bytes, sizeof(bytes), kCharSetUTF8, true, false);
  const StCNumericLocale cLocale;
  if (canonical) {
    form = kDateTimeForm;
    fields = 6;
    if (year == 0 && month == 0 && day == 0) fields = 3;
  } else if (text.FindUniChar(u'T') == 11) {
    form = kDateTimeForm;
    fields = std::sscanf(bytes, "%4d-%2d-%2dT%2d:%2d:%lf", &year, &month, &day, &hour, &minute,
                         &seconds);
    // The zero date-time counts as its three date fields, and only when
    // complete.
    if (year == 0 && month == 0 && day == 0) fields = fields == 6 ? 3 : 0;
  } else if (firstColon >= 3 && firstColon <= 5) {
    form = kTimeForm;
    fields = std::sscanf(bytes, "%d:%2d:%lf", &hour, &minute, &seconds);
  } else if (firstDash != 5) {
    form = kSecondsForm;
    int count = 0;
    fields = std::sscanf(bytes, "%d", &count) == 1 ? 3 : 0;
    hour = count / 3600;
    minute = (count - 3600 * hour) / 60;
  } else {
    form = kDateForm;
    fields = std::sscanf(bytes, "%4d-%2d-%2d", &year, &month, &day);
  }
  // Seconds that are no number ("nan", "inf", absurd sizes) are refused.
  if (!std::isfinite(seconds) || std::fabs(seconds) > 1e9) fields = 0;
  // Whole seconds are truncated, so a fraction never carries into the next
  // second (59.9996 stays in second 59); the fraction's milliseconds are
  // rounded (".400" has no exact binary form) and kept within the second.
  const double truncated = fields > 0 ? std::trunc(seconds) : 0.0;
  int64 wholeSeconds = int64(truncated);
  int64 milliseconds = std::clamp<int64>(std::llround((seconds - truncated) * 1000.0), -999, 999);

  const bool isUTC = text.GetLength() < 11 || text.FindUniChar(u'Z') != 0;
  int32 offsetPos = text.FindUniChar(u'+', text.GetLength(), true);
  bool negativeOffset = false;
  if (offsetPos == 0) {
    const int32 lastDash = text.FindUniChar(u'-', text.GetLength(), true);
    const bool hasDate = form == kDateTimeForm || form == kDateForm;
    if (lastDash != 0 && (!hasDate || lastDash > 10)) {
      offsetPos = lastDash;
      negativeOffset = true;
    }
  }

  if ((year != 0 || month != 0 || day != 0) && !IsRfc3339Date(year, month, day)) {
    year = month = day = hour = minute = 0;
    wholeSeconds = milliseconds = 0;
  }

  const bool fieldsOK = form == kDateTimeForm ? (fields == 6 || fields == 3)
                        : form == kDateForm   ? fields == 3
                                              : (fields == 2 || fields == 3);
  if (!fieldsOK) {
    SetNull(true);
    return false;
  }

  const bool hasDate = year != 0 || month != 0 || day != 0;
  if (!hasDate) {
    if (form == kDateTimeForm && hour == 0 && minute == 0 && wholeSeconds == 0 &&
        milliseconds == 0) {
      SetNull(true);
      return true;
    }
    FromUTCTime(0, 0, 0, int16(hour), int16(minute), int16(wholeSeconds), int16(milliseconds));
    return true;
  }

  if (isUTC) {
    if (form == kDateTimeForm) {
      FromUTCTime(int16(year), int16(month), int16(day), int16(hour), int16(minute),
                  int16(wholeSeconds), 0);
    } else if (CheckDate(int16(year), int16(month), int16(day))) {
      FromUTCTime(int16(year), int16(month), int16(day), 0, 0, 0, 0);
    } else {
      _ClearAndMakeNull();
    }
  } else if (offsetPos == 0) {
    int16 local[kFieldCount] = {int16(year), int16(month), int16(day), 0, 0, 0, 0};
    if (form == kDateTimeForm) {
      local[kHour] = int16(hour);
      local[kMinute] = int16(minute);
      local[kSecond] = int16(wholeSeconds);
    }
    _FromLocalFields(local);
  } else {
    int offsetHours = 0, offsetMinutes = 0;
    VString zoneText;
    text.GetSubString(offsetPos + 1, text.GetLength() - offsetPos, zoneText);
    char zone[kParseBufferBytes];
    zoneText.ToBlock(zone, sizeof(zone), kCharSetUTF8, true, false);
    if (form == kDateForm || std::sscanf(zone, "%2d:%2d", &offsetHours, &offsetMinutes) != 2) {
      SetNull(true);
      return false;
    }
    if (negativeOffset) {
      offsetHours = -offsetHours;
      offsetMinutes = -offsetMinutes;
    }
    // The fields are the local time of the given offset, whatever the
    // system's zone: UTC = fields - offset.
    FromUTCTime(int16(year), int16(month), int16(day), int16(hour), int16(minute),
                int16(wholeSeconds), 0);
    if (!IsNull()) AddSeconds(-(offsetHours * 60 + offsetMinutes) * 60);
  }
  // Milliseconds are added last; a time refused above stays null.
  if (milliseconds != 0 && !IsNull()) AddMilliseconds(milliseconds);
  // An offset may move a date out of the years the forms hold.
  if (!IsNull() && (fYear < 0 || fYear > kRfc3339MaxYear)) _ClearAndMakeNull();
  return true;
}

VError VTime::FromJSONString(const VString& text, uint32) {
  FromXMLString(text);
  return VE_OK;
}

bool VTime::FromXMLString(const VString& text) {
  const UniChar* units = text.GetCPointer();
  if (text.GetLength() >= 3 && units[0] == u'!' && units[1] == u'!') {
    VString inner;
    text.GetSubString(3, text.GetLength() >= 4 ? text.GetLength() - 4 : 0, inner);
    return FromRfc3339String(inner);
  }
  if (text.FindUniChar(u'!') == 0) return FromRfc3339String(text);
  FromString(text);
  return true;
}

// ---- System formats

void VTime::FormatByOS(VString& date, VString& time, bool utc) const {
  date.Clear();
  time.Clear();
  if (IsNull()) return;
  int16 f[kFieldCount];
  _GetUTCFields(f);
  if (const VIntlMgr* intl = VTask::GetCurrentIntlManager(); intl != nullptr) {
    const DateTimeFields fields = ToDateTimeFields(f);
    intl->FormatDate(fields, date, kOSFormatShort, utc);
    intl->FormatTime(fields, time, kOSFormatShort, utc);
    return;
  }
  // Without international settings: numeric forms in the asked zone.
  if (!utc) platform::UTCToLocalTime(f);
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02d", f[kYear], f[kMonth], f[kDay]);
  date.FromCString(buffer);
  std::snprintf(buffer, sizeof(buffer), "%02d:%02d:%02d", f[kHour], f[kMinute], f[kSecond]);
  time.FromCString(buffer);
}

void VTime::FormatByOS(VString& text, bool utc) const {
  VString time;
  FormatByOS(text, time, utc);
  if (IsNull()) return;
  text.AppendUniChar(u' ');
  text.AppendString(time);
}

void VTime::GetString(VString& text) const { FormatByOS(text, true); }

void VTime::GetStringLocalTime(VString& text) const {
  text.Clear();
  if (IsNull()) return;
  int16 f[kFieldCount];
  _GetUTCFields(f);
  platform::UTCToLocalTime(f);
  char buffer[255];
  std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02d %02d:%02d:%02d:%03d", f[kYear], f[kMonth],
                f[kDay], f[kHour], f[kMinute], f[kSecond], f[kMillisecond]);
  text.AppendCString(buffer);
}

void VTime::toSimpleDateString(VString& text) const {
  if (IsNull()) {
    text.Clear();
    text.SetNull(true);
    return;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%d!%d!%d", int32(fDay), int32(fMonth), int32(fYear));
  text.FromCString(buffer);
}

// ---- Numeric parser

void VTime::FromString(const VString& text) {
  int16 numbers[kFieldCount] = {};
  int32 stored = 0;
  bool dayFirst = false;
  VString run;
  const UniChar* units = text.GetCPointer();
  for (int32 i = 0; i < text.GetLength() && stored < kFieldCount; ++i) {
    const UniChar c = units[i];
    if (c >= u'0' && c <= u'9') {
      run.AppendUniChar(c);
      continue;
    }
    if (c == u'!') {
      if (stored == 0 && !dayFirst) {
        dayFirst = true;
      } else if (!dayFirst) {
        run.Clear();
        break;
      }
    }
    if (!run.IsEmpty()) {
      numbers[stored++] = int16(run.GetLong());
      run.Clear();
    }
  }
  if (!run.IsEmpty() && stored < kFieldCount) numbers[stored++] = int16(run.GetLong());

  if (dayFirst) {
    const int16 day = numbers[0], month = numbers[1], year = numbers[2];
    if (day == 0 && month == 0 && year == 0) {
      Clear();
    } else if (CheckDate(year, month, day)) {
      FromUTCTime(year, month, day, 0, 0, 0, 0);
    } else {
      _ClearAndMakeNull();
    }
    return;
  }
  FromUTCTime(numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5], numbers[6]);
}

// ---- RFC 822

void VTime::GetRfc822String(VString& text) const {
  text.Clear();
  int16 f[kFieldCount];
  _GetUTCFields(f);
  char buffer[255];
  if (!IsNull()) {
    const int32 weekDay = GetWeekDay();
    if (weekDay >= 0 && weekDay < 7) text.AppendCString(kWeekDayNames[weekDay]);
  }
  std::snprintf(buffer, sizeof(buffer), ", %02d ", f[kDay]);
  text.AppendCString(buffer);
  if (!IsNull() && f[kMonth] >= 1 && f[kMonth] <= 12) {
    text.AppendCString(kMonthNames[f[kMonth] - 1]);
  }
  std::snprintf(buffer, sizeof(buffer), " %04d %02d:%02d:%02d GMT", f[kYear], f[kHour], f[kMinute],
                f[kSecond]);
  text.AppendCString(buffer);
}

void VTime::FromRfc822String(const VString& text) {
  if (text.IsEmpty()) {
    FromUTCTime(0, 0, 0, 0, 0, 0, 0);
    return;
  }
  // Character classes of the current settings; ASCII without them.
  const VIntlMgr* intl = VTask::GetCurrentIntlManager();
  auto isDigit = [intl](UniChar c) {
    return intl != nullptr ? intl->IsDigit(c) : (c >= u'0' && c <= u'9');
  };
  auto isAlpha = [intl](UniChar c) {
    return intl != nullptr ? intl->IsAlpha(c)
                           : ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'));
  };
  const UniChar* units = text.GetCPointer();
  const int32 length = text.GetLength();
  int32 pos = 0;
  // The next run of characters of one class, skipping others before it.
  auto nextRun = [&](auto&& inClass, VString& run) {
    run.Clear();
    while (pos < length && !inClass(units[pos])) ++pos;
    while (pos < length && inClass(units[pos])) run.AppendUniChar(units[pos++]);
    return !run.IsEmpty();
  };
  int16 numbers[6] = {};  // day, month, year, hour, minute, second
  VString run;
  if (nextRun(isDigit, run)) numbers[0] = int16(run.GetLong());
  if (nextRun(isAlpha, run)) {
    for (int32 m = 0; m < 12; ++m) {
      if (run.EqualToString(VString(kMonthNames[m]), false)) {
        numbers[1] = int16(m + 1);
        break;
      }
    }
  }
  for (int32 i = 2; i < 6; ++i) {
    if (!nextRun(isDigit, run)) break;
    numbers[i] = int16(run.GetLong());
  }
  FromUTCTime(numbers[2], numbers[1], numbers[0], numbers[3], numbers[4], numbers[5], 0);
}

// ---- Compiler date

void VTime::FromCompilerDateTime(const char* date, const char* time) {
  char buffer[255];
  const size_t dateLength = std::strlen(date);
  const size_t timeLength = std::strlen(time);
  if (dateLength + 1 + timeLength + 1 > sizeof(buffer)) {
    _ClearAndMakeNull();
    return;
  }
  std::memcpy(buffer, date, dateLength);
  buffer[dateLength] = ' ';
  std::memcpy(buffer + dateLength + 1, time, timeLength + 1);

  int16 f[kFieldCount] = {};
  char* state = nullptr;
  const char* token = strtok_r(buffer, " ,:", &state);
  if (token != nullptr) {
    for (int32 m = 0; m < 12; ++m) {
      char lower[4];
      std::strcpy(lower, kMonthNames[m]);
      lower[0] = char(lower[0] - 'A' + 'a');
      if (std::strcmp(token, kMonthNames[m]) == 0 || std::strcmp(token, lower) == 0) {
        f[kMonth] = int16(m + 1);
        break;
      }
    }
    const int order[5] = {kDay, kYear, kHour, kMinute, kSecond};
    for (int field : order) {
      token = strtok_r(nullptr, " ,:", &state);
      if (token == nullptr) break;
      f[field] = int16(std::atoi(token));
    }
  }
  _FromLocalFields(f);
}

}  // namespace zeft
