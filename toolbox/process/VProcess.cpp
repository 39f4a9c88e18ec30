#include "process/VProcess.h"

#include <string>

#include "platform/MainBundle.h"
#include "runtime/ILogger.h"

namespace zeft {

VProcess* VProcess::sInstance = nullptr;

VProcess::VProcess() { sInstance = this; }

VProcess::~VProcess() {
  if (sInstance == this) sInstance = nullptr;
  SetLogger(nullptr);
}

// ---- Process logger and log source ----

ILogger* VProcess::GetLogger(EMessageLevel level) const {
  ILogger* logger = GetLogger();
  return logger != nullptr && logger->ShouldLog(level) ? logger : nullptr;
}

void VProcess::SetLogger(ILogger* logger) {
  if (logger != nullptr) logger->Retain();
  ILogger* previous = fLogger.exchange(logger, std::memory_order_acq_rel);
  if (previous != nullptr) previous->Release();
}

VString VProcess::GetLogSourceIdentifier() const { return fProductName; }

VString VProcess::_ReadProductName() {
  VString name;
  std::string value;
  if (platform::GetMainBundleInfoString("CFBundleName", value))
    name.FromBlock(value.data(), value.size(), kCharSetUTF8);
  return name;
}

// ---- end of process logger and log source ----

}  // namespace zeft
