#include "process/VSystem.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>

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

TEST(VSystemClock, DeltaTicksIsTheDistanceEitherWay) {
  uint32 now = VSystem::GetCurrentTicks();
  uint32 later = now + 100000;
  uint32 delta = VSystem::GetCurrentDeltaTicks(later);
  EXPECT_LE(delta, 100000u);
  EXPECT_GE(delta, 100000u - 1000u);
  uint32 earlier = now - 50;
  EXPECT_GE(VSystem::GetCurrentDeltaTicks(earlier), 50u);
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

}  // namespace
}  // namespace zeft
