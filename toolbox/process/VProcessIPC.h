// VProcessIPC is the application object of a program without a window. On
// top of VProcess it hands the command line to the application's
// DoParseCommandLine, keeps the exit code for an initialisation that stops
// early, installs the quit signals (termination, interrupt, quit), and
// creates the notifiers. Its own DoRun is a message loop for the main task;
// a program that does its work synchronously replaces it.
#pragma once

#include "process/VProcess.h"

namespace zeft {

class VCommandLineParser;
class VFileSystemNotifier;
class VSleepNotifier;
class XPosixProcessIPC;

// The process's arguments, stored by the entry point before anything else.
extern int32 sProcessCommandLineArgc;
extern char** sProcessCommandLineArgv;

class VProcessIPC : public VProcess {
 public:
  // Becomes VProcessIPC::sInstance; the exit code starts at 1.
  VProcessIPC();
  ~VProcessIPC() override;

  static VProcessIPC* sInstance;

  // VProcess::Init, then the command line (arguments beginning "-psn_"
  // dropped), then the quit signals and the notifiers. True when the
  // program may run; the exit code is then 0. False with exit code 0 when
  // the command line only asked for the help or the version, 1 otherwise.
  bool Init(uint32 flags) override;

  int32 GetExitCode() const { return fExitCode; }
  // Null until Init created them (the file-system notifier only with flag 64).
  VFileSystemNotifier* GetFileSystemNotifier() const { return fFileSystemNotifier; }
  VSleepNotifier* GetSleepNotifier() const { return fSleepNotifier; }

 protected:
  // Executes the main task's messages, waiting up to 100 ms at a time,
  // until the main task is dying.
  void DoRun() override;
  // Registers the options, parses, reads the values: 0 go on, 1 stop after
  // an error, 2 stop after the help or the version was shown.
  virtual uint32 DoParseCommandLine(VCommandLineParser& parser);

 private:
  bool fIPCInitialized = false;
  bool fIPCInitResult = false;
  XPosixProcessIPC* fSignals = nullptr;
  VFileSystemNotifier* fFileSystemNotifier = nullptr;
  VSleepNotifier* fSleepNotifier = nullptr;
  int32 fExitCode = 1;
};

}  // namespace zeft
