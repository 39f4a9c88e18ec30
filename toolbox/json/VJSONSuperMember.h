// VJSONSuperMember is the implementation behind a "super" member object:
// called from a class function, it runs the nearest superclass's member
// of its name with the running function's this object.
#pragma once

#include "core/VObject.h"
#include "core/VString.h"
#include "json/IJSONObject.h"

namespace zeft {

class VJSONSuperMember : public VObject, public IJSONObject {
 public:
  // A new member object for `name`, with one reference.
  static VJSONObject* CreateObject(const VString& name);

  const VString& GetMemberName() const { return fName; }

  EJSONStatus IJSON_SetProperty(VJSONObject* object, const VString& name, const VJSONValue& value,
                                VDBLanguageContext* context) override;
  EJSONStatus IJSON_RemoveProperty(VJSONObject* object, const VString& name) override;
  EJSONStatus IJSON_GetDescription(const VJSONObject* object, VString& outText) override;
  EJSONStatus IJSON_Clone(const VJSONObject* object, VJSONCloner& cloner, VJSONValue& outValue,
                          VError& outError) override;
  EJSONStatus IJSON_CallAsFunction(VJSONObject* object, IJSONFunctionContext* context) override;

 private:
  explicit VJSONSuperMember(const VString& name) : fName(name) {}

  VString fName;
};

}  // namespace zeft
