#include "VUpdateEngine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "AsideName.h"
#include "StagingFolder.h"
#include "UpdaterLog.h"
#include "core/LocalizeString.h"
#include "core/VMemoryBuffer.h"
#include "files/VFile.h"
#include "files/VFileError.h"
#include "files/VFolder.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "platform/DirectoryWalk.h"
#include "platform/ItemNameLock.h"
#include "platform/MainBundle.h"
#include "process/ENotificationResponse.h"
#include "process/VCommandLineParser.h"
#include "process/VComponentManager.h"
#include "process/VProcessLauncher.h"
#include "process/VSystem.h"
#include "runtime/ILogger.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VLog4jMsgFileLogger.h"
#include "runtime/VTask.h"
#include "values/VTime.h"
#include "values/VValueBag.h"
#include "xml/ILocalizer.h"
#include "xml/VLocalizationManager.h"
#include "xml/VUTIManager.h"
#include "xml/VValueBagXMLIO.h"

namespace zeft {

namespace {

constexpr int32 kRenameAttempts = 5;
constexpr uint32 kRenameRetryDelay = 3000;
constexpr uint64 kMaximumWait = 60000;

// A path typed relative to the current folder, made absolute.
VString AbsolutePosixPath(const VString& text) {
  const std::string absolute = platform::AbsolutePath(to_string(text));
  return VString(absolute.data(), absolute.size(), kCharSetUTF8);
}

// The empty text stands for a path not given.
void FixFolderPathSpec(const VString& text, FilePathStyle style, VFilePath& path) {
  if (text.IsEmpty()) {
    path.Clear();
    return;
  }
  VString folder = AbsolutePosixPath(text);
  if (folder.GetUniChar(folder.GetLength()) != u'/') folder.AppendUniChar(u'/');
  path.FromFullPath(folder, style);
}

// Appends the text as one double-quoted argument of a command line, its
// quotes and backslashes escaped so that no path can end it early.
void AppendQuoted(VString& command, const VString& argument) {
  command.AppendUniChar(u'"');
  for (int32 i = 1; i <= argument.GetLength(); ++i) {
    const UniChar c = argument.GetUniChar(i);
    if (c == u'"' || c == u'\\') command.AppendUniChar(u'\\');
    command.AppendUniChar(c);
  }
  command.AppendUniChar(u'"');
}

// The path as a person and the system read it, without a trailing slash.
std::string PosixText(const VFilePath& path) {
  VString posix;
  path.GetPosixPath(posix);
  return platform::WithoutTrailingSlashes(to_string(posix));
}

// Failures no retry mends: waiting for them to pass only delays the report.
// EEXIST comes back only once every aside name is taken.
bool IsLastingFailure(int error) {
  return error == ENAMETOOLONG || error == EROFS || error == EPERM || error == EACCES ||
         error == ENOSPC || error == EEXIST;
}

VString NowText() {
  VTime now;
  VTime::Now(now);
  VString date;
  VString time;
  now.FormatByOS(date, time, false);
  return date + VString(" - ") + time;
}

}  // namespace

// The error components whose texts come from the updater's localization.
constexpr uint32 kLocalizedComponents[] = {kComponentToolbox, FourCC("xmlc"), FourCC("PW32"),
                                           kComponentUpdater};

VUpdateEngine::VUpdateEngine() = default;

VUpdateEngine::~VUpdateEngine() {
  VLocalizationManager* manager = fLocalizationManager;
  fLocalizationManager = nullptr;
  if (manager == nullptr) return;
  // Nothing may keep asking a manager that is gone.
  for (uint32 component : kLocalizedComponents) VErrorBase::UnregisterLocalizer(component);
  if (GetLocalizer() == manager) SetLocalizer(nullptr);
  if (VUTIManager* types = VUTIManager::GetUTIManager()) types->SetLocalizationManager(nullptr);
  manager->Release();
}

bool VUpdateEngine::Init(uint32 flags) {
  if (!VProcessIPC::Init(flags)) return false;
  // The frame's Run asks Init again; the localization is made once.
  if (fLocalizationManager == nullptr) _InitLocalizationManager();
  return true;
}

void VUpdateEngine::_InitLocalizationManager() {
  VRefPtr<VFolder> bundle(RetainFolder(kFolderBundle), kAdoptRef);
  fLocalizationManager =
      new VLocalizationManager(VComponentManager::GetLocalizationLanguage(bundle.Get(), true, 0));
  fLocalizationManager->LoadDefaultLocalizationFoldersForComponentOrPlugin(bundle.Get());
  SetLocalizer(fLocalizationManager);
  if (VUTIManager* types = VUTIManager::GetUTIManager()) {
    types->SetLocalizationManager(fLocalizationManager);
  }
  for (uint32 component : kLocalizedComponents) {
    VErrorBase::RegisterLocalizer(component, fLocalizationManager);
  }
}

uint32 VUpdateEngine::DoParseCommandLine(VCommandLineParser& parser) {
  VString installPath;
  VString restartParams;
  VString callerLog;
  VString logFolder;
  VString clientInfo;
  VString outdated;
  VString upToDate;
  std::vector<VString> positional;
  bool version = false;

  // The help and error texts below ("tored", "two many", "Restart params"
  // included) are kept word for word: callers and their users match them.
  parser.AddParagraph(
      "\nNovu Updater\n\t\tUpdates an existing Novu application residing at <path of app to "
      "update> using \t\tnewer versions tored <path of update>\n\n");
  fPid = -1;
  parser.AddOption(0, "pid", "Wait for the caller's pid", &fPid, true);
  fSilent = false;
  parser.AddOption(0, "silent",
                   "ensure that no message is displayed in case of error. Errors are still logged "
                   "though",
                   &fSilent, false);
  parser.AddOption(
      0, "install-path",
      "indicates where the updated app should be installed instead of <path of app to update>.",
      &installPath, true);
  parser.AddOption(0, "restart-params",
                   "indicates the full path to the RoriDevu \t\tfile that will be passed back to "
                   "the restarted application. This does not \t\tapply if the application is "
                   "started as a service",
                   &restartParams, true);
  parser.AddOption(0, "caller-log", "Restart params", &callerLog, true);
  parser.AddOption(0, "log-dir",
                   "specifies a folder for the updater where log file should be written",
                   &logFolder, true);
  parser.AddOption(0, "client-info",
                   "path of the client customization file. Using this \t\toption IMPLIES that "
                   "application is a Novu-based client, which incurs special processing.",
                   &clientInfo, true);
  parser.AddOption(0, "outdated-app", "Outdated application bundle path", &outdated, true);
  parser.AddOption(0, "uptodate-app", "Up-to-date application bundle path", &upToDate, true);
  parser.AddPositionalArguments(&positional);
  fRestartHeadless = false;
  parser.AddOption(0, "restart-headless", "Restart the application in headless mode.",
                   &fRestartHeadless, false);
  parser.AddParagraph("\nHelp:\n");
  parser.AddOption(0, "version", "Print the version and exits", &version, false);

  const uint32 parsed = parser.Parse();
  if (parsed != VCommandLineParser::kContinue) return parsed;

  if (version) {
    VCommandLineParser::Print(GetProductVersion());
    return VCommandLineParser::kHelpShown;
  }

  const VString outdatedMismatch("mismatched value for option --outdated-app\n");
  const VString upToDateMismatch("mismatched value for option --uptodate-app\n");
  if (positional.size() == 1) {
    VCommandLineParser::PrintArgumentError(
        "not enough arguments from the command line (required <dest> <src>)\n");
    return VCommandLineParser::kError;
  }
  if (positional.size() >= 3) {
    VCommandLineParser::PrintArgumentError("two many arguments from the command line");
    return VCommandLineParser::kError;
  }
  if (positional.size() == 2) {
    bool outdatedFailed = false;
    if (!outdated.IsEmpty()) {
      if (!outdated.EqualToString(positional[0], false)) {
        VCommandLineParser::PrintArgumentError(outdatedMismatch);
        outdatedFailed = true;
      }
    } else {
      outdated = positional[0];
    }
    if (!upToDate.IsEmpty()) {
      if (!upToDate.EqualToString(positional[1], false)) {
        VCommandLineParser::PrintArgumentError(upToDateMismatch);
        return VCommandLineParser::kError;
      }
    } else {
      upToDate = positional[1];
    }
    if (outdatedFailed) return VCommandLineParser::kError;
  }

  const bool upToDateMissing = upToDate.IsEmpty();
  if (upToDateMissing) VCommandLineParser::PrintArgumentError(upToDateMismatch);
  if (outdated.IsEmpty()) {
    VCommandLineParser::PrintArgumentError(outdatedMismatch);
    return VCommandLineParser::kError;
  }
  if (upToDateMissing) return VCommandLineParser::kError;

  FixFolderPathSpec(outdated, kFilePathStylePosix, fOutdatedAppPath);
  FixFolderPathSpec(upToDate, kFilePathStylePosix, fUpToDateAppPath);
  fInstalledAppPath.FromFilePath(fOutdatedAppPath);
  fRestartParamsPath.FromFullPath(
      restartParams.IsEmpty() ? restartParams : AbsolutePosixPath(restartParams),
      kFilePathStylePosix);
  fReportProgressToCaller = !callerLog.IsEmpty();
  FixFolderPathSpec(logFolder, kFilePathStylePosix, fLogFolderPath);
  if (!clientInfo.IsEmpty())
    fClientInfoPath.FromFullPath(AbsolutePosixPath(clientInfo), kFilePathStylePosix);
  return VCommandLineParser::kContinue;
}

bool VUpdateEngine::_InitLog() {
  if (!fLogFolderPath.IsValid() || !fLogFolderPath.IsFolder()) return false;
  VFolder folder(fLogFolderPath);
  if (!folder.Exists() && folder.CreateRecursive(false) != VE_OK) return false;

  VTime now;
  VTime::Now(now);
  int16 year, month, day, hour, minute, second, millisecond;
  now.GetLocalTime(year, month, day, hour, minute, second, millisecond);
  VString name;
  name.Printf("%04d-%02d-%02d_%02d-%02d-%02d_log", year, month, day, hour, minute, second);

  fFileLogger = new VLog4jMsgFileLogger(folder, name);
  fFileLogger->Start();
  if (!fFileLogger->IsStarted())
    _PushRetainedError(CreateUpdaterError(UpdaterError(updater_error::kLogStartFailed)));
  return fFileLogger->IsStarted();
}

void VUpdateEngine::_DeInitLog() {
  if (ILogger* logger = GetLogger()) logger->Flush();
  if (fFileLogger != nullptr) {
    fFileLogger->Stop();
    delete fFileLogger;
    fFileLogger = nullptr;
  }
}

void VUpdateEngine::DoQuit() { _DeInitLog(); }

void VUpdateEngine::DoRun() {
  StErrorContextInstaller errors(true, true);
  _InitLog();
  if (errors.GetLastError() != VE_OK) fSilent = false;

  VString start = NowText();
  LogInfo("Updater starting - %S", &start);
  if (errors.GetLastError() == VE_OK) _ApplyUpdate();

  DumpErrorStack(errors.GetContext(), true);
  VString end = NowText();
  if (errors.GetLastError() != VE_OK) {
    LogInfo("Update failed - %S", &end);
    if (!fSilent) _ShowFailureAlert(*errors.GetContext());
  } else {
    LogInfo("Update successful - %S", &end);
  }
}

void VUpdateEngine::_LogError(const VRefPtr<VErrorBase>& error) {
  VString text;
  GetErrorText(*error, text);
  LogError("%S", &text);
}

void VUpdateEngine::DumpErrorStack(const VErrorContext* context, bool newestFirst) {
  if (context == nullptr || context->IsEmpty()) return;
  const VErrorContext::ErrorList& list = context->GetErrors();
  auto dump = [](VErrorBase* error) { _LogError(VRefPtr<VErrorBase>(error)); };
  if (newestFirst) {
    for (auto it = list.rbegin(); it != list.rend(); ++it) dump(*it);
  } else {
    for (VErrorBase* error : list) dump(error);
  }
}

void VUpdateEngine::_ShowFailureAlert(const VErrorContext& context) const {
  VString message;
  if (const VErrorBase* last = context.GetLast()) GetErrorText(*last, message);

  VFilePath logFile;
  const bool hasLogFile = fFileLogger != nullptr && fFileLogger->GetLogFilePath(logFile);
  VString logPath;
  if (hasLogFile) {
    logFile.GetPosixPath(logPath);
    VString sentence =
        LocalizeString("MoreInformationsAvailableInLogFile",
                       "More information is available in the log file '{LogFilePath}'");
    if (!sentence.IsEmpty()) {
      VValueBag values;
      values.SetString(StPackedDictionaryKey("LogFilePath"), logPath);
      sentence.Format(&values, true);
      message.AppendPrintf("\r\n%S", &sentence);
    }
  }

  ENotificationResponse response = ERN_None;
  VSystem::DisplayNotification(VString(), message, EDN_Yes_No, &response);
  if (response == ERN_Yes && hasLogFile) {
    VMemoryBuffer<> output;
    VMemoryBuffer<> error;
    VString command("xdg-open ");
    AppendQuoted(command, logPath);
    VProcessLauncher::ExecuteCommandLine(command, VProcessLauncher::kDontWait, nullptr, &output,
                                         &error);
  }
}

void VUpdateEngine::_ApplyUpdate() {
  using namespace updater_error;
  StErrorContextInstaller errors(true, true);

  // Held until the old bundle is disposed of; the kernel lets go should
  // this run die first.
  platform::ItemNameLock lock;
  if (!_LockInstalledBundle(lock)) return;
  if (lock.IsLocked() && !_RecoverFromInterruptedUpdate()) {
    LogError("Up-to-date application install failed");
    return;
  }
  VFolder outdated(fOutdatedAppPath);
  VFolder upToDate(fUpToDateAppPath);
  if (!outdated.Exists())
    ThrowErrorWithPath(UpdaterError(kOutdatedBundleMissing), fOutdatedAppPath);
  if (!upToDate.Exists())
    ThrowErrorWithPath(UpdaterError(kUpToDateBundleMissing), fUpToDateAppPath);
  if (errors.GetLastError() != VE_OK) return;

  if (fClientInfoPath.IsValid() && fClientInfoPath.IsFile()) {
    _FinishClientCustomization();
    if (errors.GetLastError() != VE_OK) return;
  }
  // After the customization, which may make the executable executable.
  if (!_CheckUpToDateBundle()) return;

  if (fReportProgressToCaller) {
    _LogProgressToCaller("waitquit", -1);
    // The caller reads until end of file; descriptors 0 to 2 stay taken so
    // that no later pipe or file lands on them.
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
      for (int stream = 0; stream <= 2; ++stream) ::dup2(null, stream);
      if (null > 2) ::close(null);
    }
    fReportProgressToCaller = false;
  }

