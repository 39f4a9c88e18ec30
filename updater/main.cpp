// The updater's entry point: the memory manager first, then the one
// application object, whose last error becomes the exit code.
#include "VUpdateEngine.h"
#include "core/VCppMemMgr.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

using namespace zeft;

namespace {

// 0 after a clean run, 1 when the application could not start, 2 after a
// failed update.
int32 ExitCodeOfRun() {
  VTask* task = VTaskMgr::IsInited() ? VTask::GetCurrent() : nullptr;
  const VError last = task != nullptr ? task->GetLastError() : VE_OK;
  if (last == VE_OK) return 0;
  if (last == ToolboxError(toolbox_error::kApplicationInitFailed)) return 1;
  return 2;
}

int _main() {
  if (VObject::sCppMemMgr == nullptr) {
    VObject::sCppMemMgr = new VCppMemMgr(kAllocatorFromBundle);
    // The manager's own operator new answers null, not an exception, when
    // the system has no memory to give.
    if (VObject::sCppMemMgr == nullptr) return 1;
  }
  int32 exitCode;
  {
    VUpdateEngine engine;
    if (engine.Init(VProcess::kInitCreateLogger | VProcess::kInitCreateFileSystemNotifier)) {
      engine.Run();
      exitCode = ExitCodeOfRun();
    } else {
      exitCode = engine.GetExitCode();
    }
  }
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  sProcessCommandLineArgc = argc;
  sProcessCommandLineArgv = argv;
  return _main();
}
