#include "runtime/VDebugMgr.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
// GCC 12 warns falsely inside std::regex's compiler at -O1.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#include <string>
#include <vector>

#include "ErrorTestHelpers.h"
#include "TestLogger.h"
#include "core/VString.h"
#include "platform/Debugger.h"
#include "platform/MainBundle.h"
#include "runtime/IDebugMessageHandler.h"
#include "runtime/ILoggerBagKeys.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

using test::StInstalledLogger;
using test::TestLogger;

// Toolbox numbers of the records a logger holds.
std::vector<int32> LoggedNumbers(const TestLogger& logger) {
  std::vector<int32> numbers;
  for (size_t i = 0; i < logger.GetCount(); ++i) {
    uint64 code = 0;
    ILoggerBagKeys::error_code.Get(*logger.GetNth(i), code);
    numbers.push_back(ErrorNumber(code));
  }
  return numbers;
}

// Answers every question with a fixed answer and counts them.
class FixedHandler : public IDebugMessageHandler {
 public:
  explicit FixedHandler(int32 answer) : fAnswer(answer) {}
  int32 AssertFailed(VDebugContext&, const char*, const char*, int) override {
    ++fAsserts;
    return fAnswer;
  }
  int32 ErrorThrown(VDebugContext&, VErrorBase*) override {
    ++fErrors;
    return fAnswer;
  }
  int32 fAnswer;
  int fAsserts = 0;
  int fErrors = 0;
};

// The debug manager turned on, a test logger as the process logger.
class DebugMgr : public ::testing::Test {
 protected:
  DebugMgr() : fLogger(new TestLogger, kAdoptRef), fInstalled(fLogger.Get()) {
    VDebugMgr::Get().Init();
  }
  ~DebugMgr() override {
    VDebugMgr::Get().DeInit();
    VTask::FlushErrors();
  }
  VDebugMgr& Mgr() { return VDebugMgr::Get(); }

  VRefPtr<TestLogger> fLogger;
  StInstalledLogger fInstalled;
};

TEST_F(DebugMgr, LogsEachPushedErrorOnceUnlessSilencedOrOff) {
  _ThrowError(ToolboxError(700));
  EXPECT_EQ(LoggedNumbers(*fLogger), std::vector<int32>{700});
  EXPECT_EQ(ILoggerBagKeys::level.Get(*fLogger->GetNth(0)), kMessageLevelError);

  // A silent level keeps its errors from the debug manager.
  {
    StErrorContextInstaller silent(false, true);
    _ThrowError(ToolboxError(701));
  }
  EXPECT_EQ(LoggedNumbers(*fLogger), std::vector<int32>{700});

  // Low-level mode of the calling task, nested.
  Mgr().StartLowLevelMode();
  Mgr().StartLowLevelMode();
  _ThrowError(ToolboxError(702));
  Mgr().StopLowLevelMode();
  _ThrowError(ToolboxError(703));
  Mgr().StopLowLevelMode();
  _ThrowError(ToolboxError(704));
  EXPECT_EQ(LoggedNumbers(*fLogger), (std::vector<int32>{700, 704}));

  // Off: nothing reaches the logger.
  Mgr().DeInit();
  _ThrowError(ToolboxError(705));
  EXPECT_EQ(fLogger->GetCount(), 2u);
}

// A logger that raises an error while it logs one.
class RaisingLogger : public TestLogger {
 public:
  void LogBag(const VValueBag* record) override {
    TestLogger::LogBag(record);
    _ThrowError(ToolboxError(799));
  }
};

TEST_F(DebugMgr, AnErrorRaisedWhileLoggingOneIsNotHandledAgain) {
  VRefPtr<RaisingLogger> raising(new RaisingLogger, kAdoptRef);
  StInstalledLogger installed(raising.Get());
  _ThrowError(ToolboxError(710));
  EXPECT_EQ(LoggedNumbers(*raising), std::vector<int32>{710});
  // Both are on the stack; the next error is handled again.
  _ThrowError(ToolboxError(711));
  EXPECT_EQ(LoggedNumbers(*raising), (std::vector<int32>{710, 711}));
}

