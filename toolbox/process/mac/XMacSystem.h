// XMacSystem carries out the system facade's requests on the host: clocks,
// processor facts, virtual memory and the wall clock. Static functions only; VSystem
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

  // Wall clock and zone conversions of date-time arrays (see VSystem).
  static void GetSystemUTCTime(int16* dateTime);
  static void GetSystemLocalTime(int16* dateTime);
  static void LocalToUTCTime(int16* dateTime);
  static void UTCToLocalTime(int16* dateTime);
  // The system zone's offsets from UTC now, in seconds: with daylight saving
  // and without it (one hour less while daylight saving is in effect).
  static void UpdateGMTOffset(int32* offset, int32* offsetWithDaylight);
};

}  // namespace zeft
