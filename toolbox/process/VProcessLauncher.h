// VProcessLauncher is the portable face of child-process launching: it owns
// one XPosixProcessLauncher and forwards to it. ExecuteCommandLine runs a
// whole command line in one call: it starts the child, feeds its standard
// input, collects its output in memory and waits for its end.
#pragma once

#include <functional>
#include <vector>

#include "core/VMemoryBuffer.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "process/mac/XPosixProcessLauncher.h"

namespace zeft {

class VFilePath;

class VProcessLauncher : public VObject {
 public:
  using EnvironmentMap = XPosixProcessLauncher::EnvironmentMap;
  using DataCallback = XPosixProcessLauncher::DataCallback;

  // Option bit of ExecuteCommandLine: start the child and return at once,
  // without reading its output or waiting for it.
  static constexpr int32 kDontWait = 2;

  VProcessLauncher() = default;
  ~VProcessLauncher() override = default;

  // 0 on success, else the error of Start or of Shutdown. The child's
  // environment is `environment` when given and not empty, the parent's
  // otherwise. With `launcher`, the launcher is handed over (also after a
  // failed start) and the child left running; the caller deletes it.
  static int32 ExecuteCommandLine(const VString& commandLine, int32 options,
                                  VMemoryBuffer<>* standardInput, VMemoryBuffer<>* standardOutput,
                                  VMemoryBuffer<>* standardError,
                                  const EnvironmentMap* environment = nullptr,
                                  const VFilePath* defaultDirectory = nullptr,
                                  int32* exitStatus = nullptr,
                                  VProcessLauncher** launcher = nullptr,
                                  const std::vector<VString>* extraArguments = nullptr,
                                  bool quoteArgumentsIfNeeded = true, bool killProcessTree = false);

  void SetDefaultDirectory(const VFilePath& folder) { fLauncher.SetDefaultDirectory(folder); }
  void SetEnvironmentVariable(const VString& name, const VString& value) {
    fLauncher.SetEnvironmentVariable(name, value);
  }
  void SetEnvironmentVariables(const EnvironmentMap& variables) {
    fLauncher.SetEnvironmentVariables(variables);
  }
  void SetBinaryPath(const VString& path) { fLauncher.SetBinaryPath(path); }
  void CreateArgumentsFromFullCommandLine(const VString& commandLine) {
    fLauncher.CreateArgumentsFromFullCommandLine(commandLine);
  }
  // With `quote`, the argument is wrapped in double quotes, which reach the
  // child as characters.
  void AddArgument(const VString& argument, bool quote = false);
  void ClearArguments() { fLauncher.ClearArguments(); }
  void SetRedirectStandardInput(bool redirect) { fLauncher.SetRedirectStandardInput(redirect); }
  void SetRedirectStandardOutput(bool redirect) { fLauncher.SetRedirectStandardOutput(redirect); }
  void SetQuoteArgumentsIfNeeded(bool quote) { fLauncher.SetQuoteArgumentsIfNeeded(quote); }
  void SetWaitClosingChildProcess(int32 milliseconds) {
    fLauncher.SetWaitClosingChildProcess(milliseconds);
  }
  void EnableProcessTreeKill() { fLauncher.EnableProcessTreeKill(); }

  int32 Start() { return fLauncher.Start(); }
  int32 Start(const EnvironmentMap& environment) { return fLauncher.Start(environment); }
  bool IsRunning() { return fLauncher.IsRunning(); }
  int32 WaitForData() { return fLauncher.WaitForData(); }
  int32 ReadFromChild(char* buffer, long length) { return fLauncher.ReadFromChild(buffer, length); }
  int32 ReadErrorFromChild(char* buffer, long length) {
    return fLauncher.ReadErrorFromChild(buffer, length);
  }
  int32 WriteToChild(const void* buffer, uint32 length, bool closeAfter = false) {
    return fLauncher.WriteToChild(buffer, length, closeAfter);
  }
  void CloseStandardInput() { fLauncher.CloseStandardInput(); }
  int32 ReadFromChildAndShutdown(DataCallback onOutput, DataCallback onError) {
    return fLauncher.ReadFromChildAndShutdown(std::move(onOutput), std::move(onError));
  }
  int32 Shutdown(bool kill = false, bool killProcessTree = false) {
    return fLauncher.Shutdown(kill, killProcessTree);
  }
  static bool KillProcess(int32 pid) { return XPosixProcessLauncher::KillProcess(pid); }

  int32 GetPid() const { return fLauncher.GetPid(); }
  int32 GetExitStatus() const { return fLauncher.GetExitStatus(); }

 private:
  XPosixProcessLauncher fLauncher;
};

}  // namespace zeft
