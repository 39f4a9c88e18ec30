#include "json/VJSONBinaryWriter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <span>
#include <utility>

#include "json/JSONStackCheck.h"
#include "json/JSONToolboxError.h"
#include "json/StGraphLocker.h"
#include "json/VJSONArray.h"
#include "json/VJSONClass.h"
#include "json/VJSONObject.h"
#include "json/VJSONPropertyIterator.h"
#include "values/VTime.h"

namespace zeft {

namespace {

template <class T>
void StoreLittleEndian(T value, uint8* out) {
  for (size_t i = 0; i < sizeof(T); ++i) out[i] = uint8(value >> (8 * i));
}

}  // namespace

VJSONBinaryWriter::VJSONBinaryWriter(uint32 options) : fOptions(options) { fWritten.reserve(4096); }

void VJSONBinaryWriter::AppendPathStep(VString& pointer, const VString& name) {
  pointer.AppendUniChar(u'/');
  if (name.FindUniChar(u'~') == 0 && name.FindUniChar(u'/') == 0) {
    pointer.AppendString(name);
    return;
  }
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
  return ThrowJSONToolboxError(toolbox_error::kMemoryFull);
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

void VJSONBinaryWriter::_Start(VMemoryBuffer<>& buffer) {
  fBuffer = &buffer;
  fCurrent = -1;
}

VError VJSONBinaryWriter::StreamValue(const VJSONValue& value, VMemoryBuffer<>& buffer) {
  _Start(buffer);
  return _WriteValue(value, Position());
}

VError VJSONBinaryWriter::StreamObject(const VJSONObject* object, VMemoryBuffer<>& buffer) {
  _Start(buffer);
  return object != nullptr ? _WriteObject(object, false, Position()) : _PutByte(JSON_null);
}

VError VJSONBinaryWriter::StreamArray(const VJSONArray* array, VMemoryBuffer<>& buffer) {
  _Start(buffer);
  return array != nullptr ? _WriteArray(array, false, Position()) : _PutByte(JSON_null);
}

VError VJSONBinaryWriter::_WriteValue(const VJSONValue& value, const Position& position) {
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
    case JSON_object: {
      // Containers are held while written: native code run meanwhile may
      // change the array or object `value` lives in.
      const VRefPtr<VJSONObject> object(value.RetainObject(), kAdoptRef);
      if (object.Get() == nullptr) return _PutByte(JSON_null);
      return _WriteObject(object.Get(), true, position);
    }
    case JSON_array: {
      const VRefPtr<VJSONArray> array(value.RetainArray(), kAdoptRef);
      if (array.Get() == nullptr) return _PutByte(JSON_null);
      return _WriteArray(array.Get(), true, position);
    }
    default:
      return VE_OK;
  }
}

void VJSONBinaryWriter::_BuildPointer(int64 record, VString& out) const {
  // Up to a top record (no parent), which is "#" itself.
  std::vector<VString> steps;
  for (int64 at = record; fRecords[size_t(at)].fParent >= 0; at = fRecords[size_t(at)].fParent) {
    const Position& position = fRecords[size_t(at)].fPosition;
    if (position.fName != nullptr) {
      steps.push_back(*position.fName);
    } else {
      steps.emplace_back().AppendLong8(int64(position.fIndex));
    }
  }
  std::reverse(steps.begin(), steps.end());
  BuildPathPointerString(steps, out);
}

bool VJSONBinaryWriter::_EnterOrRefer(const void* container, bool record, const Position& position,
                                      int64& outIndex, VError& error) {
  outIndex = int64(fRecords.size());
  if (record) {
    auto [entry, inserted] = fWritten.try_emplace(container, outIndex);
    if (!inserted) {
      VString pointer;
      _BuildPointer(entry->second, pointer);
      error = _PutByte(kReferenceTag);
      if (error == VE_OK) error = _PutU32(uint32(pointer.GetLength()));
      if (error == VE_OK) error = _PutUnits(pointer.GetCPointer(), size_t(pointer.GetLength()));
      return true;
    }
  }
  fRecords.push_back({fCurrent, position});
  return false;
}

VError VJSONBinaryWriter::_WriteArray(const VJSONArray* array, bool record,
                                      const Position& position) {
  VError error = VE_OK;
  int64 index = -1;
  if (_EnterOrRefer(array, record, position, index, error)) return error;
  if (!JSONHasStackRoom()) return ToolboxError(toolbox_error::kBufferTooLong);
  std::vector<VJSONValue> copies;
  const bool shared = array->HasStorageLocker();
  if (shared) array->GetValues(copies);
  // The elements as they are at each step: native code run while one is
  // written may change the array.
  const auto values = [&] {
    return shared ? std::span<const VJSONValue>(copies) : array->GetValuesNoLock();
  };
  uint8 head[5] = {uint8(JSON_array)};
  StoreLittleEndian(uint32(values().size()), head + 1);
  error = _Put(head, sizeof(head));
  const int64 parent = std::exchange(fCurrent, index);
  Position element;
  for (size_t i = 0; i < values().size() && error == VE_OK; ++i) {
    element.fIndex = i;
    error = _WriteValue(values()[i], element);
  }
  fCurrent = parent;
  return error;
}

VError VJSONBinaryWriter::_WriteObject(const VJSONObject* object, bool record,
                                       const Position& position) {
  VError error = VE_OK;
  int64 index = -1;
  if (_EnterOrRefer(object, record, position, index, error)) return error;
  if (IJSONObject* implementation = object->GetImplementation()) {
    VJSONValue replacement(const_cast<VJSONObject*>(object));
    implementation->IJSON_GetValueToWriteToBuffer(replacement);
    // Another value is written in the object's place.
    if (replacement.GetObject() != object) return _WriteValue(replacement, position);
  }
  if (!JSONHasStackRoom()) return ToolboxError(toolbox_error::kBufferTooLong);
  const int64 parent = std::exchange(fCurrent, index);
  error = _WriteObjectBody(object);
  fCurrent = parent;
  return error;
}

VError VJSONBinaryWriter::_WriteObjectBody(const VJSONObject* object) {
  IJSONObject* implementation = object->GetImplementation();
  const uint32 signature =
      implementation != nullptr ? implementation->IJSON_GetBinarySignature() : 0;
  VError error = _PutByte(JSON_object);
  const uint32 listing = signature != 0 ? VJSONPropertyConstOrderedIterator::kOwnPropertiesOnly
                                        : VJSONPropertyConstOrderedIterator::kWithoutGetterNames;
  Position member;
  for (VJSONPropertyConstOrderedIterator it(object, listing); it.IsValid() && error == VE_OK;
       ++it) {
    const VString& name = it.GetName();
    // Lengths from 0x8000 on are markers: such a name cannot be carried.
    if (name.GetLength() > kMaxNameLength)
      return ThrowJSONToolboxError(toolbox_error::kStringTooLong);
    error = _PutU16(uint16(name.GetLength()));
    if (error == VE_OK) error = _PutUnits(name.GetCPointer(), size_t(name.GetLength()));
    if (error != VE_OK) break;
    const VJSONValue* stored = it.GetStoredValue();
    if (stored != nullptr && !stored->IsObject() && !stored->IsArray()) {
      member.fName = &name;  // a scalar's position is not recorded
      error = _WriteValue(*stored, member);
      continue;
    }
    // A container's name is kept for as long as references may point to
    // it: native code run while it is written may change the object.
    member.fName = &fOwnedNames.emplace_back(name);
    error = stored != nullptr ? _WriteValue(*stored, member) : _WriteValue(it.GetValue(), member);
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
      return ThrowJSONToolboxError(toolbox_error::kStringTooLong);
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
