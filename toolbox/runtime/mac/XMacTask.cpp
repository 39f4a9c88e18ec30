#include "runtime/mac/XMacTask.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/VirtualMemory.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "runtime/mac/XMacFiber.h"
#include "runtime/mac/XMacTaskMgr.h"

namespace zeft {

namespace {

// Stands in for thread port numbers: positive, unique, never reused (the
// count would need 2^31 tasks in one process to wrap).
std::atomic<int32> sNextTaskID{1};

struct ThreadTimes {
  uint64 fUserTicks;
  uint64 fSystemTicks;
  uint64 fStartTicks;
};

bool ReadThreadTimes(pid_t tid, ThreadTimes& times) {
  if (tid == 0) return false;
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/task/%d/stat", int(tid));
  FILE* file = std::fopen(path, "r");
  if (file == nullptr) return false;
  char line[1024];
  const bool read = std::fgets(line, sizeof line, file) != nullptr;
  std::fclose(file);
  if (!read) return false;
  // The command name may hold blanks and parentheses: fields follow the last ')'.
  const char* fields = std::strrchr(line, ')');
  if (fields == nullptr) return false;
  unsigned long long user = 0, system = 0, start = 0;
  const int scanned = std::sscanf(fields + 1,
                                  " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu"
                                  " %*d %*d %*d %*d %*d %*d %llu",
                                  &user, &system, &start);
  if (scanned != 3) return false;
  times = {user, system, start};
  return true;
}

}  // namespace

XMacTask::~XMacTask() {
  if (fFiber != nullptr) {
    if (fMain) {
      delete static_cast<_FiberData*>(GetFiberData());
    }
    DeleteFiber(fFiber);
  }
}

XMacTaskMgr* XMacTask::GetManager() const { return &VTaskMgr::sInstance->GetPlatformManager(); }

size_t XMacTask::GetCurrentFreeStackSize() const {
  char local = 0;
  char* top = fStackTop.load();
  if (top == nullptr) return XMacTaskMgr::GetCurrentFreeStackSizeStatic();
  return fStackSize + size_t(&local) - size_t(top);
}

bool XMacTask::GetCPUTimes(double& system, double& user) {
  system = user = 0.0;
  ThreadTimes times;
  if (!ReadThreadTimes(fSystemThreadID.load(), times)) return false;
  const double ticksPerSecond = double(sysconf(_SC_CLK_TCK));
  system = double(times.fSystemTicks) / ticksPerSecond;
  user = double(times.fUserTicks) / ticksPerSecond;
  return true;
}

bool XMacTask::GetCPUUsage(double& usage) {
  usage = 0.0;
  ThreadTimes times;
  if (!ReadThreadTimes(fSystemThreadID.load(), times)) return false;
  timespec now;
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double ticksPerSecond = double(sysconf(_SC_CLK_TCK));
  const double alive =
      double(now.tv_sec) + double(now.tv_nsec) / 1e9 - double(times.fStartTicks) / ticksPerSecond;
  const double busy = double(times.fUserTicks + times.fSystemTicks) / ticksPerSecond;
  usage = alive > 0.0 ? busy / alive : 0.0;
  return true;
}

XMacTask_preemptive::XMacTask_preemptive(VTask* task, bool main)
    : XMacTask(task), fTaskID(sNextTaskID.fetch_add(1)) {
  fMain = main;
  fThread.store(pthread_self());
  fSystemThreadID.store(gettid());
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    void* address = nullptr;
    size_t size = 0;
    if (pthread_attr_getstack(&attributes, &address, &size) == 0) {
      fStackSize = size;
      fStackTop.store(static_cast<char*>(address) + size);
    }
    pthread_attr_destroy(&attributes);
  }
  if (GetManager()->IsFibered()) {
    fFiber = GetCurrentFiber();
    fFiberOwner = task;
    if (auto* data = static_cast<_FiberData*>(GetFiberData())) data->SetTask(task);
  }
  fSemaphoreMade = sem_init(&fSemaphore, 0, 0) == 0;
}

XMacTask_preemptive::XMacTask_preemptive(VTask* task)
    : XMacTask(task), fTaskID(sNextTaskID.fetch_add(1)) {
  fSemaphoreMade = sem_init(&fSemaphore, 0, 0) == 0;
}

