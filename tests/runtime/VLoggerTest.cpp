#include "runtime/VLogger.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "RuntimeTestHelpers.h"
#include "core/VString.h"
#include "runtime/ILogListener.h"
#include "runtime/ILoggerBagKeys.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "support/StringTestSupport.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

// Keeps the messages of every batch it gets, and the task that handed
// them over. Optionally blocks inside Put until released.
class RecordingListener : public ILogListener {
 public:
  explicit RecordingListener(std::string name = "", std::vector<std::string>* calls = nullptr)
      : fName(std::move(name)), fCalls(calls) {}
  ~RecordingListener() override {
    if (fTask != nullptr) fTask->Release();
  }

  void Put(std::vector<const VValueBag*>& records) override {
    std::unique_lock lock(fMutex);
    if (fTask == nullptr) {
      fTask = VTask::GetCurrent();
      if (fTask != nullptr) fTask->Retain();
    }
    if (fCalls != nullptr) fCalls->push_back(fName);
    for (const VValueBag* record : records) {
      VString message;
      ILoggerBagKeys::message.Get(*record, message);
      fMessages.push_back(to_string(message));
    }
    ++fBatches;
    fInPut = true;
    fChanged.notify_all();
    fChanged.wait(lock, [this] { return !fBlocking; });
    fInPut = false;
  }

  std::vector<std::string> Messages() {
    std::lock_guard lock(fMutex);
    return fMessages;
  }
  size_t Count() {
    std::lock_guard lock(fMutex);
    return fMessages.size();
  }
  int Batches() {
    std::lock_guard lock(fMutex);
    return fBatches;
  }
  VTask* Task() {
    std::lock_guard lock(fMutex);
    return fTask;
  }
  void SetBlocking(bool blocking) {
    std::lock_guard lock(fMutex);
    fBlocking = blocking;
    fChanged.notify_all();
  }
  void WaitUntilInPut() {
    std::unique_lock lock(fMutex);
    fChanged.wait(lock, [this] { return fInPut; });
  }

 private:
  std::string fName;
  std::vector<std::string>* fCalls;
  std::mutex fMutex;
  std::condition_variable fChanged;
  std::vector<std::string> fMessages;
  int fBatches = 0;
  VTask* fTask = nullptr;
  bool fBlocking = false;
  bool fInPut = false;
};

VRefPtr<VLogger> MakeStartedLogger() {
  VRefPtr<VLogger> logger(new VLogger, kAdoptRef);
  logger->Start();
  return logger;
}

VRefPtr<VValueBag> MakeRecord(const std::string& message, int32 level = -100) {
  VRefPtr<VValueBag> record(new VValueBag, kAdoptRef);
  ILoggerBagKeys::message.Set(*record, VString(message.c_str()));
  if (level != -100) ILoggerBagKeys::level.Set(*record, EMessageLevel(level));
  return record;
}

void LogNumbered(VLogger& logger, int from, int count) {
  for (int i = from; i < from + count; ++i) logger.LogBag(MakeRecord(std::to_string(i)).Get());
}

std::vector<std::string> Numbered(int from, int count) {
  std::vector<std::string> texts;
  for (int i = from; i < from + count; ++i) texts.push_back(std::to_string(i));
  return texts;
}

// A logger whose "Logger" task was started by a listener and stopped again:
// records then stay queued until Flush, as after the task's end.
struct ManualFlushLogger {
  ManualFlushLogger() : logger(MakeStartedLogger()), listener(new RecordingListener, kAdoptRef) {
    logger->AddLogListener(listener.Get());
    logger->Stop();
  }
  VRefPtr<VLogger> logger;
  VRefPtr<RecordingListener> listener;
};

