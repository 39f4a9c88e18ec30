#include "runtime/VDebugMgr.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "core/CLocale.h"
#include "core/StStringConverter.h"
#include "core/VString.h"
#include "platform/Debugger.h"
#include "platform/MainBundle.h"
#include "runtime/IDebugMessageHandler.h"
#include "runtime/ILogger.h"
#include "runtime/ILoggerBagKeys.h"
#include "runtime/VErrorBase.h"
#include "runtime/VLoggerHook.h"
#include "runtime/VTask.h"
#include "runtime/mac/XMacStackCrawl.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

// Longest asserts file path, in bytes.
constexpr size_t kMaxAssertFilePath = 4095;

// The local time in the C locale's words, whatever the user's locale.
std::string FormatLocalTime(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[128];
  return std::string(buffer, FormatTimeInCLocale(buffer, sizeof(buffer), format, local));
}

void WriteUTF8(FILE* stream, const VString& text) {
  StStringConverter<char> bytes(text, kCharSetUTF8);
  std::fwrite(bytes.GetCPointer(), 1, bytes.GetSize(), stream);
}

// The calling task's debug context while it handles one event, null when
// the event must not be handled: no task, low-level mode or already inside
// an event.
class StDebugEvent {
 public:
  StDebugEvent() {
    VTask* task = VTask::GetCurrent();
    if (task == nullptr) return;
    VDebugContext& context = task->GetDebugContext();
    if (context.IsLowLevelMode() || context.IsInsideEvent()) return;
    context.SetInsideEvent(true);
    fContext = &context;
  }
  ~StDebugEvent() { Leave(); }
  StDebugEvent(const StDebugEvent&) = delete;
  StDebugEvent& operator=(const StDebugEvent&) = delete;

  VDebugContext* Get() const { return fContext; }
  void Leave() {
    if (fContext != nullptr) fContext->SetInsideEvent(false);
    fContext = nullptr;
  }

 private:
  VDebugContext* fContext = nullptr;
};

}  // namespace

VDebugMgr VDebugMgr::sInstance;

bool VDebugMgr::Init() {
  fMessagesEnabled.store(true);
  return true;
}

void VDebugMgr::DeInit() {
  SetDebugMessageHandler(nullptr);
  fMessagesEnabled.store(false);
  fWriteToAssertFile.store(false);
  StLocker<VCriticalSection> lock(fLock);
  fAssertFilePath.clear();
  fAssertFilePathMade = false;
}

void VDebugMgr::_WriteConsole(const VString& text) {
  WriteUTF8(stderr, text);
  std::fflush(stderr);
}

void VDebugMgr::DebugMsg(const VString& message) {
  const bool breakAfter = fBreakOnDebugMsg.load();
  if (fMessagesEnabled.load()) {
    StDebugEvent event;
    // No event in low-level mode: nothing below may log.
    if (event.Get() != nullptr) {
      if (fWriteToAssertFile.load()) WriteToAssertFile(message, true, true);
      VRefPtr<ILogger> logger = VLoggerHook::RetainLogger();
      if (logger && logger->ShouldLog(kMessageLevelDebug)) {
        VString text(message);
        if (!text.IsEmpty() && text.GetUniChar(text.GetLength()) == u'\n')
          text.Truncate(text.GetLength() - 1);
        auto* record = new VValueBag;
        ILoggerBagKeys::message.Set(*record, text);
        ILoggerBagKeys::level.Set(*record, kMessageLevelDebug);
        logger->LogBag(record);
        record->Release();
      }
      if (fLogInDebugger.load() && fDebuggerPresent.load()) _WriteConsole(message);
    }
  }
  if (breakAfter) Break();
}

void VDebugMgr::DebugMsg(const char* format, va_list args) {
  if (fMessagesEnabled.load() && VTask::GetCurrent() != nullptr && format != nullptr) {
    if (VTask::GetCurrent()->GetDebugContext().IsLowLevelMode()) {
      // Nothing that could allocate or log: straight to the console.
      if (fLogInDebugger.load() && fDebuggerPresent.load()) std::vfprintf(stderr, format, args);
    } else {
      VString message;
      message.VPrintf(format, args);
      DebugMsg(message);
      return;
    }
  }
  if (fBreakOnDebugMsg.load()) Break();
}

