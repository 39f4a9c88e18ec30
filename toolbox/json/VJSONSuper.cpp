#include "json/VJSONSuper.h"

#include "json/JSONClassError.h"
#include "json/VJSONObject.h"
#include "json/VJSONSuperMember.h"

namespace zeft {

VJSONObject* VJSONSuper::CreateObject() {
  auto* implementation = new VJSONSuper();
  auto* object = new VJSONObject(nullptr, implementation, nullptr, false);
  implementation->Release();
  return object;
}

EJSONStatus VJSONSuper::IJSON_GetProperty(VJSONObject*, const VString& name, VJSONValue& outValue,
                                          VDBLanguageContext*) {
  VJSONObject* member = VJSONSuperMember::CreateObject(name);
  outValue.SetObject(member);
  member->Release();
  return EJSON_ok;
}

EJSONStatus VJSONSuper::IJSON_SetProperty(VJSONObject*, const VString&, const VJSONValue&,
                                          VDBLanguageContext*) {
  ThrowJSONClassError(json_error::kReadOnlyObject);
  return EJSON_error;
}

EJSONStatus VJSONSuper::IJSON_RemoveProperty(VJSONObject*, const VString&) {
  ThrowJSONClassError(json_error::kReadOnlyObject);
  return EJSON_error;
}

EJSONStatus VJSONSuper::IJSON_GetDescription(const VJSONObject*, VString& outText) {
  outText.FromCString("<<Super>>");
  return EJSON_ok;
}

EJSONStatus VJSONSuper::IJSON_Clone(const VJSONObject*, VJSONCloner&, VJSONValue& outValue,
                                    VError&) {
  VJSONObject* copy = CreateObject();
  outValue.SetObject(copy);
  copy->Release();
  return EJSON_ok;
}

}  // namespace zeft
