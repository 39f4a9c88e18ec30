#include "process/VProcessLauncher.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "files/VFilePath.h"
#include "platform/TimerService.h"
#include "support/ErrorTestSupport.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

std::string Text(const VMemoryBuffer<>& buffer) {
  return std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize());
}

// Runs a command line and collects both outputs.
struct CommandRun {
  explicit CommandRun(const char* commandLine, VMemoryBuffer<>* input = nullptr,
                      const VProcessLauncher::EnvironmentMap* environment = nullptr,
                      const VFilePath* folder = nullptr,
                      const std::vector<VString>* extra = nullptr) {
    fResult =
        VProcessLauncher::ExecuteCommandLine(VString(commandLine), 0, input, &fOutput, &fError,
                                             environment, folder, &fStatus, nullptr, extra);
  }
  int32 fResult = -1;
  int32 fStatus = -1000;
  VMemoryBuffer<> fOutput;
  VMemoryBuffer<> fError;
};

TEST(ProcessLauncherCommandLine, Splitting) {
  struct Case {
    const char* line;
    std::vector<std::string> arguments;
  } cases[] = {
      {"open -a \"/Applications/My App.app\"", {"open", "-a", "/Applications/My App.app"}},
      {"My\\ App", {"My App"}},
      {"a \"\" b", {"a", "", "b"}},
      {"  lots   of  blanks ", {"lots", "of", "blanks"}},
      {"\"ab\"cd", {"ab", "cd"}},
      {"'it''s'", {"it", "s"}},
      {"\"say \\\"hi\\\" \\\\ now\"", {"say \"hi\" \\ now"}},
      {"x\"y\"z 'q", {"x\"y\"z", "q"}},
      {"\"unterminated word", {"unterminated word"}},
      {"caf\xC3\xA9 \xE2\x82\xAC", {"caf\xC3\xA9", "\xE2\x82\xAC"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    std::vector<VString> arguments;
    const int32 count = XPosixProcessLauncher::SplitCommandLine(c.line, arguments);
    ASSERT_EQ(size_t(count), c.arguments.size()) << c.line;
    ASSERT_EQ(arguments.size(), c.arguments.size()) << c.line;
    for (size_t i = 0; i < arguments.size(); ++i) {
      EXPECT_EQ(to_string(arguments[i]), c.arguments[i]) << c.line << " #" << i;
    }
  }
}

// Puts PATH (and "path") in a known state for the life of the object.
class ScopedSearchPath {
 public:
  ScopedSearchPath(const char* upper, const char* lower) {
    Save("PATH", fUpper);
    Save("path", fLower);
    Set("PATH", upper);
    Set("path", lower);
  }
  ~ScopedSearchPath() {
    Set("PATH", fUpper ? fUpper->c_str() : nullptr);
    Set("path", fLower ? fLower->c_str() : nullptr);
  }

 private:
  static void Save(const char* name, std::optional<std::string>& slot) {
    if (const char* value = std::getenv(name)) slot = value;
  }
  static void Set(const char* name, const char* value) {
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  std::optional<std::string> fUpper;
  std::optional<std::string> fLower;
};

TEST(ProcessLauncherCommandLine, ProgramSearchAlongPath) {
  test::TempFolder folder;
  // A folder named like the program, a file without execute permission, a
  // too long entry, then the real one; the one behind it is never reached.
  folder.MakeFolder("dir/zeft-probe");
  folder.Write("plain/zeft-probe", "#!/bin/sh\necho plain\n");
  const std::string script = folder.Write("good/zeft-probe", "#!/bin/sh\necho good \"$@\"\n");
  const std::string later = folder.Write("later/zeft-probe", "#!/bin/sh\necho later\n");
  chmod(script.c_str(), 0755);
  chmod(later.c_str(), 0755);
  const std::string tooLong = "/" + std::string(1100, 'x');
  const std::string search = tooLong + ":" + folder.Path("dir") + ":" + folder.Path("plain") + ":" +
                             folder.Path("good") + ":" + folder.Path("later") + ":/bin";
  struct Case {
    const char* upper;
    const char* lower;
    const char* expected;
  } cases[] = {
      {search.c_str(), nullptr, "good one\n"},
      {nullptr, search.c_str(), "good one\n"},  // "path" when "PATH" is missing
  };
  for (const Case& c : cases) {
    ScopedSearchPath scoped(c.upper, c.lower);
    CommandRun run("zeft-probe one");
    EXPECT_EQ(run.fResult, 0);
    EXPECT_EQ(Text(run.fOutput), c.expected);
  }
  // Without any search path the name stays as it is and cannot be run.
  ScopedSearchPath none(nullptr, nullptr);
  CommandRun missing("zeft-probe");
  EXPECT_EQ(missing.fResult, ENOENT);
}

TEST(ProcessLauncherRun, ExitStatusAndOutputs) {
  CommandRun three("/bin/sh -c \"echo out; echo err >&2; exit 3\"");
  EXPECT_EQ(three.fResult, 0);
  EXPECT_EQ(three.fStatus, 3);
  EXPECT_EQ(Text(three.fOutput), "out\n");
  EXPECT_EQ(Text(three.fError), "err\n");

  CommandRun killed("/bin/sh -c 'kill -9 $$'");
  EXPECT_EQ(killed.fResult, 0);
  EXPECT_EQ(killed.fStatus, -127);
}

TEST(ProcessLauncherRun, AMissingProgramIsAnErrorWithoutStatus) {
  int32 status = 1234;
  VMemoryBuffer<> output;
  const int32 result =
      VProcessLauncher::ExecuteCommandLine(VString("/nonexistent/zeft-no-such-program"), 0, nullptr,
                                           &output, nullptr, nullptr, nullptr, &status);
  EXPECT_EQ(result, ENOENT);
  EXPECT_EQ(status, 1234);
}

TEST(ProcessLauncherRun, FiveMillionBytesArriveWholeAndInOrder) {
  // 625,000 lines of eight bytes.
  CommandRun run("/usr/bin/seq -w 1000000 1624999");
  ASSERT_EQ(run.fResult, 0);
  EXPECT_EQ(run.fStatus, 0);
  const std::string text = Text(run.fOutput);
  ASSERT_EQ(text.size(), 5000000u);
  std::string expected;
  expected.reserve(5000000);
  for (int n = 1000000; n <= 1624999; ++n) expected += std::to_string(n) + "\n";
  EXPECT_TRUE(text == expected) << "output out of order or altered";
}

TEST(ProcessLauncherRun, OnlyAnErrorBufferStillDrainsTheOutput) {
  VMemoryBuffer<> error;
  int32 status = -1;
  // Far more output than a pipe holds: the child would block if nobody read it.
  const int32 result = VProcessLauncher::ExecuteCommandLine(
      VString("/bin/sh -c \"/usr/bin/seq 1 200000; echo done >&2\""), 0, nullptr, nullptr, &error,
      nullptr, nullptr, &status);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Text(error), "done\n");
}

TEST(ProcessLauncherRun, InputEnvironmentFolderAndArguments) {
  VMemoryBuffer<> input;
  input.AddDataAmortized("hello\nworld\n", 12);
  CommandRun cat("/bin/cat", &input);
  EXPECT_EQ(Text(cat.fOutput), "hello\nworld\n");

  VProcessLauncher::EnvironmentMap environment;
  environment[VString("ZEFT_B")] = VString("2");
  environment[VString("ZEFT_A")] = VString("1 and more");
  CommandRun env("/usr/bin/env", nullptr, &environment);
  EXPECT_EQ(Text(env.fOutput), "ZEFT_A=1 and more\nZEFT_B=2\n");

  VFilePath tmp(VString("/tmp/"), kFilePathStylePosix);
  CommandRun pwd("/bin/pwd", nullptr, nullptr, &tmp);
  EXPECT_EQ(Text(pwd.fOutput), "/tmp\n");

  const std::vector<VString> extra{VString("x"), VString(""), VString("y z")};
  CommandRun echo("/bin/sh -c 'printf \"[%s]\" \"$@\"' sh first", nullptr, nullptr, nullptr,
                  &extra);
  EXPECT_EQ(Text(echo.fOutput), "[first][x][y z]");

  VProcessLauncher launcher;
  launcher.CreateArgumentsFromFullCommandLine(VString("/bin/sh -c 'printf \"[%s]\" \"$@\"' sh"));
  launcher.AddArgument(VString("q"), true);
  launcher.AddArgument(VString(""), false);
  ASSERT_EQ(launcher.Start(), 0);
  launcher.CloseStandardInput();
  std::string printed;
  char chunk[256];
  for (int32 n; (n = launcher.ReadFromChild(chunk, sizeof chunk)) != -1;) {
    if (n == 0) launcher.WaitForData();
    if (n > 0) printed.append(chunk, size_t(n));
  }
  EXPECT_EQ(launcher.Shutdown(), 0);
  EXPECT_EQ(printed, "[\"q\"]");
}

TEST(ProcessLauncherRun, NoDescriptorLeftFailsTheStartWithAReadableMessage) {
  // Standard error goes to a pipe, then the descriptor limit is lowered to
  // the lowest free number, so that the launcher cannot make its pipes.
  int captured[2];
  ASSERT_EQ(pipe2(captured, O_CLOEXEC), 0);
  const int savedError = dup(2);
  ASSERT_GE(savedError, 0);
  dup2(captured[1], 2);
  const int probe = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(probe, 0);
  close(probe);
  rlimit saved;
  getrlimit(RLIMIT_NOFILE, &saved);
  rlimit lowered = saved;
  lowered.rlim_cur = rlim_t(probe);
  int32 result = 0;
  {
    VProcessLauncher launcher;  // no default folder
    launcher.CreateArgumentsFromFullCommandLine(VString("/bin/true"));
    setrlimit(RLIMIT_NOFILE, &lowered);
    result = launcher.Start();
    setrlimit(RLIMIT_NOFILE, &saved);
  }
  dup2(savedError, 2);
  close(savedError);
  close(captured[1]);
  std::string message;
  char chunk[512];
  for (ssize_t n; (n = read(captured[0], chunk, sizeof chunk)) > 0;)
    message.append(chunk, size_t(n));
  close(captured[0]);
  EXPECT_EQ(result, -1);
  EXPECT_NE(message.find("********** XPosixProcessLauncher::Start/fork() -> child -> Error: [] "
                         "chdir failed ("),
            std::string::npos)
      << message;
}

TEST(ProcessLauncherRun, AChildThatExitsBeforeReadingItsInputDoesNotKillUs) {
  // More than a pipe holds, to a child that never reads.
  VMemoryBuffer<> input;
  const std::string big(1 << 20, 'i');
  input.AddDataAmortized(big.data(), big.size());
  CommandRun run("/bin/true", &input);
  EXPECT_EQ(run.fResult, 0);
  EXPECT_EQ(run.fStatus, 0);

  // The write itself fails, and no SIGPIPE is left pending for later.
  VProcessLauncher launcher;
  launcher.CreateArgumentsFromFullCommandLine(VString("/bin/true"));
  ASSERT_EQ(launcher.Start(), 0);
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, id_t(launcher.GetPid()), &info, WEXITED | WNOWAIT), 0);
  EXPECT_EQ(launcher.WriteToChild("x", 1, true), -1);
  sigset_t pending;
  sigpending(&pending);
  EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
  EXPECT_EQ(launcher.Shutdown(), 0);
  EXPECT_EQ(launcher.GetExitStatus(), 0);
}

