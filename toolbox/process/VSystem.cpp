#include "process/VSystem.h"

#include <atomic>
#include <mutex>
#include <string>

#include "core/VString.h"
#include "files/mac/XBSDSystem.h"
#include "platform/Clock.h"
#include "platform/VirtualMemory.h"
#include "process/mac/XMacSystem.h"

namespace zeft {

namespace {

// Filled on first use; racing threads store the same value.
std::atomic<uint32> sLogicalProcessors{0};
std::atomic<uint32> sPhysicalProcessors{0};
std::atomic<int16> sCenturyPivotYear{0};
std::atomic<bool> sAllowedToGetSystemInfo{false};

// Microseconds per unit of the profiling counter.
const double sProfilingScale = 1000000.0 / double(XMacSystem::GetProfilingFrequency());

// Texts computed once, kept in UTF-8 so that any thread may fill them.
struct TextCache {
  std::mutex fMutex;
  std::string fText;
};
TextCache sOSVersion;
TextCache sProcessorType;

uint32 AtLeastOne(uint32 count) { return count < 2 ? 1 : count; }

// "  a   b " -> "a b": spaces trimmed at both ends, runs folded.
std::string CompactSpaces(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\n\r");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t\n\r");
  std::string compact;
  for (size_t i = first; i <= last; ++i) {
    if (text[i] == ' ' && !compact.empty() && compact.back() == ' ') continue;
    compact += text[i];
  }
  return compact;
}

}  // namespace

uint64 VSystem::GetCurrentTime() { return XMacSystem::GetCurrentTime(); }

uint32 VSystem::GetCurrentTicks() { return XMacSystem::GetCurrentTicks(); }

uint32 VSystem::GetCurrentDeltaTicks(uint32 since) { return platform::GetCurrentDeltaTicks(since); }

uint32 VSystem::GetNumberOfLogicalProcessors() {
  uint32 count = sLogicalProcessors.load(std::memory_order_relaxed);
  if (count == 0) {
    count = XMacSystem::ReadNumberOfLogicalProcessors();
    if (count < 2) count = 1;
    sLogicalProcessors.store(count, std::memory_order_relaxed);
  }
  return count;
}

uint32 VSystem::GetNumberOfPhysicalProcessors() {
  uint32 count = sPhysicalProcessors.load(std::memory_order_relaxed);
  if (count == 0) {
    count = AtLeastOne(XMacSystem::ReadNumberOfPhysicalProcessors(false));
    sPhysicalProcessors.store(count, std::memory_order_relaxed);
  }
  return count;
}

uint32 VSystem::GetEnabledCoresNumber() {
  return AtLeastOne(XMacSystem::ReadNumberOfPhysicalProcessors(true));
}

void VSystem::GetProcessorTypeString(VString& out, bool compact) {
  std::lock_guard<std::mutex> guard(sProcessorType.fMutex);
  if (sProcessorType.fText.empty()) {
    VString brand("-");
    XMacSystem::GetProcessorTypeString(brand);
    std::string text = to_string(brand);
    if (compact && text.size() >= 2) text = CompactSpaces(text);
    sProcessorType.fText = text.empty() ? "-" : text;
  }
  const std::string& text = sProcessorType.fText;
  out.FromBlock(text.data(), text.size(), kCharSetUTF8);
}

uint64 VSystem::GetPhysicalMemSize() { return XMacSystem::GetPhysicalMemSize(); }

uint64 VSystem::GetPhysicalFreeMemSize() { return XMacSystem::GetPhysicalFreeMemSize(); }

uint64 VSystem::GetApplicationPhysicalMemSize() {
  return XMacSystem::GetApplicationPhysicalMemSize();
}

uint64 VSystem::VirtualMemoryUsedSize() { return XMacSystem::VirtualMemoryUsedSize(); }

