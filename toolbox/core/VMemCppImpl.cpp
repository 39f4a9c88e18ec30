#include "core/VMemCppImpl.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/VCppMemMgr.h"
#include "core/VMemImplAllocation.h"
#include "core/VMemImplBlock.h"
#include "core/VMemImplSmallBlock.h"
#include "core/VMemStats.h"
#include "core/VPageAllocationImpl.h"
#include "platform/VirtualMemory.h"

namespace zeft {

namespace {

// A chained block is split only when at least this much would be left over.
constexpr size_t kMinSplitRest = 8192;
// Room added to a region made for one big block (its header and slack).
constexpr size_t kRegionExtra = 1088;
// Merged free blocks stay below this size so that the size word fits.
constexpr size_t kMergeLimit = size_t(1) << 31;
// Regions must keep this alignment for blocks to come out 16-byte aligned.
constexpr uintptr_t kRegionAlignment = 16;

// The word 8 bytes before a caller's pointer: the offset word of a small
// block (negative) or the previous-size of a big block (not negative).
int32 ReadKindWord(const void* data) {
  int32 word;
  std::memcpy(&word, static_cast<const char*>(data) - 8, sizeof(word));
  return word;
}

}  // namespace

VMemCppImpl::VMemCppImpl(int32 arenaNumber) : fSmallBlocks(this), fArenaNumber(arenaNumber) {}

VMemCppImpl::~VMemCppImpl() {
  while (fRegions != nullptr) GiveBackRegion(fRegions);
}

void VMemCppImpl::Init(VCppMemMgr* manager) { fMemMgr = manager; }

int32 VMemCppImpl::GetStepFromSize(size_t size, int32* step) {
  if (size <= kExactChainLimit) {
    *step = 1024;
    return int32((size + 1023) / 1024);
  }
  *step = 0;
  return kLargeChain;
}

int32 VMemCppImpl::GetExactStepFromSize(size_t size) {
  return size <= kExactChainLimit ? int32(size / 1024) : kLargeChain;
}

void* VMemCppImpl::Malloc(size_t size, bool forceBig, bool objectFlag, int32 tag) {
  if (!forceBig && size <= kMaxSmallBlockRequest)
    return fSmallBlocks.Malloc(size + VMemImplSmallBlock::kHeaderSize, objectFlag, tag);
  return MallocBig(size, objectFlag, tag, false);
}

void* VMemCppImpl::MallocBig(size_t size, bool objectFlag, int32 tag, bool page) {
  if (size > kMaxBlockSize) return nullptr;
  size_t blockSize = size + VMemImplBlock::kHeaderSize;
  int32 step = 0;
  const int32 sizeClass = GetStepFromSize(blockSize, &step);
  // Sizes are kept multiples of 16 (not only 8) so that every block, and
  // every page of small blocks, stays 16-byte aligned.
  blockSize = sizeClass == kLargeChain ? (blockSize + 15) & ~size_t(15) : size_t(sizeClass) * 1024;

  VMemImplBlock* block = nullptr;
  if (sizeClass != kLargeChain) {
    // Any block of this chain is big enough; it is taken whole.
    block = fFreeChains[sizeClass];
    if (block != nullptr) RemoveBlockFromChainList(block);
  } else {
    VMemImplBlock* best = nullptr;
    for (VMemImplBlock* free = fFreeChains[kLargeChain]; free != nullptr; free = free->fNextFree) {
      const size_t freeSize = free->GetSize();
      if (freeSize < blockSize) continue;
      if (best == nullptr || freeSize < best->GetSize()) best = free;
      if (freeSize == blockSize) break;
    }
    if (best != nullptr) {
      RemoveBlockFromChainList(best);
      block = SplitBlock(best, blockSize);
    }
  }

  for (VMemImplAllocation* region = fRegions; block == nullptr && region != nullptr;
       region = region->fNext)
    block = region->AllocateAtTheEnd(blockSize);

  if (block == nullptr && sizeClass != kLargeChain) {
    for (int32 chain = kLargeChain; chain > sizeClass; --chain) {
      if (fFreeChains[chain] == nullptr) continue;
      block = fFreeChains[chain];
      RemoveBlockFromChainList(block);
      block = SplitBlock(block, blockSize);
      break;
    }
  }

  if (block == nullptr && fAutoAllocation != 0 &&
      AddAllocation(std::max(blockSize + kRegionExtra, kAutoRegionSize), nullptr, false))
    block = fRegions->AllocateAtTheEnd(blockSize);
  if (block == nullptr) return nullptr;

  const size_t handedOut = block->GetSize();
  block->fSizeWord = int32(handedOut) | (objectFlag ? VMemImplBlock::kObjectFlag : 0) |
                     (page ? VMemImplBlock::kPageFlag : 0);
  block->fTag = tag;
  fBytesInUse += int64(handedOut);
  return block->GetData();
}

VMemImplBlock* VMemCppImpl::SplitBlock(VMemImplBlock* block, size_t blockSize) {
  const size_t total = block->GetSize();
  if (total - blockSize < kMinSplitRest) return block;
  const size_t restSize = total - blockSize;
  auto* rest = reinterpret_cast<VMemImplBlock*>(reinterpret_cast<char*>(block) + blockSize);
  VMemImplAllocation* region = block->fRegion;
  rest->fRegion = region;
  rest->fReserved = 0;
  rest->fPrevSize = int32(blockSize);
  rest->fTag = 0;
  rest->SetFree(restSize);
  // A chained block never ends its region (freeing the last block lowers the
  // top instead), so a block follows the rest.
  rest->GetNext()->fPrevSize = int32(restSize);
  PushFreeBlock(rest);
  block->fSizeWord = int32(blockSize);
  return block;
}

void VMemCppImpl::PushFreeBlock(VMemImplBlock* block) {
  VMemImplBlock*& head = fFreeChains[GetExactStepFromSize(block->GetSize())];
  block->fPrevFree = nullptr;
  block->fNextFree = head;
  if (head != nullptr) head->fPrevFree = block;
  head = block;
}

void VMemCppImpl::RemoveBlockFromChainList(VMemImplBlock* block) {
  if (block->fPrevFree != nullptr)
    block->fPrevFree->fNextFree = block->fNextFree;
  else
    fFreeChains[GetExactStepFromSize(block->GetSize())] = block->fNextFree;
  if (block->fNextFree != nullptr) block->fNextFree->fPrevFree = block->fPrevFree;
  block->fNextFree = nullptr;
  block->fPrevFree = nullptr;
}

VMemImplBlock* VMemCppImpl::MergeContiguousFreeBlock(VMemImplBlock* lower, VMemImplBlock* upper) {
  const size_t merged = lower->GetSize() + upper->GetSize();
  lower->SetFree(merged);
  VMemImplAllocation* region = lower->fRegion;
  if (region->IsLastBlock(lower))
    region->fLastBlockSize = merged;
  else
    lower->GetNext()->fPrevSize = int32(merged);
  return lower;
}

void VMemCppImpl::Free(void* block) {
  if (block == nullptr) return;
  if (ReadKindWord(block) < 0) {
    VMemImplSmallBlock* small = VMemImplSmallBlock::FromData(block);
    // The page's allocator belongs to the arena that owns the block.
    VPageAllocationImpl::FromSmallBlock(small)->fOwner->Free(small);
    return;
  }
  FreeBig(VMemImplBlock::FromData(block));
}

void VMemCppImpl::FreeBig(VMemImplBlock* block) {
  VMemImplAllocation* region = block->fRegion;
  if (region == nullptr) return;
  if (region->fArena != this) {
    region->fArena->FreeBig(block);
    return;
  }
  // A block freed twice would be chained twice.
  if (block->IsFree()) return;

  size_t size = block->GetSize();
  fBytesInUse -= int64(size);
  block->SetFree(size);

  VMemImplBlock* previous = block->GetPrevious();
  if (previous != nullptr && previous->IsFree() && previous->GetSize() + size < kMergeLimit) {
    RemoveBlockFromChainList(previous);
    block = MergeContiguousFreeBlock(previous, block);
    size = block->GetSize();
  }

  if (region->IsLastBlock(block)) {
    // Free space at the top goes back to the region, with any free run in
    // front of it (left unmerged only when merging would overflow).
    region->ReduceFrom(block);
    for (VMemImplBlock* last = region->GetLastBlock(); last != nullptr && last->IsFree();
         last = region->GetLastBlock()) {
      RemoveBlockFromChainList(last);
      region->ReduceFrom(last);
    }
    if (region->fTop == 0 && fAutoAllocation != 0) GiveBackRegion(region);
    return;
  }

  VMemImplBlock* next = block->GetNext();
  if (next->IsFree() && next->GetSize() + size < kMergeLimit) {
    RemoveBlockFromChainList(next);
    block = MergeContiguousFreeBlock(block, next);
  }
  PushFreeBlock(block);
}

void* VMemCppImpl::Realloc(void* block, size_t size) {
  if (block == nullptr) return Malloc(size, false, false, 0);
  const int32 tag = ReadKindWord(block) < 0 ? VMemImplSmallBlock::FromData(block)->fTag
                                            : VMemImplBlock::FromData(block)->fTag;
  void* moved = Malloc(size, false, false, tag);
  if (moved == nullptr) return nullptr;
  std::memcpy(moved, block, std::min(GetPtrSize(block), size));
  Free(block);
  return moved;
}

size_t VMemCppImpl::GetPtrSize(const void* block) {
  if (block == nullptr) return 0;
  if (ReadKindWord(block) < 0) {
    const VMemImplSmallBlock* small = VMemImplSmallBlock::FromData(block);
    return size_t(VPageAllocationImpl::FromSmallBlock(small)->fBlockSize) -
           VMemImplSmallBlock::kHeaderSize;
  }
  return VMemImplBlock::FromData(block)->GetSize() - VMemImplBlock::kHeaderSize;
}

int32 VMemCppImpl::GetAllocationBlockNumber(const void* block) {
  if (block == nullptr) return -1;
  if (ReadKindWord(block) < 0) {
    const VMemImplSmallBlock* small = VMemImplSmallBlock::FromData(block);
    return VPageAllocationImpl::FromSmallBlock(small)->fOwner->GetArena()->fArenaNumber;
  }
  const VMemImplAllocation* region = VMemImplBlock::FromData(block)->fRegion;
  return region == nullptr ? -1 : region->fArena->fArenaNumber;
}

bool VMemCppImpl::CheckPtr(const void* block) {
  if (block == nullptr) return false;
  if (ReadKindWord(block) < 0) {
    const VMemImplSmallBlock* small = VMemImplSmallBlock::FromData(block);
    const size_t offset = small->GetOffset();
    if (offset < VPageAllocationImpl::kHeaderSize) return false;
    const VPageAllocationImpl* page = VPageAllocationImpl::FromSmallBlock(small);
    if (page->fBlockSize == 0 ||
        (offset - VPageAllocationImpl::kHeaderSize) % page->fBlockSize != 0)
      return false;
    return !page->IsBlockFree(small);
  }
  VMemImplBlock* big = VMemImplBlock::FromData(block);
  return big->fSizeWord >= 0 && big->fRegion != nullptr && big->fRegion->Contains(big);
}

bool VMemCppImpl::CheckRegion(VMemImplAllocation* region, int64& inUse, uint64& freeBlocks) {
  if (region->fArena != this || region->fTop > region->fUsableSize) return false;
  char* start = region->GetDataStart();
  size_t offset = 0;
  size_t previousSize = 0;
  bool previousFree = false;
  while (offset < region->fTop) {
    auto* block = reinterpret_cast<VMemImplBlock*>(start + offset);
    const size_t size = block->GetSize();
    if (block->fRegion != region || size < 1024 || size % 16 != 0) return false;
    if (size > region->fTop - offset || size_t(block->fPrevSize) != previousSize) return false;
    if (block->IsFree()) {
      // Neighbouring free blocks would have been merged unless too big.
      if (previousFree && previousSize + size < kMergeLimit) return false;
      ++freeBlocks;
    } else {
      inUse += int64(size);
      if (block->IsPage()) {
        auto* page = reinterpret_cast<VPageAllocationImpl*>(block->GetData());
        if (page->fOwner != &fSmallBlocks || !page->Check()) return false;
        if (page->fPageSize > size - VMemImplBlock::kHeaderSize) return false;
        inUse -= int64(page->GetRoom()) - int64(page->fUsedCount) * page->fBlockSize;
      }
    }
    previousFree = block->IsFree();
    previousSize = size;
    offset += size;
  }
  // The last block is never free: freeing it lowers the top.
  return offset == region->fTop && region->fLastBlockSize == previousSize && !previousFree;
}

bool VMemCppImpl::CheckChains(uint64 freeBlocks) const {
  uint64 chained = 0;
  for (int32 chain = 0; chain < kChainCount; ++chain) {
    const VMemImplBlock* previous = nullptr;
    for (const VMemImplBlock* block = fFreeChains[chain]; block != nullptr;
         block = block->fNextFree) {
      // More chained blocks than free blocks means a cycle or a stray link.
      if (++chained > freeBlocks) return false;
      if (!block->IsFree() || block->fPrevFree != previous) return false;
      if (GetExactStepFromSize(block->GetSize()) != chain) return false;
      if (block->fRegion == nullptr || block->fRegion->fArena != this) return false;
      previous = block;
    }
  }
  return chained == freeBlocks;
}

bool VMemCppImpl::Check(void*) {
  int64 inUse = 0;
  uint64 freeBlocks = 0;
  uint64 total = 0;
  const VMemImplAllocation* previous = nullptr;
  for (VMemImplAllocation* region = fRegions; region != nullptr; region = region->fNext) {
    if (region->fPrevious != previous) return false;
    if (!CheckRegion(region, inUse, freeBlocks)) return false;
    total += region->GetRegionSize();
    previous = region;
  }
  return total == fTotalAllocation && inUse == fBytesInUse && CheckChains(freeBlocks) &&
         fSmallBlocks.Check();
}

bool VMemCppImpl::AddAllocation(size_t size, const void* hint, bool physical) {
  if (size < kMinRegionSize) return false;
  const size_t rounded = platform::RoundUpVMPageSize(size);
  if (rounded < size) return false;
  void* memory;
  bool wired = false;
  if (physical)
    memory = platform::VirtualAllocPhysicalMemory(rounded, hint, &wired);
  else
    memory = platform::VirtualAlloc(rounded, hint);
  if (memory == nullptr) return false;
  return AddRegion(memory, rounded, wired);
}

bool VMemCppImpl::AddAlreadyAllocatedMem(void* region, size_t size, bool physical) {
  if (region == nullptr || size < kMinRegionSize) return false;
  if (reinterpret_cast<uintptr_t>(region) % kRegionAlignment != 0) return false;
  return AddRegion(region, size, physical);
}

bool VMemCppImpl::AddRegion(void* memory, size_t size, bool physical) {
  auto* region = new (memory) VMemImplAllocation;
  region->Init(this, size, physical);
  region->fNext = fRegions;
  if (fRegions != nullptr) fRegions->fPrevious = region;
  fRegions = region;
  fTotalAllocation += size;
  if (fMemMgr != nullptr) fMemMgr->AddReservedRegionSize(size);
  return true;
}

void VMemCppImpl::GiveBackRegion(VMemImplAllocation* region) {
  if (region->fPrevious != nullptr)
    region->fPrevious->fNext = region->fNext;
  else
    fRegions = region->fNext;
  if (region->fNext != nullptr) region->fNext->fPrevious = region->fPrevious;
  const size_t size = region->GetRegionSize();
  fTotalAllocation -= size;
  // The manager's record only adds; unsigned arithmetic wraps, so adding the
  // two's complement takes the region off again.
  if (fMemMgr != nullptr) fMemMgr->AddReservedRegionSize(uint64(0) - uint64(size));
  platform::VirtualFree(region, size);
}

int32 VMemCppImpl::CountAllocations() {
  int32 count = 0;
  for (const VMemImplAllocation* region = fRegions; region != nullptr; region = region->fNext)
    ++count;
  return count;
}

void VMemCppImpl::SetAutoAllocationState(bool on) { fAutoAllocation = on ? 1 : 0; }

uint64 VMemCppImpl::GetTotalAllocation() const { return fTotalAllocation; }

void VMemCppImpl::GetMemUsageInfo(size_t& total, size_t& used) {
  total = size_t(fTotalAllocation);
  used = size_t(fBytesInUse);
}

void VMemCppImpl::GetStats(VMemStats& stats, int16 arena) {
  for (VMemImplAllocation* region = fRegions; region != nullptr; region = region->fNext)
    GetRegionStats(region, stats, arena);
}

void VMemCppImpl::GetRegionStats(VMemImplAllocation* region, VMemStats& stats, int16 arena) {
  char* start = region->GetDataStart();
  stats.fBlockMap.push_back({start, VMemStats::kRegionMarker, arena});
  for (size_t offset = 0; offset < region->fTop;) {
    auto* block = reinterpret_cast<VMemImplBlock*>(start + offset);
    const size_t size = block->GetSize();
    offset += size;
    ++stats.fNbBigBlocks;
    stats.fBiggestBlock = std::max<uint64>(stats.fBiggestBlock, size);
    if (block->IsFree()) {
      stats.fFreeMem += size;
      ++stats.fNbFreeBigBlocks;
      stats.fBiggestFreeBlock = std::max<uint64>(stats.fBiggestFreeBlock, size);
      ++stats.fOtherBlocksBySize[size].fFree;
      stats.fBlockMap.push_back({block, size, arena});
      continue;
    }
    stats.fUsedMem += size;
    ++stats.fNbUsedBigBlocks;
    if (block->IsPage()) {
      ++stats.fNbPages;
      reinterpret_cast<VPageAllocationImpl*>(block->GetData())->GetStats(stats);
      continue;
    }
    ++stats.fOtherBlocksBySize[size].fUsed;
    VMemStatObject& byTag = stats.fBlocksByTag[uint32(block->fTag)];
    ++byTag.fCount;
    byTag.fMem += int64(size);
    if (block->IsObject()) ++stats.fNbObjects;
  }
}

}  // namespace zeft
