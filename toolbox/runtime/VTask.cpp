#include "runtime/VTask.h"

namespace zeft {

VIntlMgr* VTask::GetCurrentIntlManager() {
  // Neither tasks nor a process object carry settings yet: the answer for a
  // thread without a task and without a process object is null.
  return nullptr;
}

}  // namespace zeft
