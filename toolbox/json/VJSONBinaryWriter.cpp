#include "json/VJSONBinaryWriter.h"

#include <bit>
#include <cstring>

#include "json/JSONStackCheck.h"
#include "json/StGraphLocker.h"
#include "json/VJSONArray.h"
#include "json/VJSONClass.h"
#include "json/VJSONObject.h"
#include "json/VJSONPropertyIterator.h"
#include "runtime/VErrorThrow.h"
#include "values/VTime.h"

namespace zeft {

namespace {

VError Raise(int32 number) {
  const VError error = ToolboxError(number);
  _ThrowError(error);
  return error;
}

template <class T>
void StoreLittleEndian(T value, uint8* out) {
  for (size_t i = 0; i < sizeof(T); ++i) out[i] = uint8(value >> (8 * i));
}

// Restores the path pointer to its length before a step.
class StPathStep {
 public:
  explicit StPathStep(VString& path) : fPath(path), fLength(path.GetLength()) {}
  ~StPathStep() { fPath.Truncate(fLength); }

 private:
  VString& fPath;
  int32 fLength;
};

}  // namespace

VJSONBinaryWriter::VJSONBinaryWriter(uint32 options) : fOptions(options) {}

void VJSONBinaryWriter::AppendPathStep(VString& pointer, const VString& name) {
  pointer.AppendUniChar(u'/');
  const UniChar* units = name.GetCPointer();
  for (int32 i = 0; i < name.GetLength(); ++i) {
    if (units[i] == u'~') {
      pointer.AppendCString("~0");
    } else if (units[i] == u'/') {
      pointer.AppendCString("~1");
    } else {
      pointer.AppendUniChar(units[i]);
    }
  }
}

void VJSONBinaryWriter::BuildPathPointerString(const std::vector<VString>& path, VString& out) {
  out.FromCString("#");
  for (const VString& step : path) AppendPathStep(out, step);
}

// ---------------------------------------------------------------------------
// Raw fields

VError VJSONBinaryWriter::_Put(const void* data, size_t size) {
  if (fBuffer->AddDataAmortized(data, size)) return VE_OK;
  return Raise(toolbox_error::kMemoryFull);
}

VError VJSONBinaryWriter::_PutU16(uint16 value) {
  uint8 bytes[2];
  StoreLittleEndian(value, bytes);
  return _Put(bytes, sizeof(bytes));
}

VError VJSONBinaryWriter::_PutU32(uint32 value) {
  uint8 bytes[4];
  StoreLittleEndian(value, bytes);
  return _Put(bytes, sizeof(bytes));
}

VError VJSONBinaryWriter::_PutU64(uint64 value) {
  uint8 bytes[8];
  StoreLittleEndian(value, bytes);
  return _Put(bytes, sizeof(bytes));
}

VError VJSONBinaryWriter::_PutUnits(const UniChar* units, size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    return _Put(units, count * sizeof(UniChar));
  } else {
    for (size_t i = 0; i < count; ++i) {
      if (VError error = _PutU16(units[i]); error != VE_OK) return error;
    }
    return VE_OK;
  }
}

// ---------------------------------------------------------------------------
// Values

VError VJSONBinaryWriter::StreamValue(const VJSONValue& value, VMemoryBuffer<>& buffer) {
  fBuffer = &buffer;
  fPath.FromCString("#");
  return _WriteValue(value);
}

VError VJSONBinaryWriter::StreamObject(const VJSONObject* object, VMemoryBuffer<>& buffer) {
  fBuffer = &buffer;
  fPath.FromCString("#");
  return object != nullptr ? _WriteObject(object, false) : _PutByte(JSON_null);
}

VError VJSONBinaryWriter::StreamArray(const VJSONArray* array, VMemoryBuffer<>& buffer) {
  fBuffer = &buffer;
  fPath.FromCString("#");
  return array != nullptr ? _WriteArray(array, false) : _PutByte(JSON_null);
}

VError VJSONBinaryWriter::_WriteValue(const VJSONValue& value) {
  const JSONType type = value.GetType();
  switch (type) {
    case JSON_null:
    case JSON_false:
    case JSON_true:
    case JSON_undefined:
      return _PutByte(uint8(type));
    case JSON_string: {
      const VInlineString& text = value.GetInlineString();
      uint8 head[5] = {uint8(JSON_string)};
      StoreLittleEndian(uint32(text.fLength), head + 1);
      if (VError error = _Put(head, sizeof(head)); error != VE_OK) return error;
      return text.fLength != 0 ? _PutUnits(text.fString, size_t(text.fLength)) : VE_OK;
    }
    case JSON_number: {
      uint8 field[9] = {uint8(JSON_number)};
      StoreLittleEndian(std::bit_cast<uint64>(value.GetNumber()), field + 1);
      return _Put(field, sizeof(field));
    }
    case JSON_date: {
      VTime time;
      value.GetTime(time);
      uint8 field[9] = {uint8(JSON_date)};
      StoreLittleEndian(uint64(time.GetMilliseconds()), field + 1);
      return _Put(field, sizeof(field));
    }
    case JSON_object:
      if (value.GetObject() == nullptr) return _PutByte(JSON_null);
      return _WriteObject(value.GetObject(), true);
    case JSON_array:
      if (value.GetArray() == nullptr) return _PutByte(JSON_null);
      return _WriteArray(value.GetArray(), true);
    default:
      return VE_OK;
  }
}

