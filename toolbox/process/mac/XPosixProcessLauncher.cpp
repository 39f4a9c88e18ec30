#include "process/mac/XPosixProcessLauncher.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "core/StStringConverter.h"
#include "files/VFilePath.h"
#include "files/mac/XBSDSystem.h"
#include "platform/PipeReader.h"
#include "platform/ProcessExitWatcher.h"
#include "platform/TimerService.h"
#include "platform/WaitGroup.h"
#include "process/VSystem.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

extern char** environ;

namespace zeft {

namespace {

// Children shut down while still running, reaped by a later Start.
pthread_mutex_t sWatchSetMutex = PTHREAD_MUTEX_INITIALIZER;
std::set<pid_t>& WatchSet() {
  static std::set<pid_t>* sWatchSet = new std::set<pid_t>();
  return *sWatchSet;
}

constexpr int32 kSignalStatus = -127;
constexpr int32 kTerminateTimeoutMs = 5000;
constexpr int32 kTerminatePollMs = 30;

void LogSystemError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsyslog(LOG_ERR, format, args);
  va_end(args);
}

std::string ToUTF8(const VString& text) {
  StStringConverter<char> converted(text, kCharSetUTF8);
  return std::string(converted.GetCPointer(), converted.GetSize());
}

// The exit status of a waitpid status: only an exit or a fatal signal ends
// a child, so nothing else is ever recorded.
int32 ExitStatusOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return kSignalStatus;
}

void YieldTask() { VTaskMgr::sInstance->Yield(); }

}  // namespace

XPosixProcessLauncher::XPosixProcessLauncher() = default;

XPosixProcessLauncher::~XPosixProcessLauncher() {
  if (fRunning && _Poll() == 0) Shutdown(false, false);
  if (fGroup != nullptr) fGroup->Wait();
  _CloseChannel(fOutputChannel, false);
  _CloseChannel(fErrorChannel, false);
  _CloseAllPipes();
  _ForgetChild();
}

void XPosixProcessLauncher::SetDefaultDirectory(const VFilePath& folder) {
  VString path;
  if (!folder.IsEmpty()) folder.GetPosixPath(path);
  fDefaultDirectory = ToUTF8(path);
}

void XPosixProcessLauncher::SetEnvironmentVariable(const VString& name, const VString& value) {
  if (name.IsEmpty() || name.IsNull()) return;
  fEnvironment[name] = value;
}

void XPosixProcessLauncher::SetEnvironmentVariables(const EnvironmentMap& variables) {
  fEnvironment = variables;
}

void XPosixProcessLauncher::SetBinaryPath(const VString& path) {
  fBinaryPath = path.IsNull() ? std::string() : ToUTF8(path);
  if (fArguments.empty()) {
    fArguments.push_back(path);
  } else {
    fArguments[0] = path;
  }
}

int32 XPosixProcessLauncher::SplitCommandLine(const char* commandLine,
                                              std::vector<VString>& arguments) {
  int32 count = 0;
  const char* c = commandLine;
  std::string word;
  auto emit = [&] {
    VString argument;
    argument.FromBlock(word.data(), word.size(), kCharSetUTF8);
    arguments.push_back(argument);
    ++count;
    word.clear();
  };
  while (*c != '\0') {
    if (*c == ' ') {
      ++c;
      continue;
    }
    if (*c == '"' || *c == '\'') {
      const char quote = *c++;
      while (*c != '\0' && *c != quote) {
        if (*c == '\\' && c[1] != '\0') ++c;
        word += *c++;
      }
      if (*c == quote) ++c;
      emit();
      continue;
    }
    while (*c != '\0' && *c != ' ') {
      if (*c == '\\' && c[1] != '\0') ++c;
      word += *c++;
    }
    emit();
  }
  return count;
}

void XPosixProcessLauncher::CreateArgumentsFromFullCommandLine(const VString& commandLine) {
  fArguments.clear();
  if (commandLine.IsEmpty() || commandLine.IsNull()) return;
  if (SplitCommandLine(ToUTF8(commandLine).c_str(), fArguments) > 0) {
    SetBinaryPath(VString(fArguments[0]));
  }
}

