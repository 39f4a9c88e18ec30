// Text forms of the time value: the RFC 3339 writer and reader (with zone
// offsets in force at the time named), the XML wrapper, the numeric parser,
// RFC 822, the compiler date and the system formats.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ValueTestSupport.h"
#include "core/VIntlMgr.h"
#include "runtime/VTask.h"
#include "support/ToolboxTestEnvironment.h"
#include "values/VTime.h"

namespace zeft {
namespace {

using test::ScopedTimeZone;

VTime Make(int16 y, int16 mo, int16 d, int16 h = 0, int16 mi = 0, int16 s = 0, int16 ms = 0) {
  VTime t;
  t.FromUTCTime(y, mo, d, h, mi, s, ms);
  return t;
}

std::string Rfc3339(const VTime& t, uint32 options) {
  VString text;
  t.GetRfc3339String(text, options);
  return to_string(text);
}

// "yyyy-mm-ddThh:mm:ss.mmmZ" of a time, or "null".
std::string Describe(const VTime& t) {
  return t.IsNull() ? "null" : Rfc3339(t, VTime::kRfc3339UTC);
}

TEST(VTimeRfc3339, WriterOptions) {
  const VTime t = Make(2024, 3, 5, 10, 20, 30, 400);
  struct Case {
    uint32 options;
    const char* text;
  } const cases[] = {
      {0x1, "2024-03-05T10:20:30.400Z"},
      {0x21, "2024-03-05T10:20:30Z"},
      {0x5, "10:20:30Z"},
      {0x9, "2024-03-05"},
      {0x11, "0000-00-00T10:20:30.400Z"},
      {0x31, "0000-00-00T10:20:30Z"},
      {0x2, "2024-03-05T10:20:30.400"},
      {0x22, "2024-03-05T10:20:30"},
      {0x6, "10:20:30"},
      {0xA, "2024-03-05"},
      {0x0, "2024-03-05T10:20:30+00:00"},
      {0x4, "10:20:30+00:00"},
      {0x8, "2024-03-05+00:00"},
      {0x20, "2024-03-05T10:20:30+00:00"},
  };
  ScopedTimeZone zone("UTC");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    EXPECT_EQ(Rfc3339(t, c.options), c.text);
  }
  // Fields beyond their digits are written as they are.
  EXPECT_EQ(Rfc3339(Make(0, 0, 0, 100, 0, 0, 5), 0x1), "0000-00-00T100:00:00.005Z");
  VTime null;
  null.SetNull(true);
  for (uint32 options : {0u, 1u, 2u, 4u, 8u, 0x10u, 0x20u}) {
    EXPECT_EQ(Rfc3339(null, options), "0000-00-00T00:00:00Z");
  }
}

TEST(VTimeRfc3339, WriterUsesTheOffsetOfTheInstant) {
  {
    ScopedTimeZone zone("Europe/Paris");
    EXPECT_EQ(Rfc3339(Make(2024, 1, 15, 12), 0), "2024-01-15T13:00:00+01:00");
    // Summer time written in winter keeps its own offset.
    EXPECT_EQ(Rfc3339(Make(2024, 7, 1, 12), 0), "2024-07-01T14:00:00+02:00");
    EXPECT_EQ(Rfc3339(Make(2024, 7, 1, 23), 0x8), "2024-07-02+02:00");
    EXPECT_EQ(Rfc3339(Make(2024, 7, 1, 12), 0x2), "2024-07-01T14:00:00.000");
  }
  {
    ScopedTimeZone zone("America/New_York");
    EXPECT_EQ(Rfc3339(Make(2024, 1, 15, 12), 0), "2024-01-15T07:00:00-05:00");
    EXPECT_EQ(Rfc3339(Make(2024, 7, 1, 12), 0x4), "08:00:00-04:00");
  }
}

struct ReadCase {
  const char* text;
  bool recognised;
  const char* result;  // Describe() of the time read
};

void CheckReads(const ReadCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const ReadCase& c = cases[i];
    SCOPED_TRACE(c.text);
    VTime t = Make(1999, 9, 9);
    EXPECT_EQ(t.FromRfc3339String(VString(c.text)), c.recognised);
    EXPECT_EQ(Describe(t), c.result);
  }
}

