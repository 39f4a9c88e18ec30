#include "runtime/VLog4jMsgFileLogger.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
// GCC 12 warns falsely inside std::regex's compiler at -O1.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#include <string>
#include <vector>

#include "LogFileTestSupport.h"
#include "RuntimeTestHelpers.h"
#include "TestLogger.h"
#include "core/VString.h"
#include "process/VProcess.h"
#include "runtime/ILoggerBagKeys.h"
#include "runtime/VLogger.h"
#include "runtime/VSplitableLogFile.h"
#include "runtime/VTask.h"
#include "support/RepeatCount.h"
#include "support/StringTestSupport.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using test::FileSize;
using test::FolderOf;
using test::MakeFileOfSize;
using test::ReadLines;
using test::StInstalledLogger;
using test::TempFolder;

const std::regex kLine(
    "^[0-9]+ [0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2} "
    "\\[.+\\] (DUMP|TRACE|ASSERT|DEBUG|INFO|WARN|ERROR|FATAL) - .*$");

std::string SourceId() { return to_string(VProcess::sInstance->GetLogSourceIdentifier()); }

// A started process logger installed for the test, and a file logger on
// a scratch folder.
class FileLogger : public ::testing::Test {
 protected:
  FileLogger() : fLogger(new VLogger, kAdoptRef), fInstalled(fLogger.Get()) { fLogger->Start(); }

  std::string LogPath(int number) const {
    return fFolder.Path("run_" + std::to_string(number) + ".txt");
  }
  VLog4jMsgFileLogger MakeFileLogger() { return {FolderOf(fFolder.Path()), VString("run")}; }
  // The size of every log file together.
  long long LoggedBytes() const {
    long long total = 0;
    for (int n = 1; FileSize(LogPath(n)) >= 0; ++n) total += FileSize(LogPath(n));
    return total;
  }

  TempFolder fFolder;
  VRefPtr<VLogger> fLogger;
  StInstalledLogger fInstalled;
};

// The fields of a line after the time: source, level word, message.
struct Line {
  unsigned long long number = 0;
  std::string source, level, message;
};

// Cut by hand: the big test reads close to a million lines.
Line Parse(const std::string& text) {
  Line line;
  const size_t blank = text.find(' ');
  const size_t open = text.find(" [", blank == std::string::npos ? 0 : blank + 1);
  const size_t close = open == std::string::npos ? open : text.find("] ", open + 2);
  const size_t dash = close == std::string::npos ? close : text.find(" - ", close + 2);
  if (dash == std::string::npos) return line;
  line.number = std::strtoull(text.c_str(), nullptr, 10);
  line.source = text.substr(open + 2, close - open - 2);
  line.level = text.substr(close + 2, dash - close - 2);
  line.message = text.substr(dash + 3);
  return line;
}

TEST_F(FileLogger, WritesOneNumberedLinePerAcceptedRecord) {
  // Dates and level words do not follow the user's locale.
  std::setlocale(LC_ALL, "fr_FR.utf8");
  VLog4jMsgFileLogger fileLogger = MakeFileLogger();
  fileLogger.Start();
  ASSERT_TRUE(fileLogger.IsStarted());
  VFilePath path;
  ASSERT_TRUE(fileLogger.GetLogFilePath(path));
  VString posix;
  path.GetPosixPath(posix);
  EXPECT_EQ(to_string(posix), LogPath(1));

  fLogger->WithDebug(true);
  const struct {
    EMessageLevel level;
    const char* word;
  } levels[] = {{kMessageLevelInfo, "INFO"},
                {kMessageLevelWarning, "WARN"},
                {kMessageLevelError, "ERROR"},
                {kMessageLevelFatal, "FATAL"},
                // Accepted by the process logger, not by the file logger.
                {kMessageLevelDebug, nullptr}};
  for (const auto& l : levels)
    fLogger->LogMessage(l.level, VString("caf\xC3\xA9"), VString("updater.NVUP"));
  fLogger->Flush();
  fileLogger.Stop();
  EXPECT_FALSE(fileLogger.IsStarted());
  EXPECT_FALSE(fileLogger.GetLogFilePath(path));
  std::setlocale(LC_ALL, "C");

  const std::vector<std::string> lines = ReadLines(LogPath(1));
  ASSERT_EQ(lines.size(), 4u);
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], kLine)) << lines[i];
    const Line line = Parse(lines[i]);
    EXPECT_EQ(line.level, levels[i].word);
    EXPECT_EQ(line.source, "updater.NVUP");
    EXPECT_EQ(line.message, "caf\xC3\xA9 ()");
    if (i > 0) {
      EXPECT_EQ(line.number, Parse(lines[i - 1]).number + 1);
    }
  }
}

