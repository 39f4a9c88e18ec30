#include "process/VSystem.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "core/VString.h"
#include "process/mac/XMacSystem.h"
#include "values/ValueTestSupport.h"

extern char** environ;

namespace zeft {
namespace {

TEST(VSystemClock, MillisecondsAndTicksNeverGoBack) {
  uint64 previousMs = VSystem::GetCurrentTime();
  uint32 previousTicks = VSystem::GetCurrentTicks();
  for (int i = 0; i < 1000; ++i) {
    uint64 ms = VSystem::GetCurrentTime();
    uint32 ticks = VSystem::GetCurrentTicks();
    EXPECT_GE(ms, previousMs);
    EXPECT_GE(ticks, previousTicks);
    previousMs = ms;
    previousTicks = ticks;
  }
}

TEST(VSystemClock, TicksAreSixtiethsOfTheSameClock) {
  // Sampled ms, ticks, ms: the ticks lie between the two millisecond
  // readings once converted (one tick of slack for the truncation).
  uint64 before = VSystem::GetCurrentTime();
  uint64 ticks = VSystem::GetCurrentTicks();
  uint64 after = VSystem::GetCurrentTime();
  EXPECT_LE(before * 60 / 1000, ticks + 1);
  EXPECT_LE(ticks, after * 60 / 1000 + 1);
}

// GetCurrentDeltaTicks(now + offset), where now is the tick the clock
// showed all along the call: read again when it ticked over meanwhile.
uint32 DeltaFromNow(uint32 offset) {
  for (;;) {
    const uint32 now = VSystem::GetCurrentTicks();
    const uint32 delta = VSystem::GetCurrentDeltaTicks(now + offset);
    if (VSystem::GetCurrentTicks() == now) return delta;
  }
}

TEST(VSystemClock, DeltaTicksIsTheDistanceEitherWay) {
  EXPECT_EQ(DeltaFromNow(100000), 100000u);
  EXPECT_EQ(DeltaFromNow(uint32(-50)), 50u);
}

TEST(VSystemProcessors, LogicalCountIsPositiveAndStable) {
  uint32 count = VSystem::GetNumberOfLogicalProcessors();
  EXPECT_GE(count, 1u);
  EXPECT_EQ(VSystem::GetNumberOfLogicalProcessors(), count);
}

TEST(VSystemVirtualMemory, PageSizeAndRounding) {
  uint64 page = VSystem::GetVMPageSize();
  ASSERT_GT(page, 0u);
  EXPECT_EQ(page & (page - 1), 0u) << "not a power of two";
  struct Case {
    size_t size;
    size_t rounded;
  } cases[] = {{0, 0}, {1, page}, {page - 1, page}, {page, page}, {page + 1, 2 * page}};
  for (const Case& c : cases) EXPECT_EQ(VSystem::RoundUpVMPageSize(c.size), c.rounded) << c.size;
}

class VirtualMemoryTest : public ::testing::Test {
 protected:
  size_t fPage = size_t(VSystem::GetVMPageSize());
};

TEST_F(VirtualMemoryTest, BlocksArePageAlignedZeroFilledAndWritableToTheRoundedEnd) {
  size_t size = fPage * 3 + 10;
  auto* block = static_cast<unsigned char*>(VSystem::VirtualAlloc(size, nullptr));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % fPage, 0u);
  size_t rounded = fPage * 4;
  for (size_t i = 0; i < rounded; ++i) ASSERT_EQ(block[i], 0) << i;
  std::memset(block, 0xA5, rounded);  // the whole rounded size is ours
  EXPECT_EQ(VSystem::VirtualFree(block, size, false), 0);
}

TEST_F(VirtualMemoryTest, ZeroSizeAndHugeSizeFail) {
  EXPECT_EQ(VSystem::VirtualAlloc(0, nullptr), nullptr);
  EXPECT_EQ(VSystem::VirtualAlloc(~size_t(0) - 2, nullptr), nullptr);
}

TEST_F(VirtualMemoryTest, AddressHintIsHonouredOrTheCallFails) {
  // Find a free range, give it back, then ask for it by address.
  auto* probe = static_cast<char*>(VSystem::VirtualAlloc(fPage * 4, nullptr));
  ASSERT_NE(probe, nullptr);
  ASSERT_EQ(VSystem::VirtualFree(probe, fPage * 4, false), 0);

  auto* placed = static_cast<char*>(VSystem::VirtualAlloc(fPage * 2, probe));
  ASSERT_EQ(placed, probe);
  std::memcpy(placed, "kept", 5);

  // Over a live mapping the hint cannot be honoured: the call fails and the
  // mapping keeps its content.
  EXPECT_EQ(VSystem::VirtualAlloc(fPage, placed + fPage), nullptr);
  EXPECT_EQ(VSystem::VirtualAlloc(fPage * 2, placed - fPage), nullptr);
  EXPECT_STREQ(placed, "kept");

  // Right behind it there is still room.
  auto* behind = static_cast<char*>(VSystem::VirtualAlloc(fPage, placed + 2 * fPage));
  EXPECT_EQ(behind, placed + 2 * fPage);
  if (behind != nullptr) {
    EXPECT_EQ(VSystem::VirtualFree(behind, fPage, false), 0);
  }
  EXPECT_EQ(VSystem::VirtualFree(placed, fPage * 2, false), 0);
}

TEST_F(VirtualMemoryTest, FreedPagesAreUnmapped) {
  auto* block = static_cast<char*>(VSystem::VirtualAlloc(fPage, nullptr));
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(VSystem::VirtualFree(block, fPage, false), 0);
  // msync answers ENOMEM for pages that are not mapped.
  EXPECT_EQ(msync(block, fPage, MS_ASYNC), -1);
  EXPECT_EQ(errno, ENOMEM);
}

TEST_F(VirtualMemoryTest, VirtualFreeOfAMisalignedAddressReportsTheError) {
  auto* block = static_cast<char*>(VSystem::VirtualAlloc(fPage, nullptr));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(VSystem::VirtualFree(block + 1, fPage, false), EINVAL);
  EXPECT_EQ(VSystem::VirtualFree(block, fPage, false), 0);
}

TEST_F(VirtualMemoryTest, PhysicalMemoryIsWiredOrPageableButAlwaysUsable) {
  bool firstTry = true;
  size_t size = fPage * 2;
  auto* block =
      static_cast<unsigned char*>(VSystem::VirtualAllocPhysicalMemory(size, nullptr, &firstTry));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(block[size - 1], 0);
  block[size - 1] = 7;
  // Whatever the lock limit, a later wiring attempt agrees with the flag:
  // when the first try was refused, mlock of the same range is refused too.
  if (!firstTry) {
    EXPECT_NE(mlock(block, size), 0);
  }
  EXPECT_EQ(VSystem::VirtualFree(block, size, true), 0);
}

TEST_F(VirtualMemoryTest, PhysicalMemoryHintOverALiveMappingFails) {
  auto* live = static_cast<char*>(VSystem::VirtualAlloc(fPage, nullptr));
  ASSERT_NE(live, nullptr);
  live[0] = 'x';
  bool firstTry = true;
  EXPECT_EQ(VSystem::VirtualAllocPhysicalMemory(fPage, live, &firstTry), nullptr);
  EXPECT_FALSE(firstTry);
  EXPECT_EQ(live[0], 'x');
  EXPECT_EQ(VSystem::VirtualFree(live, fPage, false), 0);
}

TEST(VSystemClock, DeltaTicksAroundTheWrap) {
  // Distances are taken the short way round the 32-bit circle: a count that
  // wrapped since `since` still gives the small distance.
  struct Case {
    uint32 offset;
    uint32 distance;
  } cases[] = {{0x80000010u, 0x7FFFFFF0u}, {5, 5}, {uint32(-5), 5}};
  for (const Case& c : cases) EXPECT_EQ(DeltaFromNow(c.offset), c.distance) << c.offset;
}

TEST(VSystemClock, ProfilingCounterAndDelay) {
  int64 counter = 0;
  const int64 returned = VSystem::GetProfilingCounter(counter);
  EXPECT_EQ(returned, counter);
  EXPECT_GT(VSystem::GetProfilingFrequency(), 0);
  const uint64 before = VSystem::GetMicrosecFromProfilingCounter();
  EXPECT_EQ(VSystem::Delay(20), 0);
  EXPECT_EQ(VSystem::Delay(-5), 0);
  EXPECT_GE(VSystem::GetMicrosecFromProfilingCounter() - before, 20000u);
  EXPECT_GE(VSystem::GetUptime(), 0);
}

// A date-time array: year, month, day, hour, minute, second, millisecond.
struct DateTime {
  int16 f[7];
};

TEST(VSystemTimeConversion, ParisSummerWinterAndTimeOfDayOnly) {
  test::ScopedTimeZone zone("Europe/Paris");
  struct Case {
    DateTime local;
    DateTime utc;
  } cases[] = {
      {{{2024, 7, 14, 12, 30, 15, 999}}, {{2024, 7, 14, 10, 30, 15, 999}}},  // CEST
      {{{2024, 1, 1, 0, 0, 0, 1}}, {{2023, 12, 31, 23, 0, 0, 1}}},           // CET
      {{{2024, 3, 31, 3, 0, 0, 0}}, {{2024, 3, 31, 1, 0, 0, 0}}},            // after the switch
  };
  for (const Case& c : cases) {
    DateTime converted = c.local;
    VSystem::LocalToUTCTime(converted.f);
    EXPECT_TRUE(std::equal(converted.f, converted.f + 7, c.utc.f)) << c.local.f[1];
    VSystem::UTCToLocalTime(converted.f);
    EXPECT_TRUE(std::equal(converted.f, converted.f + 7, c.local.f)) << c.local.f[1];
  }
  for (DateTime timeOnly : {DateTime{{0, 0, 0, 10, 20, 30, 40}}, DateTime{{0, 5, 3, 0, 1, 2, 3}}}) {
    DateTime converted = timeOnly;
    VSystem::LocalToUTCTime(converted.f);
    EXPECT_TRUE(std::equal(converted.f, converted.f + 7, timeOnly.f));
    VSystem::UTCToLocalTime(converted.f);
    EXPECT_TRUE(std::equal(converted.f, converted.f + 7, timeOnly.f));
  }
  const int32 withDaylight = VSystem::GetGMTOffset(true);
  const int32 without = VSystem::GetGMTOffset(false);
  EXPECT_EQ(without, 3600);
  EXPECT_TRUE(withDaylight == 3600 || withDaylight == 7200) << withDaylight;
}

TEST(VSystemMiscellany, DemanglesSymbolNames) {
  VString name;
  VSystem::DemangleSymbol("_ZN4zeft7VString5ClearEv", name);
  EXPECT_EQ(to_string(name), "zeft::VString::Clear()");
  VSystem::DemangleSymbol("main", name);
  EXPECT_EQ(to_string(name), "main");
}

TEST(VSystemMiscellany, CachesAndConstants) {
  EXPECT_TRUE(VSystem::Init());
  EXPECT_LE(VSystem::Random(false), 0x7FFFFFFFu);
  EXPECT_TRUE(VSystem::AllowedToGetSystemInfo());
  const int16 pivot = VSystem::GetCenturyPivotYear();
  VSystem::SetCenturyPivotYear(1950);
  EXPECT_EQ(VSystem::GetCenturyPivotYear(), 1950);
  VSystem::SetCenturyPivotYear(pivot);
  EXPECT_EQ(VSystem::GetDoubleClicTicks(), 30u);
  EXPECT_EQ(VSystem::GetTipsTimeoutTicks(), 600u);

  // The first call fills the cache; the compact flag of later calls is moot.
  VString full, compact;
  VSystem::GetProcessorTypeString(full, false);
  VSystem::GetProcessorTypeString(compact, true);
  EXPECT_FALSE(full.IsEmpty());
  EXPECT_EQ(to_string(full), to_string(compact));

  EXPECT_GE(VSystem::GetNumberOfPhysicalProcessors(), 1u);
  EXPECT_LE(VSystem::GetNumberOfPhysicalProcessors(), VSystem::GetNumberOfLogicalProcessors());
  EXPECT_GE(VSystem::GetEnabledCoresNumber(), 1u);
  EXPECT_GT(VSystem::GetPhysicalMemSize(), VSystem::GetPhysicalFreeMemSize());
  EXPECT_GT(VSystem::GetApplicationPhysicalMemSize(), 0u);
  EXPECT_GE(VSystem::VirtualMemoryUsedSize(), VSystem::GetApplicationPhysicalMemSize());
}

TEST(VSystemMiscellany, OperatingSystemNames) {
  VString version, full, build, user;
  VSystem::GetOSVersionString(version);
  EXPECT_FALSE(version.IsEmpty());
  EXPECT_EQ(VSystem::GetSystemBuildNumber(build), 0);
  VSystem::GetFullOSName(full);
  EXPECT_NE(to_string(full).find(" (" + to_string(build) + ")"), std::string::npos)
      << to_string(full);
  EXPECT_GT(VSystem::MAC_GetSystemVersionDecimal(), 10000);
  VSystem::GetCurrentUserName(user);
  EXPECT_FALSE(user.IsEmpty());
}

TEST(VSystemMiscellany, SystemVersionChecksHaveATooOldSeam) {
  EXPECT_TRUE(VSystem::IsSystemVersionOrAbove(MAC_OSX_10_12));
  XMacSystem::SetSystemTooOldForTesting(true);
  EXPECT_FALSE(VSystem::IsSystemVersionOrAbove(MAC_OSX_10_12));
  EXPECT_TRUE(VSystem::IsSystemVersionOrAbove(SystemVersion(42)));  // outside the table
  XMacSystem::SetSystemTooOldForTesting(false);
  EXPECT_TRUE(VSystem::IsSystemVersionOrAbove(MAC_OS_13));
}

TEST_F(VirtualMemoryTest, VirtualQueryDescribesMappingsAndGaps) {
  auto* block = static_cast<char*>(VSystem::VirtualAlloc(fPage * 3, nullptr));
  ASSERT_NE(block, nullptr);
  // Punch a hole in the middle page: a gap between two mappings.
  ASSERT_EQ(munmap(block + fPage, fPage), 0);
  size_t size = 0;
  uint32 state = 9;
  void* base = nullptr;
  EXPECT_TRUE(VSystem::VirtualQuery(block + fPage + 10, &size, &state, &base));
  EXPECT_EQ(state, 1u);
  EXPECT_EQ(base, block + fPage + 10);
  EXPECT_EQ(size, fPage - 10);
  EXPECT_TRUE(VSystem::VirtualQuery(block + 2 * fPage + 1, &size, &state, nullptr));
  EXPECT_EQ(state, 0u);
  EXPECT_GE(size, fPage);
  EXPECT_TRUE(VSystem::VirtualQuery(block, nullptr, nullptr, nullptr));
  munmap(block, fPage);
  munmap(block + 2 * fPage, fPage);
}

// A child process of the test, killed and reaped at the end when still there.
class ChildProcess {
 public:
  explicit ChildProcess(std::vector<const char*> argv) {
    argv.push_back(nullptr);
    if (posix_spawn(&fPid, argv[0], nullptr, nullptr, const_cast<char**>(argv.data()), environ) !=
        0) {
      fPid = 0;
    }
  }
  ~ChildProcess() {
    if (fPid > 0) {
      kill(fPid, SIGKILL);
      waitpid(fPid, nullptr, 0);
    }
  }
  pid_t Pid() const { return fPid; }
  // Blocks until the child has ended, without reaping it.
  void WaitUntilZombie() const {
    siginfo_t info{};
    waitid(P_PID, id_t(fPid), &info, WEXITED | WNOWAIT);
  }
  void Forget() { fPid = 0; }

