// IJSONClassRegistry is the hook through which the JSON class store gives
// objects their class: the default "Object" class object, and what an object
// asks of its class (functions, getters, setters, name, level, superclass,
// prototype). Until a store installs itself, objects have no class.
#pragma once

#include <vector>

#include "json/IJSONObject.h"

namespace zeft {

class VJSONClass;

class IJSONClassRegistry {
 public:
  virtual ~IJSONClassRegistry() = default;

  // The "Object" class object, retained, or null while there is none.
  virtual VJSONObject* RetainDefaultClassObject() = 0;
  // The implementation seen as a class, or null when it is not one.
  virtual VJSONClass* GetClass(IJSONObject* implementation) = 0;

  // The function object of that name, when the class has one.
  virtual bool GetFunction(VJSONClass* jsonClass, const VString& name, VJSONValue& out) = 0;
  virtual bool HasGetter(VJSONClass* jsonClass, const VString& name) = 0;
  virtual bool HasGetters(VJSONClass* jsonClass) = 0;
  virtual void GetGetterNames(VJSONClass* jsonClass, std::vector<VString>& names) = 0;
  // Call the getter or setter of that name on `object`; 1 when the class has none.
  virtual EJSONStatus CallGetter(VJSONClass* jsonClass, VJSONObject* object, const VString& name,
                                 VJSONValue& out, VDBLanguageContext* context) = 0;
  virtual EJSONStatus CallSetter(VJSONClass* jsonClass, VJSONObject* object, const VString& name,
                                 const VJSONValue& value, VDBLanguageContext* context) = 0;

  virtual void GetName(VJSONClass* jsonClass, VString& name) = 0;
  virtual uint32 GetLevel(VJSONClass* jsonClass) = 0;
  virtual VJSONClass* GetSuperclass(VJSONClass* jsonClass) = 0;
  virtual VJSONObject* GetPrototype(VJSONClass* jsonClass) = 0;
};

}  // namespace zeft