TEST(VLogger, AcceptsLevelsOfItsMaskOnceStarted) {
  VRefPtr<VLogger> logger(new VLogger, kAdoptRef);
  for (int level = -2; level < 40; ++level)
    EXPECT_FALSE(logger->ShouldLog(EMessageLevel(level))) << "before Start: " << level;
  logger->Start();
  EXPECT_TRUE(logger->IsStarted());
  struct Case {
    int32 level;
    bool accepted;
  };
  // Levels are taken modulo 32 as unsigned numbers: -1 is bit 31, 36 is 4.
  const Case cases[] = {{0, false}, {1, false}, {2, false}, {3, false}, {4, true},   {5, true},
                        {6, true},  {7, true},  {8, false}, {36, true}, {-1, false}, {-28, true}};
  for (const Case& c : cases)
    EXPECT_EQ(logger->ShouldLog(EMessageLevel(c.level)), c.accepted) << c.level;

  // Each With operation owns one bit and answers its previous state.
  EXPECT_FALSE(logger->WithDump(true));
  EXPECT_FALSE(logger->WithTrace(true));
  EXPECT_FALSE(logger->WithAssert(true));
  EXPECT_FALSE(logger->WithDebug(true));
  EXPECT_TRUE(logger->WithInfo(false));
  EXPECT_TRUE(logger->WithWarning(false));
  EXPECT_TRUE(logger->WithError(true));
  EXPECT_TRUE(logger->WithFatal(false));
  for (int level = 0; level < 8; ++level)
    EXPECT_EQ(logger->ShouldLog(EMessageLevel(level)), level < 4 || level == 6) << level;
  EXPECT_FALSE(logger->WithTag(31, true));
  EXPECT_TRUE(logger->ShouldLog(EMessageLevel(-1)));
  EXPECT_TRUE(logger->WithTag(63, false));  // bit 31 again
  EXPECT_FALSE(logger->ShouldLog(EMessageLevel(-1)));
}

TEST(VLogger, QueuesOnlyAcceptedRecordsAndTakesAMissingLevelAsInfo) {
  ManualFlushLogger fixture;
  VLogger& logger = *fixture.logger;
  logger.LogBag(MakeRecord("debug", 3).Get());
  logger.LogBag(MakeRecord("info", 4).Get());
  logger.LogBag(MakeRecord("no level").Get());
  logger.LogBag(MakeRecord("fatal", 7).Get());
  logger.LogBag(MakeRecord("foreign negative level", -1).Get());
  logger.LogBag(nullptr);
  logger.Flush();
  EXPECT_EQ(fixture.listener->Messages(), (std::vector<std::string>{"info", "no level", "fatal"}));

  // Nothing is queued before Start.
  VRefPtr<VLogger> stopped(new VLogger, kAdoptRef);
  VRefPtr<RecordingListener> listener(new RecordingListener, kAdoptRef);
  stopped->AddLogListener(listener.Get());
  stopped->Stop();
  stopped->LogBag(MakeRecord("early").Get());
  stopped->Flush();
  EXPECT_EQ(listener->Count(), 0u);
}

TEST(VLogger, RingHolds999RecordsAndKeepsTheirOrderAcrossTheWrap) {
  ManualFlushLogger fixture;
  VLogger& logger = *fixture.logger;
  // Without a running task a full ring drops what comes next.
  LogNumbered(logger, 0, 1000);
  logger.Flush();
  EXPECT_EQ(fixture.listener->Messages(), Numbered(0, 999));
  EXPECT_EQ(fixture.listener->Batches(), 1);

  // The positions now stand at 999: the next 999 records wrap to slot 0.
  LogNumbered(logger, 1000, 999);
  logger.Flush();
  std::vector<std::string> expected = Numbered(0, 999);
  for (const std::string& text : Numbered(1000, 999)) expected.push_back(text);
  EXPECT_EQ(fixture.listener->Messages(), expected);

  // A flush of an empty ring calls nobody.
  logger.Flush();
  EXPECT_EQ(fixture.listener->Batches(), 2);
}

