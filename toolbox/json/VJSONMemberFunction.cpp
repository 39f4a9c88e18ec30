#include "json/VJSONMemberFunction.h"

#include "json/JSONClassError.h"
#include "json/VJSONArray.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONCloner.h"
#include "json/VJSONFunctionContext.h"
#include "json/VJSONUser.h"

namespace zeft {

namespace {

const VString kDescriptionName("_description");

EJSONStatus RefuseChange() {
  ThrowJSONClassError(json_error::kReadOnlyProperty);
  return EJSON_error;
}

VJSONObject* FunctionClassObject() {
  VJSONClassStore* store = VJSONClassStore::GetProcessStore();
  return store != nullptr ? store->GetFunctionClassObject() : nullptr;
}

// Calls `function` with a stand-alone context and hands its result to `caller`.
EJSONStatus CallWith(VJSONObject* function, const VJSONValue& thisValue,
                     const std::vector<VJSONValue>& parameters, IJSONFunctionContext* caller) {
  VJSONFunctionContext alone(thisValue.GetObject(), thisValue.GetArray(), &parameters,
                             caller->GetBaseContext(), caller->GetLanguageContext());
  const EJSONStatus status = function->GetImplementation()->IJSON_CallAsFunction(function, &alone);
  VJSONValue result;
  alone.GetResult(result);
  caller->SetResult(result, alone.GetResultLegacyValueKind());
  return status;
}

}  // namespace

VJSONObject* VJSONMemberFunction::CreateNamed(JSONFunctionRoutine routine, const VString& name,
                                              VJSONClass* ownerClass, uint32 flags) {
  auto* implementation = new VJSONMemberFunction(routine, name, ownerClass);
  auto* function = new VJSONObject(FunctionClassObject(), implementation, true);
  implementation->Release();
  if ((flags & 1) != 0) {
    VJSONUser user(function);
    function->SetOwnProperty(VJSONClass::sFunctionProperty_final, VJSONValue(JSON_true));
  }
  return function;
}

VJSONObject* VJSONMemberFunction::Create(JSONFunctionRoutine routine, const VString& functionName,
                                         VJSONClass* ownerClass, uint32 flags) {
  VString name;
  if (ownerClass != nullptr) name = ownerClass->GetName();
  name.AppendUniChar(u'.');
  name.AppendString(functionName);
  return CreateNamed(routine, name, ownerClass, flags);
}

EJSONStatus VJSONMemberFunction::do_call(const VJSONObject*, IJSONFunctionContext* context) {
  VJSONObject* function = context->GetThisObject();
  if (function == nullptr || function->GetImplementation() == nullptr) {
    ThrowJSONClassError(json_error::kNotCallable);
    return EJSON_error;
  }
  const std::vector<VJSONValue>* parameters = nullptr;
  context->GetParametersAsJSONValues(parameters);
  EJSONStatus status;
  if (parameters != nullptr && !parameters->empty()) {
    const std::vector<VJSONValue> rest(parameters->begin() + 1, parameters->end());
    status = CallWith(function, (*parameters)[0], rest, context);
  } else {
    VJSONFunctionContext layered(nullptr, nullptr, context);
    status = function->GetImplementation()->IJSON_CallAsFunction(function, &layered);
  }
  if (status == EJSON_unhandled) ThrowJSONClassError(json_error::kNotCallable);
  return status;
}

EJSONStatus VJSONMemberFunction::do_apply(const VJSONObject*, IJSONFunctionContext* context) {
  VJSONObject* function = context->GetThisObject();
  if (function == nullptr || function->GetImplementation() == nullptr) {
    ThrowJSONClassError(json_error::kNotCallable);
    context->SetResult(VJSONValue(JSON_undefined), 5);
    return EJSON_error;
  }
  std::vector<VJSONValue> parameters;
  if (const VJSONValue list = context->GetParam(2); list.GetArray() != nullptr) {
    list.GetArray()->GetValues(parameters);
  }
  const EJSONStatus status = CallWith(function, context->GetParam(1), parameters, context);
  if (status == EJSON_unhandled) ThrowJSONClassError(json_error::kNotCallable);
  return status;
}

bool IsObjectAFormula(const VJSONObject* object) {
  VJSONObject* function = FunctionClassObject();
  return object != nullptr && function != nullptr && object->IsInstanceOf(function);
}

bool IsObjectAFormula(const VJSONValue& value) { return IsObjectAFormula(value.GetObject()); }

// ---------------------------------------------------------------------------
// Function object operations

EJSONStatus VJSONMemberFunction::IJSON_GetProperty(VJSONObject*, const VString& name,
                                                   VJSONValue& outValue, VDBLanguageContext*) {
  if (!name.EqualToStringRaw(kDescriptionName)) return EJSON_unhandled;
  outValue.SetString(fName);
  return EJSON_ok;
}

EJSONStatus VJSONMemberFunction::IJSON_SetProperty(VJSONObject*, const VString&, const VJSONValue&,
                                                   VDBLanguageContext*) {
  return RefuseChange();
}

EJSONStatus VJSONMemberFunction::IJSON_RemoveProperty(VJSONObject*, const VString&) {
  return RefuseChange();
}

EJSONStatus VJSONMemberFunction::IJSON_GetDescription(const VJSONObject*, VString& outText) {
  outText.FromCString("<<Native Function: ");
  outText.AppendString(fName);
  outText.AppendCString(" >>");
  return EJSON_ok;
}

EJSONStatus VJSONMemberFunction::IJSON_Stringify(const VJSONObject* object, VJSONWriter&,
                                                 VString& outText, VError& outError) {
  IJSON_GetDescription(object, outText);
  outError = VE_OK;
  return EJSON_ok;
}

EJSONStatus VJSONMemberFunction::IJSON_Clone(const VJSONObject* object, VJSONCloner& cloner,
                                             VJSONValue& outValue, VError& outError) {
  auto* implementation = new VJSONMemberFunction(fRoutine, fName, nullptr);
  auto* copy = new VJSONObject(FunctionClassObject(), implementation,
                               cloner.GetMode() == VJSONCloner::kCopyIntoLocker);
  implementation->Release();
  outValue.SetObject(copy);
  copy->Release();
  VJSONUser user(copy);
  outError = object->CloneProperties(cloner, copy);
  return outError == VE_OK ? EJSON_ok : EJSON_error;
}

EJSONStatus VJSONMemberFunction::IJSON_CallAsFunction(VJSONObject* object,
                                                      IJSONFunctionContext* context) {
  return fRoutine != nullptr ? fRoutine(object, context) : EJSON_unhandled;
}

VJSONClass* VJSONMemberFunction::IJSON_GetFunctionClassOwner(const VJSONObject*) {
  return fOwnerClass;
}

EJSONStatus VJSONMemberFunction::IJSON_Clear(VJSONObject*) { return EJSON_ok; }

bool VJSONMemberFunction::IJSON_IsEmpty(const VJSONObject*) { return false; }

}  // namespace zeft
