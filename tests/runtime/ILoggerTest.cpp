#include "runtime/ILogger.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "ErrorTestHelpers.h"
#include "RuntimeTestHelpers.h"
#include "TestLogger.h"
#include "core/VString.h"
#include "platform/MainBundle.h"
#include "process/VProcess.h"
#include "runtime/ILoggerBagKeys.h"
#include "runtime/VErrorBase.h"
#include "runtime/VTask.h"
#include "support/TempFolder.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using test::StartTask;
using test::StInstalledLogger;
using test::TestLogger;

VRefPtr<VErrorBase> MakeError(VError code) {
  return VRefPtr<VErrorBase>(new VErrorBase(code), kAdoptRef);
}
VRefPtr<TestLogger> MakeLogger() { return VRefPtr<TestLogger>(new TestLogger, kAdoptRef); }
VRefPtr<VValueBag> MakeBag() { return VRefPtr<VValueBag>(new VValueBag, kAdoptRef); }

// The attribute as UTF-8, or "<none>" when the record lacks it.
std::string Attribute(const VValueBag& record, const StBagKeyNoDefault<VString, VString>& key) {
  VString value;
  return key.Get(record, value) ? to_string(value) : "<none>";
}

// An application object made from a bundle whose Info.plist holds the
// given product name (none: the key is left out), the process instance for
// the length of a scope.
class StProcessFromBundle {
 public:
  explicit StProcessFromBundle(const char* productName) : fSaved(VProcess::sInstance) {
    std::string plist =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    if (productName != nullptr)
      plist += std::string("\t<key>CFBundleName</key>\n\t<string>") + productName + "</string>\n";
    plist += "</dict>\n</plist>\n";
    fFolder.Write("Probe.app/Contents/Info.plist", plist);
    platform::SetMainBundlePathForTesting(fFolder.Path("Probe.app"));
    fProcess = new VProcess;
    VProcess::sInstance = fProcess;
  }
  ~StProcessFromBundle() {
    delete fProcess;
    VProcess::sInstance = fSaved;
    platform::SetMainBundlePathForTesting("");
  }
  StProcessFromBundle(const StProcessFromBundle&) = delete;
  StProcessFromBundle& operator=(const StProcessFromBundle&) = delete;

 private:
  test::TempFolder fFolder;
  VProcess* fSaved;
  VProcess* fProcess = nullptr;
};

// Sets the calling task's properties for the length of a scope.
class StTaskProperties {
 public:
  explicit StTaskProperties(const VValueBag* properties) {
    VTask::GetCurrent()->SetProperties(properties);
  }
  ~StTaskProperties() { VTask::GetCurrent()->SetProperties(nullptr); }
  StTaskProperties(const StTaskProperties&) = delete;
  StTaskProperties& operator=(const StTaskProperties&) = delete;
};

// --- Levels and keys ------------------------------------------------------

TEST(EMessageLevel, WordsAndMaskBits) {
  struct Case {
    EMessageLevel level;
    const char* word;
    uint32 bit;
  };
  const Case cases[] = {
      {kMessageLevelDump, "DUMP", 0x01},     {kMessageLevelTrace, "TRACE", 0x02},
      {kMessageLevelAssert, "ASSERT", 0x04}, {kMessageLevelDebug, "DEBUG", 0x08},
      {kMessageLevelInfo, "INFO", 0x10},     {kMessageLevelWarning, "WARN", 0x20},
      {kMessageLevelError, "ERROR", 0x40},   {kMessageLevelFatal, "FATAL", 0x80},
      {EMessageLevel(8), "INFO", 0x100},     {EMessageLevel(-1), "INFO", 0x80000000},
      {EMessageLevel(38), "INFO", 0x40},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(GetMessageLevelWord(c.level), c.word) << int(c.level);
    EXPECT_EQ(MessageLevelMaskBit(c.level), c.bit) << int(c.level);
  }
}

