#include "json/VJSONBlob.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/VScalarValue.h"
#include "json/IJSONFunctionContext.h"
#include "json/JSONClassError.h"
#include "json/JSONToolboxError.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONObject.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

// The "Blob" class object and the store it was added to.
struct BlobClass {
  std::mutex fMutex;
  VJSONClassStore* fStore = nullptr;
  VJSONObject* fClassObject = nullptr;
  ~BlobClass() {
    if (fClassObject != nullptr) fClassObject->Release();
  }
};

BlobClass& TheBlobClass() {
  static BlobClass sBlobClass;
  return sBlobClass;
}

SharedBuffer* CopyBytes(const void* data, size_t size) {
  SharedBuffer* buffer = SharedBuffer::Create(size);
  if (buffer != nullptr && size != 0) std::memcpy(buffer->GetData(), data, size);
  return buffer;
}

}  // namespace

const VString VJSONBlob::key_size("size");

VJSONObject* VJSONBlob::GetClass() {
  BlobClass& blobClass = TheBlobClass();
  std::lock_guard<std::mutex> guard(blobClass.fMutex);
  VJSONClassStore* store = VJSONClassStore::GetProcessStore();
  // A store made again (a program that restarts the toolbox) gets the class again.
  if (store != blobClass.fStore) {
    if (blobClass.fClassObject != nullptr) blobClass.fClassObject->Release();
    blobClass.fClassObject =
        store != nullptr ? store->AddClass(VString("Blob"), {{VString("slice"), &do_slice, 0}},
                                           nullptr, nullptr, &do_instantiate, 0)
                         : nullptr;
    blobClass.fStore = store;
  }
  return blobClass.fClassObject;
}

VJSONBlob::VJSONBlob(SharedBuffer* buffer, size_t start, size_t end)
    : fBuffer(buffer), fStart(start), fEnd(end) {
  if (fBuffer != nullptr) fBuffer->Retain();
}

VJSONBlob::~VJSONBlob() {
  if (fBuffer != nullptr) fBuffer->Release();
}

const void* VJSONBlob::GetData() const {
  return fBuffer != nullptr ? static_cast<const char*>(fBuffer->GetData()) + fStart : nullptr;
}

VJSONObject* VJSONBlob::_Wrap(VJSONBlob* blob) {
  // Released here once the object holds its own reference, or when making
  // the object throws.
  const VRefPtr<VJSONBlob> held(blob, kAdoptRef);
  return new VJSONObject(GetClass(), blob, nullptr, false);
}

VJSONObject* VJSONBlob::Create(const void* data, size_t size) {
  if (size == 0) return _Wrap(new VJSONBlob(nullptr, 0, 0));
  const VRefPtr<SharedBuffer> buffer(CopyBytes(data, size), kAdoptRef);
  if (buffer.Get() == nullptr) {
    _ThrowError(ToolboxError(toolbox_error::kMemoryFull));
    return nullptr;
  }
  return _Wrap(new VJSONBlob(buffer.Get(), 0, size));
}

VJSONBlob* VJSONBlob::CastJSONObject(const VJSONObject* object) {
  return object != nullptr ? dynamic_cast<VJSONBlob*>(object->GetImplementation()) : nullptr;
}

VJSONBlob* VJSONBlob::GetThis(IJSONFunctionContext* context) {
  return CastJSONObject(context->GetThisObject());
}

IJSONObject* VJSONBlob::CreateIJSONObject(VJSONObject*, uint32, const void* data, size_t size,
                                          VRefPtr<VJSONObject>& classObject, VError* error) {
  const VRefPtr<SharedBuffer> buffer(CopyBytes(data, size), kAdoptRef);
  if (buffer.Get() == nullptr) {
    if (error != nullptr) {
      *error = ThrowJSONToolboxError(toolbox_error::kMemoryFull);
    }
    return nullptr;
  }
  classObject.Reset(GetClass());
  return new VJSONBlob(buffer.Get(), 0, size);
}

VJSONObject* VJSONBlob::do_instantiate(VJSONObject*, IJSONFunctionContext* context) {
  const size_t count = context != nullptr ? context->GetParamCount() : 0;
  if (count == 0) return Create(nullptr, 0);
  if (count > 1) {
    ThrowJSONClassError(json_error::kTooManyParams);
    return nullptr;
  }
  const JSONBlobParam bytes = context->GetBlobParam(1, false);
  return Create(bytes.fData, bytes.fSize);
}