void XPosixProcessLauncher::AddArgument(const VString& argument) {
  if (!argument.IsEmpty() && !argument.IsNull()) fArguments.push_back(argument);
}

void XPosixProcessLauncher::ClearArguments() { fArguments.clear(); }

void XPosixProcessLauncher::_AdjustBinaryPathIfNeeded() {
  if (fBinaryPath.empty() || fBinaryPath[0] == '/') return;
  const char* searchPath = std::getenv("PATH");
  if (searchPath == nullptr) searchPath = std::getenv("path");
  if (searchPath == nullptr) return;
  if (_DoesBinaryExist(fBinaryPath.c_str())) return;
  VString name;
  name.FromBlock(fBinaryPath.data(), fBinaryPath.size(), kCharSetUTF8);
  VFilePath found;
  if (!XBSDSystem::SearchExecutablePathIn(searchPath, name, found)) return;
  VString posix;
  found.GetPosixPath(posix);
  fBinaryPath = ToUTF8(posix);
}

void XPosixProcessLauncher::_CleanWatchSet() {
  std::set<pid_t>& watched = WatchSet();
  for (auto it = watched.begin(); it != watched.end();) {
    if (waitpid(*it, nullptr, WNOHANG) == *it) {
      it = watched.erase(it);
    } else {
      ++it;
    }
  }
}

int32 XPosixProcessLauncher::Start() { return Start(fEnvironment); }

int32 XPosixProcessLauncher::Start(const EnvironmentMap& environment) {
  _AdjustBinaryPathIfNeeded();

  // posix_spawn reports a program that cannot run through its own result;
  // the status pipe stays as the check that the child really started.
  int status[2] = {-1, -1};
  if (pipe2(status, O_CLOEXEC) != 0) {
    std::fprintf(stderr,
                 "********** XPosixProcessLauncher::Start/fork() -> child -> Error: [%s] chdir "
                 "failed (%s)\n",
                 fDefaultDirectory.c_str(), std::strerror(errno));
    return -1;
  }
  _CloseAllPipes();
  bool piped = true;
  if (fRedirectStandardInput) piped = pipe2(fStandardInput, O_CLOEXEC) == 0;
  if (piped && fRedirectStandardOutput) {
    piped = pipe2(fStandardOutput, O_CLOEXEC) == 0 && pipe2(fStandardError, O_CLOEXEC) == 0;
    piped = piped && _SetNonBlocking(fStandardOutput[0]) == 0 &&
            _SetNonBlocking(fStandardError[0]) == 0;
  }
  if (!piped) {
    _CloseAllPipes();
    _CloseRWPipe(status);
    return -1;
  }

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  int error = posix_spawn_file_actions_init(&actions);
  if (error == 0 && fRedirectStandardInput) {
    error = posix_spawn_file_actions_adddup2(&actions, fStandardInput[0], 0);
  }
  if (error == 0 && fRedirectStandardOutput) {
    error = posix_spawn_file_actions_adddup2(&actions, fStandardOutput[1], 1);
    if (error == 0) error = posix_spawn_file_actions_adddup2(&actions, fStandardError[1], 2);
  }
  // Every other descriptor stays with the parent.
  if (error == 0) error = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (error == 0 && !fDefaultDirectory.empty()) {
    error = posix_spawn_file_actions_addchdir_np(&actions, fDefaultDirectory.c_str());
  }
  const bool attributesMade = error == 0 && posix_spawnattr_init(&attributes) == 0;
  if (attributesMade) {
    sigset_t none;
    sigemptyset(&none);
    error = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    if (error == 0) error = posix_spawnattr_setpgroup(&attributes, 0);
    if (error == 0) error = posix_spawnattr_setsigmask(&attributes, &none);
  } else if (error == 0) {
    error = ENOMEM;
  }
  if (error != 0) {
    LogSystemError("init_pipes error");
    posix_spawn_file_actions_destroy(&actions);
    if (attributesMade) posix_spawnattr_destroy(&attributes);
    _CloseAllPipes();
    _CloseRWPipe(status);
    return error;
  }

  std::vector<std::string> arguments;
  for (const VString& argument : fArguments) arguments.push_back(ToUTF8(argument));
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  pthread_mutex_lock(&sWatchSetMutex);
  _CleanWatchSet();
  pthread_mutex_unlock(&sWatchSetMutex);

  std::vector<std::string> variables;
  for (const auto& [name, value] : environment) {
    if (!name.IsEmpty()) variables.push_back(ToUTF8(name) + "=" + ToUTF8(value));
  }
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);

  _ForgetChild();
  fRunning = true;
  pid_t pid = 0;
  error = posix_spawn(&pid, fBinaryPath.c_str(), &actions, &attributes, argv.data(),
                      variables.empty() ? environ : envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    fRunning = false;
    _CloseAllPipes();
    _CloseRWPipe(status);
    return error;
  }
  fPid = pid;
  fProcessGroup = -pid;
  fExitStatus = 0;
  fChild = std::make_shared<ChildState>();
  fChild->fPid = pid;

  _CloseOnePipe(status[1]);
  _CloseOnePipe(fStandardInput[0]);
  _CloseOnePipe(fStandardOutput[1]);
  _CloseOnePipe(fStandardError[1]);
  char bytes[4];
  ssize_t got;
  do {
    got = read(status[0], bytes, sizeof bytes);
  } while (got < 0 && errno == EINTR);
  _CloseOnePipe(status[0]);
  const bool failed = got != 0;

  if (fWaitTime > 0 && fWaitTime < kWaitWithoutLimit) {
    std::shared_ptr<ChildState> child = fChild;
    fKillTimer = platform::TimerService::Get().Schedule(fWaitTime, [child] {
      std::lock_guard<std::mutex> guard(child->fMutex);
      if (child->fPid == 0) return;  // reaped: its group id may be reused
      child->fKilledByTimeout = true;
      killpg(child->fPid, SIGKILL);
    });
  }
  return failed ? -1 : 0;
}

