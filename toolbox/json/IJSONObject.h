// IJSONObject is the interface of native implementations behind JSON
// objects: each operation may answer a request before the object's own
// property store does (status 0), let the object go on (1) or fail (2).
#pragma once

#include <vector>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VMemoryBuffer.h"
#include "core/VTypes.h"

namespace zeft {

class IJSONFunctionContext;
class VDBLanguageContext;
class VJSONClass;
class VJSONCloner;
class VJSONObject;
class VJSONStamp;
class VJSONValue;
class VJSONWriter;
class VObject;
class VString;
class VValueSingle;

enum EJSONStatus : int32 {
  EJSON_ok = 0,         // handled
  EJSON_unhandled = 1,  // not handled: the object goes on with its standard behaviour
  EJSON_error = 2       // failed; an error has been raised
};

class IJSONObject : public IRefCountable {
 public:
  ~IJSONObject() override;

  virtual EJSONStatus IJSON_GetProperty(VJSONObject* object, const VString& name,
                                        VJSONValue& outValue, VDBLanguageContext* context);
  virtual EJSONStatus IJSON_BeginChangeProperties();
  virtual EJSONStatus IJSON_EndChangeProperties();
  virtual EJSONStatus IJSON_SetProperty(VJSONObject* object, const VString& name,
                                        const VJSONValue& value, VDBLanguageContext* context);
  virtual EJSONStatus IJSON_RemoveProperty(VJSONObject* object, const VString& name);
  virtual EJSONStatus IJSON_Clear(VJSONObject* object);
  virtual bool IJSON_IsEmpty(const VJSONObject* object);
  virtual EJSONStatus IJSON_Stringify(const VJSONObject* object, VJSONWriter& writer,
                                      VString& outText, VError& outError);
  virtual EJSONStatus IJSON_Clone(const VJSONObject* object, VJSONCloner& cloner,
                                  VJSONValue& outValue, VError& outError);
  virtual uint32 IJSON_GetBinarySignature();
  virtual void IJSON_GetValueToWriteToBuffer(VJSONValue& outValue);
  virtual EJSONStatus IJSON_WriteToBuffer(VMemoryBuffer<>& buffer, VError& outError);
  virtual EJSONStatus IJSON_GetPropertyNames(std::vector<VString>& outNames);
  virtual VValueSingle* IJSON_CreateVValue();
  virtual EJSONStatus IJSON_GetPropertyStamp(const VString& name, uint32& outStamp);
  virtual EJSONStatus IJSON_TouchPropertyStamp(const VString& name);
  virtual EJSONStatus IJSON_GetDescription(const VJSONObject* object, VString& outText);
  virtual EJSONStatus IJSON_GetPropertyByIndex(const VJSONObject* object, uint64 index,
                                               VJSONValue& outValue);
  virtual EJSONStatus IJSON_GetCountPropertiesByIndex(const VJSONObject* object, uint64& outCount);
  virtual VObject* IJSON_MakeIterator(const VJSONObject* object, uint64 first, uint64 second,
                                      bool flag);
  virtual EJSONStatus IJSON_GetClassName(const VJSONObject* object, VString& outName);
  virtual EJSONStatus IJSON_DeepEqualTo(const VJSONObject* object, const VJSONObject* other,
                                        bool* outEqual);
  // Whether objects of this implementation may be referred to from shared
  // objects without moving into the sharer's storage locker; *outMove, when
  // set, asks for the move all the same.
  virtual bool IJSON_IsSharable(const VJSONObject* object, bool* outMove);
  virtual EJSONStatus IJSON_CallAsFunction(VJSONObject* object, IJSONFunctionContext* context);
  virtual VJSONClass* IJSON_GetFunctionClassOwner(const VJSONObject* object);
  virtual EJSONStatus IJSON_SetJSONStamp(VJSONStamp* stamp);
  virtual void IJSON_DoConnectDependencies(VJSONObject* object);
  virtual void IJSON_DoDisconnectDependencies(VJSONObject* object);
};

}  // namespace zeft
