#include "core/VPageAllocationImpl.h"

#include <algorithm>
#include <bitset>

#include "core/VMemStats.h"

namespace zeft {

void VPageAllocationImpl::Init(VMemThreadImpl* owner, size_t pageSize, size_t blockSize) {
  fOwner = owner;
  fFreeHead = nullptr;
  fNext = nullptr;
  fPrevious = nullptr;
  fPageSize = pageSize;
  fTop = kHeaderSize;
  fFreeCount = 0;
  fUsedCount = 0;
  fCapacity = uint16((pageSize - kHeaderSize) / blockSize);
  fBlockSize = uint16(blockSize);
}

void* VPageAllocationImpl::Malloc(bool objectFlag, int32 tag, int64& inUse) {
  VMemImplSmallBlock* block;
  if (fFreeHead != nullptr) {
    block = fFreeHead;
    fFreeHead = block->fNextFree;
    --fFreeCount;
  } else if (fPageSize - fTop >= fBlockSize) {
    block = reinterpret_cast<VMemImplSmallBlock*>(reinterpret_cast<char*>(this) + fTop);
    fTop += fBlockSize;
  } else {
    return nullptr;
  }
  block->SetOffset(size_t(reinterpret_cast<char*>(block) - reinterpret_cast<char*>(this)),
                   objectFlag);
  block->fTag = tag;
  ++fUsedCount;
  inUse += fBlockSize;
  return block->GetData();
}

void VPageAllocationImpl::Free(VMemImplSmallBlock* block, int64& inUse) {
  block->fNextFree = fFreeHead;
  fFreeHead = block;
  ++fFreeCount;
  --fUsedCount;
  inUse -= fBlockSize;
}

bool VPageAllocationImpl::IsInside(const void* address) const {
  const char* start = reinterpret_cast<const char*>(this);
  const char* at = static_cast<const char*>(address);
  return at >= start + kHeaderSize && at + VMemImplSmallBlock::kHeaderSize <= start + fTop;
}

bool VPageAllocationImpl::IsBlockFree(const VMemImplSmallBlock* block) const {
  if (!IsInside(block)) return true;
  for (const VMemImplSmallBlock* free = fFreeHead; free != nullptr; free = free->fNextFree) {
    if (free == block) return true;
  }
  return false;
}

bool VPageAllocationImpl::Check() const {
  if (fBlockSize == 0 || fCapacity == 0) return false;
  if (fCapacity != (fPageSize - kHeaderSize) / fBlockSize) return false;
  if (fUsedCount > fCapacity || fFreeCount > fCapacity) return false;
  if (fTop < kHeaderSize || fTop > fPageSize || (fTop - kHeaderSize) % fBlockSize != 0)
    return false;
  const size_t cut = (fTop - kHeaderSize) / fBlockSize;
  if (size_t(fUsedCount) + fFreeCount != cut) return false;

  const char* start = reinterpret_cast<const char*>(this);
  size_t chained = 0;
  for (const VMemImplSmallBlock* free = fFreeHead; free != nullptr; free = free->fNextFree) {
    // More links than blocks means a cycle.
    if (++chained > fFreeCount) return false;
    const char* at = reinterpret_cast<const char*>(free);
    if (!IsInside(free) || size_t(at - start - kHeaderSize) % fBlockSize != 0) return false;
  }
  if (chained != fFreeCount) return false;

  for (size_t offset = kHeaderSize; offset < fTop; offset += fBlockSize) {
    auto* block = reinterpret_cast<const VMemImplSmallBlock*>(start + offset);
    if (block->fOffsetWord >= 0 || block->GetOffset() != offset) return false;
  }
  return true;
}

void VPageAllocationImpl::GetStats(VMemStats& stats) const {
  const size_t room = GetRoom();
  stats.fUsedMem -= room;
  stats.fFreeMem += room;
  VMemStatFullPartial& pages = stats.fAllocationPagesBySize[fBlockSize];
  if (IsFull())
    ++pages.fFull;
  else
    ++pages.fPartial;

  // Mark the chained blocks once rather than search the chain per block.
  const char* start = reinterpret_cast<const char*>(this);
  std::bitset<kMaxCapacity> onChain;
  for (const VMemImplSmallBlock* free = fFreeHead; free != nullptr; free = free->fNextFree)
    onChain.set((size_t(reinterpret_cast<const char*>(free) - start) - kHeaderSize) / fBlockSize);

  VMemStatUsedFree& bySize = stats.fSmallBlocksBySize[fBlockSize];
  for (size_t offset = kHeaderSize; offset < fTop; offset += fBlockSize) {
    auto* block = reinterpret_cast<const VMemImplSmallBlock*>(start + offset);
    ++stats.fNbSmallBlocks;
    if (onChain.test((offset - kHeaderSize) / fBlockSize)) {
      ++stats.fNbFreeSmallBlocks;
      ++bySize.fFree;
      stats.fBiggestFreeBlock = std::max<uint64>(stats.fBiggestFreeBlock, fBlockSize);
      continue;
    }
    ++stats.fNbUsedSmallBlocks;
    ++bySize.fUsed;
    stats.fFreeMem -= fBlockSize;
    stats.fUsedMem += fBlockSize;
    VMemStatObject& byTag = stats.fBlocksByTag[uint32(block->fTag)];
    ++byTag.fCount;
    byTag.fMem += fBlockSize;
    if (block->IsObject()) ++stats.fNbObjects;
  }
}

VPageAllocationImpl* VPageAllocationImpl::FromSmallBlock(const VMemImplSmallBlock* block) {
  return reinterpret_cast<VPageAllocationImpl*>(
      const_cast<char*>(reinterpret_cast<const char*>(block)) - block->GetOffset());
}

}  // namespace zeft