bool VJSONBinaryWriter::_WriteReferenceIfSeen(const void* container, bool record, VError& error) {
  if (!record) return false;
  auto [entry, inserted] = fWritten.try_emplace(container, fPath);
  if (inserted) return false;
  const VString& pointer = entry->second;
  error = _PutByte(kReferenceTag);
  if (error == VE_OK) error = _PutU32(uint32(pointer.GetLength()));
  if (error == VE_OK) error = _PutUnits(pointer.GetCPointer(), size_t(pointer.GetLength()));
  return true;
}

VError VJSONBinaryWriter::_WriteArray(const VJSONArray* array, bool record) {
  VError error = VE_OK;
  if (_WriteReferenceIfSeen(array, record, error)) return error;
  if (!JSONHasStackRoom()) return ToolboxError(toolbox_error::kBufferTooLong);
  std::vector<VJSONValue> copies;
  if (array->HasStorageLocker()) array->GetValues(copies);
  const std::vector<VJSONValue>& values =
      array->HasStorageLocker() ? copies : array->GetValuesNoLock();
  uint8 head[5] = {uint8(JSON_array)};
  StoreLittleEndian(uint32(values.size()), head + 1);
  if (error = _Put(head, sizeof(head)); error != VE_OK) return error;
  for (size_t i = 0; i < values.size() && error == VE_OK; ++i) {
    StPathStep step(fPath);
    fPath.AppendUniChar(u'/');
    fPath.AppendLong8(int64(i));
    error = _WriteValue(values[i]);
  }
  return error;
}

VError VJSONBinaryWriter::_WriteObject(const VJSONObject* object, bool record) {
  VError error = VE_OK;
  if (_WriteReferenceIfSeen(object, record, error)) return error;
  if (IJSONObject* implementation = object->GetImplementation()) {
    VJSONValue replacement(const_cast<VJSONObject*>(object));
    implementation->IJSON_GetValueToWriteToBuffer(replacement);
    if (replacement.GetObject() != object) return _WriteValue(replacement);
  }
  if (!JSONHasStackRoom()) return ToolboxError(toolbox_error::kBufferTooLong);
  return _WriteObjectBody(object);
}

VError VJSONBinaryWriter::_WriteObjectBody(const VJSONObject* object) {
  IJSONObject* implementation = object->GetImplementation();
  const uint32 signature =
      implementation != nullptr ? implementation->IJSON_GetBinarySignature() : 0;
  VError error = _PutByte(JSON_object);
  const uint32 listing = signature != 0 ? VJSONPropertyConstOrderedIterator::kOwnPropertiesOnly
                                        : VJSONPropertyConstOrderedIterator::kWithoutGetterNames;
  for (VJSONPropertyConstOrderedIterator it(object, listing); it.IsValid() && error == VE_OK;
       ++it) {
    const VString& name = it.GetName();
    // Lengths from 0x8000 on are markers: such a name cannot be carried.
    if (name.GetLength() > kMaxNameLength) return Raise(toolbox_error::kStringTooLong);
    error = _PutU16(uint16(name.GetLength()));
    if (error == VE_OK) error = _PutUnits(name.GetCPointer(), size_t(name.GetLength()));
    if (error != VE_OK) break;
    StPathStep step(fPath);
    AppendPathStep(fPath, name);
    if (const VJSONValue* stored = it.GetStoredValue()) {
      error = _WriteValue(*stored);
    } else {
      error = _WriteValue(it.GetValue());
    }
  }
  if (error != VE_OK) return error;
  if (signature != 0) {
    if (error = _PutU16(kBlockFollows); error == VE_OK) error = _PutU32(signature);
    if (error != VE_OK) return error;
    VError payloadError = VE_OK;
    const EJSONStatus status = implementation->IJSON_WriteToBuffer(*fBuffer, payloadError);
    if (status == EJSON_unhandled) return _PutU64(0);
    return status == EJSON_ok ? VE_OK : payloadError;
  }
  VJSONClass* jsonClass = object->GetClass();
  if (jsonClass != nullptr &&
      !(jsonClass->GetLevel() == 0 && jsonClass->GetName().EqualToUSASCIICString("Object"))) {
    const VString& component = jsonClass->GetComponentName();
    const VString& name = jsonClass->GetName();
    if (component.GetLength() > 0xFFFF || name.GetLength() > 0xFFFF) {
      return Raise(toolbox_error::kStringTooLong);
    }
    error = _PutU16(kBlockFollows);
    if (error == VE_OK) error = _PutU32(kClassBlockMagic);
    if (error == VE_OK) {
      error = _PutU64(4 + 2 * (uint64(component.GetLength()) + uint64(name.GetLength())));
    }
    if (error == VE_OK) error = _PutU16(uint16(component.GetLength()));
    if (error == VE_OK) error = _PutUnits(component.GetCPointer(), size_t(component.GetLength()));
    if (error == VE_OK) error = _PutU16(uint16(name.GetLength()));
    if (error == VE_OK) error = _PutUnits(name.GetCPointer(), size_t(name.GetLength()));
    return error;
  }
  return _PutU16(kPlainObjectEnd);
}

}  // namespace zeft
