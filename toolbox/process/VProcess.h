// VProcess is the application object: exactly one per process, alive from
// the entry point to the end. It starts the toolbox's managers in a fixed
// order (Init) and stops them in the reverse order when it goes, runs the
// application's body on the main task (Run), owns the process's
// international settings and logger, reads the product name and version of
// the main bundle, and keeps the activity tokens of the tasks at work.
// Toolbox code that needs the application asks for VProcess::sInstance,
// which is null before Init and after the object is gone (errors are not
// recorded then).
#pragma once

#include <atomic>
#include <set>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "files/VFilePath.h"
#include "process/SystemVersion.h"
#include "runtime/EMessageLevel.h"
#include "runtime/IMessageable.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

class ILocalizer;
class ILogger;
class VActivityToken;
class VFile;
class VFileSystemNamespace;
class VFolder;
class VIntlMgr;
class VJSONClassStore;
class VJSONObject;
class VResourceFile;

class VProcess : public VObject, public virtual IMessageable {
 public:
  // Init flags.
  static constexpr uint32 kInitMainTaskIsFiber = 2;
  static constexpr uint32 kInitCreateLogger = 16;
  static constexpr uint32 kInitCreateFileSystemNotifier = 64;

  // Makes the process's file-system namespace. The object becomes the
  // process's instance only in Init, right after the system version check.
  VProcess();
  VProcess(const VProcess&) = delete;
  VProcess& operator=(const VProcess&) = delete;
  // Stops being the instance and takes the managers down (when Init ran).
  ~VProcess() override;

  static VProcess* Get() { return sInstance; }

  static VProcess* sInstance;

  // ---- Start-up, run and quit ----
  // The first call starts the managers and keeps the result; every later
  // call returns that result and does nothing.
  virtual bool Init(uint32 flags);
  // On the main task while it runs: Init(80) when nobody called Init,
  // then DoRun and DoQuit with messaging on, then the main task is marked
  // dying. After a failed Init: toolbox error 4 "VApplication::DoInit
  // failed" on the task, and nothing runs.
  void Run();
  // Marks the main task dying and wakes its queue; the text is not used.
  virtual void QuitAsynchronously(const VString* reason);
  // True while the main task exists and is not dying.
  static bool IsRunning();
  bool IsInitialized() const { return fInitialized; }
  bool IsMainTaskFiber() const { return fMainTaskIsFiber; }

  // ---- Product ----
  // The main bundle's CFBundleShortVersionString split at "build ": with
  // "12.3 build 12.4567" the build number is "12.4567", the change list
  // 4567, the short version "12.3" and the main version "12".
  void GetBuildNumber(VString& out) const;
  int32 GetChangeListNumber() const;
  void GetShortProductVersion(VString& out) const;
  void GetMainProductVersion(VString& out) const;
  const VString& GetProductName() const { return fProductName; }
  const VString& GetProductVersion() const { return fProductVersion; }
  const VString& GetProductFolderName() const { return fProductFolderName; }
  // The main bundle's executable; an empty path when it has none.
  VFilePath GetExecutableFilePath() const;
  VFilePath GetExecutableFolderPath() const;
  VFile* RetainExecutableFile() const;

  // ---- Folders and files of the application ----
  // Folder kinds of RetainFolder.
  static constexpr uint32 kFolderExecutable = FourCC("EXEC");
  static constexpr uint32 kFolderInfoPlist = FourCC("PLST");
  static constexpr uint32 kFolderBundle = FourCC("BNDL");
  static constexpr uint32 kFolderResources = FourCC("RSRC");
  static constexpr uint32 kFolderNativeComponents = FourCC("NCMP");
  static constexpr uint32 kFolderJSONSchemas = FourCC("JSNs");
  static constexpr uint32 kFolderDTDs = FourCC("DTDs");
  static constexpr uint32 kFolderXSDs = FourCC("XSDs");
  static constexpr uint32 kFolderXSLs = FourCC("XSLs");
  // A folder of the application, retained, whether it exists or not; null
  // for an unknown kind. The executable's folder, its parent (holding
  // Info.plist), the bundle, and sub-folders of the parent: "Resources",
  // "Native Components"; of the resources folder: "JSONSchemas", "DTD",
  // "XSD", "XSL".
  virtual VFolder* RetainFolder(uint32 kind) const;
  // The file at the relative POSIX path in the folder of `kind`, else at
  // the relative native path in the folder of `fallbackKind` (0: none);
  // retained, null when neither exists.
  VFile* RetainFile(uint32 kind, const VString& name, uint32 fallbackKind) const;
  // The product's folder (named like the product) inside a system folder,
  // made when asked; a folder that cannot be made in a user's folder is
  // made in the matching support folder instead.
  VFolder* RetainProductSystemFolder(int32 kind, bool create) const;
  // The resource file, retained; null unless the application set one.
  virtual VResourceFile* RetainResourceFile();
  void SetResourceFile(VResourceFile* file);