TEST(VLogger, ReleasesEveryQueuedRecordWhenDestroyedAfterAWrap) {
  std::vector<VRefPtr<VValueBag>> records;
  {
    ManualFlushLogger fixture;
    LogNumbered(*fixture.logger, 0, 700);
    fixture.logger->Flush();
    for (int i = 0; i < 600; ++i) {
      records.push_back(MakeRecord(std::to_string(i)));
      fixture.logger->LogBag(records.back().Get());
    }
    for (const auto& record : records) EXPECT_EQ(record->GetRefCount(), 2);
  }
  for (const auto& record : records) EXPECT_EQ(record->GetRefCount(), 1);
}

TEST(VLogger, CallsTheNewestListenerFirstAndRefusesDuplicates) {
  std::vector<std::string> calls;
  ManualFlushLogger fixture;
  VLogger& logger = *fixture.logger;
  VRefPtr<RecordingListener> a(new RecordingListener("A", &calls), kAdoptRef);
  VRefPtr<RecordingListener> b(new RecordingListener("B", &calls), kAdoptRef);
  EXPECT_TRUE(logger.AddLogListener(a.Get()));
  EXPECT_TRUE(logger.AddLogListener(b.Get()));
  EXPECT_FALSE(logger.AddLogListener(a.Get()));
  EXPECT_FALSE(logger.AddLogListener(nullptr));
  EXPECT_EQ(a->GetRefCount(), 2);

  LogNumbered(logger, 0, 2);
  logger.Flush();
  EXPECT_EQ(calls, (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(a->Messages(), Numbered(0, 2));

  // A removed listener gets no later batch; the others keep their order.
  EXPECT_TRUE(logger.RemoveLogListener(b.Get()));
  EXPECT_FALSE(logger.RemoveLogListener(b.Get()));
  EXPECT_FALSE(logger.RemoveLogListener(nullptr));
  EXPECT_EQ(b->GetRefCount(), 1);
  LogNumbered(logger, 2, 1);
  logger.Flush();
  EXPECT_EQ(calls, (std::vector<std::string>{"B", "A", "A"}));
  EXPECT_EQ(b->Count(), 2u);
}

TEST(VLogger, LogMessageTakesTheSourceFromTheTaskAndLeavesOutTheDefaultLevel) {
  VRefPtr<VLogger> logger = MakeStartedLogger();
  struct Capture : ILogListener {
    void Put(std::vector<const VValueBag*>& records) override {
      for (const VValueBag* record : records) {
        record->Retain();
        fRecords.push_back(VRefPtr<const VValueBag>(record, kAdoptRef));
      }
    }
    std::vector<VRefPtr<const VValueBag>> fRecords;
  };
  VRefPtr<Capture> capture(new Capture, kAdoptRef);
  logger->AddLogListener(capture.Get());
  logger->Stop();

  VRefPtr<VValueBag> properties(new VValueBag, kAdoptRef);
  ILoggerBagKeys::source.Set(*properties, VString("from task"));
  VTask::GetCurrent()->SetProperties(properties.Get());
  logger->LogMessage(kMessageLevelInfo, VString("one"), VString());
  logger->LogMessage(kMessageLevelError, VString("two"), VString("given"));
  logger->LogMessage(kMessageLevelDebug, VString("refused"), VString("given"));
  VTask::GetCurrent()->SetProperties(nullptr);
  logger->Flush();

  ASSERT_EQ(capture->fRecords.size(), 2u);
  const VValueBag& first = *capture->fRecords[0];
  VString text;
  EXPECT_TRUE(ILoggerBagKeys::source.Get(first, text));
  EXPECT_EQ(to_string(text), "from task");
  EXPECT_FALSE(first.AttributeExists(ILoggerBagKeys::level));
  const VValueBag& second = *capture->fRecords[1];
  EXPECT_TRUE(ILoggerBagKeys::source.Get(second, text));
  EXPECT_EQ(to_string(text), "given");
  EXPECT_EQ(ILoggerBagKeys::level.Get(second), kMessageLevelError);
}

// The records of LogMessage are made again from dropped ones: each new one
// carries only its own attributes, and one a listener kept is left alone.
TEST(VLogger, LogMessageRecordsCarryOnlyTheirOwnAttributes) {
  VRefPtr<VLogger> logger = MakeStartedLogger();
  struct KeepFirst : ILogListener {
    void Put(std::vector<const VValueBag*>& records) override {
      for (const VValueBag* record : records) {
        if (fKept == nullptr) fKept = VRefPtr<const VValueBag>(const_cast<VValueBag*>(record));
        VString message;
        ILoggerBagKeys::message.Get(*record, message);
        fSeen.push_back({to_string(message), record->GetAttributesCount(),
                         record->AttributeExists(ILoggerBagKeys::level)});
      }
    }
    struct Seen {
      std::string message;
      int32 attributes;
      bool hasLevel;
      bool operator==(const Seen&) const = default;
    };
    VRefPtr<const VValueBag> fKept;
    std::vector<Seen> fSeen;
  };
  VRefPtr<KeepFirst> listener(new KeepFirst, kAdoptRef);
  logger->AddLogListener(listener.Get());
  logger->Stop();

  logger->LogMessage(kMessageLevelWarning, VString("kept"), VString("first"));
  logger->Flush();
  for (int round = 0; round < 3; ++round) {
    logger->LogMessage(kMessageLevelError, VString("with level"), VString("src"));
    logger->Flush();
    logger->LogMessage(kMessageLevelInfo, VString("plain"), VString("src"));
    logger->Flush();
  }

  using Seen = KeepFirst::Seen;
  const std::vector<Seen> expected = {
      {"kept", 3, true},   {"with level", 3, true}, {"plain", 2, false}, {"with level", 3, true},
      {"plain", 2, false}, {"with level", 3, true}, {"plain", 2, false},
  };
  EXPECT_EQ(listener->fSeen, expected);
  VString text;
  ASSERT_NE(listener->fKept, nullptr);
  EXPECT_TRUE(ILoggerBagKeys::message.Get(*listener->fKept, text));
  EXPECT_EQ(to_string(text), "kept");
  EXPECT_TRUE(ILoggerBagKeys::source.Get(*listener->fKept, text));
  EXPECT_EQ(to_string(text), "first");
  EXPECT_EQ(ILoggerBagKeys::level.Get(*listener->fKept), kMessageLevelWarning);
}

// Logger tasks that have not died.
int CountLiveLoggerTasks() {
  std::vector<VRefPtr<VTask>> tasks;
  VTaskMgr::sInstance->GetTasks(tasks);
  return int(std::count_if(tasks.begin(), tasks.end(), [](const VRefPtr<VTask>& task) {
    return task->GetKind() == FourCC("LOGG") && task->GetState() != kTaskStateDead;
  }));
}

TEST(VLogger, LoggerTaskHandsRecordsOverOnItsOwn) {
  VRefPtr<VLogger> logger = MakeStartedLogger();
  VRefPtr<RecordingListener> listener(new RecordingListener, kAdoptRef);
  ASSERT_TRUE(logger->AddLogListener(listener.Get()));
  LogNumbered(*logger, 0, 3);
  ASSERT_TRUE(test::WaitUntil([&] { return listener->Count() == 3; }));
  VTask* task = listener->Task();
  ASSERT_NE(task, nullptr);
  VString name;
  task->GetName(name);
  EXPECT_EQ(to_string(name), "Logger");
  EXPECT_EQ(task->GetKind(), FourCC("LOGG"));

  // Stop waits for the task's death; it is not made again afterwards.
  logger->Stop();
  EXPECT_EQ(task->GetState(), kTaskStateDead);
  VRefPtr<RecordingListener> late(new RecordingListener, kAdoptRef);
  EXPECT_TRUE(logger->AddLogListener(late.Get()));
  LogNumbered(*logger, 3, 1);
  EXPECT_EQ(CountLiveLoggerTasks(), 0);
  EXPECT_EQ(late->Count(), 0u);
  logger->Flush();
  EXPECT_EQ(late->Count(), 1u);
}

// The first listener starts the task; records that fill the ring before
// its thread runs wait for it rather than being dropped.
TEST(VLogger, RecordsLoggedAsTheTaskStartsAreKept) {
  VRefPtr<VLogger> logger = MakeStartedLogger();
  VRefPtr<RecordingListener> listener(new RecordingListener, kAdoptRef);
  logger->AddLogListener(listener.Get());
  LogNumbered(*logger, 0, 3 * VLogger::kRingSize);
  logger->Flush();
  EXPECT_EQ(listener->Messages(), Numbered(0, 3 * VLogger::kRingSize));
}

TEST(VLogger, StopWaitsPastItsLimitUntilTheTaskHasDied) {
  VRefPtr<VLogger> logger = MakeStartedLogger();
  VRefPtr<RecordingListener> listener(new RecordingListener, kAdoptRef);
  listener->SetBlocking(true);
  logger->AddLogListener(listener.Get());
  logger->LogBag(MakeRecord("slow").Get());
  listener->WaitUntilInPut();
  VTask* task = listener->Task();

  // Standard error goes to a pipe, where Stop says when it passed its limit.
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  const int savedError = ::dup(2);
  ::dup2(fds[1], 2);
  ::close(fds[1]);
  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    logger->Stop();
    stopped.store(true);
  });
  // The task stays inside its flush until Stop has warned.
  std::string warning;
  pollfd readable{fds[0], POLLIN, 0};
  while (warning.find("\"Logger\" task") == std::string::npos && ::poll(&readable, 1, 60000) == 1) {
    char chunk[256];
    const ssize_t got = ::read(fds[0], chunk, sizeof chunk);
    if (got <= 0) break;
    warning.append(chunk, size_t(got));
  }
  EXPECT_FALSE(stopped.load());
  listener->SetBlocking(false);
  stopper.join();
  ::dup2(savedError, 2);
  ::close(savedError);
  ::close(fds[0]);
  EXPECT_EQ(task->GetState(), kTaskStateDead);
  EXPECT_NE(warning.find("\"Logger\" task"), std::string::npos) << warning;
}

