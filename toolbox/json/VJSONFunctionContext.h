// VJSONFunctionContext is the calling context the toolbox builds for a
// native JSON function: stand-alone, holding its parameters and result, or
// layered on the caller's context, whose parameters, result and running
// scope it shares while it brings its own this object.
#pragma once

#include <vector>

#include "core/VObject.h"
#include "json/IJSONFunctionContext.h"

namespace zeft {

class VJSONFunctionContext : public VObject, public IJSONFunctionContext {
 public:
  // Layered on `baseContext`, which must be given.
  VJSONFunctionContext(VJSONObject* thisObject, VJSONArray* thisArray,
                       IJSONFunctionContext* baseContext);
  // Stand-alone, over a parameter vector (null: none) that the caller keeps.
  VJSONFunctionContext(VJSONObject* thisObject, VJSONArray* thisArray,
                       const std::vector<VJSONValue>* parameters,
                       CDBNovuBaseContext* baseContextHandle, VDBLanguageContext* languageContext);

  VJSONObject* GetThisObject() override { return fThisObject; }
  VJSONArray* GetThisArray() override { return fThisArray; }
  void SetResult(const VJSONValue& value, uint8 legacyKind) override;
  void GetResult(VJSONValue& outValue) override;
  uint8 GetResultLegacyValueKind() override { return fLegacyKind; }
  void GetParametersAsJSONValues(const std::vector<VJSONValue>*& outParameters) override;
  EJSONStatus GetParameterList(void** outList, size_t* outCount, void** outExtra,
                               bool* outFlag) override;
  CDBNovuBaseContext* GetBaseContext() override { return fBaseContextHandle; }
  VDBLanguageContext* GetLanguageContext() override { return fLanguageContext; }
  size_t GetParamCount() override;
  VJSONValue GetParam(size_t index) override;
  VJSONObject* GetScopeThisObject() override;
  VJSONObject* GetScopeFunctionObject() override;

 private:
  VJSONObject* fThisObject;
  VJSONArray* fThisArray;
  const std::vector<VJSONValue>* fParameters = nullptr;
  VJSONValue fResult;
  uint8 fLegacyKind = 5;
  CDBNovuBaseContext* fBaseContextHandle = nullptr;
  VDBLanguageContext* fLanguageContext = nullptr;
  IJSONFunctionContext* fBase = nullptr;
};

}  // namespace zeft