TEST(VLog4jMsgFileLoggerInfos, MessagesSourcesAndDetailsFromRecords) {
  const std::string id = SourceId();
  const std::string idDot = id.empty() ? "" : id + ".";
  struct Case {
    const char* name;
    std::function<void(VValueBag&)> fill;
    std::string source;
    EMessageLevel level;
    std::string message;
  };
  const Case cases[] = {
      {"error of zeft without source",
       [](VValueBag& r) {
         ILoggerBagKeys::message.Set(r, VString("text"));
         ILoggerBagKeys::level.Set(r, kMessageLevelError);
         ILoggerBagKeys::error_code.Set(r, MakeVError(FourCC("zeft"), 7));
       },
       idDot + "zeft", kMessageLevelError, "[7] text ()"},
      {"task attributes listed in order",
       [](VValueBag& r) {
         ILoggerBagKeys::message.Set(r, VString("m"));
         ILoggerBagKeys::task_id.Set(r, 3);
         ILoggerBagKeys::task_name.Set(r, VString("Logger"));
         ILoggerBagKeys::source.Set(r, VString("src"));
       },
       "src", kMessageLevelInfo, "m (task=3, taskName=Logger)"},
      {"line feeds in values and keys without a label",
       [](VValueBag& r) {
         ILoggerBagKeys::stack_crawl.Set(r, VString("a\nb"));
         ILoggerBagKeys::jobId.Set(r, VString("j1"));
         ILoggerBagKeys::source.Set(r, VString(""));
       },
       "", kMessageLevelInfo, " (stackCrawl=a ; b, jobId=j1)"},
      {"a component of 0 names none",
       [](VValueBag& r) {
         ILoggerBagKeys::error_code.Set(r, MakeVError(FourCC("zeft"), -2));
         ILoggerBagKeys::component_signature.Set(r, 0u);
         ILoggerBagKeys::source.Set(r, VString("s"));
       },
       "s", kMessageLevelInfo, "[-2]  ()"},
      {"a given component follows the source",
       [](VValueBag& r) {
         ILoggerBagKeys::component_signature.Set(r, FourCC("NVUP"));
         ILoggerBagKeys::source.Set(r, VString("updater"));
         ILoggerBagKeys::level.Set(r, EMessageLevel(-3));
       },
       "updater.NVUP", EMessageLevel(-3), " ()"},
  };
  for (const Case& c : cases) {
    VRefPtr<VValueBag> record(new VValueBag, kAdoptRef);
    c.fill(*record);
    VString source, message;
    EMessageLevel level = kMessageLevelDump;
    VLog4jMsgFileLogger::GetLogInfosFromBag(record.Get(), source, level, message);
    EXPECT_EQ(to_string(source), c.source) << c.name;
    EXPECT_EQ(level, c.level) << c.name;
    EXPECT_EQ(to_string(message), c.message) << c.name;
  }
  VString source, message;
  EMessageLevel level = kMessageLevelDump;
  VLog4jMsgFileLogger::GetLogInfosFromBag(nullptr, source, level, message);
  EXPECT_EQ(to_string(source), id);
  EXPECT_EQ(level, kMessageLevelInfo);
  EXPECT_EQ(to_string(message), " ()");
}

// A message logged with LogMessage reads in the file as the record that
// LogMessage stands for would: ASCII or not, cut at a NUL, with a lone
// surrogate, empty or null, with or without a source of its own.
TEST_F(FileLogger, MessagesReadAsTheirRecords) {
  VLog4jMsgFileLogger fileLogger = MakeFileLogger();
  fileLogger.Start();
  const VString texts[] = {
      VString("plain"),
      test::Str(u"caf\u00E9 \u65E5\U0001F600"),
      test::Str(std::u16string(u"before\0after", 12)),
      test::Str(u"lone \xD800 high"),
      VString(""),
      VString(),
  };
  const VString sources[] = {VString("updater"), test::Str(u"s\u00F6urce"), VString("")};
  const EMessageLevel levels[] = {kMessageLevelInfo, kMessageLevelError};
  size_t pairs = 0;
  for (const VString& text : texts) {
    for (const VString& source : sources) {
      for (EMessageLevel level : levels) {
        fLogger->LogMessage(level, text, source);
        VRefPtr<VValueBag> record(new VValueBag, kAdoptRef);
        ILoggerBagKeys::source.Set(
            *record, source.IsEmpty() ? VProcess::sInstance->GetLogSourceIdentifier() : source);
        if (level != kDefaultMessageLevel) ILoggerBagKeys::level.Set(*record, level);
        ILoggerBagKeys::message.Set(*record, text);
        fLogger->LogBag(record.Get());
        ++pairs;
      }
    }
  }
  fLogger->Flush();
  fileLogger.Stop();

  const std::vector<std::string> lines = ReadLines(LogPath(1));
  ASSERT_EQ(lines.size(), 2 * pairs);
  for (size_t i = 0; i < lines.size(); i += 2) {
    const Line message = Parse(lines[i]);
    const Line record = Parse(lines[i + 1]);
    EXPECT_EQ(message.source, record.source) << lines[i];
    EXPECT_EQ(message.level, record.level) << lines[i];
    EXPECT_EQ(message.message, record.message) << lines[i];
  }
  EXPECT_EQ(Parse(lines[0]).message, "plain ()");
  // Each text makes twelve lines; the line stops at the NUL.
  EXPECT_EQ(Parse(lines[2 * 12]).message, "before");
}

