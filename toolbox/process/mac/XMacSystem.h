// XMacSystem carries out the system facade's requests on the host: clocks,
// processor facts and the wall clock. Static functions only; VSystem
// forwards to it and keeps the caches that belong to the facade (virtual
// memory goes to the platform layer, which the memory manager shares).
#pragma once

#include "core/VTypes.h"

namespace zeft {

class XMacSystem {
 public:
  XMacSystem() = delete;

  // Milliseconds of the monotonic clock.
  static uint64 GetCurrentTime();
  // Sixtieths of a second of the same clock.
  static uint32 GetCurrentTicks();

  // Logical processors as the host reports them; 0 when unreadable.
  static uint32 ReadNumberOfLogicalProcessors();

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
