#include "process/VSleepNotifier.h"

#include <vector>

#include "process/VProcess.h"
#include "process/VProcessIPC.h"
#include "process/mac/XMacSleepNotifier.h"
#include "runtime/IFiberScheduler.h"
#include "runtime/ILogger.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTaskMgr.h"

namespace zeft {

VSleepNotifier::VSleepNotifier() : fPlatform(new XMacSleepNotifier(this)) {}

VSleepNotifier::~VSleepNotifier() {
  UnregisterSleepHandlers();
  delete fPlatform;
}

VSleepNotifier* VSleepNotifier::Instance() {
  return VProcessIPC::sInstance != nullptr ? VProcessIPC::sInstance->GetSleepNotifier() : nullptr;
}

VError VSleepNotifier::Init() {
  const VError error =
      fPlatform != nullptr ? fPlatform->Init() : ToolboxError(toolbox_error::kInvalidParameter);
  if (error != VE_OK) _ThrowError(error);
  return error;
}

VError VSleepNotifier::RegisterSleepHandler(ISleepHandler* handler) {
  if (handler == nullptr) return ToolboxError(toolbox_error::kInvalidParameter);
  StLocker<VCriticalSection> lock(fLock);
  if (fHandlers.insert(handler).second) handler->Retain();
  return VE_OK;
}

VError VSleepNotifier::UnregisterSleepHandler(ISleepHandler* handler) {
  if (handler == nullptr) return ToolboxError(toolbox_error::kInvalidParameter);
  StLocker<VCriticalSection> lock(fLock);
  if (fHandlers.erase(handler) > 0) handler->Release();
  return VE_OK;
}

VError VSleepNotifier::UnregisterSleepHandlers() {
  StLocker<VCriticalSection> lock(fLock);
  for (ISleepHandler* handler : fHandlers) handler->Release();
  fHandlers.clear();
  return VE_OK;
}

void VSleepNotifier::HaveSleepNotification() { _Dispatch(true); }

void VSleepNotifier::HaveWakeupNotification() { _Dispatch(false); }

void VSleepNotifier::_Dispatch(bool sleep) {
  if (VProcess::sInstance != nullptr) {
    if (ILogger* logger = VProcess::sInstance->GetLogger()) {
      logger->LogMessage(kMessageLevelInfo,
                         VString(sleep ? "System is going to sleep" : "System woke up from sleep"),
                         VString("sleepNotifications"));
    }
  }
  IFiberScheduler* scheduler =
      VTaskMgr::IsInited() ? VTaskMgr::sInstance->RetainFiberScheduler() : nullptr;
  if (scheduler != nullptr) scheduler->SetSystemCallCFRunloop(sleep);
  // Called outside the lock and held for the call, so that a handler may
  // unregister itself or others.
  std::vector<ISleepHandler*> handlers;
  {
    StLocker<VCriticalSection> lock(fLock);
    for (ISleepHandler* handler : fHandlers) {
      handler->Retain();
      handlers.push_back(handler);
    }
  }
  for (ISleepHandler* handler : handlers) {
    if (sleep)
      handler->DoSleepNotification();
    else
      handler->DoWakeupNotification();
    handler->Release();
  }
  if (scheduler != nullptr) scheduler->Release();
}

}  // namespace zeft