 private:
  pid_t fPid = 0;
};

bool Contains(const std::vector<int32>& pids, int32 pid) {
  return std::find(pids.begin(), pids.end(), pid) != pids.end();
}

TEST(VSystemProcesses, ListAppendsRunningProcessesButNotZombies) {
  ChildProcess sleeper({"/bin/sleep", "120"});  // ended by the test
  ChildProcess quitter({"/bin/true"});
  ASSERT_GT(sleeper.Pid(), 0);
  ASSERT_GT(quitter.Pid(), 0);
  quitter.WaitUntilZombie();

  std::vector<int32> pids{-7, -8};
  VSystem::GetProcessList(pids);
  ASSERT_GE(pids.size(), 3u);
  EXPECT_EQ(pids[0], -7);
  EXPECT_EQ(pids[1], -8);
  EXPECT_TRUE(Contains(pids, getpid()));
  EXPECT_TRUE(Contains(pids, sleeper.Pid()));
  EXPECT_FALSE(Contains(pids, quitter.Pid())) << "an exited child waiting to be reaped has quit";
}

TEST(VSystemProcesses, NameAndPath) {
  VString name("untouched");
  VSystem::GetProcessName(getpid(), name);
  char comm[32] = {};
  FILE* file = std::fopen("/proc/self/comm", "r");
  ASSERT_NE(file, nullptr);
  ASSERT_NE(std::fgets(comm, sizeof comm, file), nullptr);
  std::fclose(file);
  comm[std::strcspn(comm, "\n")] = '\0';
  EXPECT_EQ(to_string(name), comm);

  VString path;
  VSystem::GetProcessPath(getpid(), path);
  char exe[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  EXPECT_EQ(to_string(path), exe);

  // A process that is gone leaves the texts as they were.
  ChildProcess gone({"/bin/true"});
  const pid_t pid = gone.Pid();
  ASSERT_EQ(waitpid(pid, nullptr, 0), pid);
  gone.Forget();
  VString kept("kept");
  VSystem::GetProcessName(pid, kept);
  VSystem::GetProcessPath(pid, kept);
  EXPECT_EQ(to_string(kept), "kept");
}

TEST(VSystemProcesses, WaitForProcessReasons) {
  VSystem::EWFP_Reason reason = VSystem::EWFP_Reserved;
  EXPECT_FALSE(VSystem::WaitForProcess(1, 0, &reason));
  EXPECT_EQ(reason, VSystem::EWFP_NoSuchChild);

  ChildProcess sleeper({"/bin/sleep", "120"});  // ended by the test
  ASSERT_GT(sleeper.Pid(), 0);
  EXPECT_FALSE(VSystem::WaitForProcess(sleeper.Pid(), 0, &reason));
  EXPECT_EQ(reason, VSystem::EWFP_StillRunning);
  EXPECT_FALSE(VSystem::WaitForProcess(sleeper.Pid(), 0, nullptr));

  ASSERT_TRUE(VSystem::KillProcess(sleeper.Pid()));
  EXPECT_TRUE(VSystem::WaitForProcess(sleeper.Pid(), -1, &reason));
  sleeper.Forget();
}

TEST(VSystemProcesses, KillProcessRefusesGroupIds) {
  // 0 and negative ids would signal process groups, this one's included:
  // the test would not survive if anything were sent.
  for (int32 pid : {0, -1, -int32(getpgrp())}) EXPECT_FALSE(VSystem::KillProcess(pid)) << pid;
}

}  // namespace
}  // namespace zeft
