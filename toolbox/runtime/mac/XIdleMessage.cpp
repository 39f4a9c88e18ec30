#include "runtime/mac/XIdleMessage.h"

#include "runtime/IIdleable.h"
#include "runtime/VTask.h"

namespace zeft {

void XIdleMessage::DoExecute() {
  if (fIdler == nullptr || !fIdler->IsIdling()) return;  // the chain ends
  fIdler->DoIdle();
  VTask* task = VTask::GetCurrent();
  if (task == nullptr) return;
  auto* next = new XIdleMessage(fIdler);
  next->PostTo(task, false, 16);
  next->Release();
}

}  // namespace zeft
