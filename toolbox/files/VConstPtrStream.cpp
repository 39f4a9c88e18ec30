#include "files/VConstPtrStream.h"

#include <cstring>

namespace zeft {

VConstPtrStream::VConstPtrStream(const void* data, uint64 size)
    : fData(data), fSize(data != nullptr ? size : 0) {}

VConstPtrStream::~VConstPtrStream() = default;

bool VConstPtrStream::GetUnderlyingData(const void*& outData, int64& outSize) const {
  outData = fData;
  outSize = int64(fSize);
  return true;
}

VError VConstPtrStream::DoOpenWriting() {
  return _PushError(toolbox_error::kStreamNotOpenForWriting);
}

VError VConstPtrStream::DoPutData(const void* /*data*/, size_t /*count*/) {
  return _PushError(toolbox_error::kStreamNotOpenForWriting);
}

VError VConstPtrStream::DoGetData(void* buffer, size_t* ioCount) {
  uint64 position = uint64(GetPos());
  uint64 available = position < fSize ? fSize - position : 0;
  if (*ioCount <= available) {
    if (*ioCount > 0) std::memcpy(buffer, static_cast<const char*>(fData) + position, *ioCount);
    return VE_OK;
  }
  if (available > 0) std::memcpy(buffer, static_cast<const char*>(fData) + position, available);
  *ioCount = size_t(available);
  return _PushError(toolbox_error::kStreamEndOfData);
}

int64 VConstPtrStream::DoGetSize() { return int64(fSize); }

VError VConstPtrStream::DoSetSize(int64 /*size*/) {
  return _PushError(toolbox_error::kStreamNotOpenForWriting);
}

VError VConstPtrStream::DoSetPos(int64 position) {
  if (uint64(position) <= fSize) return VE_OK;
  return _PushError(toolbox_error::kStreamEndOfData);
}

}  // namespace zeft