  LogInfo("Waiting for external process to quit");
  _WaitForPidToQuit();
  if (errors.GetLastError() != VE_OK) {
    LogError("External process wait failed");
    // A second wait error on top of the wait's own, kept as callers count it.
    _PushRetainedError(CreateUpdaterError(UpdaterError(kWaitTimedOut)));
    return;
  }

  LogInfo("Proceeding with up-to-date application install...");
  VFolder installed(fInstalledAppPath);
  VFolder* old = _SwapApplications(outdated, upToDate, installed);
  if (errors.GetLastError() == UpdaterError(kSwapStoppedHalfway)) {
    // Its error says where the two bundles are: no other may hide it.
    LogError("Up-to-date application install stopped halfway");
    return;
  }
  if (errors.GetLastError() != VE_OK) {
    LogError("Up-to-date application install failed");
    _PushRetainedError(CreateUpdaterError(UpdaterError(kInstallFailed)));
    if (old != nullptr) old->Release();
    return;
  }

  LogInfo("Proceeding with up-to-date application restart...");
  _LaunchApplication(fInstalledAppPath);
  if (errors.GetLastError() != VE_OK) {
    LogError("Up-to-date application restart failed");
    if (old != nullptr) old->Release();
    return;
  }

  LogInfo("Up-to-date application restarted");
  if (old != nullptr) {
    _DisposeOfOldApplication(*old);
    old->Release();
  }
}

