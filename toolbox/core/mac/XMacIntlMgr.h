// XMacIntlMgr is the platform part of the international settings (VIntlMgr):
// the ICU locale of one dialect, date and time formatting with the locale's
// styles, the calendar names, the locale's symbols and patterns, case
// conversion, and the factory of platform text converters.
#pragma once

#include <string>
#include <vector>

#include "core/CharSet.h"
#include "core/DialectCode.h"
#include "core/VString.h"
#include "core/VTypes.h"

namespace zeft {

class VToUnicodeConverter;
class VFromUnicodeConverter;

// A system date or time style.
enum EOSFormats : int32 {
  kOSFormatShort = 0,
  kOSFormatMedium = 1,
  kOSFormatLong = 2,
};

// The styles of the platform's date formatter.
enum EDateFormatterStyle : int32 {
  kDateFormatterNoStyle = 0,
  kDateFormatterShortStyle = 1,
  kDateFormatterMediumStyle = 2,
  kDateFormatterLongStyle = 3,
  kDateFormatterFullStyle = 4,
};

// A date and a time of day broken into fields, as a time value hands them
// out (month 1 to 12, day 1 to 31, hour 0 to 23).
struct DateTimeFields {
  int32 year = 0;
  int32 month = 0;
  int32 day = 0;
  int32 hour = 0;
  int32 minute = 0;
  int32 second = 0;
  int32 millisecond = 0;
};

// The symbols and patterns a manager reads from its locale when created.
struct LocaleConventions {
  VString amSymbol;
  VString pmSymbol;
  VString decimalSeparator;
  VString thousandsSeparator;
  VString currencySymbol;
  VString datePatterns[4];  // short, medium, long, full
  VString timePatterns[4];
};

class XMacIntlMgr {
 public:
  explicit XMacIntlMgr(DialectCode dialect);
  // Copies only the dialect: the locale and the names are loaded again.
  XMacIntlMgr(const XMacIntlMgr& other);
  XMacIntlMgr& operator=(const XMacIntlMgr&) = delete;
  virtual ~XMacIntlMgr();

  DialectCode GetDialectCode() const { return fDialect; }

  // The ICU locale id used for the dialect, chosen on first use: the user's
  // own locale when the dialect is the system's and the languages agree,
  // else the locale of the dialect's BCP 47 tag.
  const std::string& GetLocaleID() const;
  // A locale id for the dialect's BCP 47 tag ("" when it has none).
  static std::string CreateLocaleID(DialectCode dialect);

  // The locale's texts of a UTC date and time in a system style (date:
  // short, medium, full; time: short, medium, long). Any other style leaves
  // `out` unchanged (date) or formats no time (time). With `utc` the text
  // is for GMT, otherwise for the system's time zone.
  void FormatDate(const DateTimeFields& utc, VString& out, EOSFormats style, bool useUTC) const;
  void FormatTime(const DateTimeFields& utc, VString& out, EOSFormats style, bool useUTC) const;
  // A duration of `milliseconds` as a time of day in the time style of
  // FormatTime; always in GMT, so an hour shows as one hour in every zone.
  void FormatDuration(int64 milliseconds, VString& out, EOSFormats style) const;

  // The text of a UTC date and time with the formatter's own styles, or
  // with the locale's best pattern for a skeleton ("yMMMd"). `out` is
  // cleared first and stays empty when no formatter can be made.
  void FormatDateTime(const DateTimeFields& utc, VString& out, EDateFormatterStyle dateStyle,
                      EDateFormatterStyle timeStyle, bool useUTC) const;
  void FormatDateTimeWithTemplate(const DateTimeFields& utc, VString& out, const VString& skeleton,
                                  bool useUTC) const;

  // Calendar names: month 1 to 12, weekday 0 (Sunday) to 6. False when the
  // names cannot be loaded or the index is outside the list.
  bool GetMonthName(int32 month, bool abbreviated, VString& out) const;
  bool GetWeekDayName(int32 day, bool abbreviated, VString& out) const;
  // Loads the missing name lists; true when all four exist.
  bool LoadCalendarSymbols() const;

  // The symbols and the eight date and time patterns of the locale; false
  // when the locale cannot be opened (nothing set then).
  bool GetLocaleConventions(LocaleConventions& out) const;

  // Converts `count` units to upper or lower case (no locale) into
  // `target`, which has room for `ioCount` units; at most that many are
  // written and `ioCount` becomes the length of the whole result. True
  // when the source was empty or the result is not.
  static bool ToUpperLowerCase(const UniChar* source, int32 count, UniChar* target, int32& ioCount,
                               bool upper);

  // Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
  static int64 DaysSinceEpoch(int64 year, int64 month, int64 day);

  // Platform converters (ICU) for the character sets the built-in ones do
  // not serve; null when the set has none.
  static VToUnicodeConverter* NewToUnicodeConverter(CharSet set);
  static VFromUnicodeConverter* NewFromUnicodeConverter(CharSet set);

 private:
  DialectCode fDialect;
  mutable std::string fLocaleID;
  mutable bool fLocaleResolved = false;
  // Weekday names, month names, short weekday names, short month names.
  mutable std::vector<VString> fNames[4];
};

}  // namespace zeft
