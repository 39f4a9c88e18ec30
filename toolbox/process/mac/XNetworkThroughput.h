// XNetworkThroughput turns successive totals of bytes received and sent
// into rates: each sample is compared with the previous one, which starts
// as the zero date with nothing counted.
#pragma once

#include <vector>

#include "core/VTypes.h"

namespace zeft {

class XNetworkThroughput {
 public:
  // `nowMs` is the time of the totals in milliseconds since the zero date.
  // Appends bytes per second received, then sent, since the previous sample
  // and returns true; appends nothing when no time has passed (or the clock
  // went back) or a total went back (a counter wrapped, an interface went
  // away). The sample then becomes the previous one.
  bool Sample(int64 nowMs, double received, double sent, std::vector<double>& rates);

 private:
  int64 fPreviousMs = 0;
  double fReceived = 0;
  double fSent = 0;
};

}  // namespace zeft