bool VSystem::VirtualQuery(const void* address, size_t* size, uint32* state, void** base) {
  return XMacSystem::VirtualQuery(address, size, state, base);
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

int32 VSystem::GetGMTOffset(bool withDaylight) { return platform::GetGMTOffset(withDaylight); }

void VSystem::UpdateGMTOffset() { platform::UpdateGMTOffset(); }

void VSystem::SystemDateTimeChanged() {
  XMacSystem::ResetSystemTimeZone();
  platform::UpdateGMTOffset();
}

bool VSystem::Init() {
  XMacSystem::Random(false);
  return true;
}

uint32 VSystem::Random(bool useStandardLibrary) { return XMacSystem::Random(useStandardLibrary); }

void VSystem::Beep() { XMacSystem::Beep(); }

bool VSystem::DisplayNotification(const VString& title, const VString& message, uint32 flags,
                                  ENotificationResponse* response) {
  return XMacSystem::DisplayNotification(title, message, flags, response);
}

void VSystem::CancelAllPendingUserNotifications() {
  XMacSystem::CancelAllPendingUserNotifications();
}

void VSystem::DemangleSymbol(const char* symbol, VString& name) {
  XMacSystem::DemangleSymbol(symbol, name);
}

bool VSystem::AllowedToGetSystemInfo() {
  sAllowedToGetSystemInfo.store(true);
  return sAllowedToGetSystemInfo.load();
}

void VSystem::SetCenturyPivotYear(int16 year) { sCenturyPivotYear.store(year); }

int16 VSystem::GetCenturyPivotYear() { return sCenturyPivotYear.load(); }

bool VSystem::IsSystemVersionOrAbove(SystemVersion version) {
  return XMacSystem::IsSystemVersionOrAbove(int32(version));
}

int32 VSystem::MAC_GetSystemVersionDecimal() { return XMacSystem::GetMacOSXVersionDecimal(); }

void VSystem::GetOSVersionString(VString& out) {
  std::lock_guard<std::mutex> guard(sOSVersion.fMutex);
  if (sOSVersion.fText.empty()) {
    VString text;
    XMacSystem::GetOSVersionString(text);
    sOSVersion.fText = to_string(text);
  }
  out.FromBlock(sOSVersion.fText.data(), sOSVersion.fText.size(), kCharSetUTF8);
}

void VSystem::GetFullOSName(VString& out) { XMacSystem::GetFullOSName(out); }

int32 VSystem::GetSystemBuildNumber(VString& out) { return XMacSystem::GetSystemBuildNumber(out); }

int32 VSystem::GetComputerManufacturer(VString& out) {
  return XMacSystem::GetComputerManufacturer(out);
}

void VSystem::GetHostName(VString& out) { XMacSystem::GetHostName(out); }

void VSystem::GetLoginUserName(VString& out) { XMacSystem::GetLoginUserName(out); }

void VSystem::GetCurrentUserName(VString& out) { XMacSystem::GetCurrentUserName(out); }

bool VSystem::SearchExecutablePath(const VString& name, VFilePath& out) {
  // Application look-up by name has no counterpart here: PATH only.
  return XBSDSystem::SearchExecutablePath(name, out);
}

int64 VSystem::GetUptime() { return XMacSystem::GetUptime(); }

int64 VSystem::GetProfilingFrequency() { return XMacSystem::GetProfilingFrequency(); }

int64 VSystem::GetProfilingCounter(int64& out) {
  out = XMacSystem::GetProfilingCounter();
  return out;
}

uint64 VSystem::GetMicrosecFromProfilingCounter() {
  return uint64(double(XMacSystem::GetProfilingCounter()) * sProfilingScale);
}

int32 VSystem::Delay(int32 ms) { return XMacSystem::Delay(ms); }

void VSystem::GetProcessList(std::vector<int32>& pids) { XMacSystem::GetProcessList(pids); }

void VSystem::GetProcessName(int32 pid, VString& name) { XMacSystem::GetProcessName(pid, name); }

void VSystem::GetProcessPath(int32 pid, VString& path) { XMacSystem::GetProcessPath(pid, path); }

bool VSystem::WaitForProcess(int32 pid, int32 timeout, EWFP_Reason* reason) {
  int32 platformReason = 0;
  if (XMacSystem::WaitForProcess(pid, timeout, &platformReason)) return true;
  if (reason != nullptr && platformReason >= EWFP_NoSuchChild && platformReason <= EWFP_Reserved) {
    *reason = EWFP_Reason(platformReason);
  }
  return false;
}

bool VSystem::KillProcess(int32 pid) { return XMacSystem::KillProcess(pid); }

bool VSystem::GetProcessorsPercentageUse(double& percentage) {
  return XMacSystem::GetProcessorsPercentageUse(percentage);
}

double VSystem::GetApplicationProcessorsPercentageUse() {
  return XMacSystem::GetApplicationProcessorsPercentageUse();
}

bool VSystem::GetInOutNetworkStats(std::vector<double>& rates) {
  return XMacSystem::GetInOutNetworkStats(rates);
}

void VSystem::GetNetworkAdaptersInformations(VJSONArray& adapters) {
  XMacSystem::GetNetworkAdaptersInformations(adapters);
}

void VSystem::GetDiskPartitionsInfos(VJSONArray& partitions) {
  XMacSystem::GetDiskPartitionsInfos(partitions);
}

uint32 VSystem::GetDoubleClicTicks() { return XMacSystem::GetDoubleClicTicks(); }

}  // namespace zeft
