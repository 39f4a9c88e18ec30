// The application frame runs once per process, so each scenario runs the
// frame probe as a child process and checks its output and exit code.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/RepeatCount.h"
#include "support/TempFolder.h"

extern char** environ;

namespace zeft {
namespace {

struct ProbeRun {
  int exitCode = -1;
  bool timedOut = false;
  std::string out;
  std::string err;
};

// Runs the probe with the arguments; with `interruptWhen`, sends SIGINT as
// soon as that text appears on its standard output. A run that does not
// end within the time-out (a hang: a run takes well under a second) is
// killed and reported.
ProbeRun RunProbe(const std::vector<std::string>& arguments, const std::string& interruptWhen = "",
                  int timeoutMs = 60000) {
  ProbeRun run;
  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  std::vector<std::string> all{ZEFT_FRAME_PROBE};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned =
      ::posix_spawn(&child, ZEFT_FRAME_PROBE, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (spawned != 0) {
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    return run;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool interrupted = interruptWhen.empty();
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      run.timedOut = true;
      ::kill(child, SIGKILL);
      break;
    }
    if (::poll(fds, 2, int(left)) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
      char buffer[4096];
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        continue;
      }
      (i == 0 ? run.out : run.err).append(buffer, size_t(got));
    }
    if (!interrupted && run.out.find(interruptWhen) != std::string::npos) {
      ::kill(child, SIGINT);
      interrupted = true;
    }
  }
  for (pollfd& fd : fds)
    if (fd.fd >= 0) ::close(fd.fd);
  int status = 0;
  ::waitpid(child, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

TEST(VProcessFrame, StartsManagersInOrderRunsAndTakesThemDown) {
  ProbeRun run = RunProbe({"init-order", "-psn_0_12345", "-ps", "--psn_", "x-psn_"});
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // The named file systems come after the file kinds and the tasks and
  // before the class store; at the end the namespace goes before the
  // managers, the class store after them.
  EXPECT_EQ(
      run.out,
      "check-system-version 14 tasks=0 intl=0 kinds=0 classes=0 instance=0\n"
      "resources asked for tasks=1 intl=1 kinds=1 classes=0\n"
      "parse-command-line tasks=1 intl=1 kinds=1 classes=1 running=1 logger=1 [" ZEFT_FRAME_PROBE
      "] [init-order] [-ps] [--psn_] [x-psn_]\n"
      "init=1 exit-code=0 signals=1 instance=1\n"
      "second-init=1 parses=1\n"
      "run running=1 errors=0\n"
      "quit\n"
      "after-run running=0\n"
      "file system released tasks=1 intl=1 kinds=1 classes=1\n"
      "class store released tasks=0 intl=0 kinds=0 classes=0\n"
      "after-destruction tasks=0 intl=0 kinds=0 classes=0 instance=0\n");
  EXPECT_EQ(run.err, "");
}

TEST(VProcessFrame, RefusedCommandLineFailsInitAndRunRaisesErrorFour) {
  ProbeRun run = RunProbe({"failed-init"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "error: unknown option `failed-init`\n");
  EXPECT_EQ(
      run.out,
      "check-system-version 14 tasks=0 intl=0 kinds=0 classes=0 instance=0\n"
      "parse-command-line tasks=1 intl=1 kinds=1 classes=1 running=1 logger=1 [" ZEFT_FRAME_PROBE
      "] [failed-init]\n"
      "init=0 exit-code=1 signals=0 instance=1\n"
      "after-run running=1\n"
      "last-error 4 VApplication::DoInit failed\n"
      "after-destruction tasks=0 intl=0 kinds=0 classes=0 instance=0\n");
}

TEST(VProcessFrame, HelpEndsInitWithExitCodeZeroAndNoSignals) {
  ProbeRun run = RunProbe({"help", "--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("Usage: " ZEFT_FRAME_PROBE " [OPTION]... [FILE]...\n"), std::string::npos);
  EXPECT_NE(run.out.find("init=0 exit-code=0 signals=0 instance=1\n"), std::string::npos);
  EXPECT_EQ(run.out.find("run running"), std::string::npos);
}

TEST(VProcessFrame, TooOldASystemStopsStartUpWithAnAlert) {
  ProbeRun run = RunProbe({"old-system"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out,
            "check-system-version 14 tasks=0 intl=0 kinds=0 classes=0 instance=0\n"
            "alert [Initialization failed] [This application needs at least OS X 10.12]\n"
            "init=0 exit-code=1 signals=0 instance=1\n"
            "after-destruction tasks=0 intl=0 kinds=0 classes=0 instance=0\n");
}

TEST(VProcessFrame, NamedFileSystemsOfTheUserAndTheResources) {
  test::TempFolder folder;
  ASSERT_FALSE(folder.Path().empty());
  const std::string root = folder.Path();
  const std::string resources = folder.MakeFolder("Resources") + "/";
  const auto write = [&](const std::string& text) {
    folder.Write("Resources/fileSystems.json", text);
  };

  // Without a definition file: the resources alone (and the documents).
  ProbeRun run = RunProbe({"file-systems", resources});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("run running=1 errors=0\n"
                         "file-system .PRODUCT_RESOURCES " +
                         resources +
                         " flags=0\n"
                         "documents-registered=1\n"
                         "class-store novu object-class=1 other-store=0\n"),
            std::string::npos)
      << run.out;

  // The definition file adds its own, also relative to the resources.
  write("[{\"name\": \"DATA\", \"path\": \"" + root +
        "/data\"}, {\"name\": \"SUB\", \"parent\": \".PRODUCT_RESOURCES\", \"path\": "
        "\"sub\", \"writable\": true}]");
  run = RunProbe({"file-systems", resources});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("file-system .PRODUCT_RESOURCES " + resources +
                         " flags=0\n"
                         "file-system DATA " +
                         root + "/data/ flags=0\nfile-system SUB " + resources +
                         "sub/ flags=1\ndocuments-registered=1\n"),
            std::string::npos)
      << run.out;

  // A definition that is not JSON stops start-up with the file's error.
  write("[{\"name\": \"DATA\",");
  run = RunProbe({"file-systems", resources});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out,
            "check-system-version 14 tasks=0 intl=0 kinds=0 classes=0 instance=0\n"
            "init=0 exit-code=1 signals=0 instance=1\n"
            "last-error 687 \n"
            "after-destruction tasks=0 intl=0 kinds=0 classes=0 instance=0\n");
}

TEST(VProcessFrame, InstallFolderCaseCheck) {
  test::TempFolder folder;
  ASSERT_FALSE(folder.Path().empty());
  const std::string root = folder.Path() + "/";
  const std::string resources = root + "Resources/";
  const std::string alert =
      "alert [Initialization failed] [Please install the application on a case insensitive file "
      "system.]\n";
  // Neither name exists: nothing to tell.
  ProbeRun run = RunProbe({"case-check", resources});
  EXPECT_NE(run.out.find("case-check=1\n"), std::string::npos) << run.out;
  // Only one spelling exists: a case-sensitive volume.
  ASSERT_EQ(::mkdir(resources.c_str(), 0755), 0);
  run = RunProbe({"case-check", resources});
  EXPECT_NE(run.out.find(alert + "case-check=0\n"), std::string::npos) << run.out;
  // Both answer, as on a case-insensitive volume.
  ASSERT_EQ(::mkdir((root + "resources").c_str(), 0755), 0);
  run = RunProbe({"case-check", resources});
  EXPECT_NE(run.out.find("case-check=1\n"), std::string::npos) << run.out;
}

TEST(VProcessFrame, TerminationEndsTheMessageLoop) {
  ProbeRun run = RunProbe({"message-loop"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("loop ended signals=1\nquit\nafter-run running=0\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("ctrl-c"), std::string::npos);
}

TEST(VProcessFrame, TwoInterruptsPrintTwiceAndTheRunGoesToItsEnd) {
  ProbeRun run = RunProbe({"sigint-twice"});
  const std::string text = "\n (ctrl-c has been received - quit)\n\n";
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const size_t first = run.out.find(text);
  ASSERT_NE(first, std::string::npos) << run.out;
  const size_t second = run.out.find(text, first + text.size());
  ASSERT_NE(second, std::string::npos) << run.out;
  EXPECT_EQ(run.out.find(text, second + text.size()), std::string::npos);
  EXPECT_NE(run.out.find("run goes on running=0\nquit\nafter-run running=0\n"), std::string::npos)
      << run.out;
}

TEST(VProcessFrame, InterruptsWhileTheMainThreadPrintsNeverDeadlock) {
  // Two hundred runs (forty in CI), eight at a time; a handler that took
  // the standard output lock would hang some of them.
  const int kRuns = test::RepeatCount(200, 40);
  constexpr int kParallel = 8;
  int finished = 0;
  while (finished < kRuns) {
    std::vector<std::thread> batch;
    std::vector<ProbeRun> runs(kParallel);
    for (int i = 0; i < kParallel; ++i)
      batch.emplace_back([&runs, i] { runs[i] = RunProbe({"print-while-interrupted"}, "ready"); });
    for (std::thread& thread : batch) thread.join();
    for (const ProbeRun& run : runs) {
      ASSERT_FALSE(run.timedOut) << "run " << finished << " hung:\n" << run.out.substr(0, 200);
      ASSERT_EQ(run.exitCode, 0) << run.err;
      ASSERT_NE(run.out.find("(ctrl-c has been received - quit)"), std::string::npos);
      ASSERT_NE(run.out.find("done signals=1\nquit\n"), std::string::npos) << run.out;
      ++finished;
    }
  }
}

}  // namespace
}  // namespace zeft
