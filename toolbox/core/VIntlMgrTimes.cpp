// The formats of VIntlMgr for time and duration values.
#include "core/VIntlMgr.h"
#include "values/VDuration.h"
#include "values/VTime.h"

namespace zeft {

namespace {

DateTimeFields FieldsOf(const VTime& time, bool useUTC) {
  int16 f[7];
  if (useUTC)
    time.GetUTCTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
  else
    time.GetLocalTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
  return DateTimeFields{f[0], f[1], f[2], f[3], f[4], f[5], f[6]};
}

}  // namespace

void VIntlMgr::FormatDate(const VTime& time, VString& out, EOSFormats style, bool useUTC) const {
  if (time.IsNull()) {
    out.Clear();
    return;
  }
  fImpl.FormatDate(FieldsOf(time, true), out, style, useUTC);
}

void VIntlMgr::FormatTime(const VTime& time, VString& out, EOSFormats style, bool useUTC) const {
  if (time.IsNull()) {
    out.Clear();
    return;
  }
  fImpl.FormatTime(FieldsOf(time, true), out, style, useUTC);
}

void VIntlMgr::FormatDuration(const VDuration& duration, VString& out, EOSFormats style) const {
  if (duration.IsNull()) {
    out.Clear();
    return;
  }
  fImpl.FormatDuration(duration.ConvertToMilliseconds(), out, style);
}

void VIntlMgr::FormatDateTimeWithPattern(const VTime& time, const VString& pattern, bool useUTC,
                                         const VString* monthName, VString& result) const {
  FormatDateTimeWithPattern(FieldsOf(time, useUTC), pattern, monthName, result);
}

}  // namespace zeft
