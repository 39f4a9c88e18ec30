#include "runtime/VLoggerHook.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/VString.h"
#include "process/VProcess.h"
#include "runtime/VLogger.h"

namespace zeft {
namespace {

// A logger installed on the harness's application object for one scope.
class StProcessLogger {
 public:
  StProcessLogger() : fSaved(VProcess::sInstance->GetLogger()) {
    fLogger = VRefPtr<VLogger>(new VLogger, kAdoptRef);
    VProcess::sInstance->SetLogger(fLogger.Get());
  }
  ~StProcessLogger() { VProcess::sInstance->SetLogger(fSaved.Get()); }
  StProcessLogger(const StProcessLogger&) = delete;
  StProcessLogger& operator=(const StProcessLogger&) = delete;
  VLogger* Get() const { return fLogger.Get(); }

 private:
  VRefPtr<ILogger> fSaved;
  VRefPtr<VLogger> fLogger;
};

TEST(VLoggerHook, ReachesTheProcessLoggerAndSource) {
  StProcessLogger installed;
  VRefPtr<ILogger> logger = VLoggerHook::RetainLogger();
  EXPECT_EQ(logger.Get(), static_cast<ILogger*>(installed.Get()));
  VString source;
  ASSERT_TRUE(VLoggerHook::GetSource(source));
  EXPECT_EQ(source, VProcess::sInstance->GetLogSourceIdentifier());
}

// A test's application object made and deleted inside the harness's leaves
// the hooks in place: the harness's object is reached again once it is
// the instance again.
TEST(VLoggerHook, OutlivesANestedApplicationObject) {
  StProcessLogger installed;
  VProcess* saved = VProcess::sInstance;
  {
    auto* nested = new VProcess;
    // As its Init would make it: an application object only becomes the
    // instance once it starts.
    VProcess::sInstance = nested;
    EXPECT_FALSE(VLoggerHook::RetainLogger());
    delete nested;
    VProcess::sInstance = saved;
  }
  EXPECT_EQ(VLoggerHook::RetainLogger().Get(), static_cast<ILogger*>(installed.Get()));
  VString source;
  EXPECT_TRUE(VLoggerHook::GetSource(source));
}

// A logger taken through the hook stays alive while the process replaces
// it: each reader holds its own reference.
TEST(VLoggerHook, ReplacingTheLoggerWhileItIsTakenIsSafe) {
  StProcessLogger installed;
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop.load()) {
      if (VRefPtr<ILogger> logger = VLoggerHook::RetainLogger())
        (void)logger->ShouldLog(kMessageLevelError);
    }
  });
  for (int i = 0; i < 2000; ++i) {
    auto* logger = new VLogger;
    VProcess::sInstance->SetLogger(logger);
    logger->Release();
  }
  stop.store(true);
  reader.join();
}

}  // namespace
}  // namespace zeft
