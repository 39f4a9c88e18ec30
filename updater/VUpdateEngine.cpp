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
#include "UpdaterLog.h"
#include "core/LocalizeString.h"
#include "core/VMemoryBuffer.h"
#include "files/VFile.h"
#include "files/VFileError.h"
#include "files/VFolder.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "platform/DirectoryWalk.h"
#include "platform/FolderSwap.h"
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
// The tag of the names the outdated bundle is set aside under.
constexpr const char* kAsideTag = "old";

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

VString ToVString(const std::string& text) {
  return VString(text.data(), text.size(), kCharSetUTF8);
}

VFilePath FolderPathOf(const std::string& posix) {
  VFilePath path;
  path.FromFullPath(ToVString(posix + "/"), kFilePathStylePosix);
  return path;
}

// Failures no retry mends: waiting for them to pass only delays the report.
bool IsLastingFailure(int error) {
  return error == ENAMETOOLONG || error == EROFS || error == EPERM || error == EACCES ||
         error == ENOSPC;
}

// One attempt at putting the complete copy `staged` in the place of
// `installed` and the installed bundle under `aside`: 0, or the errno of the
// step that failed with everything back where it was.
int SwapOnce(const std::string& installed, const std::string& staged, const std::string& aside) {
  int error = platform::ExchangeFolders(staged, installed);
  if (error == 0) {
    // The staging name now holds the old bundle.
    error = platform::RenameUnlessTaken(AT_FDCWD, staged, AT_FDCWD, aside);
    if (error != 0) platform::ExchangeFolders(staged, installed);
    return error;
  }
  if (!platform::IsExchangeRefused(error)) return error;
  // A file system that cannot exchange names: two renames, between which
  // the installed path is empty.
  if (error = platform::RenameUnlessTaken(AT_FDCWD, installed, AT_FDCWD, aside); error != 0)
    return error;
  error = platform::RenameUnlessTaken(AT_FDCWD, staged, AT_FDCWD, installed);
  if (error != 0) {
    // Put back before anything that may throw, such as a log line.
    ::rename(aside.c_str(), installed.c_str());
    LogInfo("Rolling back up-to-date application install");
  }
  return error;
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

  _RecoverFromInterruptedUpdate();
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

void VUpdateEngine::_RecoverFromInterruptedUpdate() {
  const std::string installed = PosixText(fInstalledAppPath);
  std::string folderText;
  std::string name;
  if (platform::SplitItemPath(installed, folderText, name) != 0) return;
  platform::FileDescriptor folder(::open(folderText.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  std::vector<platform::DirectoryEntry> entries;
  if (!folder.IsOpen() || platform::ReadDirectory(folder.Get(), entries) != 0) return;

  struct stat info;
  if (::lstat(installed.c_str(), &info) != 0 && errno == ENOENT) {
    // The newest aside bundle left is the last one moved.
    VString full;
    fInstalledAppPath.GetFolderName(full, true);
    const std::string bundleName = to_string(full);
    std::string newest;
    struct timespec newestTime = {};
    for (const platform::DirectoryEntry& entry : entries) {
      const std::string& candidate = entry.fName;
      if (!IsAsideName(candidate, bundleName, kAsideTag)) continue;
      if (::fstatat(folder.Get(), candidate.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
          !S_ISDIR(info.st_mode))
        continue;
      const struct timespec& moved = info.st_ctim;
      const bool later =
          newest.empty() || moved.tv_sec > newestTime.tv_sec ||
          (moved.tv_sec == newestTime.tv_sec && moved.tv_nsec > newestTime.tv_nsec) ||
          (moved.tv_sec == newestTime.tv_sec && moved.tv_nsec == newestTime.tv_nsec &&
           candidate > newest);
      if (later) {
        newest = candidate;
        newestTime = moved;
      }
    }
    if (!newest.empty()) {
      const VString from = ToVString(platform::JoinPath(folderText, newest));
      const VString to = ToVString(installed);
      const int error = platform::RenameUnlessTaken(folder.Get(), newest, folder.Get(), name);
      if (error == 0) {
        LogInfo(
            "Put the application set aside by an interrupted update back in place: '%S' to "
            "'%S'",
            &from, &to);
      } else {
        const VString reason(std::strerror(error));
        LogError(
            "The application set aside by an interrupted update could not be put back in "
            "place: '%S' to '%S' (%S)",
            &from, &to, &reason);
      }
    }
  }

  for (const platform::DirectoryEntry& entry : entries) {
    if (!platform::IsTemporaryItemNameOf(entry.fName, name)) continue;
    if (::fstatat(folder.Get(), entry.fName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(info.st_mode))
      continue;
    const std::string partial = platform::JoinPath(folderText, entry.fName);
    const VString partialText = ToVString(partial);
    StErrorContextInstaller removal(false, true);
    if (VFolder(FolderPathOf(partial)).DeleteForced() == VE_OK) {
      LogInfo("Removed the partial copy left by an interrupted update: '%S'", &partialText);
    } else {
      LogError("The partial copy left by an interrupted update could not be removed: '%S'",
               &partialText);
    }
  }
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
  const VString suffix(kAsideTag);
  _ComputeTempFolderPath(outdated.GetPath(), asidePath, &suffix);

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
  std::string folderText;
  std::string name;
  platform::SplitItemPath(installedText, folderText, name);
  const std::string stagingText = platform::JoinPath(folderText, platform::TemporaryItemName(name));
  const VFilePath stagingPath = FolderPathOf(stagingText);
  VFolder staging(stagingPath);
  VFilePath staged(stagingPath);
  staged.ToSubFolder(ToVString(name));

  bool copied = staging.Create() == VE_OK &&
                upToDate.CopyTo(staging, ToVString(name), nullptr, kFolderCopyReplace) == VE_OK;
  if (copied) {
    if (const int error = platform::SyncFileSystemOf(stagingText); error != 0) {
      VFileError::ThrowNative(staged, PosixError(error), toolbox_error::kFolderCannotCopy);
      copied = false;
    }
  }
  if (!copied) {
    VErrorBase* error = CreateUpdaterError(UpdaterError(kCopyIntoPlaceFailed));
    error->GetBag()->SetString(StPackedDictionaryKey("from"), upToDate.GetPath().GetPath());
    error->GetBag()->SetString(StPackedDictionaryKey("to"), installed.GetPath().GetPath());
    _PushRetainedError(error);
    LogInfo("Rolling back up-to-date application install");
    if (staging.Exists()) staging.DeleteForced();
    return nullptr;
  }

  VFolder* aside = _RenameAside(outdated, asidePath, staged);
  if (aside == nullptr) {
    staging.DeleteForced();
    return nullptr;
  }
  ::rmdir(stagingText.c_str());
  // The swap itself on disk before the old bundle leaves for the Trash.
  platform::SyncFolder(folderText);
  return aside;
}

VFolder* VUpdateEngine::_RenameAside(const VFolder& outdated, const VFilePath& aside,
                                     const VFilePath& staged) {
  VString asideName;
  aside.GetFolderName(asideName, true);
  const std::string installedText = PosixText(outdated.GetPath());
  const std::string stagedText = PosixText(staged);
  const std::string asideText = PosixText(aside);
  // Each attempt runs in its own context: a swap that succeeds on a retry
  // leaves nothing behind, and only a final failure reports every attempt.
  VErrorContext attempts;
  for (int32 attempt = 1; attempt <= kRenameAttempts; ++attempt) {
    StErrorContextInstaller errors(false, true);
    const int failure = SwapOnce(installedText, stagedText, asideText);
    if (failure == 0) return new VFolder(aside);
    VFileError::ThrowNative(outdated.GetPath(), PosixError(failure),
                            toolbox_error::kFolderCannotRename, [&asideName](VValueBag& bag) {
                              bag.SetString(StPackedDictionaryKey("newname"), asideName);
                            });
    attempts.PushErrors(*errors.GetContext());
    if (attempt > 1) {
      VErrorBase* retry = CreateUpdaterError(UpdaterError(updater_error::kRenameAsideFailed));
      retry->GetBag()->SetString(StPackedDictionaryKey("srcPath"), outdated.GetPath().GetPath());
      retry->GetBag()->SetString(StPackedDictionaryKey("dstPath"), aside.GetPath());
      attempts.PushError(retry);
      retry->Release();
    }
    if (IsLastingFailure(failure)) break;
    if (attempt < kRenameAttempts) VTask::Sleep(kRenameRetryDelay);
  }
  VTask::PushErrors(&attempts);
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
    if (!VFolder(result).Exists()) return true;
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