int32 XPosixProcessLauncher::_Poll() {
  if (fChild == nullptr || fPid == 0) return -1;
  int status = 0;
  pid_t reaped;
  {
    std::lock_guard<std::mutex> guard(fChild->fMutex);
    do {
      reaped = waitpid(fPid, &status, WNOHANG);
    } while (reaped < 0 && errno == EINTR);
    if (reaped == fPid) fChild->fPid = 0;
  }
  if (reaped == 0) return 0;
  if (reaped == fPid) {
    fExitStatus = ExitStatusOf(status);
    _ForgetChild();
    fRunning = false;
    return 1;
  }
  return -1;
}

void XPosixProcessLauncher::_ForgetChild() {
  if (fKillTimer != 0) platform::TimerService::Get().Cancel(fKillTimer);
  fKillTimer = 0;
  fPid = 0;
}

bool XPosixProcessLauncher::IsRunning() {
  if (!fRunning) return false;
  if (fPid == 0) return true;
  const int32 polled = _Poll();
  if (polled < 0) {
    _ForgetChild();
    fRunning = false;
    fExitStatus = 0;
  }
  return polled == 0;
}

int32 XPosixProcessLauncher::WaitForData() {
  if (fStandardOutput[0] < 0 && fStandardError[0] < 0) return 0;  // nothing could ever come
  pollfd fds[2] = {{fStandardOutput[0], POLLIN, 0}, {fStandardError[0], POLLIN, 0}};
  sigset_t mask;
  pthread_sigmask(SIG_SETMASK, nullptr, &mask);
  sigdelset(&mask, SIGCHLD);
  for (;;) {
    const int ready = ppoll(fds, 2, nullptr, &mask);
    if (ready > 0) {
      return (fds[0].revents != 0 ? 1 : 0) | (fds[1].revents != 0 ? 2 : 0);
    }
    if (ready < 0 && errno == EINTR) {
      if (fPid == 0) return 0;
      const int32 polled = _Poll();
      if (polled == 0) return 0;
      if (polled < 0) {
        _ForgetChild();
        fRunning = false;
      }
      return 4;
    }
    if (ready < 0) return 0;
  }
}

