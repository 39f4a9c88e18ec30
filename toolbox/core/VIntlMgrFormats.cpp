// The locale side of VIntlMgr: symbols, separators, patterns and date order
// read from the locale, the calendar names, and the toolbox's own pattern
// formatter.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/VIntlMgr.h"

namespace zeft {

namespace {

bool IsQuote(UniChar c) { return c == u'"' || c == u'\''; }

// Below "A", above "z", or one of the six characters between "Z" and "a".
bool IsNonLetter(UniChar c) { return c < u'A' || c > u'z' || (c > u'Z' && c < u'a'); }

// Walks a pattern outside its quoted runs.
template <class Visit>
void ScanPattern(const VString& pattern, Visit visit) {
  const UniChar* p = pattern.GetCPointer();
  int32 length = pattern.GetLength();
  for (int32 i = 0; i < length; ++i) {
    if (IsQuote(p[i])) {
      int32 close = i + 1;
      while (close < length && p[close] != p[i]) ++close;
      i = close;  // on the closing quote, or past the end
      continue;
    }
    visit(p[i]);
  }
}

void AppendNumber(VString& out, int32 width, int64 value) {
  char buffer[1100];
  int written = std::snprintf(buffer, sizeof(buffer), "%0*lld", int(width), (long long)value);
  if (written > 0) out.AppendCString(buffer);
}

// The longest run each pattern letter takes; 0 for letters copied as they
// are, -1 for letters dropped.
int32 MaxRun(UniChar c) {
  switch (c) {
    case u'G':
    case u'M':
    case u'L':
      return 5;
    case u'y':
    case u'Y':
    case u'g':
      return 999;
    case u'd':
    case u'H':
    case u'K':
    case u'h':
    case u'k':
    case u'm':
    case u's':
      return 2;
    case u'D':
      return 3;
    case u'E':
      return 6;
    case u'a':
      return 1;
    case u'A':
    case u'F':
    case u'Q':
    case u'S':
    case u'V':
    case u'W':
    case u'Z':
    case u'c':
    case u'e':
    case u'q':
    case u'u':
    case u'v':
    case u'w':
    case u'z':
      return -1;
    default:
      return 0;
  }
}

void AppendFirstUnits(VString& out, const VString& name, int32 count) {
  out.AppendUniChars(name.GetCPointer(), std::min(count, name.GetLength()));
}

}  // namespace

void VIntlMgr::ScanTimePattern(const VString& pattern, bool& usesAmPm, VString& timeSeparator) {
  ScanPattern(pattern, [&](UniChar c) {
    if (c == u'a') usesAmPm = true;
    if (timeSeparator.IsEmpty() && IsNonLetter(c)) timeSeparator.FromUniChar(c);
  });
}

void VIntlMgr::ScanDatePattern(const VString& pattern, EDateOrder& order, VString& dateSeparator) {
  char seen[4] = {0, 0, 0, 0};
  int32 count = 0;
  ScanPattern(pattern, [&](UniChar c) {
    if ((c == u'M' || c == u'd' || c == u'y') && count < 3 &&
        std::find(seen, seen + count, char(c)) == seen + count)
      seen[count++] = char(c);
    if (dateSeparator.IsEmpty() && IsNonLetter(c)) dateSeparator.FromUniChar(c);
  });
  static const struct {
    const char* text;
    EDateOrder order;
  } kOrders[] = {{"Mdy", kDateOrderMDY}, {"dMy", kDateOrderDMY}, {"yMd", kDateOrderYMD},
                 {"Myd", kDateOrderMYD}, {"dyM", kDateOrderDYM}, {"ydM", kDateOrderYDM}};
  order = kDateOrderMDY;
  for (const auto& entry : kOrders) {
    if (std::strcmp(entry.text, seen) == 0) order = entry.order;
  }
}

void VIntlMgr::_InitLocaleVariables() {
  LocaleConventions conventions;
  if (!fImpl.GetLocaleConventions(conventions)) return;
  fDecimalSeparator = conventions.decimalSeparator;
  fThousandsSeparator = conventions.thousandsSeparator;
  fCurrencySymbol = conventions.currencySymbol;
  fAMString = conventions.amSymbol;
  fPMString = conventions.pmSymbol;
  bool usesAmPm = false;
  fTimeSeparator.Clear();
  ScanTimePattern(conventions.timePatterns[0], usesAmPm, fTimeSeparator);
  fUseAmPm = usesAmPm ? 1 : 0;
  EDateOrder order = kDateOrderMDY;
  fDateSeparator.Clear();
  ScanDatePattern(conventions.datePatterns[0], order, fDateSeparator);
  fDateOrder = order;
  for (int32 i = 0; i < 4; ++i) {
    fDatePatterns[i] = conventions.datePatterns[i];
    fTimePatterns[i] = conventions.timePatterns[i];
  }
}

bool VIntlMgr::GetMonthName(int32 month, bool abbreviated, VString& out) const {
  if (month < 1 || month > 12) {
    out.Clear();
    return false;
  }
  return fImpl.GetMonthName(month, abbreviated, out);
}

bool VIntlMgr::GetWeekDayName(int32 day, bool abbreviated, VString& out) const {
  if (day < 0 || day > 6) {
    out.Clear();
    return false;
  }
  return fImpl.GetWeekDayName(day, abbreviated, out);
}

void VIntlMgr::FormatDateTimeWithPattern(const DateTimeFields& fields, const VString& pattern,
                                         const VString* monthName, VString& result) const {
  VString out;
  const UniChar* p = pattern.GetCPointer();
  int32 length = pattern.GetLength();
  int64 days = XMacIntlMgr::DaysSinceEpoch(fields.year, fields.month, fields.day);
  int32 hour = fields.hour;
  int32 i = 0;
  while (i < length) {
    UniChar c = p[i];
    if (c < u'A' || c > u'z') {
      out.AppendUniChar(c);
      ++i;
      continue;
    }
    int32 maxRun = MaxRun(c);
    if (maxRun < 0) {
      ++i;
      continue;
    }
    if (maxRun == 0) {
      out.AppendUniChar(c);
      ++i;
      continue;
    }
    int32 run = 1;
    while (run < maxRun && i + run < length && p[i + run] == c) ++run;
    i += run;
    switch (c) {
      case u'G':
        out.AppendCString(run <= 3 ? "AD" : run == 4 ? "Anno Domini" : "A");
        break;
      case u'y':
      case u'Y':
        AppendNumber(out, run == 1 ? 0 : run, fields.year);
        break;
      case u'M':
      case u'L':
        if (run <= 2) {
          AppendNumber(out, run, fields.month);
        } else {
          VString name;
          if (monthName != nullptr)
            name = *monthName;
          else if (fields.month >= 1 && fields.month <= 12)
            GetMonthName(fields.month, run == 3, name);
          if (run == 5)
            AppendFirstUnits(out, name, 1);
          else
            out.AppendString(name);
        }
        break;
      case u'd':
        AppendNumber(out, run, fields.day);
        break;
      case u'D':
        AppendNumber(out, run, days - XMacIntlMgr::DaysSinceEpoch(fields.year, 1, 1) + 1);
        break;
      case u'E': {
        // 1970-01-01 was a Thursday; 0 is Sunday.
        int32 weekDay = int32(((days % 7) + 7 + 4) % 7);
        VString name;
        GetWeekDayName(weekDay, run <= 3, name);
        if (run <= 4)
          out.AppendString(name);
        else
          AppendFirstUnits(out, name, run - 4);
        break;
      }
      case u'g':
        // The day number of the time values, in which 1970-01-01 is 2440587.
        AppendNumber(out, run, days + 2440587);
        break;
      case u'H':
        AppendNumber(out, run, hour);
        break;
      case u'K':
        AppendNumber(out, run, hour % 12);
        break;
      case u'h':
        AppendNumber(out, run, hour % 12 == 0 ? 12 : hour % 12);
        break;
      case u'k':
        AppendNumber(out, run, hour == 0 ? 24 : hour);
        break;
      case u'm':
        AppendNumber(out, run, fields.minute);
        break;
      case u's':
        AppendNumber(out, run, fields.second);
        break;
      case u'a':
        out.AppendCString(hour > 11 ? "PM" : "AM");
        break;
      default:
        break;
    }
  }
  result = out;
}

}  // namespace zeft
