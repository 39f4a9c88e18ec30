// VSleepNotifier tells registered handlers when the machine is about to
// sleep and when it has woken up; each event is also logged and passed on
// to the fiber scheduler. One per program, owned by the program frame
// (VProcessIPC) and reached through Instance().
//
// Linux gives no power back end to a program like this one: XMacSleepNotifier
// registers with nothing, so the handlers are never called by the system.
// Registration works as everywhere, and HaveSleepNotification /
// HaveWakeupNotification deliver an event when a platform side calls them.
#pragma once

#include <set>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

class XMacSleepNotifier;

class VSleepNotifier : public VObject {
 public:
  class ISleepHandler : public IRefCountable {
   public:
    virtual void DoSleepNotification() = 0;
    virtual void DoWakeupNotification() = 0;
    virtual VString GetDescription() = 0;
  };

  VSleepNotifier();
  // Releases every handler, then drops the platform registration.
  ~VSleepNotifier() override;
  VSleepNotifier(const VSleepNotifier&) = delete;
  VSleepNotifier& operator=(const VSleepNotifier&) = delete;

  // The notifier of the program frame, null without one.
  static VSleepNotifier* Instance();

  // Registers with the system; 0, or the error pushed (twice: by the
  // platform side and here).
  VError Init();

  // A handler registered twice is held once. Toolbox error 3 (returned,
  // not pushed) for null.
  VError RegisterSleepHandler(ISleepHandler* handler);
  // An unknown handler is ignored. Error 3 for null.
  VError UnregisterSleepHandler(ISleepHandler* handler);
  VError UnregisterSleepHandlers();

  // Events from the platform side: logged ("sleepNotifications", INFO),
  // told to the fiber scheduler, then each handler of a copy of the set is
  // called outside the lock.
  void HaveSleepNotification();
  void HaveWakeupNotification();

 private:
  void _Dispatch(bool sleep);

  XMacSleepNotifier* fPlatform;
  std::set<ISleepHandler*> fHandlers;
  VCriticalSection fLock;
};

}  // namespace zeft
