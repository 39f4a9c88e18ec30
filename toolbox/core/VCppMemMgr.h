// VCppMemMgr is the process memory manager: every toolbox data block is
// allocated, resized and freed through it, each allocation carrying a
// four-character tag. It runs either over the system allocator or over the
// toolbox's block allocator (several arenas), chosen once at construction,
// and adds a purge protocol, virtual-memory regions and statistics.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/VLeaksChecker.h"
#include "core/VTypes.h"

namespace zeft {

class VMemCppImpl;
class VMemCppImpl_stdlib;
class VMemStats;
class VMemoryHog;
class VCriticalSection;
class IMemoryWalker;
class VArrayLong;
class VArrayString;
struct DebugBlockHeader;

enum EAllocatorKind : int32 {
  kAllocatorFromBundle = 0,  // the main bundle's "MemoryAllocator" setting
  kAllocatorSystem = 1,
  kAllocatorBlock = 2
};

// Called without the manager lock to free memory before an allocation
// fails: the arena being purged (-1 for any), the requested size (0 for an
// explicit purge) and whether this is the first round of the request.
// Returns the bytes it released.
using PurgeHandlerProc = size_t (*)(int32 arena, size_t size, bool firstCall);

class VCppMemMgr {
 public:
  static constexpr int32 kArenaCount = 4;
  // Requests of virtual memory below this size are accepted and ignored.
  static constexpr size_t kMinVirtualAllocation = 0xA00000;

  explicit VCppMemMgr(EAllocatorKind kind);
  VCppMemMgr(EAllocatorKind kind, bool flag1, bool flag2);
  virtual ~VCppMemMgr();

  VCppMemMgr(const VCppMemMgr&) = delete;
  VCppMemMgr& operator=(const VCppMemMgr&) = delete;

  // The manager lives in pages of its own, not in the heap it manages. When
  // the system refuses them the new-expression yields null.
  static void* operator new(size_t size) noexcept;
  static void operator delete(void* storage);

  bool UsesSystemAllocator() const { return fUsesSystemAllocator; }

  // A block of at least `size` bytes, or null. `preferredArena` -1 means any.
  // The system back end is reached inline: it needs no lock and no arena.
  void* Malloc(size_t size, bool objectFlag, int32 tag, int32 preferredArena = -1) {
    if (fUsesSystemAllocator) return std::malloc(size);
    return _MallocFromArenas(size, objectFlag, tag, preferredArena);
  }
  // One search of the arenas without purging; null when none can serve.
  void* TryToMalloc(size_t size, bool objectFlag, int32 tag, int32 preferredArena = -1);
  // Zero-filled count × size bytes; null on failure, overflow or a negative
  // count.
  void* Calloc(int32 count, size_t size, int32 tag);
  // Resizes the block to `size` bytes, moving it when needed; null block =
  // Malloc, size 0 = Free and null. On failure returns null and leaves the
  // block intact.
  void* Realloc(void* block, size_t size) {
    if (fUsesSystemAllocator && block != nullptr && size != 0) return std::realloc(block, size);
    return _Realloc(block, size);
  }
  void Free(void* block) {
    if (fUsesSystemAllocator)
      std::free(block);
    else
      _FreeToArenas(block);
  }
  size_t GetPtrSize(const void* block);

  // Purge protocol.
  void PurgeMem(int32 arena);
  PurgeHandlerProc SetPurgeHandlerProc(PurgeHandlerProc handler);

  // Hands each arena a share of a region of `size` bytes (block allocator).
  bool AddVirtualAllocation(size_t size, const void* hint, bool physical);
  int32 CountVirtualAllocations();
  // Lets the arenas take regions from the system as they need them, and give
  // empty ones back (on by default).
  void SetAutoAllocationState(bool on);

  // Requests above this size fail at once (block allocator).
  uint64 GetLargestBlockSize();

  // Bytes of the regions the arenas reserve; the arenas report their regions
  // here.
  void AddReservedRegionSize(uint64 size);
  uint64 GetReservedRegionSize();

  // Statistics.
  uint64 GetAllocatedMem();
  void GetMemUsageInfo(size_t& total, size_t& used);
  void GetStatistics(VMemStats& stats, int32 arena);
  uint64 GetMemStatistics(size_t& out1, size_t& out2, size_t& allocated, size_t& out4, size_t& out5,
                          size_t& out6, size_t& out7, size_t& out8, size_t& out9);
  uint64 GetFreeMemory();
  uint64 GetMaxFree();
  uint64 GetMaxUsed();
  uint64 GetUsedMem();
  int32 GetAllocationBlockNumber(const void* block);

  // Memory hogs: a new hog for the calling task, listed until it is
  // unregistered (which deletes it; a hog that is not listed is ignored).
  VMemoryHog* RegisterMemHog();
  void UnRegisterMemHog(VMemoryHog* hog);
  int32 CountMemHogs();

  VLeaksChecker& GetLeaksChecker() { return fLeaksChecker; }

  // Debug hooks without effect on this build.
  bool Check() { return true; }
  bool CheckNow() { return true; }
  bool CheckPtr(const void*) { return true; }
  bool IsAPtr(void*, size_t) { return true; }
  bool Walk(IMemoryWalker&) { return false; }
  const void* CheckVObject(const void* object) { return object; }
  void RegisterUser() {}
  void UnregisterUser() {}
  void RegisterBlock(DebugBlockHeader*, size_t, bool) {}
  void UnregisterBlock(DebugBlockHeader*) {}
  void DumpLeaks() {}
  void GetUsage(VArrayString&, VArrayLong&, VArrayLong&) {}

 private:
  using Lock = std::unique_lock<std::recursive_mutex>;

  void _Init(EAllocatorKind kind, bool flag1, bool flag2);
  void* _MallocFromArenas(size_t size, bool objectFlag, int32 tag, int32 preferredArena);
  void* _Realloc(void* block, size_t size);
  void _FreeToArenas(void* block);
  static bool _BundleAsksForBlockAllocator();
  bool _IsValidArena(int32 arena) const { return arena >= 0 && arena < fArenaCount; }
  // Circular search from the current arena, skipping `skipped` and the
  // arena being purged.
  void* _SearchArenas(size_t size, bool objectFlag, int32 tag, int32 skipped);
  // Runs the purge handler for the arena being purged, lock released; the
  // caller has set fPurgingArena.
  void _RunPurge(Lock& lock, int32 arena, size_t size, bool firstCall);
  void _WaitForPurgeEnd(Lock& lock);

  std::recursive_mutex fLock;
  VMemCppImpl_stdlib* fSystemImpl = nullptr;
  std::vector<VMemCppImpl*> fArenas;
  int32 fArenaCount = 0;
  int32 fPlannedArenaCount = 0;
  int32 fCurrentArena = 0;
  int32 fPurgingArena = -1;
  uint64 fLargestBlock = 0;
  // Waiters wake when the purge generation changes.
  std::condition_variable_any fPurgeEvent;
  uint64 fPurgeGeneration = 0;
  std::thread::id fPurgingThread;
  PurgeHandlerProc fPurgeHandler = nullptr;
  uint64 fReservedRegionLimit = 0;
  uint64 fReservedRegionSize = 0;
  bool fFlag1 = false;
  bool fFlag2 = false;
  bool fUsesSystemAllocator = false;
  VLeaksChecker fLeaksChecker;
  // Held by pointer: the lock belongs to the runtime, above this layer.
  std::unique_ptr<VCriticalSection> fHogLock;
  std::vector<VMemoryHog*> fHogs;
};

}  // namespace zeft
