#include "process/mac/XMacSystem.h"

#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace zeft {

namespace {

uint64 MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return uint64(now.tv_sec) * 1000000000u + uint64(now.tv_nsec);
}

}  // namespace

uint64 XMacSystem::GetCurrentTime() { return MonotonicNanoseconds() / 1000000u; }

uint32 XMacSystem::GetCurrentTicks() {
  // Seconds and remainder apart so that the product cannot overflow.
  uint64 ns = MonotonicNanoseconds();
  uint64 ticks = (ns / 1000000000u) * 60u + (ns % 1000000000u) * 60u / 1000000000u;
  return uint32(ticks);
}

uint64 XMacSystem::GetVMPageSize() {
  long page = sysconf(_SC_PAGESIZE);
  return page > 0 ? uint64(page) : 4096u;
}

uint32 XMacSystem::ReadNumberOfLogicalProcessors() {
  long count = sysconf(_SC_NPROCESSORS_CONF);
  if (count > 0) return uint32(count);
  // Fall back on the kernel's list of possible processors ("0-7").
  FILE* file = std::fopen("/sys/devices/system/cpu/possible", "r");
  if (file == nullptr) return 0;
  unsigned first = 0, last = 0;
  int read = std::fscanf(file, "%u-%u", &first, &last);
  std::fclose(file);
  if (read == 2 && last >= first) return uint32(last - first + 1);
  if (read == 1) return 1;
  return 0;
}

void* XMacSystem::VirtualAlloc(size_t size, const void* address) {
  if (size == 0) return nullptr;
  int flags = MAP_PRIVATE | MAP_ANONYMOUS;
  if (address != nullptr) flags |= MAP_FIXED_NOREPLACE;
  void* block = mmap(const_cast<void*>(address), size, PROT_READ | PROT_WRITE, flags, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  if (address != nullptr && block != address) {
    // Kernels older than 4.17 take the flag as a mere hint.
    munmap(block, size);
    return nullptr;
  }
  return block;
}

void* XMacSystem::VirtualAllocPhysicalMemory(size_t size, const void* address, bool* firstTry) {
  if (firstTry != nullptr) *firstTry = false;
  void* block = VirtualAlloc(size, address);
  if (block == nullptr) return nullptr;
  // Wired memory first; when the lock limit refuses it, keep the pageable
  // block as the second attempt.
  if (mlock(block, size) == 0 && firstTry != nullptr) *firstTry = true;
  return block;
}

int32 XMacSystem::VirtualFree(void* address, size_t size) {
  if (munmap(address, size) == 0) return 0;
  return int32(errno);
}

int32 XMacSystem::Delay(int32 milliseconds) {
  if (milliseconds < 0) milliseconds = 0;
  timespec remaining{milliseconds / 1000, long(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) == -1 && errno == EINTR) {
  }
  return 0;
}

}  // namespace zeft
