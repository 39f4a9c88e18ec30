// The time value: validation, day numbers and their inverse, the
// millisecond scale, calendar arithmetic, local time in several zones, the
// system facade's date-time conversions, comparisons and stored forms.
#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include "ValueTestSupport.h"
#include "process/VSystem.h"
#include "values/VTime.h"

namespace zeft {
namespace {

using test::ScopedTimeZone;

struct Fields {
  int16 year, month, day, hour, minute, second, millisecond;
  bool operator==(const Fields&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Fields& f) {
  return out << f.year << "-" << f.month << "-" << f.day << " " << f.hour << ":" << f.minute << ":"
             << f.second << "." << f.millisecond;
}

Fields UTC(const VTime& t) {
  Fields f;
  t.GetUTCTime(f.year, f.month, f.day, f.hour, f.minute, f.second, f.millisecond);
  return f;
}

Fields Local(const VTime& t) {
  Fields f;
  t.GetLocalTime(f.year, f.month, f.day, f.hour, f.minute, f.second, f.millisecond);
  return f;
}

VTime Make(int16 y, int16 mo, int16 d, int16 h = 0, int16 mi = 0, int16 s = 0, int16 ms = 0) {
  VTime t;
  t.FromUTCTime(y, mo, d, h, mi, s, ms);
  return t;
}

TEST(VTime, FromUTCTimeValidates) {
  struct Case {
    Fields in;
    bool valid;
  } const cases[] = {
      {{2024, 2, 29, 0, 0, 0, 0}, true},     {{2023, 2, 29, 0, 0, 0, 0}, false},
      {{1900, 2, 29, 0, 0, 0, 0}, false},    {{2000, 2, 29, 0, 0, 0, 0}, true},
      {{2024, 1, 1, 24, 0, 0, 0}, false},    {{-1, 1, 1, 0, 0, 0, 0}, false},
      {{2024, 13, 1, 0, 0, 0, 0}, false},    {{2024, 4, 31, 0, 0, 0, 0}, false},
      {{2024, 1, 1, 23, 59, 59, 999}, true}, {{2024, 1, 1, 0, 0, 0, 1000}, false},
      {{2024, 1, 1, 0, -1, 0, 0}, false},    {{0, 1, 1, 0, 0, 0, 0}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.in));
    VTime t = Make(c.in.year, c.in.month, c.in.day, c.in.hour, c.in.minute, c.in.second,
                   c.in.millisecond);
    EXPECT_EQ(!t.IsNull(), c.valid);
    EXPECT_EQ(UTC(t), c.valid ? c.in : Fields{});
  }
  VTime zero = Make(0, 0, 0, 30);
  EXPECT_FALSE(zero.IsNull());
  EXPECT_EQ(zero.GetStamp(), 108000000u);
  EXPECT_EQ(zero.GetMilliseconds(), 0);
}

TEST(VTime, DayNumbers) {
  EXPECT_EQ(VTime::ComputeJulianDay(1970, 1, 1), 2440587);
  EXPECT_EQ(VTime::ComputeJulianDay(2000, 1, 1), 2451544);
  EXPECT_EQ(VTime::ComputeJulianDay(2000, 3, 1), 2451604);
  EXPECT_EQ(VTime::ComputeJulianDay(0, 3, 1), 1721119);
  EXPECT_EQ(VTime::ComputeWeekDay(1970, 1, 1), 4);
  EXPECT_EQ(Make(2024, 1, 1).GetWeekDay(), 1);
  EXPECT_EQ(Make(2024, 12, 31).GetYearDay(), 366);
  EXPECT_EQ(Make(2023, 3, 1).GetYearDay(), 60);
  VTime null;
  null.SetNull(true);
  EXPECT_EQ(null.GetJulianDay(), -1);
  EXPECT_EQ(null.GetWeekDay(), -1);
  EXPECT_EQ(null.GetYearDay(), -1);
  EXPECT_EQ(null.GetMilliseconds(), -1);
}

// Every valid date of years 0 to 9999 survives day number and back, and
// consecutive dates have consecutive numbers.
TEST(VTime, DayNumberInverseIsExact) {
  int32 expected = VTime::ComputeJulianDay(0, 1, 1);
  int failures = 0;
  for (int16 y = 0; y <= 9999; ++y) {
    for (int16 m = 1; m <= 12; ++m) {
      for (int16 d = 1; d <= 31; ++d) {
        if (!VTime::CheckDate(y, m, d)) continue;
        const int32 j = VTime::ComputeJulianDay(y, m, d);
        VTime t;
        t.FromJulianDay(j);
        if (j != expected++ || UTC(t) != Fields{y, m, d, 0, 0, 0, 0}) ++failures;
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(VTime, JulianCalendarDatesAndTheirInverse) {
  struct Case {
    Fields gregorian;
    int32 year, month, day;
  } const cases[] = {
      {{2000, 3, 1, 0, 0, 0, 0}, 2000, 2, 17},
      {{1582, 10, 15, 0, 0, 0, 0}, 1582, 10, 5},
      {{2024, 3, 14, 0, 0, 0, 0}, 2024, 3, 1},
      {{1900, 3, 13, 0, 0, 0, 0}, 1900, 2, 29},  // a Julian leap day
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.year);
    VTime t = Make(c.gregorian.year, c.gregorian.month, c.gregorian.day);
    int32 y, m, d;
    t.GetJulianDate(y, m, d);
    EXPECT_EQ(y, c.year);
    EXPECT_EQ(m, c.month);
    EXPECT_EQ(d, c.day);
    VTime back;
    back.FromJulianDate(c.year, c.month, c.day);
    EXPECT_EQ(UTC(back), c.gregorian);
  }
  // Round trip over four centuries of days.
  int failures = 0;
  for (int32 j = VTime::ComputeJulianDay(1800, 1, 1); j < VTime::ComputeJulianDay(2200, 1, 1);
       ++j) {
    VTime t;
    t.FromJulianDay(j);
    int32 y, m, d;
    t.GetJulianDate(y, m, d);
    VTime back;
    back.FromJulianDate(y, m, d);
    if (back.GetJulianDay() != j) ++failures;
  }
  EXPECT_EQ(failures, 0);
  VTime bad;
  bad.FromJulianDate(1901, 2, 29);
  EXPECT_TRUE(bad.IsNull());
  bad.FromJulianDate(2000, 13, 1);
  EXPECT_TRUE(bad.IsNull());
}

TEST(VTime, MillisecondScale) {
  VTime epoch = Make(1970, 1, 1);
  EXPECT_EQ(epoch.GetMilliseconds(), 210866716800000LL);
  VTime back;
  back.FromMilliseconds(210866716800000LL);
  EXPECT_EQ(UTC(back), UTC(epoch));
  back.FromMilliseconds(-1);
  EXPECT_TRUE(back.IsNull());
  back.FromMilliseconds(0);
  EXPECT_FALSE(back.IsNull());
  EXPECT_EQ(back.GetStamp(), 0u);
}

TEST(VTime, CalendarArithmetic) {
  VTime t = Make(2024, 2, 28, 12);
  t.AddDays(1);
  EXPECT_EQ(UTC(t), (Fields{2024, 2, 29, 12, 0, 0, 0}));
  t = Make(2024, 3, 1, 0, 30);
  t.AddHours(-1);
  EXPECT_EQ(UTC(t), (Fields{2024, 2, 29, 23, 30, 0, 0}));
  // Spans of more than 24 days.
  t = Make(2024, 1, 1);
  t.AddDays(25);
  EXPECT_EQ(UTC(t), (Fields{2024, 1, 26, 0, 0, 0, 0}));
  t.AddDays(3650);
  EXPECT_EQ(UTC(t), (Fields{2034, 1, 23, 0, 0, 0, 0}));
  t.AddSeconds(-86400 * 30);
  EXPECT_EQ(UTC(t), (Fields{2033, 12, 24, 0, 0, 0, 0}));
  t.AddMinutes(60 * 24 * 40);
  EXPECT_EQ(UTC(t), (Fields{2034, 2, 2, 0, 0, 0, 0}));

  t = Make(2024, 1, 15);
  t.AddMonths(-1);
  EXPECT_EQ(UTC(t), (Fields{2023, 12, 15, 0, 0, 0, 0}));
  t = Make(2024, 1, 15);
  t.AddMonths(13);
  EXPECT_EQ(UTC(t), (Fields{2025, 2, 15, 0, 0, 0, 0}));
  t = Make(2024, 1, 31);
  t.AddMonths(1);
  EXPECT_EQ(UTC(t).day, 31);
  t.AddDays(0);  // the surplus day counts into March
  EXPECT_EQ(UTC(t), (Fields{2024, 3, 2, 0, 0, 0, 0}));
  t.AddYears(-4);
  EXPECT_EQ(UTC(t).year, 2020);

  VTime null;
  null.SetNull(true);
  null.AddMilliseconds(0);
  EXPECT_TRUE(null.IsNull());
  null.AddMilliseconds(1);
  EXPECT_FALSE(null.IsNull());
  EXPECT_EQ(null.GetStamp(), 0u);

  VDuration difference;
  VTime other;
  other.SetNull(true);
  Make(1970, 1, 1).Substract(other, difference);
  EXPECT_EQ(difference.ConvertToMilliseconds(), 210866716800000LL + 1);
  Make(2024, 3, 1).Substract(Make(2024, 2, 1), difference);
  EXPECT_EQ(difference.ConvertToMilliseconds(), 29 * VDuration::kMillisecondsPerDay);
  t = Make(2024, 3, 1);
  t.Add(VDuration(-1));
  EXPECT_EQ(UTC(t), (Fields{2024, 2, 29, 23, 59, 59, 999}));
}

// Unvalidated fields (a stamp from storage) must not read outside the
// calendar tables; a month beyond 12 carries into the year.
TEST(VTime, UnvalidatedFieldsStayInBounds) {
  VTime t(uint64(2024) << 48 | uint64(14) << 40 | uint64(1) << 32);
  EXPECT_EQ(t.GetJulianDay(), VTime::ComputeJulianDay(2025, 2, 1));
  // Nonsense fields give a nonsense (but defined) result.
  VTime big(uint64(0xFFFF) << 48 | uint64(255) << 40 | uint64(255) << 32 | 0xFFFFFFFFu);
  big.AddMilliseconds(1);
  int32 y, m, d;
  big.GetJulianDate(y, m, d);
  EXPECT_GE(big.GetWeekDay(), 0);
}

TEST(VTime, ComparisonIgnoresNull) {
  VTime a = Make(2024, 1, 1), b = Make(2024, 1, 1);
  b.SetNull(true);
  EXPECT_TRUE(a == b);
  VTime c = Make(2024, 1, 2), d = Make(2024, 1, 3);
  c.SetNull(true);
  d.SetNull(true);
  EXPECT_TRUE(c != d);
  EXPECT_TRUE(Make(2024, 1, 1, 23) < Make(2024, 1, 2));
  EXPECT_EQ(Make(2025, 1, 1).CompareTo(Make(2024, 12, 31)), kCompareBigger);
  const uint64 stamp = Make(2024, 1, 1).GetStamp();
  EXPECT_TRUE(a.EqualToSameKindPtr(&stamp, false));
  const uint64 later = Make(2024, 6, 1).GetStamp();
  EXPECT_EQ(VTime::sInfo.CompareTwoPtrToData(&stamp, &later, false), kCompareLess);
  EXPECT_EQ(a.CompareTo(static_cast<const VValueSingle&>(Make(2023, 1, 1)), false), kCompareBigger);
}

TEST(VTime, CopiesCarryTheNullState) {
  VTime source = Make(2024, 5, 6);
  source.SetNull(true);
  VTime copy(source);
  EXPECT_TRUE(copy.IsNull());
  EXPECT_EQ(copy.GetStamp(), source.GetStamp());
  VTime assigned;
  assigned.SetDirty(false);
  assigned = Make(2024, 1, 1);
  EXPECT_FALSE(assigned.IsDirty());  // FromTime changes dirty only with the null state
  std::unique_ptr<VTime> clone(source.Clone());
  EXPECT_TRUE(clone->IsNull());
  VTime zero;
  zero.NullIfZero();
  EXPECT_TRUE(zero.IsNull());
}

TEST(VTime, StreamAndRawForms) {
  VTime t = Make(2024, 3, 5, 10, 20, 30, 400);
  EXPECT_EQ(test::StreamBytes(t, false),
            (test::Bytes{0xE8, 0x07, 0x03, 0x05, 0x40, 0x17, 0x38, 0x02}));
  EXPECT_EQ(test::StreamBytes(t, true),
            (test::Bytes{0x07, 0xE8, 0x03, 0x05, 0x02, 0x38, 0x17, 0x40}));
  VTime back;
  back.SetNull(true);
  EXPECT_EQ(test::ReadStreamBytes(back, test::StreamBytes(t, true), true), VE_OK);
  EXPECT_EQ(UTC(back), (Fields{}));  // still null: the flag is not in the stream
  back.SetNull(false);
  EXPECT_EQ(back.GetStamp(), t.GetStamp());
  VTime untouched = Make(1999, 1, 1);
  EXPECT_NE(test::ReadStreamBytes(untouched, {1, 2, 3}, false), VE_OK);
  EXPECT_EQ(UTC(untouched).year, 1999);

  uint64 raw;
  t.WriteToPtr(&raw, false, 8);
  EXPECT_EQ(raw, t.GetStamp());
  std::unique_ptr<VValue> loaded(
      VValue::ValueInfoFromValueKind(kValueKindTime)->LoadFromPtr(&raw, false));
  EXPECT_EQ(static_cast<VTime*>(loaded.get())->GetStamp(), t.GetStamp());
  std::unique_ptr<VValue> generated(VValue::NewValueFromValueKind(kValueKindTime));
  EXPECT_EQ(static_cast<VTime*>(generated.get())->GetStamp(), 0u);
  EXPECT_FALSE(generated->IsNull());
}

// ---- Local time

struct ZoneCase {
  const char* zone;
  Fields utc;
  Fields local;
};

TEST(VTimeLocal, ConvertsWithTheZoneRulesOfTheDate) {
  const ZoneCase cases[] = {
      {"UTC", {2024, 7, 1, 12, 0, 0, 0}, {2024, 7, 1, 12, 0, 0, 0}},
      {"Europe/Paris", {2024, 1, 15, 12, 0, 0, 5}, {2024, 1, 15, 13, 0, 0, 5}},
      {"Europe/Paris", {2024, 7, 1, 12, 0, 0, 0}, {2024, 7, 1, 14, 0, 0, 0}},
      {"Europe/Paris", {2024, 12, 31, 23, 30, 0, 0}, {2025, 1, 1, 0, 30, 0, 0}},
      {"America/New_York", {2024, 1, 15, 12, 0, 0, 0}, {2024, 1, 15, 7, 0, 0, 0}},
      {"America/New_York", {2024, 7, 1, 2, 0, 0, 0}, {2024, 6, 30, 22, 0, 0, 0}},
  };
  for (const ZoneCase& c : cases) {
    SCOPED_TRACE(c.zone);
    ScopedTimeZone zone(c.zone);
    VTime t = Make(c.utc.year, c.utc.month, c.utc.day, c.utc.hour, c.utc.minute, c.utc.second,
                   c.utc.millisecond);
    EXPECT_EQ(Local(t), c.local);
    VTime back;
    back.FromLocalTime(c.local.year, c.local.month, c.local.day, c.local.hour, c.local.minute,
                       c.local.second, c.local.millisecond);
    EXPECT_EQ(UTC(back), c.utc);
    EXPECT_EQ(t.GetLocalHour(), c.local.hour);
  }
}

TEST(VTimeLocal, SettersCarryAndValidate) {
  ScopedTimeZone zone("Europe/Paris");
  VTime t = Make(2024, 1, 31, 11, 0);  // 12:00 local
  t.SetLocalMonth(13);
  EXPECT_EQ(Local(t), (Fields{2025, 1, 31, 12, 0, 0, 0}));
  t.SetLocalMonth(0);
  EXPECT_TRUE(t.IsNull());

  t = Make(2024, 3, 30, 11, 0);  // Saturday 12:00 local, winter time
  t.SetLocalDay(31);             // Sunday, summer time from 02:00
  EXPECT_EQ(Local(t), (Fields{2024, 3, 31, 12, 0, 0, 0}));
  EXPECT_EQ(UTC(t), (Fields{2024, 3, 31, 10, 0, 0, 0}));
  t.SetLocalDay(32);
  EXPECT_EQ(Local(t), (Fields{2024, 4, 1, 12, 0, 0, 0}));

  // Products beyond the 32-bit range: thousands of hours and days of
  // seconds carry into the date.
  t = Make(2024, 1, 1, 11, 0);
  t.SetLocalHour(24 * 1000 + 12);
  EXPECT_EQ(Local(t), (Fields{2026, 9, 27, 12, 0, 0, 0}));
  t = Make(2024, 1, 1, 11, 0);
  t.SetLocalMinute(60 * 24 * 30);
  EXPECT_EQ(Local(t), (Fields{2024, 1, 31, 12, 0, 0, 0}));
  t = Make(2024, 1, 1, 11, 0);
  t.SetLocalSecond(86400 * 25);
  EXPECT_EQ(Local(t), (Fields{2024, 1, 26, 12, 0, 0, 0}));
  t = Make(2024, 1, 1, 11, 0);
  t.SetLocalMillisecond(int32(86400000LL * 24 + 5));
  EXPECT_EQ(Local(t), (Fields{2024, 1, 25, 12, 0, 0, 5}));
  t.SetLocalYear(2023);
  EXPECT_EQ(Local(t).year, 2023);

  VTime invalid;
  invalid.FromLocalTime(2023, 2, 29, 12, 0, 0, 0);
  EXPECT_TRUE(invalid.IsNull());
}

TEST(VTimeLocal, LocalForms) {
  ScopedTimeZone zone("America/New_York");
  VTime t = Make(2024, 7, 4, 16, 30, 15, 250);
  EXPECT_EQ(t.GetLocalDurationSinceMidnight().ConvertToMilliseconds(),
            (12 * 3600 + 30 * 60 + 15) * 1000LL + 250);
  EXPECT_EQ(t.GetLocalUnixTime(), (t.GetMilliseconds() - 210866716800000LL) / 1000);
  VString text;
  t.GetStringLocalTime(text);
  EXPECT_EQ(to_string(text), "2024-07-04 12:30:15:250");
  VTime null;
  null.SetNull(true);
  null.GetStringLocalTime(text);
  EXPECT_TRUE(text.IsEmpty());
}

TEST(VSystemTime, ZoneConversionsAndOffsets) {
  {
    ScopedTimeZone zone("Europe/Paris");
    int16 summer[7] = {2024, 7, 1, 14, 0, 0, 123};
    VSystem::LocalToUTCTime(summer);
    EXPECT_EQ(summer[3], 12);
    EXPECT_EQ(summer[6], 123);  // milliseconds pass untouched
    VSystem::UTCToLocalTime(summer);
    EXPECT_EQ(summer[3], 14);
    // A time of day without a date is not moved.
    int16 timeOnly[7] = {0, 0, 0, 10, 0, 0, 0};
    VSystem::UTCToLocalTime(timeOnly);
    EXPECT_EQ(timeOnly[3], 10);
    int16 noHour[7] = {0, 5, 3, 0, 7, 0, 0};
    VSystem::LocalToUTCTime(noHour);
    EXPECT_EQ(noHour[1], 5);
    EXPECT_EQ(noHour[4], 7);
    const int32 delta = VSystem::GetGMTOffset(true) - VSystem::GetGMTOffset(false);
    EXPECT_TRUE(delta == 0 || delta == 3600);
    EXPECT_TRUE(VSystem::GetGMTOffset(false) == 3600);
  }
  {
    ScopedTimeZone zone("America/New_York");
    EXPECT_EQ(VSystem::GetGMTOffset(false), -5 * 3600);
  }
  {
    ScopedTimeZone zone("UTC");
    EXPECT_EQ(VSystem::GetGMTOffset(true), 0);
    int16 now[7];
    VSystem::GetSystemUTCTime(now);
    int16 local[7];
    VSystem::GetSystemLocalTime(local);
    EXPECT_EQ(now[0], local[0]);
    EXPECT_GE(now[0], 2024);
    EXPECT_TRUE(now[6] >= 0 && now[6] <= 999);
    VTime clock(kTimeInitNow);
    EXPECT_FALSE(clock.IsNull());
    EXPECT_GE(UTC(clock).year, 2024);
    VTime today;
    today.FromToday(1000);
    EXPECT_EQ(UTC(today).hour, 0);
    EXPECT_EQ(UTC(today).second, 1);
  }
}

// The instant of the UTC fields is counted by the toolbox: it must agree
// with the C library's timegm, fields outside their ranges included.
TEST(VSystemTime, UTCToLocalAgreesWithTheCLibrary) {
  ScopedTimeZone zone("Europe/Paris");
  const int16 cases[][7] = {
      {2024, 7, 1, 14, 0, 0, 0},   {2024, 3, 31, 1, 30, 0, 0},   {1969, 12, 31, 23, 59, 59, 0},
      {1600, 2, 29, 12, 0, 0, 0},  {2024, 0, 15, 8, 0, 0, 0},    {2024, 13, 15, 8, 0, 0, 0},
      {2024, -14, 15, 8, 0, 0, 0}, {2023, 2, 30, 25, 61, 75, 0}, {2024, 5, 0, -3, -70, -5, 0},
      {-300, 6, 10, 12, 0, 0, 0},  {9999, 12, 31, 23, 59, 59, 0}};
  for (const auto& fields : cases) {
    int16 converted[7];
    std::copy(std::begin(fields), std::end(fields), converted);
    VSystem::UTCToLocalTime(converted);
    struct tm utc = {};
    utc.tm_year = fields[0] - 1900;
    utc.tm_mon = fields[1] - 1;
    utc.tm_mday = fields[2];
    utc.tm_hour = fields[3];
    utc.tm_min = fields[4];
    utc.tm_sec = fields[5];
    const time_t instant = timegm(&utc);
    struct tm local;
    ASSERT_NE(localtime_r(&instant, &local), nullptr);
    const int16 expected[7] = {int16(local.tm_year + 1900),
                               int16(local.tm_mon + 1),
                               int16(local.tm_mday),
                               int16(local.tm_hour),
                               int16(local.tm_min),
                               int16(local.tm_sec),
                               0};
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), converted))
        << fields[0] << "-" << fields[1] << "-" << fields[2] << " " << fields[3] << ":" << fields[4]
        << ":" << fields[5];
  }
}

}  // namespace
}  // namespace zeft