bool VDebugMgr::AssertFailed(const char* condition, const char* file, int line) {
  bool result = fBreakOnAssert.load();
  if (!fMessagesEnabled.load()) return result;
  if (condition == nullptr) condition = "";
  if (file == nullptr) file = "";
  if (fLogInDebugger.load() && fDebuggerPresent.load())
    fprintf_console("Assert Failed: %s, %s, %d\n", condition, file, line);

  StDebugEvent event;
  if (event.Get() == nullptr) return result;
  const std::string site = std::string(file) + std::to_string(line);
  if (fIgnoreAllAsserts.load() || _IsIgnored(fIgnoredSites, site)) return false;

  if (fWriteToAssertFile.load()) {
    VString text;
    text.Printf("Assert Failed: %s, %s, %d\n", condition, file, line);
    WriteToAssertFile(text, true, true);
  }
  if (VRefPtr<ILogger> logger = VLoggerHook::RetainLogger())
    logger->LogAssertIfNecessary(condition, file, line);
  if (IDebugMessageHandler* handler = _RetainHandler()) {
    const int32 answer = handler->AssertFailed(*event.Get(), condition, file, line);
    handler->Release();
    result = _FollowAnswer(answer, fIgnoredSites, site, fIgnoreAllAsserts);
  }
  return result;
}

void VDebugMgr::ErrorThrown(VErrorBase* error) {
  bool breakNow = fBreakOnError.load();
  if (error != nullptr && fMessagesEnabled.load()) {
    StDebugEvent event;
    if (event.Get() != nullptr) {
      if (fIgnoreAllErrors.load() || _IsIgnored(fIgnoredErrors, error->GetError())) {
        breakNow = false;
      } else {
        VString dump;
        error->DumpToString(dump);
        VString text("Error: ");
        text += dump;
        text.AppendUniChar(u'\n');
        if (fWriteToAssertFile.load()) WriteToAssertFile(text, true, true);
        if (VRefPtr<ILogger> logger = VLoggerHook::RetainLogger())
          logger->LogErrorIfNecessary(error);
        if (fLogInDebugger.load() && fDebuggerPresent.load()) _WriteConsole(text);
        if (IDebugMessageHandler* handler = _RetainHandler()) {
          const int32 answer = handler->ErrorThrown(*event.Get(), error);
          handler->Release();
          breakNow = _FollowAnswer(answer, fIgnoredErrors, error->GetError(), fIgnoreAllErrors);
        }
      }
    }
  }
  if (breakNow) Break();
}

void VDebugMgr::_AbortWithoutDebugger() {
  if (!fDebuggerPresent.load()) Abort();
}

template <class Key>
bool VDebugMgr::_IsIgnored(const std::set<Key>& ignored, const Key& key) {
  StLocker<VCriticalSection> lock(fLock);
  return ignored.count(key) != 0;
}

template <class Key>
bool VDebugMgr::_FollowAnswer(int32 answer, std::set<Key>& ignored, const Key& key,
                              std::atomic<bool>& ignoreAll) {
  switch (answer) {
    case kDebugAnswerBreak:
      _AbortWithoutDebugger();
      return true;
    case kDebugAnswerEnd:
      Abort();
    case kDebugAnswerIgnore: {
      StLocker<VCriticalSection> lock(fLock);
      ignored.insert(key);
      return false;
    }
    case kDebugAnswerIgnoreAll:
      ignoreAll.store(true);
      return false;
    default:
      return false;
  }
}

IDebugMessageHandler* VDebugMgr::_RetainHandler() {
  StLocker<VCriticalSection> lock(fLock);
  if (fHandler != nullptr) fHandler->Retain();
  return fHandler;
}

void VDebugMgr::SetDebugMessageHandler(IDebugMessageHandler* handler) {
  IDebugMessageHandler* previous = nullptr;
  {
    StLocker<VCriticalSection> lock(fLock);
    if (handler == fHandler) return;
    if (handler != nullptr) handler->Retain();
    previous = fHandler;
    fHandler = handler;
  }
  if (previous != nullptr) previous->Release();
}

