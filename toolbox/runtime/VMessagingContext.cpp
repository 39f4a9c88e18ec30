#include "runtime/VMessagingContext.h"

#include "runtime/VTaskMgr.h"

namespace zeft {

VMessagingContext::VMessagingContext(IMessageable* target)
    : fTarget(target), fTaskID(VTaskMgr::GetCurrentTaskID()) {}

int32 VMessagingContext::GetMessagingTask() const {
  return GetTarget() != nullptr ? fTaskID.load(std::memory_order_acquire) : 0;
}

}  // namespace zeft
