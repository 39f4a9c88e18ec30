#include "process/mac/XNetworkThroughput.h"

namespace zeft {

bool XNetworkThroughput::Sample(int64 nowMs, double received, double sent,
                                std::vector<double>& rates) {
  const int64 elapsed = nowMs - fPreviousMs;
  const bool appended = elapsed > 0 && received >= fReceived && sent >= fSent;
  if (appended) {
    rates.push_back((received - fReceived) / double(elapsed) * 1000.0);
    rates.push_back((sent - fSent) / double(elapsed) * 1000.0);
  }
  fPreviousMs = nowMs;
  fReceived = received;
  fSent = sent;
  return appended;
}

}  // namespace zeft
