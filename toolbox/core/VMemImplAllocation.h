// VMemImplAllocation is one region of the block allocator: a piece of
// virtual memory with a 56-byte header, then a data area where big blocks
// are handed out from the start upwards. Freed blocks at the top lower the
// top again, so an emptied region can be given back whole.
#pragma once

#include <cstddef>

#include "core/VMemImplBlock.h"
#include "core/VTypes.h"

namespace zeft {

class VMemCppImpl;

class VMemImplAllocation {
 public:
  static constexpr size_t kHeaderSize = 56;
  // Header plus the slack kept at the end of the region.
  static constexpr size_t kOverhead = 64;

  // Sets up the header for a region of `size` bytes (at least kOverhead).
  void Init(VMemCppImpl* arena, size_t size, bool physical);

  char* GetDataStart() { return reinterpret_cast<char*>(this) + kHeaderSize; }
  const char* GetDataStart() const { return reinterpret_cast<const char*>(this) + kHeaderSize; }
  // Bytes of virtual memory the region holds.
  size_t GetRegionSize() const { return fUsableSize + kOverhead; }

  // Places a block of `size` bytes at the top when the data area has room;
  // null otherwise. The block gets its region, size and previous size.
  VMemImplBlock* AllocateAtTheEnd(size_t size);
  bool IsLastBlock(const VMemImplBlock* block) const;
  // True when the block's header lies inside the part of the data area
  // handed out so far.
  bool Contains(const void* block) const;
  // Lowers the top to the start of `block`, the last block of the region.
  void ReduceFrom(VMemImplBlock* block);
  VMemImplBlock* GetLastBlock();

  VMemCppImpl* fArena;
  VMemImplAllocation* fNext;
  VMemImplAllocation* fPrevious;
  size_t fUsableSize;
  size_t fTop;
  size_t fLastBlockSize;
  bool fPhysical;
};

static_assert(sizeof(VMemImplAllocation) == VMemImplAllocation::kHeaderSize);

}  // namespace zeft
