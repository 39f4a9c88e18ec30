// ILogListener is a log destination. The process logger hands it every
// batch of queued records, oldest first, on its "Logger" task while holding
// its own lock; a listener that keeps a record beyond the call retains it.
#pragma once

#include <vector>

#include "core/IRefCountable.h"

namespace zeft {

class VValueBag;

class ILogListener : public IRefCountable {
 public:
  virtual void Put(std::vector<const VValueBag*>& records) = 0;
};

}  // namespace zeft
