#include "runtime/StErrorContextInstaller.h"

#include "runtime/VErrorContext.h"
#include "runtime/VErrorTaskContext.h"
#include "runtime/VTask.h"

namespace zeft {

StErrorContextInstaller::StErrorContextInstaller(bool keep, bool silent) { _Init(keep, silent); }

void StErrorContextInstaller::_Init(bool keep, bool silent) {
  fSilent = silent;
  fTaskContext = VTask::GetErrorContext(true);
  if (fTaskContext != nullptr) fContext = fTaskContext->PushNewContext(keep, silent);
  // No task (or no memory for a level on its stack): a level of our own.
  if (fContext == nullptr) {
    fTaskContext = nullptr;
    fContext = new VErrorContext(keep, silent);
  }
}

void StErrorContextInstaller::_AddToFilter(std::initializer_list<VError> codes) {
  for (VError code : codes) {
    if (code == VE_OK) break;
    fContext->AddErrorToFilter(code);
  }
}

StErrorContextInstaller::~StErrorContextInstaller() {
  if (fTaskContext != nullptr) {
    fTaskContext->PopContext();
    fTaskContext->RecycleContext(fContext);
  } else {
    fContext->Release();
  }
}

VError StErrorContextInstaller::GetLastError() const { return fContext->GetLastError(); }

void StErrorContextInstaller::Flush() { fContext->Flush(); }

}  // namespace zeft
