// VUpdateEngine is the updater application: it reads the command line,
// opens the update log, waits for the calling application to quit, swaps
// its bundle for the up-to-date one (moving the old one back when anything
// fails), relaunches it and reports the outcome through the exit code, the
// log and, on failure, an alert.
#pragma once

#include "core/IRefCountable.h"
#include "files/VFilePath.h"
#include "process/VProcessIPC.h"

namespace zeft {

class VLocalizationManager;
class VErrorBase;
class VErrorContext;
class VFolder;
class VJSONObject;
class VLog4jMsgFileLogger;
class StagingFolder;

namespace platform {
class ItemNameLock;
}

class VUpdateEngine : public VProcessIPC {
 public:
  VUpdateEngine();
  ~VUpdateEngine() override;

  bool Init(uint32 flags) override;

  // Writes every error of the context into the log, newest first or oldest
  // first; nothing for a null or empty context.
  static void DumpErrorStack(const VErrorContext* context, bool newestFirst);

 protected:
  void DoRun() override;
  void DoQuit() override;
  uint32 DoParseCommandLine(VCommandLineParser& parser) override;

 private:
  // Loads the bundle's localization for the user's language and makes it the
  // text source of the alert, the type descriptions and the error components
  // the updater reports.
  void _InitLocalizationManager();

  // The update log: false when none was asked for or it could not start.
  bool _InitLog();
  void _DeInitLog();
  static void _LogError(const VRefPtr<VErrorBase>& error);
  // The failure alert, offering to open the log file.
  void _ShowFailureAlert(const VErrorContext& context) const;

  void _ApplyUpdate();
  // Takes the installed bundle's lock, which keeps any other run of the
  // updater off this bundle; false, with an error, when another run holds
  // it or it cannot be taken. A run in a folder it cannot change goes on
  // without it.
  bool _LockInstalledBundle(platform::ItemNameLock& lock);
  // Undoes what an interrupted run left, under the lock: puts back the
  // installed bundle that a run's swap record shows it moved, and removes
  // the hidden copies made beside it. False, with an error saying where the
  // bundles are, when the installed bundle could not be put back.
  bool _RecoverFromInterruptedUpdate();
  // Whether the up-to-date bundle is a whole application: its Info.plist
  // reads and names an executable of Contents/MacOS. Else an error.
  bool _CheckUpToDateBundle();
  bool _WaitForPidToQuit();
  // The outdated bundle under its aside name (the caller releases it), or
  // null when the swap failed and was rolled back.
  VFolder* _SwapApplications(VFolder& outdated, VFolder& upToDate, VFolder& installed);
  // Puts the complete copy that `staging` holds in the outdated bundle's
  // place and the outdated bundle under `aside` (the next free aside name
  // when that one is taken), retrying while the failure may pass. The
  // attempts' errors stay only when every attempt failed, and then nothing
  // moved, unless putting a failed move back failed too: then
  // `stoppedHalfway` is set and an error says where the bundles are.
  VFolder* _RenameAside(const VFolder& outdated, VFilePath& aside, StagingFolder& staging,
                        bool& stoppedHalfway);
  // The first numbered aside name of `source` that nothing at all takes (a
  // file or a link counts); false when every number is taken.
  static bool _ComputeTempFolderPath(const VFilePath& source, VFilePath& result,
                                     const VString* suffix);
  bool _LaunchApplication(const VFilePath& installed) const;
  // Moves the old bundle to the Trash, or deletes it when that fails.
  static void _DisposeOfOldApplication(const VFolder& old);
  void _LogProgressToCaller(const char* step, int32 value);

  bool _FinishClientCustomization();
  bool _SetIPAdressOnClientPref(const VJSONObject& customization, const VFilePath& bundle);
  bool _FinishMacClientCustomization(const VJSONObject& customization);

  VFilePath fLogFolderPath;
  VFilePath fClientInfoPath;
  VFilePath fOutdatedAppPath;
  VFilePath fUpToDateAppPath;
  VFilePath fInstalledAppPath;
  VLog4jMsgFileLogger* fFileLogger = nullptr;
  VLocalizationManager* fLocalizationManager = nullptr;
  int32 fPid = -1;
  bool fReportProgressToCaller = false;
  bool fSilent = false;
  VFilePath fRestartParamsPath;
  bool fRestartHeadless = false;
};

}  // namespace zeft
