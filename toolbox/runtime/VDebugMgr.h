// VDebugMgr is the process-wide receiver of debugging events: debug
// messages, failed assertions and the errors pushed on tasks' error stacks.
// For each it can echo to the standard error stream, append to the asserts
// file beside the application bundle, log a record through the process
// logger, ask an installed IDebugMessageHandler what to do and break into
// the debugger. Events are ignored until Init and after DeInit.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <set>
#include <string>

#include "core/VErrorCodes.h"
#include "core/VTypes.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

class IDebugMessageHandler;
class VErrorBase;
class VString;

enum VDebuggerType : int32 { kDebuggerTypeNone = 0, kDebuggerTypeSystem = 2 };

class VDebugMgr {
 public:
  // The asserts file is set aside once it holds more than this.
  static constexpr long kMaxAssertFileSize = 0xA00000;

  VDebugMgr() = default;
  VDebugMgr(const VDebugMgr&) = delete;
  VDebugMgr& operator=(const VDebugMgr&) = delete;

  static VDebugMgr& Get() { return sInstance; }

  // Turns events on; true.
  bool Init();
  // Turns events and the asserts file off, drops the handler and forgets
  // the asserts file's path.
  void DeInit();

  void DebugMsg(const VString& message);
  void DebugMsg(const char* format, va_list args);
  // True asks the caller to break.
  bool AssertFailed(const char* condition, const char* file, int line);
  // Called for every error pushed on a task's error stack that no level
  // silenced: logs it once through the process logger at level 6.
  void ErrorThrown(VErrorBase* error);

  // Appends the text (UTF-8) to the asserts file, preceded by a blank line,
  // the local time and the caller's stack when asked.
  void WriteToAssertFile(const VString& text, bool withTime, bool withStack);

  // Retains the new handler (null: none) and releases the previous one.
  void SetDebugMessageHandler(IDebugMessageHandler* handler);

  // Breaks into the debugger, unless the calling task suppresses breaks.
  void Break();
  // Ends the process with a failure exit code.
  [[noreturn]] void Abort();

  static void fprintf_console(const char* format, ...) __attribute__((format(printf, 1, 2)));
  static void vfprintf_console(const char* format, va_list args);

  // The calling task's low-level mode: while it is on, that task's events
  // bypass the asserts file, the logger and the handler.
  void StartLowLevelMode();
  void StopLowLevelMode();

  void SetBreakOnAssert(bool on) { fBreakOnAssert.store(on); }
  bool GetBreakOnAssert() const { return fBreakOnAssert.load(); }
  void SetBreakOnDebugMsg(bool on) { fBreakOnDebugMsg.store(on); }
  bool GetBreakOnDebugMsg() const { return fBreakOnDebugMsg.load(); }
  void SetBreakOnError(bool on) { fBreakOnError.store(on); }
  bool GetBreakOnError() const { return fBreakOnError.load(); }
  void SetMessagesEnabled(bool on) { fMessagesEnabled.store(on); }
  bool GetMessagesEnabled() const { return fMessagesEnabled.load(); }
  void SetLogInDebugger(bool on) { fLogInDebugger.store(on); }
  bool GetLogInDebugger() const { return fLogInDebugger.load(); }
  void SetWriteToAssertFile(bool on) { fWriteToAssertFile.store(on); }
  bool GetWriteToAssertFile() const { return fWriteToAssertFile.load(); }
  bool IsDebuggerPresent() const { return fDebuggerPresent.load(); }

  // Stores the kind of debugger when given a place; true.
  bool _GetDebuggerType(VDebuggerType* type) const;
  // The asserts file's path: the main bundle's path cut before the
  // extension of its last component, followed by "_asserts.txt". Made
  // once; empty when the bundle's path is too long.
  std::string _GetAssertFilePath();
  // Opens the asserts file for appending (emptied at the first open of the
  // process), sets it aside when it grew too big, writes the blank line,
  // time and stack asked for. Null when it cannot be opened.
  FILE* _OpenAssertFile(bool withTime, bool withStack);

 private:
  static VDebugMgr sInstance;

  // Whether the event `key` names (an assert's site, an error's code) was
  // ignored by a handler's answer.
  template <class Key>
  bool _IsIgnored(const std::set<Key>& ignored, const Key& key);
  // Follows a handler's answer about the event `key` names; whether to break.
  template <class Key>
  bool _FollowAnswer(int32 answer, std::set<Key>& ignored, const Key& key,
                     std::atomic<bool>& ignoreAll);
  // Retained, or null.
  IDebugMessageHandler* _RetainHandler();
  // A handler's "break" ends the process when no debugger can take it.
  void _AbortWithoutDebugger();
  static void _WriteConsole(const VString& text);

  std::atomic<bool> fDebuggerPresent{true};
  std::atomic<bool> fMessagesEnabled{false};
  std::atomic<bool> fBreakOnAssert{false};
  std::atomic<bool> fBreakOnDebugMsg{false};
  std::atomic<bool> fBreakOnError{false};
  std::atomic<bool> fLogInDebugger{false};
  std::atomic<bool> fWriteToAssertFile{false};
  std::atomic<bool> fIgnoreAllAsserts{false};
  std::atomic<bool> fIgnoreAllErrors{false};
  // Guards the handler, the ignored sites and codes and the asserts file.
  VCriticalSection fLock;
  IDebugMessageHandler* fHandler = nullptr;
  // Sites are the file name followed by the line number, compared exactly.
  std::set<std::string> fIgnoredSites;
  std::set<VError> fIgnoredErrors;
  std::string fAssertFilePath;
  bool fAssertFilePathMade = false;
  bool fAssertFileOpened = false;
  uint32 fAssertFileRotations = 0;
};

}  // namespace zeft
