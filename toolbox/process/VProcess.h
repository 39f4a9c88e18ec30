// VProcess is the application object: exactly one per process, alive from
// the entry point to the end. Toolbox code that needs the application asks
// for VProcess::sInstance, which is null before it exists and after it is
// gone (errors are not recorded then).
#pragma once

#include "core/VObject.h"

namespace zeft {

class VProcess : public VObject {
 public:
  // Becomes the process's instance.
  VProcess();
  VProcess(const VProcess&) = delete;
  VProcess& operator=(const VProcess&) = delete;
  // Stops being the instance.
  ~VProcess() override;

  static VProcess* Get() { return sInstance; }

  static VProcess* sInstance;
};

}  // namespace zeft