bool VUpdateEngine::_LockInstalledBundle(platform::ItemNameLock& lock) {
  using namespace updater_error;
  const std::string installed = PosixText(fInstalledAppPath);
  const int error = lock.TryLock(installed);
  if (error == 0) return true;
  if (error == EWOULDBLOCK) {
    ThrowErrorWithPath(UpdaterError(kUpdateInProgress), fInstalledAppPath);
    return false;
  }
  std::string folder;
  std::string name;
  const bool split = platform::SplitItemPath(installed, folder, name) == 0;
  VFilePath lockPath;
  if (split) {
    lockPath.FromFullPath(
        ToVString(platform::JoinPath(folder, platform::ItemNameLock::LockFileName(name))),
        kFilePathStylePosix);
  }
  if (split && error == EEXIST) {
    ThrowErrorWithPath(UpdaterError(kLockFileInTheWay), lockPath);
    return false;
  }
  const VString reason(std::strerror(error));
  if (platform::ItemNameLock::LocksUnsupported(error)) {
    // Refusing every update there would leave the application out of date
    // for good. Without the lock, no run can tell another's hidden copy
    // from one left by a run that died: those are left alone.
    LogInfo(
        "The update goes on without its lock, which the file system does not provide (%S); "
        "nothing left by an interrupted update is undone",
        &reason);
    return true;
  }
  if (split && ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    // A folder this run cannot change (missing, read-only, not ours):
    // neither this run nor another of this user can move anything there,
    // and the update fails on its own terms.
    LogInfo("The update goes on without its lock, which its folder cannot hold (%S)", &reason);
    return true;
  }
  if (split) VFileError::ThrowNative(lockPath, PosixError(error), toolbox_error::kFileCannotCreate);
  ThrowErrorWithPath(UpdaterError(kLockFailed), fInstalledAppPath);
  return false;
}

