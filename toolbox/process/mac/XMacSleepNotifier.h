// XMacSleepNotifier is the platform side of VSleepNotifier. Linux offers no
// power-management notifications to an unprivileged command-line program,
// so registration succeeds without a source and no event ever arrives.
#pragma once

#include "core/VErrorCodes.h"

namespace zeft {

class VSleepNotifier;

class XMacSleepNotifier {
 public:
  explicit XMacSleepNotifier(VSleepNotifier* owner) : fOwner(owner) {}

  // Always 0: there is nothing to register with.
  VError Init() { return VE_OK; }

  VSleepNotifier* GetOwner() const { return fOwner; }

 private:
  VSleepNotifier* fOwner;
};

}  // namespace zeft
