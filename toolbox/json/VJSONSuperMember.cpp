#include "json/VJSONSuperMember.h"

#include "json/IJSONFunctionContext.h"
#include "json/JSONClassError.h"
#include "json/VJSONClass.h"
#include "json/VJSONFunctionContext.h"
#include "json/VJSONObject.h"

namespace zeft {

namespace {

EJSONStatus Fail(int32 number) {
  ThrowJSONClassError(number);
  return EJSON_error;
}

}  // namespace

VJSONObject* VJSONSuperMember::CreateObject(const VString& name) {
  auto* implementation = new VJSONSuperMember(name);
  auto* object = new VJSONObject(nullptr, implementation, nullptr, false);
  implementation->Release();
  return object;
}

EJSONStatus VJSONSuperMember::IJSON_SetProperty(VJSONObject*, const VString&, const VJSONValue&,
                                                VDBLanguageContext*) {
  return Fail(json_error::kReadOnlyObject);
}

EJSONStatus VJSONSuperMember::IJSON_RemoveProperty(VJSONObject*, const VString&) {
  return Fail(json_error::kReadOnlyObject);
}

EJSONStatus VJSONSuperMember::IJSON_GetDescription(const VJSONObject*, VString& outText) {
  outText.FromCString("<<Super member: ");
  outText.AppendString(fName);
  outText.AppendCString(">>");
  return EJSON_ok;
}

EJSONStatus VJSONSuperMember::IJSON_Clone(const VJSONObject*, VJSONCloner&, VJSONValue& outValue,
                                          VError&) {
  VJSONObject* copy = CreateObject(fName);
  outValue.SetObject(copy);
  copy->Release();
  return EJSON_ok;
}

EJSONStatus VJSONSuperMember::IJSON_CallAsFunction(VJSONObject*, IJSONFunctionContext* context) {
  VJSONClass* scope = context->GetScopeClass();
  if (scope == nullptr) return Fail(json_error::kNoRunningClassFunction);
  VJSONValue member(JSON_undefined);
  for (VJSONClass* current = scope->GetSuperclass();
       current != nullptr && current->GetPrototype() != nullptr && member.IsUndefined();
       current = current->GetSuperclass()) {
    member = current->GetPrototype()->GetProperty(fName);
  }
  if (member.IsUndefined()) return Fail(json_error::kNotCallable);
  VJSONObject* function = member.GetObject();
  if (function == nullptr || function->GetImplementation() == nullptr) {
    return Fail(json_error::kSuperMemberNotFunction);
  }
  VJSONFunctionContext layered(context->GetScopeThisObject(), nullptr, context);
  return function->GetImplementation()->IJSON_CallAsFunction(function, &layered);
}

}  // namespace zeft
