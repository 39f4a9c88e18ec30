// The launcher and the process list against the bare system calls they
// stand for: ExecuteCommandLine("/bin/true") against posix_spawn + waitpid,
// and GetProcessList over about 1,000 processes against a /proc listing.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <vector>

#include "core/VString.h"
#include "process/VProcessLauncher.h"
#include "process/VSystem.h"

extern char** environ;

namespace {

void BM_ExecuteCommandLineTrue(benchmark::State& state) {
  const zeft::VString commandLine("/bin/true");
  for (auto _ : state) {
    zeft::VMemoryBuffer<> output;
    zeft::int32 status = -1;
    zeft::VProcessLauncher::ExecuteCommandLine(commandLine, 0, nullptr, &output, nullptr, nullptr,
                                               nullptr, &status);
    benchmark::DoNotOptimize(status);
  }
}
BENCHMARK(BM_ExecuteCommandLineTrue)->UseRealTime();

void BM_PosixSpawnTrue(benchmark::State& state) {
  char program[] = "/bin/true";
  char* argv[] = {program, nullptr};
  for (auto _ : state) {
    pid_t pid = 0;
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) {
      state.SkipWithError("posix_spawn failed");
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    benchmark::DoNotOptimize(status);
  }
}
BENCHMARK(BM_PosixSpawnTrue)->UseRealTime();

// Tops the machine up to about 1,000 processes with sleeping children for
// the life of the object.
class ProcessCrowd {
 public:
  ProcessCrowd() {
    std::vector<zeft::int32> pids;
    zeft::VSystem::GetProcessList(pids);
    char program[] = "/bin/sleep";
    char seconds[] = "600";
    char* argv[] = {program, seconds, nullptr};
    for (size_t n = pids.size(); n < 1000; ++n) {
      pid_t pid = 0;
      if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) break;
      fChildren.push_back(pid);
    }
  }
  ~ProcessCrowd() {
    for (pid_t pid : fChildren) kill(pid, SIGKILL);
    for (pid_t pid : fChildren) waitpid(pid, nullptr, 0);
  }

 private:
  std::vector<pid_t> fChildren;
};

// Made once; its children are killed when the program ends.
ProcessCrowd& Crowd() {
  static ProcessCrowd sCrowd;
  return sCrowd;
}

void BM_GetProcessList(benchmark::State& state) {
  Crowd();
  std::vector<zeft::int32> pids;
  for (auto _ : state) {
    pids.clear();
    zeft::VSystem::GetProcessList(pids);
    benchmark::DoNotOptimize(pids.data());
  }
  state.counters["processes"] = double(pids.size());
}
BENCHMARK(BM_GetProcessList);

void BM_PlainProcScan(benchmark::State& state) {
  Crowd();
  std::vector<int> pids;
  for (auto _ : state) {
    pids.clear();
    DIR* proc = opendir("/proc");
    while (const dirent* entry = readdir(proc)) {
      char* end = nullptr;
      const long pid = std::strtol(entry->d_name, &end, 10);
      if (*end == '\0' && pid > 0) pids.push_back(int(pid));
    }
    closedir(proc);
    benchmark::DoNotOptimize(pids.data());
  }
  state.counters["processes"] = double(pids.size());
}
BENCHMARK(BM_PlainProcScan);

}  // namespace
