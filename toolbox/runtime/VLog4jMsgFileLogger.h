// VLog4jMsgFileLogger writes the records of the process logger as lines of
// text into numbered log files of a folder ("<name>_<n>.txt", split past
// 10 MiB). While started, its listener is attached to the process logger,
// whose "Logger" task hands it every batch. A line reads:
//   <sequence> <local time with offset> [<source>] <LEVEL> - <message> (<details>)
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "core/VObject.h"
#include "core/VString.h"
#include "files/VFilePath.h"
#include "runtime/EMessageLevel.h"
#include "runtime/ILogListener.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VLogRecord.h"
#include "values/VTime.h"

namespace zeft {

class ILogger;
class VFolder;
class VSplitableLogFile;
class VValueBag;

class VLog4jMsgFileLogger : public VObject {
 public:
  // The file logger's view of the process logger: a listener embedded in
  // it (never deleted through its count), referring back to it. It reads
  // the process logger's messages from their fields.
  class VLog4jLogListener : public VObject, public ILogListener, public ILogMessageReader {
   public:
    explicit VLog4jLogListener(VLog4jMsgFileLogger* owner) : fOwner(owner) {}
    void Put(std::vector<const VValueBag*>& records) override;
    // Writes one line; the file logger's lock is held.
    void Log(const VString& source, EMessageLevel level, const VString& message);
    void Log(const char* source, EMessageLevel level, const char* message);

   protected:
    void DoOnRefCountZero() override {}

   private:
    // Log's work, `tail` going right after the message; the file logger's
    // lock is held.
    void _Log(const char* source, EMessageLevel level, const char* message, const char* tail = "");

    VLog4jMsgFileLogger* fOwner;
  };

  // Stopped; writes into `folder` under `logName` once started.
  VLog4jMsgFileLogger(const VFolder& folder, const VString& logName);
  VLog4jMsgFileLogger(const VLog4jMsgFileLogger&) = delete;
  VLog4jMsgFileLogger& operator=(const VLog4jMsgFileLogger&) = delete;
  // Stops first.
  ~VLog4jMsgFileLogger() override;

  // Continues the highest-numbered file of the unbroken run from 1 (file 1
  // when there is none).
  virtual void Start();
  // Opens file `firstNumber` for appending; on success attaches to the
  // process logger.
  void Start(int32 firstNumber);
  // Detaches from the process logger (no batch arrives afterwards), then
  // closes the file.
  virtual void Stop();
  virtual bool IsStarted() const;
  // A log file exists and is open.
  bool _IsStarted() const;
  bool ShouldLog(EMessageLevel level) const;

  // While paused, records are consumed without lines.
  void Pause() { fPaused.store(true, std::memory_order_relaxed); }
  void Resume() { fPaused.store(false, std::memory_order_relaxed); }
  bool IsPaused() const { return fPaused.load(std::memory_order_relaxed); }

  void Flush();
  void GetLogFolderPath(VFilePath& path) const;
  void GetLogName(VString& name) const;
  // The path of the file lines go to now (it changes at each split);
  // false, with an empty path, while stopped.
  bool GetLogFilePath(VFilePath& path) const;
  void SetLogMaxNumberToKeep(int32 count);
  // 0 while stopped.
  int32 GetLogMaxNumberToKeep() const;

  static void BuildLogFileName(const VString& name, int32 number, VString& out);
  // The source, level and message of a line for the record: the message
  // gets "[<error number>] " in front and the listed attributes after it.
  static void GetLogInfosFromBag(const VValueBag* record, VString& source, EMessageLevel& level,
                                 VString& message);

 private:
  // Folder path and name usable, as Start requires.
  bool _CanStart() const;
  // The local time of now as "YYYY-MM-DDThh:mm:ss+hh:mm"; the text is
  // made once per second. Lock held.
  const char* _FormatNow();

  mutable VCriticalSection fLock;
  VTime fStartTime;
  VFilePath fFolderPath;
  VString fLogName;
  std::unique_ptr<VSplitableLogFile> fLogFile;
  std::atomic<bool> fStarted{false};
  std::atomic<bool> fPaused{false};
  uint32 fMask;
  VLog4jLogListener fListener{this};
  // The process logger the listener is attached to (retained).
  ILogger* fAttachedTo = nullptr;
  long long fTimeSecond = -1;
  char fTimeText[40] = {};
  // The line being written; lock held.
  std::string fLine;
};

}  // namespace zeft
