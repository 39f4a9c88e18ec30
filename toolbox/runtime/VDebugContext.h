// VDebugContext is a task's own state for the debug manager: whether its
// events bypass the asserts file, the logger and the handler (low-level
// mode, while the task works where logging could reach back into it),
// whether alerts and breaks are suppressed, and whether the task is inside
// an event already. Only the task's own thread touches it.
#pragma once

#include "core/VTypes.h"

namespace zeft {

class VDebugContext {
 public:
  void StartLowLevelMode() { ++fLowLevelCount; }
  void StopLowLevelMode() {
    if (fLowLevelCount > 0) --fLowLevelCount;
  }
  bool IsLowLevelMode() const { return fLowLevelCount != 0; }

  // Read by handlers that would show an alert.
  void StartSuppressAlert() { ++fAlertSuppressCount; }
  void StopSuppressAlert() {
    if (fAlertSuppressCount > 0) --fAlertSuppressCount;
  }
  bool IsAlertSuppressed() const { return fAlertSuppressCount != 0; }

  void StartSuppressBreak() { ++fBreakSuppressCount; }
  void StopSuppressBreak() {
    if (fBreakSuppressCount > 0) --fBreakSuppressCount;
  }
  bool IsBreakSuppressed() const { return fBreakSuppressCount != 0; }

  // Set while the task handles an event: one raised from within is not
  // handled again.
  bool IsInsideEvent() const { return fInsideEvent; }
  void SetInsideEvent(bool inside) { fInsideEvent = inside; }

 private:
  uint32 fLowLevelCount = 0;
  uint32 fAlertSuppressCount = 0;
  uint32 fBreakSuppressCount = 0;
  bool fInsideEvent = false;
};

}  // namespace zeft
