// A small program that ends the way the updater's entry point does: it
// raises what its argument names and turns the last error left on the main
// task into the exit code (none 0, toolbox error 4 gives 1, any other 2).
#include <cstring>

#include "core/VCppMemMgr.h"
#include "core/VObject.h"
#include "process/VProcess.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

using namespace zeft;

namespace {

// The error component of an application built on the toolbox: the toolbox
// knows no texts of its own for it.
constexpr uint32 kApplicationComponent = FourCC("UPNV");

int ExitCodeForLastError(VError error) {
  if (error == VE_OK) return 0;
  return error == ToolboxError(toolbox_error::kApplicationInitFailed) ? 1 : 2;
}

void Raise(const char* what) {
  if (std::strcmp(what, "init-failed") == 0) {
    _ThrowError(ToolboxError(toolbox_error::kApplicationInitFailed));
  } else if (std::strcmp(what, "file-error") == 0) {
    _ThrowError(ToolboxError(toolbox_error::kFileNotFound));
  } else if (std::strcmp(what, "init-failed-then-file-error") == 0) {
    _ThrowError(ToolboxError(toolbox_error::kApplicationInitFailed));
    _ThrowError(ToolboxError(toolbox_error::kFileNotFound));
  } else if (std::strcmp(what, "file-error-then-init-failed") == 0) {
    _ThrowError(ToolboxError(toolbox_error::kFileNotFound));
    _ThrowError(ToolboxError(toolbox_error::kApplicationInitFailed));
  } else if (std::strcmp(what, "kept-in-silent-context") == 0) {
    StErrorContextInstaller context(true, true);
    _ThrowError(MakeVError(kApplicationComponent, 3));
  } else if (std::strcmp(what, "dropped-context") == 0) {
    StErrorContextInstaller context(false, false);
    _ThrowError(ToolboxError(toolbox_error::kFileNotFound));
  } else if (std::strcmp(what, "flushed") == 0) {
    _ThrowError(ToolboxError(toolbox_error::kFileNotFound));
    VTask::FlushErrors();
  }
}

}  // namespace

int main(int argc, char** argv) {
  VObject::sCppMemMgr = new VCppMemMgr(kAllocatorSystem);
  if (!VTaskMgr::Init(nullptr)) return 1;
  int exitCode = 0;
  {
    // Errors are recorded only with an instance; this one is never started.
    VProcess process;
    VProcess::sInstance = &process;
    if (argc > 1) Raise(argv[1]);
    exitCode = ExitCodeForLastError(VTask::GetCurrent()->GetLastError());
  }
  VTaskMgr::DeInit();
  return exitCode;
}