  // ---- Activity tokens ----
  // True while a token is alive, or for `milliseconds` after the last one
  // went.
  bool HasSomeActivityTokens(uint32 milliseconds);
  void RegisterActivityToken(VActivityToken* token);
  void UnregisterActivityToken(VActivityToken* token);

  // ---- Processes ----
  static int32 GetSystemID();
  // True when a process of that id exists (also one we may not signal);
  // false for ids of 0 and below, which name process groups, not a process.
  static bool IsProcessRunning(int32 pid);

  // The localizer through which LocalizeString looks keys up; set by the
  // application, not owned. Null until then.
  ILocalizer* GetLocalizer() const { return fLocalizer; }
  void SetLocalizer(ILocalizer* localizer) { fLocalizer = localizer; }

  // ---- Named file systems and JSON classes ----
  // The process's file-system namespace (lent): after Init it holds
  // ".USER_HOME_DIRECTORY" (the user's documents, hidden from look-ups
  // that skip hidden ones), ".PRODUCT_RESOURCES" (the resources folder)
  // and those that the resources' "fileSystems.json" defines.
  VFileSystemNamespace* GetFileSystemNamespace() const { return fFileSystemNamespace; }
  // The process's JSON class store (lent); null before Init made it, or
  // before anyone else did.
  VJSONClassStore* GetClassStore() const;
  // The class object named `className` (retained) when the class store is
  // named `storeName` exactly; else null.
  virtual VJSONObject* GetClassObject(const VString& storeName, const VString& className) const;

  // ---- Process logger and log source ----
  // The process logger, lent; null when the process has none.
  ILogger* GetLogger() const { return fLogger.load(std::memory_order_acquire); }
  // The process logger when it accepts the level, else null.
  ILogger* GetLogger(EMessageLevel level) const;
  // Installs the process logger (retained; null removes it) and releases
  // the previous one. Start-up installs it before other tasks log; a
  // logger may only be replaced while no other task can be logging.
  void SetLogger(ILogger* logger);
  // The source of records that name none: the product name.
  virtual VString GetLogSourceIdentifier() const;

 protected:
  virtual void DoRun() {}
  virtual void DoQuit() {}
  // True when the system is at least `version`; otherwise shows the
  // "Initialization failed" alert and answers false.
  virtual bool DoCheckSystemVersion(SystemVersion version);

  bool _Init_CheckSystemVersion();
  // Registers the user's documents and the resources folder as named file
  // systems, then those of the resources' "fileSystems.json"; false on the
  // first error (left on the task's error stack).
  bool _Init_FileSystems();
  // Fails, with an alert, when the resources folder exists under its name
  // and not under the name with the first letter's case swapped, or the
  // reverse. Not part of start-up on Linux, where file systems are
  // case-sensitive and the toolbox compares paths exactly.
  bool _CheckCaseInsensitiveInstallFolder();
  static void _DisplayStartupAlert(const VString& title, const VString& message);

 private:
  bool _Init(uint32 flags);
  void _DeInit();

  VCriticalSection fActivityLock;
  std::set<VActivityToken*> fActivityTokens;
  uint32 fLastActivityTime;
  VResourceFile* fResourceFile = nullptr;
  bool fInitialized = false;
  bool fInitResult = false;
  bool fMainTaskIsFiber = false;
  VIntlMgr* fIntlMgr = nullptr;
  ILocalizer* fLocalizer = nullptr;
  VFileSystemNamespace* fFileSystemNamespace;
  // Init made the process's class store, which the destructor releases.
  bool fMadeClassStore = false;

  // The bundle's Info.plist string, empty when the key is missing.
  static VString _ReadBundleString(const char* key);

  std::atomic<ILogger*> fLogger{nullptr};
  VString fProductName{_ReadBundleString("CFBundleName")};
  VString fProductVersion{_ReadBundleString("CFBundleShortVersionString")};
  VString fProductFolderName{fProductName};
  // ---- end of process logger and log source ----
};

}  // namespace zeft
