#include "runtime/mac/XMacTaskMgr.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "core/VString.h"
#include "runtime/mac/XMacFiber.h"
#include "runtime/mac/XMacTask.h"
#include "runtime/mac/XMacTask_fiber.h"

namespace zeft {

constinit thread_local VTask* XMacTaskMgr::sCurrentTask = nullptr;
constinit thread_local int32 XMacTaskMgr::sForeignThreadID = 0;
constinit thread_local int32 XMacTaskMgr::sCurrentTaskID = 0;

namespace {

std::atomic<bool> sFiberedModeAllowed{false};
constexpr size_t kFallbackStackLimit = 1048576;

bool IsMainThread() { return gettid() == getpid(); }

}  // namespace

void XMacTaskMgr::AllowFiberedModeForTests(bool allowed) { sFiberedModeAllowed.store(allowed); }

bool XMacTaskMgr::Init(VProcess* /*process*/, bool fibered) {
  // Fibers are threads taking turns here: a mode for tests, not for products.
  if (fibered && !sFiberedModeAllowed.load()) return false;
  fFibered = fibered;
  if (fibered && GetCurrentFiber() == nullptr) {
    auto* data = new _FiberData(nullptr);
    if (ConvertThreadToFiber(data) == nullptr) {
      delete data;
      fFibered = false;
      return false;
    }
  }
  return true;
}

void XMacTaskMgr::Deinit() { fFibered = false; }

XMacTask* XMacTaskMgr::CreateMain(VTask* task) {
  auto* platformTask = new XMacTask_preemptive(task, true);
  SetCurrentTask(task);
  return platformTask;
}

XMacTask* XMacTaskMgr::Create(VTask* task, ETaskStyle style) {
  if (style == kTaskStylePreemptive) return XMacTask_preemptive::Create(task);
  if (style == kTaskStyleFiber && fFibered) return new XMacTask_fiber(task);
  return nullptr;
}

void XMacTaskMgr::YieldToFiber(VTask* task) {
  VTask* caller = GetCurrentTask();
  if (caller == nullptr || task == nullptr) return;
  XMacTask* from = caller->GetPlatformTask();
  XMacTask* to = task->GetPlatformTask();
  if (from == nullptr || to == nullptr || to->GetFiber() == nullptr) return;
  if (from->GetFiberOwner() != to->GetFiberOwner()) return;
  SwitchToFiber(to->GetFiber());
  SetCurrentTask(caller);
}

size_t XMacTaskMgr::ComputeMainTaskStackSize() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return 0;
  void* address = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attributes, &address, &size) != 0) size = 0;
  pthread_attr_destroy(&attributes);
  return size;
}

size_t XMacTaskMgr::GetCurrentFreeStackSize() {
  VTask* task = GetCurrentTask();
  if (task != nullptr && task->GetPlatformTask() != nullptr) {
    return task->GetPlatformTask()->GetCurrentFreeStackSize();
  }
  return GetCurrentFreeStackSizeStatic();
}

size_t XMacTaskMgr::GetCurrentFreeStackSizeStatic() {
  rlimit limit;
  if (getrlimit(RLIMIT_STACK, &limit) != 0) return kFallbackStackLimit;
  if (limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
  return size_t(limit.rlim_cur);
}

void XMacTaskMgr::BuildThreadName(const VString& name, int32 id, char (&out)[16]) {
  std::string text = to_string(name);
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, " (id = %d)", id);
  text += suffix;
  // The system keeps 15 bytes: cut before a continuation byte never splits
  // a character.
  size_t length = std::min<size_t>(text.size(), 15);
  while (length > 0 && length < text.size() && (uint8(text[length]) & 0xC0) == 0x80) --length;
  text.copy(out, length);
  out[length] = 0;
}

void XMacTaskMgr::SetCurrentThreadName(const VString& name, int32 id) {
  // Renaming the main thread would rename the process itself.
  if (IsMainThread()) return;
  char buffer[16];
  BuildThreadName(name, id, buffer);
  pthread_setname_np(pthread_self(), buffer);
}

}  // namespace zeft
