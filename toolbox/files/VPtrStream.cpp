#include "files/VPtrStream.h"

#include <cstring>

namespace zeft {

VPtrStream::VPtrStream() = default;

VPtrStream::~VPtrStream() = default;

bool VPtrStream::GetUnderlyingData(const void*& outData, int64& outSize) const {
  outData = fBuffer.GetDataPtr();
  outSize = int64(fBuffer.GetDataSize());
  return true;
}

VError VPtrStream::DoPutData(const void* data, size_t count) {
  if (count == 0) return VE_OK;
  // Grows amortised; fails (without pushing) when the block cannot grow or
  // position + count overflows.
  if (!fBuffer.PutDataAmortized(size_t(GetPos()), data, count)) {
    return ToolboxError(toolbox_error::kMemoryFull);
  }
  return VE_OK;
}

VError VPtrStream::DoGetData(void* buffer, size_t* ioCount) {
  size_t position = size_t(GetPos());
  size_t size = fBuffer.GetDataSize();
  size_t available = position < size ? size - position : 0;
  const char* data = static_cast<const char*>(fBuffer.GetDataPtr());
  if (*ioCount <= available) {
    if (*ioCount > 0) std::memcpy(buffer, data + position, *ioCount);
    return VE_OK;
  }
  if (available > 0) std::memcpy(buffer, data + position, available);
  *ioCount = available;
  return _PushError(toolbox_error::kStreamEndOfData);
}

int64 VPtrStream::DoGetSize() { return int64(fBuffer.GetDataSize()); }

VError VPtrStream::DoSetSize(int64 size) {
  // The block is sized exactly; a size of 0 frees it. Bytes added are
  // cleared so that reading them never shows stale heap contents.
  size_t oldSize = fBuffer.GetDataSize();
  if (!fBuffer.SetSize(size_t(size))) return ToolboxError(toolbox_error::kMemoryFull);
  if (size_t(size) > oldSize) {
    std::memset(static_cast<char*>(fBuffer.GetDataPtr()) + oldSize, 0, size_t(size) - oldSize);
  }
  return VE_OK;
}

VError VPtrStream::DoSetPos(int64 position) {
  if (uint64(position) <= fBuffer.GetDataSize()) return VE_OK;
  return DoSetSize(position);
}

}  // namespace zeft
