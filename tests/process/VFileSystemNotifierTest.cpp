#include "process/VFileSystemNotifier.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ProcessTestSupport.h"
#include "core/StStringConverter.h"
#include "files/VFolder.h"
#include "process/mac/XMacFileSystemNotification.h"
#include "runtime/VTask.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

using Kind = VFileSystemNotifier::EventKind;
using test::Posix;
using test::PosixPath;

class RecordingHandler : public VFileSystemNotifier::IEventHandler {
 public:
  void HandleChanges(const std::vector<VFilePath>& paths, Kind kind) override {
    std::vector<std::string> run;
    for (const VFilePath& path : paths) run.push_back(Posix(path));
    fCalls.emplace_back(kind, run);
  }
  // Every path delivered with the kind.
  std::set<std::string> Paths(Kind kind) const {
    std::set<std::string> paths;
    for (const auto& [callKind, run] : fCalls)
      if (callKind == kind) paths.insert(run.begin(), run.end());
    return paths;
  }

  std::vector<std::pair<Kind, std::vector<std::string>>> fCalls;
};

class FileSystemNotifierTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(fTemp.Path().empty());
    fRoot = fTemp.Path() + "/";
    fFolder = VRefPtr<VFolder>(new VFolder(PosixPath(fRoot)), kAdoptRef);
  }
  // The watch ends before the folder goes.
  void TearDown() override { fNotifier.reset(); }

  static void Touch(const std::string& path) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    ::close(fd);
  }

  // Executes this task's messages until `done` holds (10 s at most).
  static bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      VTask::ExecuteMessagesWithTimeout(20, false);
    }
    return true;
  }

  test::TempFolder fTemp;
  std::string fRoot;
  VRefPtr<VFolder> fFolder;
  std::unique_ptr<VFileSystemNotifier> fNotifier = std::make_unique<VFileSystemNotifier>();
};

constexpr Kind kAll = VFileSystemNotifier::kFileModified | VFileSystemNotifier::kFileCreated |
                      VFileSystemNotifier::kFileDeleted;

TEST_F(FileSystemNotifierTest, CreatedAndDeletedFilesAndFoldersAreReported) {
  RecordingHandler handler;
  ASSERT_EQ(fNotifier->StartWatchingForChanges(*fFolder, kAll, &handler, 20), VE_OK);
  Touch(fRoot + "a.txt");
  ASSERT_EQ(::mkdir((fRoot + "sub").c_str(), 0755), 0);
  Touch(fRoot + ".DS_Store");
  ASSERT_TRUE(WaitFor([&] {
    return handler.Paths(VFileSystemNotifier::kFileCreated) ==
           std::set<std::string>{fRoot + "a.txt", fRoot + "sub/"};
  })) << handler.fCalls.size();
  // A folder that appeared is watched too.
  Touch(fRoot + "sub/inner.txt");
  ASSERT_TRUE(WaitFor([&] {
    return handler.Paths(VFileSystemNotifier::kFileCreated).count(fRoot + "sub/inner.txt");
  }));
  ASSERT_EQ(::unlink((fRoot + "sub/inner.txt").c_str()), 0);
  ASSERT_EQ(::rmdir((fRoot + "sub").c_str()), 0);
  ASSERT_EQ(::unlink((fRoot + "a.txt").c_str()), 0);
  ASSERT_TRUE(WaitFor([&] {
    return handler.Paths(VFileSystemNotifier::kFileDeleted) ==
           std::set<std::string>{fRoot + "a.txt", fRoot + "sub/", fRoot + "sub/inner.txt"};
  }));
  for (const auto& [kind, run] : handler.fCalls)
    for (const std::string& path : run) EXPECT_EQ(path.find(".DS_Store"), std::string::npos);
  EXPECT_EQ(fNotifier->StopWatchingForChanges(*fFolder, &handler), VE_OK);
}

TEST_F(FileSystemNotifierTest, ABurstOfAThousandFilesIsReportedWhole) {
  RecordingHandler handler;
  ASSERT_EQ(fNotifier->StartWatchingForChanges(*fFolder, kAll, &handler, 50), VE_OK);
  std::set<std::string> made;
  for (int i = 0; i < 1000; ++i) {
    const std::string path = fRoot + "file" + std::to_string(i);
    Touch(path);
    made.insert(path);
  }
  ASSERT_TRUE(WaitFor([&] { return handler.Paths(VFileSystemNotifier::kFileCreated) == made; }))
      << handler.Paths(VFileSystemNotifier::kFileCreated).size();
}