bool VUpdateEngine::_RecoverFromInterruptedUpdate() {
  return StagingFolder::RecoverInterruptedSwaps(PosixText(fInstalledAppPath));
}

bool VUpdateEngine::_CheckUpToDateBundle() {
  const std::string bundle = PosixText(fUpToDateAppPath);
  std::string reason;
  const std::string name = platform::GetBundleExecutableName(bundle, reason);
  if (!name.empty()) {
    const std::string executable = platform::JoinPath(bundle + "/Contents/MacOS", name);
    struct stat info;
    if (::stat(executable.c_str(), &info) != 0) {
      reason = "its executable '" + executable + "' cannot be found (" + std::strerror(errno) + ")";
    } else if (!S_ISREG(info.st_mode) || (info.st_mode & 0111) == 0) {
      reason = "its executable '" + executable + "' is not an executable file";
    } else {
      return true;
    }
  } else if (reason.empty()) {
    reason = "its Info.plist names no executable (CFBundleExecutable)";
  }
  const VString because = ToVString(reason);
  LogError("The up-to-date application is not a whole application: %S", &because);
  ThrowErrorWithPath(UpdaterError(updater_error::kUpToDateBundleInvalid), fUpToDateAppPath);
  return false;
}

void VUpdateEngine::_DisposeOfOldApplication(const VFolder& old) {
  VErrorContext trashErrors;
  {
    StErrorContextInstaller trash(false, true);
    old.MoveToTrash();
    if (trash.GetLastError() == VE_OK) return;
    trashErrors.PushErrors(*trash.GetContext());
  }
  VErrorContext deleteErrors;
  {
    StErrorContextInstaller forced(false, true);
    old.DeleteForced();
    deleteErrors.PushErrors(*forced.GetContext());
  }
  if (deleteErrors.IsEmpty()) {
    // The old bundle is gone all the same: the Trash's refusal is no failure.
    for (const VErrorBase* error : trashErrors.GetErrors()) {
      VString text;
      GetErrorText(*error, text);
      Log(kMessageLevelWarning, "%S", &text);
    }
    return;
  }
  VTask::PushErrors(&trashErrors);
  VTask::PushErrors(&deleteErrors);
}

