#include "process/VSleepNotifier.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/StStringConverter.h"
#include "process/VProcess.h"
#include "runtime/ILogger.h"
#include "runtime/VTask.h"

namespace zeft {
namespace {

class CountingHandler : public VSleepNotifier::ISleepHandler {
 public:
  void DoSleepNotification() override {
    ++fSleeps;
    if (fUnregisterOnCall != nullptr) fUnregisterOnCall->UnregisterSleepHandler(this);
  }
  void DoWakeupNotification() override { ++fWakeups; }
  VString GetDescription() override { return VString("counting"); }

  int fSleeps = 0;
  int fWakeups = 0;
  VSleepNotifier* fUnregisterOnCall = nullptr;
};

// Records the messages it is given.
class RecordingLogger : public ILogger {
 public:
  void Start() override {}
  void Stop() override {}
  bool IsStarted() const override { return true; }
  bool ShouldLog(EMessageLevel) const override { return true; }
  void LogBag(const VValueBag*) override {}
  void LogMessage(EMessageLevel level, const VString& message, const VString& source) override {
    StStringConverter<char> text(message, kCharSetUTF8);
    StStringConverter<char> from(source, kCharSetUTF8);
    fLines.push_back(std::to_string(int(level)) + " " + from.GetCPointer() + " " +
                     text.GetCPointer());
  }
  void Flush() override {}
  bool WithTrace(bool) override { return false; }
  bool WithDump(bool) override { return false; }
  bool WithDebug(bool) override { return false; }
  bool WithWarning(bool) override { return false; }
  bool WithError(bool) override { return false; }
  bool WithFatal(bool) override { return false; }
  bool WithAssert(bool) override { return false; }
  bool WithInfo(bool) override { return false; }
  bool AddLogListener(ILogListener*) override { return false; }
  bool RemoveLogListener(ILogListener*) override { return false; }

  std::vector<std::string> fLines;
};

TEST(VSleepNotifier, HandlersAreHeldOnceAndNullIsRefused) {
  VSleepNotifier notifier;
  EXPECT_EQ(notifier.Init(), VE_OK);
  auto* handler = new CountingHandler;
  EXPECT_EQ(notifier.RegisterSleepHandler(handler), VE_OK);
  EXPECT_EQ(notifier.RegisterSleepHandler(handler), VE_OK);
  EXPECT_EQ(handler->GetRefCount(), 2);
  auto* stranger = new CountingHandler;
  EXPECT_EQ(notifier.UnregisterSleepHandler(stranger), VE_OK);
  EXPECT_EQ(stranger->GetRefCount(), 1);
  const VError before = VTask::GetCurrent()->GetLastError();
  EXPECT_EQ(notifier.RegisterSleepHandler(nullptr), ToolboxError(3));
  EXPECT_EQ(notifier.UnregisterSleepHandler(nullptr), ToolboxError(3));
  EXPECT_EQ(VTask::GetCurrent()->GetLastError(), before);
  EXPECT_EQ(notifier.UnregisterSleepHandler(handler), VE_OK);
  EXPECT_EQ(handler->GetRefCount(), 1);
  handler->Release();
  stranger->Release();
}

TEST(VSleepNotifier, EventsReachEveryHandlerOnceAndAreLogged) {
  auto* logger = new RecordingLogger;
  VProcess::sInstance->SetLogger(logger);
  {
    VSleepNotifier notifier;
    auto* first = new CountingHandler;
    auto* second = new CountingHandler;
    notifier.RegisterSleepHandler(first);
    notifier.RegisterSleepHandler(second);
    // A handler may leave while the event is delivered.
    first->fUnregisterOnCall = &notifier;
    notifier.HaveSleepNotification();
    notifier.HaveWakeupNotification();
    EXPECT_EQ(first->fSleeps, 1);
    EXPECT_EQ(second->fSleeps, 1);
    EXPECT_EQ(first->fWakeups, 0);
    EXPECT_EQ(second->fWakeups, 1);
    EXPECT_EQ(first->GetRefCount(), 1);
    first->Release();
    second->Release();
  }
  EXPECT_EQ(logger->fLines,
            (std::vector<std::string>{"4 sleepNotifications System is going to sleep",
                                      "4 sleepNotifications System woke up from sleep"}));
  VProcess::sInstance->SetLogger(nullptr);
  logger->Release();
}

}  // namespace
}  // namespace zeft
