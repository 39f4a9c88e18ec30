#include "core/VMemThreadImpl.h"

#include <new>

#include "core/VMemCppImpl.h"
#include "core/VMemImplBlock.h"
#include "core/VMemImplSmallBlock.h"
#include "core/VPageAllocationImpl.h"

namespace zeft {

int32 VMemThreadImpl::GetStepFromSize(size_t blockSize, int32* step) {
  if (blockSize <= 1024) {
    *step = 16;
    return int32((blockSize + 15) / 16);
  }
  if (blockSize <= 4096) {
    *step = 64;
    return int32((blockSize - 961) / 64 + 65);
  }
  *step = 256;
  return int32((blockSize - 3841) / 256 + 114);
}

size_t VMemThreadImpl::RoundBlockSize(size_t blockSize) {
  int32 step = 0;
  GetStepFromSize(blockSize, &step);
  return (blockSize + size_t(step) - 1) / size_t(step) * size_t(step);
}

size_t VMemThreadImpl::GetPageSize(size_t roundedBlockSize) {
  // 8, 16, 64 or 128 KB big blocks, less their header.
  if (roundedBlockSize < 256) return 8192 - VMemImplBlock::kHeaderSize;
  if (roundedBlockSize < 1024) return 16384 - VMemImplBlock::kHeaderSize;
  if (roundedBlockSize < 4096) return 65536 - VMemImplBlock::kHeaderSize;
  return 131072 - VMemImplBlock::kHeaderSize;
}

void* VMemThreadImpl::Malloc(size_t blockSize, bool objectFlag, int32 tag) {
  int32 step = 0;
  const int32 index = GetStepFromSize(blockSize, &step);
  const size_t rounded = (blockSize + size_t(step) - 1) / size_t(step) * size_t(step);

  VPageAllocationImpl* page = fPages[index];
  void* result = nullptr;
  if (page != nullptr) result = page->Malloc(objectFlag, tag, fArena->fBytesInUse);
  if (result == nullptr) {
    const size_t pageSize = GetPageSize(rounded);
    void* memory = fArena->MallocBig(pageSize, false, 0, true);
    if (memory == nullptr) return nullptr;
    page = new (memory) VPageAllocationImpl;
    page->Init(this, pageSize, rounded);
    // Only the page header counts as used until blocks are handed out.
    fArena->fBytesInUse -= int64(page->GetRoom());
    page->fNext = fPages[index];
    if (page->fNext != nullptr) page->fNext->fPrevious = page;
    fPages[index] = page;
    result = page->Malloc(objectFlag, tag, fArena->fBytesInUse);
  }
  if (page->IsFull()) MarkPageAsFull(page);
  return result;
}

void VMemThreadImpl::Free(VMemImplSmallBlock* block) {
  VPageAllocationImpl* page = VPageAllocationImpl::FromSmallBlock(block);
  const bool wasFull = page->IsFull();
  page->Free(block, fArena->fBytesInUse);
  if (page->fUsedCount == 0) {
    fArena->fBytesInUse += int64(page->GetRoom());
    RemovePage(page);
  } else if (wasFull) {
    MarkPageAsNotFull(page);
  }
}

void VMemThreadImpl::MarkPageAsFull(VPageAllocationImpl* page) {
  int32 step = 0;
  const int32 index = GetStepFromSize(page->fBlockSize, &step);
  if (fPages[index] == page)
    fPages[index] = page->fNext;
  else if (page->fPrevious != nullptr)
    page->fPrevious->fNext = page->fNext;
  else
    return;  // not linked
  if (page->fNext != nullptr) page->fNext->fPrevious = page->fPrevious;
  page->fNext = nullptr;
  page->fPrevious = nullptr;
}

void VMemThreadImpl::MarkPageAsNotFull(VPageAllocationImpl* page) {
  int32 step = 0;
  const int32 index = GetStepFromSize(page->fBlockSize, &step);
  if (fPages[index] == page || page->fPrevious != nullptr) return;
  page->fNext = fPages[index];
  if (page->fNext != nullptr) page->fNext->fPrevious = page;
  fPages[index] = page;
}

void VMemThreadImpl::RemovePage(VPageAllocationImpl* page) {
  MarkPageAsFull(page);
  fArena->FreeBig(page->GetBigBlock());
}

bool VMemThreadImpl::Check() const {
  // A list longer than the arena could hold pages has a cycle.
  const uint64 maxPages = fArena->fTotalAllocation / 8192 + 1;
  for (int32 index = 0; index < kListCount; ++index) {
    const VPageAllocationImpl* previous = nullptr;
    uint64 count = 0;
    for (const VPageAllocationImpl* page = fPages[index]; page != nullptr; page = page->fNext) {
      if (++count > maxPages) return false;
      int32 step = 0;
      if (page->fOwner != this || page->fPrevious != previous) return false;
      if (GetStepFromSize(page->fBlockSize, &step) != index) return false;
      if (page->IsFull() || !page->Check()) return false;
      previous = page;
    }
  }
  return true;
}

}  // namespace zeft
