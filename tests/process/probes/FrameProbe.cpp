// A program built on the application frame, one scenario per run (the first
// argument names it): the frame tests start it and read what it prints and
// its exit code, since a process holds only one application object.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/StStringConverter.h"
#include "core/VCppMemMgr.h"
#include "core/VIntlMgr.h"
#include "files/VFileKindManager.h"
#include "files/VFileSystem.h"
#include "files/VFileSystemNamespace.h"
#include "files/VFolder.h"
#include "json/IJSONObject.h"
#include "json/VJSONClass.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONObject.h"
#include "json/VJSONUser.h"
#include "json/VJSONValue.h"
#include "platform/AlertPresenter.h"
#include "process/VCommandLineParser.h"
#include "process/VProcessIPC.h"
#include "process/mac/XMacSystem.h"
#include "process/mac/XPosixProcessIPC.h"
#include "runtime/ILogger.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorTaskContext.h"
#include "runtime/VFunctionMessage.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

using namespace zeft;

namespace {

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string Flag(bool on) { return on ? "1" : "0"; }

// Which managers are up.
std::string Managers() {
  return "tasks=" + Flag(VTaskMgr::IsInited()) +
         " intl=" + Flag(VIntlMgr::GetProcessDefault() != nullptr) +
         " kinds=" + Flag(VFileKindManager::sManager != nullptr) +
         " classes=" + Flag(VJSONClassStore::GetProcessStore() != nullptr);
}

// Tells which managers are still up when the namespace lets its file
// systems go.
class ReportingFolder : public VFolder {
 public:
  using VFolder::VFolder;
  ~ReportingFolder() override { Say("file system released " + Managers()); }
};

// Tells which managers are still up when the class store lets its
// classes go.
class ReportingImplementation : public IJSONObject {
 public:
  ~ReportingImplementation() override { Say("class store released " + Managers()); }
};

bool QuitSignalsInstalled() {
  struct sigaction action = {};
  ::sigaction(SIGINT, nullptr, &action);
  // A shell may have started us with interrupts ignored.
  return action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN;
}

// Alerts are printed, never shown.
class PrintingPresenter : public platform::AlertPresenter {
 public:
  bool ShowAndWait(const platform::Alert& alert, platform::AlertAnswer& answer) override {
    Show(alert);
    answer = platform::AlertAnswer::kDefault;
    return true;
  }
  Handle Show(const platform::Alert& alert) override {
    Say("alert [" + alert.fHeader + "] [" + alert.fMessage + "]");
    return 1;
  }
  void Dismiss(Handle) override {}
};

class ProbeApplication : public VProcessIPC {
 public:
  ProbeApplication(std::string scenario, std::string resources)
      : fScenario(std::move(scenario)), fResources(std::move(resources)) {}

  int fParses = 0;

  // The resources folder named on the command line, if any.
  VFolder* RetainFolder(uint32 kind) const override {
    if (kind == kFolderResources && fScenario == "init-order")
      Say("resources asked for " + Managers());
    if (kind != kFolderResources || fResources.empty()) return VProcessIPC::RetainFolder(kind);
    VString path;
    path.FromBlock(fResources.data(), fResources.size(), kCharSetUTF8);
    return new VFolder(VFilePath(path, kFilePathStylePosix));
  }

 protected:
  bool DoCheckSystemVersion(SystemVersion version) override {
    Say("check-system-version " + std::to_string(int(version)) + " " + Managers() +
        " instance=" + Flag(VProcess::sInstance == this));
    return VProcessIPC::DoCheckSystemVersion(version);
  }

  uint32 DoParseCommandLine(VCommandLineParser& parser) override {
    ++fParses;
    std::string arguments;
    for (const VString& argument : parser.GetInfos().GetArguments())
      arguments += " [" + to_string(argument) + "]";
    Say("parse-command-line " + Managers() + " running=" + Flag(IsRunning()) +
        " logger=" + Flag(GetLogger() != nullptr && GetLogger()->IsStarted()) + arguments);
    if (fScenario == "failed-init") return parser.Parse();
    if (fScenario == "case-check") {
      const std::vector<VString>& arguments = parser.GetInfos().GetArguments();
      if (arguments.size() > 2) fResources = to_string(arguments[2]);
      return VCommandLineParser::kContinue;
    }
    if (fScenario == "help") {
      bool verbose = false;
      std::vector<VString> rest;
      parser.AddOption('v', VString("verbose"), VString("Say more"), &verbose);
      parser.AddPositionalArguments(&rest);
      return parser.Parse();
    }
    return VCommandLineParser::kContinue;
  }