XMacTask_preemptive::~XMacTask_preemptive() {
  bool ownThread = false;
  if (!fMain && fThread.load() != 0) {
    // Releases a thread still waiting for Run: it leaves without running.
    fAbandoned.store(true);
    if (fSemaphoreMade) sem_post(&fSemaphore);
    if (pthread_equal(fThread.load(), pthread_self())) {
      // The last reference went on the task's own thread: it cannot join
      // itself nor free the stack it runs on.
      pthread_detach(fThread.load());
      ownThread = true;
    } else {
      pthread_join(fThread.load(), nullptr);
    }
  }
  if (fStackRegion != nullptr && !ownThread) platform::VirtualFree(fStackRegion, fStackRegionSize);
  if (fSemaphoreMade) sem_destroy(&fSemaphore);
}

XMacTask_preemptive* XMacTask_preemptive::Create(VTask* task) {
  auto* platformTask = new XMacTask_preemptive(task);
  if (!platformTask->_CreateThread()) {
    delete platformTask;
    return nullptr;
  }
  return platformTask;
}

bool XMacTask_preemptive::_CreateThread() {
  if (!fSemaphoreMade) {
    ThrowPosixError(errno);
    return false;
  }
  platform::ThreadStack stack;
  if (!platform::VirtualAllocThreadStack(fTask->GetStackSize(), stack)) {
    ThrowPosixError(errno);
    return false;
  }
  fStackRegion = stack.fRegion;
  fStackRegionSize = stack.fRegionSize;
  fStackSize = stack.fStackSize;
  pthread_t thread;
  if (const int error = platform::StartThreadOnStack(stack, _ThreadProc, this, thread);
      error != 0) {
    ThrowPosixError(error);
    return false;
  }
  fThread.store(thread);
  return true;
}

void* XMacTask_preemptive::_ThreadProc(void* platformTask) {
  auto* self = static_cast<XMacTask_preemptive*>(platformTask);
  VTask* task = self->fTask;
  const bool fibered = self->GetManager()->IsFibered();
  if (fibered) {
    auto* data = new _FiberData(task);
    self->fFiber = ConvertThreadToFiber(data);
    if (self->fFiber == nullptr) delete data;
    self->fFiberOwner = task;
  }
  for (;;) {
    while (sem_wait(&self->fSemaphore) != 0 && errno == EINTR) {
    }
    if (self->fAbandoned.load()) break;
    const int32 state = task->GetState();
    if (state == kTaskStateRunRequested) {
      char top = 0;
      self->fStackTop.store(&top);
      self->fThread.store(pthread_self());
      self->fSystemThreadID.store(gettid());
      XMacTaskMgr::SetCurrentTask(task);
      task->_Run();
      self->Exit(self->fFiberOwner == task ? nullptr : self->fFiberOwner);
    }
    // A wake-up before Run is not a start: keep waiting for Run.
    if (state != kTaskStateCreated) break;
  }
  if (fibered && self->fFiber != nullptr) delete static_cast<_FiberData*>(GetFiberData());
  return nullptr;
}

bool XMacTask_preemptive::Run() {
  if (fThread.load() == 0) return false;
  return sem_post(&fSemaphore) == 0;
}

void XMacTask_preemptive::WakeUp() { sem_post(&fSemaphore); }

void XMacTask_preemptive::Freeze() {
  while (sem_wait(&fSemaphore) != 0 && errno == EINTR) {
  }
}

void XMacTask_preemptive::Sleep(int32 milliseconds) {
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += milliseconds / 1000;
  deadline.tv_nsec += long(milliseconds % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  // An absolute deadline: a wait cut by a signal resumes with the time left.
  while (sem_clockwait(&fSemaphore, CLOCK_MONOTONIC, &deadline) != 0 && errno == EINTR) {
  }
}

void XMacTask_preemptive::Exit(VTask* /*owner*/) {
  if (fFiber != nullptr && !fMain) delete static_cast<_FiberData*>(GetFiberData());
  fTask->_SetStateDead();
  pthread_exit(nullptr);
}

}  // namespace zeft