TEST_F(FileSystemNotifierTest, ModifiedFilesAreReportedButNotFoldersOrUnwantedKinds) {
  Touch(fRoot + "old.txt");
  ASSERT_EQ(::mkdir((fRoot + "dir").c_str(), 0755), 0);
  RecordingHandler handler;
  const Kind noDeletions = VFileSystemNotifier::kFileModified | VFileSystemNotifier::kFileCreated;
  ASSERT_EQ(fNotifier->StartWatchingForChanges(*fFolder, noDeletions, &handler, 20), VE_OK);
  const timespec times[2] = {{1000, 0}, {1000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (fRoot + "old.txt").c_str(), times, 0), 0);
  ASSERT_EQ(::utimensat(AT_FDCWD, (fRoot + "dir").c_str(), times, 0), 0);
  ASSERT_EQ(::unlink((fRoot + "old.txt").c_str()), 0);
  Touch(fRoot + "marker");
  ASSERT_TRUE(WaitFor(
      [&] { return handler.Paths(VFileSystemNotifier::kFileCreated).count(fRoot + "marker"); }));
  for (const auto& [kind, run] : handler.fCalls) {
    EXPECT_NE(kind, VFileSystemNotifier::kFileDeleted);
    for (const std::string& path : run) EXPECT_NE(path, fRoot + "dir/");
  }
}

TEST_F(FileSystemNotifierTest, OneWatchPerFolderAndHandler) {
  RecordingHandler first;
  RecordingHandler second;
  ASSERT_EQ(fNotifier->StartWatchingForChanges(*fFolder, kAll, &first, 20), VE_OK);
  EXPECT_EQ(fNotifier->StartWatchingForChanges(*fFolder, kAll, &first, 20), ToolboxError(659));
  EXPECT_EQ(fNotifier->StartWatchingForChanges(*fFolder, kAll, &second, 20), VE_OK);
  EXPECT_EQ(fNotifier->StopWatchingForChanges(*fFolder, &first), VE_OK);
  EXPECT_EQ(fNotifier->StopWatchingForChanges(*fFolder, &first), ToolboxError(650));
  // The other watch of the same folder still sees changes.
  Touch(fRoot + "late");
  ASSERT_TRUE(WaitFor(
      [&] { return second.Paths(VFileSystemNotifier::kFileCreated).count(fRoot + "late"); }));
  EXPECT_TRUE(first.fCalls.empty());
  VFolder missing(PosixPath(fRoot + "no-such-folder/"));
  EXPECT_EQ(fNotifier->StartWatchingForChanges(missing, kAll, &first, 20),
            MakeVError(kComponentPosix, ENOENT));
  VFolder invalid{VFilePath()};
  EXPECT_EQ(fNotifier->StartWatchingForChanges(invalid, kAll, &first, 20),
            MakeVError(kComponentPosix, ENOENT));
}

TEST_F(FileSystemNotifierTest, ChangesMadeAfterAComparisonReachTheNextOne) {
  RecordingHandler handler;
  // A latency no test waits for: the comparisons below are the only ones.
  ASSERT_EQ(fNotifier->StartWatchingForChanges(*fFolder, kAll, &handler, 3600000), VE_OK);
  StLocker<VCriticalSection> lock(fNotifier->GetLock());
  auto* watch =
      static_cast<XMacFileSystemNotification::XMacChangeData*>(fNotifier->GetWatches().front());
  XMacFileSystemNotification* platform = watch->GetOwner();
  Touch(fRoot + "first");
  EXPECT_TRUE(platform->BuildChangeList(watch, fRoot));
  Touch(fRoot + "second");
  EXPECT_TRUE(platform->BuildChangeList(watch, fRoot));
  EXPECT_FALSE(platform->BuildChangeList(watch, fRoot));
  std::vector<std::string> pending;
  for (const auto& [path, kind] : watch->GetPendingChanges()) pending.push_back(Posix(path));
  EXPECT_EQ(pending, (std::vector<std::string>{fRoot + "first", fRoot + "second"}));
}

TEST_F(FileSystemNotifierTest, DeliveryGroupsRunsOfOneKindAndDropsRepeats) {
  RecordingHandler handler;
  auto* watch =
      new VFileSystemNotifier::VChangeData(PosixPath(fRoot), kAll, nullptr, &handler, nullptr);
  {
    StLocker<VCriticalSection> lock(fNotifier->GetLock());
    auto& pending = watch->GetPendingChanges();
    for (const auto& [name, kind] :
         std::vector<std::pair<std::string, Kind>>{{"a", VFileSystemNotifier::kFileCreated},
                                                   {"b", VFileSystemNotifier::kFileCreated},
                                                   {"b", VFileSystemNotifier::kFileCreated},
                                                   {"c", VFileSystemNotifier::kFileDeleted},
                                                   {"d", VFileSystemNotifier::kFileCreated}})
      pending.emplace_back(PosixPath(fRoot + name), kind);
  }
  fNotifier->EventSignaledCallback(watch);
  using Call = std::pair<Kind, std::vector<std::string>>;
  EXPECT_EQ(handler.fCalls,
            (std::vector<Call>{{VFileSystemNotifier::kFileCreated, {fRoot + "a", fRoot + "b"}},
                               {VFileSystemNotifier::kFileDeleted, {fRoot + "c"}},
                               {VFileSystemNotifier::kFileCreated, {fRoot + "d"}}}));
  // A second delivery finds the list empty.
  fNotifier->EventSignaledCallback(watch);
  EXPECT_EQ(handler.fCalls.size(), 3u);
  watch->Release();
}

}  // namespace
}  // namespace zeft
