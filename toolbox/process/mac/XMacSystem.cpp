#include "process/mac/XMacSystem.h"

#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "values/VTime.h"

namespace zeft {

namespace {

uint64 MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return uint64(now.tv_sec) * 1000000000u + uint64(now.tv_nsec);
}

}  // namespace

uint64 XMacSystem::GetCurrentTime() { return MonotonicNanoseconds() / 1000000u; }

uint32 XMacSystem::GetCurrentTicks() {
  // Seconds and remainder apart so that the product cannot overflow.
  uint64 ns = MonotonicNanoseconds();
  uint64 ticks = (ns / 1000000000u) * 60u + (ns % 1000000000u) * 60u / 1000000000u;
  return uint32(ticks);
}

uint32 XMacSystem::ReadNumberOfLogicalProcessors() {
  long count = sysconf(_SC_NPROCESSORS_CONF);
  if (count > 0) return uint32(count);
  // Fall back on the kernel's list of possible processors ("0-7").
  FILE* file = std::fopen("/sys/devices/system/cpu/possible", "r");
  if (file == nullptr) return 0;
  unsigned first = 0, last = 0;
  int read = std::fscanf(file, "%u-%u", &first, &last);
  std::fclose(file);
  if (read == 2 && last >= first) return uint32(last - first + 1);
  if (read == 1) return 1;
  return 0;
}

namespace {

enum { kYear, kMonth, kDay, kHour, kMinute, kSecond, kMillisecond };

// A time of day without a date is not moved between zones.
bool IsTimeOfDayOnly(const int16* dateTime) {
  return dateTime[kYear] == 0 && (dateTime[kMonth] == 0 || dateTime[kHour] == 0);
}

void FieldsToTm(const int16* dateTime, struct tm& fields) {
  fields = {};
  fields.tm_year = dateTime[kYear] - 1900;
  fields.tm_mon = dateTime[kMonth] - 1;
  fields.tm_mday = dateTime[kDay];
  fields.tm_hour = dateTime[kHour];
  fields.tm_min = dateTime[kMinute];
  fields.tm_sec = dateTime[kSecond];
}

void TmToFields(const struct tm& fields, int16* dateTime) {
  dateTime[kYear] = int16(fields.tm_year + 1900);
  dateTime[kMonth] = int16(fields.tm_mon + 1);
  dateTime[kDay] = int16(fields.tm_mday);
  dateTime[kHour] = int16(fields.tm_hour);
  dateTime[kMinute] = int16(fields.tm_min);
  dateTime[kSecond] = int16(fields.tm_sec);
}

void GetSystemTime(int16* dateTime, bool local) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm fields;
  if (local) {
    localtime_r(&now.tv_sec, &fields);
  } else {
    gmtime_r(&now.tv_sec, &fields);
  }
  TmToFields(fields, dateTime);
  dateTime[kMillisecond] = int16(now.tv_nsec / 1000000);
}

}  // namespace

void XMacSystem::GetSystemUTCTime(int16* dateTime) { GetSystemTime(dateTime, false); }

void XMacSystem::GetSystemLocalTime(int16* dateTime) { GetSystemTime(dateTime, true); }

void XMacSystem::LocalToUTCTime(int16* dateTime) {
  if (IsTimeOfDayOnly(dateTime)) return;
  struct tm fields;
  FieldsToTm(dateTime, fields);
  // Let the zone's rules at that date decide whether daylight saving applies.
  fields.tm_isdst = -1;
  const time_t instant = mktime(&fields);
  struct tm utc;
  if (gmtime_r(&instant, &utc) == nullptr) return;
  TmToFields(utc, dateTime);
}

void XMacSystem::UTCToLocalTime(int16* dateTime) {
  if (IsTimeOfDayOnly(dateTime)) return;
  // The instant the UTC fields name, counted here rather than by timegm:
  // months outside 1-12 carry into the year and the other fields add up,
  // as timegm would have them.
  const int32 monthIndex = dateTime[kMonth] - 1;
  const int32 carry = monthIndex >= 0 ? monthIndex / 12 : -((11 - monthIndex) / 12);
  const int64 days =
      int64(VTime::ComputeJulianDay(dateTime[kYear] + carry, monthIndex - carry * 12 + 1, 1)) -
      VTime::ComputeJulianDay(1970, 1, 1) + dateTime[kDay] - 1;
  const time_t instant =
      time_t(days * 86400 + dateTime[kHour] * 3600 + dateTime[kMinute] * 60 + dateTime[kSecond]);
  struct tm local;
  if (localtime_r(&instant, &local) == nullptr) return;
  TmToFields(local, dateTime);
}

void XMacSystem::UpdateGMTOffset(int32* offset, int32* offsetWithDaylight) {
  const time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  const int32 withDaylight = int32(local.tm_gmtoff);
  *offsetWithDaylight = withDaylight;
  *offset = local.tm_isdst > 0 ? withDaylight - 3600 : withDaylight;
}

}  // namespace zeft
