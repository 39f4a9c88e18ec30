// XMacTask_fiber is the platform task of a fiber task (fibered mode only):
// the task runs on a fiber that gets its thread when the task runs.
#pragma once

#include <atomic>

#include "runtime/mac/XMacTask.h"

namespace zeft {

class XMacTask_fiber : public XMacTask {
 public:
  explicit XMacTask_fiber(VTask* task) : XMacTask(task) {}
  ~XMacTask_fiber() override = default;

  // Creates the fiber and runs the task on it until it yields back.
  bool Run() override;
  void WakeUp() override;
  void Freeze() override;
  void Sleep(int32 milliseconds) override;
  bool CheckSystemMessages() override { return false; }
  [[noreturn]] void Exit(VTask* owner) override;

 private:
  static void _ThreadProc(void* data);

  alignas(std::atomic_ref<int32>::required_alignment) int32 fWakeCounter = 0;
};

}  // namespace zeft
