// VJSONBlob is the native implementation behind JSON objects of the class
// "Blob": an immutable run of bytes. It shows the property "size", gives
// its bytes by index, slices without copying (slices share one buffer),
// writes itself into the binary JSON form and is shared, not copied, when
// a value graph is cloned.
#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "json/IJSONObject.h"

namespace zeft {

class IJSONFunctionContext;

class VJSONBlob : public VObject, public IJSONObject {
 public:
  // "JBlb", the blob's signature in the binary form.
  static constexpr uint32 kSignature = 0x4A426C62;

  // "size", the one property name of a Blob object.
  static const VString key_size;
  // The "Blob" class object (lent), added to the class store on first use.
  static VJSONObject* GetClass();
  // A new Blob object holding a copy of the bytes (one reference); null
  // with error 100 when the bytes cannot be allocated.
  static VJSONObject* Create(const void* data, size_t size);
  static VJSONBlob* CastJSONObject(const VJSONObject* object);
  static VJSONBlob* GetThis(IJSONFunctionContext* context);
  // The binary importer's creator for "JBlb".
  static IJSONObject* CreateIJSONObject(VJSONObject* object, uint32 signature, const void* data,
                                        size_t size, VRefPtr<VJSONObject>& classObject,
                                        VError* error);
  static VJSONObject* do_instantiate(VJSONObject* classObject, IJSONFunctionContext* context);
  static EJSONStatus do_slice(const VJSONObject* functionObject, IJSONFunctionContext* context);

  // Shares `buffer` (may be null for an empty blob) between the offsets.
  VJSONBlob(SharedBuffer* buffer, size_t start, size_t end);

  // A new Blob object over [start, end) of this blob; negative offsets
  // count from the end.
  VJSONObject* CreateSlice(int64 start, int64 end) const;
  const void* GetData() const;
  size_t GetSize() const { return size_t(fEnd - fStart); }

  bool IJSON_IsSharable(const VJSONObject* object, bool* outMove) override;
  EJSONStatus IJSON_GetProperty(VJSONObject* object, const VString& name, VJSONValue& outValue,
                                VDBLanguageContext* context) override;
  EJSONStatus IJSON_SetProperty(VJSONObject* object, const VString& name, const VJSONValue& value,
                                VDBLanguageContext* context) override;
  EJSONStatus IJSON_GetPropertyNames(std::vector<VString>& outNames) override;
  EJSONStatus IJSON_GetDescription(const VJSONObject* object, VString& outText) override;
  EJSONStatus IJSON_WriteToBuffer(VMemoryBuffer<>& buffer, VError& outError) override;
  uint32 IJSON_GetBinarySignature() override { return kSignature; }
  EJSONStatus IJSON_GetPropertyByIndex(const VJSONObject* object, uint64 index,
                                       VJSONValue& outValue) override;
  EJSONStatus IJSON_GetCountPropertiesByIndex(const VJSONObject* object, uint64& outCount) override;
  EJSONStatus IJSON_Clone(const VJSONObject* object, VJSONCloner& cloner, VJSONValue& outValue,
                          VError& outError) override;

 private:
  ~VJSONBlob() override;

  // Wraps a blob implementation in a new Blob object.
  static VJSONObject* _Wrap(VJSONBlob* blob);

  SharedBuffer* fBuffer;
  uint64 fStart;
  uint64 fEnd;
};

}  // namespace zeft
