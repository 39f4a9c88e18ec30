// VMemoryBuffer is the toolbox's growable byte buffer: one block from the
// process memory manager, a count of bytes in use and a count of bytes
// allocated. SetSize/SetData size the block exactly; the *Amortized calls
// grow it by half of the need (capped), rounded to whole granules, so that
// appending many small pieces costs amortised constant time.
#pragma once

#include <cstddef>
#include <cstring>

#include "core/VErrorCodes.h"
#include "core/VObject.h"

namespace zeft {

class VCppMemMgr;

// Memory tag of every VMemoryBuffer block.
inline constexpr int32 kMemoryBufferTag = int32(FourCC("memb"));

template <size_t kGranule = 1024, size_t kDivisor = 2, size_t kMaxGrowth = 1048576>
class VMemoryBuffer : public VObject {
  static_assert(kGranule > 0 && (kGranule & (kGranule - 1)) == 0, "granule must be a power of two");
  static_assert(kDivisor > 0, "divisor must not be 0");

 public:
  VMemoryBuffer() noexcept;
  ~VMemoryBuffer() override;

  // A buffer owns its block; copy explicitly with SetData, which can fail.
  VMemoryBuffer(const VMemoryBuffer&) = delete;
  VMemoryBuffer& operator=(const VMemoryBuffer&) = delete;
  VMemoryBuffer(VMemoryBuffer&& other) noexcept;
  VMemoryBuffer& operator=(VMemoryBuffer&& other) noexcept;
  void Swap(VMemoryBuffer& other) noexcept;

  // Allocates exactly `size` bytes and makes them all data; the first
  // min(old data size, size) bytes are kept, the others are uninitialised.
  // False (buffer unchanged, or empty if it had no block) when the memory
  // manager cannot supply the block.
  bool SetSize(size_t size);
  // Allocates exactly `size` bytes and copies them from `data`, which may
  // point into this buffer.
  bool SetData(const void* data, size_t size);
  // Resizes the block to exactly `size` bytes without adding data: the data
  // size is lowered to `size` when it was larger. Size 0 frees the block.
  bool SetAllocatedSize(size_t size);

  // Grows the block to hold at least `needed` bytes, with amortised slack;
  // the data size is untouched. Never shrinks. False when no block of the
  // needed size can be had (buffer unchanged).
  bool _EnlargeAmortized(size_t needed);
  // Copies `size` bytes to `offset`, growing amortised when needed, and
  // raises the data size to offset + size. Bytes between the old data size
  // and `offset` stay uninitialised. `data` may point into this buffer.
  // False, with nothing copied, when the block cannot grow or
  // offset + size overflows.
  bool PutDataAmortized(size_t offset, const void* data, size_t size) {
    // Inline for the common case, a piece that fits in the block.
    if (data != nullptr && offset <= fAllocatedSize && size <= fAllocatedSize - offset) {
      if (size != 0) std::memmove(fData + offset, data, size);
      if (fDataSize < offset + size) fDataSize = offset + size;
      return true;
    }
    return _PutDataGrowing(offset, data, size);
  }
  // Appends `size` bytes after the data.
  bool AddDataAmortized(const void* data, size_t size) {
    return PutDataAmortized(fDataSize, data, size);
  }

  void* GetDataPtr() noexcept { return fData; }
  const void* GetDataPtr() const noexcept { return fData; }
  size_t GetDataSize() const noexcept { return fDataSize; }
  size_t GetAllocatedSize() const noexcept { return fAllocatedSize; }

 private:
  // Malloc when there is no block, Realloc otherwise; null on failure.
  void* _ReallocBlock(size_t size);
  void _FreeBlock() noexcept;
  // PutDataAmortized when the block must grow (or the arguments are bad).
  bool _PutDataGrowing(size_t offset, const void* data, size_t size);

  VCppMemMgr* fMemMgr;
  char* fData = nullptr;
  size_t fDataSize = 0;
  size_t fAllocatedSize = 0;
};

// The program's one instantiation lives in VMemoryBuffer.cpp.
extern template class VMemoryBuffer<>;

}  // namespace zeft
