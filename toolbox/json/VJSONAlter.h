// VJSONAlter is a family of one-shot constructors that set (or remove) one
// property of a JSON value, turning the value into an object first when it
// is not one. Names may be paths (VJSONObject::SetPropertyWithPath).
#pragma once

#include "core/VObject.h"
#include "core/VString.h"
#include "json/VJSONValue.h"

namespace zeft {

class VJSONArray;
class VTime;

class VJSONAlter : public VObject {
 public:
  // Makes the value an object.
  explicit VJSONAlter(VJSONValue& value);
  // Removes the property when the value is an object.
  VJSONAlter(VJSONValue& value, const VString& name);
  VJSONAlter(VJSONValue& value, const VString& name, bool flag);
  VJSONAlter(VJSONValue& value, const VString& name, int32 number);
  VJSONAlter(VJSONValue& value, const VString& name, double number);
  VJSONAlter(VJSONValue& value, const VString& name, const VString& text);
  VJSONAlter(VJSONValue& value, const VString& name, const char* text);
  VJSONAlter(VJSONValue& value, const VString& name, const UniChar* text);
  VJSONAlter(VJSONValue& value, const VString& name, const VJSONValue& other);
  // The time's JSON text as a string (not a date value).
  VJSONAlter(VJSONValue& value, const VString& name, const VTime& time);
  // A new value of the kind; `outArray` (optional) gets the new array, lent.
  VJSONAlter(VJSONValue& value, const VString& name, JSONType type, VJSONArray** outArray);

  static void _MakeObjIfNecessary(VJSONValue& value);

 private:
  static void _Set(VJSONValue& value, const VString& name, const VJSONValue& property);
};

}  // namespace zeft
