// What the application object answers without running the frame: the test
// environment's application object, and short-lived ones made on a bundle,
// which never become the process's instance since they are not started.
#include "process/VProcess.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "ProcessTestSupport.h"
#include "core/StStringConverter.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "platform/MainBundle.h"
#include "process/VActivityToken.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTask.h"

namespace zeft {
namespace {

using test::Posix;
using test::TemporaryFolder;

// An application object made on a bundle with these Info.plist strings.
class BundleProcess {
 public:
  BundleProcess(const std::string& name, const std::string& version) {
    fFolder.Write("Probe.app/Contents/Info.plist",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                  "<key>CFBundleName</key><string>" +
                      name + "</string><key>CFBundleShortVersionString</key><string>" + version +
                      "</string></dict></plist>\n");
    platform::SetMainBundlePathForTesting(fFolder.Path() + "Probe.app");
    fProcess = new VProcess;
  }
  ~BundleProcess() {
    delete fProcess;
    platform::SetMainBundlePathForTesting("");
  }
  VProcess* operator->() const { return fProcess; }

 private:
  TemporaryFolder fFolder;
  VProcess* fProcess = nullptr;
};

TEST(VProcessInstance, OnlyInitMakesAProcessTheInstance) {
  VProcess* const instance = VProcess::sInstance;
  ASSERT_NE(instance, nullptr);
  {
    BundleProcess process("Probe", "1");
    EXPECT_EQ(VProcess::sInstance, instance);
  }
  // Nor does its end take the instance away.
  EXPECT_EQ(VProcess::sInstance, instance);
}

TEST(VProcessVersion, ProductVersionIsSplitAtBuild) {
  struct Case {
    const char* version;
    const char* build;
    int32 changeList;
    const char* shortVersion;
    const char* mainVersion;
  };
  const Case cases[] = {
      {"12.3 build 12.4567", "12.4567", 4567, "12.3", "12"},
      {"17", "", 0, "17", "17"},
      {" 2.0.1  Build  7 ", "7", 0, "2.0.1", "2"},
      {"1.2 build 3.4.5", "3.4.5", 5, "1.2", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    BundleProcess process("Probe", c.version);
    VString text;
    process->GetBuildNumber(text);
    EXPECT_EQ(to_string(text), c.build);
    EXPECT_EQ(process->GetChangeListNumber(), c.changeList);
    process->GetShortProductVersion(text);
    EXPECT_EQ(to_string(text), c.shortVersion);
    process->GetMainProductVersion(text);
    EXPECT_EQ(to_string(text), c.mainVersion);
    EXPECT_EQ(to_string(process->GetProductName()), "Probe");
    EXPECT_EQ(to_string(process->GetLogSourceIdentifier()), "Probe");
  }
}

TEST(VProcessFolders, KindsNameTheFoldersAroundTheExecutable) {
  VProcess* process = VProcess::sInstance;
  const std::string executable = Posix(process->GetExecutableFilePath());
  const std::string folder = executable.substr(0, executable.rfind('/') + 1);
  std::string parent = folder.substr(0, folder.size() - 1);
  parent = parent.substr(0, parent.rfind('/') + 1);
  std::string bundle = parent.substr(0, parent.size() - 1);
  bundle = bundle.substr(0, bundle.rfind('/') + 1);
  const std::pair<uint32, std::string> kinds[] = {
      {VProcess::kFolderExecutable, folder},
      {VProcess::kFolderInfoPlist, parent},
      {VProcess::kFolderBundle, bundle},
      {VProcess::kFolderResources, parent + "Resources/"},
      {VProcess::kFolderNativeComponents, parent + "Native Components/"},
      {VProcess::kFolderJSONSchemas, parent + "Resources/JSONSchemas/"},
      {VProcess::kFolderDTDs, parent + "Resources/DTD/"},
      {VProcess::kFolderXSDs, parent + "Resources/XSD/"},
      {VProcess::kFolderXSLs, parent + "Resources/XSL/"}};
  for (const auto& [kind, expected] : kinds) {
    VRefPtr<VFolder> result(process->RetainFolder(kind), kAdoptRef);
    ASSERT_NE(result.Get(), nullptr) << kind;
    EXPECT_EQ(Posix(result->GetPath()), expected);
  }
  EXPECT_EQ(process->RetainFolder(FourCC("NONE")), nullptr);
  VRefPtr<VFile> self(process->RetainFile(VProcess::kFolderExecutable,
                                          VString(executable.substr(folder.size()).c_str()), 0),
                      kAdoptRef);
  ASSERT_NE(self.Get(), nullptr);
  EXPECT_EQ(Posix(self->GetPath()), executable);
  EXPECT_EQ(process->RetainFile(VProcess::kFolderResources, VString("none.json"),
                                VProcess::kFolderExecutable),
            nullptr);
}

TEST(VProcessFolders, ProductSystemFolderIsMadeWhenAsked) {
  const std::string name = "ZeftProduct" + std::to_string(::getpid());
  BundleProcess process(name, "1");
  EXPECT_EQ(process->RetainProductSystemFolder(kSystemFolderTemporary, false), nullptr);
  VRefPtr<VFolder> made(process->RetainProductSystemFolder(kSystemFolderTemporary, true),
                        kAdoptRef);
  ASSERT_NE(made.Get(), nullptr);
  EXPECT_EQ(Posix(made->GetPath()), "/tmp/" + name + "/");
  EXPECT_TRUE(made->Exists());
  VRefPtr<VFolder> again(process->RetainProductSystemFolder(kSystemFolderTemporary, false),
                         kAdoptRef);
  EXPECT_NE(again.Get(), nullptr);
  ::rmdir(("/tmp/" + name).c_str());
}

TEST(VProcessActivity, TokensKeepTheProcessBusy) {
  VProcess* process = VProcess::sInstance;
  EXPECT_FALSE(process->HasSomeActivityTokens(0));
  {
    VRefPtr<VActivityToken> token(new VActivityToken(VString("download")), kAdoptRef);
    EXPECT_TRUE(process->HasSomeActivityTokens(0));
    EXPECT_EQ(to_string(token->GetName()), "download");
  }
  EXPECT_FALSE(process->HasSomeActivityTokens(0));
  // The last token went just now.
  EXPECT_TRUE(process->HasSomeActivityTokens(60000));
}

TEST(VProcessActivity, RunningTasksKeepTheProcessBusyUnlessTheyLetGo) {
  VProcess* process = VProcess::sInstance;
  ASSERT_FALSE(process->HasSomeActivityTokens(0));
  for (const bool letGo : {false, true}) {
    VRefPtr<VSyncEvent> started(new VSyncEvent, kAdoptRef);
    VRefPtr<VSyncEvent> finish(new VSyncEvent, kAdoptRef);
    VTask* task = new VTask(0, kTaskStylePreemptive, [&] {
      if (letGo) VTask::ReleaseCurrentActivityToken();
      started->Unlock();
      finish->Lock(30000);
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(started->Lock(30000));
    EXPECT_EQ(process->HasSomeActivityTokens(0), !letGo);
    finish->Unlock();
    EXPECT_TRUE(task->WaitForDeath(30000));
    EXPECT_FALSE(process->HasSomeActivityTokens(0)) << "a dead task holds no token";
    task->Release();
  }
}

TEST(VProcessProcesses, OnlyRealProcessIdsAreRunning) {
  EXPECT_EQ(VProcess::GetSystemID(), int32(::getpid()));
  EXPECT_TRUE(VProcess::IsProcessRunning(::getpid()));
  // 0 and negative ids name process groups for kill(2), not a process.
  EXPECT_FALSE(VProcess::IsProcessRunning(0));
  EXPECT_FALSE(VProcess::IsProcessRunning(-1));
  EXPECT_FALSE(VProcess::IsProcessRunning(-int32(::getpgrp())));
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  EXPECT_FALSE(VProcess::IsProcessRunning(child));
}

TEST(VProcessRun, RunOutsideTheMainTaskDoesNothing) {
  std::thread other([] {
    VProcess::sInstance->Run();
    EXPECT_FALSE(VProcess::sInstance->IsInitialized());
  });
  other.join();
}

}  // namespace
}  // namespace zeft
