#include "core/VMemImplAllocation.h"

namespace zeft {

void VMemImplAllocation::Init(VMemCppImpl* arena, size_t size, bool physical) {
  fArena = arena;
  fNext = nullptr;
  fPrevious = nullptr;
  fUsableSize = size - kOverhead;
  fTop = 0;
  fLastBlockSize = 0;
  fPhysical = physical;
}

VMemImplBlock* VMemImplAllocation::AllocateAtTheEnd(size_t size) {
  if (fUsableSize - fTop < size) return nullptr;
  auto* block = reinterpret_cast<VMemImplBlock*>(GetDataStart() + fTop);
  block->fRegion = this;
  block->fSizeWord = int32(size);
  block->fReserved = 0;
  block->fPrevSize = int32(fLastBlockSize);
  fTop += size;
  fLastBlockSize = size;
  return block;
}

bool VMemImplAllocation::IsLastBlock(const VMemImplBlock* block) const {
  return reinterpret_cast<const char*>(block) + block->GetSize() == GetDataStart() + fTop;
}

bool VMemImplAllocation::Contains(const void* block) const {
  const char* start = GetDataStart();
  const char* address = static_cast<const char*>(block);
  return address >= start && address + VMemImplBlock::kHeaderSize <= start + fTop;
}

void VMemImplAllocation::ReduceFrom(VMemImplBlock* block) {
  fTop = size_t(reinterpret_cast<char*>(block) - GetDataStart());
  fLastBlockSize = size_t(block->fPrevSize);
}

VMemImplBlock* VMemImplAllocation::GetLastBlock() {
  if (fTop == 0) return nullptr;
  return reinterpret_cast<VMemImplBlock*>(GetDataStart() + fTop - fLastBlockSize);
}

}  // namespace zeft
