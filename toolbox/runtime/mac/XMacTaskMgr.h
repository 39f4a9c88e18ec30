// XMacTaskMgr is the platform half of the task manager: the thread-local
// current task and foreign-thread ID, platform tasks by style, thread names
// and free stack.
#pragma once

#include <cstddef>

#include "core/VTypes.h"
#include "runtime/VTask.h"

namespace zeft {

class VProcess;
class VString;
class XMacTask;

class XMacTaskMgr {
 public:
  XMacTaskMgr() = default;
  virtual ~XMacTaskMgr() = default;

  // Fibered mode exists for tests only: Init refuses it unless allowed here.
  static void AllowFiberedModeForTests(bool allowed);

  // In fibered mode turns the calling thread into a fiber.
  bool Init(VProcess* process, bool fibered);
  void Deinit();
  void TaskStarted(VTask*) {}
  void TaskStopped(VTask*) {}
  bool IsFibered() const { return fFibered; }

  // The main task's platform task; makes it the thread's current task.
  XMacTask* CreateMain(VTask* task);
  // A platform task of the style, or null (a fiber task outside fibered
  // mode, or a thread that cannot be made).
  XMacTask* Create(VTask* task, ETaskStyle style);
  void YieldToFiber(VTask* task);

  static size_t ComputeMainTaskStackSize();
  size_t GetCurrentFreeStackSize();
  static size_t GetCurrentFreeStackSizeStatic();

  // Names the calling thread `name` + " (id = <id>)", cut to 15 bytes on a
  // character boundary. The main thread keeps the process's name.
  static void SetCurrentThreadName(const VString& name, int32 id);
  // The UTF-8 name that SetCurrentThreadName gives (tests).
  static void BuildThreadName(const VString& name, int32 id, char (&out)[16]);

  // The calling thread's task and its ID when it runs none (0 until asked).
  static VTask* GetCurrentTask() { return sCurrentTask; }
  static void SetCurrentTask(VTask* task) {
    sCurrentTask = task;
    sCurrentTaskID = 0;
  }
  static int32 GetForeignThreadID() { return sForeignThreadID; }
  static void SetForeignThreadID(int32 id) { sForeignThreadID = id; }
  // The ID the task manager last answered for the calling thread, kept for
  // the locks that ask on every call; 0 until then and after the thread's
  // current task changes.
  static int32 GetCachedCurrentTaskID() { return sCurrentTaskID; }
  static void SetCachedCurrentTaskID(int32 id) { sCurrentTaskID = id; }

 private:
  static constinit thread_local VTask* sCurrentTask;
  static constinit thread_local int32 sForeignThreadID;
  static constinit thread_local int32 sCurrentTaskID;
  bool fFibered = false;
};

}  // namespace zeft