TEST(VTimeRfc3339, ReaderForms) {
  const ReadCase cases[] = {
      {"2024-03-05T10:20:30.250Z", true, "2024-03-05T10:20:30.250Z"},
      {"2024-03-05T10:20:30Z", true, "2024-03-05T10:20:30.000Z"},
      {"2024-03-05T10:20:30.4Z", true, "2024-03-05T10:20:30.400Z"},
      {"2024-03-05T10:20:30.25Z", true, "2024-03-05T10:20:30.250Z"},
      {"2024-03-05T10:20:30.1234Z", true, "2024-03-05T10:20:30.123Z"},
      {"2024-03-05T10:20:30.Z", true, "2024-03-05T10:20:30.000Z"},
      {"2024-03-05T10:20:3xZ", true, "2024-03-05T10:20:03.000Z"},
      {"2024-02-30T10:00:00Z", true, "null"},
      {"2024-03-05T25:00:00Z", true, "null"},
      {"2024-03-05T25:00:00.500Z", true, "null"},  // milliseconds do not revive it
      {"2024-02-30", true, "0000-00-00T00:00:00.000Z"},
      {"2024-03-05", true, "2024-03-05T00:00:00.000Z"},
      {"0000-00-00T00:00:00Z", true, "null"},
      {"0000-00-00T10:20:30Z", true, "0000-00-00T10:20:30.000Z"},
      {"0000-00-00T10:20Z", false, "null"},
      {"25:61", true, "0000-00-00T26:01:00.000Z"},
      {"10:20:30.5", true, "0000-00-00T10:20:30.500Z"},
      {"3700", true, "0000-00-00T01:01:00.000Z"},
      {"2024/03/05", true, "0000-00-00T00:33:00.000Z"},
      {"abc", false, "null"},
      {"", false, "null"},
      {"2024-03-05+02:00", false, "null"},
      {"2024-03-05T10:20Z", false, "null"},
      {"2024-03-05T10:20:nanZ", false, "null"},
      {"2024-03-05T10:20:30+xx", false, "null"},
  };
  ScopedTimeZone zone("UTC");
  CheckReads(cases, std::size(cases));
  // Only the first 255 bytes are parsed.
  const std::string longText = "2024-03-05T10:20:30+" + std::string(300, '0');
  VTime t;
  EXPECT_FALSE(t.FromRfc3339String(VString(longText.c_str())));
  EXPECT_TRUE(
      t.FromRfc3339String(VString((std::string(20, ' ') + "7Z" + std::string(300, ' ')).c_str())));
  EXPECT_EQ(Describe(t), "0000-00-00T00:00:00.000Z");  // 7 seconds: below a minute
}

// ".400" has no exact binary form: truncating gave 399 ms.
TEST(VTimeRfc3339, MillisecondsRoundTrip) {
  ScopedTimeZone zone("UTC");
  int failures = 0;
  for (int16 ms = 0; ms < 1000; ++ms) {
    const VTime t = Make(2024, 3, 5, 10, 20, 30, ms);
    VTime back;
    back.FromRfc3339String(VString(Rfc3339(t, VTime::kRfc3339UTC).c_str()));
    if (back != t) ++failures;
  }
  EXPECT_EQ(failures, 0);
  const ReadCase cases[] = {
      {"2024-03-05T10:20:30.400Z", true, "2024-03-05T10:20:30.400Z"},
      {"2024-03-05T10:20:30.9996Z", true, "2024-03-05T10:20:30.999Z"},
      {"10:20:30.007", true, "0000-00-00T10:20:30.007Z"},
  };
  CheckReads(cases, std::size(cases));
}

