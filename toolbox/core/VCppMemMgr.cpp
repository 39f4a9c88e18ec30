#include "core/VCppMemMgr.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "core/VErrorCodes.h"
#include "core/VMemCppImpl.h"
#include "core/VMemCppImpl_stdlib.h"
#include "core/VMemStats.h"
#include "platform/MainBundle.h"
#include "platform/VirtualMemory.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VMemoryHog.h"
#include "runtime/VTaskMgr.h"

namespace zeft {

VCppMemMgr::VCppMemMgr(EAllocatorKind kind) : VCppMemMgr(kind, false, false) {}

VCppMemMgr::VCppMemMgr(EAllocatorKind kind, bool flag1, bool flag2)
    : fHogLock(std::make_unique<VCriticalSection>()) {
  _Init(kind, flag1, flag2);
}

VCppMemMgr::~VCppMemMgr() {
  delete fSystemImpl;
  for (VMemCppImpl* arena : fArenas) delete arena;
  for (VMemoryHog* hog : fHogs) delete hog;
}

void* VCppMemMgr::operator new(size_t size) noexcept {
  static_assert(alignof(VCppMemMgr) <= sizeof(uint64), "the size prefix breaks alignment");
  size_t total = size + sizeof(uint64);
  void* start = platform::VirtualAlloc(total, nullptr);
  if (start == nullptr) return nullptr;
  *static_cast<uint64*>(start) = total;
  return static_cast<char*>(start) + sizeof(uint64);
}

void VCppMemMgr::operator delete(void* storage) {
  if (storage == nullptr) return;
  char* start = static_cast<char*>(storage) - sizeof(uint64);
  platform::VirtualFree(start, size_t(*reinterpret_cast<uint64*>(start)));
}

bool VCppMemMgr::_BundleAsksForBlockAllocator() {
  // std::string takes its storage from malloc, never from this manager,
  // which does not exist yet.
  std::string value;
  if (!platform::GetMainBundleInfoString("MemoryAllocator", value)) return false;
  // "stdlib" and any other word keep the system allocator.
  return strcasecmp(value.c_str(), "zeft") == 0;
}

void VCppMemMgr::_Init(EAllocatorKind kind, bool flag1, bool flag2) {
  fArenaCount = 0;
  fPlannedArenaCount = 0;
  fCurrentArena = 0;
  fPurgingArena = -1;
  fPurgeGeneration = 0;

  bool useBlockAllocator = false;
  if (kind == kAllocatorFromBundle)
    useBlockAllocator = _BundleAsksForBlockAllocator();
  else if (kind == kAllocatorBlock)
    useBlockAllocator = true;
  // Any other kind gets the system allocator: a manager without a back end
  // would fail at the first request.

  if (useBlockAllocator) {
    fPlannedArenaCount = kArenaCount;
    fArenas.reserve(size_t(kArenaCount));
    for (int32 index = 0; index < kArenaCount; ++index) {
      auto* arena = new VMemCppImpl(index);
      fArenas.push_back(arena);
      arena->Init(this);
      // Without a region of their own and the right to take one, the arenas
      // would refuse every request until someone adds virtual memory.
      arena->SetAutoAllocationState(true);
    }
    fArenaCount = kArenaCount;
    fLargestBlock = VMemCppImpl::kMaxBlockSize;
    fUsesSystemAllocator = false;
  } else {
    fSystemImpl = new VMemCppImpl_stdlib();
    fSystemImpl->Init(this);
    fUsesSystemAllocator = true;
  }

  fFlag1 = flag1;
  fFlag2 = flag2;
  fReservedRegionLimit = 2147483647;
  fReservedRegionSize = 0;
}

void* VCppMemMgr::_SearchArenas(size_t size, bool objectFlag, int32 tag, int32 skipped) {
  int32 index = fCurrentArena;
  do {
    if (index != skipped && index != fPurgingArena) {
      void* block = fArenas[size_t(index)]->Malloc(size, false, objectFlag, tag);
      if (block != nullptr) return block;
    }
    index = (index + 1) % fArenaCount;
  } while (index != fCurrentArena);
  return nullptr;
}

void VCppMemMgr::_WaitForPurgeEnd(Lock& lock) {
  uint64 generation = fPurgeGeneration;
  fPurgeEvent.wait(lock, [&] { return fPurgeGeneration != generation; });
}

void VCppMemMgr::_RunPurge(Lock& lock, int32 arena, size_t size, bool firstCall) {
  fPurgingThread = std::this_thread::get_id();
  PurgeHandlerProc handler = fPurgeHandler;
  lock.unlock();
  if (handler != nullptr) handler(arena, size, firstCall);
  lock.lock();
  fPurgingThread = std::thread::id();
  ++fPurgeGeneration;
  fPurgeEvent.notify_all();
}

void* VCppMemMgr::_MallocFromArenas(size_t size, bool objectFlag, int32 tag, int32 preferredArena) {
  Lock lock(fLock);
  if (size > fLargestBlock) return nullptr;
  if (_IsValidArena(preferredArena)) {
    void* block = fArenas[size_t(preferredArena)]->Malloc(size, false, objectFlag, tag);
    if (block != nullptr) return block;
  }

  int32 startArena = fCurrentArena;
  int32 skipped = preferredArena;
  bool firstCall = true;
  // Other tasks may move the current arena too; one purge round per arena
  // bounds the request whatever they do.
  for (int32 rounds = 0;;) {
    void* block = _SearchArenas(size, objectFlag, tag, skipped);
    if (block != nullptr) return block;

    if (fPurgingArena != -1) {
      // A purge handler that allocates must not wait for its own purge.
      if (fPurgingThread == std::this_thread::get_id()) return nullptr;
      _WaitForPurgeEnd(lock);
      continue;
    }

    fPurgingArena = fCurrentArena;
    _RunPurge(lock, fCurrentArena, size, firstCall);
    firstCall = false;
    fCurrentArena = (fCurrentArena + 1) % fArenaCount;
    fPurgingArena = -1;
    ++rounds;

    skipped = -1;
    block = _SearchArenas(size, objectFlag, tag, skipped);
    if (block != nullptr) return block;
    if (fCurrentArena == startArena || rounds >= fArenaCount) return nullptr;
  }
}

void* VCppMemMgr::TryToMalloc(size_t size, bool objectFlag, int32 tag, int32 preferredArena) {
  if (fUsesSystemAllocator) return fSystemImpl->Malloc(size, false, objectFlag, tag);
  // The arenas keep no lock of their own, so even a single pass needs it.
  Lock lock(fLock);
  if (size > fLargestBlock) return nullptr;
  if (_IsValidArena(preferredArena)) {
    void* block = fArenas[size_t(preferredArena)]->Malloc(size, false, objectFlag, tag);
    if (block != nullptr) return block;
  }
  return _SearchArenas(size, objectFlag, tag, preferredArena);
}

void* VCppMemMgr::Calloc(int32 count, size_t size, int32 tag) {
  if (count < 0) return nullptr;
  size_t total = 0;
  if (__builtin_mul_overflow(size_t(count), size, &total)) return nullptr;
  void* block = Malloc(total, false, tag, -1);
  if (block != nullptr) std::memset(block, 0, total);
  return block;
}

void* VCppMemMgr::_Realloc(void* block, size_t size) {
  if (block == nullptr) return Malloc(size, false, 0, -1);
  if (size == 0) {
    Free(block);
    return nullptr;
  }
  void* moved = Malloc(size, false, int32(FourCC("grow")), -1);
  if (moved == nullptr) return nullptr;
  size_t oldSize = GetPtrSize(block);
  std::memcpy(moved, block, oldSize < size ? oldSize : size);
  Free(block);
  return moved;
}

void VCppMemMgr::_FreeToArenas(void* block) {
  if (block == nullptr) return;
  Lock lock(fLock);
  // The first arena hands the block to the arena that owns it.
  fArenas.front()->Free(block);
}

size_t VCppMemMgr::GetPtrSize(const void* block) {
  if (fUsesSystemAllocator) return fSystemImpl->GetPtrSize(block);
  Lock lock(fLock);
  return fArenas.front()->GetPtrSize(block);
}

void VCppMemMgr::PurgeMem(int32 arena) {
  if (fUsesSystemAllocator) return;
  Lock lock(fLock);
  while (fPurgingArena != -1) {
    if (fPurgingThread == std::this_thread::get_id()) return;
    _WaitForPurgeEnd(lock);
  }
  fPurgingArena = arena == -1 ? 0 : arena;
  _RunPurge(lock, arena, 0, true);
  fPurgingArena = -1;
}

PurgeHandlerProc VCppMemMgr::SetPurgeHandlerProc(PurgeHandlerProc handler) {
  Lock lock(fLock);
  PurgeHandlerProc previous = fPurgeHandler;
  fPurgeHandler = handler;
  return previous;
}

bool VCppMemMgr::AddVirtualAllocation(size_t size, const void* hint, bool physical) {
  if (fUsesSystemAllocator) return false;
  if (size < kMinVirtualAllocation || fArenaCount == 0) return true;

  Lock lock(fLock);
  size_t part = size / size_t(fArenaCount);
  // With an address hint the regions lie back to back from it: one hint for
  // all of them could serve the first arena only.
  size_t stride = platform::RoundUpVMPageSize(part);
  for (int32 index = 0; index < fArenaCount; ++index) {
    const void* where =
        hint == nullptr ? nullptr : static_cast<const char*>(hint) + size_t(index) * stride;
    void* region = nullptr;
    if (physical) {
      bool wired = false;
      region = platform::VirtualAllocPhysicalMemory(part, where, &wired);
    } else {
      region = platform::VirtualAlloc(part, where);
    }
    if (region == nullptr) return false;
    if (!fArenas[size_t(index)]->AddAlreadyAllocatedMem(region, part, physical)) {
      platform::VirtualFree(region, part);
      return false;
    }
    if (fLargestBlock < part) fLargestBlock = part;
  }
  return true;
}

int32 VCppMemMgr::CountVirtualAllocations() {
  if (fUsesSystemAllocator) return fSystemImpl->CountAllocations();
  Lock lock(fLock);
  int32 count = 0;
  for (VMemCppImpl* arena : fArenas) count += arena->CountAllocations();
  return count;
}

void VCppMemMgr::SetAutoAllocationState(bool on) {
  if (fUsesSystemAllocator) return;
  Lock lock(fLock);
  for (VMemCppImpl* arena : fArenas) arena->SetAutoAllocationState(on);
}

uint64 VCppMemMgr::GetLargestBlockSize() {
  Lock lock(fLock);
  return fLargestBlock;
}

void VCppMemMgr::AddReservedRegionSize(uint64 size) {
  Lock lock(fLock);
  fReservedRegionSize += size;
}

uint64 VCppMemMgr::GetReservedRegionSize() {
  Lock lock(fLock);
  return fReservedRegionSize;
}

uint64 VCppMemMgr::GetAllocatedMem() {
  if (fUsesSystemAllocator) return fSystemImpl->GetTotalAllocation();
  Lock lock(fLock);
  uint64 total = 0;
  for (VMemCppImpl* arena : fArenas) total += arena->GetTotalAllocation();
  return total;
}

void VCppMemMgr::GetMemUsageInfo(size_t& total, size_t& used) {
  if (fUsesSystemAllocator) {
    fSystemImpl->GetMemUsageInfo(total, used);
    return;
  }
  Lock lock(fLock);
  total = 0;
  used = 0;
  for (VMemCppImpl* arena : fArenas) {
    size_t arenaTotal = 0, arenaUsed = 0;
    arena->GetMemUsageInfo(arenaTotal, arenaUsed);
    total += arenaTotal;
    used += arenaUsed;
  }
}

void VCppMemMgr::GetStatistics(VMemStats& stats, int32 arena) {
  Lock lock(fLock);
  // The whole record describes this one snapshot: tables left from an
  // earlier call would be counted twice.
  stats.Clear();
  stats.ClearTables();
  if (fUsesSystemAllocator) {
    fSystemImpl->GetStats(stats, 0);
  } else if (_IsValidArena(arena)) {
    fArenas[size_t(arena)]->GetStats(stats, int16(arena));
  } else {
    for (int32 index = 0; index < fArenaCount; ++index)
      fArenas[size_t(index)]->GetStats(stats, int16(index));
  }
}

uint64 VCppMemMgr::GetMemStatistics(size_t& out1, size_t& out2, size_t& allocated, size_t& out4,
                                    size_t& out5, size_t& out6, size_t& out7, size_t& out8,
                                    size_t& out9) {
  uint64 total = GetAllocatedMem();
  out1 = out2 = out4 = out5 = out6 = out7 = out8 = out9 = 0;
  allocated = size_t(total);
  return total;
}

// Neither back end keeps these figures.
uint64 VCppMemMgr::GetFreeMemory() { return 0; }

uint64 VCppMemMgr::GetMaxFree() { return 0; }

uint64 VCppMemMgr::GetMaxUsed() { return 0; }

uint64 VCppMemMgr::GetUsedMem() { return 0; }

int32 VCppMemMgr::GetAllocationBlockNumber(const void* block) {
  if (fUsesSystemAllocator || block == nullptr) return 0;
  Lock lock(fLock);
  return fArenas.front()->GetAllocationBlockNumber(block);
}

VMemoryHog* VCppMemMgr::RegisterMemHog() {
  auto* hog = new VMemoryHog(VTaskMgr::GetCurrentTaskID());
  StLocker<VCriticalSection> locker(fHogLock.get());
  fHogs.push_back(hog);
  return hog;
}

void VCppMemMgr::UnRegisterMemHog(VMemoryHog* hog) {
  {
    StLocker<VCriticalSection> locker(fHogLock.get());
    auto found = std::find(fHogs.begin(), fHogs.end(), hog);
    if (found == fHogs.end()) return;
    fHogs.erase(found);
  }
  delete hog;
}

int32 VCppMemMgr::CountMemHogs() {
  StLocker<VCriticalSection> locker(fHogLock.get());
  return int32(fHogs.size());
}

}  // namespace zeft