bool VUpdateEngine::_WaitForPidToQuit() {
  if (fPid < 0) {
    LogInfo("Skipping process wait (negative pid)");
    return true;
  }
  LogInfo("Waiting for process %d to quit", fPid);
  const uint64 start = VSystem::GetCurrentTime();
  uint32 elapsed = 0;
  bool seen = true;
  while (seen && elapsed < kMaximumWait) {
    std::vector<int32> pids;
    VSystem::GetProcessList(pids);
    seen = pids.empty() || std::find(pids.begin(), pids.end(), fPid) != pids.end();
    VTask::Sleep(500);
    elapsed = uint32(VSystem::GetCurrentTime() - start);
  }
  if (!seen) {
    VTask::Sleep(1000);
    LogInfo("Process %d has quit. Proceeding.", fPid);
    return true;
  }
  LogError("Process %d still exists after maximum wait time. Giving up.", fPid);
  _PushRetainedError(CreateUpdaterError(UpdaterError(updater_error::kWaitTimedOut)));
  return false;
}

VFolder* VUpdateEngine::_SwapApplications(VFolder& outdated, VFolder& upToDate,
                                          VFolder& installed) {
  using namespace updater_error;
  if (outdated.IsSameFolder(&upToDate) || upToDate.GetPath().IsChildOf(outdated.GetPath())) {
    ThrowErrorWithPath(UpdaterError(kSameOrNestedBundles), outdated.GetPath());
    return nullptr;
  }

  VFilePath asidePath;
  const VString suffix(kOutdatedAsideTag);
  _ComputeTempFolderPath(outdated.GetPath(), asidePath, &suffix);
  VString asideName;
  asidePath.GetFolderName(asideName, true);

  VRefPtr<VFolder> parent(installed.RetainParentFolder(false), kAdoptRef);
  if (parent == nullptr || (!parent->Exists() && parent->CreateRecursive(false) != VE_OK)) {
    ThrowErrorWithPath(UpdaterError(kCreateParentFailed),
                       parent != nullptr ? parent->GetPath() : installed.GetPath());
    return nullptr;
  }

  // The new bundle is copied whole, and written to disk, in a hidden
  // folder beside the installed one before anything moves: killed during
  // the copy, the update leaves the installed bundle as it was and a hidden
  // folder that the next run removes. The copy sits inside that folder
  // under its final name, so that the copy's own temporary names stay
  // inside it too.
  const std::string installedText = PosixText(installed.GetPath());
  StagingFolder staging;
  const int made = staging.Make(installedText);
  bool copied = made == 0;
  if (!copied) {
    VFileError::ThrowNative(FolderPathOf(staging.Path()), PosixError(made),
                            toolbox_error::kFolderCannotCreate);
  } else {
    VString name;
    installed.GetPath().GetFolderName(name, true);
    copied = upToDate.CopyTo(VFolder(FolderPathOf(staging.Path())), name, nullptr,
                             kFolderCopyReplace) == VE_OK;
  }
  if (copied) {
    // The record of the swap goes to disk with the copy, before anything
    // moves.
    const int error = staging.BeginSwap(to_string(asideName));
    if (error != 0) {
      VFileError::ThrowNative(FolderPathOf(staging.StagedPath()), PosixError(error),
                              toolbox_error::kFolderCannotCopy);
      copied = false;
    }
  }
  if (!copied) {
    VErrorBase* error = CreateUpdaterError(UpdaterError(kCopyIntoPlaceFailed));
    error->GetBag()->SetString(StPackedDictionaryKey("from"), upToDate.GetPath().GetPath());
    error->GetBag()->SetString(StPackedDictionaryKey("to"), installed.GetPath().GetPath());
    _PushRetainedError(error);
    LogInfo("Rolling back up-to-date application install");
    if (made == 0) staging.Remove();
    return nullptr;
  }

  bool stoppedHalfway = false;
  VFolder* aside = _RenameAside(outdated, asidePath, staging, stoppedHalfway);
  if (aside == nullptr) {
    // Halfway, the staging folder may hold the old bundle: it stays, with
    // its record, for the next run's recovery.
    if (stoppedHalfway) return nullptr;
    LogInfo("Rolling back up-to-date application install");
    staging.Remove();
    return nullptr;
  }
  staging.Finish();
  return aside;
}

