// Log records per second from 1, 4 and 8 producer tasks until every line
// is in the file: the process logger with the file logger attached, against
// spdlog's file sink behind a synchronous logger (its mutex-guarded sink)
// and behind an asynchronous one (a queue and one writer thread, producers
// waiting when the queue is full), writing the same lines:
//   <sequence> <local time with offset> [bench] INFO - producer P record I ()
// Each benchmark counts the lines in its files at the end and fails when
// any record is missing.
#include <benchmark/benchmark.h>
#include <spdlog/async.h>
#include <spdlog/async_logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/VString.h"
#include "files/VFolder.h"
#include "process/VProcess.h"
#include "runtime/VLog4jMsgFileLogger.h"
#include "runtime/VLogger.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft {
namespace {

constexpr int kRecordsPerProducer = 20000;

void EnsureProcess() {
  static const bool inited = VTaskMgr::Init(nullptr);
  // Never started, so made the instance here rather than by Init.
  static VProcess* process = VProcess::sInstance != nullptr ? VProcess::sInstance : new VProcess;
  VProcess::sInstance = process;
  (void)inited;
}

// A scratch folder for one benchmark, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    char pattern[] = "/tmp/zeft-logbench-XXXXXX";
    fPath = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(fPath, ignored);
  }
  const std::string& Path() const { return fPath; }

 private:
  std::string fPath;
};

// The records' lines in every file of the folder.
int64_t CountRecordLines(const std::string& folder) {
  int64_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);)
      if (line.find(" - producer ") != std::string::npos) ++count;
  }
  return count;
}

void CheckEveryLine(benchmark::State& state, const std::string& folder, int producers) {
  const int64_t expected = int64_t(state.iterations()) * producers * kRecordsPerProducer;
  if (CountRecordLines(folder) != expected) state.SkipWithError("records missing from the file");
  state.SetItemsProcessed(expected);
}

std::string Message(int producer, int index) {
  return "producer " + std::to_string(producer) + " record " + std::to_string(index);
}

void BM_FileLogger(benchmark::State& state) {
  EnsureProcess();
  const int producers = int(state.range(0));
  ScratchFolder folder;
  VRefPtr<VLogger> logger(new VLogger, kAdoptRef);
  logger->Start();
  VProcess::sInstance->SetLogger(logger.Get());
  {
    VLog4jMsgFileLogger fileLogger(
        VFolder(VString((folder.Path() + "/").c_str()), kFilePathStylePosix), VString("bench"));
    fileLogger.Start();
    const VString source("bench");
    for (auto _ : state) {
      std::vector<VTask*> tasks;
      for (int p = 0; p < producers; ++p) {
        auto* task = new VTask(0, kTaskStylePreemptive, [&logger, &source, p] {
          for (int i = 0; i < kRecordsPerProducer; ++i)
            logger->LogMessage(kMessageLevelInfo, VString(Message(p, i).c_str()), source);
        });
        task->Run();
        tasks.push_back(task);
      }
      for (VTask* task : tasks) {
        task->WaitForDeath(600000);
        task->Release();
      }
      // Every line written: what is still queued, then the file's buffer.
      logger->Flush();
      fileLogger.Flush();
    }
    fileLogger.Stop();
  }
  VProcess::sInstance->SetLogger(nullptr);
  CheckEveryLine(state, folder.Path(), producers);
}
BENCHMARK(BM_FileLogger)->Arg(1)->Arg(4)->Arg(8)->UseRealTime()->Unit(benchmark::kMillisecond);

// The sequence number of a line, as the file logger writes it.
class SequenceFlag : public spdlog::custom_flag_formatter {
 public:
  void format(const spdlog::details::log_msg&, const std::tm&,
              spdlog::memory_buf_t& dest) override {
    const std::string number = std::to_string(sNext.fetch_add(1) + 1);
    dest.append(number.data(), number.data() + number.size());
  }
  std::unique_ptr<custom_flag_formatter> clone() const override {
    return std::make_unique<SequenceFlag>();
  }
  static std::atomic<unsigned long long> sNext;
};
std::atomic<unsigned long long> SequenceFlag::sNext{0};

void SetLineFormat(spdlog::logger& logger) {
  auto formatter = std::make_unique<spdlog::pattern_formatter>();
  formatter->add_flag<SequenceFlag>('Q').set_pattern("%Q %Y-%m-%dT%H:%M:%S%z [%n] INFO - %v ()");
  logger.set_formatter(std::move(formatter));
}

void Produce(spdlog::logger& logger, int producers) {
  std::vector<std::thread> threads;
  for (int p = 0; p < producers; ++p) {
    threads.emplace_back([&logger, p] {
      for (int i = 0; i < kRecordsPerProducer; ++i) logger.info(Message(p, i));
    });
  }
  for (std::thread& thread : threads) thread.join();
}

void BM_Spdlog_BasicFileSink(benchmark::State& state) {
  const int producers = int(state.range(0));
  ScratchFolder folder;
  {
    auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(folder.Path() + "/bench.txt");
    spdlog::logger logger("bench", sink);
    SetLineFormat(logger);
    for (auto _ : state) {
      Produce(logger, producers);
      logger.flush();
    }
  }
  CheckEveryLine(state, folder.Path(), producers);
}

// The asynchronous logger's flush only queues a request, so each iteration
// has a queue and writer thread of its own and ends when the thread, having
// written everything queued before, is joined.
void BM_Spdlog_AsyncFileSink(benchmark::State& state) {
  const int producers = int(state.range(0));
  ScratchFolder folder;
  {
    auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(folder.Path() + "/bench.txt");
    for (auto _ : state) {
      {
        auto pool = std::make_shared<spdlog::details::thread_pool>(8192, 1);
        // Queued records hold the logger, which must be shared.
        auto logger = std::make_shared<spdlog::async_logger>("bench", sink, pool,
                                                             spdlog::async_overflow_policy::block);
        SetLineFormat(*logger);
        Produce(*logger, producers);
      }
      sink->flush();
    }
  }
  CheckEveryLine(state, folder.Path(), producers);
}
BENCHMARK(BM_Spdlog_AsyncFileSink)
    ->Arg(1)
    ->Arg(4)
    ->Arg(8)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Spdlog_BasicFileSink)
    ->Arg(1)
    ->Arg(4)
    ->Arg(8)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zeft
