// VLoggerHook is how the runtime reaches the process logger and the log
// source that names the process in log records, without knowing the
// application frame: the frame installs its two functions when it starts
// and removes them when it goes. Thread-safe: the functions are swapped
// atomically, and a logger taken through the hook comes retained, so that
// replacing the logger meanwhile cannot free it under its user.
#pragma once

#include "core/IRefCountable.h"

namespace zeft {

class ILogger;
class VString;

class VLoggerHook {
 public:
  VLoggerHook() = delete;

  // The process logger, retained for the caller, or null.
  using LoggerFunction = ILogger* (*)();
  // Fills `source` with the process's log source; false when it has none.
  using SourceFunction = bool (*)(VString& source);

  // Installs both functions; nulls remove them.
  static void Install(LoggerFunction logger, SourceFunction source);

  // The process logger, or null.
  static VRefPtr<ILogger> RetainLogger();
  // The process's log source; false (and `source` untouched) without one.
  static bool GetSource(VString& source);
};

}  // namespace zeft
