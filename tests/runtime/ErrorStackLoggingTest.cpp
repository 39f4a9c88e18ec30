// How the error stack hands errors to the process logger when they leave a
// silent level, or when a level is merged with logging.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ErrorTestHelpers.h"
#include "TestLogger.h"
#include "runtime/ILoggerBagKeys.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorContext.h"
#include "runtime/VErrorTaskContext.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"

namespace zeft {
namespace {

using test::RunOnNewTask;
using test::StInstalledLogger;
using test::TestLogger;

VErrorTaskContext* Stack() { return VTask::GetErrorContext(false); }

// The toolbox numbers of the records logged from index `from` on.
std::vector<int32> LoggedNumbers(const TestLogger& logger, size_t from = 0) {
  std::vector<int32> numbers;
  for (size_t i = from; i < logger.GetCount(); ++i) {
    uint64 code = 0;
    ILoggerBagKeys::error_code.Get(*logger.GetNth(i), code);
    numbers.push_back(ErrorNumber(code));
  }
  return numbers;
}

class ErrorStackLogging : public ::testing::Test {
 protected:
  ErrorStackLogging() : fLogger(new TestLogger, kAdoptRef), fInstalled(fLogger.Get()) {}

  VRefPtr<TestLogger> fLogger;
  StInstalledLogger fInstalled;
};

// A kept level closed above another, then the level below closed as the
// only one: what each close logs and where the errors end.
TEST_F(ErrorStackLogging, ClosingKeptLevels) {
  struct Case {
    bool outerSilent;
    bool innerKeep;
    bool innerSilent;
    std::vector<int32> loggedByInner;
    std::vector<int32> loggedByOuter;
    int32 errorsBelow;  // in the outer level once the inner one closed
  };
  const Case cases[] = {
      // Leaving silence: logged once, on the way down.
      {false, true, true, {600, 601}, {}, 2},
      // Still silent below: logged when the outer level, the only one, closes.
      {true, true, true, {}, {600, 601}, 2},
      // Never silent: nothing (the debug report saw them when pushed).
      {false, true, false, {}, {}, 2},
      // Dropped: never logged.
      {false, false, true, {}, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.outerSilent << c.innerKeep << c.innerSilent);
    RunOnNewTask([&] {
      {
        StErrorContextInstaller outer(true, c.outerSilent);
        size_t before = 0;
        {
          StErrorContextInstaller inner(c.innerKeep, c.innerSilent);
          _ThrowError(ToolboxError(600));
          _ThrowError(ToolboxError(601));
          before = fLogger->GetCount();
        }
        EXPECT_EQ(LoggedNumbers(*fLogger, before), c.loggedByInner);
        EXPECT_EQ(outer.GetContext()->GetErrorCount(), c.errorsBelow);
        // Keep what the outer level's close logs apart.
        fLogger->Clear();
      }
      EXPECT_EQ(LoggedNumbers(*fLogger), c.loggedByOuter);
      fLogger->Clear();
    });
  }
}

TEST_F(ErrorStackLogging, SilentOnlyLevelLogsAndStaysWithTheSameErrors) {
  RunOnNewTask([&] {
    {
      StErrorContextInstaller only(true, true);
      _ThrowError(ToolboxError(600));
      _ThrowError(ToolboxError(601));
      fLogger->Clear();
    }
    EXPECT_EQ(LoggedNumbers(*fLogger), (std::vector<int32>{600, 601}));
    VErrorTaskContext* stack = Stack();
    ASSERT_EQ(stack->GetContextCount(), 1);
    VErrorContext* level = stack->GetTopContext();
    EXPECT_FALSE(level->IsSilent());
    EXPECT_TRUE(level->IsKeepingErrors());
    EXPECT_EQ(level->GetErrorCount(), 2);
    EXPECT_EQ(VTask::GetCurrent()->GetLastError(), ToolboxError(601));
    // Closing it again, no longer silent, logs nothing more.
    fLogger->Clear();
    stack->PopContext();
    EXPECT_EQ(fLogger->GetCount(), 0u);
    EXPECT_EQ(stack->GetContextCount(), 1);
  });
}

TEST_F(ErrorStackLogging, MergeAndFlushLastContext) {
  struct Case {
    bool onlyLevel;
    bool keep;
    bool log;
    std::vector<int32> logged;
    int32 errorsBelow;
  };
  const Case cases[] = {
      {false, true, true, {600}, 1}, {false, true, false, {}, 1}, {false, false, true, {}, 0},
      {true, true, true, {600}, 1},  {true, true, false, {}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.onlyLevel << c.keep << c.log);
    RunOnNewTask([&] {
      auto body = [&] {
        StErrorContextInstaller level(c.keep, false);
        _ThrowError(ToolboxError(600));
        fLogger->Clear();
        const int32 levels = Stack()->GetContextCount();
        Stack()->MergeAndFlushLastContext(c.log);
        EXPECT_EQ(LoggedNumbers(*fLogger), c.logged);
        EXPECT_TRUE(level.GetContext()->IsEmpty());
        EXPECT_EQ(level.GetContext()->IsSilent(), c.log);
        // The only level gets a copy of itself below it.
        EXPECT_EQ(Stack()->GetContextCount(), levels + (c.onlyLevel && c.keep ? 1 : 0));
        EXPECT_EQ(
            Stack()->GetNthContext(levels + (c.onlyLevel && c.keep ? 1 : 0) - 1)->GetErrorCount(),
            c.errorsBelow);
      };
      if (c.onlyLevel) {
        body();
      } else {
        StErrorContextInstaller outer(true, false);
        body();
      }
      fLogger->Clear();
    });
  }
}

// A logger whose first record makes it raise an error of its own, as a
// logger that fails to write might.
class RaisingLogger : public TestLogger {
 public:
  void LogBag(const VValueBag* record) override {
    TestLogger::LogBag(record);
    if (fRaised) return;
    fRaised = true;
    _ThrowError(ToolboxError(700));
  }
  bool fRaised = false;
};

TEST(ErrorStackLoggingRaising, ErrorRaisedWhileLoggingDoesNotDisturbTheHandOff) {
  VRefPtr<RaisingLogger> logger(new RaisingLogger, kAdoptRef);
  StInstalledLogger installed(logger.Get());
  RunOnNewTask([&] {
    {
      StErrorContextInstaller only(true, true);
      _ThrowError(ToolboxError(600));
      _ThrowError(ToolboxError(601));
      logger->Clear();
    }
    // The records handed over are the ones the level held; the error raised
    // meanwhile stays on the stack after them.
    EXPECT_EQ(LoggedNumbers(*logger), (std::vector<int32>{600, 601}));
    ASSERT_EQ(Stack()->GetContextCount(), 1);
    const VErrorContext* level = Stack()->GetTopContext();
    ASSERT_EQ(level->GetErrorCount(), 3);
    EXPECT_EQ(level->GetErrors()[2]->GetError(), ToolboxError(700));
  });
  logger->Clear();
}

TEST(ErrorStackLoggingWithoutLogger, NothingIsHandedOver) {
  ASSERT_EQ(VProcess::sInstance->GetLogger(), nullptr);
  RunOnNewTask([] {
    {
      StErrorContextInstaller only(true, true);
      _ThrowError(ToolboxError(600));
    }
    EXPECT_EQ(VTask::GetCurrent()->GetLastError(), ToolboxError(600));
  });
}

}  // namespace
}  // namespace zeft
