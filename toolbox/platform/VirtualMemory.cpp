#include "platform/VirtualMemory.h"

#include <limits.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>

// Present only when the program runs under the leak sanitizer.
extern "C" {
void __lsan_register_root_region(const void* begin, size_t size) __attribute__((weak));
void __lsan_unregister_root_region(const void* begin, size_t size) __attribute__((weak));
}

namespace zeft::platform {

namespace {

// Blocks carved from these pages (and the memory manager itself) hold the
// only pointers to some heap blocks, so the leak sanitizer must scan them.
// Only whole regions are unregistered; a stale entry over unmapped pages is
// skipped by the scan.
std::mutex sLeakRootsLock;
std::map<uintptr_t, size_t>* sLeakRoots = nullptr;

void AddLeakScanRoot(const void* begin, size_t size) {
  if (__lsan_register_root_region == nullptr) return;
  std::lock_guard<std::mutex> guard(sLeakRootsLock);
  if (sLeakRoots == nullptr) sLeakRoots = new std::map<uintptr_t, size_t>();
  (*sLeakRoots)[uintptr_t(begin)] = size;
  __lsan_register_root_region(begin, size);
}

void RemoveLeakScanRoot(const void* begin, size_t size) {
  if (__lsan_unregister_root_region == nullptr) return;
  std::lock_guard<std::mutex> guard(sLeakRootsLock);
  if (sLeakRoots == nullptr) return;
  auto found = sLeakRoots->find(uintptr_t(begin));
  if (found == sLeakRoots->end() || found->second != size) return;
  sLeakRoots->erase(found);
  __lsan_unregister_root_region(begin, size);
}

// Filled on first use; racing threads store the same value.
std::atomic<size_t> sPageSize{0};

}  // namespace

size_t GetVMPageSize() {
  size_t page = sPageSize.load(std::memory_order_relaxed);
  if (page == 0) {
    long host = sysconf(_SC_PAGESIZE);
    page = host > 0 ? size_t(host) : 4096u;
    sPageSize.store(page, std::memory_order_relaxed);
  }
  return page;
}

size_t RoundUpVMPageSize(size_t size) {
  const size_t page = GetVMPageSize();
  const size_t rounded = (size + page - 1) & ~(page - 1);
  return rounded < size ? 0 : rounded;
}

void* VirtualAlloc(size_t size, const void* address) {
  const size_t rounded = RoundUpVMPageSize(size);
  if (rounded == 0) return nullptr;
  int flags = MAP_PRIVATE | MAP_ANONYMOUS;
  if (address != nullptr) flags |= MAP_FIXED_NOREPLACE;
  void* block = mmap(const_cast<void*>(address), rounded, PROT_READ | PROT_WRITE, flags, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  if (address != nullptr && block != address) {
    // Kernels older than 4.17 take the flag as a mere hint.
    munmap(block, rounded);
    return nullptr;
  }
  AddLeakScanRoot(block, rounded);
  return block;
}

void* VirtualAllocPhysicalMemory(size_t size, const void* address, bool* wired) {
  if (wired != nullptr) *wired = false;
  void* block = VirtualAlloc(size, address);
  if (block == nullptr) return nullptr;
  // Wired memory first; when the lock limit refuses it, keep the pageable
  // block as the second attempt.
  if (mlock(block, RoundUpVMPageSize(size)) == 0 && wired != nullptr) *wired = true;
  return block;
}

int VirtualFree(void* address, size_t size) {
  const size_t rounded = RoundUpVMPageSize(size);
  RemoveLeakScanRoot(address, rounded);
  if (munmap(address, rounded) == 0) return 0;
  return errno;
}

bool VirtualAllocThreadStack(size_t size, ThreadStack& stack) {
  const size_t page = GetVMPageSize();
  const size_t stackSize = RoundUpVMPageSize(std::max(size, size_t(PTHREAD_STACK_MIN)));
  if (stackSize == 0 || stackSize > SIZE_MAX - page) {
    errno = ENOMEM;
    return false;
  }
  const size_t regionSize = stackSize + page;
  void* region = mmap(nullptr, regionSize, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (region == MAP_FAILED) return false;
  // The lowest page stops a stack overflow.
  if (mprotect(region, page, PROT_NONE) != 0) {
    const int error = errno;
    munmap(region, regionSize);
    errno = error;
    return false;
  }
  stack = {region, regionSize, static_cast<char*>(region) + page, stackSize};
  return true;
}

int StartThreadOnStack(const ThreadStack& stack, void* (*procedure)(void*), void* data,
                       pthread_t& thread) {
  pthread_attr_t attributes;
  int error = pthread_attr_init(&attributes);
  if (error != 0) return error;
  error = pthread_attr_setstack(&attributes, stack.fStack, stack.fStackSize);
  if (error == 0) error = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_JOINABLE);
  if (error == 0) error = pthread_create(&thread, &attributes, procedure, data);
  pthread_attr_destroy(&attributes);
  return error;
}

}  // namespace zeft::platform
