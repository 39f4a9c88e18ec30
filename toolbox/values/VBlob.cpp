#include "values/VBlob.h"

#include "values/VBlobWithPtr.h"

namespace zeft {

VError VBlob::FromData(const void* src, size_t size) {
  const VError error = SetSize(size);
  if (error != VE_OK || size == 0) return error;
  return PutData(src, size, 0);
}

const VValueInfo* VBlob::GetValueInfo() const { return &sInfo; }

void VBlob::Clear() { FromData(nullptr, 0); }

size_t VBlob::GetFullSpaceOnDisk(uint64& outSize) const {
  outSize = GetSize();
  return size_t(outSize);
}

const void* VBlob::LoadFromPtr(const void*, bool) { return nullptr; }
void* VBlob::WriteToPtr(void*, bool, size_t) const { return nullptr; }
void VBlob::GetValue(VValueSingle&) const {}
void VBlob::FromValue(const VValueSingle&) {}

CompareResult VBlob::CompareTo(const VValueSingle&, bool) const { return kCompareUnordered; }

void VBlob::DoNullChanged() {
  if (IsNull()) SetSize(0);
}

}  // namespace zeft
