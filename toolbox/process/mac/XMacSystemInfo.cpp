// Machine and operating-system facts, names, clocks and miscellany of the
// system facade, read from /proc, /sys, os-release and the C library.
#include <cxxabi.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "core/VString.h"
#include "platform/UserEnvironment.h"
#include "process/mac/XMacSystem.h"

namespace zeft {

namespace {

std::atomic<bool> sSystemTooOld{false};

// The whole of a small text file ("" when unreadable).
std::string ReadSmallFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string();
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string TrimLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

void SetUTF8(VString& out, const std::string& text) {
  out.FromBlock(text.data(), text.size(), kCharSetUTF8);
}

// The value of `key` in an os-release file, unquoted ("" when absent).
std::string ReadOSRelease(const char* key) {
  std::string text = ReadSmallFile("/etc/os-release");
  if (text.empty()) text = ReadSmallFile("/usr/lib/os-release");
  std::istringstream lines(text);
  const std::string prefix = std::string(key) + "=";
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    std::string value = line.substr(prefix.size());
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return value;
  }
  return std::string();
}

bool ReadKernel(struct utsname& names) { return uname(&names) == 0; }

// The three leading numbers of a kernel release ("6.1.0-18-amd64").
void ParseRelease(const char* release, int& major, int& minor, int& patch) {
  major = minor = patch = 0;
  std::sscanf(release, "%d.%d.%d", &major, &minor, &patch);
}

uint64 ReadMeminfoKiB(const char* key) {
  std::istringstream lines(ReadSmallFile("/proc/meminfo"));
  const std::string prefix = std::string(key) + ":";
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    return std::strtoull(line.c_str() + prefix.size(), nullptr, 10);
  }
  return 0;
}

// Pages of /proc/self/statm: field 0 is the virtual size, field 1 the resident.
uint64 ReadStatmBytes(int field) {
  std::istringstream fields(ReadSmallFile("/proc/self/statm"));
  uint64 value = 0;
  for (int i = 0; i <= field; ++i) {
    if (!(fields >> value)) return 0;
  }
  return value * uint64(sysconf(_SC_PAGESIZE));
}

// The processors of a list such as "0-3,8,10-11".
std::set<int> ParseProcessorList(const std::string& list) {
  std::set<int> processors;
  std::istringstream ranges(list);
  for (std::string range; std::getline(ranges, range, ',');) {
    int first = 0, last = 0;
    const int read = std::sscanf(range.c_str(), "%d-%d", &first, &last);
    if (read == 1) last = first;
    if (read < 1 || first < 0 || last < first || last - first > 65535) continue;
    for (int n = first; n <= last; ++n) processors.insert(n);
  }
  return processors;
}

}  // namespace

void XMacSystem::ResetSystemTimeZone() { tzset(); }

uint32 XMacSystem::Random(bool useStandardLibrary) {
  if (useStandardLibrary) return uint32(random());
  uint32 value = 0;
  if (getrandom(&value, sizeof value, 0) != ssize_t(sizeof value)) value = uint32(random());
  return value & 0x7FFFFFFFu;
}

void XMacSystem::Beep() {
  if (isatty(2) == 1) {
    const char bell = '\a';
    (void)!write(2, &bell, 1);
  }
}

void XMacSystem::DemangleSymbol(const char* symbol, VString& name) {
  if (symbol == nullptr) {
    name.Clear();
    return;
  }
  int status = 0;
  char* demangled = abi::__cxa_demangle(symbol, nullptr, nullptr, &status);
  const char* text = status == 0 && demangled != nullptr ? demangled : symbol;
  name.FromBlock(text, std::strlen(text), kCharSetUTF8);
  std::free(demangled);
}

int32 XMacSystem::Delay(int32 ms) {
  if (ms <= 0) return 0;
  struct timespec remaining;
  remaining.tv_sec = ms / 1000;
  remaining.tv_nsec = long(ms % 1000) * 1000000L;
  while (nanosleep(&remaining, &remaining) == -1 && errno == EINTR) {
  }
  return 0;
}

int64 XMacSystem::GetUptime() {
  struct timespec sinceBoot;
  if (clock_gettime(CLOCK_BOOTTIME, &sinceBoot) != 0) return -1;
  return int64(sinceBoot.tv_sec);
}

int64 XMacSystem::GetProfilingFrequency() { return 1000000000; }

int64 XMacSystem::GetProfilingCounter() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

uint32 XMacSystem::GetDoubleClicTicks() { return 30; }

bool XMacSystem::IsSystemVersionOrAbove(int32 version) {
  if (version < 11 || version > 20) return true;
  return !sSystemTooOld.load();
}

void XMacSystem::SetSystemTooOldForTesting(bool tooOld) { sSystemTooOld.store(tooOld); }

int32 XMacSystem::GetMacOSXVersionDecimal() {
  struct utsname names;
  if (!ReadKernel(names)) return 0;
  int major, minor, patch;
  ParseRelease(names.release, major, minor, patch);
  return major * 10000 + minor * 100 + patch;
}

