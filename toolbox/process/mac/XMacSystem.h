// XMacSystem carries out the system facade's requests on the host: clocks,
// processor facts, memory statistics, the wall clock, processes (from
// /proc), names, alerts and load statistics. Static functions only; VSystem
// forwards to it and keeps the caches that belong to the facade (virtual
// memory itself comes from the platform layer, which the memory manager
// shares).
#pragma once

#include <cstddef>
#include <vector>

#include "core/VTypes.h"
#include "process/ENotificationResponse.h"

namespace zeft {

class VJSONArray;
class VString;

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
  // Drops the C library's cached zone rules (TZ or /etc/localtime changed).
  static void ResetSystemTimeZone();

  // ---- Miscellany (see VSystem)
  static uint32 Random(bool useStandardLibrary);
  static void Beep();
  static void DemangleSymbol(const char* symbol, VString& name);
  static int32 Delay(int32 ms);
  static int64 GetUptime();
  // The profiling counter counts nanoseconds of the monotonic clock.
  static int64 GetProfilingFrequency();
  static int64 GetProfilingCounter();
  // No desktop-independent preference exists: always the default, 30.
  static uint32 GetDoubleClicTicks();

  // ---- Operating system, names and machine facts
  // Linux is always new enough, unless a test made it "too old".
  static bool IsSystemVersionOrAbove(int32 version);
  static void SetSystemTooOldForTesting(bool tooOld);
  // The kernel release as major * 10000 + minor * 100 + patch; 0 when unreadable.
  static int32 GetMacOSXVersionDecimal();
  // os-release's PRETTY_NAME and the kernel release.
  static void GetOSVersionString(VString& out);
  static void GetFullOSName(VString& out);
  static int32 GetSystemBuildNumber(VString& out);
  static int32 GetComputerManufacturer(VString& out);
  static void GetHostName(VString& out);
  static void GetLoginUserName(VString& out);
  static void GetCurrentUserName(VString& out);
  // Distinct processor cores, of every possible processor or of the online
  // ones only; 0 when unreadable.
  static uint32 ReadNumberOfPhysicalProcessors(bool onlineOnly);
  // The processor's brand text; false when unreadable.
  static bool GetProcessorTypeString(VString& out);
  // No translation layer exists on this host: false.
  static bool IsUnderRosettaTranslation();
  static uint64 GetPhysicalMemSize();
  static uint64 GetPhysicalFreeMemSize();
  static uint64 GetApplicationPhysicalMemSize();
  static uint64 VirtualMemoryUsedSize();
  static bool VirtualQuery(const void* address, size_t* size, uint32* state, void** base);

  // ---- Processes (see VSystem)
  static void GetProcessList(std::vector<int32>& pids);
  static void GetProcessName(int32 pid, VString& name);
  static void GetProcessPath(int32 pid, VString& path);
  // `reason`: 1 no such child, 2 still running, 4 another failure.
  static bool WaitForProcess(int32 pid, int32 timeout, int32* reason);
  static bool KillProcess(int32 pid);

  // ---- Alerts
  static bool DisplayNotification(const VString& title, const VString& message, uint32 flags,
                                  ENotificationResponse* response);
  static void CancelAllPendingUserNotifications();
  // Alerts shown without waiting and neither answered nor cancelled.
  static size_t CountPendingUserNotifications();

  // ---- Load and equipment statistics (see VSystem)
  static bool GetProcessorsPercentageUse(double& percentage);
  static double GetApplicationProcessorsPercentageUse();
  static bool GetInOutNetworkStats(std::vector<double>& rates);
  static void GetNetworkAdaptersInformations(VJSONArray& adapters);
  static void GetDiskPartitionsInfos(VJSONArray& partitions);
};

}  // namespace zeft
