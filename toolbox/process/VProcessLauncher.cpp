#include "process/VProcessLauncher.h"

#include <memory>

#include "files/VFilePath.h"
#include "runtime/VTask.h"

namespace zeft {

namespace {

constexpr long kReadChunk = 4096;

// Appends a chunk; when the buffer cannot grow the chunk is dropped.
void Collect(VMemoryBuffer<>* buffer, const char* bytes, int32 count) {
  if (buffer != nullptr && count > 0) buffer->AddDataAmortized(bytes, size_t(count));
}

}  // namespace

void VProcessLauncher::AddArgument(const VString& argument, bool quote) {
  if (!quote) {
    fLauncher.AddArgument(argument);
    return;
  }
  VString quoted("\"");
  quoted += argument;
  quoted += UniChar('"');
  fLauncher.AddArgument(quoted);
}

int32 VProcessLauncher::ExecuteCommandLine(
    const VString& commandLine, int32 options, VMemoryBuffer<>* standardInput,
    VMemoryBuffer<>* standardOutput, VMemoryBuffer<>* standardError,
    const EnvironmentMap* environment, const VFilePath* defaultDirectory, int32* exitStatus,
    VProcessLauncher** launcher, const std::vector<VString>* extraArguments,
    bool quoteArgumentsIfNeeded, bool killProcessTree) {
  auto owned = std::make_unique<VProcessLauncher>();
  XPosixProcessLauncher& child = owned->fLauncher;
  child.CreateArgumentsFromFullCommandLine(commandLine);
  if (environment != nullptr && !environment->empty()) child.SetEnvironmentVariables(*environment);
  if (defaultDirectory != nullptr) child.SetDefaultDirectory(*defaultDirectory);
  const bool dontWait = (options & kDontWait) != 0;
  if (dontWait) child.SetWaitClosingChildProcess(0);
  child.SetQuoteArgumentsIfNeeded(quoteArgumentsIfNeeded);
  if (extraArguments != nullptr) {
    for (const VString& argument : *extraArguments) child.AddArgument(argument);
  }
  if (killProcessTree) child.EnableProcessTreeKill();

  int32 error = child.Start();
  if (error == 0) {
    if (standardInput != nullptr && standardInput->GetDataSize() > 0) {
      child.WriteToChild(standardInput->GetDataPtr(), uint32(standardInput->GetDataSize()), false);
    }
    child.CloseStandardInput();

    if (!dontWait && (standardOutput != nullptr || standardError != nullptr)) {
      char chunk[kReadChunk];
      bool outputOpen = true;
      bool errorOpen = true;
      while (outputOpen || errorOpen) {
        int32 outputRead = 0;
        int32 errorRead = 0;
        if (outputOpen) {
          outputRead = child.ReadFromChild(chunk, kReadChunk);
          outputOpen = outputRead >= 0;
          Collect(standardOutput, chunk, outputRead);
        }
        if (errorOpen) {
          errorRead = child.ReadErrorFromChild(chunk, kReadChunk);
          errorOpen = errorRead >= 0;
          Collect(standardError, chunk, errorRead);
        }
        // Nothing yet: a thread of its own sleeps until the pipes have
        // something; a fiber only yields, so that the others go on.
        if (outputRead == 0 && errorRead == 0 && (outputOpen || errorOpen)) {
          VTask* task = VTask::GetCurrent();
          if (task == nullptr || !task->IsFiber()) child.WaitForData();
        }
      }
    }
    if (launcher == nullptr) {
      error = child.Shutdown(false, killProcessTree);
      if (error == 0 && exitStatus != nullptr) *exitStatus = child.GetExitStatus();
    } else if (exitStatus != nullptr) {
      *exitStatus = child.GetExitStatus();
    }
  }
  if (launcher != nullptr) *launcher = owned.release();
  return error;
}

}  // namespace zeft
