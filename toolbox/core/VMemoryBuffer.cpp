#include "core/VMemoryBuffer.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>

#include "core/VCppMemMgr.h"

namespace zeft {

namespace {

// True when `pointer` lies inside [block, block + size). std::less gives a
// total order even for pointers into different objects.
bool PointsInto(const void* pointer, const char* block, size_t size) {
  if (block == nullptr || pointer == nullptr) return false;
  const char* p = static_cast<const char*>(pointer);
  std::less<const char*> less;
  return !less(p, block) && less(p, block + size);
}

}  // namespace

template <size_t kGranule, size_t kDivisor, size_t kMaxGrowth>
VMemoryBuffer<kGranule, kDivisor, kMaxGrowth>::VMemoryBuffer() noexcept
    : fMemMgr(VObject::sCppMemMgr) {}

template <size_t kGranule, size_t kDivisor, size_t kMaxGrowth>
VMemoryBuffer<kGranule, kDivisor, kMaxGrowth>::~VMemoryBuffer() {
  _FreeBlock();
}

template <size_t kGranule, size_t kDivisor, size_t kMaxGrowth>
VMemoryBuffer<kGranule, kDivisor, kMaxGrowth>::VMemoryBuffer(VMemoryBuffer&& other) noexcept
    : fMemMgr(other.fMemMgr),
      fData(std::exchange(other.fData, nullptr)),
      fDataSize(std::exchange(other.fDataSize, 0)),
      fAllocatedSize(std::exchange(other.fAllocatedSize, 0)) {}

template <size_t kGranule, size_t kDivisor, size_t kMaxGrowth>
VMemoryBuffer<kGranule, kDivisor, kMaxGrowth>&
VMemoryBuffer<kGranule, kDivisor, kMaxGrowth>::operator=(VMemoryBuffer&& other) noexcept {
  if (this != &other) {
    VMemoryBuffer taken(std::move(other));
    Swap(taken);
  }
  return *this;
}

template <size_t kGranule, size_t kDivisor, size_t kMaxGrowth>
void VMemoryBuffer<kGranule, kDivisor, kMaxGrowth>::Swap(VMemoryBuffer& other) noexcept {
  std::swap(fMemMgr, other.fMemMgr);
  std::swap(fData, other.fData);
  std::swap(fDataSize, other.fDataSize);
  std::swap(fAllocatedSize, other.fAllocatedSize);
}

template <size_t kGranule, size_t kDivisor, size_t kMaxGrowth>
void* VMemoryBuffer<kGranule, kDivisor, kMaxGrowth>::_ReallocBlock(size_t size) {
  if (fMemMgr == nullptr) return nullptr;  // made before the memory manager existed
  if (fData == nullptr) return fMemMgr->Malloc(size, false, kMemoryBufferTag);
  return fMemMgr->Realloc(fData, size);
}

template <size_t kGranule, size_t kDivisor, size_t kMaxGrowth>
void VMemoryBuffer<kGranule, kDivisor, kMaxGrowth>::_FreeBlock() noexcept {
  if (fData != nullptr) fMemMgr->Free(fData);
  fData = nullptr;
  fDataSize = 0;
  fAllocatedSize = 0;
}

template <size_t kGranule, size_t kDivisor, size_t kMaxGrowth>
bool VMemoryBuffer<kGranule, kDivisor, kMaxGrowth>::SetAllocatedSize(size_t size) {
  if (size == fAllocatedSize) return true;
  if (size == 0) {
    _FreeBlock();
    return true;
  }
  void* block = _ReallocBlock(size);
  if (block == nullptr) return false;  // the old block, if any, is intact
  fData = static_cast<char*>(block);
  fAllocatedSize = size;
  // A fresh block holds no data yet: only shrinking lowers the data size.
  fDataSize = std::min(fDataSize, size);
  return true;
}

template <size_t kGranule, size_t kDivisor, size_t kMaxGrowth>
bool VMemoryBuffer<kGranule, kDivisor, kMaxGrowth>::SetSize(size_t size) {
  if (!SetAllocatedSize(size)) return false;
  fDataSize = size;
  return true;
}

template <size_t kGranule, size_t kDivisor, size_t kMaxGrowth>
bool VMemoryBuffer<kGranule, kDivisor, kMaxGrowth>::SetData(const void* data, size_t size) {
  if (data == nullptr && size != 0) return false;
  if (size != 0 && PointsInto(data, fData, fAllocatedSize)) {
    // The source is our own block, which a reallocation may move or cut:
    // copy it into a new block first so that a failure changes nothing.
    size_t offset = size_t(static_cast<const char*>(data) - fData);
    if (size > fAllocatedSize - offset) return false;  // runs past the block
    if (size == fAllocatedSize) {                      // the whole block: already in place
      fDataSize = size;
      return true;
    }
    void* block = fMemMgr->Malloc(size, false, kMemoryBufferTag);
    if (block == nullptr) return false;
    std::memcpy(block, data, size);
    fMemMgr->Free(fData);
    fData = static_cast<char*>(block);
    fDataSize = size;
    fAllocatedSize = size;
    return true;
  }
  if (!SetAllocatedSize(size)) return false;
  if (size != 0) std::memcpy(fData, data, size);
  fDataSize = size;
  return true;
}

template <size_t kGranule, size_t kDivisor, size_t kMaxGrowth>
bool VMemoryBuffer<kGranule, kDivisor, kMaxGrowth>::_EnlargeAmortized(size_t needed) {
  // Enlarging never shrinks: data past a smaller target would be lost.
  if (needed <= fAllocatedSize) return true;
  constexpr size_t kMax = std::numeric_limits<size_t>::max();
  size_t growth = std::min(needed / kDivisor, kMaxGrowth);
  void* block = nullptr;
  size_t obtained = 0;
  if (needed <= kMax - growth - (kGranule - 1)) {
    obtained = (needed + growth + kGranule - 1) & ~(kGranule - 1);
    block = _ReallocBlock(obtained);
  }
  if (block == nullptr) {
    obtained = needed;
    block = _ReallocBlock(obtained);
  }
  if (block == nullptr) return false;
  fData = static_cast<char*>(block);
  fAllocatedSize = obtained;
  return true;
}

template <size_t kGranule, size_t kDivisor, size_t kMaxGrowth>
bool VMemoryBuffer<kGranule, kDivisor, kMaxGrowth>::_PutDataGrowing(size_t offset, const void* data,
                                                                    size_t size) {
  if (data == nullptr && size != 0) return false;
  if (offset > std::numeric_limits<size_t>::max() - size) return false;
  size_t end = offset + size;
  // Growth may move the block: remember where an aliased source sits in it.
  bool aliased = size != 0 && PointsInto(data, fData, fAllocatedSize);
  size_t sourceOffset = aliased ? size_t(static_cast<const char*>(data) - fData) : 0;
  if (aliased && size > fAllocatedSize - sourceOffset) return false;  // runs past the block
  if (end > fAllocatedSize && !_EnlargeAmortized(end)) return false;
  if (size != 0) std::memmove(fData + offset, aliased ? fData + sourceOffset : data, size);
  if (fDataSize < end) fDataSize = end;
  return true;
}

template class VMemoryBuffer<>;

}  // namespace zeft