std::set<std::string> OpenDescriptors() {
  std::set<std::string> names;
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return names;
  const int own = dirfd(folder);
  while (const dirent* entry = readdir(folder)) {
    if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own) continue;
    names.insert(entry->d_name);
  }
  closedir(folder);
  return names;
}

TEST(ProcessLauncherRun, AHundredLaunchesLeaveNoDescriptorBehind) {
  VMemoryBuffer<> input;
  input.AddDataAmortized("data", 4);
  CommandRun warmUp("/bin/true");
  const std::set<std::string> before = OpenDescriptors();
  for (int i = 0; i < 100; ++i) {
    VMemoryBuffer<> output;
    int32 status = -1;
    const int32 options = i % 10 == 9 ? VProcessLauncher::kDontWait : 0;
    ASSERT_EQ(
        VProcessLauncher::ExecuteCommandLine(VString(i % 2 ? "/bin/cat" : "/bin/true"), options,
                                             &input, &output, nullptr, nullptr, nullptr, &status),
        0);
  }
  {
    VProcessLauncher launcher;
    launcher.CreateArgumentsFromFullCommandLine(VString("/bin/echo async"));
    ASSERT_EQ(launcher.Start(), 0);
    launcher.ReadFromChildAndShutdown(nullptr, nullptr);
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST(ProcessLauncherChild, SignalsAndStopsAreToldApart) {
  VProcessLauncher launcher;
  launcher.CreateArgumentsFromFullCommandLine(VString("/bin/sleep 120"));  // ended below
  ASSERT_EQ(launcher.Start(), 0);
  const pid_t pid = launcher.GetPid();
  ASSERT_GT(pid, 0);
  // Stopped and continued children still run and stay known. Each change is
  // waited for, and left for the launcher to see.
  siginfo_t info{};
  kill(pid, SIGSTOP);
  ASSERT_EQ(waitid(P_PID, id_t(pid), &info, WSTOPPED | WNOWAIT), 0);
  EXPECT_TRUE(launcher.IsRunning());
  EXPECT_EQ(launcher.GetPid(), pid);
  kill(pid, SIGCONT);
  ASSERT_EQ(waitid(P_PID, id_t(pid), &info, WCONTINUED | WNOWAIT), 0);
  EXPECT_TRUE(launcher.IsRunning());
  EXPECT_EQ(launcher.GetPid(), pid);

  kill(pid, SIGKILL);
  ASSERT_EQ(waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT), 0);
  EXPECT_FALSE(launcher.IsRunning());
  EXPECT_EQ(launcher.GetExitStatus(), -127);
  EXPECT_EQ(launcher.GetPid(), 0);
}

TEST(ProcessLauncherChild, KillProcessRefusesGroupIds) {
  for (int32 pid : {0, -1, -int32(getpgrp())}) {
    EXPECT_FALSE(VProcessLauncher::KillProcess(pid)) << pid;
  }
}

// Keeps the process's timer thread busy, so that no timer fires, until
// released (at the latest when it goes).
class TimerHold {
 public:
  TimerHold() {
    platform::TimerService::Get().Schedule(0, [state = fState] {
      state->fHeld.store(true);
      state->fHeld.notify_all();
      state->fReleased.wait(false);
    });
    fState->fHeld.wait(false);
  }
  ~TimerHold() { Release(); }
  void Release() {
    fState->fReleased.store(true);
    fState->fReleased.notify_all();
  }

 private:
  struct State {
    std::atomic<bool> fHeld{false};
    std::atomic<bool> fReleased{false};
  };
  // Shared with the callback, which may outlive a test that failed early.
  std::shared_ptr<State> fState = std::make_shared<State>();
};

TEST(ProcessLauncherChild, TheWaitTimeKillsAChildThatRunsTooLong) {
  test::ErrorCollector errors;
  VProcessLauncher launcher;
  // Only the kill ends it within the test.
  launcher.CreateArgumentsFromFullCommandLine(VString("/bin/sleep 120"));
  launcher.SetWaitClosingChildProcess(100);
  ASSERT_EQ(launcher.Start(), 0);
  EXPECT_EQ(launcher.Shutdown(), 0);
  EXPECT_TRUE(test::HasToolboxError(errors.Errors(), 8));
  EXPECT_EQ(launcher.GetExitStatus(), -127);

  // A child that ends in time raises nothing, and its timer never fires
  // later. The timers are held until it has ended: in time however slowly
  // it runs.
  errors.Flush();
  {
    TimerHold hold;
    launcher.CreateArgumentsFromFullCommandLine(VString("/bin/true"));
    launcher.SetWaitClosingChildProcess(150);
    ASSERT_EQ(launcher.Start(), 0);
    EXPECT_EQ(launcher.Shutdown(), 0);
  }
  // Due after the kill timer: once it ran, that timer would have fired.
  std::atomic<bool> later{false};
  platform::TimerService::Get().Schedule(150, [&] {
    later.store(true);
    later.notify_all();
  });
  later.wait(false);
  launcher.SetWaitClosingChildProcess(0);
  EXPECT_EQ(launcher.Shutdown(), 0);
  EXPECT_TRUE(errors.Errors().empty());
  EXPECT_EQ(launcher.GetExitStatus(), 0);
}

TEST(ProcessLauncherChild, UnwaitedChildrenAreReapedByALaterStart) {
  int32 status = -5;
  VProcessLauncher* running = nullptr;
  // Runs until the test ends it.
  ASSERT_EQ(VProcessLauncher::ExecuteCommandLine(VString("/bin/sleep 120"),
                                                 VProcessLauncher::kDontWait, nullptr, nullptr,
                                                 nullptr, nullptr, nullptr, &status, &running),
            0);
  ASSERT_NE(running, nullptr);
  EXPECT_EQ(status, 0);  // still running
  const pid_t pid = running->GetPid();
  EXPECT_EQ(running->Shutdown(), 0);  // returns at once, the child goes on
  delete running;
  siginfo_t info{};
  EXPECT_EQ(waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT), 0);
  EXPECT_EQ(info.si_pid, 0) << "the child did not go on";
  kill(pid, SIGKILL);
  ASSERT_EQ(waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT), 0);  // now a zombie
  CommandRun next("/bin/true");
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1) << "not reaped";
  EXPECT_EQ(errno, ECHILD);
}

TEST(ProcessLauncherChild, AsynchronousReadsDeliverEverything) {
  VProcessLauncher launcher;
  launcher.CreateArgumentsFromFullCommandLine(
      VString("/bin/sh -c \"/usr/bin/seq 1 100000; echo tail >&2; exit 7\""));
  ASSERT_EQ(launcher.Start(), 0);
  launcher.CloseStandardInput();
  std::string output;
  std::string error;
  EXPECT_EQ(launcher.ReadFromChildAndShutdown(
                [&](const void* bytes, size_t size) {
                  output.append(static_cast<const char*>(bytes), size);
                },
                [&](const void* bytes, size_t size) {
                  error.append(static_cast<const char*>(bytes), size);
                }),
            0);
  std::string expected;
  for (int n = 1; n <= 100000; ++n) expected += std::to_string(n) + "\n";
  EXPECT_TRUE(output == expected);
  EXPECT_EQ(error, "tail\n");
  EXPECT_EQ(launcher.GetExitStatus(), 7);
}

}  // namespace
}  // namespace zeft
