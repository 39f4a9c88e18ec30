// Locks, events, tasks and messages against their standard-library peers.
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "runtime/IMessageable.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VMessage.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft {
namespace {

// The first benchmark runs on the main thread: it becomes the main task.
void EnsureTaskManager() {
  static const bool inited = VTaskMgr::Init(nullptr);
  (void)inited;
}

// The C library's locks skip their atomic operations while the process has
// a single thread, which no program running tasks has: the uncontended rows
// run once a second thread has existed.
void EnsureMultiThreaded() {
  static const bool once = [] {
    std::thread([] {}).join();
    return true;
  }();
  (void)once;
}

void BM_CriticalSection_Uncontended(benchmark::State& state) {
  EnsureTaskManager();
  EnsureMultiThreaded();
  VCriticalSection lock;
  for (auto _ : state) {
    lock.Lock();
    lock.Unlock();
  }
}
BENCHMARK(BM_CriticalSection_Uncontended);

// The peer of both the uncontended and the contended rows.
void BM_StdMutex_Uncontended(benchmark::State& state) {
  EnsureMultiThreaded();
  std::mutex lock;
  for (auto _ : state) {
    lock.lock();
    lock.unlock();
  }
}
BENCHMARK(BM_StdMutex_Uncontended);

// The section is re-entrant: the re-entrant standard lock as a second peer.
void BM_RecursiveMutex_Uncontended(benchmark::State& state) {
  EnsureMultiThreaded();
  std::recursive_mutex lock;
  for (auto _ : state) {
    lock.lock();
    lock.unlock();
  }
}
BENCHMARK(BM_RecursiveMutex_Uncontended);

VCriticalSection sSharedSection;
std::mutex sSharedMutex;
int64 sSharedCounter = 0;

void BM_CriticalSection_Contended(benchmark::State& state) {
  for (auto _ : state) {
    sSharedSection.Lock();
    benchmark::DoNotOptimize(++sSharedCounter);
    sSharedSection.Unlock();
  }
}
BENCHMARK(BM_CriticalSection_Contended)->Threads(2)->Threads(4)->Threads(8)->UseRealTime();

void BM_StdMutex_Contended(benchmark::State& state) {
  for (auto _ : state) {
    sSharedMutex.lock();
    benchmark::DoNotOptimize(++sSharedCounter);
    sSharedMutex.unlock();
  }
}
BENCHMARK(BM_StdMutex_Contended)->Threads(2)->Threads(4)->Threads(8)->UseRealTime();

// One round: the main task opens `ping`, the partner answers on `pong`.
void BM_SyncEvent_PingPong(benchmark::State& state) {
  EnsureTaskManager();
  auto* ping = new VSyncEvent;
  auto* pong = new VSyncEvent;
  std::atomic<bool> stop{false};
  auto* partner = new VTask(0, kTaskStylePreemptive, [&] {
    for (;;) {
      ping->Lock();
      ping->Reset();
      if (stop.load(std::memory_order_relaxed)) break;
      pong->Unlock();
    }
  });
  partner->Run();
  for (auto _ : state) {
    ping->Unlock();
    pong->Lock();
    pong->Reset();
  }
  stop.store(true);
  ping->Unlock();
  partner->WaitForDeath(10000);
  partner->Release();
  ping->Release();
  pong->Release();
}
BENCHMARK(BM_SyncEvent_PingPong)->UseRealTime();

void BM_ConditionVariable_PingPong(benchmark::State& state) {
  std::mutex mutex;
  std::condition_variable changed;
  int turn = 0;  // 1: the partner's, 0: the caller's, -1: stop
  std::thread partner([&] {
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return turn != 0; });
      if (turn < 0) break;
      turn = 0;
      changed.notify_all();
    }
  });
  for (auto _ : state) {
    std::unique_lock lock(mutex);
    turn = 1;
    changed.notify_all();
    changed.wait(lock, [&] { return turn == 0; });
  }
  {
    std::lock_guard lock(mutex);
    turn = -1;
  }
  changed.notify_all();
  partner.join();
}
BENCHMARK(BM_ConditionVariable_PingPong)->UseRealTime();

void BM_Task_CreateRunDie(benchmark::State& state) {
  EnsureTaskManager();
  for (auto _ : state) {
    auto* task = new VTask(0, kTaskStylePreemptive, [] {});
    task->Run();
    task->WaitForDeath(10000);
    task->Release();
    VTaskMgr::sInstance->PurgeDeadTasks();  // joins the thread, frees the stack
  }
}
BENCHMARK(BM_Task_CreateRunDie)->UseRealTime();

void BM_StdThread_CreateJoin(benchmark::State& state) {
  for (auto _ : state) {
    std::thread thread([] {});
    thread.join();
  }
}
BENCHMARK(BM_StdThread_CreateJoin)->UseRealTime();

// Sent to a receiver on another task: queued, executed there, answered.
void BM_Message_SendRoundTrip(benchmark::State& state) {
  EnsureTaskManager();
  auto* pump = new VTask(0, kTaskStylePreemptive, [] {
    VTask* self = VTask::GetCurrent();
    while (!self->IsDying()) VTask::ExecuteMessagesWithTimeout(50, false);
  });
  pump->Run();
  IMessageable receiver;
  receiver.SetMessagingTask(pump->GetID());
  auto* message = new VMessage;
  for (auto _ : state) benchmark::DoNotOptimize(message->SendTo(&receiver));
  message->Release();
  pump->Kill();
  pump->WaitForDeath(10000);
  pump->Release();
}
BENCHMARK(BM_Message_SendRoundTrip)->UseRealTime();

// Posted to the calling task and executed by its own pump.
void BM_Message_PostAndExecute(benchmark::State& state) {
  EnsureTaskManager();
  IMessageable receiver;
  auto* message = new VMessage;
  for (auto _ : state) {
    message->PostTo(&receiver);
    VTask::ExecuteMessages(false);
  }
  message->Release();
}
BENCHMARK(BM_Message_PostAndExecute);

}  // namespace
}  // namespace zeft