// Whole seconds are truncated and the fraction gives the milliseconds, so a
// fraction of .9995 or more in second 59 never makes second 60 (which made
// the time null while the reader answered true).
TEST(VTimeRfc3339, FractionStaysInItsSecond) {
  ScopedTimeZone zone("UTC");
  const char* const ends[] = {"2024-03-05T10:20:59", "2024-03-05T23:59:59", "2024-02-29T23:59:59",
                              "2024-12-31T23:59:59"};
  const struct {
    const char* fraction;
    const char* milliseconds;
  } fractions[] = {
      {".9", ".900"},         {".99", ".990"},     {".999", ".999"},     {".9995", ".999"},
      {".99999", ".999"},     {".999999", ".999"}, {".9999999", ".999"}, {".99999999", ".999"},
      {".999999999", ".999"}, {".4", ".400"},      {".400", ".400"},     {".0004", ".000"},
      {".123456789", ".123"},
  };
  for (const char* end : ends) {
    for (const auto& f : fractions) {
      const std::string text = std::string(end) + f.fraction + "Z";
      SCOPED_TRACE(text);
      VTime t;
      EXPECT_TRUE(t.FromRfc3339String(VString(text.c_str())));
      EXPECT_EQ(Describe(t), std::string(end) + f.milliseconds + "Z");
    }
  }
}

// Offsets west of UTC with minutes, and a zone whose offset then had
// seconds (local mean time): written with its offset cut to minutes, the
// text must still name the same instant.
TEST(VTimeRfc3339, OffsetsWithMinutesAndSeconds) {
  ScopedTimeZone utc("UTC");
  const ReadCase cases[] = {
      {"2024-03-05T10:00:00-03:30", true, "2024-03-05T13:30:00.000Z"},
      {"2024-03-05T22:45:00-09:30", true, "2024-03-06T08:15:00.000Z"},
  };
  CheckReads(cases, std::size(cases));
  ScopedTimeZone stJohns("America/St_Johns");
  for (const VTime& t : {Make(1422, 6, 1, 12, 0, 0), Make(2024, 3, 5, 10, 0, 0)}) {
    const std::string written = Rfc3339(t, 0);
    SCOPED_TRACE(written);
    VTime back;
    EXPECT_TRUE(back.FromRfc3339String(VString(written.c_str())));
    EXPECT_EQ(back, t);
  }
}

// The forms hold four-digit years: writer and reader agree on 0 to 9999,
// and what falls outside is null.
TEST(VTimeRfc3339, YearsBeyondFourDigitsAreNull) {
  ScopedTimeZone zone("UTC");
  const ReadCase cases[] = {
      {"10000-01-01T00:00:00Z", true, "null"},
      {"123456-01-01", true, "null"},
      {"0000-01-01T00:00:00+01:00", true, "null"},
      {"9999-12-31T23:00:00-01:00", true, "null"},
      {"0000-01-01T00:00:00Z", true, "0000-01-01T00:00:00.000Z"},
      {"9999-12-31T23:59:59.999Z", true, "9999-12-31T23:59:59.999Z"},
  };
  CheckReads(cases, std::size(cases));
  VTime late = Make(9999, 12, 31, 23, 59, 59);
  late.AddSeconds(1);
  ASSERT_FALSE(late.IsNull());
  for (uint32 options : {0x1u, 0x0u, 0x9u, 0x21u}) {
    SCOPED_TRACE(options);
    VTime back;
    EXPECT_TRUE(back.FromRfc3339String(VString(Rfc3339(late, options).c_str())));
    EXPECT_TRUE(back.IsNull());
  }
  EXPECT_EQ(Rfc3339(late, 0x5), "00:00:00Z");  // a time of day has no year
}

// A process locale whose decimal point is "," must not cut the fraction of
// the seconds in the forms read by the general scanner.
TEST(VTimeRfc3339, ReaderIgnoresTheProcessLocale) {
  ScopedTimeZone zone("UTC");
  test::ScopedDecimalCommaLocale locale;
  if (!locale.IsSet()) GTEST_SKIP() << "no locale with a decimal comma is installed";
  const ReadCase cases[] = {
      {"2024-07-01T00:30:00.250+05:30", true, "2024-06-30T19:00:00.250Z"},
      {"2024-03-05T10:20:30.1234Z", true, "2024-03-05T10:20:30.123Z"},
      {"10:20:30.5", true, "0000-00-00T10:20:30.500Z"},
  };
  CheckReads(cases, std::size(cases));
}

