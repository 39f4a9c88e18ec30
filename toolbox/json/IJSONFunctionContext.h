// IJSONFunctionContext is what a native JSON function talks to while it
// runs: its this object or array, its parameters, its result, and the
// class function running around it. The typed getters read one parameter
// of an expected kind and raise the class system's parameter errors.
#pragma once

#include <vector>

#include "core/VTypes.h"
#include "json/IJSONObject.h"
#include "json/VJSONValue.h"

namespace zeft {

class CDBNovuBaseContext;
class VDBLanguageContext;
class VJSONArray;
class VJSONClass;
class VJSONObject;

// The bytes of a Blob parameter, lent by the Blob for the call.
struct JSONBlobParam {
  bool fFound = false;
  const void* fData = nullptr;
  size_t fSize = 0;
};

class IJSONFunctionContext {
 public:
  virtual ~IJSONFunctionContext();

  virtual VJSONObject* GetThisObject() = 0;
  virtual VJSONArray* GetThisArray() = 0;
  virtual void SetResult(const VJSONValue& value, uint8 legacyKind) = 0;
  virtual void GetResult(VJSONValue& outValue) = 0;
  virtual uint8 GetResultLegacyValueKind() = 0;
  // Null when the parameters are not available as JSON values.
  virtual void GetParametersAsJSONValues(const std::vector<VJSONValue>*& outParameters) = 0;
  // The calling runtime's own parameter list; 1 when there is none.
  virtual EJSONStatus GetParameterList(void** outList, size_t* outCount, void** outExtra,
                                       bool* outFlag);
  virtual CDBNovuBaseContext* GetBaseContext() = 0;
  virtual VDBLanguageContext* GetLanguageContext() = 0;
  virtual size_t GetParamCount() = 0;
  // Parameter `index`, counted from 1; undefined out of range.
  virtual VJSONValue GetParam(size_t index) = 0;
  virtual JSONBlobParam GetBlobParam(size_t index, bool optional);
  virtual VJSONObject* GetScopeThisObject() = 0;
  virtual VJSONObject* GetScopeFunctionObject() = 0;

  // The class owning the running function object, or null.
  VJSONClass* GetScopeClass();

  double GetNumberParam(size_t index);
  // False without error for a missing parameter.
  bool GetNumberOptParam(size_t index, double& outNumber);
  // Saturated to the 32-bit range.
  int32 GetLongParam(size_t index);
  bool GetBoolParam(size_t index);
  VString GetStringParam(size_t index);
  VJSONObject* GetObjectParam(size_t index);  // retained
  VJSONArray* GetArrayParam(size_t index);    // retained

  // Cleared by every typed getter that does not find its kind.
  bool IsValid() const { return fValid; }

 protected:
  bool fValid = true;
};

}  // namespace zeft
