#include "values/VConstBlobWithPtr.h"

#include <cstdint>
#include <cstring>

#include "files/VStream.h"

namespace zeft {

namespace {

VError ReadOnly() { return ToolboxError(toolbox_error::kReadOnlyBlob); }

}  // namespace

VConstBlobWithPtr::VConstBlobWithPtr(const void* data, size_t size) : fData(data), fSize(size) {}

VConstBlobWithPtr::VConstBlobWithPtr(const VConstBlobWithPtr& other)
    : VBlob(other), fData(other.fData), fSize(other.fSize) {
  fFlags |= kFlagDirty;
}

VConstBlobWithPtr* VConstBlobWithPtr::Clone() const { return new VConstBlobWithPtr(*this); }

VError VConstBlobWithPtr::SetSize(size_t) { return ReadOnly(); }
VError VConstBlobWithPtr::PutData(const void*, size_t, int32) { return ReadOnly(); }
VError VConstBlobWithPtr::FromData(const void*, size_t) { return ReadOnly(); }
VError VConstBlobWithPtr::ReadFromStream(VStream*, int32) { return ReadOnly(); }

VError VConstBlobWithPtr::GetData(void* dest, size_t size, int32 offset, size_t* got) const {
  // An offset outside the bytes copies nothing.
  const bool inside = offset >= 0 && uint64(offset) <= fSize;
  size_t count = 0;
  if (inside) {
    const uint64 available = fSize - uint64(offset);
    count = size <= available ? size : size_t(available);
    if (count != 0) std::memcpy(dest, static_cast<const char*>(fData) + offset, count);
  }
  if (got != nullptr) *got = count;
  return inside && count == size ? VE_OK : ToolboxError(toolbox_error::kStreamEndOfData);
}

bool VConstBlobWithPtr::FromValueSameKind(const VValue* other) {
  const VConstBlobWithPtr* source = dynamic_cast<const VConstBlobWithPtr*>(other);
  if (source == nullptr) return false;
  fData = source->fData;
  fSize = source->fSize;
  SetNull(source->IsNull());
  fFlags |= kFlagDirty;
  return true;
}

void VConstBlobWithPtr::GetValue(VValueSingle& target) const {
  if (target.GetValueKind() != kValueKindBlob) return;
  if (VBlob* blob = dynamic_cast<VBlob*>(&target); blob != nullptr) {
    blob->FromData(fData, size_t(fSize));
  }
}

void VConstBlobWithPtr::FromValue(const VValueSingle&) {}

const void* VConstBlobWithPtr::LoadFromPtr(const void*, bool) { return nullptr; }

void* VConstBlobWithPtr::WriteToPtr(void* data, bool, size_t) const {
  const int32 size = int32(fSize);
  std::memcpy(data, &size, sizeof(size));
  uint8* bytes = static_cast<uint8*>(data) + sizeof(int32);
  if (fSize != 0) std::memcpy(bytes, fData, size_t(fSize));
  return bytes + fSize;
}

size_t VConstBlobWithPtr::GetSpace(size_t) const { return size_t(fSize) + sizeof(int32); }

VError VConstBlobWithPtr::WriteToStream(VStream* stream, int32 param) const {
  VValueSingle::WriteToStream(stream, param);
  if (fSize > UINT32_MAX) return ToolboxError(toolbox_error::kInvalidParameter);
  const int32 storedSize = int32(uint32(fSize));
  const VError error = stream->PutLongs(&storedSize, 1);
  if (error != VE_OK || fSize == 0) return error;
  return stream->PutData(fData, size_t(fSize));
}

}  // namespace zeft