// An explicit offset names the zone of the fields: the result does not
// depend on the system's zone nor on the season of the present moment.
TEST(VTimeRfc3339, ReaderAppliesTheGivenOffset) {
  const ReadCase cases[] = {
      {"2024-03-05T10:20:30+02:00", true, "2024-03-05T08:20:30.000Z"},
      {"2024-07-01T12:00:00+02:00", true, "2024-07-01T10:00:00.000Z"},
      {"2024-01-15T07:00:00-05:00", true, "2024-01-15T12:00:00.000Z"},
      {"2024-07-01T00:30:00.250+05:30", true, "2024-06-30T19:00:00.250Z"},
      {"2024-12-31T23:00:00-01:00", true, "2025-01-01T00:00:00.000Z"},
  };
  for (const char* zone : {"UTC", "Europe/Paris", "America/New_York"}) {
    SCOPED_TRACE(zone);
    ScopedTimeZone scoped(zone);
    CheckReads(cases, std::size(cases));
  }
}

TEST(VTimeRfc3339, ReaderWithoutZoneTakesLocalTime) {
  ScopedTimeZone zone("Europe/Paris");
  const ReadCase cases[] = {
      // Summer time read in winter: the offset of that date applies.
      {"2024-07-01T14:00:00", true, "2024-07-01T12:00:00.000Z"},
      {"2024-01-15T13:00:00.5", true, "2024-01-15T12:00:00.500Z"},
      {"2024-07-01", true, "2024-07-01T00:00:00.000Z"},  // short texts are UTC
  };
  CheckReads(cases, std::size(cases));
  VTime t;
  EXPECT_TRUE(t.FromRfc3339String(VString("2024-07-01T00:00:00")));
  EXPECT_EQ(Describe(t), "2024-06-30T22:00:00.000Z");
  // Written with its offset, read back anywhere.
  const VTime summer = Make(2024, 7, 1, 12, 0, 0);
  const std::string written = Rfc3339(summer, 0);
  ScopedTimeZone other("America/New_York");
  VTime back;
  EXPECT_TRUE(back.FromRfc3339String(VString(written.c_str())));
  EXPECT_EQ(back, summer);
}

TEST(VTimeText, XMLForm) {
  ScopedTimeZone zone("UTC");
  VTime t;
  EXPECT_TRUE(t.FromXMLString(VString("!!2024-03-05T10:20:30.400Z!!")));
  EXPECT_EQ(Describe(t), "2024-03-05T10:20:30.400Z");
  EXPECT_TRUE(t.FromXMLString(VString("5!3!2024")));
  EXPECT_EQ(Describe(t), "2024-03-05T00:00:00.000Z");
  EXPECT_FALSE(t.FromXMLString(VString("!!x")));
  VString text;
  Make(2024, 3, 5, 1, 2, 3, 4).GetXMLString(text, VTime::kRfc3339UTC);
  EXPECT_EQ(to_string(text), "2024-03-05T01:02:03.004Z");
}

