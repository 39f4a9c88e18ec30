#include "values/VBlobWithPtr.h"

#include <cstring>

#include "core/VCppMemMgr.h"
#include "files/VStream.h"
#include "values/VConstBlobWithPtr.h"

namespace zeft {

constinit const VBlob_info VBlob::sInfo;

namespace {

// A stream's size field is not trusted: the room grows with the bytes that
// actually arrive, this much at a time.
constexpr size_t kStreamReadChunk = 1 << 20;

int32 LoadSize(const void* data) {
  int32 size;
  std::memcpy(&size, data, sizeof(size));
  return size;
}

}  // namespace

// ---- Descriptor

VValue* VBlob_info::LoadFromPtr(const void* data, bool refOnly) const {
  VBlobWithPtr* blob = new VBlobWithPtr();
  blob->LoadFromPtr(data, refOnly);
  return blob;
}

void* VBlob_info::ByteSwapPtr(void* data, bool) const {
  uint32 size;
  std::memcpy(&size, data, sizeof(size));
  size = __builtin_bswap32(size);
  std::memcpy(data, &size, sizeof(size));
  return static_cast<uint8*>(data) + sizeof(size);
}

size_t VBlob_info::GetSizeOfValueDataPtr(const void* data) const {
  const int32 size = LoadSize(data);
  return size_t(size < 0 ? 0 : size) + sizeof(int32);
}

// ---- Construction

VBlobWithPtr::VBlobWithPtr(const void* data, size_t size) {
  if (size != 0) fBuffer.SetData(data, size);
}

VBlobWithPtr::VBlobWithPtr(const VBlobWithPtr& other) : VBlob(other) {
  fFlags |= kFlagDirty;
  // Exactly the source's size; an allocation failure leaves the copy empty.
  if (other.GetSize() != 0) {
    fBuffer.SetData(other.fBuffer.GetDataPtr(), other.fBuffer.GetDataSize());
  }
}

VBlobWithPtr::VBlobWithPtr(const VBlob& other) : VBlob(other) {
  if (other.IsNull() || other.GetSize() == 0) return;
  if (fBuffer.SetSize(size_t(other.GetSize()))) {
    other.GetData(fBuffer.GetDataPtr(), fBuffer.GetDataSize(), 0, nullptr);
  }
}

VBlobWithPtr* VBlobWithPtr::Clone() const { return new VBlobWithPtr(*this); }

// ---- Bytes

VError VBlobWithPtr::SetSize(size_t size) {
  if (size == fBuffer.GetDataSize()) return VE_OK;
  return fBuffer.SetSize(size) ? VE_OK : ToolboxError(toolbox_error::kMemoryFull);
}

VError VBlobWithPtr::GetData(void* dest, size_t size, int32 offset, size_t* got) const {
  const size_t available = fBuffer.GetDataSize();
  // An offset outside the bytes copies nothing.
  const bool inside = offset >= 0 && size_t(offset) <= available;
  size_t count = 0;
  if (inside) {
    count = size <= available - size_t(offset) ? size : available - size_t(offset);
    if (count != 0) {
      std::memcpy(dest, static_cast<const char*>(fBuffer.GetDataPtr()) + offset, count);
    }
  }
  if (got != nullptr) *got = count;
  return inside && count == size ? VE_OK : ToolboxError(toolbox_error::kStreamEndOfData);
}

VError VBlobWithPtr::PutData(const void* src, size_t size, int32 offset) {
  if (offset < 0) return ToolboxError(toolbox_error::kInvalidParameter);
  const size_t start = size_t(offset);
  const size_t oldSize = fBuffer.GetDataSize();
  if (size > SIZE_MAX - start) return ToolboxError(toolbox_error::kMemoryFull);
  if (start + size > fBuffer.GetAllocatedSize() && !fBuffer._EnlargeAmortized(start + size)) {
    SetNotNullAndDirty();
    return ToolboxError(toolbox_error::kMemoryFull);
  }
  char* bytes = static_cast<char*>(fBuffer.GetDataPtr());
  // A gap between the old end and the offset would otherwise be stored as
  // whatever the block held.
  if (start > oldSize) std::memset(bytes + oldSize, 0, start - oldSize);
  // The block now holds start + size bytes, so this only copies and sets
  // the size (an empty piece still moves the end to its offset).
  fBuffer.PutDataAmortized(start, size != 0 ? src : bytes, size);
  SetNotNullAndDirty();
  return VE_OK;
}

VError VBlobWithPtr::FromData(const void* src, size_t size) {
  const bool done = size == 0 ? fBuffer.SetSize(0) : fBuffer.SetData(src, size);
  SetNotNullAndDirty();
  return done ? VE_OK : ToolboxError(toolbox_error::kMemoryFull);
}

// ---- Value operations

bool VBlobWithPtr::FromValueSameKind(const VValue* other) {
  const VBlobWithPtr* source = dynamic_cast<const VBlobWithPtr*>(other);
  if (source == nullptr) return false;
  const size_t size = source->fBuffer.GetDataSize();
  const bool copied = size == 0 ? fBuffer.SetSize(0) : fBuffer.SetData(source->GetDataPtr(), size);
  SetNull(source->IsNull());
  fFlags |= kFlagDirty;
  return copied;
}

bool VBlobWithPtr::EqualToSameKind(const VValue* other, bool) const {
  if (other == nullptr || other->IsNull()) return false;
  const VBlobWithPtr* blob = dynamic_cast<const VBlobWithPtr*>(other);
  if (blob == nullptr) return false;
  const size_t size = fBuffer.GetDataSize();
  return size == blob->fBuffer.GetDataSize() &&
         (size == 0 || std::memcmp(GetDataPtr(), blob->GetDataPtr(), size) == 0);
}

bool VBlobWithPtr::EqualToSameKindWithOptions(const VValue* other, const VCompareOptions&) const {
  return EqualToSameKind(other, false);
}

void VBlobWithPtr::GetValue(VValueSingle& target) const {
  if (target.GetValueKind() != kValueKindBlob) return;
  if (VBlob* blob = dynamic_cast<VBlob*>(&target); blob != nullptr) {
    blob->FromData(GetDataPtr(), fBuffer.GetDataSize());
  }
}

void VBlobWithPtr::FromValue(const VValueSingle& value) {
  Clear();
  if (value.GetValueKind() != kValueKindBlob) return;
  if (const VBlobWithPtr* blob = dynamic_cast<const VBlobWithPtr*>(&value); blob != nullptr) {
    PutData(blob->GetDataPtr(), blob->fBuffer.GetDataSize(), 0);
  }
}

// ---- Raw form

const void* VBlobWithPtr::LoadFromPtr(const void* data, bool) {
  const int32 size = LoadSize(data);
  const uint8* bytes = static_cast<const uint8*>(data) + sizeof(int32);
  if (size >= 1) {
    FromData(bytes, size_t(size));
    return bytes + size;
  }
  return bytes;
}

void* VBlobWithPtr::WriteToPtr(void* data, bool, size_t) const {
  const int32 size = int32(fBuffer.GetDataSize());
  std::memcpy(data, &size, sizeof(size));
  uint8* bytes = static_cast<uint8*>(data) + sizeof(int32);
  if (size > 0) std::memcpy(bytes, GetDataPtr(), size_t(size));
  return bytes + fBuffer.GetDataSize();
}

size_t VBlobWithPtr::GetSpace(size_t) const { return fBuffer.GetDataSize() + sizeof(int32); }

// ---- Stream form

VError VBlobWithPtr::ReadFromStream(VStream* stream, int32) {
  int32 storedSize = 0;
  int32 count = 1;
  VError error = stream->GetLongs(&storedSize, &count);
  if (error != VE_OK || count != 1) return error;
  const size_t size = uint32(storedSize);
  size_t have = 0;
  error = SetSize(size < kStreamReadChunk ? size : kStreamReadChunk);
  while (error == VE_OK && have < size) {
    const size_t chunk = size - have < kStreamReadChunk ? size - have : kStreamReadChunk;
    if (fBuffer.GetDataSize() < have + chunk) {
      error = SetSize(have + chunk);
      if (error != VE_OK) break;
    }
    size_t got = 0;
    error = stream->GetData(static_cast<char*>(fBuffer.GetDataPtr()) + have, chunk, &got);
    have += got;
  }
  // Only the bytes that arrived are kept.
  if (have < fBuffer.GetDataSize()) fBuffer.SetSize(have);
  return error;
}

VError VBlobWithPtr::WriteToStream(VStream* stream, int32 param) const {
  VValueSingle::WriteToStream(stream, param);
  const size_t size = fBuffer.GetDataSize();
  if (size > UINT32_MAX) return ToolboxError(toolbox_error::kInvalidParameter);
  const int32 storedSize = int32(uint32(size));
  const VError error = stream->PutLongs(&storedSize, 1);
  if (error != VE_OK || size == 0) return error;
  return stream->PutData(GetDataPtr(), size);
}

}  // namespace zeft
