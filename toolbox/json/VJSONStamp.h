// VJSONStamp counts the changes of a whole JSON container; several
// containers may share one.
#pragma once

#include <atomic>

#include "core/IRefCountable.h"
#include "core/VObject.h"

namespace zeft {

class VJSONStamp : public VObject, public IRefCountable {
 public:
  uint32 GetCounter() const { return fCounter.load(std::memory_order_relaxed); }
  void Increment() { fCounter.fetch_add(1, std::memory_order_relaxed); }

 private:
  std::atomic<uint32> fCounter{0};
};

}  // namespace zeft
