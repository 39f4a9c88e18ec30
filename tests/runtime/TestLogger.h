// A logger for tests: it keeps every record it accepts (retained, in the
// order received) and filters by level like the process logger: started,
// mask 0xF0 by default. Install it as the process logger with
// StInstalledLogger.
#pragma once

#include <mutex>
#include <vector>

#include "core/IRefCountable.h"
#include "process/VProcess.h"
#include "runtime/ILogger.h"
#include "runtime/ILoggerBagKeys.h"
#include "values/VValueBag.h"

namespace zeft::test {

class TestLogger : public ILogger {
 public:
  TestLogger() { fStarted = true; }
  ~TestLogger() override { Clear(); }

  void Start() override { fStarted = true; }
  void Stop() override { fStarted = false; }
  bool IsStarted() const override { return fStarted; }
  bool ShouldLog(EMessageLevel level) const override {
    return fStarted && (fMask & MessageLevelMaskBit(level)) != 0;
  }
  void LogBag(const VValueBag* record) override {
    if (record == nullptr || !ShouldLog(ILoggerBagKeys::level.Get(*record))) return;
    record->Retain();
    std::lock_guard<std::mutex> lock(fMutex);
    fRecords.push_back(record);
  }
  void LogMessage(EMessageLevel level, const VString& message, const VString& source) override {
    if (!ShouldLog(level)) return;
    auto* record = new VValueBag;
    if (level != kDefaultMessageLevel) ILoggerBagKeys::level.Set(*record, level);
    ILoggerBagKeys::message.Set(*record, message);
    ILoggerBagKeys::source.Set(*record, source);
    LogBag(record);
    record->Release();
  }
  void Flush() override {}
  bool WithTrace(bool on) override { return With(kMessageLevelTrace, on); }
  bool WithDump(bool on) override { return With(kMessageLevelDump, on); }
  bool WithDebug(bool on) override { return With(kMessageLevelDebug, on); }
  bool WithWarning(bool on) override { return With(kMessageLevelWarning, on); }
  bool WithError(bool on) override { return With(kMessageLevelError, on); }
  bool WithFatal(bool on) override { return With(kMessageLevelFatal, on); }
  bool WithAssert(bool on) override { return With(kMessageLevelAssert, on); }
  bool WithInfo(bool on) override { return With(kMessageLevelInfo, on); }
  bool AddLogListener(ILogListener*) override { return false; }
  bool RemoveLogListener(ILogListener*) override { return false; }

  size_t GetCount() const {
    std::lock_guard<std::mutex> lock(fMutex);
    return fRecords.size();
  }
  // Lent; valid until Clear.
  const VValueBag* GetNth(size_t index) const {
    std::lock_guard<std::mutex> lock(fMutex);
    return index < fRecords.size() ? fRecords[index] : nullptr;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(fMutex);
    for (const VValueBag* record : fRecords) record->Release();
    fRecords.clear();
  }

 private:
  bool With(EMessageLevel level, bool on) {
    const uint32 bit = MessageLevelMaskBit(level);
    const bool previous = (fMask & bit) != 0;
    fMask = on ? (fMask | bit) : (fMask & ~bit);
    return previous;
  }

  bool fStarted = false;
  uint32 fMask = kDefaultMessageLevelMask;
  mutable std::mutex fMutex;
  std::vector<const VValueBag*> fRecords;
};

// The logger is the process logger for the length of a scope.
class StInstalledLogger {
 public:
  explicit StInstalledLogger(ILogger* logger) : fProcess(VProcess::sInstance) {
    fProcess->SetLogger(logger);
  }
  ~StInstalledLogger() { fProcess->SetLogger(nullptr); }
  StInstalledLogger(const StInstalledLogger&) = delete;
  StInstalledLogger& operator=(const StInstalledLogger&) = delete;

 private:
  VProcess* fProcess;
};

}  // namespace zeft::test
