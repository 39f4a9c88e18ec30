// The JSON value form of durations: seconds (or milliseconds) as a number,
// or "h:mm:ss" as a string.
#include <cstdio>

#include "core/VString.h"
#include "json/VJSONValue.h"
#include "values/VDuration.h"

namespace zeft {

VError VDuration::GetJSONValue(VJSONValue& json, uint32 options) const {
  if (IsNull()) {
    json.SetNull();
  } else if ((options & kJSONColonForm) != 0) {
    // Hours are not wrapped at a day. A negative span is written as its
    // size behind a "-": padding each negative part would give "0:00:0-1".
    const bool negative = fMilliseconds < 0;
    const unsigned long long count =
        negative ? 0ull - (unsigned long long)(fMilliseconds) : (unsigned long long)(fMilliseconds);
    char text[64];
    std::snprintf(text, sizeof(text), "%s%llu:%02llu:%02llu", negative ? "-" : "", count / 3600000,
                  (count / 60000) % 60, (count / 1000) % 60);
    json.SetString(VString(text));
  } else if ((options & kJSONMilliseconds) != 0) {
    json.SetNumber(double(fMilliseconds));
  } else {
    json.SetNumber(double(fMilliseconds) / 1000.0);
  }
  return VE_OK;
}

VError VDuration::FromJSONValue(const VJSONValue& json) {
  if (json.IsNull()) {
    SetNull(true);
  } else {
    FromReal(json.GetNumber());  // seconds, truncated to milliseconds
  }
  return VE_OK;
}

}  // namespace zeft