TEST(VLogger, ProducersOnManyTasksLoseNothingAndKeepTheirOrder) {
  constexpr int kProducers = 8;
  constexpr int kEach = 20000;
  VRefPtr<VLogger> logger = MakeStartedLogger();
  VRefPtr<RecordingListener> listener(new RecordingListener, kAdoptRef);
  logger->AddLogListener(listener.Get());
  std::vector<VTask*> tasks;
  for (int p = 0; p < kProducers; ++p) {
    tasks.push_back(test::StartTask(
        [&logger, p] {
          for (int i = 0; i < kEach; ++i)
            logger->LogMessage(kMessageLevelInfo,
                               VString((std::to_string(p) + ":" + std::to_string(i)).c_str()),
                               VString("producer"));
        },
        test::kSmallStack));
  }
  // The producers end on their own, slowly under the thread sanitizer on a
  // busy machine: no short limit.
  for (VTask* task : tasks) {
    EXPECT_TRUE(task->WaitForDeath(15 * 60 * 1000));
    task->Release();
  }
  logger->Flush();

  std::vector<int> next(kProducers, 0);
  size_t total = 0;
  for (const std::string& message : listener->Messages()) {
    const size_t colon = message.find(':');
    const int producer = std::stoi(message.substr(0, colon));
    const int index = std::stoi(message.substr(colon + 1));
    EXPECT_EQ(index, next[size_t(producer)]) << message;
    next[size_t(producer)] = index + 1;
    ++total;
  }
  EXPECT_EQ(total, size_t(kProducers * kEach));
}

}  // namespace
}  // namespace zeft
