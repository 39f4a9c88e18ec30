// Feeds arbitrary text to the time and duration text readers (the first
// byte picks which). What reads is written and read back to the same
// value: a time through its UTC form (and its offset form when it has a
// date), a duration through its ISO 8601 form.
#include <cstdio>

#include "FuzzSupport.h"
#include "core/CharSet.h"
#include "values/VDuration.h"
#include "values/VTime.h"

namespace {

using zeft::VString;
using zeft::fuzz::Require;

void CheckTime(const VString& text) {
  zeft::VTime time;
  if (!time.FromXMLString(text) || time.IsNull()) return;
  zeft::int16 year, month, day, hour, minute, second, millisecond;
  time.GetUTCTime(year, month, day, hour, minute, second, millisecond);
  const bool hasDate = year != 0 || month != 0 || day != 0;
  // A time of day alone is written with two digits of hours.
  if (!hasDate && hour >= 100) return;
  VString written;
  time.GetRfc3339String(written, zeft::VTime::kRfc3339UTC);
  zeft::VTime back;
  // Years beyond four digits have no text form: they are written null.
  if (year < 0 || year > 9999) {
    Require(back.FromRfc3339String(written) && back.IsNull());
    return;
  }
  if (!back.FromRfc3339String(written) || back != time) {
    std::fprintf(stderr, "\"%s\" wrote \"%s\"\n", zeft::to_string(text).c_str(),
                 zeft::to_string(written).c_str());
    std::abort();
  }
  // The offset form carries no milliseconds; local years next to the ends
  // of the range may leave it.
  if (!hasDate || year <= 1 || year >= 9998) return;
  zeft::VTime whole(time);
  whole.AddMilliseconds(-millisecond);
  whole.GetRfc3339String(written, 0);
  Require(back.FromRfc3339String(written));
  Require(back == whole);
}

void CheckDuration(const VString& text) {
  // Every text reads, and leaves a duration that is not null.
  zeft::VDuration duration;
  duration.SetNull(true);
  Require(duration.FromXMLString(text));
  Require(!duration.IsNull());
  // The ISO form counts days in 32 bits.
  const zeft::int64 count = duration.ConvertToMilliseconds();
  if (count / zeft::VDuration::kMillisecondsPerDay > INT32_MAX ||
      count / zeft::VDuration::kMillisecondsPerDay < INT32_MIN + 1) {
    return;
  }
  VString written;
  duration.GetXMLString(written, zeft::VDuration::kXMLOptionISO8601);
  zeft::VDuration back;
  Require(back.FromXMLString(written));
  Require(back.ConvertToMilliseconds() == count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 300) return 0;
  const VString text(data + 1, size - 1, zeft::kCharSetUTF8);
  if ((data[0] & 1) == 0) {
    CheckTime(text);
  } else {
    CheckDuration(text);
  }
  return 0;
}