TEST(ILoggerBagKeys, TypedKeysStoreTheirValueKinds) {
  VRefPtr<VValueBag> record = MakeBag();
  // A record without "level" is at level 4; a level is stored as a long.
  EXPECT_EQ(ILoggerBagKeys::level.Get(*record), kMessageLevelInfo);
  ILoggerBagKeys::level.Set(*record, kMessageLevelFatal);
  EXPECT_EQ(ILoggerBagKeys::level.Get(*record), kMessageLevelFatal);
  int32 stored = 0;
  EXPECT_TRUE(record->GetLong(ILoggerBagKeys::level, stored));
  EXPECT_EQ(stored, 7);

  // A four-character code keeps all 32 bits, also with the high bit set.
  for (uint32 code : {FourCC("NVUP"), uint32(0xFFFFFFFE)}) {
    ILoggerBagKeys::component_signature.Set(*record, code);
    uint32 back = 0;
    EXPECT_TRUE(ILoggerBagKeys::component_signature.Get(*record, back));
    EXPECT_EQ(back, code);
  }
  ILoggerBagKeys::error_code.Set(*record, MakeVError(FourCC("zeft"), 7));
  uint64 code = 0;
  EXPECT_TRUE(ILoggerBagKeys::error_code.Get(*record, code));
  EXPECT_EQ(code, MakeVError(FourCC("zeft"), 7));

  // UTF-8 text goes in and comes out unchanged.
  const std::string payload = "GET /caf\xC3\xA9 \xE2\x82\xAC";
  ILoggerBagKeys::payload.Set(*record, payload);
  std::string back;
  EXPECT_TRUE(ILoggerBagKeys::payload.Get(*record, back));
  EXPECT_EQ(back, payload);
  VString asText;
  EXPECT_TRUE(record->GetString(ILoggerBagKeys::payload, asText));
  EXPECT_EQ(asText.GetLength(), 11);

  ILoggerBagKeys::is_ssl.Set(*record, true);
  bool flag = false;
  EXPECT_TRUE(ILoggerBagKeys::is_ssl.Get(*record, flag));
  EXPECT_TRUE(flag);
}

// --- Sequence numbers -------------------------------------------------------

