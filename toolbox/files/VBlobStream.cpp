#include "files/VBlobStream.h"

#include <cstdint>

#include "values/VBlobWithPtr.h"

namespace zeft {

namespace {

// Positions the blob's 32-bit offsets can reach.
bool IsBlobOffset(int64 position) { return position >= 0 && position <= INT32_MAX; }

}  // namespace

VBlobStream::VBlobStream(VBlob* blob)
    : fBlob(blob != nullptr ? blob : new VBlobWithPtr()), fOwnsBlob(blob == nullptr) {}

VBlobStream::~VBlobStream() {
  if (fOwnsBlob) delete fBlob;
}

VError VBlobStream::DoPutData(const void* data, size_t count) {
  if (count == 0) return VE_OK;
  const int64 position = GetPos();
  if (!IsBlobOffset(position) || count > size_t(INT32_MAX) - size_t(position)) {
    return ToolboxError(toolbox_error::kMemoryFull);
  }
  return fBlob->PutData(data, count, int32(position));
}

VError VBlobStream::DoGetData(void* buffer, size_t* ioCount) {
  const int64 position = GetPos();
  if (!IsBlobOffset(position)) {
    *ioCount = 0;
    return ToolboxError(toolbox_error::kStreamEndOfData);
  }
  return fBlob->GetData(buffer, *ioCount, int32(position), ioCount);
}

int64 VBlobStream::DoGetSize() { return int64(fBlob->GetSize()); }

VError VBlobStream::DoSetSize(int64 size) {
  if (!IsBlobOffset(size)) return ToolboxError(toolbox_error::kMemoryFull);
  // Growing goes through PutData, which zero-fills the new bytes.
  if (uint64(size) > fBlob->GetSize()) return fBlob->PutData(nullptr, 0, int32(size));
  return fBlob->SetSize(size_t(size));
}

VError VBlobStream::DoSetPos(int64 position) {
  if (position >= 0 && uint64(position) <= fBlob->GetSize()) return VE_OK;
  return DoSetSize(position);
}

}  // namespace zeft
