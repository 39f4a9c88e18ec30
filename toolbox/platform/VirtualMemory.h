// Virtual memory of the platform layer: whole pages mapped straight from the
// kernel (mmap), for the memory manager, which needs them before anything
// else exists, for the system facade, which forwards to these calls, and
// for the stacks of the threads that run tasks and fibers (and starting
// those threads on them).
// Sizes are rounded up to whole pages here.
#pragma once

#include <pthread.h>

#include <cstddef>

namespace zeft::platform {

// The host's page size in bytes (4096 when it cannot tell); read once.
size_t GetVMPageSize();

// `size` rounded up to a whole number of pages; 0 when that overflows.
size_t RoundUpVMPageSize(size_t size);

// Zero-filled, readable and writable pages: at `address` when not null (the
// call fails rather than replace an existing mapping), anywhere otherwise.
// Null for a size of 0, a size that overflows when rounded, or when the
// kernel refuses.
void* VirtualAlloc(size_t size, const void* address);

// Like VirtualAlloc, wired into physical memory (mlock) when the host
// allows it: `*wired` tells whether it is (may be null); a block the lock
// limit refuses stays pageable and usable.
void* VirtualAllocPhysicalMemory(size_t size, const void* address, bool* wired);

// Unmaps (and unwires) a block of VirtualAlloc or a thread stack's region;
// 0 on success, else the error number.
int VirtualFree(void* address, size_t size);

// A thread's stack: `fStackSize` bytes (whole pages) from `fStack`, above
// one inaccessible page that stops an overflow; the region holding both
// goes back with VirtualFree(fRegion, fRegionSize).
struct ThreadStack {
  void* fRegion = nullptr;
  size_t fRegionSize = 0;
  void* fStack = nullptr;
  size_t fStackSize = 0;
};

// Maps a stack of at least `size` bytes and of the threads' minimum; false,
// errno telling why, when the kernel refuses it.
bool VirtualAllocThreadStack(size_t size, ThreadStack& stack);

// Starts a joinable thread running `procedure(data)` on `stack`, which must
// outlive it; 0 or the error number.
int StartThreadOnStack(const ThreadStack& stack, void* (*procedure)(void*), void* data,
                       pthread_t& thread);

}  // namespace zeft::platform