VFolder* VUpdateEngine::_RenameAside(const VFolder& outdated, VFilePath& aside,
                                     StagingFolder& staging, bool& stoppedHalfway) {
  stoppedHalfway = false;
  VString asideName;
  aside.GetFolderName(asideName, true);
  std::string asideText = to_string(asideName);
  const VString suffix(kOutdatedAsideTag);
  const auto nextAside = [&outdated, &suffix](std::string& next) {
    VFilePath path;
    if (!_ComputeTempFolderPath(outdated.GetPath(), path, &suffix)) return false;
    VString name;
    path.GetFolderName(name, true);
    next = to_string(name);
    return true;
  };
  // Each attempt runs in its own context: a swap that succeeds on a retry
  // leaves nothing behind, and only a final failure reports every attempt.
  VErrorContext attempts;
  StagingFolder::SwapAttempt result;
  for (int32 attempt = 1; attempt <= kRenameAttempts; ++attempt) {
    StErrorContextInstaller errors(false, true);
    result = staging.Swap(asideText, nextAside);
    aside = outdated.GetPath();
    aside.SetFolderName(ToVString(asideText), true);
    if (result.fError == 0) return new VFolder(aside);
    VFileError::ThrowNative(outdated.GetPath(), PosixError(result.fError),
                            toolbox_error::kFolderCannotRename, [&asideText](VValueBag& bag) {
                              bag.SetString(StPackedDictionaryKey("newname"), ToVString(asideText));
                            });
    attempts.PushErrors(*errors.GetContext());
    // Neither a retry nor a rollback: either might move the wrong bundle.
    if (!result.fUndone) break;
    if (attempt > 1) {
      VErrorBase* retry = CreateUpdaterError(UpdaterError(updater_error::kRenameAsideFailed));
      retry->GetBag()->SetString(StPackedDictionaryKey("srcPath"), outdated.GetPath().GetPath());
      retry->GetBag()->SetString(StPackedDictionaryKey("dstPath"), aside.GetPath());
      attempts.PushError(retry);
      retry->Release();
    }
    if (IsLastingFailure(result.fError)) break;
    if (attempt < kRenameAttempts) VTask::Sleep(kRenameRetryDelay);
  }
  VTask::PushErrors(&attempts);
  if (!result.fUndone) {
    PushStoppedHalfway(result.fOldAt, result.fNewAt);
    stoppedHalfway = true;
  }
  return nullptr;
}

