#include "process/VSystem.h"

#include <atomic>

#include "process/mac/XMacSystem.h"

namespace zeft {

namespace {

// Filled on first use; racing threads store the same value.
std::atomic<uint32> sLogicalProcessors{0};
std::atomic<uint64> sVMPageSize{0};

}  // namespace

uint64 VSystem::GetCurrentTime() { return XMacSystem::GetCurrentTime(); }

uint32 VSystem::GetCurrentTicks() { return XMacSystem::GetCurrentTicks(); }

uint32 VSystem::GetCurrentDeltaTicks(uint32 since) {
  uint32 now = GetCurrentTicks();
  return now < since ? since - now : now - since;
}

uint32 VSystem::GetNumberOfLogicalProcessors() {
  uint32 count = sLogicalProcessors.load(std::memory_order_relaxed);
  if (count == 0) {
    count = XMacSystem::ReadNumberOfLogicalProcessors();
    if (count < 2) count = 1;
    sLogicalProcessors.store(count, std::memory_order_relaxed);
  }
  return count;
}

uint64 VSystem::GetVMPageSize() {
  uint64 page = sVMPageSize.load(std::memory_order_relaxed);
  if (page == 0) {
    page = XMacSystem::GetVMPageSize();
    sVMPageSize.store(page, std::memory_order_relaxed);
  }
  return page;
}

size_t VSystem::RoundUpVMPageSize(size_t size) {
  size_t page = size_t(GetVMPageSize());
  return (size + page - 1) & ~(page - 1);
}

void* VSystem::VirtualAlloc(size_t size, const void* address) {
  size_t rounded = RoundUpVMPageSize(size);
  if (rounded < size) return nullptr;  // wrapped around
  return XMacSystem::VirtualAlloc(rounded, address);
}

void* VSystem::VirtualAllocPhysicalMemory(size_t size, const void* address, bool* firstTry) {
  size_t rounded = RoundUpVMPageSize(size);
  if (rounded < size) {
    if (firstTry != nullptr) *firstTry = false;
    return nullptr;
  }
  return XMacSystem::VirtualAllocPhysicalMemory(rounded, address, firstTry);
}

int32 VSystem::VirtualFree(void* address, size_t size, bool) {
  return XMacSystem::VirtualFree(address, RoundUpVMPageSize(size));
}

}  // namespace zeft
