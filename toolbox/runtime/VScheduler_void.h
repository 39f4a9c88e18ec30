// VScheduler_void is the default fiber scheduler: every operation returns at
// once, so fiber waits poll and nothing takes over a fiber's start.
#pragma once

#include "core/VObject.h"
#include "runtime/IFiberScheduler.h"

namespace zeft {

class VScheduler_void : public VObject, public IFiberScheduler {
 public:
  VScheduler_void() = default;

  void Yield() override {}
  void YieldNow() override {}
  void WaitFlag(int32*, int32) override {}
  void WaitFlagWithTimeout(int32*, int32, int32) override {}
  void SetSystemEventPolling(bool) override {}
  bool WithSystemEventPolling() override { return true; }
  void PollAndExecuteUpdateEvent() override {}
  void SetDirectUpdate(bool) override {}
  void WakeUpSystemEventPolling() override {}
  void RequiresSystemEventPolling() override {}
  bool RunFiber(VTask*, bool*) override { return false; }
  void SetSystemCallCFRunloop(bool) override {}
  bool ExecuteInProcess0() override { return false; }
  void SetDirectUpdateAllowedEvenIfWaitingForFlag(bool) override {}
  bool PostNovuWorkerMessage(
      VTask*, uint32, int32,
      std::function<void(CDBNovuBaseContext*, VDBLanguageContext*)>&&) override {
    return false;
  }
  int32 GetLanguageContextID(VDBLanguageContext*) override { return 0; }
  int32 GetLanguageContextCurrentWindowID(VDBLanguageContext*) override { return 0; }
  void ExecuteNovuWorkerMessages() override {}
  void ExecuteNovuWorkerMessagesForWindow(VDBLanguageContext*, int32) override {}
};

}  // namespace zeft
