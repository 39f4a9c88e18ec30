// IProgressInfoCollector describes the sub-operations of a progress session
// when another task asks for a snapshot of the indicator.
#pragma once

namespace zeft {

class VJSONObject;
class VProgressIndicator;

class IProgressInfoCollector {
 public:
  virtual ~IProgressInfoCollector() = default;
  // A retained object, or null. `outermost` is true for the outermost
  // session being collected.
  virtual VJSONObject* CollectInfo(VProgressIndicator* indicator, bool outermost) = 0;
};

}  // namespace zeft