  void DoRun() override {
    Say("run running=" + Flag(IsRunning()) +
        " errors=" + Flag(VTask::GetCurrent()->GetLastError()));
    if (fScenario == "sigint-twice") _InterruptTwice();
    if (fScenario == "case-check") Say("case-check=" + Flag(_CheckCaseInsensitiveInstallFolder()));
    if (fScenario == "print-while-interrupted") _PrintWhileInterrupted();
    if (fScenario == "init-order") _WatchShutDown();
    if (fScenario == "file-systems") _ListFileSystems();
    if (fScenario == "message-loop") _LoopUntilTerminated();
  }

  void DoQuit() override { Say("quit"); }

 private:
  // Two interrupts from another thread, each waited for, then the run
  // goes on: the quit request only marks the main task dying.
  void _InterruptTwice() {
    for (uint32 wanted = 1; wanted <= 2; ++wanted) {
      // The sender blocks the signal, so that it lands on another thread
      // of the program rather than on one about to end.
      std::thread([] {
        sigset_t interrupt;
        sigemptyset(&interrupt);
        sigaddset(&interrupt, SIGINT);
        ::pthread_sigmask(SIG_BLOCK, &interrupt, nullptr);
        ::kill(::getpid(), SIGINT);
      }).join();
      // Waited for here, sleeping: the handler may have to run on this
      // thread.
      while (XPosixProcessIPC::GetQuitSignalCount() < wanted)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // The quit request is made on the watcher's thread.
    while (IsRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Say("run goes on running=" + Flag(IsRunning()));
  }

  // The frame's own message loop, ended by a termination signal sent once
  // the loop has run a message.
  void _LoopUntilTerminated() {
    std::atomic<bool> looping{false};
    VFunctionMessage::PostToMainTask([&looping] {
      looping.store(true);
      looping.notify_all();
    });
    std::thread sender([&looping] {
      sigset_t all;
      sigfillset(&all);
      ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
      looping.wait(false);
      ::kill(::getpid(), SIGTERM);
    });
    VProcessIPC::DoRun();
    sender.join();
    Say("loop ended signals=" + std::to_string(XPosixProcessIPC::GetQuitSignalCount()));
  }

  // Busy standard output (its lock taken all the time) from before the
  // driver sends an interrupt until the handler has run. The driver reads
  // as it goes, so a full pipe keeps the count of lines low; the cap only
  // bounds the output of a run whose interrupt never comes.
  void _PrintWhileInterrupted() {
    Say("ready");
    for (int i = 0; i < 1000000 && XPosixProcessIPC::GetQuitSignalCount() == 0; ++i)
      std::printf("line %d of the work in progress\n", i);
    std::fflush(stdout);
    while (XPosixProcessIPC::GetQuitSignalCount() == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Say("done signals=" + std::to_string(XPosixProcessIPC::GetQuitSignalCount()));
  }

  // A file system of the namespace and an object held by the class store
  // that say when they go.
  void _WatchShutDown() {
    VRefPtr<VFolder> root(new ReportingFolder(VFilePath(VString("/"), kFilePathStylePosix)),
                          kAdoptRef);
    GetFileSystemNamespace()->RegisterFileSystem(VString("watched"), root.Get(), 0);
    VRefPtr<VJSONObject> objectClass(GetClassObject(VString("novu"), VString("Object")), kAdoptRef);
    VJSONClass* jsonClass = VJSONClass::CastObject(objectClass.Get());
    if (jsonClass == nullptr) return;
    auto* implementation = new ReportingImplementation;
    VRefPtr<VJSONObject> watched(new VJSONObject(nullptr, implementation, true), kAdoptRef);
    implementation->Release();
    VJSONObject* prototype = jsonClass->GetPrototype();
    VJSONUser user(prototype);
    prototype->SetProperty(VString("watched"), VJSONValue(watched.Get()));
  }

  // The named file systems start-up registered, in name order.
  void _ListFileSystems() {
    VFileSystemMap fileSystems;
    GetFileSystemNamespace()->RetainMapOfFileSystems(fileSystems, 0);
    for (const auto& [name, fileSystem] : fileSystems) {
      if (name.EqualToStringRaw(VString(".USER_HOME_DIRECTORY"))) continue;
      VString root;
      fileSystem->GetRoot().GetPosixPath(root);
      Say("file-system " + to_string(name) + " " + to_string(root) +
          " flags=" + std::to_string(fileSystem->GetFlags()));
    }
    // The user's documents, when there are any, are there but hidden.
    VRefPtr<VFolder> documents(VFolder::RetainSystemFolder(kSystemFolderDocuments, false),
                               kAdoptRef);
    VRefPtr<VFileSystem> home(
        GetFileSystemNamespace()->RetainFileSystem(VString(".USER_HOME_DIRECTORY"), 0), kAdoptRef);
    VRefPtr<VFileSystem> visibleHome(
        GetFileSystemNamespace()->RetainFileSystem(VString(".USER_HOME_DIRECTORY"),
                                                   kFileSystemLookupSkipHidden),
        kAdoptRef);
    Say("documents-registered=" +
        Flag((documents != nullptr) == (home != nullptr) && visibleHome == nullptr &&
             (home == nullptr ||
              home->GetRoot().GetPath().EqualToStringRaw(documents->GetPath().GetPath()))));
    VRefPtr<VJSONObject> objectClass(GetClassObject(VString("novu"), VString("Object")), kAdoptRef);
    VRefPtr<VJSONObject> elsewhere(GetClassObject(VString("Novu"), VString("Object")), kAdoptRef);
    Say("class-store " + to_string(GetClassStore()->GetName()) + " object-class=" +
        Flag(objectClass != nullptr) + " other-store=" + Flag(elsewhere != nullptr));
  }

  std::string fScenario;
  std::string fResources;
};

// Prints the last error of the task's stack, if any, and answers it.
VErrorBase* ReportLastError() {
  VErrorTaskContext* stack = VTask::GetErrorContext(false);
  VErrorBase* last = stack != nullptr ? stack->GetLast() : nullptr;
  if (last == nullptr) return nullptr;
  VString text;
  last->GetBag()->GetString(ErrorBagKeys::p1, text);
  Say("last-error " + std::to_string(ErrorNumber(last->GetError())) + " " + to_string(text));
  return last;
}

// The exit code of a run: 0 without error, 1 for toolbox error 4 (the
// initialisation failed), 2 for any other error.
int ExitCodeOfRun() {
  VErrorBase* last = ReportLastError();
  if (last == nullptr) return 0;
  return last->GetError() == ToolboxError(toolbox_error::kApplicationInitFailed) ? 1 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  sProcessCommandLineArgc = argc;
  sProcessCommandLineArgv = argv;
  VObject::sCppMemMgr = new VCppMemMgr(kAllocatorSystem);
  const std::string scenario = argc > 1 ? argv[1] : "";
  PrintingPresenter presenter;
  platform::AlertPresenter::SetForTesting(&presenter);
  XMacSystem::SetSystemTooOldForTesting(scenario == "old-system");
  int exitCode = 0;
  {
    // The resources folder of the file-system scenario: start-up reads it.
    ProbeApplication application(scenario, scenario == "file-systems" && argc > 2 ? argv[2] : "");
    const bool initialized =
        application.Init(VProcess::kInitCreateLogger | VProcess::kInitCreateFileSystemNotifier);
    Say("init=" + Flag(initialized) + " exit-code=" + std::to_string(application.GetExitCode()) +
        " signals=" + Flag(QuitSignalsInstalled()) +
        " instance=" + Flag(VProcess::sInstance == &application));
    if (initialized) {
      Say("second-init=" + Flag(application.Init(0)) +
          " parses=" + std::to_string(application.fParses));
    }
    if (initialized || scenario == "failed-init") {
      application.Run();
      Say("after-run running=" + Flag(VProcess::IsRunning()));
      exitCode = ExitCodeOfRun();
    } else {
      // What the manager that failed left on the stack.
      if (VTaskMgr::IsInited()) ReportLastError();
      exitCode = application.GetExitCode();
    }
  }
  Say("after-destruction " + Managers() + " instance=" + Flag(VProcess::sInstance != nullptr));
  return exitCode;
}
