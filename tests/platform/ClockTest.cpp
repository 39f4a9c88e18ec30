#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace zeft::platform {
namespace {

// The day count the property lists, the date formats and the zone
// conversions share: the proleptic Gregorian calendar, as std::chrono has it,
// with a day past the month's end counting on into the next month.
TEST(Clock, DaysSinceEpochCountsTheGregorianCalendar) {
  struct Case {
    int year;
    unsigned month;
    unsigned day;
  };
  const Case cases[] = {
      {1970, 1, 1},  {1969, 12, 31}, {2000, 2, 29}, {2000, 3, 1},  {1900, 2, 28},
      {1900, 3, 1},  {1600, 2, 29},  {1, 1, 1},     {0, 3, 1},     {-1, 12, 31},
      {-400, 2, 29}, {9999, 12, 31}, {2001, 2, 31}, {1999, 4, 31}, {2024, 12, 31},
  };
  for (const Case& c : cases) {
    const std::chrono::year_month_day date{std::chrono::year(c.year), std::chrono::month(c.month),
                                           std::chrono::day(c.day)};
    const std::int64_t expected = std::chrono::sys_days(date).time_since_epoch().count();
    EXPECT_EQ(DaysSinceEpoch(c.year, c.month, c.day), expected)
        << c.year << "-" << c.month << "-" << c.day;
  }
  // Beyond std::chrono's years, the count goes on.
  EXPECT_EQ(DaysSinceEpoch(40000, 1, 1) - DaysSinceEpoch(39600, 1, 1), 146097);
}

TEST(Clock, ClocksAgree) {
  const std::uint64_t before = GetCurrentTime();
  const std::uint32_t ticks = GetCurrentTicks();
  EXPECT_LE(GetCurrentDeltaTicks(ticks), 60u);
  EXPECT_GE(GetCurrentTime(), before);
  // Either way round a wrap of the 32-bit count, the short distance.
  EXPECT_GE(GetCurrentDeltaTicks(ticks + 0x80000010u), 0x7FFFFFF0u - 60u);
  std::int32_t offset = 0;
  std::int32_t withDaylight = 0;
  ReadGMTOffsets(&offset, &withDaylight);
  EXPECT_EQ(GetGMTOffset(true), withDaylight);
  EXPECT_EQ(GetGMTOffset(false), offset);
}

// The instant of a local date-time is the one its UTC conversion names,
// in whatever zone the tests run (midday: never in a daylight-saving gap).
TEST(Clock, LocalToUnixTimeNamesTheInstantOfTheUTCConversion) {
  const std::int16_t cases[][7] = {
      {1970, 1, 2, 12, 0, 0, 0},   {2000, 2, 29, 12, 30, 15, 999}, {2024, 7, 4, 12, 0, 59, 0},
      {2038, 1, 19, 12, 14, 7, 0}, {1999, 12, 31, 12, 59, 59, 0},  {2024, 1, 31, 11, 0, 0, 0},
  };
  for (const auto& local : cases) {
    std::int16_t utc[7];
    std::copy(local, local + 7, utc);
    LocalToUTCTime(utc);
    const std::int64_t expected =
        DaysSinceEpoch(utc[0], utc[1], utc[2]) * 86400 + utc[3] * 3600 + utc[4] * 60 + utc[5];
    EXPECT_EQ(LocalToUnixTime(local), expected) << local[0] << "-" << local[1] << "-" << local[2];
  }
}

}  // namespace
}  // namespace zeft::platform
