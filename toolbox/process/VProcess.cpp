#include "process/VProcess.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>

#include "core/LocalizeString.h"
#include "core/StStringConverter.h"
#include "core/VIntlMgr.h"
#include "files/VFile.h"
#include "files/VFileKindManager.h"
#include "files/VFileSystem.h"
#include "files/VFileSystemNamespace.h"
#include "files/VFolder.h"
#include "files/VResourceFile.h"
#include "json/VJSONClassStore.h"
#include "platform/MainBundle.h"
#include "process/VActivityToken.h"
#include "process/VSystem.h"
#include "runtime/ILogger.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VDebugMgr.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VLogger.h"
#include "runtime/VLoggerHook.h"
#include "runtime/VProcessHook.h"
#include "runtime/VProgressManager.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "xml/ILocalizer.h"

namespace zeft {

VProcess* VProcess::sInstance = nullptr;

namespace {

constexpr const char* kInitFailedTitle = "Initialization failed";
constexpr const char* kBuildMark = "build ";

uint32 NowMilliseconds() { return uint32(VSystem::GetCurrentTime()); }

void Trim(VString& text) {
  text.RemoveWhiteSpaces(true, true, nullptr, nullptr, VTask::GetCurrentIntlManager());
}

// 1-based position of "build " (compared through the collator), 0 if none.
int32 FindBuildMark(const VString& version) { return version.Find(VString(kBuildMark), 1, false); }

// Taken by SetLogger around its swap and by the logger hook around its
// retain, so that the hook never retains a logger being released.
std::mutex sLoggerMutex;

// The hooks through which the layers below reach the application object.
// They follow VProcess::sInstance, and are installed while any application
// object exists (objects may nest, a test's inside the harness's).
std::mutex sHookMutex;
int sHookUsers = 0;

ILogger* RetainProcessLogger() {
  std::lock_guard<std::mutex> lock(sLoggerMutex);
  VProcess* process = VProcess::sInstance;
  ILogger* logger = process != nullptr ? process->GetLogger() : nullptr;
  if (logger != nullptr) logger->Retain();
  return logger;
}

bool ProcessLogSource(VString& source) {
  VProcess* process = VProcess::sInstance;
  if (process == nullptr) return false;
  source = process->GetLogSourceIdentifier();
  return true;
}

bool ProcessLocalizeString(const VString& key, VString& text) {
  VProcess* process = VProcess::sInstance;
  ILocalizer* localizer = process != nullptr ? process->GetLocalizer() : nullptr;
  return localizer != nullptr && localizer->LocalizeStringWithKey(key, text);
}

bool ProcessStarted() { return VProcess::sInstance != nullptr; }

IRefCountable* NewProcessActivityToken(const VString& name) {
  if (VProcess::sInstance == nullptr) return nullptr;
  return new VActivityToken(name);
}

void InstallHooks() {
  std::lock_guard<std::mutex> lock(sHookMutex);
  if (sHookUsers++ > 0) return;
  VLoggerHook::Install(&RetainProcessLogger, &ProcessLogSource);
  VProcessHook::Install(&ProcessStarted, &NewProcessActivityToken);
  SetLocalizeStringHook(&ProcessLocalizeString);
}

void RemoveHooks() {
  std::lock_guard<std::mutex> lock(sHookMutex);
  if (--sHookUsers > 0) return;
  SetLocalizeStringHook(nullptr);
  VProcessHook::Install(nullptr, nullptr);
  VLoggerHook::Install(nullptr, nullptr);
}

}  // namespace

VProcess::VProcess()
    : fLastActivityTime(NowMilliseconds()), fFileSystemNamespace(new VFileSystemNamespace) {
  InstallHooks();
}

VProcess::~VProcess() {
  SetResourceFile(nullptr);
  fFileSystemNamespace->Release();
  fFileSystemNamespace = nullptr;
  SetLogger(nullptr);
  if (fInitialized) _DeInit();
  if (fMadeClassStore) VJSONClassStore::DeInit();
  if (sInstance == this) sInstance = nullptr;
  RemoveHooks();
}

// ---- Start-up, run and quit ----

bool VProcess::Init(uint32 flags) {
  if (fInitialized) return fInitResult;
  fInitialized = true;
  fInitResult = _Init(flags);
  return fInitResult;
}

bool VProcess::_Init(uint32 flags) {
  const bool recentEnough = _Init_CheckSystemVersion();
  sInstance = this;
  fMainTaskIsFiber = (flags & kInitMainTaskIsFiber) != 0;
  if (!recentEnough) return false;
  if (!VIntlMgr::Init()) return false;
  fIntlMgr = VIntlMgr::Create(0, 0, 1);
  if (fIntlMgr == nullptr) return false;
  VIntlMgr::SetProcessDefault(fIntlMgr);
  if (!VFile::Init()) return false;
  if (!VFileKindManager::Init()) return false;
  if (!VResourceFile::Init()) return false;
  // No install-volume check on Linux: see _CheckCaseInsensitiveInstallFolder.
  if (!VTaskMgr::Init(this)) return false;
  if (!VErrorBase::Init()) return false;
  if (!VDebugMgr::Get().Init()) return false;
  if (!VProgressManager::Init()) return false;
  if (!_Init_FileSystems()) return false;
  // Every JSON object made from here on takes its class from this store. A
  // store made before (by a test harness) stays with its maker.
  if (VJSONClassStore::GetProcessStore() == nullptr) {
    if (!VJSONClassStore::Init(VString("novu"))) return false;
    fMadeClassStore = true;
  }
  if ((flags & kInitCreateLogger) != 0) {
    auto* logger = new VLogger;
    SetLogger(logger);
    logger->Release();
    logger->Start();
  }
  return true;
}

void VProcess::_DeInit() {
  sInstance = nullptr;
  VDebugMgr::Get().DeInit();
  VErrorBase::DeInit();
  VTaskMgr::DeInit();
  VResourceFile::DeInit();
  VFileKindManager::DeInit();
  VFile::DeInit();
  VProgressManager::Deinit();
  if (fIntlMgr != nullptr) {
    if (VIntlMgr::GetProcessDefault() == fIntlMgr) VIntlMgr::SetProcessDefault(nullptr);
    fIntlMgr->Release();
    fIntlMgr = nullptr;
  }
  if (ILogger* logger = GetLogger()) {
    logger->Stop();
    SetLogger(nullptr);
  }
  VIntlMgr::ICU_Cleanup();
}

void VProcess::Run() {
  if (!VTaskMgr::IsInited()) return;
  VTask* main = VTaskMgr::sInstance->GetMainTask();
  if (main == nullptr || VTask::GetCurrent() != main || main->GetState() != kTaskStateRunning)
    return;
  // Through the virtual Init, so that a refusal at a later stage of a
  // derived Init (a command line refused) also stops the run: a repeated
  // call only answers the kept result.
  if (!Init(kInitCreateLogger | kInitCreateFileSystemNotifier)) {
    const VString text("VApplication::DoInit failed");
    _ThrowError(ToolboxError(toolbox_error::kApplicationInitFailed), &text);
    return;
  }
  VTask::FlushErrors();
  StartMessaging();
  DoRun();
  DoQuit();
  main->Kill();
  StopMessaging();
}

void VProcess::QuitAsynchronously(const VString*) {
  if (!VTaskMgr::IsInited()) return;
  if (VTask* main = VTaskMgr::sInstance->GetMainTask()) {
    main->Kill();
    main->SetMessageQueueEvent();
  }
}

bool VProcess::IsRunning() {
  if (!VTaskMgr::IsInited()) return false;
  VTask* main = VTaskMgr::sInstance->GetMainTask();
  return main != nullptr && !main->IsDying();
}

bool VProcess::DoCheckSystemVersion(SystemVersion version) {
  if (VSystem::IsSystemVersionOrAbove(version)) return true;
  _DisplayStartupAlert(
      VString(kInitFailedTitle),
      VString(version == MAC_OSX_10_12 ? "This application needs at least OS X 10.12"
                                       : "This application needs at least OS X 10.7"));
  return false;
}

bool VProcess::_Init_CheckSystemVersion() { return DoCheckSystemVersion(MAC_OSX_10_12); }

bool VProcess::_Init_FileSystems() {
  VRefPtr<VFolder> documents(VFolder::RetainSystemFolder(kSystemFolderDocuments, false), kAdoptRef);
  if (documents != nullptr &&
      fFileSystemNamespace->RegisterFileSystem(VString(".USER_HOME_DIRECTORY"), documents.Get(),
                                               kFileSystemHidden) != VE_OK)
    return false;
  VRefPtr<VFolder> resources(RetainFolder(kFolderResources), kAdoptRef);
  if (resources == nullptr) return true;
  if (fFileSystemNamespace->RegisterFileSystem(VString(".PRODUCT_RESOURCES"), resources.Get(), 0) !=
      VE_OK)
    return false;
  VRefPtr<VFile> definition(
      new VFile(resources->GetPath(), VString("fileSystems.json"), kFilePathStyleNative),
      kAdoptRef);
  return !definition->Exists() ||
         fFileSystemNamespace->LoadFromDefinitionFile(definition.Get()) == VE_OK;
}

void VProcess::_DisplayStartupAlert(const VString& title, const VString& message) {
  // No buttons to choose from and no answer awaited.
  VSystem::DisplayNotification(title, message, 0, nullptr);
}

// ---- Product ----

void VProcess::GetBuildNumber(VString& out) const {
  out.Clear();
  const int32 mark = FindBuildMark(fProductVersion);
  if (mark == 0) return;
  out = fProductVersion.After(mark + int32(std::char_traits<char>::length(kBuildMark)) - 1);
  Trim(out);
}

int32 VProcess::GetChangeListNumber() const {
  VString build;
  GetBuildNumber(build);
  const int32 dot = build.FindUniChar('.', build.GetLength(), true);
  if (dot == 0) return 0;
  return build.After(dot).GetLong();
}

void VProcess::GetShortProductVersion(VString& out) const {
  const int32 mark = FindBuildMark(fProductVersion);
  out = mark == 0 ? fProductVersion : fProductVersion.Before(mark);
  Trim(out);
}

void VProcess::GetMainProductVersion(VString& out) const {
  GetShortProductVersion(out);
  const int32 dot = out.FindUniChar('.');
  if (dot > 0) out = out.Before(dot);
}

VFilePath VProcess::GetExecutableFilePath() const {
  VFilePath path;
  const std::string executable = platform::GetExecutablePath();
  if (!executable.empty()) {
    VString text;
    text.FromBlock(executable.data(), executable.size(), kCharSetUTF8);
    path.FromFullPath(text, kFilePathStylePosix);
  }
  return path;
}

VFilePath VProcess::GetExecutableFolderPath() const {
  VFilePath path = GetExecutableFilePath();
  if (!path.IsEmpty()) path.ToFolder();
  return path;
}

VFile* VProcess::RetainExecutableFile() const { return new VFile(GetExecutableFilePath()); }

// ---- Folders and files of the application ----

VFolder* VProcess::RetainFolder(uint32 kind) const {
  const char* resourcesChild = nullptr;
  switch (kind) {
    case kFolderJSONSchemas:
      resourcesChild = "JSONSchemas";
      break;
    case kFolderDTDs:
      resourcesChild = "DTD";
      break;
    case kFolderXSDs:
      resourcesChild = "XSD";
      break;
    case kFolderXSLs:
      resourcesChild = "XSL";
      break;
    default:
      break;
  }
  if (resourcesChild != nullptr) {
    // Through the virtual slot: an application that moves its resources
    // moves these too.
    VRefPtr<VFolder> resources(RetainFolder(kFolderResources), kAdoptRef);
    if (resources == nullptr) return nullptr;
    VFilePath path = resources->GetPath();
    return new VFolder(path.ToSubFolder(VString(resourcesChild)));
  }
  VFilePath path = GetExecutableFolderPath();
  switch (kind) {
    case kFolderExecutable:
      break;
    case kFolderInfoPlist:
      path.ToParent();
      break;
    case kFolderBundle:
      path.ToParent().ToParent();
      break;
    case kFolderResources:
      path.ToParent().ToSubFolder(VString("Resources"));
      break;
    case kFolderNativeComponents:
      path.ToParent().ToSubFolder(VString("Native Components"));
      break;
    default:
      return nullptr;
  }
  return new VFolder(path);
}

VFile* VProcess::RetainFile(uint32 kind, const VString& name, uint32 fallbackKind) const {
  VRefPtr<VFolder> folder(RetainFolder(kind), kAdoptRef);
  if (folder != nullptr) {
    VRefPtr<VFile> file(new VFile(folder->GetPath(), name, kFilePathStylePosix), kAdoptRef);
    if (file->Exists()) return file.Forget();
  }
  if (fallbackKind == 0) return nullptr;
  VRefPtr<VFolder> fallback(RetainFolder(fallbackKind), kAdoptRef);
  if (fallback == nullptr || !fallback->Exists()) return nullptr;
  VRefPtr<VFile> file(new VFile(fallback->GetPath(), name, kFilePathStyleNative), kAdoptRef);
  return file->Exists() ? file.Forget() : nullptr;
}

VFolder* VProcess::RetainProductSystemFolder(int32 kind, bool create) const {
  if (kind < kSystemFolderDocuments || kind > kSystemFolderUserCaches ||
      kind == kSystemFolderNone || kind == kSystemFolderDesktop ||
      kind == kSystemFolderApplications)
    return VFolder::RetainSystemFolder(ESystemFolderKind(kind), create);
  VRefPtr<VFolder> system(VFolder::RetainSystemFolder(ESystemFolderKind(kind), create), kAdoptRef);
  if (system == nullptr) return nullptr;
  int32 fallback = 0;
  if (kind == kSystemFolderDocuments || kind == kSystemFolderTemporary ||
      kind == kSystemFolderSharedSupport)
    fallback = kSystemFolderUserSupport;
  if (kind == kSystemFolderSharedSupport2) fallback = kSystemFolderUserSupport2;
  if (kind == kSystemFolderSharedCaches) fallback = kSystemFolderUserCaches;
  // Aliases are symbolic links here: a link named like the product that
  // leads to a folder is used through its own path.
  VFilePath path = system->GetPath();
  VRefPtr<VFolder> product(new VFolder(path.ToSubFolder(fProductFolderName)), kAdoptRef);
  if (product->Exists()) return product.Forget();
  if (!create) return nullptr;
  if (fallback == 0) return product->CreateRecursive() == VE_OK ? product.Forget() : nullptr;
  VError error;
  {
    StErrorContextInstaller quiet(false, true);
    error = product->CreateRecursive();
  }
  if (error == VE_OK) return product.Forget();
  return RetainProductSystemFolder(fallback, true);
}

bool VProcess::_CheckCaseInsensitiveInstallFolder() {
  VRefPtr<VFolder> resources(RetainFolder(kFolderResources), kAdoptRef);
  if (resources == nullptr) return true;
  VString name;
  resources->GetPath().GetName(name);
  if (!name.IsEmpty()) {
    const UniChar first = name.GetUniChar(1);
    if (first >= 'a' && first <= 'z') name.SetUniChar(1, UniChar(first - 32));
    if (first >= 'A' && first <= 'Z') name.SetUniChar(1, UniChar(first + 32));
  }
  VFilePath swappedPath = resources->GetPath();
  swappedPath.SetName(name);
  VRefPtr<VFolder> swapped(new VFolder(swappedPath), kAdoptRef);
  if (resources->Exists() == swapped->Exists()) return true;
  _DisplayStartupAlert(VString(kInitFailedTitle),
                       VString("Please install the application on a case insensitive file "
                               "system."));
  return false;
}

VResourceFile* VProcess::RetainResourceFile() {
  if (fResourceFile != nullptr) fResourceFile->Retain();
  return fResourceFile;
}

void VProcess::SetResourceFile(VResourceFile* file) {
  if (file != nullptr) file->Retain();
  if (fResourceFile != nullptr) fResourceFile->Release();
  fResourceFile = file;
}

// ---- Activity tokens ----

bool VProcess::HasSomeActivityTokens(uint32 milliseconds) {
  StLocker<VCriticalSection> lock(fActivityLock);
  return !fActivityTokens.empty() || NowMilliseconds() - fLastActivityTime < milliseconds;
}

void VProcess::RegisterActivityToken(VActivityToken* token) {
  StLocker<VCriticalSection> lock(fActivityLock);
  fActivityTokens.insert(token);
}

void VProcess::UnregisterActivityToken(VActivityToken* token) {
  StLocker<VCriticalSection> lock(fActivityLock);
  fActivityTokens.erase(token);
  if (fActivityTokens.empty()) fLastActivityTime = NowMilliseconds();
}

// ---- Processes ----

int32 VProcess::GetSystemID() { return int32(::getpid()); }

bool VProcess::IsProcessRunning(int32 pid) {
  if (pid <= 0) return false;
  return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

// ---- Process logger and log source ----

ILogger* VProcess::GetLogger(EMessageLevel level) const {
  ILogger* logger = GetLogger();
  return logger != nullptr && logger->ShouldLog(level) ? logger : nullptr;
}

void VProcess::SetLogger(ILogger* logger) {
  if (logger != nullptr) logger->Retain();
  ILogger* previous = nullptr;
  {
    std::lock_guard<std::mutex> lock(sLoggerMutex);
    previous = fLogger.exchange(logger, std::memory_order_acq_rel);
  }
  if (previous != nullptr) previous->Release();
}

VString VProcess::GetLogSourceIdentifier() const { return fProductName; }

VString VProcess::_ReadBundleString(const char* key) {
  VString text;
  std::string value;
  if (platform::GetMainBundleInfoString(key, value))
    text.FromBlock(value.data(), value.size(), kCharSetUTF8);
  return text;
}

// ---- end of process logger and log source ----

// ---- Named file systems and JSON classes ----

VJSONClassStore* VProcess::GetClassStore() const { return VJSONClassStore::GetProcessStore(); }

VJSONObject* VProcess::GetClassObject(const VString& storeName, const VString& className) const {
  return VJSONClassStore::GetProcessClassObject(storeName, className);
}

}  // namespace zeft
