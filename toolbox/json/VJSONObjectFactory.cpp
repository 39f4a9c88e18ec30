#include "json/VJSONObjectFactory.h"

#include "json/VJSONBlob.h"

namespace zeft {

VJSONObjectFactory::VJSONObjectFactory() {
  fCreators.emplace(VJSONBlob::kSignature, &VJSONBlob::CreateIJSONObject);
}

VJSONObjectFactory& VJSONObjectFactory::Get() {
  static VJSONObjectFactory sFactory;
  return sFactory;
}

void VJSONObjectFactory::RegisterSignature(uint32 signature, JSONObjectCreator creator) {
  StLocker<VCriticalSection> guard(fLock);
  fCreators[signature] = creator;
}

void VJSONObjectFactory::UnRegisterSignature(uint32 signature) {
  StLocker<VCriticalSection> guard(fLock);
  fCreators.erase(signature);
}

bool VJSONObjectFactory::IsSignatureSupported(uint32 signature) {
  StLocker<VCriticalSection> guard(fLock);
  return fCreators.find(signature) != fCreators.end();
}

IJSONObject* VJSONObjectFactory::CreateForSignature(VJSONObject* object, uint32 signature,
                                                    const void* data, size_t size,
                                                    VRefPtr<VJSONObject>& classObject,
                                                    VError* error) {
  JSONObjectCreator creator = nullptr;
  {
    StLocker<VCriticalSection> guard(fLock);
    auto found = fCreators.find(signature);
    if (found != fCreators.end()) creator = found->second;
  }
  // The creator runs outside the lock.
  return creator != nullptr ? creator(object, signature, data, size, classObject, error) : nullptr;
}

}  // namespace zeft
