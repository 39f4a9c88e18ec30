#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>

#include "core/VIntlMgr.h"
#include "values/VDuration.h"
#include "values/VTime.h"

namespace zeft {
namespace {

// Pins the process's time zone for one test.
class StTimeZone {
 public:
  explicit StTimeZone(const char* zone) {
    const char* old = ::getenv("TZ");
    fHad = old != nullptr;
    if (fHad) fOld = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~StTimeZone() {
    if (fHad)
      ::setenv("TZ", fOld.c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }

 private:
  bool fHad = false;
  std::string fOld;
};

const DateTimeFields kMarch5 = {2024, 3, 5, 9, 7, 2, 0};

class VIntlMgrFormats : public ::testing::Test {
 protected:
  std::string Format(const char* pattern, const DateTimeFields& fields = kMarch5,
                     const VString* monthName = nullptr) {
    VString result("stale");
    fIntl.FormatDateTimeWithPattern(fields, VString(pattern), monthName, result);
    return to_string(result);
  }
  VIntlMgr fIntl{1033, VIntlMgr::kKeywordAlphaNumeric};
};

TEST_F(VIntlMgrFormats, PatternLetters) {
  struct Case {
    const char* pattern;
    const char* expected;
  };
  const Case cases[] = {
      {"dd/MM/yyyy HH:mm:ss", "05/03/2024 09:07:02"},
      {"d/M/y H:m:s", "5/3/2024 9:7:2"},
      {"h a", "9 AM"},
      {"aa", "AMAM"},
      {"yy", "2024"},
      {"yyyyyy", "002024"},
      {"Y", "2024"},
      {"G", "AD"},
      {"GGG", "AD"},
      {"GGGG", "Anno Domini"},
      {"GGGGG", "A"},
      {"GGGGGG", "AAD"},  // a sixth letter starts a new run
      {"Q", ""},
      {"AFQSVWZcequvwz", ""},
      {"T", "T"},
      {"Tx", "Tx"},
      {"'ot' HH", "'ot' 09"},  // quotes are ordinary characters
      {"HHH", "099"},
      {"D", "65"},
      {"DDD", "065"},
      {"DDDD", "06565"},
      {"g", "2460374"},
      {"LL", "03"},
      {"", ""},
      {"[dd]", "[05]"},
      {"dd\xE2\x80\xAF"
       "MM",
       "05\xE2\x80\xAF"
       "03"},
  };
  for (const Case& c : cases) EXPECT_EQ(Format(c.pattern), c.expected) << c.pattern;
}

TEST_F(VIntlMgrFormats, HourForms) {
  struct Case {
    int32 hour;
    const char* expected;  // for "H K h k a"
  };
  const Case cases[] = {{0, "0 0 12 24 AM"},
                        {11, "11 11 11 11 AM"},
                        {12, "12 0 12 12 PM"},
                        {13, "13 1 1 13 PM"},
                        {23, "23 11 11 23 PM"}};
  for (const Case& c : cases) {
    DateTimeFields fields = kMarch5;
    fields.hour = c.hour;
    EXPECT_EQ(Format("H K h k a", fields), c.expected) << c.hour;
  }
  DateTimeFields fields = kMarch5;
  fields.hour = 13;
  EXPECT_EQ(Format("hh:mm", fields), "01:07");
}

TEST_F(VIntlMgrFormats, NamesInPatterns) {
  VString march, marchShort, tuesday, tuesdayShort;
  ASSERT_TRUE(fIntl.GetMonthName(3, false, march));
  ASSERT_TRUE(fIntl.GetMonthName(3, true, marchShort));
  ASSERT_TRUE(fIntl.GetWeekDayName(2, false, tuesday));
  ASSERT_TRUE(fIntl.GetWeekDayName(2, true, tuesdayShort));
  ASSERT_GE(tuesday.GetLength(), 2);
  EXPECT_EQ(Format("MMMM"), to_string(march));
  EXPECT_EQ(Format("MMM"), to_string(marchShort));
  EXPECT_EQ(Format("MMMMM"), to_string(march).substr(0, 1));
  EXPECT_EQ(Format("EEEE"), to_string(tuesday));
  EXPECT_EQ(Format("E"), to_string(tuesdayShort));
  EXPECT_EQ(Format("EEE"), to_string(tuesdayShort));
  EXPECT_EQ(Format("EEEEE"), to_string(tuesday).substr(0, 1));
  EXPECT_EQ(Format("EEEEEE"), to_string(tuesday).substr(0, 2));

  VString given("Mars");
  EXPECT_EQ(Format("d MMMM", kMarch5, &given), "5 Mars");
  EXPECT_EQ(Format("MMM", kMarch5, &given), "Mars");
  EXPECT_EQ(Format("MMMMM", kMarch5, &given), "M");

  DateTimeFields bad = kMarch5;
  bad.month = 13;
  EXPECT_EQ(Format("MMMM|MM", bad), "|13");
}

TEST_F(VIntlMgrFormats, CalendarNames) {
  VString name("stale");
  EXPECT_FALSE(fIntl.GetMonthName(0, false, name));
  EXPECT_TRUE(name.IsEmpty());
  name = "stale";
  EXPECT_FALSE(fIntl.GetMonthName(13, true, name));
  EXPECT_TRUE(name.IsEmpty());
  name = "stale";
  EXPECT_FALSE(fIntl.GetWeekDayName(7, false, name));
  EXPECT_TRUE(name.IsEmpty());
  EXPECT_FALSE(fIntl.GetWeekDayName(-1, false, name));
  for (int32 month = 1; month <= 12; ++month) {
    EXPECT_TRUE(fIntl.GetMonthName(month, false, name));
    EXPECT_FALSE(name.IsEmpty());
  }
  for (int32 day = 0; day <= 6; ++day) {
    EXPECT_TRUE(fIntl.GetWeekDayName(day, true, name));
    EXPECT_FALSE(name.IsEmpty());
  }
  // Another language, other names; the locale's calendar is not used for
  // month names (Gregorian everywhere).
  VIntlMgr french(1036, 1);
  VString janvier, january;
  ASSERT_TRUE(french.GetMonthName(1, false, janvier));
  ASSERT_TRUE(fIntl.GetMonthName(1, false, january));
  EXPECT_NE(to_string(janvier), to_string(january));
  VIntlMgr thai(1054, 1);
  VString thaiJanuary, thaiDecember;
  EXPECT_TRUE(thai.GetMonthName(1, false, thaiJanuary));
  EXPECT_TRUE(thai.GetMonthName(12, false, thaiDecember));
  EXPECT_NE(to_string(thaiJanuary), to_string(thaiDecember));
}

TEST(VIntlMgrPatternScans, DateOrderAndSeparator) {
  struct Case {
    const char* pattern;
    EDateOrder order;
    const char* separator;
  };
  const Case cases[] = {
      {"dd.MM.yy", kDateOrderDMY, "."},
      {"y/M/d", kDateOrderYMD, "/"},
      {"M/d/yy", kDateOrderMDY, "/"},
      {"MM-yy-dd", kDateOrderMYD, "-"},
      {"d yy MMM", kDateOrderDYM, " "},
      {"yy.dd.MM", kDateOrderYDM, "."},
      {"'le' d/M/y", kDateOrderDMY, " "},
      {"y'\xE5\xB9\xB4'M'\xE6\x9C\x88'd'\xE6\x97\xA5'", kDateOrderYMD, ""},
      {"yyyy", kDateOrderMDY, ""},
      {"'unclosed dd.MM", kDateOrderMDY, ""},
      {"", kDateOrderMDY, ""},
  };
  for (const Case& c : cases) {
    EDateOrder order = kDateOrderYDM;
    VString separator;
    VIntlMgr::ScanDatePattern(VString(c.pattern), order, separator);
    EXPECT_EQ(order, c.order) << c.pattern;
    EXPECT_EQ(to_string(separator), c.separator) << c.pattern;
  }
}

TEST(VIntlMgrPatternScans, AmPmAndTimeSeparator) {
  struct Case {
    const char* pattern;
    bool amPm;
    const char* separator;
  };
  const Case cases[] = {
      {"h:mm a", true, ":"},    {"HH.mm", false, "."}, {"'h' H:mm", false, " "},
      {"H:mm 'a'", false, ":"}, {"a h:mm", true, " "}, {"\"x:\"HH_mm", false, "_"},
  };
  for (const Case& c : cases) {
    bool amPm = false;
    VString separator;
    VIntlMgr::ScanTimePattern(VString(c.pattern), amPm, separator);
    EXPECT_EQ(amPm, c.amPm) << c.pattern;
    EXPECT_EQ(to_string(separator), c.separator) << c.pattern;
  }
}

TEST_F(VIntlMgrFormats, SystemStyles) {
  StTimeZone zone("Asia/Tokyo");
  VString text;
  fIntl.FormatTime(kMarch5, text, kOSFormatShort, true);
  EXPECT_NE(to_string(text).find("9:07"), std::string::npos) << to_string(text);
  fIntl.FormatTime(kMarch5, text, kOSFormatShort, false);  // 18:07 in Tokyo
  EXPECT_NE(to_string(text).find("6:07"), std::string::npos) << to_string(text);
  fIntl.FormatTime(kMarch5, text, kOSFormatMedium, true);
  EXPECT_NE(to_string(text).find("9:07:02"), std::string::npos) << to_string(text);
  fIntl.FormatDate(kMarch5, text, kOSFormatShort, true);
  EXPECT_EQ(to_string(text), "3/5/24");
  fIntl.FormatDate(kMarch5, text, kOSFormatLong, true);
  EXPECT_NE(to_string(text).find("2024"), std::string::npos) << to_string(text);

  // Style 5: no time style, so nothing of the time is written.
  text = "stale";
  fIntl.FormatTime(kMarch5, text, EOSFormats(5), true);
  EXPECT_TRUE(text.IsEmpty());
  // An unknown date style leaves the text as it was.
  text = "stale";
  fIntl.FormatDate(kMarch5, text, EOSFormats(5), true);
  EXPECT_EQ(to_string(text), "stale");

  VString skeleton("yMMMMd");
  fIntl.GetImpl().FormatDateTimeWithTemplate(kMarch5, text, skeleton, true);
  EXPECT_NE(to_string(text).find("2024"), std::string::npos) << to_string(text);
  EXPECT_NE(to_string(text).find("5"), std::string::npos) << to_string(text);
}

// A duration is not a moment: one hour reads as one hour in every zone.
TEST_F(VIntlMgrFormats, DurationsIgnoreTheTimeZone) {
  std::string texts[3];
  const char* zones[3] = {"America/New_York", "Asia/Kolkata", "UTC"};
  for (int i = 0; i < 3; ++i) {
    StTimeZone zone(zones[i]);
    VString text;
    fIntl.FormatDuration(3600000 + 2 * 60000 + 3000, text, kOSFormatMedium);
    texts[i] = to_string(text);
  }
  EXPECT_NE(texts[0].find("1:02:03"), std::string::npos) << texts[0];
  EXPECT_EQ(texts[0], texts[1]);
  EXPECT_EQ(texts[0], texts[2]);
  VString text("stale");
  fIntl.FormatDuration(3600000, text, EOSFormats(9));
  EXPECT_TRUE(text.IsEmpty());
  fIntl.FormatDuration(-3600000, text, kOSFormatMedium);
  EXPECT_NE(to_string(text).find("1:00:00"), std::string::npos) << to_string(text);
}

// Day of the year, weekday and day number follow the calendar rules of the
// time values.
TEST_F(VIntlMgrFormats, CalendarFieldsAgreeWithTimeValues) {
  const DateTimeFields dates[] = {{1970, 1, 1}, {1969, 12, 31}, {2000, 2, 29}, {2024, 12, 31},
                                  {1600, 3, 1}, {1, 1, 1},      {2100, 3, 1}};
  for (const DateTimeFields& d : dates) {
    VString weekDay;
    ASSERT_TRUE(
        fIntl.GetWeekDayName(VTime::ComputeWeekDay(d.year, d.month, d.day), false, weekDay));
    std::string expected = std::to_string(VTime::ComputeYearDay(d.year, d.month, d.day)) + "|" +
                           to_string(weekDay) + "|" +
                           std::to_string(VTime::ComputeJulianDay(d.year, d.month, d.day));
    EXPECT_EQ(Format("D|EEEE|g", d), expected) << d.year << "-" << d.month << "-" << d.day;
  }
}

TEST_F(VIntlMgrFormats, TimeValues) {
  StTimeZone zone("Asia/Tokyo");
  VTime time;
  time.FromUTCTime(2024, 3, 5, 9, 7, 2, 0);
  VString text;
  fIntl.FormatDateTimeWithPattern(time, VString("yyyy-MM-dd HH:mm"), true, nullptr, text);
  EXPECT_EQ(to_string(text), "2024-03-05 09:07");
  fIntl.FormatDateTimeWithPattern(time, VString("yyyy-MM-dd HH:mm"), false, nullptr, text);
  EXPECT_EQ(to_string(text), "2024-03-05 18:07");
  fIntl.FormatDate(time, text, kOSFormatShort, true);
  EXPECT_EQ(to_string(text), "3/5/24");
  fIntl.FormatTime(time, text, kOSFormatShort, false);
  EXPECT_NE(to_string(text).find("6:07"), std::string::npos) << to_string(text);
  VTime null;
  null.SetNull(true);
  text = "stale";
  fIntl.FormatDate(null, text, kOSFormatShort, true);
  EXPECT_TRUE(text.IsEmpty());

  VDuration hour(3600000);
  fIntl.FormatDuration(hour, text, kOSFormatMedium);
  EXPECT_NE(to_string(text).find("1:00:00"), std::string::npos) << to_string(text);
}

}  // namespace
}  // namespace zeft
