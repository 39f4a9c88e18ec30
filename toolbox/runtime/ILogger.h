// ILogger is what a logger offers: it takes log records (VValueBags named
// by ILoggerBagKeys), filters them by level and hands them to its
// listeners. It also turns error records and failed assertions into log
// records. The layers below the application frame reach the process logger
// through VLoggerHook.
#pragma once

#include <atomic>

#include "core/IRefCountable.h"
#include "core/VTypes.h"
#include "runtime/EMessageLevel.h"

namespace zeft {

class ILogListener;
class VErrorBase;
class VString;
class VValueBag;

class ILogger : public IRefCountable {
 public:
  // Records are accepted from Start on.
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual bool IsStarted() const = 0;
  // False before Start; else whether the level's mask bit is set.
  virtual bool ShouldLog(EMessageLevel level) const = 0;
  // Queues the record when its level is accepted; the caller keeps its
  // reference. A null record is ignored.
  virtual void LogBag(const VValueBag* record) = 0;
  // Builds a record of the message and queues it. The source falls back to
  // the calling task's "source" property, then to the process's log source
  // identifier.
  virtual void LogMessage(EMessageLevel level, const VString& message, const VString& source) = 0;
  // Hands every queued record to every listener.
  virtual void Flush() = 0;
  // Each sets or clears one level's mask bit and answers its previous state.
  virtual bool WithTrace(bool on) = 0;
  virtual bool WithDump(bool on) = 0;
  virtual bool WithDebug(bool on) = 0;
  virtual bool WithWarning(bool on) = 0;
  virtual bool WithError(bool on) = 0;
  virtual bool WithFatal(bool on) = 0;
  virtual bool WithAssert(bool on) = 0;
  virtual bool WithInfo(bool on) = 0;
  // False for null and for a listener already attached.
  virtual bool AddLogListener(ILogListener* listener) = 0;
  // False for null and for a listener not attached.
  virtual bool RemoveLogListener(ILogListener* listener) = 0;

  // 1, 2, 3, ... for the whole process (lock-free).
  static uint64 GetSequenceNumber();

  // Logs the error at level 6 ("ERROR") with its attributes, description,
  // component, the calling task's "source" and "jobId" properties and its
  // stack crawl. A null error is ignored.
  void LogErrorIfNecessary(const VErrorBase* error);
  // Logs a failed assertion at level 2 ("ASSERT") with the file's name
  // (its path after the last '/'), the line and the caller's stack.
  // Both texts are UTF-8; a null text counts as empty.
  void LogAssertIfNecessary(const char* message, const char* file, int line);

  static std::atomic<uint64> sSequenceNumber;
};

// The frames of a stack crawl text (one frame a line, innermost first) on
// one line joined by " <- ", without argument lists, namespace prefixes,
// thunk prefixes or trailing " const".
void FormatStackCrawlLines(VString& out, const VString& stackText);

}  // namespace zeft
