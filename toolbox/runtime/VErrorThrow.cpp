#include "runtime/VErrorThrow.h"

#include <new>

#include "core/VString.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorTaskContext.h"
#include "runtime/VProcessHook.h"
#include "runtime/VTask.h"
#include "values/VValueBag.h"

namespace zeft {

void _ThrowError(VError code, const VString* p1, const VString* p2, const VString* p3) {
  // Before the application object exists there is no one to report to.
  if (!VProcessHook::HasProcess()) return;
  // Without a task there is no stack to push on: make no record at all.
  if (VTask::GetCurrent() == nullptr) return;
  // Out of memory for the record itself: the caller still returns its code.
  VErrorBase* error = NewErrorRecord<VErrorBase>(code);
  if (error == nullptr) return;
  VValueBag* parameters = error->GetBag();
  if (p1 != nullptr) parameters->SetString(ErrorBagKeys::p1, *p1);
  if (p2 != nullptr) parameters->SetString(ErrorBagKeys::p2, *p2);
  if (p3 != nullptr) parameters->SetString(ErrorBagKeys::p3, *p3);
  VTask::PushRetainedError(error);
}

VError ThrowPosixError(int32 number, const VString* path) {
  const VError error = PosixError(number);
  _ThrowError(error, path);
  return error;
}

bool _PushRetainedError(VErrorBase* error, VError native) {
  if (error == nullptr) return false;
  if (native != VE_OK) {
    VErrorTaskContext* stack = VTask::GetErrorContext(false);
    if (stack == nullptr || !stack->IsErrorFiltered(error->GetError())) {
      // Only the native record may be lost; the caller's record still goes.
      VTask::PushRetainedError(NewErrorRecord<VErrorBase>(native));
    }
    // The record's text can then say why, beside what failed.
    VString nativeText;
    VErrorBase::GetNativeDescription(native, nativeText);
    if (!nativeText.IsEmpty() &&
        !error->GetBag()->AttributeExists(ErrorBagKeys::native_description)) {
      try {
        error->GetBag()->SetString(ErrorBagKeys::native_description, nativeText);
      } catch (const std::bad_alloc&) {
        // The record still goes, without the text.
      }
    }
  }
  return VTask::PushRetainedError(error);
}

}  // namespace zeft