bool VUpdateEngine::_ComputeTempFolderPath(const VFilePath& source, VFilePath& result,
                                           const VString* suffix) {
  VString full;
  source.GetFolderName(full, true);
  const std::string bundleName = to_string(full);
  const std::string tag = suffix != nullptr ? to_string(*suffix) : std::string();
  for (int n = 1; n <= kMaxAsideNumber; ++n) {
    result.FromFilePath(source);
    result.SetFolderName(ToVString(MakeAsideName(bundleName, tag, n)), true);
    // Taken by anything at all, a file or a dangling link too, the name is
    // not free.
    struct stat info;
    if (::lstat(PosixText(result).c_str(), &info) != 0 && errno == ENOENT) return true;
  }
  return false;
}

bool VUpdateEngine::_LaunchApplication(const VFilePath& installed) const {
  VString command("open -a ");
  VString path;
  installed.GetPosixPath(path);
  AppendQuoted(command, path);
  if (fRestartParamsPath.IsValid() && !fRestartParamsPath.IsEmpty()) {
    command += " --args ";
    fRestartParamsPath.GetPosixPath(path);
    AppendQuoted(command, path);
    if (fRestartHeadless) command += " --headless";
  } else if (fRestartHeadless) {
    command += " --args --headless";
  }
  LogInfo("Restarting installed application (%S)...", &command);

  VMemoryBuffer<> output;
  VMemoryBuffer<> error;
  int32 exitStatus = 0;
  const int32 result =
      VProcessLauncher::ExecuteCommandLine(command, 0, nullptr, &output, &error, nullptr, nullptr,
                                           &exitStatus, nullptr, nullptr, true, false);
  if ((result != 0 || exitStatus != 0) && error.GetDataSize() > 0) {
    // What `open` itself said is the only clue to why the application did
    // not start.
    VString said(static_cast<const char*>(error.GetDataPtr()), error.GetDataSize(), kCharSetUTF8);
    while (!said.IsEmpty() && (said.GetUniChar(said.GetLength()) == u'\n' ||
                               said.GetUniChar(said.GetLength()) == u'\r'))
      said.Truncate(said.GetLength() - 1);
    LogError("The open command wrote: %S", &said);
  }
  if (result != 0) {
    LogError("Failed to restart updated application (returned error %d - exit status %d)", result,
             exitStatus);
    _PushRetainedError(CreateUpdaterError(UpdaterError(updater_error::kRelaunchFailed)));
    return false;
  }
  LogInfo("Updated application restarted, returned %d", exitStatus);
  return true;
}

void VUpdateEngine::_LogProgressToCaller(const char* step, int32 value) {
  if (!fReportProgressToCaller) return;
  std::fprintf(stdout, "%s,%d\n", step, value);
  std::fflush(stdout);
}

