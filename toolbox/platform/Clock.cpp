#include "platform/Clock.h"

#include <time.h>

#include <atomic>

namespace zeft::platform {

namespace {

std::uint64_t MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::uint64_t(now.tv_sec) * 1000000000u + std::uint64_t(now.tv_nsec);
}

enum { kYear, kMonth, kDay, kHour, kMinute, kSecond, kMillisecond };

// A time of day without a date is not moved between zones.
bool IsTimeOfDayOnly(const std::int16_t* dateTime) {
  return dateTime[kYear] == 0 && (dateTime[kMonth] == 0 || dateTime[kHour] == 0);
}

void FieldsToTm(const std::int16_t* dateTime, struct tm& fields) {
  fields = {};
  fields.tm_year = dateTime[kYear] - 1900;
  fields.tm_mon = dateTime[kMonth] - 1;
  fields.tm_mday = dateTime[kDay];
  fields.tm_hour = dateTime[kHour];
  fields.tm_min = dateTime[kMinute];
  fields.tm_sec = dateTime[kSecond];
}

void TmToFields(const struct tm& fields, std::int16_t* dateTime) {
  dateTime[kYear] = std::int16_t(fields.tm_year + 1900);
  dateTime[kMonth] = std::int16_t(fields.tm_mon + 1);
  dateTime[kDay] = std::int16_t(fields.tm_mday);
  dateTime[kHour] = std::int16_t(fields.tm_hour);
  dateTime[kMinute] = std::int16_t(fields.tm_min);
  dateTime[kSecond] = std::int16_t(fields.tm_sec);
}

void GetSystemTime(std::int16_t* dateTime, bool local) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm fields;
  if (local) {
    localtime_r(&now.tv_sec, &fields);
  } else {
    gmtime_r(&now.tv_sec, &fields);
  }
  TmToFields(fields, dateTime);
  dateTime[kMillisecond] = std::int16_t(now.tv_nsec / 1000000);
}

// The zone's offsets from UTC in seconds, read on first use.
std::atomic<std::int32_t> sGMTOffset{0};
std::atomic<std::int32_t> sGMTOffsetWithDaylight{0};
std::atomic<bool> sGMTOffsetValid{false};

}  // namespace

std::uint64_t GetCurrentTime() { return MonotonicNanoseconds() / 1000000u; }

std::uint32_t GetCurrentTicks() {
  // Seconds and remainder apart so that the product cannot overflow.
  std::uint64_t ns = MonotonicNanoseconds();
  std::uint64_t ticks = (ns / 1000000000u) * 60u + (ns % 1000000000u) * 60u / 1000000000u;
  return std::uint32_t(ticks);
}

std::uint32_t GetCurrentDeltaTicks(std::uint32_t since) {
  // The shorter way round the 32-bit circle, so that a count that wrapped
  // between the two readings still gives the small distance.
  const std::uint32_t now = GetCurrentTicks();
  const std::uint32_t forward = now - since;
  const std::uint32_t backward = since - now;
  return forward < backward ? forward : backward;
}

void GetSystemUTCTime(std::int16_t* dateTime) { GetSystemTime(dateTime, false); }

void GetSystemLocalTime(std::int16_t* dateTime) { GetSystemTime(dateTime, true); }

std::int64_t LocalToUnixTime(const std::int16_t* dateTime) {
  struct tm fields;
  FieldsToTm(dateTime, fields);
  // Let the zone's rules at that date decide whether daylight saving applies.
  fields.tm_isdst = -1;
  return std::int64_t(mktime(&fields));
}

void LocalToUTCTime(std::int16_t* dateTime) {
  if (IsTimeOfDayOnly(dateTime)) return;
  const time_t instant = time_t(LocalToUnixTime(dateTime));
  struct tm utc;
  if (gmtime_r(&instant, &utc) == nullptr) return;
  TmToFields(utc, dateTime);
}

void UTCToLocalTime(std::int16_t* dateTime) {
  if (IsTimeOfDayOnly(dateTime)) return;
  // The instant the UTC fields name, counted here rather than by timegm:
  // months outside 1-12 carry into the year and the other fields add up,
  // as timegm would have them.
  const std::int32_t monthIndex = dateTime[kMonth] - 1;
  const std::int32_t carry = monthIndex >= 0 ? monthIndex / 12 : -((11 - monthIndex) / 12);
  const std::int64_t days =
      DaysSinceEpoch(dateTime[kYear] + carry, monthIndex - carry * 12 + 1, 1) + dateTime[kDay] - 1;
  const time_t instant =
      time_t(days * 86400 + dateTime[kHour] * 3600 + dateTime[kMinute] * 60 + dateTime[kSecond]);
  struct tm local;
  if (localtime_r(&instant, &local) == nullptr) return;
  TmToFields(local, dateTime);
}

void ReadGMTOffsets(std::int32_t* offset, std::int32_t* offsetWithDaylight) {
  const time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  const std::int32_t withDaylight = std::int32_t(local.tm_gmtoff);
  *offsetWithDaylight = withDaylight;
  *offset = local.tm_isdst > 0 ? withDaylight - 3600 : withDaylight;
}

std::int32_t GetGMTOffset(bool withDaylight) {
  if (!sGMTOffsetValid.load()) UpdateGMTOffset();
  return withDaylight ? sGMTOffsetWithDaylight.load() : sGMTOffset.load();
}

void UpdateGMTOffset() {
  std::int32_t offset = 0;
  std::int32_t withDaylight = 0;
  ReadGMTOffsets(&offset, &withDaylight);
  sGMTOffset.store(offset);
  sGMTOffsetWithDaylight.store(withDaylight);
  sGMTOffsetValid.store(true);
}

std::int64_t DaysSinceEpoch(std::int64_t year, std::int64_t month, std::int64_t day) {
  // Counted from 1 March so that the leap day ends the year.
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace zeft::platform
