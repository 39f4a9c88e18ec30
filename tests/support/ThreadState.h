// Where a thread of this process stands, as the kernel tells it: for tests
// that may act only once another thread is parked inside a blocking call (a
// condition, a semaphore, a poll), which no flag set before the call can
// show.
#pragma once

#include <dirent.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <thread>

namespace zeft::test {

struct ThreadSleep {
  bool fAsleep = false;
  // How often the thread went to sleep so far; -1 once it has ended.
  int64_t fSleeps = -1;
};

inline ThreadSleep ReadThreadSleep(pid_t tid) {
  std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
  ThreadSleep sleep;
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("State:", 0) == 0) {
      const size_t at = line.find_first_not_of(" \t", 6);
      sleep.fAsleep = at != std::string::npos && line[at] == 'S';
    } else if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
      sleep.fSleeps = std::strtoll(line.c_str() + 24, nullptr, 10);
    }
  }
  return sleep;
}

// Waits until thread `tid` of this process sleeps, having gone to sleep more
// than `after` times. False once it has ended, or after a minute.
inline bool WaitUntilAsleep(pid_t tid, int64_t after = -1) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  for (;;) {
    const ThreadSleep now = ReadThreadSleep(tid);
    if (now.fSleeps < 0) return false;
    if (now.fAsleep && now.fSleeps > after) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// The kernel IDs of this process's threads.
inline std::set<pid_t> ThreadIDs() {
  std::set<pid_t> ids;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(tasks)) {
      if (entry->d_name[0] != '.') ids.insert(pid_t(std::atoi(entry->d_name)));
    }
    closedir(tasks);
  }
  return ids;
}

}  // namespace zeft::test
