// The binary stream forms of a bag: the full form tagged "VBAG" and the
// minimal form that sub-bags and bag arrays use inside it.
#include <memory>
#include <new>

#include "files/VStream.h"
#include "values/StPackedDictionaryKey.h"
#include "values/StreamFields.h"
#include "values/VArrayString.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

constexpr uint8 kHasAttributes = 1;
constexpr uint8 kHasElements = 2;

VError CorruptedStream() { return ToolboxError(toolbox_error::kBagStreamCorrupted); }

// The count that follows a list of names in the earlier layout; it must
// name every entry, no more, no less.
VError ReadNamedCount(VStream* stream, const VArrayString& names) {
  uint32 count = 0;
  VError error = GetStreamUInt32(stream, count);
  if (error == VE_OK && count != uint32(names.GetCount())) error = CorruptedStream();
  return error;
}

// The key of the n-th name; false for a null, empty or unusable name.
bool GetNameKey(const VArrayString& names, int32 position, StPackedDictionaryKey& outKey) {
  const VString* name = names.GetStringPtr(position);
  if (name == nullptr || name->IsEmpty()) return false;
  outKey = StPackedDictionaryKey(*name);
  return outKey.IsValid();
}

}  // namespace

VError VValueBag::WriteToStream(VStream* stream, int32 /*param*/) const {
  PutStreamUInt32(stream, kStreamTag);
  PutStreamUInt16(stream, kStreamVersion);
  PutStreamUInt16(stream, 0);
  VError error = stream->GetLastError();
  if (error != VE_OK) return error;
  return WriteToStreamMinimal(stream, true);
}

VError VValueBag::ReadFromStream(VStream* stream, int32 /*param*/) {
  Destroy();
  VError error = stream->GetLastError();
  if (error != VE_OK) return error;
  uint32 tag = 0;
  uint16 version = 0;
  uint16 reserved = 0;
  error = GetStreamUInt32(stream, tag);
  if (error == VE_OK) error = GetStreamUInt16(stream, version);
  if (error == VE_OK) error = GetStreamUInt16(stream, reserved);
  if (error != VE_OK) return error;
  if (tag != kStreamTag) return ToolboxError(toolbox_error::kStreamBadSignature);
  if (version != kStreamVersion) return ToolboxError(toolbox_error::kBagStreamBadVersion);
  StBagStreamBudget budget(stream);
  return _ReadFromStreamMinimal(stream, 0, budget);
}

VError VValueBag::WriteToStreamMinimal(VStream* stream, bool withIndex) const {
  uint8 flags = 0;
  if (fAttributes.GetCount() > 0) flags |= kHasAttributes;
  if (GetElementNamesCount() > 0) flags |= kHasElements;
  VError error = stream->PutByte(flags);
  if (error == VE_OK && (flags & kHasAttributes) != 0) {
    error = fAttributes.WriteToStream(stream, withIndex);
  }
  if (error == VE_OK && (flags & kHasElements) != 0) {
    error = fElements->WriteToStream(stream, withIndex);
  }
  return error != VE_OK ? error : stream->GetLastError();
}

VError VValueBag::ReadFromStreamMinimal(VStream* stream) {
  StBagStreamBudget budget(stream);
  return _ReadFromStreamMinimal(stream, 0, budget);
}

VError VValueBag::_ReadFromStreamMinimal(VStream* stream, int32 depth, StBagStreamBudget& budget) {
  Destroy();
  uint8 flags = 0;
  VError error = GetStreamBytes(stream, &flags, 1);
  if (error != VE_OK) return error;
  if ((flags & ~(kHasAttributes | kHasElements)) != 0) {
    return ToolboxError(toolbox_error::kBagStreamCorrupted);
  }
  if ((flags & kHasAttributes) != 0) error = fAttributes.ReadFromStream(stream);
  if (error == VE_OK && (flags & kHasElements) != 0) {
    ElementStore* store = _GetOrMakeElementStore();
    error = store != nullptr ? store->ReadFromStream(stream, depth, budget)
                             : ToolboxError(toolbox_error::kMemoryFull);
  }
  if (error != VE_OK) Destroy();
  return error;
}

VError VValueBag::_ReadFromStream_v1(VStream* stream) {
  Destroy();
  VError error = stream->GetLastError();
  if (error != VE_OK) return error;

  StBagStreamBudget budget(stream);
  VArrayString names;
  error = names.ReadFromStream(stream, 0);
  if (error == VE_OK) error = ReadNamedCount(stream, names);
  for (int32 position = 1; error == VE_OK && position <= names.GetCount(); ++position) {
    uint32 kind = 0;
    error = GetStreamUInt32(stream, kind);
    if (error != VE_OK) break;
    // Only a single value is stored with its bytes: an entry of any other
    // kind has none and is skipped.
    std::unique_ptr<VValue> value(VValue::NewValueFromValueKind(uint16(kind & 0xFFFF)));
    VValueSingle* single = value != nullptr ? value->IsVValueSingle() : nullptr;
    if (single == nullptr) continue;
    StPackedDictionaryKey key("");
    if (!GetNameKey(names, position, key)) {
      error = CorruptedStream();
      break;
    }
    error = single->ReadFromStream(stream, 0);
    if (error == VE_OK && !SetAttribute(key, *single)) {
      error = ToolboxError(toolbox_error::kMemoryFull);
    }
  }

  if (error == VE_OK) error = names.ReadFromStream(stream, 0);
  if (error == VE_OK) error = ReadNamedCount(stream, names);
  for (int32 position = 1; error == VE_OK && position <= names.GetCount(); ++position) {
    StPackedDictionaryKey key("");
    if (!GetNameKey(names, position, key)) {
      error = CorruptedStream();
      break;
    }
    VBagArray* array = new (std::nothrow) VBagArray();
    ElementStore* store = _GetOrMakeElementStore();
    if (array == nullptr || store == nullptr) {
      error = ToolboxError(toolbox_error::kMemoryFull);
    } else {
      error = array->_ReadFromStreamMinimal(stream, 1, budget);
      if (error == VE_OK && !store->SetValue(key, array)) {
        error = ToolboxError(toolbox_error::kMemoryFull);
      }
    }
    if (array != nullptr) array->Release();
  }

  if (error != VE_OK) Destroy();
  return error;
}

}  // namespace zeft