// Runs in a process of its own, in which nothing asked for a number yet.
TEST(ILoggerDeathTest, FirstSequenceNumberOfAProcessIsOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const uint64 first = ILogger::GetSequenceNumber();
        const uint64 second = ILogger::GetSequenceNumber();
        _exit(first == 1 && second == 2 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(ILogger, TasksNeverShareASequenceNumber) {
  constexpr int kTasks = 4;
  constexpr int kEach = 5000;
  std::vector<std::vector<uint64>> seen(kTasks);
  std::atomic<int> ready{0};
  std::vector<VTask*> tasks;
  for (int i = 0; i < kTasks; ++i) {
    tasks.push_back(StartTask(
        [&seen, &ready, i] {
          ready.fetch_add(1);
          while (ready.load() < kTasks) std::this_thread::yield();
          for (int k = 0; k < kEach; ++k) seen[size_t(i)].push_back(ILogger::GetSequenceNumber());
        },
        test::kSmallStack));
  }
  for (VTask* task : tasks) EXPECT_TRUE(test::StopTask(task));
  std::vector<uint64> all;
  for (const auto& numbers : seen) {
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    all.insert(all.end(), numbers.begin(), numbers.end());
  }
  ASSERT_EQ(all.size(), size_t(kTasks * kEach));
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
  EXPECT_GE(all.front(), 1u);
}

// --- Level filtering ----------------------------------------------------------

TEST(ILogger, DefaultMaskLogsErrorsButNotAsserts) {
  VRefPtr<TestLogger> logger = MakeLogger();
  VRefPtr<VErrorBase> error = MakeError(ToolboxError(7));
  logger->LogAssertIfNecessary("never", "File.cpp", 1);
  EXPECT_EQ(logger->GetCount(), 0u);
  logger->LogErrorIfNecessary(error.Get());
  EXPECT_EQ(logger->GetCount(), 1u);
  logger->LogErrorIfNecessary(nullptr);
  EXPECT_EQ(logger->GetCount(), 1u);

  // Neither is built when the level is refused or the logger is stopped.
  EXPECT_TRUE(logger->WithError(false));
  logger->LogErrorIfNecessary(error.Get());
  EXPECT_EQ(logger->GetCount(), 1u);
  EXPECT_FALSE(logger->WithError(true));
  EXPECT_FALSE(logger->WithAssert(true));
  logger->Stop();
  logger->LogErrorIfNecessary(error.Get());
  logger->LogAssertIfNecessary("never", "File.cpp", 1);
  EXPECT_EQ(logger->GetCount(), 1u);
}

// --- Assertion records ----------------------------------------------------------

TEST(ILogger, AssertRecords) {
  struct Case {
    const char* file;
    const char* fileName;
  };
  const Case cases[] = {
      {"/home/dev/src/toolbox/runtime/VTask.cpp", "VTask.cpp"},
      {"VTask.cpp", "VTask.cpp"},  // no "/": the whole path
      {"src/", ""},
      {nullptr, ""},
  };
  VRefPtr<TestLogger> logger = MakeLogger();
  logger->WithAssert(true);
  for (const Case& c : cases) {
    logger->Clear();
    logger->LogAssertIfNecessary("index out of range", c.file, 42);
    ASSERT_EQ(logger->GetCount(), 1u) << (c.file ? c.file : "null");
    const VValueBag& record = *logger->GetNth(0);
    EXPECT_TRUE(record.AttributeExists(ILoggerBagKeys::level));
    EXPECT_EQ(ILoggerBagKeys::level.Get(record), kMessageLevelAssert);
    EXPECT_EQ(Attribute(record, ILoggerBagKeys::file_name), c.fileName);
    int32 line = 0;
    EXPECT_TRUE(ILoggerBagKeys::line_number.Get(record, line));
    EXPECT_EQ(line, 42);
    EXPECT_EQ(Attribute(record, ILoggerBagKeys::message), "index out of range");
    // The caller's frames, several of them, on one line.
    const std::string crawl = Attribute(record, ILoggerBagKeys::stack_crawl);
    EXPECT_NE(crawl, "<none>");
    EXPECT_EQ(crawl.find('\n'), std::string::npos);
    EXPECT_NE(crawl.find(" <- "), std::string::npos) << crawl;
  }
  logger->Clear();
  logger->LogAssertIfNecessary(nullptr, "a.cpp", 0);
  ASSERT_EQ(logger->GetCount(), 1u);
  EXPECT_EQ(Attribute(*logger->GetNth(0), ILoggerBagKeys::message), "");
}

// --- Error records ----------------------------------------------------------------

TEST(ILogger, ErrorRecordsCarryTheErrorAndItsTask) {
  VRefPtr<TestLogger> logger = MakeLogger();
  const VError code = MakeVError(FourCC("NVUP"), 101);
  test::RunOnNewTask([&] {
    VTask::GetCurrent()->SetName(VString("Updater"));
    VRefPtr<VErrorBase> error = MakeError(code);
    error->GetBag()->SetString(ErrorBagKeys::p1, VString("/Applications/Old.app"));
    logger->LogErrorIfNecessary(error.Get());

    ASSERT_EQ(logger->GetCount(), 1u);
    const VValueBag& record = *logger->GetNth(0);
    EXPECT_EQ(ILoggerBagKeys::level.Get(record), kMessageLevelError);
    uint64 storedCode = 0;
    EXPECT_TRUE(ILoggerBagKeys::error_code.Get(record, storedCode));
    EXPECT_EQ(storedCode, code);
    int32 taskID = 0;
    EXPECT_TRUE(ILoggerBagKeys::task_id.Get(record, taskID));
    EXPECT_EQ(taskID, VTask::GetCurrentID());
    EXPECT_EQ(Attribute(record, ILoggerBagKeys::task_name), "Updater");
    VValueBag* parameters = record.GetUniqueElement(ErrorBagKeys::parameters);
    ASSERT_NE(parameters, nullptr);
    VString p1;
    EXPECT_TRUE(parameters->GetString(ErrorBagKeys::p1, p1));
    EXPECT_EQ(to_string(p1), "/Applications/Old.app");
    VString description;
    error->GetErrorDescription(description);
    EXPECT_EQ(Attribute(record, ILoggerBagKeys::message), to_string(description));
    uint32 component = 0;
    EXPECT_TRUE(ILoggerBagKeys::component_signature.Get(record, component));
    EXPECT_EQ(component, FourCC("NVUP"));
    // Error records never capture a stack.
    EXPECT_FALSE(record.AttributeExists(ILoggerBagKeys::stack_crawl));
  });
}

TEST(ILogger, ErrorOfComponentZeroHasNoComponentSignature) {
  VRefPtr<TestLogger> logger = MakeLogger();
  VRefPtr<VErrorBase> error = MakeError(MakeVError(0, 12));
  logger->LogErrorIfNecessary(error.Get());
  ASSERT_EQ(logger->GetCount(), 1u);
  EXPECT_FALSE(logger->GetNth(0)->AttributeExists(ILoggerBagKeys::component_signature));
  uint64 code = 1;
  EXPECT_TRUE(ILoggerBagKeys::error_code.Get(*logger->GetNth(0), code));
  EXPECT_EQ(code, 12u);
}

TEST(ILogger, ErrorRecordSourceAndJobComeFromTheTaskProperties) {
  struct Case {
    const char* source;  // null: no such property
    const char* jobId;
    bool withProperties;
    const char* expectedSource;
    const char* expectedJob;
  };
  const Case cases[] = {
      {nullptr, nullptr, false, "Updater Probe", "<none>"},
      {nullptr, nullptr, true, "Updater Probe", "<none>"},
      {"sleepNotifications", nullptr, true, "sleepNotifications", "<none>"},
      {nullptr, "J-17", true, "Updater Probe", "J-17"},
      {"jobs", "J-18", true, "jobs", "J-18"},
      {"", "", true, "", ""},  // present though empty: copied as is
  };
  StProcessFromBundle process("Updater Probe");
  ASSERT_EQ(to_string(VProcess::sInstance->GetLogSourceIdentifier()), "Updater Probe");
  VRefPtr<TestLogger> logger = MakeLogger();
  VRefPtr<VErrorBase> error = MakeError(ToolboxError(7));
  for (const Case& c : cases) {
    VRefPtr<VValueBag> properties = MakeBag();
    if (c.source != nullptr) ILoggerBagKeys::source.Set(*properties, VString(c.source));
    if (c.jobId != nullptr) ILoggerBagKeys::jobId.Set(*properties, VString(c.jobId));
    StTaskProperties scope(c.withProperties ? properties.Get() : nullptr);
    logger->Clear();
    logger->LogErrorIfNecessary(error.Get());
    ASSERT_EQ(logger->GetCount(), 1u);
    EXPECT_EQ(Attribute(*logger->GetNth(0), ILoggerBagKeys::source), c.expectedSource);
    EXPECT_EQ(Attribute(*logger->GetNth(0), ILoggerBagKeys::jobId), c.expectedJob);
  }
}

// --- Stack crawl lines ---------------------------------------------------------------

TEST(FormatStackCrawlLines, CleansAndJoinsFrames) {
  struct Case {
    const char16_t* text;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"", u""},
      {u"   {0} 0x0000000000401000 - main   ", u"{0} 0x0000000000401000 - main"},
      // Two lines, the second ending with " const".
      {u"zeft::VTask::_Run()\nzeft::VFile::Exists(zeft::VString const&) const",
       u"VTask::_Run <- VFile::Exists"},
      // A crawl as Dump writes it ends with a line feed: the empty last line
      // is kept.
      {u"   {1} 0x10 - zeft::VObject::DebugDump()\n   {0} 0x20 - main\n",
       u"{1} 0x10 - VObject::DebugDump <- {0} 0x20 - main <- "},
      {u"non-virtual thunk to zeft::VTask::DoRun()", u"VTask::DoRun"},
      // Removed whatever the case.
      {u"ZEFT::VString::Clear() NON-VIRTUAL THUNK TO x", u"VString::Clear x"},
      // Only the first argument list, and only when "(" comes first.
      {u"a::f(int) b::g(long)", u"a::f b::g(long)"},
      {u"a) b(c)", u"a) b(c)"},
      {u"f(int", u"f(int"},
      // Only a trailing " const" goes.
      {u"f() const g", u"f const g"},
      {u"Get() const", u"Get"},
      {u"constant", u"constant"},
      {u"one\n\n  two  ", u"one <-  <- two"},
  };
  for (const Case& c : cases) {
    VString out("stale");
    FormatStackCrawlLines(out, VString(c.text));
    EXPECT_EQ(to_string(out), to_string(VString(c.expected))) << to_string(VString(c.text));
  }
}

// --- The process logger and source ---------------------------------------------------

TEST(VProcessLogger, GetLoggerByLevel) {
  VProcess* process = VProcess::sInstance;
  ASSERT_EQ(process->GetLogger(), nullptr);
  EXPECT_EQ(process->GetLogger(kMessageLevelFatal), nullptr);
  VRefPtr<TestLogger> logger = MakeLogger();
  {
    StInstalledLogger installed(logger.Get());
    EXPECT_EQ(logger->GetRefCount(), 2);
    EXPECT_EQ(process->GetLogger(), logger.Get());
    EXPECT_EQ(process->GetLogger(kMessageLevelError), logger.Get());
    EXPECT_EQ(process->GetLogger(kMessageLevelDebug), nullptr);
    logger->Stop();
    EXPECT_EQ(process->GetLogger(kMessageLevelError), nullptr);
    EXPECT_EQ(process->GetLogger(), logger.Get());

    // Replacing releases the previous logger.
    VRefPtr<TestLogger> other = MakeLogger();
    process->SetLogger(other.Get());
    EXPECT_EQ(logger->GetRefCount(), 1);
    EXPECT_EQ(other->GetRefCount(), 2);
    EXPECT_EQ(process->GetLogger(), other.Get());
  }
  EXPECT_EQ(process->GetLogger(), nullptr);
}

TEST(VProcessLogger, LogSourceIdentifierIsTheProductName) {
  {
    StProcessFromBundle process("Sample Updater");
    EXPECT_EQ(to_string(VProcess::sInstance->GetLogSourceIdentifier()), "Sample Updater");
  }
  {
    StProcessFromBundle process(nullptr);
    EXPECT_TRUE(VProcess::sInstance->GetLogSourceIdentifier().IsEmpty());
  }
}

TEST(VProcessLogger, DestroyingTheProcessReleasesItsLogger) {
  VRefPtr<TestLogger> logger = MakeLogger();
  {
    StProcessFromBundle process("Probe");
    VProcess::sInstance->SetLogger(logger.Get());
    EXPECT_EQ(logger->GetRefCount(), 2);
  }
  EXPECT_EQ(logger->GetRefCount(), 1);
}

// --- Task properties ------------------------------------------------------------------

TEST(VTaskProperties, RetainedAndReadableFromOtherTasks) {
  VTask* self = VTask::GetCurrent();
  EXPECT_EQ(self->RetainProperties(), nullptr);
  VRefPtr<VValueBag> first = MakeBag();
  ILoggerBagKeys::source.Set(*first, VString("first"));
  self->SetProperties(first.Get());
  EXPECT_EQ(first->GetRefCount(), 2);

  // Another task reads them while this one replaces them.
  std::atomic<bool> stop{false};
  std::atomic<int> reads{0};
  VTask* reader = StartTask(
      [self, &stop, &reads] {
        while (!stop.load()) {
          if (const VValueBag* bag = self->RetainProperties()) {
            VString source;
            EXPECT_TRUE(ILoggerBagKeys::source.Get(*bag, source));
            bag->Release();
          }
          reads.fetch_add(1);
        }
      },
      test::kSmallStack);
  for (int i = 0; i < 200; ++i) {
    VRefPtr<VValueBag> next = MakeBag();
    ILoggerBagKeys::source.Set(*next, VString("next"));
    self->SetProperties(next.Get());
  }
  EXPECT_TRUE(test::WaitUntil([&] { return reads.load() > 10; }));
  stop.store(true);
  EXPECT_TRUE(test::StopTask(reader));
  EXPECT_EQ(first->GetRefCount(), 1);

  const VValueBag* now = self->RetainProperties();
  ASSERT_NE(now, nullptr);
  EXPECT_EQ(Attribute(*now, ILoggerBagKeys::source), "next");
  EXPECT_EQ(now->GetRefCount(), 2);
  now->Release();
  self->SetProperties(nullptr);
  EXPECT_EQ(self->RetainProperties(), nullptr);
}

}  // namespace
}  // namespace zeft
