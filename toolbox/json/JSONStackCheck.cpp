#include "json/JSONStackCheck.h"

#include "runtime/VErrorThrow.h"
#include "runtime/VTaskMgr.h"

namespace zeft {

bool JSONHasStackRoomSilently() {
  if (!VTaskMgr::IsInited()) return true;
  return VTaskMgr::sInstance->GetCurrentFreeStackSize() >= kJSONMinimumFreeStack;
}

bool JSONHasStackRoom() {
  if (JSONHasStackRoomSilently()) return true;
  _ThrowError(ToolboxError(toolbox_error::kBufferTooLong));
  return false;
}

}  // namespace zeft
