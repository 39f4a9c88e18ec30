// VSystem is the toolbox's single entry point to operating-system services
// that have no object of their own: clocks, processor and memory facts,
// virtual memory, the wall clock and its local-time conversions, running
// processes, user and machine names, alerts, and machine load statistics.
// Static functions only; each forwards to XMacSystem unless the facade
// itself keeps a cache.
#pragma once

#include <cstddef>
#include <vector>

#include "core/VTypes.h"
#include "process/ENotificationResponse.h"
#include "process/SystemVersion.h"

namespace zeft {

class VFilePath;
class VJSONArray;
class VString;

class VSystem {
 public:
  VSystem() = delete;

  // Why WaitForProcess found no exit.
  enum EWFP_Reason : int32 {
    EWFP_NoSuchChild = 1,
    EWFP_StillRunning = 2,
    EWFP_Reserved = 3,
  };

  // ---- Life cycle and miscellany
  // Seeds nothing the caller sees: draws one random number. True.
  static bool Init();
  static void DeInit() {}
  // false: 0 to 2^31-1 from the system's cryptographic generator; true: random().
  static uint32 Random(bool useStandardLibrary = false);
  // The alert sound: the terminal bell when standard error is a terminal.
  static void Beep();
  // Shows an alert. With `response`, waits for the answer and stores the
  // button pressed; without, returns at once and keeps the alert pending
  // until CancelAllPendingUserNotifications. False when it cannot be shown.
  static bool DisplayNotification(const VString& title, const VString& message, uint32 flags,
                                  ENotificationResponse* response = nullptr);
  static void CancelAllPendingUserNotifications();
  // The demangled form of a compiler symbol, or the symbol itself.
  static void DemangleSymbol(const char* symbol, VString& name);
  static bool AllowedToGetSystemInfo();
  static void SetCenturyPivotYear(int16 year);
  static int16 GetCenturyPivotYear();

  // ---- Operating system and names
  // The running system is always recent enough (see XMacSystem's test seam);
  // true for any value outside the table.
  static bool IsSystemVersionOrAbove(SystemVersion version);
  // The kernel's major * 10000 + minor * 100 + patch; 0 when unreadable.
  static int32 MAC_GetSystemVersionDecimal();
  // The distribution's name and the kernel release; cached.
  static void GetOSVersionString(VString& out);
  // "<kernel> <major>.<minor>.<patch> (<build>)".
  static void GetFullOSName(VString& out);
  // The kernel release; 0, or the error number with `out` untouched.
  static int32 GetSystemBuildNumber(VString& out);
  // The machine's product name; 0, or the error number with `out` untouched.
  static int32 GetComputerManufacturer(VString& out);
  static void GetHostName(VString& out);
  // The full name of the user running the process (its account name when
  // the account has none).
  static void GetLoginUserName(VString& out);
  // The account name; untouched when the account cannot be read.
  static void GetCurrentUserName(VString& out);
  // The program `name` along PATH (a name with '/' as given); true when
  // found, with its path in `out`.
  static bool SearchExecutablePath(const VString& name, VFilePath& out);

  // Monotonic clock: milliseconds, and ticks (sixtieths of a second).
  static uint64 GetCurrentTime();
  static uint32 GetCurrentTicks();
  // Distance between now and `since` in ticks, either way, taken across a
  // wrap of the 32-bit count when that is shorter.
  static uint32 GetCurrentDeltaTicks(uint32 since);

  // Logical processors; 1 when unreadable or below 2. Read once.
  static uint32 GetNumberOfLogicalProcessors();
  // Processor cores; 1 when unreadable or below 2. Read once.
  static uint32 GetNumberOfPhysicalProcessors();
  // Cores currently enabled, same rules, read at every call.
  static uint32 GetEnabledCoresNumber();
  // The processor's brand text ("-" when unreadable). The first call fills a
  // cache that later calls return whatever their `compact` flag; compact
  // trims white space and folds runs of spaces.
  static void GetProcessorTypeString(VString& out, bool compact);
  // Memory in bytes; 0 on failure.
  static uint64 GetPhysicalMemSize();
  static uint64 GetPhysicalFreeMemSize();
  static uint64 GetApplicationPhysicalMemSize();
  static uint64 VirtualMemoryUsedSize();
  // The mapping at or above `address`: inside a mapping, its size, state 0
  // and its start; in a gap, the gap's size up to the next mapping, state 1
  // and `address`. True when the size is not 0. Out pointers may be null.
  static bool VirtualQuery(const void* address, size_t* size, uint32* state, void** base);

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
  // The zone settings may have changed: recomputes both offsets.
  static void SystemDateTimeChanged();

  // ---- More clocks
  // Seconds since boot; -1 when unreadable.
  static int64 GetUptime();
  // Units of the profiling counter per second.
  static int64 GetProfilingFrequency();
  // The raw counter, stored in `out` and returned.
  static int64 GetProfilingCounter(int64& out);
  static uint64 GetMicrosecFromProfilingCounter();
  // Sleeps `ms` milliseconds (nothing for 0 or less); 0.
  static int32 Delay(int32 ms);

  // ---- Processes
  // Appends the id of every running process (exited ones waiting to be
  // reaped are not running) after what the vector holds.
  static void GetProcessList(std::vector<int32>& pids);
  // The short command name; untouched when there is no such process.
  static void GetProcessName(int32 pid, VString& name);
  // The executable's path; untouched on failure.
  static void GetProcessPath(int32 pid, VString& path);
  // True when the child `pid` has exited and is reaped. A timeout below 0
  // waits; 0 or more only looks. Otherwise `reason` (when not null) says
  // why.
  static bool WaitForProcess(int32 pid, int32 timeout, EWFP_Reason* reason);
  // SIGKILL to `pid`; false for 0 or less (nothing sent) and on failure.
  static bool KillProcess(int32 pid);

  // ---- Load and equipment statistics, for one caller at a time
  // The busy share of all processors since the previous call, divided by
  // the number of logical processors; false (and 0) on the first call and
  // when the system cannot tell.
  static bool GetProcessorsPercentageUse(double& percentage);
  // This process's processor use as a share of the machine; -1 when the
  // system cannot tell.
  static double GetApplicationProcessorsPercentageUse();
  // Empties `rates`, then appends the bytes per second received and sent
  // since the previous call; false when nothing was appended.
  static bool GetInOutNetworkStats(std::vector<double>& rates);
  // Appends {"type", "name", "ipAddresses": [{"ip", "type"}]} per adapter
  // that has a usable address.
  static void GetNetworkAdaptersInformations(VJSONArray& adapters);
  // Appends {"mountPoint", "capacity", "available", "filesystem", "name",
  // "disk"} per mounted file system on a disk or the network (sizes in KiB).
  static void GetDiskPartitionsInfos(VJSONArray& partitions);

  // ---- User-interface timings, in ticks or pixels
  static uint32 GetDoubleClicTicks();
  static int32 GetDoubleClicOffsetWidth() { return 2; }
  static int32 GetDoubleClicOffsetHeight() { return 2; }
  static int32 GetDragOffset() { return 2; }
  static uint32 GetCaretTicks() { return 60; }
  static uint32 GetTipsDelayTicks() { return 60; }
  static uint32 GetTipsTimeoutTicks() { return 600; }
  static uint32 GetSelectDelayTicks() { return 15; }
};

}  // namespace zeft
