#include "runtime/VErrorContext.h"

#include <algorithm>
#include <new>

#include "core/VString.h"
#include "runtime/ILogger.h"
#include "runtime/VErrorBase.h"
#include "runtime/VLoggerHook.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {

VErrorContext::VErrorContext(bool keep, bool silent) : fSilent(silent), fKeep(keep) {}

VErrorContext::VErrorContext(const VErrorContext& other) : VObject(), IRefCountable(), fKeep(true) {
  // Everything that may run out of memory comes first, so that a failed
  // copy owns nothing.
  fErrors.reserve(other.fErrors.size());
  if (other.fParameters != nullptr) {
    fParameters = other.fParameters->Clone();
    if (fParameters == nullptr) throw std::bad_alloc();
  }
  // The records already carry the other level's parameters, which are the
  // ones copied here: merging them again would double their sub-bags.
  for (VErrorBase* error : other.fErrors) {
    error->Retain();
    fErrors.push_back(error);
  }
  fFailedForMemory = other.fFailedForMemory;
}

VErrorContext::~VErrorContext() {
  Flush();
  if (fParameters != nullptr) fParameters->Release();
}

bool VErrorContext::_Append(VErrorBase* error, const VValueBag* parameters) {
  try {
    fErrors.reserve(fErrors.size() + 1);
    if (parameters != nullptr && !error->GetBag()->UnionClone(parameters)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  error->Retain();
  fErrors.push_back(error);
  return true;
}

bool VErrorContext::PushError(VErrorBase* error) {
  if (error == nullptr) return false;
  if (error->GetError() == ToolboxError(toolbox_error::kMemoryFull)) fFailedForMemory = true;
  return _Append(error, fParameters);
}

void VErrorContext::PushErrors(const VErrorContext& other) {
  if (&other == this) return;
  for (VErrorBase* error : other.fErrors) {
    if (!_Append(error, fParameters)) break;
  }
  // A level that ran out of memory itself stays marked, whatever it receives.
  fFailedForMemory = fFailedForMemory || other.fFailedForMemory;
}

void VErrorContext::AddErrorToFilter(VError code) { fFilter.push_back(code); }

bool VErrorContext::IsErrorFiltered(VError code) const {
  return std::find(fFilter.begin(), fFilter.end(), code) != fFilter.end();
}

VValueBag* VErrorContext::GetParametersForPushedErrors(bool create) {
  if (fParameters == nullptr && create) {
    try {
      fParameters = new VValueBag;
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  return fParameters;
}

void VErrorContext::Flush() {
  ErrorList errors;
  errors.swap(fErrors);
  for (VErrorBase* error : errors) error->Release();
  fFailedForMemory = false;
}

VErrorBase* VErrorContext::GetFirst() const { return fErrors.empty() ? nullptr : fErrors.front(); }

VErrorBase* VErrorContext::GetLast() const { return fErrors.empty() ? nullptr : fErrors.back(); }

VError VErrorContext::GetLastError() const {
  return fErrors.empty() ? VE_OK : fErrors.back()->GetError();
}

VErrorBase* VErrorContext::Find(VError code) const {
  auto it = std::find_if(fErrors.begin(), fErrors.end(),
                         [code](const VErrorBase* error) { return error->GetError() == code; });
  return it != fErrors.end() ? *it : nullptr;
}

bool VErrorContext::_FindAny(std::initializer_list<VError> codes) const {
  for (VError code : codes) {
    if (code == VE_OK) break;
    if (Find(code) != nullptr) return true;
  }
  return false;
}

void VErrorContext::SendErrorsToLogger() const {
  const VRefPtr<ILogger> logger = VLoggerHook::RetainLogger();
  if (!logger) return;
  // A snapshot: a logger that raises an error while logging pushes it into
  // this very level when it is the task's top level.
  ErrorList errors;
  try {
    errors = fErrors;
  } catch (const std::bad_alloc&) {
    return;
  }
  for (VErrorBase* error : errors) error->Retain();
  for (VErrorBase* error : errors) {
    logger->LogErrorIfNecessary(error);
    error->Release();
  }
}

bool VErrorContext::DebugDisplay() const {
  VString dump;
  for (const VErrorBase* error : fErrors) error->DumpToString(dump);
  return !fErrors.empty();
}

VError VErrorContext::SaveToBag(VValueBag& bag) const {
  try {
    for (const VErrorBase* error : fErrors) {
      VRefPtr<VValueBag> errorBag(new VValueBag, kAdoptRef);
      const VError result = error->SaveToBag(*errorBag);
      if (result != VE_OK) return result;
      bag.AddElement(ErrorBagKeys::error, errorBag.Get());
    }
  } catch (const std::bad_alloc&) {
    return ToolboxError(toolbox_error::kMemoryFull);
  }
  return VE_OK;
}

VError VErrorContext::LoadFromBag(const VValueBag& bag) {
  VBagArray* saved = bag.GetElements(ErrorBagKeys::error);
  const int32 count = saved != nullptr ? saved->GetCount() : 0;
  try {
    for (int32 i = 1; i <= count; ++i) {
      const VValueBag* errorBag = saved->GetNth(i);
      if (errorBag == nullptr) continue;
      VRefPtr<VErrorBase> error(new VErrorBase, kAdoptRef);
      VError result = error->LoadFromBag(*errorBag);
      if (result == VE_OK && !_Append(error.Get(), nullptr))
        result = ToolboxError(toolbox_error::kMemoryFull);
      if (result != VE_OK) return result;
    }
  } catch (const std::bad_alloc&) {
    return ToolboxError(toolbox_error::kMemoryFull);
  }
  return VE_OK;
}

}  // namespace zeft
