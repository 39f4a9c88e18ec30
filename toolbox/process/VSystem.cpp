#include "process/VSystem.h"

#include <atomic>

#include "platform/VirtualMemory.h"
#include "process/mac/XMacSystem.h"

namespace zeft {

namespace {

// Filled on first use; racing threads store the same value.
std::atomic<uint32> sLogicalProcessors{0};

// The zone's offsets from UTC in seconds, computed on first use.
std::atomic<int32> sGMTOffset{0};
std::atomic<int32> sGMTOffsetWithDayLight{0};
std::atomic<bool> sGMTOffsetValid{false};

void StoreGMTOffsets() {
  int32 offset = 0;
  int32 withDaylight = 0;
  XMacSystem::UpdateGMTOffset(&offset, &withDaylight);
  sGMTOffset.store(offset);
  sGMTOffsetWithDayLight.store(withDaylight);
}

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

uint64 VSystem::GetVMPageSize() { return platform::GetVMPageSize(); }

size_t VSystem::RoundUpVMPageSize(size_t size) { return platform::RoundUpVMPageSize(size); }

void* VSystem::VirtualAlloc(size_t size, const void* address) {
  return platform::VirtualAlloc(size, address);
}

void* VSystem::VirtualAllocPhysicalMemory(size_t size, const void* address, bool* firstTry) {
  return platform::VirtualAllocPhysicalMemory(size, address, firstTry);
}

int32 VSystem::VirtualFree(void* address, size_t size, bool) {
  return platform::VirtualFree(address, size);
}

void VSystem::GetSystemUTCTime(int16* dateTime) { XMacSystem::GetSystemUTCTime(dateTime); }

void VSystem::GetSystemLocalTime(int16* dateTime) { XMacSystem::GetSystemLocalTime(dateTime); }

void VSystem::LocalToUTCTime(int16* dateTime) { XMacSystem::LocalToUTCTime(dateTime); }

void VSystem::UTCToLocalTime(int16* dateTime) { XMacSystem::UTCToLocalTime(dateTime); }

int32 VSystem::GetGMTOffset(bool withDaylight) {
  if (!sGMTOffsetValid.load()) {
    StoreGMTOffsets();
    sGMTOffsetValid.store(true);
  }
  return withDaylight ? sGMTOffsetWithDayLight.load() : sGMTOffset.load();
}

void VSystem::UpdateGMTOffset() { StoreGMTOffsets(); }

}  // namespace zeft
