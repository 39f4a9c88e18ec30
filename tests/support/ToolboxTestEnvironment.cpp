#include "support/ToolboxTestEnvironment.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/VCppMemMgr.h"
#include "core/VIntlMgr.h"
#include "core/VObject.h"
#include "json/VJSONClassStore.h"
#include "process/VProcess.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft::test {

TestAllocator ToolboxTestEnvironment::sAllocator = TestAllocator::kFromBundle;

void ToolboxTestEnvironment::SetUp() {
  sAllocator = fAllocator;
  if (VObject::sCppMemMgr == nullptr) {
    EAllocatorKind kind = kAllocatorFromBundle;
    if (fAllocator == TestAllocator::kSystem) kind = kAllocatorSystem;
    if (fAllocator == TestAllocator::kBlock) kind = kAllocatorBlock;
    VObject::sCppMemMgr = new VCppMemMgr(kind);
  }
  // Process-wide international settings, fixed to US English so that
  // collated results do not depend on the machine's locale.
  if (VIntlMgr::GetProcessDefault() == nullptr) {
    VIntlMgr* intl = VIntlMgr::Create(kDialectEnglishUS, kDialectEnglishUS);
    VIntlMgr::SetProcessDefault(intl);
    if (intl != nullptr) intl->Release();
  }
  // The thread running the tests becomes the main task, as in a program.
  if (!VTaskMgr::IsInited()) VTaskMgr::Init(nullptr);
  // An application object, so that errors raised by code under test are
  // recorded on the tasks' error stacks.
  if (VProcess::sInstance == nullptr) fProcess = new VProcess;
  // The JSON class store with its root classes, as start-up makes it; the
  // application object here is never started, so it makes none.
  if (VJSONClassStore::GetProcessStore() == nullptr) fMadeClassStore = VJSONClassStore::Init();
}

void ToolboxTestEnvironment::TearDown() {
  if (fMadeClassStore) VJSONClassStore::DeInit();
  fMadeClassStore = false;
  // The application object goes before the managers it was made after.
  delete fProcess;
  fProcess = nullptr;
  // Joins the threads of tasks that died since the last purge.
  VTaskMgr::DeInit();
  VIntlMgr::SetProcessDefault(nullptr);
}

StProcessIntlSettings::StProcessIntlSettings(VIntlMgr* settings)
    : fSaved(VIntlMgr::GetProcessDefault()) {
  if (fSaved != nullptr) fSaved->Retain();
  VIntlMgr::SetProcessDefault(settings);
  // The calling task reads its own copy: it follows the process's settings.
  if (settings != nullptr && VTask::GetCurrent() != nullptr) {
    fSavedTask = VTask::GetCurrentIntlManager();
    if (fSavedTask != nullptr) fSavedTask->Retain();
    VTask::SetCurrentIntlManager(settings);
  }
}

StProcessIntlSettings::~StProcessIntlSettings() {
  if (fSavedTask != nullptr) {
    VTask::SetCurrentIntlManager(fSavedTask);
    fSavedTask->Release();
  }
  VIntlMgr::SetProcessDefault(fSaved);
  if (fSaved != nullptr) fSaved->Release();
}

TestAllocator ParseToolboxTestFlags(int& argc, char** argv) {
  constexpr std::string_view kFlag = "--zeft-allocator=";
  TestAllocator allocator = TestAllocator::kFromBundle;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg(argv[i]);
    if (arg.substr(0, kFlag.size()) == kFlag) {
      std::string_view value = arg.substr(kFlag.size());
      if (value == "system") {
        allocator = TestAllocator::kSystem;
      } else if (value == "block") {
        allocator = TestAllocator::kBlock;
      } else if (value == "bundle") {
        allocator = TestAllocator::kFromBundle;
      } else {
        // A mistyped name must not quietly run the suite over another allocator.
        std::fprintf(stderr, "unknown allocator \"%.*s\" (system, block or bundle)\n",
                     int(value.size()), value.data());
        std::exit(2);
      }
      continue;
    }
    argv[kept++] = argv[i];
  }
  argc = kept;
  argv[argc] = nullptr;
  return allocator;
}

}  // namespace zeft::test
