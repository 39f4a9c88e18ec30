// VJSONObjectFactory maps the 32-bit signatures of native payloads in the
// binary JSON form to the routines that rebuild their implementations.
#pragma once

#include <map>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

class IJSONObject;
class VJSONObject;

// Returns the implementation for `object` (one reference) and may set its
// class object; null on failure (with *error set when given).
using JSONObjectCreator = IJSONObject* (*)(VJSONObject* object, uint32 signature, const void* data,
                                           size_t size, VRefPtr<VJSONObject>& classObject,
                                           VError* error);

class VJSONObjectFactory : public VObject {
 public:
  // The process's factory, made on first use with the "Blob" signature.
  static VJSONObjectFactory& Get();

  void RegisterSignature(uint32 signature, JSONObjectCreator creator);
  void UnRegisterSignature(uint32 signature);
  bool IsSignatureSupported(uint32 signature);
  // The creator's result, or null for an unregistered signature.
  IJSONObject* CreateForSignature(VJSONObject* object, uint32 signature, const void* data,
                                  size_t size, VRefPtr<VJSONObject>& classObject, VError* error);

 private:
  VJSONObjectFactory();

  VCriticalSection fLock;
  std::map<uint32, JSONObjectCreator> fCreators;
};

}  // namespace zeft