TEST(VTimeText, NumericParser) {
  struct Case {
    const char* text;
    const char* result;
  } const cases[] = {
      {"5!3!2024", "2024-03-05T00:00:00.000Z"},
      {"2024-03-05 10:20:30", "2024-03-05T10:20:30.000Z"},
      {"2024-03-05 10:20:30:7", "2024-03-05T10:20:30.007Z"},
      {"31!2!2024", "null"},
      {"0!0!0", "0000-00-00T00:00:00.000Z"},
      {"2024!3!5", "null"},  // day-first: day 2024
      {"2024 3 5 !9", "2024-03-05T00:00:00.000Z"},
      {"2024 3 5!9", "null"},  // the run before the "!" is dropped
      {"", "0000-00-00T00:00:00.000Z"},
      {"2024-13-01", "null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    VTime t = Make(1999, 1, 1);
    t.FromString(VString(c.text));
    EXPECT_EQ(Describe(t), c.result);
  }
  VString simple;
  Make(2024, 3, 5).toSimpleDateString(simple);
  EXPECT_EQ(to_string(simple), "5!3!2024");
  VTime null;
  null.SetNull(true);
  null.toSimpleDateString(simple);
  EXPECT_TRUE(simple.IsNull());
}

TEST(VTimeText, Rfc822) {
  VString text;
  Make(2024, 3, 5, 10, 20, 30).GetRfc822String(text);
  EXPECT_EQ(to_string(text), "Tue, 05 Mar 2024 10:20:30 GMT");
  VTime back;
  back.FromRfc822String(text);
  EXPECT_EQ(Describe(back), "2024-03-05T10:20:30.000Z");
  back.FromRfc822String(VString("Sun, 6 Nov 1994 08:49:37 GMT"));
  EXPECT_EQ(Describe(back), "1994-11-06T08:49:37.000Z");
  back.FromRfc822String(VString("6 Foo 1994"));
  EXPECT_EQ(Describe(back), "null");
  back.FromRfc822String(VString(""));
  EXPECT_EQ(Describe(back), "0000-00-00T00:00:00.000Z");
  VTime null;
  null.SetNull(true);
  null.GetRfc822String(text);
  EXPECT_EQ(to_string(text), ", 00  0000 00:00:00 GMT");
}

TEST(VTimeText, CompilerDate) {
  ScopedTimeZone zone("Europe/Paris");
  VTime t;
  t.FromCompilerDateTime("Feb 29 2024", "12:00:00");
  EXPECT_EQ(Describe(t), "2024-02-29T11:00:00.000Z");
  t.FromCompilerDateTime("jul  4 2024", "12:00:00");
  EXPECT_EQ(Describe(t), "2024-07-04T10:00:00.000Z");
  t.FromCompilerDateTime("Xyz 1 2024", "12:00:00");
  EXPECT_TRUE(t.IsNull());
  const std::string longText(300, 'a');
  t.FromCompilerDateTime(longText.c_str(), "12:00:00");
  EXPECT_TRUE(t.IsNull());
}

// The system formats depend on the locale: only their shape is checked.
TEST(VTimeText, SystemFormatsHaveADateAndATime) {
  ScopedTimeZone zone("UTC");
  const VTime t = Make(2024, 3, 5, 10, 20, 30);
  VString text;
  t.GetString(text);
  const std::string s = to_string(text);
  EXPECT_THAT(s, ::testing::ContainsRegex("[0-9].*[0-9] [0-9]{1,2}[^0-9][0-9]{2}"));
  EXPECT_NE(s.find("20"), std::string::npos) << s;
  VString date, time;
  t.FormatByOS(date, time, true);
  EXPECT_FALSE(date.IsEmpty());
  EXPECT_FALSE(time.IsEmpty());
  EXPECT_EQ(to_string(text), to_string(date) + " " + to_string(time));
  VTime null;
  null.SetNull(true);
  null.GetString(text);
  EXPECT_TRUE(text.IsEmpty());
}

// With international settings the system formats come from their locale.
TEST(VTimeText, SystemFormatsFollowTheSettings) {
  ScopedTimeZone zone("America/New_York");
  VIntlMgr* intl = VIntlMgr::Create(1033);
  ASSERT_NE(intl, nullptr);
  test::StProcessIntlSettings settings(intl);
  intl->Release();
  ASSERT_EQ(VTask::GetCurrentIntlManager(), intl);

  const VTime t = Make(2024, 3, 5, 14, 20, 30);
  VString date, time;
  t.FormatByOS(date, time, false);
  EXPECT_NE(to_string(time).find("9:20"), std::string::npos) << to_string(time);
  t.FormatByOS(date, time, true);
  EXPECT_EQ(to_string(date), "3/5/24");
  EXPECT_NE(to_string(time).find("2:20"), std::string::npos) << to_string(time);
  VString text;
  t.GetString(text);
  EXPECT_EQ(to_string(text), to_string(date) + " " + to_string(time));
}

}  // namespace
}  // namespace zeft
