#include "json/VJSONAlter.h"

#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "values/VTime.h"

namespace zeft {

void VJSONAlter::_MakeObjIfNecessary(VJSONValue& value) {
  if (value.GetObject() == nullptr) value = VJSONValue(JSON_object);
}

void VJSONAlter::_Set(VJSONValue& value, const VString& name, const VJSONValue& property) {
  _MakeObjIfNecessary(value);
  value.GetObject()->SetPropertyWithPath(name, property, nullptr);
}

VJSONAlter::VJSONAlter(VJSONValue& value) { _MakeObjIfNecessary(value); }

VJSONAlter::VJSONAlter(VJSONValue& value, const VString& name) {
  if (VJSONObject* object = value.GetObject()) object->RemoveProperty(name);
}

VJSONAlter::VJSONAlter(VJSONValue& value, const VString& name, bool flag) {
  _Set(value, name, VJSONValue(flag ? JSON_true : JSON_false));
}

VJSONAlter::VJSONAlter(VJSONValue& value, const VString& name, int32 number) {
  _Set(value, name, VJSONValue(double(number)));
}

VJSONAlter::VJSONAlter(VJSONValue& value, const VString& name, double number) {
  _Set(value, name, VJSONValue(number));
}

VJSONAlter::VJSONAlter(VJSONValue& value, const VString& name, const VString& text) {
  _Set(value, name, VJSONValue(text));
}

VJSONAlter::VJSONAlter(VJSONValue& value, const VString& name, const char* text) {
  _Set(value, name, VJSONValue(VString(text)));
}

VJSONAlter::VJSONAlter(VJSONValue& value, const VString& name, const UniChar* text) {
  VString string;
  string.FromUniString(text, VString::UniCStringLength(text));
  _Set(value, name, VJSONValue(string));
}

VJSONAlter::VJSONAlter(VJSONValue& value, const VString& name, const VJSONValue& other) {
  _Set(value, name, other);
}

VJSONAlter::VJSONAlter(VJSONValue& value, const VString& name, const VTime& time) {
  VString text;
  time.GetJSONString(text, 0);
  _Set(value, name, VJSONValue(text));
}

VJSONAlter::VJSONAlter(VJSONValue& value, const VString& name, JSONType type,
                       VJSONArray** outArray) {
  const VJSONValue created(type);
  _Set(value, name, created);
  if (outArray != nullptr) *outArray = created.GetArray();
}

}  // namespace zeft
