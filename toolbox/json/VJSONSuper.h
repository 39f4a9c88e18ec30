// VJSONSuper is the implementation behind a "super" object: reading any
// of its properties gives a super member object (VJSONSuperMember) that
// calls the superclasses' implementation of that member.
#pragma once

#include "core/VObject.h"
#include "json/IJSONObject.h"

namespace zeft {

class VJSONSuper : public VObject, public IJSONObject {
 public:
  // A new "super" object with one reference.
  static VJSONObject* CreateObject();

  EJSONStatus IJSON_GetProperty(VJSONObject* object, const VString& name, VJSONValue& outValue,
                                VDBLanguageContext* context) override;
  EJSONStatus IJSON_SetProperty(VJSONObject* object, const VString& name, const VJSONValue& value,
                                VDBLanguageContext* context) override;
  EJSONStatus IJSON_RemoveProperty(VJSONObject* object, const VString& name) override;
  EJSONStatus IJSON_GetDescription(const VJSONObject* object, VString& outText) override;
  EJSONStatus IJSON_Clone(const VJSONObject* object, VJSONCloner& cloner, VJSONValue& outValue,
                          VError& outError) override;
};

}  // namespace zeft
