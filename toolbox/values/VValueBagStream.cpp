// The binary stream forms of a bag: the full form tagged "VBAG" and the
// minimal form that sub-bags and bag arrays use inside it.
#include <new>

#include "files/VStream.h"
#include "values/StreamFields.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

constexpr uint8 kHasAttributes = 1;
constexpr uint8 kHasElements = 2;

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
  return _ReadFromStreamMinimal(stream, 0);
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

VError VValueBag::ReadFromStreamMinimal(VStream* stream) { return _ReadFromStreamMinimal(stream, 0); }

VError VValueBag::_ReadFromStreamMinimal(VStream* stream, int32 depth) {
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
    error = store != nullptr ? store->ReadFromStream(stream, depth)
                             : ToolboxError(toolbox_error::kMemoryFull);
  }
  if (error != VE_OK) Destroy();
  return error;
}

}  // namespace zeft