TEST_F(DebugMgr, HandlerAnswersDecideWhatIsHandledLater) {
  struct Case {
    int32 answer;
    int32 code;  // raised twice, then code + 1 once
    std::vector<int32> logged;
    int questions;
  };
  const Case cases[] = {
      {kDebugAnswerContinue, 720, {720, 720, 721}, 3},
      {kDebugAnswerIgnore, 722, {722, 723}, 2},
      {99, 724, {724, 724, 725}, 3},
  };
  for (const Case& c : cases) {
    Mgr().Init();
    fLogger->Clear();
    VRefPtr<FixedHandler> handler(new FixedHandler(c.answer), kAdoptRef);
    Mgr().SetDebugMessageHandler(handler.Get());
    EXPECT_EQ(handler->GetRefCount(), 2);
    _ThrowError(ToolboxError(c.code));
    _ThrowError(ToolboxError(c.code));
    _ThrowError(ToolboxError(c.code + 1));
    EXPECT_EQ(LoggedNumbers(*fLogger), c.logged) << c.answer;
    EXPECT_EQ(handler->fErrors, c.questions) << c.answer;
    Mgr().DeInit();
    EXPECT_EQ(handler->GetRefCount(), 1);
  }
}

// "Ignore all" lasts for the process: checked in a process of its own.
TEST(VDebugMgrDeathTest, IgnoreAllAnswerStopsHandlingErrors) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        VRefPtr<TestLogger> logger(new TestLogger, kAdoptRef);
        StInstalledLogger installed(logger.Get());
        VDebugMgr::Get().Init();
        VRefPtr<FixedHandler> handler(new FixedHandler(kDebugAnswerIgnoreAll), kAdoptRef);
        VDebugMgr::Get().SetDebugMessageHandler(handler.Get());
        _ThrowError(ToolboxError(726));
        _ThrowError(ToolboxError(727));
        _exit(LoggedNumbers(*logger) == std::vector<int32>{726} && handler->fErrors == 1 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(DebugMgr, FailedAssertionsAreLoggedAndIgnoredBySite) {
  fLogger->WithAssert(true);
  EXPECT_FALSE(Mgr().AssertFailed("x > 0", "/src/Thing.cpp", 12));
  ASSERT_EQ(fLogger->GetCount(), 1u);
  EXPECT_EQ(ILoggerBagKeys::level.Get(*fLogger->GetNth(0)), kMessageLevelAssert);

  Mgr().SetBreakOnAssert(true);
  EXPECT_TRUE(Mgr().AssertFailed("x > 0", "/src/Thing.cpp", 12));
  VRefPtr<FixedHandler> ignore(new FixedHandler(kDebugAnswerIgnore), kAdoptRef);
  Mgr().SetDebugMessageHandler(ignore.Get());
  EXPECT_FALSE(Mgr().AssertFailed("x > 0", "/src/Thing.cpp", 12));
  // The site is ignored from now on; the same file at another line is not.
  EXPECT_FALSE(Mgr().AssertFailed("x > 0", "/src/Thing.cpp", 12));
  EXPECT_EQ(ignore->fAsserts, 1);
  EXPECT_FALSE(Mgr().AssertFailed("y > 0", "/src/Thing.cpp", 13));
  EXPECT_EQ(ignore->fAsserts, 2);
  EXPECT_EQ(fLogger->GetCount(), 4u);
  Mgr().SetBreakOnAssert(false);
}

TEST_F(DebugMgr, BreakWithoutATracerDoesNothing) {
  ASSERT_FALSE(platform::IsDebuggerAttached());
  VDebugMgr::Get().SetBreakOnError(true);
  _ThrowError(ToolboxError(730));
  Mgr().Break();
  VDebugMgr::Get().SetBreakOnError(false);
  EXPECT_EQ(LoggedNumbers(*fLogger), std::vector<int32>{730});
}

TEST(VDebugMgrDeathTest, AbortAndAHandlersEndAnswerExitWithAFailure) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(VDebugMgr::Get().Abort(), ::testing::ExitedWithCode(EXIT_FAILURE), "");
  EXPECT_EXIT(
      {
        VDebugMgr::Get().Init();
        VRefPtr<FixedHandler> end(new FixedHandler(kDebugAnswerEnd), kAdoptRef);
        VDebugMgr::Get().SetDebugMessageHandler(end.Get());
        _ThrowError(ToolboxError(740));
        _exit(0);
      },
      ::testing::ExitedWithCode(EXIT_FAILURE), "");
}

// --- The asserts file ---------------------------------------------------------

