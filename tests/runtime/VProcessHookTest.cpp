#include "runtime/VProcessHook.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "ErrorTestHelpers.h"
#include "core/VString.h"
#include "process/VProcess.h"
#include "runtime/VErrorThrow.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::StWithoutProcess;

// What the runtime sees of the application object through the hook: its
// presence, the tokens it hands out, and whether raised errors are kept.
struct Seen {
  bool present = false;
  bool madeToken = false;
  bool tokenKeepsBusy = false;
  size_t recorded = 0;
};

Seen Look() {
  Seen seen;
  seen.present = VProcessHook::HasProcess();
  {
    VRefPtr<IRefCountable> token = VProcessHook::NewActivityToken(VString("probe"));
    seen.madeToken = token != nullptr;
    seen.tokenKeepsBusy =
        VProcess::sInstance != nullptr && VProcess::sInstance->HasSomeActivityTokens(0);
  }
  test::ErrorCollector errors;
  _ThrowError(ToolboxError(600));
  seen.recorded = errors.Errors().size();
  return seen;
}

TEST(VProcessHook, FollowsTheApplicationObject) {
  const Seen with = Look();
  EXPECT_TRUE(with.present);
  EXPECT_TRUE(with.madeToken);
  EXPECT_TRUE(with.tokenKeepsBusy);
  EXPECT_EQ(with.recorded, 1u);
  EXPECT_FALSE(VProcess::sInstance->HasSomeActivityTokens(0)) << "the token went with its holder";

  StWithoutProcess noProcess;
  const Seen without = Look();
  EXPECT_FALSE(without.present);
  EXPECT_FALSE(without.madeToken);
  EXPECT_EQ(without.recorded, 0u);
}

// A test's application object made and deleted inside the harness's leaves
// the hook in place: the harness's object is reached again once it is the
// instance again.
TEST(VProcessHook, OutlivesANestedApplicationObject) {
  VProcess* saved = VProcess::sInstance;
  auto* nested = new VProcess;
  // As its Init would make it.
  VProcess::sInstance = nested;
  const Seen inside = Look();
  EXPECT_TRUE(inside.present);
  EXPECT_TRUE(inside.tokenKeepsBusy) << "the token registers with the instance";
  EXPECT_FALSE(saved->HasSomeActivityTokens(0));
  delete nested;
  VProcess::sInstance = saved;

  const Seen after = Look();
  EXPECT_TRUE(after.present);
  EXPECT_TRUE(after.tokenKeepsBusy);
  EXPECT_EQ(after.recorded, 1u);
}

// Runs in a process of its own, whose harness application object it deletes:
// the last object removes the hook, and the next one installs it again.
TEST(VProcessHookDeathTest, RemovedWithTheLastApplicationObjectAndInstalledByTheNext) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        delete VProcess::sInstance;
        const Seen gone = Look();
        if (gone.present || gone.madeToken || gone.recorded != 0) _exit(1);
        auto* next = new VProcess;
        if (VProcessHook::HasProcess()) _exit(2);  // not started yet
        VProcess::sInstance = next;
        const Seen back = Look();
        _exit(back.present && back.tokenKeepsBusy && back.recorded == 1 ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zeft
