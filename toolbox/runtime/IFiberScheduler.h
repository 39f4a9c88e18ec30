// IFiberScheduler decides when fiber tasks yield, wait and wake. The task
// manager holds the installed one; every fiber operation goes through it.
#pragma once

#include <functional>

#include "core/IRefCountable.h"
#include "core/VTypes.h"

namespace zeft {

class VTask;
// Opaque handles of a host's worker contexts; never defined by the toolbox.
class CDBNovuBaseContext;
class VDBLanguageContext;

class IFiberScheduler : public IRefCountable {
 public:
  // Gives other fibers a turn.
  virtual void Yield() = 0;
  virtual void YieldNow() = 0;
  // Blocks the calling fiber until *flag differs from `value` (or the
  // time-out passes).
  virtual void WaitFlag(int32* flag, int32 value) = 0;
  virtual void WaitFlagWithTimeout(int32* flag, int32 value, int32 timeoutMs) = 0;
  virtual void SetSystemEventPolling(bool polling) = 0;
  virtual bool WithSystemEventPolling() = 0;
  virtual void PollAndExecuteUpdateEvent() = 0;
  virtual void SetDirectUpdate(bool direct) = 0;
  virtual void WakeUpSystemEventPolling() = 0;
  virtual void RequiresSystemEventPolling() = 0;
  // Takes over the start of a fiber task; clears *notHandled when it did.
  virtual bool RunFiber(VTask* task, bool* notHandled) = 0;
  virtual void SetSystemCallCFRunloop(bool call) = 0;
  virtual bool ExecuteInProcess0() = 0;
  virtual void SetDirectUpdateAllowedEvenIfWaitingForFlag(bool allowed) = 0;
  virtual bool PostNovuWorkerMessage(
      VTask* task, uint32 kind, int32 windowID,
      std::function<void(CDBNovuBaseContext*, VDBLanguageContext*)>&& work) = 0;
  virtual int32 GetLanguageContextID(VDBLanguageContext* context) = 0;
  virtual int32 GetLanguageContextCurrentWindowID(VDBLanguageContext* context) = 0;
  virtual void ExecuteNovuWorkerMessages() = 0;
  virtual void ExecuteNovuWorkerMessagesForWindow(VDBLanguageContext* context, int32 windowID) = 0;

 protected:
  ~IFiberScheduler() override = default;
};

}  // namespace zeft
