#include "json/VJSONBinaryImporter.h"

#include <bit>
#include <cstring>

#include "json/JSONStackCheck.h"
#include "json/JSONToolboxError.h"
#include "json/VJSONArray.h"
#include "json/VJSONBinaryWriter.h"
#include "json/VJSONClass.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONObject.h"
#include "json/VJSONObjectFactory.h"
#include "json/VJSONPointerResolver.h"
#include "json/VJSONStamp.h"
#include "values/VTime.h"

namespace zeft {

namespace {

VError Truncated() { return ThrowJSONToolboxError(toolbox_error::kStreamEndOfData); }

}  // namespace

VJSONBinaryImporter::VJSONBinaryImporter(const void* data, size_t size, VJSONStamp* stamp)
    : fStamp(stamp), fData(static_cast<const uint8*>(data)), fSize(data != nullptr ? size : 0) {
  if (fStamp != nullptr) fStamp->Retain();
}

VJSONBinaryImporter::~VJSONBinaryImporter() {
  if (fStamp != nullptr) fStamp->Release();
}

uint16 VJSONBinaryImporter::_U16() {
  const uint16 value = uint16(fData[fPosition] | (fData[fPosition + 1] << 8));
  fPosition += 2;
  return value;
}

uint32 VJSONBinaryImporter::_U32() {
  uint32 value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | fData[fPosition + size_t(i)];
  fPosition += 4;
  return value;
}

uint64 VJSONBinaryImporter::_U64() {
  uint64 value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | fData[fPosition + size_t(i)];
  fPosition += 8;
  return value;
}

bool VJSONBinaryImporter::_ReadText(uint64 count, VString& text) {
  if (count > uint64(INT32_MAX) || !_Has(size_t(count) * 2)) return false;
  const int32 length = int32(count);
  text.Clear();
  if (length == 0) return true;
  UniChar* units = text.GetCPointerForWrite(length);
  if (units == nullptr) return false;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(units, fData + fPosition, size_t(length) * 2);
    fPosition += size_t(length) * 2;
  } else {
    for (int32 i = 0; i < length; ++i) units[i] = _U16();
  }
  text.Validate(length);
  return true;
}

VError VJSONBinaryImporter::GetValue(VJSONValue& outValue) {
  outValue.SetUndefined();
  if (fData == nullptr) return VE_OK;
  if (!_Has(1)) return Truncated();
  fPosition = 0;
  bool hasContents = false;
  VError error = _ReadValue(fTop, hasContents);
  if (error == VE_OK && hasContents) error = _ReadContents(fTop);
  outValue = fTop;
  fTop.SetUndefined();
  return error;
}

VError VJSONBinaryImporter::_ReadValue(VJSONValue& value, bool& hasContents) {
  hasContents = false;
  if (!_Has(1)) return Truncated();
  const uint8 tag = _U8();
  switch (tag) {
    case JSON_null:
    case JSON_false:
    case JSON_true:
    case JSON_undefined:
      value = VJSONValue(JSONType(tag));
      return VE_OK;
    case JSON_string: {
      if (!_Has(4)) return Truncated();
      VString text;
      if (!_ReadText(_U32(), text)) return Truncated();
      value.SetString(text);
      return VE_OK;
    }
    case JSON_number:
      if (!_Has(8)) return Truncated();
      value.SetNumber(std::bit_cast<double>(_U64()));
      return VE_OK;
    case JSON_date: {
      if (!_Has(8)) return Truncated();
      VTime time;
      time.FromMilliseconds(int64(_U64()));
      value.SetTime(time);
      return VE_OK;
    }
    case JSON_object: {
      if (_Has(2) && fData[fPosition] == 0xFE && fData[fPosition + 1] == 0xFF) {
        value.SetUndefined();
        return VE_OK;
      }
      auto* object = new VJSONObject();
      if (fStamp != nullptr) object->SetJSONStamp(fStamp);
      value.SetObject(object);
      object->Release();
      hasContents = true;
      return VE_OK;
    }
    case JSON_array: {
      if (!_Has(4)) return Truncated();
      const uint32 count = _U32();
      if (count == 0xFFFFFFFE) {
        value.SetUndefined();
        return VE_OK;
      }
      // Every element takes at least one byte: a larger count is a lie.
      if (!_Has(count)) return Truncated();
      auto* array = new VJSONArray();
      if (fStamp != nullptr) array->SetJSONStamp(fStamp);
      value.SetArray(array);
      array->Release();
      if (!array->Resize(count)) return ThrowJSONToolboxError(toolbox_error::kMemoryFull);
      hasContents = true;
      return VE_OK;
    }
    case VJSONBinaryWriter::kReferenceTag: {
      if (!_Has(4)) return Truncated();
      VString pointer;
      if (!_ReadText(_U32(), pointer)) return Truncated();
      _Resolve(pointer, value);
      return VE_OK;
    }
    default: {
      // An unknown kind: skip its bytes, counted from its count field.
      if (!_Has(4)) return Truncated();
      const size_t start = fPosition;
      const uint32 skip = _U32();
      if (skip < 4 || skip > fSize - start) return Truncated();
      fPosition = start + skip;
      return VE_OK;
    }
  }
}

