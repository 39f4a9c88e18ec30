// The stand-ins for dispatch timers, process-exit sources, I/O channels and
// groups that the process launcher runs on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/PipeReader.h"
#include "platform/ProcessExitWatcher.h"
#include "platform/TimerService.h"
#include "platform/WaitGroup.h"
#include "support/ThreadState.h"

extern char** environ;

namespace zeft {
namespace {

using std::chrono::milliseconds;

constexpr int64_t kAnHour = 3600000;

// Waits up to ten seconds for the flag.
bool WaitFor(const std::atomic<bool>& flag) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!flag.load() && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(milliseconds(1));
  }
  return flag.load();
}

pid_t Spawn(const char* program, const char* argument) {
  char* argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
  pid_t pid = 0;
  return posix_spawn(&pid, program, nullptr, nullptr, argv, environ) == 0 ? pid : 0;
}

TEST(TimerService, CallbacksRunInDeadlineOrderOnTheServiceThread) {
  platform::TimerService service;
  std::vector<int> order;
  std::atomic<bool> done{false};
  std::thread::id ranOn;
  // Scheduled first, due last: an hour is more than any scheduling delay.
  const auto last = service.Schedule(kAnHour, [&] { order.push_back(3); });
  service.Schedule(0, [&] {
    order.push_back(1);
    ranOn = std::this_thread::get_id();
  });
  service.Schedule(20, [&] {
    order.push_back(2);
    done.store(true);
  });
  ASSERT_TRUE(WaitFor(done));
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_TRUE(service.Cancel(last)) << "the latest deadline did not wait for its turn";
  EXPECT_NE(ranOn, std::this_thread::get_id());
}

TEST(TimerService, CancelledTimersNeverRunAndCancelWaitsForARunningOne) {
  platform::TimerService service;
  const pid_t caller = gettid();
  std::atomic<bool> started{false};
  std::atomic<bool> cancelling{false};
  std::atomic<bool> finished{false};
  // Holds the service's thread until the caller is parked in Cancel.
  const auto slow = service.Schedule(0, [&] {
    started.store(true);
    while (!cancelling.load()) std::this_thread::yield();
    test::WaitUntilAsleep(caller);
    finished.store(true);
  });
  ASSERT_TRUE(WaitFor(started));

  // Due at once, but the thread is taken: cancelled before it could run.
  std::atomic<bool> ran{false};
  const auto id = service.Schedule(0, [&] { ran.store(true); });
  EXPECT_TRUE(service.Cancel(id));
  EXPECT_FALSE(service.Cancel(id));

  cancelling.store(true);
  EXPECT_FALSE(service.Cancel(slow));
  EXPECT_TRUE(finished.load()) << "Cancel returned while the callback ran";

  // A callback may cancel itself without waiting for itself.
  std::atomic<bool> selfCancelled{false};
  platform::TimerService::TimerID self = 0;
  std::atomic<bool> scheduled{false};
  self = service.Schedule(10, [&] {
    while (!scheduled.load()) {
    }
    service.Cancel(self);
    selfCancelled.store(true);
  });
  scheduled.store(true);
  EXPECT_TRUE(WaitFor(selfCancelled));

  // Due after the cancelled timer: had that one stayed, it would have run first.
  std::atomic<bool> later{false};
  service.Schedule(0, [&] { later.store(true); });
  ASSERT_TRUE(WaitFor(later));
  EXPECT_FALSE(ran.load());
}

TEST(ProcessExitWatcher, ReportsTheEndWithoutReaping) {
  const pid_t pid = Spawn("/bin/sleep", "0.05");
  ASSERT_GT(pid, 0);
  std::atomic<bool> ended{false};
  {
    platform::ProcessExitWatcher watcher(pid, [&] { ended.store(true); });
    EXPECT_TRUE(WaitFor(ended));
  }
  // Still ours to reap, with its status.
  int status = -1;
  EXPECT_EQ(waitpid(pid, &status, WNOHANG), pid);
  EXPECT_TRUE(WIFEXITED(status));

  // A process that has ended already is reported too.
  const pid_t quick = Spawn("/bin/true", nullptr);
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, id_t(quick), &info, WEXITED | WNOWAIT), 0);
  std::atomic<bool> quickEnded{false};
  {
    platform::ProcessExitWatcher watcher(quick, [&] { quickEnded.store(true); });
    EXPECT_TRUE(WaitFor(quickEnded));
  }
  EXPECT_EQ(waitpid(quick, nullptr, 0), quick);
}

TEST(ProcessExitWatcher, CancelStopsWatchingAtOnce) {
  // Lives far longer than the bound below, which only tells a watcher that
  // waited for the end from one that did not.
  const pid_t pid = Spawn("/bin/sleep", "120");
  ASSERT_GT(pid, 0);
  std::atomic<bool> ended{false};
  const auto start = std::chrono::steady_clock::now();
  {
    platform::ProcessExitWatcher watcher(pid, [&] { ended.store(true); });
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  EXPECT_FALSE(ended.load());
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

TEST(PipeReader, DeliversEverythingInOrderThenTheEnd) {
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  std::string received;
  std::atomic<int> doneError{-1};
  std::thread::id readOn;
  std::string sent;
  for (int i = 0; i < 100000; ++i) sent += std::to_string(i) + ",";
  {
    platform::PipeReader reader(
        fds[0],
        [&](const void* bytes, size_t size) {
          received.append(static_cast<const char*>(bytes), size);
          readOn = std::this_thread::get_id();
        },
        [&](int error) { doneError.store(error); });
    for (size_t at = 0; at < sent.size();) {
      const ssize_t written =
          write(fds[1], sent.data() + at, std::min<size_t>(4000, sent.size() - at));
      ASSERT_GT(written, 0);
      at += size_t(written);
    }
    close(fds[1]);
  }  // waits for the end of the stream
  EXPECT_TRUE(received == sent);
  EXPECT_EQ(doneError.load(), 0);
  EXPECT_NE(readOn, std::this_thread::get_id());
  EXPECT_EQ(fcntl(fds[0], F_GETFD), -1) << "the reader closes its descriptor";
}

TEST(PipeReader, StopEndsReadingBeforeTheEnd) {
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  std::atomic<pid_t> readerThread{0};
  std::atomic<bool> received{false};
  std::atomic<int> doneError{-1};
  {
    platform::PipeReader reader(
        fds[0],
        [&](const void*, size_t) {
          readerThread.store(gettid());
          received.store(true);
        },
        [&](int error) { doneError.store(error); });
    // A first byte tells which thread reads; Stop comes once it waits for more.
    EXPECT_EQ(write(fds[1], "x", 1), 1);
    EXPECT_TRUE(WaitFor(received));
    EXPECT_TRUE(test::WaitUntilAsleep(readerThread.load()));
    reader.Stop();
  }
  EXPECT_EQ(doneError.load(), ECANCELED);
  close(fds[1]);
}

TEST(WaitGroup, WaitReturnsWhenEveryPieceHasLeft) {
  platform::WaitGroup group;
  group.Wait();  // nothing in: at once
  const pid_t waiter = gettid();
  std::atomic<int> left{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 3; ++i) {
    group.Enter();
    // One after the other, each once the waiter is parked in Wait.
    threads.emplace_back([&, i] {
      while (left.load() != i) std::this_thread::yield();
      test::WaitUntilAsleep(waiter);
      left.fetch_add(1);
      group.Leave();
    });
  }
  group.Wait();
  EXPECT_EQ(left.load(), 3);
  for (std::thread& thread : threads) thread.join();
}

}  // namespace
}  // namespace zeft