TEST(VDebugMgrAssertFile, PathCutsTheExtensionOfTheBundleNameOnly) {
  struct Case {
    const char* bundle;
    const char* file;
  };
  const Case cases[] = {
      {"/Applications/Tool.app", "/Applications/Tool_asserts.txt"},
      {"/opt/my.tools/Tool.app", "/opt/my.tools/Tool_asserts.txt"},
      {"/opt/my.tools/bin", "/opt/my.tools/bin_asserts.txt"},
      {"/opt/.hidden", "/opt/.hidden_asserts.txt"},
      {"/opt/a.b.c", "/opt/a.b_asserts.txt"},
  };
  for (const Case& c : cases) {
    platform::SetMainBundlePathForTesting(c.bundle);
    VDebugMgr::Get().DeInit();
    EXPECT_EQ(VDebugMgr::Get()._GetAssertFilePath(), c.file) << c.bundle;
  }
  platform::SetMainBundlePathForTesting(std::string(5000, 'a'));
  VDebugMgr::Get().DeInit();
  EXPECT_EQ(VDebugMgr::Get()._GetAssertFilePath(), "");
  platform::SetMainBundlePathForTesting("");
  VDebugMgr::Get().DeInit();
}

using zeft::test::ReadWholeFile;

// The whole life of the file in a fresh process (its first open empties
// it); any mismatch is reported on stderr.
std::string AssertFileScenario() {
  test::TempFolder folder;
  folder.Write("Tool.app/Contents/Info.plist", "<plist version=\"1.0\"><dict/></plist>");
  platform::SetMainBundlePathForTesting(folder.Path("Tool.app"));
  const std::string path = folder.Path("Tool_asserts.txt");
  folder.Write("Tool_asserts.txt", "left by the previous run\n");
  // Words of the dates stay English under another locale.
  std::setlocale(LC_ALL, "fr_FR.utf8");
  VDebugMgr& mgr = VDebugMgr::Get();
  mgr.Init();

  mgr.WriteToAssertFile(VString("first\n"), false, false);
  const std::regex header(
      "Novu log file opened on (Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday), "
      "(January|February|March|April|May|June|July|August|September|October|November|"
      "December) [0-9]{2}, [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2} (AM|PM)\n\nfirst\n");
  if (!std::regex_match(ReadWholeFile(path), header)) return "first open: " + ReadWholeFile(path);

  mgr.WriteToAssertFile(VString("second\n"), true, false);
  const std::string content = ReadWholeFile(path);
  const std::regex withTime(
      "[\\s\\S]*first\n\n[0-9]{2}/[0-9]{2}/[0-9]{2}, [0-9]{2}:[0-9]{2}:[0-9]{2}\nsecond\n");
  if (!std::regex_match(content, withTime)) return "append: " + content;

  // Exactly 10 MiB stays; one byte more is set aside at the next open.
  if (::truncate(path.c_str(), VDebugMgr::kMaxAssertFileSize) != 0) return "cannot grow";
  mgr.WriteToAssertFile(VString("kept"), false, false);
  if (ReadWholeFile(path).size() != size_t(VDebugMgr::kMaxAssertFileSize) + 4) return "10 MiB kept";
  mgr.WriteToAssertFile(VString("third"), false, false);
  struct stat info {};
  if (::stat((path + "0").c_str(), &info) != 0 || info.st_size != VDebugMgr::kMaxAssertFileSize + 4)
    return "no first rotation";
  const std::regex rotated("2 nth log opened on [A-Z][a-z]+, [A-Z][a-z]+ [^\\n]*\n\nthird");
  if (!std::regex_match(ReadWholeFile(path), rotated))
    return "after rotation: " + ReadWholeFile(path);

  // A rename that fails keeps the file and appends to it.
  folder.Write(std::string("Tool_asserts.txt1/occupied"), "x");
  if (::truncate(path.c_str(), VDebugMgr::kMaxAssertFileSize + 1) != 0) return "cannot grow";
  mgr.WriteToAssertFile(VString("fourth"), false, false);
  const std::string after = ReadWholeFile(path);
  if (after.size() != size_t(VDebugMgr::kMaxAssertFileSize) + 1 + 6 ||
      after.compare(0, 19, "2 nth log opened on") != 0)
    return "failed rename emptied the file";

  // Errors go to the file when asked, with the caller's stack.
  mgr.SetWriteToAssertFile(true);
  if (::truncate(path.c_str(), 0) != 0) return "cannot empty the file";
  {
    StErrorContextInstaller keep;
    _ThrowError(ToolboxError(750));
  }
  const std::string errors = ReadWholeFile(path);
  if (errors.find("Error: ") == std::string::npos || errors.find(":: frame ") == std::string::npos)
    return "error record: " + errors;
  mgr.DeInit();
  platform::SetMainBundlePathForTesting("");
  return "";
}

TEST(VDebugMgrAssertFileDeathTest, HeadersRotationAndAFailedRename) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const std::string problem = AssertFileScenario();
        std::fputs(problem.c_str(), stderr);
        _exit(problem.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zeft
