#include "runtime/VLoggerHook.h"

#include <atomic>

#include "runtime/ILogger.h"

namespace zeft {

namespace {

std::atomic<VLoggerHook::LoggerFunction> sLoggerFunction{nullptr};
std::atomic<VLoggerHook::SourceFunction> sSourceFunction{nullptr};

}  // namespace

void VLoggerHook::Install(LoggerFunction logger, SourceFunction source) {
  sLoggerFunction.store(logger, std::memory_order_release);
  sSourceFunction.store(source, std::memory_order_release);
}

VRefPtr<ILogger> VLoggerHook::RetainLogger() {
  const LoggerFunction function = sLoggerFunction.load(std::memory_order_acquire);
  return function != nullptr ? VRefPtr<ILogger>(function(), kAdoptRef) : VRefPtr<ILogger>();
}

bool VLoggerHook::GetSource(VString& source) {
  const SourceFunction function = sSourceFunction.load(std::memory_order_acquire);
  return function != nullptr && function(source);
}

}  // namespace zeft
