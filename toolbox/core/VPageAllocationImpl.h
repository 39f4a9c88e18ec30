// VPageAllocationImpl is a page of small blocks of one size: the data of one
// big block, a 56-byte header, then the blocks back to back. Blocks are cut
// at the top the first time and reused from the page's free chain after.
#pragma once

#include <cstddef>

#include "core/VMemImplBlock.h"
#include "core/VMemImplSmallBlock.h"
#include "core/VTypes.h"

namespace zeft {

class VMemThreadImpl;
class VMemStats;

class VPageAllocationImpl {
 public:
  static constexpr size_t kHeaderSize = 56;
  // Most blocks a page holds (16-byte blocks in an 8168-byte page).
  static constexpr size_t kMaxCapacity = 512;

  void Init(VMemThreadImpl* owner, size_t pageSize, size_t blockSize);

  // A block from the free chain or the top, or null when the page has no
  // room; `inUse` grows by the block size.
  void* Malloc(bool objectFlag, int32 tag, int64& inUse);
  // Puts a block of this page on the free chain; `inUse` falls by its size.
  void Free(VMemImplSmallBlock* block, int64& inUse);

  // True for a block on the free chain and for an address outside the page.
  bool IsBlockFree(const VMemImplSmallBlock* block) const;
  bool IsInside(const void* address) const;
  bool IsFull() const { return fUsedCount == fCapacity; }
  bool Check() const;
  // Moves the page's room from used to free memory, then counts its blocks.
  void GetStats(VMemStats& stats) const;

  static VPageAllocationImpl* FromSmallBlock(const VMemImplSmallBlock* block);
  VMemImplBlock* GetBigBlock() { return VMemImplBlock::FromData(this); }
  size_t GetRoom() const { return size_t(fCapacity) * fBlockSize; }

  VMemThreadImpl* fOwner;
  VMemImplSmallBlock* fFreeHead;
  VPageAllocationImpl* fNext;
  VPageAllocationImpl* fPrevious;
  size_t fPageSize;
  size_t fTop;
  uint16 fFreeCount;
  uint16 fUsedCount;
  uint16 fCapacity;
  uint16 fBlockSize;
};

static_assert(sizeof(VPageAllocationImpl) == VPageAllocationImpl::kHeaderSize);

}  // namespace zeft