int32 XPosixProcessLauncher::_ReadFromPipe(int fd, char* buffer, long length) {
  if (buffer == nullptr || length <= 0 || fd < 0) return -1;
  YieldTask();
  ssize_t count;
  do {
    count = read(fd, buffer, size_t(length));
  } while (count < 0 && errno == EINTR);
  if (count == 0) return -1;
  if (count < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
  return int32(count);
}

int32 XPosixProcessLauncher::ReadFromChild(char* buffer, long length) {
  return _ReadFromPipe(fStandardOutput[0], buffer, length);
}

int32 XPosixProcessLauncher::ReadErrorFromChild(char* buffer, long length) {
  return _ReadFromPipe(fStandardError[0], buffer, length);
}

int32 XPosixProcessLauncher::WriteToChild(const void* buffer, uint32 length, bool closeAfter) {
  if (buffer == nullptr || !fRunning || fStandardInput[1] < 0) return -1;
  YieldTask();
  int32 result = 0;
  if (length > 0) {
    // A child that no longer reads would raise SIGPIPE and end this whole
    // process: block it on this thread for the write and consume the one
    // the write raised, leaving a signal that was pending before alone.
    sigset_t pipeSignal, previous, pending;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    ssize_t written;
    do {
      written = write(fStandardInput[1], buffer, length);
    } while (written < 0 && errno == EINTR);
    // A write cut short by the reader's end raises the signal too, with a
    // partial count instead of EPIPE.
    sigpending(&pending);
    if (!wasPending && sigismember(&pending, SIGPIPE) == 1) {
      const struct timespec now = {0, 0};
      while (sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    result = written < 0 ? -1 : int32(written);
  }
  if (closeAfter) _CloseOnePipe(fStandardInput[1]);
  return result;
}

void XPosixProcessLauncher::CloseStandardInput() { _CloseOnePipe(fStandardInput[1]); }

void XPosixProcessLauncher::_AsyncRead(int& fd, DataCallback callback,
                                       std::unique_ptr<platform::PipeReader>& channel) {
  if (fd < 0) return;
  if (fGroup == nullptr) fGroup = std::make_unique<platform::WaitGroup>();
  _CloseChannel(channel, false);
  platform::WaitGroup* group = fGroup.get();
  group->Enter();
  channel = std::make_unique<platform::PipeReader>(
      fd,
      [callback = std::move(callback)](const void* bytes, size_t size) {
        if (callback) callback(bytes, size);
      },
      [group](int error) {
        if (error != 0 && error != ECANCELED) {
          LogSystemError("Channel handler : %s", std::strerror(error));
          LogSystemError("READ ERROR : %s", std::strerror(error));
        }
        group->Leave();
      });
  fd = -1;  // the channel owns it now
}

void XPosixProcessLauncher::_CloseChannel(std::unique_ptr<platform::PipeReader>& channel,
                                          bool stop) {
  if (channel == nullptr) return;
  if (stop) channel->Stop();
  channel.reset();
}

int32 XPosixProcessLauncher::ReadFromChildAndShutdown(DataCallback onOutput, DataCallback onError) {
  _AsyncRead(fStandardOutput[0], std::move(onOutput), fOutputChannel);
  _AsyncRead(fStandardError[0], std::move(onError), fErrorChannel);
  return Shutdown(false, false);
}

bool XPosixProcessLauncher::_TerminateIndependantChildProcess(int sig, int32 timeoutMs,
                                                              bool toGroup) {
  const uint64 start = VSystem::GetCurrentTime();
  if (fPid == 0) return true;
  if ((toGroup ? killpg(fPid, sig) : kill(fPid, sig)) != 0) return errno == ESRCH;
  const uint64 limit = uint64(timeoutMs < 1 ? kTerminatePollMs : timeoutMs);
  while (fRunning) {
    const int32 polled = _Poll();
    if (polled != 0) {
      if (polled < 0) {
        _ForgetChild();
        fRunning = false;
        fExitStatus = 0;
      }
      return true;
    }
    if (VSystem::GetCurrentTime() - start >= limit) return _Poll() != 0;
    VTask::Sleep(kTerminatePollMs);
    if (VTask::GetCurrent() == nullptr) VSystem::Delay(kTerminatePollMs);
    YieldTask();
  }
  return true;
}

int32 XPosixProcessLauncher::Shutdown(bool kill, bool killProcessTree) {
  if (fWaitTime >= 1) {
    if (fGroup == nullptr) fGroup = std::make_unique<platform::WaitGroup>();
    std::unique_ptr<platform::ProcessExitWatcher> exitWatcher;
    // A child that has ended already needs no watcher (nor its thread).
    siginfo_t ended{};
    if (fRunning && fPid != 0 &&
        (waitid(P_PID, id_t(fPid), &ended, WEXITED | WNOHANG | WNOWAIT) != 0 ||
         ended.si_pid != fPid)) {
      platform::WaitGroup* group = fGroup.get();
      group->Enter();
      exitWatcher =
          std::make_unique<platform::ProcessExitWatcher>(fPid, [group] { group->Leave(); });
    }
    fGroup->Wait();
    exitWatcher.reset();
    _CloseChannel(fOutputChannel, false);
    _CloseChannel(fErrorChannel, false);
  }
  if (fChild != nullptr) {
    bool killed;
    {
      std::lock_guard<std::mutex> guard(fChild->fMutex);
      killed = fChild->fKilledByTimeout;
      fChild->fKilledByTimeout = false;
    }
    if (killed) _ThrowError(ToolboxError(toolbox_error::kLauncherShutdown));
  }
  if (fRunning) {
    const int32 polled = _Poll();
    if (polled < 0) {
      _ForgetChild();
      fRunning = false;
      fExitStatus = 0;
    } else if (polled == 0) {
      _CloseChannel(fOutputChannel, true);
      _CloseChannel(fErrorChannel, true);
      _CloseOnePipe(fStandardOutput[0]);
      _CloseOnePipe(fStandardError[0]);
      _CloseOnePipe(fStandardInput[1]);
      if (kill) {
        if (_Poll() == 0 &&
            !_TerminateIndependantChildProcess(SIGTERM, kTerminateTimeoutMs, false) &&
            !_TerminateIndependantChildProcess(SIGQUIT, kTerminateTimeoutMs, false)) {
          _TerminateIndependantChildProcess(SIGKILL, kTerminateTimeoutMs, false);
        }
        _Poll();
      } else if (fPid != 0) {
        if (_Poll() == 0) {
          pthread_mutex_lock(&sWatchSetMutex);
          WatchSet().insert(fPid);
          pthread_mutex_unlock(&sWatchSetMutex);
        }
      }
      _ForgetChild();
      fRunning = false;
    }
  }
  if (killProcessTree && fProcessTreeKill && fProcessGroup != 0) {
    ::kill(fProcessGroup, SIGKILL);
  }
  return 0;
}

bool XPosixProcessLauncher::KillProcess(int32 pid) {
  // 0 and negative ids name process groups, ours included.
  if (pid <= 0) return false;
  return kill(pid, SIGTERM) == 0;
}

int XPosixProcessLauncher::_SetNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return -1;
  return fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0 ? -1 : 0;
}

void XPosixProcessLauncher::_CloseOnePipe(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

void XPosixProcessLauncher::_CloseRWPipe(int (&fds)[2]) {
  _CloseOnePipe(fds[0]);
  _CloseOnePipe(fds[1]);
}

bool XPosixProcessLauncher::_DoesBinaryExist(const char* path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

void XPosixProcessLauncher::_CloseAllPipes() {
  _CloseRWPipe(fStandardInput);
  _CloseRWPipe(fStandardOutput);
  _CloseRWPipe(fStandardError);
}

}  // namespace zeft
