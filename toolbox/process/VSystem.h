// VSystem is the toolbox's single entry point to operating-system services
// that have no object of their own: clocks, processor and memory facts,
// virtual memory, the wall clock and its local-time conversions. Static
// functions only; each forwards to XMacSystem unless the facade itself
// keeps a cache.
#pragma once

#include <cstddef>

#include "core/VTypes.h"

namespace zeft {

class VSystem {
 public:
  VSystem() = delete;

  // Monotonic clock: milliseconds, and ticks (sixtieths of a second).
  static uint64 GetCurrentTime();
  static uint32 GetCurrentTicks();
  // Distance between now and `since` in ticks, whichever is larger.
  static uint32 GetCurrentDeltaTicks(uint32 since);

  // Logical processors; 1 when unreadable or below 2. Read once.
  static uint32 GetNumberOfLogicalProcessors();

  // Virtual memory. Sizes are rounded up to whole pages.
  static uint64 GetVMPageSize();
  static size_t RoundUpVMPageSize(size_t size);
  // Zero-filled pages at `address` when not null (the call fails rather than
  // replace an existing mapping), anywhere otherwise; null on failure.
  static void* VirtualAlloc(size_t size, const void* address);
  // Like VirtualAlloc, wired into physical memory when the host allows it:
  // `*firstTry` tells whether the wired attempt succeeded; otherwise the
  // block is pageable.
  static void* VirtualAllocPhysicalMemory(size_t size, const void* address, bool* firstTry);
  // Releases a block of VirtualAlloc; 0 on success, else the error number.
  static int32 VirtualFree(void* address, size_t size, bool unused);

  // Wall clock. A date-time array holds seven numbers in this order: year,
  // month (1-12), day (1-31), hour (0-23), minute, second, millisecond.
  static void GetSystemUTCTime(int16* dateTime);
  static void GetSystemLocalTime(int16* dateTime);
  // Convert the array in place between the system's time zone and UTC, with
  // the zone's rules at that date. The millisecond is neither read nor
  // written; an array with year 0 and month or hour 0 (a time of day
  // without a date) is left unchanged.
  static void LocalToUTCTime(int16* dateTime);
  static void UTCToLocalTime(int16* dateTime);
  // Offset of local time from UTC in seconds (east positive), with or
  // without daylight saving, computed on first use for that moment and kept
  // until UpdateGMTOffset.
  static int32 GetGMTOffset(bool withDaylight);
  static void UpdateGMTOffset();
};

}  // namespace zeft
