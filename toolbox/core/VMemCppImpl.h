// VMemCppImpl is one arena of the toolbox's block allocator. It takes regions
// of virtual memory from the system, carves big blocks from them (exact free
// chains up to 1 MB, best fit above, neighbours merged on free) and serves
// requests up to 8191 bytes from pages of equal-sized small blocks.
//
// An arena takes no lock: the process memory manager serialises every call.
// Blocks are 16-byte aligned.
#pragma once

#include <cstddef>

#include "core/VMemThreadImpl.h"
#include "core/VTypes.h"
#include "core/XMemCppImpl.h"

namespace zeft {

class VMemImplAllocation;
struct VMemImplBlock;

class VMemCppImpl : public XMemCppImpl {
 public:
  // Largest request an arena serves; anything above fails.
  static constexpr size_t kMaxBlockSize = 2147481598;
  // Requests up to this size (without force-big) are small blocks.
  static constexpr size_t kMaxSmallBlockRequest = 8191;
  // Regions below this size are refused.
  static constexpr size_t kMinRegionSize = 65536;
  // Size of a region that automatic allocation adds for an ordinary request.
  static constexpr size_t kAutoRegionSize = 20971520;
  // Chains 1..1024 hold free blocks by size / 1024; chain 1025 holds the
  // free blocks above 1 MB.
  static constexpr int32 kChainCount = 1026;
  static constexpr int32 kLargeChain = 1025;
  static constexpr size_t kExactChainLimit = 1048576;

  explicit VMemCppImpl(int32 arenaNumber);
  ~VMemCppImpl() override;

  VMemCppImpl(const VMemCppImpl&) = delete;
  VMemCppImpl& operator=(const VMemCppImpl&) = delete;

  void Init(VCppMemMgr* manager) override;
  void* Malloc(size_t size, bool forceBig, bool objectFlag, int32 tag) override;
  void Free(void* block) override;
  // Always moves the block, even to a smaller size; null leaves it intact.
  void* Realloc(void* block, size_t size) override;
  size_t GetPtrSize(const void* block) override;
  bool CheckPtr(const void* block) override;
  // Walks every region, chain and page of the arena; the argument is unused.
  bool Check(void* block) override;
  bool AddAllocation(size_t size, const void* hint, bool physical) override;
  int32 CountAllocations() override;
  void SetAutoAllocationState(bool on) override;
  void GetStats(VMemStats& stats, int16 arena) override;
  uint64 GetTotalAllocation() const override;
  void GetMemUsageInfo(size_t& total, size_t& used) override;

  // Hands the arena a region the caller reserved with VSystem::VirtualAlloc
  // or VirtualAllocPhysicalMemory (page aligned). The arena owns it from then
  // on and gives it back with VSystem::VirtualFree once it is empty and
  // automatic allocation is on. False for a null, unaligned or too small
  // region.
  bool AddAlreadyAllocatedMem(void* region, size_t size, bool physical);

  // The number of the arena that owns a block handed out by any arena.
  int32 GetAllocationBlockNumber(const void* block);

  int32 GetArenaNumber() const { return fArenaNumber; }

  // Class of a big block of `size` bytes (header included) and its rounding
  // step: (size + 1023) / 1024 with step 1024 up to 1 MB, else 1025 and 0.
  static int32 GetStepFromSize(size_t size, int32* step);
  // Chain of a free big block: size / 1024 up to 1 MB, else 1025.
  static int32 GetExactStepFromSize(size_t size);

 private:
  friend class VMemThreadImpl;

  // A big block; `page` marks the block as a page of small blocks.
  void* MallocBig(size_t size, bool objectFlag, int32 tag, bool page);
  void FreeBig(VMemImplBlock* block);
  VMemImplBlock* TakeFromChains(int32 sizeClass, size_t blockSize);
  VMemImplBlock* SplitBlock(VMemImplBlock* block, size_t blockSize);
  void PushFreeBlock(VMemImplBlock* block);
  void RemoveBlockFromChainList(VMemImplBlock* block);
  VMemImplBlock* MergeContiguousFreeBlock(VMemImplBlock* lower, VMemImplBlock* upper);
  bool AddRegion(void* memory, size_t size, bool physical);
  void GiveBackRegion(VMemImplAllocation* region);
  bool CheckRegion(VMemImplAllocation* region, int64& inUse, uint64& freeBlocks);
  bool CheckChains(uint64 freeBlocks) const;
  void GetRegionStats(VMemImplAllocation* region, VMemStats& stats, int16 arena);

  VMemThreadImpl fSmallBlocks;
  VCppMemMgr* fMemMgr = nullptr;
  VMemImplAllocation* fRegions = nullptr;
  VMemImplBlock* fFreeChains[kChainCount] = {};
  uint64 fTotalAllocation = 0;
  int64 fBytesInUse = 0;
  int32 fArenaNumber;
  uint8 fAutoAllocation = 0;
};

}  // namespace zeft