// The attributes of a record that are not fields of the line follow its
// message in the record's order, each behind its label or, without one,
// behind its own key.
TEST_F(FileLogger, RecordAttributesFollowTheMessageBehindTheirLabels) {
  VLog4jMsgFileLogger fileLogger = MakeFileLogger();
  fileLogger.Start();
  VRefPtr<VValueBag> record(new VValueBag, kAdoptRef);
  ILoggerBagKeys::user_id.Set(*record, VString("u-1"));
  ILoggerBagKeys::message.Set(*record, VString("sent"));
  ILoggerBagKeys::dump_buffer.Set(*record, VString("0A 0B"));
  ILoggerBagKeys::level.Set(*record, kMessageLevelWarning);
  ILoggerBagKeys::exchange_id.Set(*record, true);
  ILoggerBagKeys::source.Set(*record, VString("net"));
  ILoggerBagKeys::jobId.Set(*record, VString("j7"));
  fLogger->LogBag(record.Get());
  fLogger->Flush();
  fileLogger.Stop();

  const std::vector<std::string> lines = ReadLines(LogPath(1));
  ASSERT_EQ(lines.size(), 1u);
  const Line line = Parse(lines[0]);
  EXPECT_EQ(line.level, "WARN");
  EXPECT_EQ(line.source, "net");
  EXPECT_EQ(line.message, "sent (UUID=u-1, data : 0A 0B, exchangeEndpointId=true, jobId=j7)");
}

TEST_F(FileLogger, StartContinuesTheLastFileOfTheUnbrokenRun) {
  struct Case {
    std::vector<int> existing;
    int written;
  };
  const Case cases[] = {{{}, 1}, {{1, 2}, 2}, {{1, 3}, 1}, {{2}, 1}};
  for (const Case& c : cases) {
    TempFolder folder;
    for (int n : c.existing) folder.Write("run_" + std::to_string(n) + ".txt", "old line\n");
    VLog4jMsgFileLogger fileLogger(FolderOf(folder.Path()), VString("run"));
    fileLogger.Start();
    EXPECT_EQ(fileLogger.GetLogMaxNumberToKeep(), 50);
    fLogger->LogMessage(kMessageLevelInfo, VString("new"), VString("s"));
    fLogger->Flush();
    fileLogger.Stop();
    EXPECT_EQ(fileLogger.GetLogMaxNumberToKeep(), 0);
    const auto lines = ReadLines(folder.Path("run_" + std::to_string(c.written) + ".txt"));
    const bool existed =
        std::find(c.existing.begin(), c.existing.end(), c.written) != c.existing.end();
    ASSERT_EQ(lines.size(), existed ? 2u : 1u) << c.written;
    EXPECT_EQ(Parse(lines.back()).message, "new ()");
  }

  // Nothing starts without a usable folder or name.
  VLog4jMsgFileLogger unnamed(FolderOf(fFolder.Path()), VString());
  unnamed.Start();
  EXPECT_FALSE(unnamed.IsStarted());
  fFolder.Write("file", "x");
  VLog4jMsgFileLogger blocked(FolderOf(fFolder.Path("file")), VString("run"));
  blocked.Start();
  EXPECT_FALSE(blocked.IsStarted());
  EXPECT_FALSE(blocked._IsStarted());
}

