// Shortcuts of the class-system tests: a calling context that reports a
// running class function (as a calling runtime does), class building from
// plain routines, and calls of function objects.
#pragma once

#include <vector>

#include "json/VJSONClass.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONFunctionContext.h"
#include "json/VJSONObject.h"

namespace zeft::test {

// A stand-alone context that runs inside `scopeFunction` called on `scopeThis`.
class ScopedContext : public VJSONFunctionContext {
 public:
  ScopedContext(VJSONObject* thisObject, VJSONObject* scopeFunction, VJSONObject* scopeThis,
                const std::vector<VJSONValue>* parameters = nullptr)
      : VJSONFunctionContext(thisObject, nullptr, parameters, nullptr, nullptr),
        fScopeFunction(scopeFunction),
        fScopeThis(scopeThis) {}
  VJSONObject* GetScopeThisObject() override { return fScopeThis; }
  VJSONObject* GetScopeFunctionObject() override { return fScopeFunction; }

 private:
  VJSONObject* fScopeFunction;
  VJSONObject* fScopeThis;
};

// An error of the class system's component.
inline VError ClassError(int32 number) { return MakeVError(kComponentJSONClasses, number); }

inline VJSONClassStore& Store() { return *VJSONClassStore::GetProcessStore(); }

// A sealed class object (one reference adopted by the holder).
inline VRefPtr<VJSONObject> MakeClass(const char* name, std::vector<FunctionDescriptor> functions,
                                      VJSONObject* superclass = nullptr,
                                      JSONFunctionRoutine constructor = nullptr, uint32 flags = 0) {
  return VRefPtr<VJSONObject>(
      VJSONClass::Create(VString(name), functions, superclass, constructor,
                         &VJSONClass::GenericInstantiator, VString(), flags),
      kAdoptRef);
}

inline VRefPtr<VJSONObject> NewInstance(VJSONObject* classObject,
                                        IJSONFunctionContext* context = nullptr) {
  return VRefPtr<VJSONObject>(VJSONClass::CreateInstance(classObject, context), kAdoptRef);
}

// Calls `function` with this object and parameters; the status and result.
inline EJSONStatus Call(const VJSONValue& function, VJSONObject* thisObject,
                        std::vector<VJSONValue> parameters, VJSONValue* result = nullptr) {
  VJSONValue out;
  const EJSONStatus status = function.GetObject()->CallAsFunction(
      thisObject, nullptr, parameters.empty() ? nullptr : &parameters, out, nullptr, nullptr);
  if (result != nullptr) *result = out;
  return status;
}

}  // namespace zeft::test
