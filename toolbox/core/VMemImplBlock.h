// VMemImplBlock is the header of a big block of the block allocator: blocks
// lie back to back in a region's data area, each knowing its region, its own
// size and the size of the block in front of it, so that neighbours can be
// found and merged. Free blocks are also linked into their size chain.
#pragma once

#include <cstddef>

#include "core/VTypes.h"

namespace zeft {

class VMemImplAllocation;

struct VMemImplBlock {
  static constexpr size_t kHeaderSize = 24;
  // Bits of the size word of a used block (sizes are multiples of 16).
  static constexpr int32 kObjectFlag = 1;
  static constexpr int32 kPageFlag = 2;
  static constexpr int32 kFlagMask = 7;

  VMemImplAllocation* fRegion;
  // Used: size | flags. Free: minus the size.
  int32 fSizeWord;
  int32 fReserved;
  // Size of the block in front in the same region; 0 for the first block.
  int32 fPrevSize;
  int32 fTag;
  // Free blocks only: neighbours in the size chain.
  VMemImplBlock* fNextFree;
  VMemImplBlock* fPrevFree;

  bool IsFree() const { return fSizeWord < 0; }
  bool IsPage() const { return fSizeWord >= 0 && (fSizeWord & kPageFlag) != 0; }
  bool IsObject() const { return fSizeWord >= 0 && (fSizeWord & kObjectFlag) != 0; }
  size_t GetSize() const {
    return fSizeWord < 0 ? size_t(-int64(fSizeWord)) : size_t(fSizeWord & ~kFlagMask);
  }
  void SetFree(size_t size) { fSizeWord = -int32(size); }

  char* GetData() { return reinterpret_cast<char*>(this) + kHeaderSize; }
  static VMemImplBlock* FromData(const void* data) {
    return reinterpret_cast<VMemImplBlock*>(const_cast<char*>(static_cast<const char*>(data)) -
                                            kHeaderSize);
  }
  VMemImplBlock* GetNext() {
    return reinterpret_cast<VMemImplBlock*>(reinterpret_cast<char*>(this) + GetSize());
  }
  VMemImplBlock* GetPrevious() {
    return fPrevSize == 0
               ? nullptr
               : reinterpret_cast<VMemImplBlock*>(reinterpret_cast<char*>(this) - fPrevSize);
  }
};

static_assert(offsetof(VMemImplBlock, fSizeWord) == 8);
static_assert(offsetof(VMemImplBlock, fPrevSize) == 16);
static_assert(offsetof(VMemImplBlock, fTag) == 20);
static_assert(offsetof(VMemImplBlock, fNextFree) == 24);
static_assert(offsetof(VMemImplBlock, fPrevFree) == 32);

}  // namespace zeft
