#include "support/ToolboxTestEnvironment.h"

#include "core/VCppMemMgr.h"
#include "core/VIntlMgr.h"
#include "core/VObject.h"
#include "json/VJSONClassStore.h"
#include "process/VProcess.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft::test {

EAllocatorKind ToolboxTestEnvironment::sAllocator = kAllocatorFromBundle;

void ToolboxTestEnvironment::SetUp() {
  sAllocator = fAllocator;
  if (VObject::sCppMemMgr == nullptr) VObject::sCppMemMgr = new VCppMemMgr(fAllocator);
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
  // recorded on the tasks' error stacks. It is never started (its Init
  // would bring the managers up a second time), so it is made the
  // process's instance here rather than by Init.
  if (VProcess::sInstance == nullptr) {
    fProcess = new VProcess;
    VProcess::sInstance = fProcess;
  }
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

}  // namespace zeft::test