TEST_F(FileLogger, PausedOrStoppedLoggersConsumeRecordsWithoutLines) {
  VLog4jMsgFileLogger fileLogger = MakeFileLogger();
  fileLogger.Start();
  VRefPtr<VValueBag> record(new VValueBag, kAdoptRef);
  ILoggerBagKeys::message.Set(*record, VString("while paused"));
  fileLogger.Pause();
  EXPECT_TRUE(fileLogger.IsPaused());
  fLogger->LogBag(record.Get());
  fLogger->Flush();
  EXPECT_EQ(record->GetRefCount(), 1);
  fileLogger.Resume();
  fLogger->LogMessage(kMessageLevelWarning, VString("resumed"), VString("s"));
  fLogger->Flush();
  fileLogger.Stop();
  fLogger->LogMessage(kMessageLevelWarning, VString("after stop"), VString("s"));
  fLogger->Flush();
  const auto lines = ReadLines(LogPath(1));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Parse(lines[0]).message, "resumed ()");
}

TEST_F(FileLogger, StoppingWhileTheLoggerTaskWritesNeitherBlocksNorBreaksLines) {
  std::atomic<bool> done{false};
  VTask* producer = test::StartTask(
      [&] {
        for (int i = 0; !done.load(); ++i)
          fLogger->LogMessage(kMessageLevelInfo, VString("busy"), VString("p"));
      },
      test::kSmallStack);
  long long written = 0;
  for (int round = 0; round < 20; ++round) {
    VLog4jMsgFileLogger fileLogger = MakeFileLogger();
    fileLogger.Start();
    EXPECT_TRUE(fileLogger.IsStarted());
    // Stopped once the logger task writes for it.
    EXPECT_TRUE(test::WaitUntil([&] { return LoggedBytes() > written; }));
    fileLogger.Stop();
    written = LoggedBytes();
  }
  done.store(true);
  EXPECT_TRUE(test::StopTask(producer));
  // Every line that was written is whole.
  for (const std::string& line : ReadLines(LogPath(1)))
    ASSERT_TRUE(std::regex_match(line, kLine)) << line;
}

// 8 tasks x 100,000 records (25,000 with bounded counts, still past one
// split): every one reaches the files, split past 10 MiB without a broken
// line, in each producer's order and with rising numbers.
TEST_F(FileLogger, ManyProducersLoseNothingAcrossSplits) {
  constexpr int kProducers = 8;
  const int kEach = test::RepeatCount(100000, 25000);
  VLog4jMsgFileLogger fileLogger = MakeFileLogger();
  fileLogger.Start();
  std::vector<VTask*> tasks;
  for (int p = 0; p < kProducers; ++p) {
    tasks.push_back(test::StartTask(
        [this, p, kEach] {
          const std::string prefix = "producer " + std::to_string(p) + " record ";
          for (int i = 0; i < kEach; ++i)
            fLogger->LogMessage(kMessageLevelInfo, VString((prefix + std::to_string(i)).c_str()),
                                VString("bench"));
        },
        test::kSmallStack));
  }
  // Slow under the thread sanitizer on a busy machine: no short limit.
  for (VTask* task : tasks) {
    EXPECT_TRUE(task->WaitForDeath(15 * 60 * 1000));
    task->Release();
  }
  fLogger->Flush();
  VFilePath current;
  ASSERT_TRUE(fileLogger.GetLogFilePath(current));
  fileLogger.Stop();

  std::vector<int> next(kProducers, 0);
  unsigned long long previous = 0;
  int files = 0;
  size_t total = 0;
  for (int n = 1; FileSize(LogPath(n)) >= 0; ++n) {
    ++files;
    const long long size = FileSize(LogPath(n));
    if (FileSize(LogPath(n + 1)) >= 0) {
      // A full file ends with the first line that started past the limit.
      EXPECT_GT(size, VSplitableLogFile::kMaxLogFileSize) << n;
      EXPECT_LT(size, VSplitableLogFile::kMaxLogFileSize + 200) << n;
    }
    for (const std::string& text : ReadLines(LogPath(n))) {
      const Line line = Parse(text);
      ASSERT_NE(line.number, 0u) << text;
      if (previous != 0) {
        ASSERT_EQ(line.number, previous + 1);
      }
      previous = line.number;
      int producer = 0, index = 0;
      ASSERT_EQ(std::sscanf(line.message.c_str(), "producer %d record %d", &producer, &index), 2);
      ASSERT_EQ(index, next[size_t(producer)]) << text;
      next[size_t(producer)] = index + 1;
      ++total;
    }
  }
  EXPECT_EQ(total, size_t(kProducers * kEach));
  EXPECT_GE(files, 2);
  VString posix;
  current.GetPosixPath(posix);
  EXPECT_EQ(to_string(posix), LogPath(files));
}

}  // namespace
}  // namespace zeft