VError VJSONBinaryImporter::_ReadContents(VJSONValue& value) {
  if (!JSONHasStackRoom()) return ToolboxError(toolbox_error::kBufferTooLong);
  if (VJSONObject* object = value.GetObject()) return _ReadObjectContents(object);
  if (VJSONArray* array = value.GetArray()) return _ReadArrayContents(array);
  return VE_OK;
}

VError VJSONBinaryImporter::_ReadArrayContents(VJSONArray* array) {
  const size_t count = array->GetCount();
  for (size_t index = 0; index < count; ++index) {
    VJSONValue element;
    bool hasContents = false;
    VError error = _ReadValue(element, hasContents);
    if (error != VE_OK) return error;
    array->SetAt(index, element);
    if (hasContents && (error = _ReadContents(element)) != VE_OK) return error;
  }
  return VE_OK;
}

VError VJSONBinaryImporter::_ReadObjectContents(VJSONObject* object) {
  for (;;) {
    if (!_Has(2)) return Truncated();
    const uint16 marker = _U16();
    if (marker <= VJSONBinaryWriter::kMaxNameLength) {
      VString name;
      if (!_ReadText(marker, name)) return Truncated();
      VJSONValue member;
      bool hasContents = false;
      VError error = _ReadValue(member, hasContents);
      if (error != VE_OK) return error;
      object->SetOwnProperty(name, member);
      if (hasContents && (error = _ReadContents(member)) != VE_OK) return error;
    } else if (marker == VJSONBinaryWriter::kPlainObjectEnd) {
      return VE_OK;
    } else if (marker == VJSONBinaryWriter::kBlockFollows) {
      return _ReadBlock(object);
    }
    // Other markers are skipped.
  }
}

VError VJSONBinaryImporter::_ReadBlock(VJSONObject* object) {
  if (!_Has(12)) return Truncated();
  const uint32 signature = _U32();
  const uint64 size = _U64();
  if (size > fSize - fPosition) return Truncated();
  const size_t blockStart = fPosition;
  const size_t blockEnd = fPosition + size_t(size);
  VError error = VE_OK;
  if (signature == VJSONBinaryWriter::kClassBlockMagic) {
    // Each name is taken only when it fits in the block.
    VString names[2];
    for (VString& name : names) {
      if (blockEnd - fPosition < 2) break;
      const uint16 length = _U16();
      if (size_t(length) * 2 > blockEnd - fPosition || !_ReadText(length, name)) break;
    }
    VRefPtr<VJSONObject> classObject(VJSONClassStore::GetProcessClassObject(names[0], names[1]),
                                     kAdoptRef);
    if (VJSONClass* jsonClass = VJSONClass::CastObject(classObject.Get())) {
      object->SetClassObject(classObject.Get());
      object->SetClassLevel(uint32(jsonClass->GetLevel()));
    }
  } else {
    VRefPtr<VJSONObject> classObject(object->GetClassObject());
    IJSONObject* implementation = VJSONObjectFactory::Get().CreateForSignature(
        object, signature, fData + blockStart, size_t(size), classObject, &error);
    if (implementation != nullptr) {
      object->SetImplementation(implementation);
      implementation->Release();
      object->SetClassObject(classObject.Get());
      VJSONClass* jsonClass = object->GetClass();
      object->SetClassLevel(jsonClass != nullptr ? uint32(jsonClass->GetLevel()) : 0);
    }
  }
  fPosition = blockEnd;
  return error;
}

void VJSONBinaryImporter::_Resolve(const VString& pointer, VJSONValue& value) const {
  // Only the importer's own form is followed: "#" then steps, no decoding.
  value.SetUndefined();
  if (pointer.GetLength() < 1 || pointer.GetCPointer()[0] != u'#') return;
  std::vector<VString> steps;
  VString rest;
  pointer.GetSubString(2, pointer.GetLength() - 1, rest);
  if (!rest.IsEmpty()) {
    if (rest.GetCPointer()[0] != u'/') return;
    rest.GetSubStrings(u'/', steps, true);
    steps.erase(steps.begin());
  }
  VJSONValue current = fTop;
  for (VString& step : steps) {
    UnescapeJSONPointerToken(step);
    if (const VJSONObject* object = current.GetObject()) {
      current = object->GetOwnProperty(step);
    } else if (const VJSONArray* array = current.GetArray()) {
      const UniChar* units = step.GetCPointer();
      uint64 index = 0;
      if (step.IsEmpty()) return;
      for (int32 i = 0; i < step.GetLength(); ++i) {
        if (units[i] < u'0' || units[i] > u'9' || index > (uint64(1) << 40)) return;
        index = index * 10 + uint64(units[i] - u'0');
      }
      if (index >= array->GetCount()) return;
      current = array->GetAt(size_t(index));
    } else {
      return;
    }
  }
  value = current;
}

}  // namespace zeft
