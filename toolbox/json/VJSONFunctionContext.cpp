#include "json/VJSONFunctionContext.h"

namespace zeft {

VJSONFunctionContext::VJSONFunctionContext(VJSONObject* thisObject, VJSONArray* thisArray,
                                           IJSONFunctionContext* baseContext)
    : fThisObject(thisObject), fThisArray(thisArray), fBase(baseContext) {
  fBaseContextHandle = fBase->GetBaseContext();
  fLanguageContext = fBase->GetLanguageContext();
}

VJSONFunctionContext::VJSONFunctionContext(VJSONObject* thisObject, VJSONArray* thisArray,
                                           const std::vector<VJSONValue>* parameters,
                                           CDBNovuBaseContext* baseContextHandle,
                                           VDBLanguageContext* languageContext)
    : fThisObject(thisObject),
      fThisArray(thisArray),
      fParameters(parameters),
      fBaseContextHandle(baseContextHandle),
      fLanguageContext(languageContext) {}

void VJSONFunctionContext::SetResult(const VJSONValue& value, uint8 legacyKind) {
  if (fBase != nullptr) {
    fBase->SetResult(value, 5);
    return;
  }
  fResult = value;
  fLegacyKind = legacyKind;
}

void VJSONFunctionContext::GetResult(VJSONValue& outValue) {
  if (fBase != nullptr) {
    fBase->GetResult(outValue);
  } else {
    outValue = fResult;
  }
}

void VJSONFunctionContext::GetParametersAsJSONValues(
    const std::vector<VJSONValue>*& outParameters) {
  if (fBase != nullptr) {
    fBase->GetParametersAsJSONValues(outParameters);
  } else {
    outParameters = fParameters;
  }
}

EJSONStatus VJSONFunctionContext::GetParameterList(void** outList, size_t* outCount,
                                                   void** outExtra, bool* outFlag) {
  if (fBase != nullptr) return fBase->GetParameterList(outList, outCount, outExtra, outFlag);
  return EJSON_unhandled;
}

size_t VJSONFunctionContext::GetParamCount() {
  if (fBase != nullptr) return fBase->GetParamCount();
  return fParameters != nullptr ? fParameters->size() : 0;
}

VJSONValue VJSONFunctionContext::GetParam(size_t index) {
  if (fBase != nullptr) return fBase->GetParam(index);
  if (fParameters == nullptr || index < 1 || index > fParameters->size()) {
    return VJSONValue(JSON_undefined);
  }
  return (*fParameters)[index - 1];
}

VJSONObject* VJSONFunctionContext::GetScopeThisObject() {
  return fBase != nullptr ? fBase->GetScopeThisObject() : nullptr;
}

VJSONObject* VJSONFunctionContext::GetScopeFunctionObject() {
  return fBase != nullptr ? fBase->GetScopeFunctionObject() : nullptr;
}

}  // namespace zeft