namespace {

// The connection file's root and attributes, in the order they are written.
const StPackedDictionaryKey kDatabaseShortcut("database_shortcut");
const StPackedDictionaryKey kIsRemote("is_remote");
const StPackedDictionaryKey kServerDatabaseName("server_database_name");
const StPackedDictionaryKey kServerPath("server_path");
const StPackedDictionaryKey kCacheFolderName("cache_folder_name");
const StPackedDictionaryKey kRemoteSharedResources("remote_shared_resources");

// The customization file's properties.
const VString BABuildServerPlatform("ServerPlatform");
const VString BABuildInfoIPAdress("BuildIPAdress");
const VString BABuildInfoIPPort("BuildIPPort");
const VString BABuildInfoPublishName("PublishName");
const VString BABuildCacheFolderNameClient("BuildCacheFolderNameClient");
const VString BARemoteSharedResources("RemoteSharedResources");

constexpr uint16 kExecuteBits = 0111;

}  // namespace

bool VUpdateEngine::_FinishClientCustomization() {
  StErrorContextInstaller errors(true, true);
  // A file that cannot be read or parsed leaves its errors and no object.
  VJSONValue customization;
  VFile file(fClientInfoPath);
  VString platform;
  if (customization.LoadFromFile(&file, false) != VE_OK || !customization.IsObject() ||
      !customization.GetObject()->GetPropertyAsString(BABuildServerPlatform, platform)) {
    _PushRetainedError(CreateUpdaterError(UpdaterError(updater_error::kBadCustomizationFile)));
    return false;
  }
  _SetIPAdressOnClientPref(*customization.GetObject(), fUpToDateAppPath);
  _FinishMacClientCustomization(*customization.GetObject());
  return errors.GetLastError() == VE_OK;
}

bool VUpdateEngine::_SetIPAdressOnClientPref(const VJSONObject& customization,
                                             const VFilePath& bundle) {
  VString serverPath;
  if (!customization.GetPropertyAsString(BABuildInfoIPAdress, serverPath)) return true;
  VString port;
  if (customization.GetPropertyAsString(BABuildInfoIPPort, port)) {
    serverPath += ":";
    serverPath += port;
  }
  VString publishName;
  if (!customization.GetPropertyAsString(BABuildInfoPublishName, publishName)) publishName.Clear();
  VString cacheFolderName;
  customization.GetPropertyAsString(BABuildCacheFolderNameClient, cacheFolderName);
  bool remoteSharedResources = false;
  customization.GetPropertyAsBool(BARemoteSharedResources, &remoteSharedResources);

  VFilePath folderPath(bundle);
  folderPath.ToSubFolder("Contents").ToSubFolder("Database");
  VFolder folder(folderPath);
  if (!folder.Exists()) folder.CreateRecursive(false);

  VValueBag connection;
  connection.SetBool(kIsRemote, true);
  connection.SetString(kServerDatabaseName, publishName);
  connection.SetString(kServerPath, serverPath);
  connection.SetString(kCacheFolderName, cacheFolderName);
  connection.SetBool(kRemoteSharedResources, remoteSharedResources);
  VFile connectionFile(folderPath, "RivivavUdevar.Roridevu", kFilePathStylePosix);
  WriteBagToFileInXML(connection, VString(kDatabaseShortcut.GetKeyText()), &connectionFile, false);
  return true;
}

bool VUpdateEngine::_FinishMacClientCustomization(const VJSONObject&) {
  StErrorContextInstaller errors(true, true);
  // The bundle's executable, as its Info.plist names it.
  VString bundlePath;
  fUpToDateAppPath.GetPosixPath(bundlePath);
  std::string error;
  const std::string name = platform::GetBundleExecutableName(to_string(bundlePath), error);
  if (name.empty()) return true;
  VFilePath executablePath(fUpToDateAppPath);
  executablePath.ToSubFolder("Contents").ToSubFolder("MacOS");
  VFile executable(executablePath, VString(name.c_str()), kFilePathStylePosix);
  uint16 mode = 0;
  if (executable.MAC_GetPermissions(&mode) == VE_OK && (mode & kExecuteBits) != kExecuteBits)
    executable.MAC_SetPermissions(mode | kExecuteBits);
  return errors.GetLastError() == VE_OK;
}

}  // namespace zeft