void XMacSystem::GetOSVersionString(VString& out) {
  std::string text = ReadOSRelease("PRETTY_NAME");
  struct utsname names;
  if (ReadKernel(names)) {
    if (!text.empty()) text += ", ";
    text += std::string(names.sysname) + " " + names.release;
  }
  SetUTF8(out, text);
}

void XMacSystem::GetFullOSName(VString& out) {
  struct utsname names;
  int major = 0, minor = 0, patch = 0;
  std::string system = "Linux";
  if (ReadKernel(names)) {
    ParseRelease(names.release, major, minor, patch);
    system = names.sysname;
  }
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, "%d.%d.%d", major, minor, patch);
  VString build;
  GetSystemBuildNumber(build);
  SetUTF8(out, system + " " + numbers + " (" + to_string(build) + ")");
}

int32 XMacSystem::GetSystemBuildNumber(VString& out) {
  struct utsname names;
  if (!ReadKernel(names)) return int32(errno);
  out.FromBlock(names.release, std::strlen(names.release), kCharSetASCII);
  return 0;
}

int32 XMacSystem::GetComputerManufacturer(VString& out) {
  errno = 0;
  const std::string model = TrimLineEnd(ReadSmallFile("/sys/class/dmi/id/product_name"));
  if (model.empty()) return errno != 0 ? int32(errno) : int32(ENOENT);
  out.FromBlock(model.data(), model.size(), kCharSetASCII);
  return 0;
}

void XMacSystem::GetHostName(VString& out) {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return;
  SetUTF8(out, name);
}

void XMacSystem::GetLoginUserName(VString& out) {
  platform::UserAccount account;
  if (!platform::GetUserAccount(account)) return;
  SetUTF8(out, account.fFullName.empty() ? account.fName : account.fFullName);
}

void XMacSystem::GetCurrentUserName(VString& out) {
  platform::UserAccount account;
  if (platform::GetUserAccount(account)) SetUTF8(out, account.fName);
}

uint32 XMacSystem::ReadNumberOfPhysicalProcessors(bool onlineOnly) {
  const std::string list = ReadSmallFile(onlineOnly ? "/sys/devices/system/cpu/online"
                                                    : "/sys/devices/system/cpu/possible");
  std::set<std::pair<std::string, std::string>> cores;
  for (int processor : ParseProcessorList(TrimLineEnd(list))) {
    const std::string topology =
        "/sys/devices/system/cpu/cpu" + std::to_string(processor) + "/topology/";
    const std::string package =
        TrimLineEnd(ReadSmallFile((topology + "physical_package_id").c_str()));
    const std::string core = TrimLineEnd(ReadSmallFile((topology + "core_id").c_str()));
    // A processor without topology (offline) counts as a core of its own.
    if (core.empty()) {
      cores.emplace("cpu", std::to_string(processor));
    } else {
      cores.emplace(package, core);
    }
  }
  return uint32(cores.size());
}

bool XMacSystem::GetProcessorTypeString(VString& out) {
  std::istringstream lines(ReadSmallFile("/proc/cpuinfo"));
  for (std::string line; std::getline(lines, line);) {
    // x86 says "model name", other architectures "Processor" or "cpu model".
    if (line.rfind("model name", 0) != 0 && line.rfind("Processor", 0) != 0 &&
        line.rfind("cpu model", 0) != 0) {
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string brand = line.substr(colon + 1);
    if (brand.size() > 511) brand.resize(511);
    SetUTF8(out, brand);
    return true;
  }
  return false;
}

bool XMacSystem::IsUnderRosettaTranslation() { return false; }

uint64 XMacSystem::GetPhysicalMemSize() {
  struct sysinfo info;
  if (sysinfo(&info) != 0) return 0;
  return uint64(info.totalram) * info.mem_unit;
}

uint64 XMacSystem::GetPhysicalFreeMemSize() { return ReadMeminfoKiB("MemFree") * 1024u; }

uint64 XMacSystem::GetApplicationPhysicalMemSize() { return ReadStatmBytes(1); }

uint64 XMacSystem::VirtualMemoryUsedSize() { return ReadStatmBytes(0); }

bool XMacSystem::VirtualQuery(const void* address, size_t* size, uint32* state, void** base) {
  const uintptr_t where = reinterpret_cast<uintptr_t>(address);
  size_t foundSize = 0;
  uint32 foundState = 0;
  uintptr_t foundBase = 0;
  if (FILE* maps = std::fopen("/proc/self/maps", "r")) {
    char line[1024];
    while (std::fgets(line, sizeof line, maps) != nullptr) {
      uintptr_t start = 0, end = 0;
      if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR, &start, &end) != 2) continue;
      if (end <= where) continue;
      if (start > where) {
        foundSize = start - where;
        foundState = 1;
        foundBase = where;
      } else {
        foundSize = end - start;
        foundBase = start;
      }
      break;
    }
    std::fclose(maps);
  }
  if (size != nullptr) *size = foundSize;
  if (state != nullptr) *state = foundState;
  if (base != nullptr) *base = reinterpret_cast<void*>(foundBase);
  return foundSize != 0;
}

}  // namespace zeft
