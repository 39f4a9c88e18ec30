// The launcher and the process list against the system calls they stand
// for, doing the same work:
//  - ExecuteCommandLine("/bin/true") with its output collected, against
//    posix_spawn with the child's standard input, output and error on
//    pipes, both read to their end, and waitpid;
//  - GetProcessList over about 1,000 processes, against a /proc listing
//    that, like it, reads each process's stat to leave out the ended ones
//    (zombies) and those being torn down.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/VString.h"
#include "process/VProcessLauncher.h"
#include "process/VSystem.h"

extern char** environ;

namespace {

void BM_ExecuteCommandLineTrue(benchmark::State& state) {
  const zeft::VString commandLine("/bin/true");
  for (auto _ : state) {
    zeft::VMemoryBuffer<> output, errors;
    zeft::int32 status = -1;
    zeft::VProcessLauncher::ExecuteCommandLine(commandLine, 0, nullptr, &output, &errors, nullptr,
                                               nullptr, &status);
    benchmark::DoNotOptimize(status);
  }
}
BENCHMARK(BM_ExecuteCommandLineTrue)->UseRealTime();

// Reads both pipes to their end, as the launcher does.
void Drain(int output, int error, std::string& bytes) {
  pollfd fds[2] = {{output, POLLIN, 0}, {error, POLLIN, 0}};
  int open = 2;
  char buffer[4096];
  while (open > 0 && poll(fds, 2, -1) > 0) {
    for (pollfd& fd : fds) {
      if (fd.fd < 0 || fd.revents == 0) continue;
      const ssize_t n = read(fd.fd, buffer, sizeof buffer);
      if (n > 0) {
        bytes.append(buffer, size_t(n));
      } else {
        fd.fd = -1;
        --open;
      }
    }
  }
}

void BM_PosixSpawnTrue(benchmark::State& state) {
  char program[] = "/bin/true";
  char* argv[] = {program, nullptr};
  for (auto _ : state) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
      return state.SkipWithError("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(in[1]);
    close(out[1]);
    close(err[1]);
    std::string bytes;
    if (error == 0) Drain(out[0], err[0], bytes);
    close(out[0]);
    close(err[0]);
    if (error != 0) return state.SkipWithError("posix_spawn failed");
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

// Whether the process whose /proc entry is `name` still runs.
bool Running(int proc, const char* name) {
  char path[300];
  std::snprintf(path, sizeof path, "%s/stat", name);
  const int fd = openat(proc, path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char stat[512];
  const ssize_t n = read(fd, stat, sizeof stat - 1);
  close(fd);
  if (n <= 0) return false;
  stat[n] = '\0';
  const char* close = std::strrchr(stat, ')');
  return close != nullptr && close[1] == ' ' && close[2] != 'Z' && close[2] != 'X' &&
         close[2] != 'x';
}

void BM_PlainProcScan(benchmark::State& state) {
  Crowd();
  std::vector<int> pids;
  for (auto _ : state) {
    pids.clear();
    DIR* proc = opendir("/proc");
    while (const dirent* entry = readdir(proc)) {
      char* end = nullptr;
      const long pid = std::strtol(entry->d_name, &end, 10);
      if (*end == '\0' && pid > 0 && Running(dirfd(proc), entry->d_name)) pids.push_back(int(pid));
    }
    closedir(proc);
    benchmark::DoNotOptimize(pids.data());
  }
  state.counters["processes"] = double(pids.size());
}
BENCHMARK(BM_PlainProcScan);

}  // namespace
