// VProcess is the application object: exactly one per process, alive from
// the entry point to the end. Toolbox code that needs the application asks
// for VProcess::sInstance, which is null before it exists and after it is
// gone (errors are not recorded then).
#pragma once

#include <atomic>

#include "core/VObject.h"
#include "core/VString.h"
#include "runtime/EMessageLevel.h"

namespace zeft {

class ILocalizer;
class ILogger;

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

  // The localizer through which LocalizeString looks keys up; set by the
  // application, not owned. Null until then.
  ILocalizer* GetLocalizer() const { return fLocalizer; }
  void SetLocalizer(ILocalizer* localizer) { fLocalizer = localizer; }

  // ---- Process logger and log source ----
  // The process logger, lent; null when the process has none.
  ILogger* GetLogger() const { return fLogger.load(std::memory_order_acquire); }
  // The process logger when it accepts the level, else null.
  ILogger* GetLogger(EMessageLevel level) const;
  // Installs the process logger (retained; null removes it) and releases
  // the previous one. Start-up installs it before other tasks log; a
  // logger may only be replaced while no other task can be logging.
  void SetLogger(ILogger* logger);
  // The source of records that name none: the product name.
  virtual VString GetLogSourceIdentifier() const;

 private:
  ILocalizer* fLocalizer = nullptr;

  // The bundle's CFBundleName, empty when the key is missing.
  static VString _ReadProductName();

  std::atomic<ILogger*> fLogger{nullptr};
  VString fProductName{_ReadProductName()};
  // ---- end of process logger and log source ----
};

}  // namespace zeft
