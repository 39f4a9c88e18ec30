// XPosixProcessLauncher starts one child process with posix_spawn, connects
// its standard streams to pipes, finds its program along PATH, reads its
// output by polling or on helper threads, waits for its end, ends it with
// escalating signals when asked, and reaps children that were left running
// through a process-wide watch set.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/VObject.h"
#include "core/VString.h"
#include "core/VStringLessCompareStrict.h"

namespace zeft {

class VFilePath;

namespace platform {
class PipeReader;
class WaitGroup;
}  // namespace platform

class XPosixProcessLauncher : public VObject {
 public:
  using EnvironmentMap = std::map<VString, VString, VStringLessCompareStrict>;
  using DataCallback = std::function<void(const void* bytes, size_t size)>;

  static constexpr int32 kWaitWithoutLimit = 2147483647;

  XPosixProcessLauncher();
  // Shuts a running child down without killing it and waits for the
  // asynchronous reads.
  ~XPosixProcessLauncher() override;
  XPosixProcessLauncher(const XPosixProcessLauncher&) = delete;
  XPosixProcessLauncher& operator=(const XPosixProcessLauncher&) = delete;

  // ---- Configuration
  // The child's working directory (an empty path: the parent's).
  void SetDefaultDirectory(const VFilePath& folder);
  void SetEnvironmentVariable(const VString& name, const VString& value);
  void SetEnvironmentVariables(const EnvironmentMap& variables);
  // The program; also argument 0 (appended when there is none yet).
  void SetBinaryPath(const VString& path);
  // Splits the command line into the arguments (see SplitCommandLine); the
  // first becomes the binary path.
  void CreateArgumentsFromFullCommandLine(const VString& commandLine);
  // Appends the argument unless it is empty or null.
  void AddArgument(const VString& argument);
  // Empties the arguments; the binary path stays.
  void ClearArguments();
  void SetRedirectStandardInput(bool redirect) { fRedirectStandardInput = redirect; }
  // Standard output and standard error together.
  void SetRedirectStandardOutput(bool redirect) { fRedirectStandardOutput = redirect; }
  void SetQuoteArgumentsIfNeeded(bool quote) { fQuoteArgumentsIfNeeded = quote; }
  // Milliseconds: 0 never waits for the child; 1 to kWaitWithoutLimit - 1
  // also kill its process group when it runs longer; kWaitWithoutLimit waits
  // as long as it takes.
  void SetWaitClosingChildProcess(int32 milliseconds) { fWaitTime = milliseconds; }
  void EnableProcessTreeKill() { fProcessTreeKill = true; }

  // Blank-separated words; quotes (" or ') group a word and are removed, a
  // backslash keeps the next character. Appends the words in UTF-8 order;
  // their number is the result.
  static int32 SplitCommandLine(const char* commandLine, std::vector<VString>& arguments);

  // ---- Running
  // 0 on success, -1 or a system error number on failure.
  int32 Start();
  int32 Start(const EnvironmentMap& environment);
  // Polls the child; its exit status is recorded when it has ended.
  bool IsRunning();
  // Waits until standard output (1), standard error (2) or both (3) are
  // readable; 4 when a signal interrupted and the child has ended, 0 when
  // it still runs.
  int32 WaitForData();
  // Bytes read, 0 when nothing is there yet, -1 at the end or on failure.
  int32 ReadFromChild(char* buffer, long length);
  int32 ReadErrorFromChild(char* buffer, long length);
  // One write of the whole buffer: its result, or -1 when the child is not
  // running, its input is closed or it no longer reads (never SIGPIPE).
  int32 WriteToChild(const void* buffer, uint32 length, bool closeAfter);
  void CloseStandardInput();
  // Hands all output to the callbacks on helper threads, then Shutdown.
  int32 ReadFromChildAndShutdown(DataCallback onOutput, DataCallback onError);
  // Waits for the child as the wait time says, then ends it (kill) or lets
  // it run on in the watch set. 0, or -1 when the wait could not be set up.
  int32 Shutdown(bool kill, bool killProcessTree);
  // SIGTERM to `pid`; false for 0 or less (nothing sent) and on failure.
  static bool KillProcess(int32 pid);

  int32 GetPid() const { return fPid; }
  int32 GetExitStatus() const { return fExitStatus; }

 private:
  // What the kill timer shares with the launcher: the timer signals the
  // group only while the child is not reaped, so it never hits a group whose
  // id was reused.
  struct ChildState {
    std::mutex fMutex;
    pid_t fPid = 0;
    bool fKilledByTimeout = false;
  };

  void _AdjustBinaryPathIfNeeded();
  // One waitpid (WNOHANG) of the child: 1 reaped (status recorded, child
  // forgotten), 0 still running, -1 waitpid failed.
  int32 _Poll();
  // The child is gone: forget it and cancel its kill timer.
  void _ForgetChild();
  bool _TerminateIndependantChildProcess(int sig, int32 timeoutMs, bool toGroup);
  void _AsyncRead(int& fd, DataCallback callback, std::unique_ptr<platform::PipeReader>& channel);
  void _CloseChannel(std::unique_ptr<platform::PipeReader>& channel, bool stop);
  void _CloseAllPipes();
  // O_NONBLOCK added; 0, or -1 on failure.
  static int _SetNonBlocking(int fd);
  // Close and mark closed (-1).
  static void _CloseOnePipe(int& fd);
  static void _CloseRWPipe(int (&fds)[2]);
  // A regular file at `path`.
  static bool _DoesBinaryExist(const char* path);
  static int32 _ReadFromPipe(int fd, char* buffer, long length);
  static void _CleanWatchSet();

  std::string fDefaultDirectory;  // "" for the parent's
  EnvironmentMap fEnvironment;
  std::string fBinaryPath;  // "" until set
  std::vector<VString> fArguments;
  bool fRunning = false;
  int32 fExitStatus = 0;
  int32 fWaitTime = kWaitWithoutLimit;
  pid_t fPid = 0;
  int fStandardInput[2] = {-1, -1};
  int fStandardOutput[2] = {-1, -1};
  int fStandardError[2] = {-1, -1};
  bool fRedirectStandardInput = true;
  bool fRedirectStandardOutput = true;
  std::unique_ptr<platform::PipeReader> fOutputChannel;
  std::unique_ptr<platform::PipeReader> fErrorChannel;
  std::unique_ptr<platform::WaitGroup> fGroup;
  std::shared_ptr<ChildState> fChild;
  uint64_t fKillTimer = 0;
  bool fQuoteArgumentsIfNeeded = true;
  bool fProcessTreeKill = false;
  pid_t fProcessGroup = 0;
};

}  // namespace zeft