void VDebugMgr::Break() {
  VTask* task = VTask::GetCurrent();
  if (task != nullptr && task->GetDebugContext().IsBreakSuppressed()) return;
  platform::Debugger();
}

void VDebugMgr::Abort() {
  // A failure: the process did not end its work.
  std::fflush(nullptr);
  std::_Exit(EXIT_FAILURE);
}

void VDebugMgr::fprintf_console(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf_console(format, args);
  va_end(args);
}

void VDebugMgr::vfprintf_console(const char* format, va_list args) {
  if (format == nullptr) return;
  std::vfprintf(stderr, format, args);
  std::fflush(stderr);
}

void VDebugMgr::StartLowLevelMode() {
  if (VTask* task = VTask::GetCurrent()) task->GetDebugContext().StartLowLevelMode();
}

void VDebugMgr::StopLowLevelMode() {
  if (VTask* task = VTask::GetCurrent()) task->GetDebugContext().StopLowLevelMode();
}

bool VDebugMgr::_GetDebuggerType(VDebuggerType* type) const {
  if (type != nullptr) *type = kDebuggerTypeSystem;
  return true;
}

std::string VDebugMgr::_GetAssertFilePath() {
  StLocker<VCriticalSection> lock(fLock);
  if (!fAssertFilePathMade) {
    fAssertFilePathMade = true;
    std::string path = platform::GetMainBundlePath();
    // The extension of the bundle's own name goes ("Tool.app" gives
    // "Tool"); a dot in a folder above it is left alone.
    const size_t nameStart = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && dot > nameStart && dot > 0) path.resize(dot);
    path += "_asserts.txt";
    fAssertFilePath = path.size() <= kMaxAssertFilePath ? path : std::string();
  }
  return fAssertFilePath;
}

FILE* VDebugMgr::_OpenAssertFile(bool withTime, bool withStack) {
  const std::string path = _GetAssertFilePath();
  if (path.empty()) return nullptr;
  StLocker<VCriticalSection> lock(fLock);
  FILE* file = nullptr;
  if (!fAssertFileOpened) {
    fAssertFileOpened = true;
    file = std::fopen(path.c_str(), "w");
    if (file != nullptr)
      std::fprintf(file, "Novu log file opened on %s\n\n",
                   FormatLocalTime("%A, %B %d, %Y %I:%M:%S %p").c_str());
  } else {
    file = std::fopen(path.c_str(), "a");
    struct stat info {};
    if (file != nullptr && ::fstat(fileno(file), &info) == 0 && info.st_size > kMaxAssertFileSize) {
      const std::string aside = path + std::to_string(fAssertFileRotations);
      std::fclose(file);
      if (std::rename(path.c_str(), aside.c_str()) == 0) {
        ++fAssertFileRotations;
        file = std::fopen(path.c_str(), "w");
        if (file != nullptr)
          std::fprintf(file, "%u nth log opened on %s\n\n", fAssertFileRotations + 1,
                       FormatLocalTime("%A, %B %d, %Y %I:%M:%S %p").c_str());
      } else {
        // The file could not be set aside: emptying it would lose it.
        file = std::fopen(path.c_str(), "a");
      }
    }
  }
  if (file == nullptr) return nullptr;
  if (withTime || withStack) std::fputs("\n", file);
  if (withTime) std::fprintf(file, "%s\n", FormatLocalTime("%m/%d/%y, %X").c_str());
  if (withStack) {
    XMacStackCrawl crawl;
    crawl.LoadFrames(4, 8);
    crawl.Dump(file);
  }
  return file;
}

void VDebugMgr::WriteToAssertFile(const VString& text, bool withTime, bool withStack) {
  // Held across the open and the write: lines of two tasks never mix.
  StLocker<VCriticalSection> lock(fLock);
  FILE* file = _OpenAssertFile(withTime, withStack);
  if (file == nullptr) return;
  WriteUTF8(file, text);
  std::fclose(file);
}

}  // namespace zeft
