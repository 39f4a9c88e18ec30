#include "json/IJSONObject.h"

#include "json/JSONToolboxError.h"
#include "json/VJSONValue.h"

namespace zeft {

IJSONObject::~IJSONObject() = default;

EJSONStatus IJSONObject::IJSON_GetProperty(VJSONObject*, const VString&, VJSONValue&,
                                           VDBLanguageContext*) {
  return EJSON_unhandled;
}
EJSONStatus IJSONObject::IJSON_BeginChangeProperties() { return EJSON_unhandled; }
EJSONStatus IJSONObject::IJSON_EndChangeProperties() { return EJSON_unhandled; }
EJSONStatus IJSONObject::IJSON_SetProperty(VJSONObject*, const VString&, const VJSONValue&,
                                           VDBLanguageContext*) {
  return EJSON_unhandled;
}
EJSONStatus IJSONObject::IJSON_RemoveProperty(VJSONObject*, const VString&) {
  return EJSON_unhandled;
}
EJSONStatus IJSONObject::IJSON_Clear(VJSONObject*) { return EJSON_unhandled; }
bool IJSONObject::IJSON_IsEmpty(const VJSONObject*) {
  std::vector<VString> names;
  IJSON_GetPropertyNames(names);
  return names.empty();
}
EJSONStatus IJSONObject::IJSON_Stringify(const VJSONObject*, VJSONWriter&, VString&, VError&) {
  return EJSON_unhandled;
}
EJSONStatus IJSONObject::IJSON_Clone(const VJSONObject*, VJSONCloner&, VJSONValue&, VError&) {
  return EJSON_unhandled;
}
uint32 IJSONObject::IJSON_GetBinarySignature() { return 0; }
void IJSONObject::IJSON_GetValueToWriteToBuffer(VJSONValue&) {}
EJSONStatus IJSONObject::IJSON_WriteToBuffer(VMemoryBuffer<>&, VError& outError) {
  outError = ThrowJSONToolboxError(json_error::kNoBinaryForm);
  return EJSON_error;
}
EJSONStatus IJSONObject::IJSON_GetPropertyNames(std::vector<VString>&) { return EJSON_unhandled; }
VValueSingle* IJSONObject::IJSON_CreateVValue() { return nullptr; }
EJSONStatus IJSONObject::IJSON_GetPropertyStamp(const VString&, uint32&) { return EJSON_unhandled; }
EJSONStatus IJSONObject::IJSON_TouchPropertyStamp(const VString&) { return EJSON_unhandled; }
EJSONStatus IJSONObject::IJSON_GetDescription(const VJSONObject*, VString&) {
  return EJSON_unhandled;
}
EJSONStatus IJSONObject::IJSON_GetPropertyByIndex(const VJSONObject*, uint64, VJSONValue&) {
  return EJSON_unhandled;
}
EJSONStatus IJSONObject::IJSON_GetCountPropertiesByIndex(const VJSONObject*, uint64&) {
  return EJSON_unhandled;
}
VObject* IJSONObject::IJSON_MakeIterator(const VJSONObject*, uint64, uint64, bool) {
  return nullptr;
}
EJSONStatus IJSONObject::IJSON_GetClassName(const VJSONObject*, VString&) {
  return EJSON_unhandled;
}
EJSONStatus IJSONObject::IJSON_DeepEqualTo(const VJSONObject*, const VJSONObject*, bool*) {
  return EJSON_unhandled;
}
bool IJSONObject::IJSON_IsSharable(const VJSONObject*, bool* outMove) {
  if (outMove != nullptr) *outMove = false;
  return false;
}
EJSONStatus IJSONObject::IJSON_CallAsFunction(VJSONObject*, IJSONFunctionContext*) {
  return EJSON_unhandled;
}
VJSONClass* IJSONObject::IJSON_GetFunctionClassOwner(const VJSONObject*) { return nullptr; }
EJSONStatus IJSONObject::IJSON_SetJSONStamp(VJSONStamp*) { return EJSON_unhandled; }
void IJSONObject::IJSON_DoConnectDependencies(VJSONObject*) {}
void IJSONObject::IJSON_DoDisconnectDependencies(VJSONObject*) {}

}  // namespace zeft
