#include "core/mac/XMacIntlMgr.h"

#include <unicode/udat.h>
#include <unicode/udatpg.h>
#include <unicode/uloc.h>
#include <unicode/unum.h>
#include <unicode/ustring.h>

#include <strings.h>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/VIntlMgr.h"
#include "platform/Clock.h"
#include "platform/Locale.h"

namespace zeft {

namespace {

// Locale used when a dialect has no tag ICU can read.
constexpr const char* kFallbackLocale = "en_US";

const UChar kGMT[] = {u'G', u'M', u'T', 0};

struct CloseDateFormat {
  void operator()(UDateFormat* format) const { udat_close(format); }
};
using DateFormatPtr = std::unique_ptr<UDateFormat, CloseDateFormat>;

struct CloseNumberFormat {
  void operator()(UNumberFormat* format) const { unum_close(format); }
};
using NumberFormatPtr = std::unique_ptr<UNumberFormat, CloseNumberFormat>;

UDateFormatStyle ToICUStyle(EDateFormatterStyle style) {
  switch (style) {
    case kDateFormatterShortStyle:
      return UDAT_SHORT;
    case kDateFormatterMediumStyle:
      return UDAT_MEDIUM;
    case kDateFormatterLongStyle:
      return UDAT_LONG;
    case kDateFormatterFullStyle:
      return UDAT_FULL;
    default:
      return UDAT_NONE;
  }
}

// Dates are Gregorian whatever the locale's own calendar: the toolbox's
// times and the pattern formatter count in it.
std::string GregorianLocale(const std::string& localeID) {
  char buffer[ULOC_FULLNAME_CAPACITY + 32];
  std::string base = localeID.empty() ? std::string(kFallbackLocale) : localeID;
  if (base.size() >= ULOC_FULLNAME_CAPACITY) base = kFallbackLocale;
  std::memcpy(buffer, base.c_str(), base.size() + 1);
  UErrorCode status = U_ZERO_ERROR;
  uloc_setKeywordValue("calendar", "gregorian", buffer, sizeof(buffer), &status);
  return U_SUCCESS(status) ? std::string(buffer) : base;
}

// A formatter with the given styles (both none: with an empty pattern),
// in GMT or the system's zone.
DateFormatPtr OpenDateFormat(const std::string& localeID, EDateFormatterStyle dateStyle,
                             EDateFormatterStyle timeStyle, bool useUTC) {
  if (!useUTC) platform::SyncDefaultTimeZone();
  std::string locale = GregorianLocale(localeID);
  UErrorCode status = U_ZERO_ERROR;
  UDateFormat* format;
  if (dateStyle == kDateFormatterNoStyle && timeStyle == kDateFormatterNoStyle) {
    const UChar empty[] = {0};
    format = udat_open(UDAT_PATTERN, UDAT_PATTERN, locale.c_str(), useUTC ? kGMT : nullptr,
                       useUTC ? 3 : 0, empty, 0, &status);
  } else {
    format = udat_open(ToICUStyle(timeStyle), ToICUStyle(dateStyle), locale.c_str(),
                       useUTC ? kGMT : nullptr, useUTC ? 3 : 0, nullptr, 0, &status);
  }
  if (U_FAILURE(status)) {
    if (format != nullptr) udat_close(format);
    return nullptr;
  }
  return DateFormatPtr(format);
}

UDate ToUDate(const DateTimeFields& utc) {
  int64 days = XMacIntlMgr::DaysSinceEpoch(utc.year, utc.month, utc.day);
  int64 ms = ((int64(utc.hour) * 60 + utc.minute) * 60 + utc.second) * 1000 + utc.millisecond;
  return UDate(days * 86400000 + ms);
}

// Reads an ICU text with a size query first.
template <class Fill>
bool ReadICUText(VString& out, Fill fill) {
  UniChar buffer[256];
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = fill(reinterpret_cast<UChar*>(buffer), 256, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR && length > 0) {
    std::u16string big(size_t(length) + 1, u'\0');
    status = U_ZERO_ERROR;
    length = fill(reinterpret_cast<UChar*>(big.data()), length + 1, &status);
    if (U_FAILURE(status)) return false;
    out.FromUniString(big.data(), length);
    return true;
  }
  if (U_FAILURE(status) || length < 0) return false;
  out.FromUniString(buffer, length);
  return true;
}

void Format(UDateFormat* format, UDate date, VString& out) {
  if (format == nullptr) return;
  ReadICUText(out, [&](UChar* buffer, int32_t size, UErrorCode* status) {
    return udat_format(format, date, buffer, size, nullptr, status);
  });
}

bool ReadSymbols(UDateFormat* format, UDateFormatSymbolType type, int32 first,
                 std::vector<VString>& names) {
  int32 count = udat_countSymbols(format, type);
  std::vector<VString> read;
  for (int32 i = first; i < count; ++i) {
    VString name;
    if (!ReadICUText(name, [&](UChar* buffer, int32_t size, UErrorCode* status) {
          return udat_getSymbols(format, type, i, buffer, size, status);
        }))
      return false;
    read.push_back(name);
  }
  if (read.empty()) return false;
  names.swap(read);
  return true;
}

}  // namespace

int64 XMacIntlMgr::DaysSinceEpoch(int64 year, int64 month, int64 day) {
  return platform::DaysSinceEpoch(year, month, day);
}

XMacIntlMgr::XMacIntlMgr(DialectCode dialect) : fDialect(dialect) {}

XMacIntlMgr::XMacIntlMgr(const XMacIntlMgr& other) : fDialect(other.fDialect) {}

XMacIntlMgr::~XMacIntlMgr() = default;

std::string XMacIntlMgr::CreateLocaleID(DialectCode dialect) {
  VString tag;
  if (!VIntlMgr::GetBCP47LanguageCode(dialect, tag)) return std::string();
  return platform::LocaleIDFromLanguageTag(to_string(tag));
}

const std::string& XMacIntlMgr::GetLocaleID() const {
  if (fLocaleResolved) return fLocaleID;
  std::string locale;
  if (fDialect == VIntlMgr::ResolveDialectCode(kDialectSystem)) {
    // The user's own locale keeps its region's conventions when it speaks
    // the dialect's language.
    std::vector<std::string> languages = platform::GetPreferredLanguages();
    if (!languages.empty()) {
      std::string current = platform::LocaleIDFromLanguageTag(languages.front());
      const char* language = VIntlMgr::GetISO6391LanguageCode(fDialect);
      if (!current.empty() && language != nullptr &&
          strcasecmp(platform::LanguageOfLocaleID(current).c_str(), language) == 0)
        locale = current;
    }
  }
  if (locale.empty()) locale = CreateLocaleID(fDialect);
  if (locale.empty()) locale = kFallbackLocale;
  fLocaleID = locale;
  fLocaleResolved = true;
  return fLocaleID;
}

void XMacIntlMgr::FormatDateTime(const DateTimeFields& utc, VString& out,
                                 EDateFormatterStyle dateStyle, EDateFormatterStyle timeStyle,
                                 bool useUTC) const {
  out.Clear();
  // Neither a date nor a time asked for: nothing to write.
  if (dateStyle == kDateFormatterNoStyle && timeStyle == kDateFormatterNoStyle) return;
  DateFormatPtr format = OpenDateFormat(GetLocaleID(), dateStyle, timeStyle, useUTC);
  Format(format.get(), ToUDate(utc), out);
}

void XMacIntlMgr::FormatDateTimeWithTemplate(const DateTimeFields& utc, VString& out,
                                             const VString& skeleton, bool useUTC) const {
  out.Clear();
  DateFormatPtr format =
      OpenDateFormat(GetLocaleID(), kDateFormatterNoStyle, kDateFormatterNoStyle, useUTC);
  if (format == nullptr || skeleton.IsEmpty()) return;
  UErrorCode status = U_ZERO_ERROR;
  UDateTimePatternGenerator* generator =
      udatpg_open(GregorianLocale(GetLocaleID()).c_str(), &status);
  if (U_FAILURE(status)) return;
  VString pattern;
  bool made = ReadICUText(pattern, [&](UChar* buffer, int32_t size, UErrorCode* st) {
    return udatpg_getBestPattern(generator, reinterpret_cast<const UChar*>(skeleton.GetCPointer()),
                                 skeleton.GetLength(), buffer, size, st);
  });
  udatpg_close(generator);
  if (!made || pattern.IsEmpty()) return;
  udat_applyPattern(format.get(), false, reinterpret_cast<const UChar*>(pattern.GetCPointer()),
                    pattern.GetLength());
  Format(format.get(), ToUDate(utc), out);
}

void XMacIntlMgr::FormatDate(const DateTimeFields& utc, VString& out, EOSFormats style,
                             bool useUTC) const {
  EDateFormatterStyle dateStyle;
  switch (style) {
    case kOSFormatShort:
      dateStyle = kDateFormatterShortStyle;
      break;
    case kOSFormatMedium:
      dateStyle = kDateFormatterMediumStyle;
      break;
    case kOSFormatLong:
      dateStyle = kDateFormatterFullStyle;
      break;
    default:
      return;
  }
  FormatDateTime(utc, out, dateStyle, kDateFormatterNoStyle, useUTC);
}

namespace {

EDateFormatterStyle TimeStyleOf(EOSFormats style) {
  switch (style) {
    case kOSFormatShort:
      return kDateFormatterShortStyle;
    case kOSFormatMedium:
      return kDateFormatterMediumStyle;
    case kOSFormatLong:
      return kDateFormatterLongStyle;
    default:
      return kDateFormatterNoStyle;
  }
}

}  // namespace

void XMacIntlMgr::FormatTime(const DateTimeFields& utc, VString& out, EOSFormats style,
                             bool useUTC) const {
  FormatDateTime(utc, out, kDateFormatterNoStyle, TimeStyleOf(style), useUTC);
}

void XMacIntlMgr::FormatDuration(int64 milliseconds, VString& out, EOSFormats style) const {
  out.Clear();
  EDateFormatterStyle timeStyle = TimeStyleOf(style);
  if (timeStyle == kDateFormatterNoStyle) return;
  // A duration has no zone: formatted in GMT it reads the same everywhere.
  DateFormatPtr format = OpenDateFormat(GetLocaleID(), kDateFormatterNoStyle, timeStyle, true);
  uint64 magnitude = milliseconds < 0 ? uint64(0) - uint64(milliseconds) : uint64(milliseconds);
  // Only the time of day shows; whole days drop out as they would from a date.
  Format(format.get(), UDate(magnitude % 86400000u), out);
}

bool XMacIntlMgr::LoadCalendarSymbols() const {
  bool complete = true;
  for (const std::vector<VString>& names : fNames) complete = complete && !names.empty();
  if (complete) return true;
  DateFormatPtr format =
      OpenDateFormat(GetLocaleID(), kDateFormatterNoStyle, kDateFormatterNoStyle, true);
  if (format == nullptr) return false;
  // ICU's weekday lists start with an empty entry before Sunday.
  const struct {
    UDateFormatSymbolType type;
    int32 first;
  } kLists[4] = {
      {UDAT_WEEKDAYS, 1}, {UDAT_MONTHS, 0}, {UDAT_SHORT_WEEKDAYS, 1}, {UDAT_SHORT_MONTHS, 0}};
  complete = true;
  for (int32 i = 0; i < 4; ++i) {
    if (fNames[i].empty()) ReadSymbols(format.get(), kLists[i].type, kLists[i].first, fNames[i]);
    complete = complete && !fNames[i].empty();
  }
  return complete;
}

bool XMacIntlMgr::GetMonthName(int32 month, bool abbreviated, VString& out) const {
  if (!LoadCalendarSymbols()) return false;
  const std::vector<VString>& names = fNames[abbreviated ? 3 : 1];
  if (month < 1 || size_t(month) > names.size()) return false;
  out = names[size_t(month) - 1];
  return true;
}

bool XMacIntlMgr::GetWeekDayName(int32 day, bool abbreviated, VString& out) const {
  if (!LoadCalendarSymbols()) return false;
  const std::vector<VString>& names = fNames[abbreviated ? 2 : 0];
  if (day < 0 || size_t(day) >= names.size()) return false;
  out = names[size_t(day)];
  return true;
}

bool XMacIntlMgr::GetLocaleConventions(LocaleConventions& out) const {
  const std::string& locale = GetLocaleID();
  UErrorCode status = U_ZERO_ERROR;
  NumberFormatPtr numbers(unum_open(UNUM_DECIMAL, nullptr, 0, locale.c_str(), nullptr, &status));
  if (U_FAILURE(status) || numbers == nullptr) return false;
  auto symbol = [&](UNumberFormatSymbol which, VString& text) {
    ReadICUText(text, [&](UChar* buffer, int32_t size, UErrorCode* st) {
      return unum_getSymbol(numbers.get(), which, buffer, size, st);
    });
  };
  symbol(UNUM_DECIMAL_SEPARATOR_SYMBOL, out.decimalSeparator);
  symbol(UNUM_GROUPING_SEPARATOR_SYMBOL, out.thousandsSeparator);
  symbol(UNUM_CURRENCY_SYMBOL, out.currencySymbol);
  // A locale without a region has only the generic currency sign.
  if (out.currencySymbol.GetLength() == 1 && out.currencySymbol.GetUniChar(1) == 0x00A4)
    out.currencySymbol.FromUniChar(0x20AC);

  auto pattern = [&](EDateFormatterStyle dateStyle, EDateFormatterStyle timeStyle, VString& text) {
    DateFormatPtr format = OpenDateFormat(locale, dateStyle, timeStyle, true);
    if (format == nullptr) return;
    ReadICUText(text, [&](UChar* buffer, int32_t size, UErrorCode* st) {
      return udat_toPattern(format.get(), false, buffer, size, st);
    });
  };
  DateFormatPtr shortTime =
      OpenDateFormat(locale, kDateFormatterNoStyle, kDateFormatterShortStyle, true);
  if (shortTime != nullptr) {
    for (int32 i = 0; i < 2; ++i) {
      ReadICUText(i == 0 ? out.amSymbol : out.pmSymbol,
                  [&](UChar* buffer, int32_t size, UErrorCode* st) {
                    return udat_getSymbols(shortTime.get(), UDAT_AM_PMS, i, buffer, size, st);
                  });
    }
  }
  const EDateFormatterStyle kStyles[4] = {kDateFormatterShortStyle, kDateFormatterMediumStyle,
                                          kDateFormatterLongStyle, kDateFormatterFullStyle};
  for (int32 i = 0; i < 4; ++i) {
    pattern(kDateFormatterNoStyle, kStyles[i], out.timePatterns[i]);
    pattern(kStyles[i], kDateFormatterNoStyle, out.datePatterns[i]);
  }
  return true;
}

bool XMacIntlMgr::ToUpperLowerCase(const UniChar* source, int32 count, UniChar* target,
                                   int32& ioCount, bool upper) {
  if (count <= 0) {
    ioCount = 0;
    return true;
  }
  int32 room = ioCount < 0 ? 0 : ioCount;
  auto convert = [&](UChar* dest, int32_t capacity, UErrorCode* status) {
    const UChar* src = reinterpret_cast<const UChar*>(source);
    return upper ? u_strToUpper(dest, capacity, src, count, "", status)
                 : u_strToLower(dest, capacity, src, count, "", status);
  };
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = convert(reinterpret_cast<UChar*>(target), room, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR && length > room) {
    // ICU leaves the target undefined when it is short: convert in full and
    // hand back what fits.
    std::u16string full(size_t(length), u'\0');
    status = U_ZERO_ERROR;
    length = convert(reinterpret_cast<UChar*>(full.data()), length, &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) return false;
    std::memcpy(target, full.data(), size_t(room) * sizeof(UniChar));
  } else if (U_FAILURE(status)) {
    return false;
  }
  ioCount = length;
  return length > 0;
}

}  // namespace zeft
