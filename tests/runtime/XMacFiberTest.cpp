#include "runtime/mac/XMacFiber.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "RuntimeTestHelpers.h"
#include "runtime/VScheduler_void.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "runtime/mac/XMacTaskMgr.h"

namespace zeft {
namespace {

using test::kSmallStack;

// Fibers hand the turn to each other: a converted thread and two created
// fibers ping-pong, and the log shows one runs at a time in switch order.
struct PingPong {
  void* main = nullptr;
  void* a = nullptr;
  void* b = nullptr;
  std::vector<std::string> log;
};

TEST(XMacFiberTest, SwitchesHandTheTurnAround) {
  std::thread carrier([] {
    PingPong game;
    int mainData = 0;
    game.main = ConvertThreadToFiber(&mainData);
    ASSERT_NE(game.main, nullptr);
    EXPECT_EQ(GetCurrentFiber(), game.main);
    EXPECT_EQ(GetFiberData(), &mainData);
    EXPECT_EQ(ConvertThreadToFiber(nullptr), nullptr) << "already a fiber";

    game.a = CreateFiberEx(
        0, kSmallStack, 1,
        [](void* data) {
          auto* g = static_cast<PingPong*>(data);
          g->log.push_back("a1");
          SwitchToFiber(g->b);
          g->log.push_back("a2");
          SwitchToFiber(g->main);
        },
        &game);
    game.b = CreateFiberEx(
        0, kSmallStack, 1,
        [](void* data) {
          auto* g = static_cast<PingPong*>(data);
          EXPECT_EQ(GetFiberData(), g);
          g->log.push_back("b1");
          SwitchToFiber(g->a);
        },
        &game);
    ASSERT_NE(game.a, nullptr);
    ASSERT_NE(game.b, nullptr);

    SwitchToFiber(game.main);  // itself: returns at once
    SwitchToFiber(game.a);
    game.log.push_back("main");
    EXPECT_EQ(game.log, (std::vector<std::string>{"a1", "b1", "a2", "main"}));

    DeleteFiber(game.a);  // waiting inside a switch: aborted and joined
    DeleteFiber(game.b);  // finished: joined
    DeleteFiber(nullptr);
    DeleteFiber(game.main);
    EXPECT_EQ(GetCurrentFiber(), nullptr);
  });
  carrier.join();
}

TEST(XMacFiberTest, FiberDeletedBeforeRunningRunsNothing) {
  std::atomic<bool> ran{false};
  void* fiber = CreateFiberEx(
      0, kSmallStack + 1, 0, [](void* data) { static_cast<std::atomic<bool>*>(data)->store(true); },
      &ran);
  ASSERT_NE(fiber, nullptr);
  DeleteFiber(fiber);  // returns after joining its thread
  EXPECT_FALSE(ran.load());
}

TEST(XMacFiberTest, StackIsWholePagesAboveAGuardPage) {
  const size_t page = size_t(sysconf(_SC_PAGESIZE));
  const size_t pages = kSmallStack / page + 20;
  auto* fiber = XMacFiber::Create(
      page * pages + 1, [](void*) {}, nullptr);
  ASSERT_NE(fiber, nullptr);
  EXPECT_EQ(fiber->GetStackRegionSize(), page * (pages + 1) + page);
  // The lowest page is inaccessible: mincore still sees it mapped.
  unsigned char resident = 0;
  EXPECT_EQ(mincore(fiber->GetStackRegion(), page, &resident), 0);
  DeleteFiber(fiber);
}

TEST(XMacFiberTest, DeletingTheCallingFiberDoesNothing) {
  std::atomic<bool> survived{false};
  struct Holder {
    void* self = nullptr;
    void* back = nullptr;
    std::atomic<bool>* survived;
  } holder{nullptr, nullptr, &survived};
  std::thread carrier([&] {
    holder.back = ConvertThreadToFiber(nullptr);
    holder.self = CreateFiberEx(
        0, kSmallStack, 0,
        [](void* data) {
          auto* h = static_cast<Holder*>(data);
          DeleteFiber(h->self);
          h->survived->store(true);
          SwitchToFiber(h->back);
        },
        &holder);
    SwitchToFiber(holder.self);
    DeleteFiber(holder.self);
    DeleteFiber(holder.back);
  });
  carrier.join();
  EXPECT_TRUE(survived.load());
}

TEST(XMacFiberTest, VoidSchedulerDoesNothing) {
  auto* scheduler = new VScheduler_void;
  int32 flag = 0;
  scheduler->WaitFlag(&flag, 0);  // returns although the flag never changes
  scheduler->WaitFlagWithTimeout(&flag, 0, 600000);
  EXPECT_TRUE(scheduler->WithSystemEventPolling());
  bool notHandled = true;
  EXPECT_FALSE(scheduler->RunFiber(nullptr, &notHandled));
  EXPECT_TRUE(notHandled);
  EXPECT_FALSE(scheduler->ExecuteInProcess0());
  EXPECT_FALSE(scheduler->PostNovuWorkerMessage(nullptr, 0, 0,
                                                [](CDBNovuBaseContext*, VDBLanguageContext*) {}));
  EXPECT_EQ(scheduler->GetLanguageContextID(nullptr), 0);
  EXPECT_EQ(scheduler->GetLanguageContextCurrentWindowID(nullptr), 0);
  scheduler->Release();
}

// Restarts the task manager in fibered mode for one test, then back.
class FiberedModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VTaskMgr::DeInit();
    XMacTaskMgr::AllowFiberedModeForTests(true);
    ASSERT_TRUE(VTaskMgr::Init(nullptr, true));
  }
  void TearDown() override {
    VTaskMgr::DeInit();
    XMacTaskMgr::AllowFiberedModeForTests(false);
    VTaskMgr::Init(nullptr);
  }
};

TEST(FiberedModeRefusal, IsRefusedOutsideTests) {
  VTaskMgr::DeInit();
  EXPECT_FALSE(VTaskMgr::Init(nullptr, true));
  EXPECT_FALSE(VTaskMgr::IsInited());
  EXPECT_TRUE(VTaskMgr::Init(nullptr));
  EXPECT_NE(VTask::GetCurrent(), nullptr);
}

TEST_F(FiberedModeTest, FiberTasksRunInTurnAndRecycleTheirIDs) {
  VTask* main = VTask::GetCurrent();
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(main->IsFiber());
  EXPECT_NE(GetCurrentFiber(), nullptr);

  std::vector<int32> seen;
  for (int i = 0; i < 2; ++i) {
    std::atomic<int32> idInside{0};
    auto* task = new VTask(0, kTaskStyleFiber, [&] { idInside.store(VTask::GetCurrentID()); });
    const int32 id = task->GetID();
    EXPECT_LT(id, 0);
    EXPECT_GT(id, VTaskMgr::kFirstForeignThreadID) << "apart from threads without a task";
    EXPECT_TRUE(task->Run());
    // The fiber ran to its end before control came back.
    EXPECT_EQ(idInside.load(), id);
    EXPECT_EQ(task->GetState(), kTaskStateDead);
    task->Release();
    VTaskMgr::sInstance->PurgeDeadTasks();
    seen.push_back(id);
  }
  EXPECT_EQ(seen[0], seen[1]) << "a purged fiber task's ID is handed out again";

  auto* unrun = new VTask(0, kTaskStyleFiber, [] {});
  unrun->Release();  // never ran: nothing to switch to
}

}  // namespace
}  // namespace zeft
