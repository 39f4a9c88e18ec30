// VJSONMemberFunction is the native implementation of a function object: a
// routine of the program bound to its name and to the class that owns it.
// "call" and "apply", the functions of the root class "Function", call
// another function object with a chosen this object.
#pragma once

#include "core/VObject.h"
#include "core/VString.h"
#include "json/IJSONObject.h"
#include "json/VJSONClass.h"

namespace zeft {

class VJSONMemberFunction : public VObject, public IJSONObject {
 public:
  // A new function object (class "Function", own storage locker) with one
  // reference, named "<owner class>.<function name>". Flag bit 0: final.
  static VJSONObject* Create(JSONFunctionRoutine routine, const VString& functionName,
                             VJSONClass* ownerClass, uint32 flags);
  // The same under a name taken as it is (constructors are "constructor").
  static VJSONObject* CreateNamed(JSONFunctionRoutine routine, const VString& name,
                                  VJSONClass* ownerClass, uint32 flags);

  const VString& GetName() const { return fName; }
  JSONFunctionRoutine GetRoutine() const { return fRoutine; }

  static EJSONStatus do_call(const VJSONObject* functionObject, IJSONFunctionContext* context);
  static EJSONStatus do_apply(const VJSONObject* functionObject, IJSONFunctionContext* context);

  EJSONStatus IJSON_GetProperty(VJSONObject* object, const VString& name, VJSONValue& outValue,
                                VDBLanguageContext* context) override;
  EJSONStatus IJSON_SetProperty(VJSONObject* object, const VString& name, const VJSONValue& value,
                                VDBLanguageContext* context) override;
  EJSONStatus IJSON_RemoveProperty(VJSONObject* object, const VString& name) override;
  EJSONStatus IJSON_GetDescription(const VJSONObject* object, VString& outText) override;
  EJSONStatus IJSON_Stringify(const VJSONObject* object, VJSONWriter& writer, VString& outText,
                              VError& outError) override;
  EJSONStatus IJSON_Clone(const VJSONObject* object, VJSONCloner& cloner, VJSONValue& outValue,
                          VError& outError) override;
  EJSONStatus IJSON_CallAsFunction(VJSONObject* object, IJSONFunctionContext* context) override;
  VJSONClass* IJSON_GetFunctionClassOwner(const VJSONObject* object) override;
  EJSONStatus IJSON_Clear(VJSONObject* object) override;
  bool IJSON_IsEmpty(const VJSONObject* object) override;

 private:
  VJSONMemberFunction(JSONFunctionRoutine routine, const VString& name, VJSONClass* ownerClass)
      : fRoutine(routine), fName(name), fOwnerClass(ownerClass) {}

  JSONFunctionRoutine fRoutine;
  VString fName;
  VJSONClass* fOwnerClass;
};

// Whether the object is a function object (an instance of "Function").
bool IsObjectAFormula(const VJSONObject* object);
bool IsObjectAFormula(const VJSONValue& value);

}  // namespace zeft
