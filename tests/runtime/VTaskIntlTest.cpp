// Each task's own international settings, and collated work of several
// tasks at once, on shared settings and on their own (also run under
// ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "RuntimeTestHelpers.h"
#include "core/DialectCode.h"
#include "core/VCollator.h"
#include "core/VIntlMgr.h"
#include "core/VString.h"
#include "runtime/VTask.h"
#include "support/ToolboxTestEnvironment.h"

namespace zeft {
namespace {

using test::StartTask;
using test::StopTask;

constexpr DialectCode kFrench = 1036;

TEST(VTaskIntl, ATaskStartsWithACopyOfTheProcessSettings) {
  VIntlMgr* process = VIntlMgr::GetProcessDefault();
  ASSERT_NE(process, nullptr);
  std::atomic<VIntlMgr*> seen{nullptr};
  std::atomic<DialectCode> dialect{0};
  VTask* task = StartTask([&] {
    seen = VTask::GetCurrentIntlManager();
    dialect = seen.load()->GetDialectCode();
  });
  ASSERT_TRUE(test::WaitUntil([&] { return seen.load() != nullptr; }));
  EXPECT_NE(seen.load(), process);
  EXPECT_NE(seen.load(), VTask::GetCurrentIntlManager());
  EXPECT_EQ(dialect.load(), process->GetDialectCode());
  EXPECT_EQ(task->GetDialectCode(), process->GetDialectCode());
  EXPECT_TRUE(StopTask(task));
}

TEST(VTaskIntl, SettingsSetOnATaskStayOnIt) {
  const DialectCode mainDialect = VTask::GetCurrent()->GetDialectCode();
  std::atomic<int> step{0};
  std::atomic<UniChar> wildBefore{0}, wildAfter{0};
  VTask* task = StartTask([&] {
    VTask::SetCurrentDialectCode(kFrench, 1);
    VIntlMgr* french = VTask::GetCurrentIntlManager();
    wildBefore = VTask::GetWildChar();
    french->GetCollator()->SetWildChar(u'*');
    wildAfter = VTask::GetWildChar();
    // The same settings installed again change nothing; null is ignored.
    VTask::SetCurrentIntlManager(french);
    VTask::SetCurrentIntlManager(nullptr);
    step = VTask::GetCurrentIntlManager() == french ? 1 : -1;
    while (!VTask::GetCurrent()->IsDying()) VTask::Sleep(1);
  });
  ASSERT_TRUE(test::WaitUntil([&] { return step.load() != 0; }));
  EXPECT_EQ(step.load(), 1);
  EXPECT_EQ(task->GetDialectCode(), kFrench);
  EXPECT_EQ(wildBefore.load(), u'@');
  EXPECT_EQ(wildAfter.load(), u'*');
  // The calling task keeps its own.
  EXPECT_EQ(VTask::GetCurrent()->GetDialectCode(), mainDialect);
  EXPECT_EQ(VTask::GetWildChar(), u'@');
  EXPECT_TRUE(StopTask(task));
}

TEST(VTaskIntl, SettingsHandedToAnotherTaskAreShared) {
  VRefPtr<VIntlMgr> mine(VIntlMgr::Create(kFrench, kFrench), kAdoptRef);
  ASSERT_TRUE(mine);
  std::atomic<VIntlMgr*> seen{nullptr};
  VTask* task = StartTask([&] {
    VTask::SetCurrentIntlManager(mine.Get());
    seen = VTask::GetCurrentIntlManager();
  });
  ASSERT_TRUE(test::WaitUntil([&] { return seen.load() != nullptr; }));
  EXPECT_EQ(seen.load(), mine.Get());
  EXPECT_EQ(task->GetDialectCode(), kFrench);
  EXPECT_TRUE(StopTask(task));
}

TEST(VTaskIntl, WithoutSettingsTheWildCharacterIsTheDefault) {
  test::StWithoutIntlSettings none;
  std::thread foreign([] {
    EXPECT_EQ(VTask::GetCurrentIntlManager(), nullptr);
    EXPECT_EQ(VTask::GetWildChar(), u'@');
    // Without a task nothing is installed.
    VTask::SetCurrentDialectCode(kFrench, 1);
    EXPECT_EQ(VTask::GetCurrentIntlManager(), nullptr);
  });
  foreign.join();
}

// Collated finds, replaces, comparisons and LIKE matches, checked against
// what the calling task computed alone.
struct CollatedWork {
  VString text = VString("Caf\u00E9 CAFE cafe \u00C9t\u00E9 \U0001F600A straße cafe");
  VString pattern = VString("cafe");
  VString casePattern = VString("\U0001F600a");
  int32 found = 0;
  int32 foundDiacritical = 0;
  std::string exchanged;
  CompareResult compared = 0;
  bool like = false;

  void Run() {
    found = text.Find(pattern, 1, false);
    foundDiacritical = text.Find(pattern, 2, true);
    VString copy(text);
    copy.Exchange(pattern, VString("tea"), 1, 0x7FFFFFFF, false, nullptr);
    copy.Exchange(casePattern, VString("x"), 1, 0x7FFFFFFF, true, nullptr);
    exchanged = to_string(copy);
    compared = text.CompareToString(VString("caf\u00E9 cafe"), false);
    like = text.EqualToString_Like(VString("@\u00C9T\u00C9@cafe"), false);
  }
  bool operator==(const CollatedWork& o) const {
    return found == o.found && foundDiacritical == o.foundDiacritical && exchanged == o.exchanged &&
           compared == o.compared && like == o.like;
  }
};

TEST(VTaskIntl, CollatedWorkOfManyTasksAtOnce) {
  CollatedWork expected;
  expected.Run();
  ASSERT_EQ(expected.found, 1);
  ASSERT_TRUE(expected.like);

  VRefPtr<VIntlMgr> shared(VIntlMgr::Create(kDialectEnglishUS, kDialectEnglishUS), kAdoptRef);
  ASSERT_TRUE(shared);
  constexpr int kTasks = 6;
  constexpr int kRounds = 300;
  std::atomic<int> mismatches{0};
  std::atomic<int> done{0};
  std::vector<VTask*> tasks;
  for (int t = 0; t < kTasks; ++t) {
    // Even tasks share one settings object; odd ones keep their own copy.
    tasks.push_back(StartTask([&, t] {
      if (t % 2 == 0) VTask::SetCurrentIntlManager(shared.Get());
      for (int round = 0; round < kRounds; ++round) {
        CollatedWork work;
        work.Run();
        if (!(work == expected)) mismatches.fetch_add(1);
      }
      done.fetch_add(1);
    }));
  }
  ASSERT_TRUE(test::WaitUntil([&] { return done.load() == kTasks; }));
  for (VTask* task : tasks) EXPECT_TRUE(StopTask(task));
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace zeft
