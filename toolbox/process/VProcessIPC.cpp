#include "process/VProcessIPC.h"

#include <cstring>
#include <vector>

#include "process/VCommandLineParser.h"
#include "process/VFileSystemNotifier.h"
#include "process/VSleepNotifier.h"
#include "process/mac/XPosixProcessIPC.h"
#include "runtime/VTask.h"

namespace zeft {

int32 sProcessCommandLineArgc = 0;
char** sProcessCommandLineArgv = nullptr;

VProcessIPC* VProcessIPC::sInstance = nullptr;

VProcessIPC::VProcessIPC() { sInstance = this; }

VProcessIPC::~VProcessIPC() {
  delete fFileSystemNotifier;
  fFileSystemNotifier = nullptr;
  delete fSleepNotifier;
  fSleepNotifier = nullptr;
  delete fSignals;
  fSignals = nullptr;
  if (sInstance == this) sInstance = nullptr;
}

bool VProcessIPC::Init(uint32 flags) {
  if (fIPCInitialized) return fIPCInitResult;
  if (!VProcess::Init(flags)) {
    fExitCode = 1;
    return false;
  }
  fIPCInitialized = true;

  {
    std::vector<VString> arguments;
    arguments.reserve(size_t(sProcessCommandLineArgc > 0 ? sProcessCommandLineArgc : 0));
    const VString serialMark("-psn_");
    for (int32 i = 0; i < sProcessCommandLineArgc && sProcessCommandLineArgv != nullptr; ++i) {
      const char* bytes = sProcessCommandLineArgv[i];
      if (bytes == nullptr) break;
      VString argument;
      argument.FromBlock(bytes, std::strlen(bytes), kCharSetUTF8);
      // The process serial number the system's launcher may add.
      if (argument.BeginsWithRawString(serialMark)) continue;
      arguments.push_back(argument);
    }
    VCommandLineParser parser(arguments);
    const uint32 result = DoParseCommandLine(parser);
    fExitCode =
        result == VCommandLineParser::kContinue || result == VCommandLineParser::kHelpShown ? 0 : 1;
    fIPCInitResult = result == VCommandLineParser::kContinue;
  }
  if (!fIPCInitResult) return false;

  fSignals = new XPosixProcessIPC;
  fIPCInitResult = XPosixProcessIPC::Init();
  if (fIPCInitResult) {
    if ((flags & kInitCreateFileSystemNotifier) != 0) fFileSystemNotifier = new VFileSystemNotifier;
    fSleepNotifier = new VSleepNotifier;
    fSleepNotifier->Init();
    return true;
  }
  fExitCode = 1;
  return false;
}

void VProcessIPC::DoRun() {
  while (IsRunning()) VTask::ExecuteMessagesWithTimeout(100, true);
}

uint32 VProcessIPC::DoParseCommandLine(VCommandLineParser&) {
  return VCommandLineParser::kContinue;
}

}  // namespace zeft
