// The duration value: parts, arithmetic (including spans beyond 24 days),
// the ISO 8601, colon and stream forms, conversions and its descriptor.
#include <gtest/gtest.h>

#include <memory>

#include "ValueTestSupport.h"
#include "core/VLong.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "values/VDuration.h"

namespace zeft {
namespace {

constexpr int64 kDay = VDuration::kMillisecondsPerDay;
constexpr int64 kHour = VDuration::kMillisecondsPerHour;

std::string ISO(int64 ms, bool null = false) {
  VDuration d(ms);
  if (null) d.SetNull(true);
  VString text;
  d.GetXMLString(text, VDuration::kXMLOptionISO8601);
  return to_string(text);
}

int64 ReadISO(const char* text) {
  VDuration d(123);
  d.SetNull(true);
  EXPECT_TRUE(d.FromXMLString(VString(text)));
  EXPECT_FALSE(d.IsNull());
  return d.ConvertToMilliseconds();
}

TEST(VDuration, PartsTruncateTowardZero) {
  struct Case {
    int64 ms;
    int32 parts[5];
  } const cases[] = {
      {90061001, {1, 1, 1, 1, 1}},
      {-1500, {0, 0, 0, -1, -500}},
      {-90061001, {-1, -1, -1, -1, -1}},
      {0, {0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ms);
    VDuration d(c.ms);
    int32 p[5];
    d.GetDuration(p[0], p[1], p[2], p[3], p[4]);
    EXPECT_EQ(std::vector<int32>(p, p + 5), std::vector<int32>(c.parts, c.parts + 5));
    EXPECT_EQ(d.GetDay(), c.parts[0]);
    EXPECT_EQ(d.GetMillisecond(), c.parts[4]);
  }
  VDuration null(5);
  null.SetNull(true);
  VString formatted;
  null.GetFormattedString(formatted);
  EXPECT_EQ(to_string(formatted), "-1:-1:-1:-1:-1");
  formatted.Clear();
  VDuration(90061001).GetFormattedString(formatted);
  EXPECT_EQ(to_string(formatted), "1:1:1:1:1");
}

TEST(VDuration, WritesISO8601ByteForByte) {
  EXPECT_EQ(ISO(90061001), "P1DT1H1M1.00100004673004S");
  EXPECT_EQ(ISO(3723000), "PT1H2M3S");
  EXPECT_EQ(ISO(1500), "PT0H0M1.50000000000000S");
  EXPECT_EQ(ISO(0), "PT0H0M0S");
  EXPECT_EQ(ISO(-1500), "PT0H0M-1.50000000000000S");
  EXPECT_EQ(ISO(0, true), "P-1DT-1H-1M-1.00100004673004S");
  EXPECT_EQ(ISO(2 * kDay), "P2DT0H0M0S");
  VString seconds;
  VDuration(90061001).GetXMLString(seconds, 0);
  EXPECT_EQ(to_string(seconds), "90061");
}

TEST(VDuration, ReadsISO8601) {
  EXPECT_EQ(ReadISO("P1Y2M3DT4H5M6.5S"), 36561906500LL);
  EXPECT_EQ(ReadISO("PT1H2M3S"), 3723000);
  EXPECT_EQ(ReadISO("P1DT1H1M1.00100004673004S"), 90061001);
  EXPECT_EQ(ReadISO("42"), 42000);
  EXPECT_EQ(ReadISO("01:02:03"), 3723000);
  EXPECT_EQ(ReadISO(""), 0);
  EXPECT_EQ(ReadISO("P"), 0);
}

// Hours beyond 596 overflowed a 32-bit product of the hour count.
TEST(VDuration, ReadsLongSpansWithoutOverflow) {
  EXPECT_EQ(ReadISO("PT1000H"), 1000 * kHour);
  EXPECT_EQ(ReadISO("P100DT0H0M0S"), 100 * kDay);
  EXPECT_EQ(ReadISO("P30Y"), 30 * 360 * kDay);
}

// A text naming more milliseconds than 64 bits hold reads as the nearest
// bound, true and not null, whatever its form; the sum is exact, so a part
// beyond the bound can be brought back by another; what fits is read whole.
TEST(VDuration, TextCountsBeyondSixtyFourBitsSaturate) {
  const struct {
    const char* text;
    int64 ms;
  } cases[] = {
      {"99999999999999999", INT64_MAX},
      {"-99999999999999999", INT64_MIN},
      {"9223372036854776", INT64_MAX},
      {"P108000000000D", INT64_MAX},
      {"P2147483647Y", INT64_MAX},
      {"PT9223372036854776S", INT64_MAX},
      {"P1DT9223372036854775S", INT64_MAX},
      {"PT-9223372036854776S", INT64_MIN},
      {"PT2562047788015216H", INT64_MAX},
      {"PT1e300S", INT64_MAX},
      {"P-108000000000D", INT64_MIN},
      {"P108000000000DT-2592000000000H", 0},
      {"99999999999999:0:0", INT64_MAX},
      {"-999999999999999:0", INT64_MIN},
      {"PT4503599627370496S", 4503599627370496000LL},  // exact in a double
      {"P106751991167D", 106751991167LL * kDay},
      {"9223372036854775", 9223372036854775000LL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ReadISO(c.text), c.ms);
  }
  VDuration colon(5);
  colon.SetNull(true);
  colon.FromString(VString("99999999999999999"));
  EXPECT_EQ(colon.ConvertToMilliseconds(), INT64_MAX);
  EXPECT_FALSE(colon.IsNull());
}

// Writing then reading must give the count back: the seconds go through a
// float, and truncation used to lose a millisecond on most fractions.
TEST(VDuration, ISO8601RoundTripsEveryMillisecond) {
  int failures = 0;
  for (int64 ms = -2000; ms <= 62000; ms += 1) {
    VDuration d(ms + 3 * kHour);
    VString text;
    d.GetXMLString(text, VDuration::kXMLOptionISO8601);
    VDuration back;
    back.FromXMLString(text);
    if (back.ConvertToMilliseconds() != d.ConvertToMilliseconds()) ++failures;
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(ReadISO("PT0H0M0.400S"), 400);
  EXPECT_EQ(ReadISO("PT0H0M1.007S"), 1007);
}

// A process locale whose decimal point is "," must change neither form.
TEST(VDuration, ISO8601IgnoresTheProcessLocale) {
  test::ScopedDecimalCommaLocale locale;
  if (!locale.IsSet()) GTEST_SKIP() << "no locale with a decimal comma is installed";
  EXPECT_EQ(ISO(1500), "PT0H0M1.50000000000000S");
  EXPECT_EQ(ISO(90061001), "P1DT1H1M1.00100004673004S");
  EXPECT_EQ(ReadISO("PT0H0M1.5S"), 1500);
  EXPECT_EQ(ReadISO("P1DT1H1M1.00100004673004S"), 90061001);
}

TEST(VDuration, ReadsTheColonForm) {
  struct Case {
    const char* text;
    int64 ms;
  } const cases[] = {
      {"01:02:03", 3723000},      {"02:03", 123000}, {"1:2:3:4", 3723004}, {"42", 42000},
      {" 1 : 2 : 3 ", 3723000},   {"1::3", 3603000}, {"1:2:", 3720000},    {"-5", -5000},
      {"1000:0:0", 1000 * kHour},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    VDuration d;
    d.SetNull(true);
    d.FromString(VString(c.text));
    EXPECT_EQ(d.ConvertToMilliseconds(), c.ms);
    EXPECT_FALSE(d.IsNull());
  }
}

TEST(VDuration, ArithmeticBeyondTwentyFourDays) {
  VDuration d(0);
  d.AddDays(25);
  EXPECT_EQ(d.ConvertToMilliseconds(), 25 * kDay);
  d.AddHours(1000);
  EXPECT_EQ(d.ConvertToMilliseconds(), 25 * kDay + 1000 * kHour);
  d.AddDays(-25);
  d.AddHours(-1000);
  EXPECT_EQ(d.ConvertToMilliseconds(), 0);
  d.AddMinutes(50000);
  d.AddSeconds(3000000);
  EXPECT_EQ(d.ConvertToMilliseconds(), 50000LL * 60000 + 3000000LL * 1000);

  VDuration big(40 * kDay + 5 * kHour + 7);
  big.AdjustDay(30);
  EXPECT_EQ(big.ConvertToMilliseconds(), 30 * kDay + 5 * kHour + 7);
  big.AdjustHour(23);
  EXPECT_EQ(big.GetHour(), 23);
  EXPECT_EQ(big.GetDay(), 30);
  big.AdjustMillisecond(999);
  EXPECT_EQ(big.GetMillisecond(), 999);
  EXPECT_EQ(big.GetDay(), 30);

  VDuration set;
  set.SetDuration(30, 1000, 0, 0, 1);
  EXPECT_EQ(set.ConvertToMilliseconds(), 30 * kDay + 1000 * kHour + 1);
  set.AddDuration(0, 0, 60000, 0, 0);
  EXPECT_EQ(set.ConvertToMilliseconds(), 30 * kDay + 1000 * kHour + 1 + 60000LL * 60000);
  // Results inside the old range are unchanged.
  VDuration small(1000);
  small.AddDays(24);
  EXPECT_EQ(small.ConvertToMilliseconds(), 24 * kDay + 1000);
}

TEST(VDuration, ArithmeticKeepsTheFlags) {
  VDuration d(7000);
  d.SetNull(true);
  d.SetDirty(false);
  d.Add(VDuration(1000));
  d.Multiply(2.0);
  d.Divide(4.0);
  EXPECT_EQ(d.ConvertToMilliseconds(), 4000);
  EXPECT_TRUE(d.IsNull());
  EXPECT_FALSE(d.IsDirty());
  d.Remainder(VDuration(3000));
  EXPECT_EQ(d.ConvertToMilliseconds(), 1000);
  d.Remainder(VDuration(0));
  EXPECT_EQ(d.ConvertToMilliseconds(), 1000);
  EXPECT_DOUBLE_EQ(VDuration(7000).Divide(VDuration(2000)), 3.5);
  d.AddMilliseconds(1);
  EXPECT_FALSE(d.IsNull());
  EXPECT_TRUE(d.IsDirty());
  VDuration r(7000);
  r.Remainder(VDuration(3000));
  EXPECT_EQ(r.ConvertToMilliseconds(), 1000);
}

TEST(VDuration, CopiesAreNeverNull) {
  VDuration source(1234);
  source.SetNull(true);
  VDuration copy(source);
  EXPECT_FALSE(copy.IsNull());
  EXPECT_EQ(copy.ConvertToMilliseconds(), 1234);
  std::unique_ptr<VDuration> clone(source.Clone());
  EXPECT_FALSE(clone->IsNull());
  VDuration same;
  EXPECT_TRUE(same.FromValueSameKind(&source));
  EXPECT_TRUE(same.IsNull());
}

TEST(VDuration, ScalarConversionsCountSeconds) {
  VDuration d(90500);
  EXPECT_EQ(d.GetLong(), 90);
  EXPECT_EQ(d.GetLong8OrMilliSeconds(), 90500);
  EXPECT_DOUBLE_EQ(d.GetReal(), 90.5);
  d.FromLong(3);
  EXPECT_EQ(d.ConvertToMilliseconds(), 3000);
  d.FromReal(1.2345);
  EXPECT_EQ(d.ConvertToMilliseconds(), 1234);
  d.FromBoolean(1);
  EXPECT_EQ(d.ConvertToMilliseconds(), 1000);

  VLong seconds(0);
  VDuration(61000).GetValue(seconds);
  EXPECT_EQ(seconds.Get(), 61);
  VReal real(2.5);
  d.FromValue(real);
  EXPECT_EQ(d.ConvertToMilliseconds(), 2500);
  real.SetNull(true);
  d.FromValue(real);
  EXPECT_TRUE(d.IsNull());

  VString text;
  VDuration(-42).GetString(text);
  EXPECT_EQ(to_string(text), "-42");
  VDuration nullText(5);
  nullText.SetNull(true);
  nullText.GetString(text);
  EXPECT_TRUE(text.IsEmpty());

  // A scalar reads a duration in seconds and hands it over in seconds.
  VLong fromDuration(0);
  fromDuration.FromDuration(VDuration(5999));
  EXPECT_EQ(fromDuration.Get(), 5);
  VDuration target;
  VLong(7).GetDuration(target);
  EXPECT_EQ(target.ConvertToMilliseconds(), 7000);
}

TEST(VDuration, ComparesCountsIgnoringNull) {
  VDuration a(5), b(7);
  b.SetNull(true);
  EXPECT_EQ(a.CompareTo(b), kCompareLess);
  EXPECT_EQ(b.CompareToSameKind(&a, false), kCompareBigger);
  EXPECT_TRUE(a < b);
  const int64 stored = 5;
  EXPECT_TRUE(a.EqualToSameKindPtr(&stored, false));
  EXPECT_EQ(a.CompareTo(VLong(0), false), kCompareBigger);  // 0 seconds
}

TEST(VDuration, StreamAndRawForms) {
  VDuration d(0x0102030405060708LL);
  EXPECT_EQ(test::StreamBytes(d, false), (test::Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(test::StreamBytes(d, true), (test::Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  VDuration back;
  back.SetNull(true);
  back.SetDirty(false);
  EXPECT_EQ(test::ReadStreamBytes(back, {1, 2, 3, 4, 5, 6, 7, 8}, true), VE_OK);
  EXPECT_EQ(back.ConvertToMilliseconds(), 0x0102030405060708LL);
  EXPECT_TRUE(back.IsNull());  // the stream form carries no flags
  EXPECT_FALSE(back.IsDirty());
  EXPECT_NE(test::ReadStreamBytes(back, {1, 2, 3}, false), VE_OK);

  uint8 raw[8];
  EXPECT_EQ(d.WriteToPtr(raw, false, 8), raw + 8);
  std::unique_ptr<VValue> loaded(VDuration::sInfo.LoadFromPtr(raw, false));
  EXPECT_EQ(static_cast<VDuration*>(loaded.get())->ConvertToMilliseconds(), 0x0102030405060708LL);
}

TEST(VDuration, IsRegisteredAsKindNine) {
  std::unique_ptr<VValue> value(VValue::NewValueFromValueKind(kValueKindDuration));
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->GetValueKind(), kValueKindDuration);
  EXPECT_FALSE(value->IsNull());
  const int64 a = -1, b = 1;
  EXPECT_EQ(VDuration::sInfo.CompareTwoPtrToData(&a, &b, false), kCompareLess);
}

}  // namespace
}  // namespace zeft
