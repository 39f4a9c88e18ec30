// XMacSystem carries out the system facade's requests on the host: clocks,
// processor facts and virtual memory. Static functions only; VSystem
// forwards to it and keeps the caches that belong to the facade.
#pragma once

#include <cstddef>

#include "core/VTypes.h"

namespace zeft {

class XMacSystem {
 public:
  XMacSystem() = delete;

  // Milliseconds of the monotonic clock.
  static uint64 GetCurrentTime();
  // Sixtieths of a second of the same clock.
  static uint32 GetCurrentTicks();

  // The host's page size in bytes.
  static uint64 GetVMPageSize();
  // Logical processors as the host reports them; 0 when unreadable.
  static uint32 ReadNumberOfLogicalProcessors();

  // `size` must already be page-rounded. A non-null `address` must be
  // honoured exactly or the call fails: an existing mapping is never
  // replaced.
  static void* VirtualAlloc(size_t size, const void* address);
  static void* VirtualAllocPhysicalMemory(size_t size, const void* address, bool* firstTry);
  static int32 VirtualFree(void* address, size_t size);
};

}  // namespace zeft
