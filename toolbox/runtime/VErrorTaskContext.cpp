#include "runtime/VErrorTaskContext.h"

#include <new>

#include "core/VLong.h"
#include "core/VString.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "runtime/VTask.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

constinit const StPackedDictionaryKey kErrorStackElement("__ERROR");
constinit const StPackedDictionaryKey kErrorStackMessage("message");
constinit const StPackedDictionaryKey kErrorStackComponent("componentSignature");
constinit const StPackedDictionaryKey kErrorStackNumber("errCode");

}  // namespace

VErrorTaskContext::VErrorTaskContext() : fSpare(new VErrorContext) {}

VErrorTaskContext::~VErrorTaskContext() {
  for (auto it = fLevels.rbegin(); it != fLevels.rend(); ++it) (*it)->Release();
  if (fSpare != nullptr) fSpare->Release();
}

bool VErrorTaskContext::PushError(VErrorBase* error, bool* outSilent) {
  if (outSilent != nullptr) *outSilent = false;
  if (error == nullptr) return false;
  if (fLevels.empty()) {
    try {
      VRefPtr<VErrorContext> bottom(new VErrorContext(true, false), kAdoptRef);
      fLevels.reserve(1);  // the push below cannot fail then
      fLevels.push_back(bottom.Forget());
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  if (!fLevels.back()->PushError(error)) return false;
  bool silent = false;
  for (auto it = fLevels.rbegin(); it != fLevels.rend(); ++it) {
    if ((*it)->IsSilent()) {
      silent = true;
      break;
    }
    if ((*it)->IsErrorFiltered(error->GetError())) {
      fLevels.back()->SetSilent(true);
      silent = true;
      break;
    }
  }
  if (outSilent != nullptr) *outSilent = silent;
  return true;
}

void VErrorTaskContext::PushErrorsFromContext(const VErrorContext* context) {
  if (context == nullptr) return;
  // A copy of the list: pushing into the very level being read grows it.
  const VErrorContext::ErrorList errors = context->GetErrors();
  for (VErrorBase* error : errors) error->Retain();
  for (VErrorBase* error : errors) {
    PushError(error);
    error->Release();
  }
}

void VErrorTaskContext::PushErrorsFromBag(const VValueBag& bag) {
  VBagArray* saved = bag.GetElements(ErrorBagKeys::error);
  const int32 count = saved != nullptr ? saved->GetCount() : 0;
  try {
    for (int32 i = 1; i <= count; ++i) {
      const VValueBag* errorBag = saved->GetNth(i);
      if (errorBag == nullptr) continue;
      VRefPtr<VErrorBase> error(new VErrorBase, kAdoptRef);
      if (error->LoadFromBag(*errorBag) != VE_OK) break;
      PushError(error.Get());
    }
  } catch (const std::bad_alloc&) {
    // The records that could not be made are dropped.
  }
}

VErrorContext* VErrorTaskContext::PushNewContext(bool keep, bool silent) {
  VErrorContext* context = fSpare;
  if (context != nullptr) {
    fSpare = nullptr;
  } else {
    try {
      context = new VErrorContext;
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  context->SetKeepingErrors(keep);
  context->SetSilent(silent);
  context->Flush();  // clears failed-for-memory
  try {
    fLevels.push_back(context);
  } catch (const std::bad_alloc&) {
    RecycleContext(context);
    return nullptr;
  }
  context->Retain();
  return context;
}

void VErrorTaskContext::PopContext() {
  if (fLevels.empty()) return;
  VErrorContext* top = fLevels.back();
  if (top->IsEmpty() || !top->IsKeepingErrors()) {
    fLevels.pop_back();
    top->Release();
    return;
  }
  if (fLevels.size() > 1) {
    fLevels.pop_back();
    // Errors that a silent level kept from the debug report reach the log
    // once, when they leave silence.
    if (top->IsSilent() && !fLevels.back()->IsSilent()) top->SendErrorsToLogger();
    fLevels.back()->PushErrors(*top);
    top->Release();
    return;
  }
  // The only level: its errors stay on the stack, in a level that no
  // longer silences anything.
  if (top->IsSilent()) top->SendErrorsToLogger();
  try {
    fLevels.back() = new VErrorContext(*top);
    top->Release();
  } catch (const std::bad_alloc&) {
    top->SetSilent(false);
  }
}

void VErrorTaskContext::RecycleContext(VErrorContext* context) {
  if (context == nullptr) return;
  if (fSpare == nullptr && context->IsEmpty() && !context->HasFilter() &&
      !context->HasParameters() && context->GetRefCount() == 1) {
    fSpare = context;
    return;
  }
  context->Release();
}

void VErrorTaskContext::MergeAndFlushLastContext(bool log) {
  if (fLevels.empty()) return;
  VErrorContext* top = fLevels.back();
  if (top->IsEmpty()) return;
  if (top->IsKeepingErrors()) {
    if (log) top->SendErrorsToLogger();
    if (fLevels.size() == 1) {
      try {
        VRefPtr<VErrorContext> copy(new VErrorContext(*top), kAdoptRef);
        fLevels.reserve(fLevels.size() + 1);  // the insert below cannot fail then
        fLevels.insert(fLevels.begin(), copy.Forget());
      } catch (const std::bad_alloc&) {
        // The records stay only in the flushed level: they are lost.
      }
    } else {
      fLevels[fLevels.size() - 2]->PushErrors(*top);
    }
  }
  top->Flush();
  top->SetSilent(log);
}

void VErrorTaskContext::Flush() {
  if (!fLevels.empty()) fLevels.back()->Flush();
}

VError VErrorTaskContext::GetLastError() const {
  return fLevels.empty() ? VE_OK : fLevels.back()->GetLastError();
}

VErrorBase* VErrorTaskContext::GetLast() const {
  for (auto it = fLevels.rbegin(); it != fLevels.rend(); ++it) {
    if (!(*it)->IsEmpty()) return (*it)->GetLast();
  }
  return nullptr;
}

VErrorBase* VErrorTaskContext::GetFirst() const {
  for (VErrorContext* level : fLevels) {
    if (!level->IsEmpty()) return level->GetFirst();
  }
  return nullptr;
}

VErrorBase* VErrorTaskContext::Find(VError code) const {
  for (VErrorContext* level : fLevels) {
    if (VErrorBase* error = level->Find(code)) return error;
  }
  return nullptr;
}

bool VErrorTaskContext::IsErrorFiltered(VError code) const {
  for (VErrorContext* level : fLevels) {
    if (level->IsErrorFiltered(code)) return true;
  }
  return false;
}

bool VErrorTaskContext::FailedForMemory() const {
  return !fLevels.empty() && fLevels.back()->FailedForMemory();
}

void VErrorTaskContext::GetErrors(VErrorContext& out) const {
  for (VErrorContext* level : fLevels) {
    if (level != &out) out.PushErrors(*level);
  }
}

VErrorContext* VErrorTaskContext::GetNthContext(int32 n) const {
  return n >= 1 && n <= int32(fLevels.size()) ? fLevels[size_t(n - 1)] : nullptr;
}

void VErrorTaskContext::BuildErrorStack(VValueBag& bag) {
  VErrorTaskContext* stack = VTask::GetErrorContext(false);
  if (stack == nullptr) return;
  VErrorContext all;
  stack->GetErrors(all);
  VString text;
  for (const VErrorBase* error : all.GetErrors()) {
    VRefPtr<VValueBag> errorBag(new VValueBag, kAdoptRef);
    error->GetErrorDescription(text);
    errorBag->SetString(kErrorStackMessage, text);
    text.Clear();
    const uint32 component = ErrorComponent(error->GetError());
    for (int shift = 24; shift >= 0; shift -= 8) {
      const uint8 c = uint8(component >> shift);
      if (c == 0) break;
      text.AppendUniChar(UniChar(c));
    }
    errorBag->SetString(kErrorStackComponent, text);
    errorBag->SetLong(kErrorStackNumber, ErrorNumber(error->GetError()));
    bag.AddElement(kErrorStackElement, errorBag.Get());
  }
}

}  // namespace zeft