EJSONStatus VJSONBlob::do_slice(const VJSONObject*, IJSONFunctionContext* context) {
  const VJSONBlob* blob = GetThis(context);
  if (blob == nullptr) return EJSON_error;
  double number = 0;
  const int64 start = context->GetNumberOptParam(1, number) ? SaturatingRealToLong8(number) : 0;
  const int64 end = context->GetNumberOptParam(2, number) ? SaturatingRealToLong8(number)
                                                          : int64(blob->GetSize());
  VJSONValue result(JSON_null);
  if (VJSONObject* slice = blob->CreateSlice(start, end)) {
    result.SetObject(slice);
    slice->Release();
  }
  context->SetResult(result, 5);
  return EJSON_ok;
}

VJSONObject* VJSONBlob::CreateSlice(int64 start, int64 end) const {
  const int64 size = int64(GetSize());
  const int64 s = start < 0 ? std::max<int64>(size + start, 0) : std::min(start, size);
  const int64 e = end < 0 ? std::max<int64>(size + end, 0) : std::min(end, size);
  if (e <= s) return _Wrap(new VJSONBlob(nullptr, 0, 0));
  return _Wrap(new VJSONBlob(fBuffer, size_t(fStart + uint64(s)), size_t(fStart + uint64(e))));
}

// ---------------------------------------------------------------------------
// Blob object operations

bool VJSONBlob::IJSON_IsSharable(const VJSONObject*, bool* outMove) {
  if (outMove != nullptr) *outMove = false;
  return true;
}

EJSONStatus VJSONBlob::IJSON_GetProperty(VJSONObject*, const VString& name, VJSONValue& outValue,
                                         VDBLanguageContext*) {
  if (!name.EqualToStringRaw(key_size)) return EJSON_unhandled;
  outValue.SetNumber(double(GetSize()));
  return EJSON_ok;
}

EJSONStatus VJSONBlob::IJSON_SetProperty(VJSONObject*, const VString&, const VJSONValue&,
                                         VDBLanguageContext*) {
  ThrowJSONClassError(json_error::kReadOnlyProperty);
  return EJSON_error;
}

EJSONStatus VJSONBlob::IJSON_GetPropertyNames(std::vector<VString>& outNames) {
  outNames.push_back(key_size);
  return EJSON_ok;
}

EJSONStatus VJSONBlob::IJSON_GetDescription(const VJSONObject*, VString& outText) {
  outText.Printf("%zu bytes", GetSize());
  return EJSON_ok;
}

EJSONStatus VJSONBlob::IJSON_WriteToBuffer(VMemoryBuffer<>& buffer, VError& outError) {
  uint8 count[8];
  const uint64 size = GetSize();
  for (int i = 0; i < 8; ++i) count[i] = uint8(size >> (8 * i));
  // A payload cut short would read back as another value: refuse it.
  if (!buffer.AddDataAmortized(count, sizeof(count)) ||
      (size != 0 && !buffer.AddDataAmortized(GetData(), size_t(size)))) {
    outError = ThrowJSONToolboxError(toolbox_error::kMemoryFull);
    return EJSON_error;
  }
  outError = VE_OK;
  return EJSON_ok;
}

EJSONStatus VJSONBlob::IJSON_GetPropertyByIndex(const VJSONObject*, uint64 index,
                                                VJSONValue& outValue) {
  if (index >= GetSize()) {
    ThrowJSONClassError(json_error::kByteIndexOutOfRange);
    return EJSON_error;
  }
  outValue.SetNumber(double(static_cast<const uint8*>(GetData())[index]));
  return EJSON_ok;
}

EJSONStatus VJSONBlob::IJSON_GetCountPropertiesByIndex(const VJSONObject*, uint64& outCount) {
  outCount = GetSize();
  return EJSON_ok;
}

EJSONStatus VJSONBlob::IJSON_Clone(const VJSONObject* object, VJSONCloner&, VJSONValue& outValue,
                                   VError&) {
  outValue.SetObject(const_cast<VJSONObject*>(object));
  return EJSON_ok;
}

}  // namespace zeft
