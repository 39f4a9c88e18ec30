#include "process/mac/XMacSystem.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "platform/Clock.h"

namespace zeft {

uint64 XMacSystem::GetCurrentTime() { return platform::GetCurrentTime(); }

uint32 XMacSystem::GetCurrentTicks() { return platform::GetCurrentTicks(); }

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

void XMacSystem::GetSystemUTCTime(int16* dateTime) { platform::GetSystemUTCTime(dateTime); }

void XMacSystem::GetSystemLocalTime(int16* dateTime) { platform::GetSystemLocalTime(dateTime); }

void XMacSystem::LocalToUTCTime(int16* dateTime) { platform::LocalToUTCTime(dateTime); }

void XMacSystem::UTCToLocalTime(int16* dateTime) { platform::UTCToLocalTime(dateTime); }

void XMacSystem::UpdateGMTOffset(int32* offset, int32* offsetWithDaylight) {
  platform::ReadGMTOffsets(offset, offsetWithDaylight);
}

}  // namespace zeft
