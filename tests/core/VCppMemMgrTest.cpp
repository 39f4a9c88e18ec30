#include "core/VCppMemMgr.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/VErrorCodes.h"
#include "core/VMemStats.h"
#include "platform/MainBundle.h"
#include "process/VSystem.h"
#include "runtime/VMemoryHog.h"
#include "runtime/VTaskMgr.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

constexpr size_t kMiB = 1024 * 1024;
constexpr uint64 kArenaMax = 2147481598;

int32 Tag(const char (&text)[5]) { return int32(FourCC(text)); }

// ---------------------------------------------------------------------------
// Choice of the back end

class TempBundle {
 public:
  ~TempBundle() { platform::SetMainBundlePathForTesting(""); }

  // Writes Info.plist with "MemoryAllocator" (as a string, or the raw value
  // element when given) and makes this the main bundle.
  void Install(const std::optional<std::string>& valueElement) {
    std::string plist =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<plist version=\"1.0\">\n<dict>\n"
        "\t<key>CFBundleName</key>\n\t<string>App</string>\n";
    if (valueElement) plist += "\t<key>MemoryAllocator</key>\n\t" + *valueElement + "\n";
    plist += "</dict>\n</plist>\n";
    fFolder.Write("App.app/Contents/Info.plist", plist);
    platform::SetMainBundlePathForTesting(fFolder.Path("App.app"));
  }

 private:
  test::TempFolder fFolder;
};

TEST(VCppMemMgrChoice, InfoPlistSettingPicksTheBackEnd) {
  struct Case {
    std::optional<std::string> element;
    bool system;
  } cases[] = {
      {std::nullopt, true},
      {"<string>stdlib</string>", true},
      {"<string>STDLIB</string>", true},
      {"<string>zeft</string>", false},
      {"<string>ZEFT</string>", false},
      {"<string>zEfT</string>", false},
      {"<string>zeft </string>", true},
      {"<string>zeftx</string>", true},
      {"<string></string>", true},
      {"<string>garbage</string>", true},
      {"<integer>2</integer>", true},
  };
  TempBundle bundle;
  for (const Case& c : cases) {
    bundle.Install(c.element);
    VCppMemMgr manager(kAllocatorFromBundle);
    EXPECT_EQ(manager.UsesSystemAllocator(), c.system) << c.element.value_or("(absent)");
    void* block = manager.Malloc(40, false, Tag("test"));
    EXPECT_NE(block, nullptr);
    manager.Free(block);
  }
}

TEST(VCppMemMgrChoice, ExplicitKindsIgnoreTheBundle) {
  TempBundle bundle;
  bundle.Install(std::string("<string>zeft</string>"));
  EXPECT_TRUE(VCppMemMgr(kAllocatorSystem).UsesSystemAllocator());
  bundle.Install(std::string("<string>stdlib</string>"));
  EXPECT_FALSE(VCppMemMgr(kAllocatorBlock).UsesSystemAllocator());
}

TEST(VCppMemMgrChoice, UnknownKindFallsBackOnTheSystemAllocator) {
  for (int32 kind : {3, -1, 1000}) {
    VCppMemMgr manager(static_cast<EAllocatorKind>(kind));
    EXPECT_TRUE(manager.UsesSystemAllocator()) << kind;
    void* block = manager.Malloc(16, false, Tag("test"));
    ASSERT_NE(block, nullptr) << kind;
    manager.Free(block);
  }
}

TEST(VCppMemMgrChoice, ManagerLivesOutsideTheHeapItManages) {
  auto* manager = new VCppMemMgr(kAllocatorSystem);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(manager) % VSystem::GetVMPageSize(), sizeof(uint64));
  void* block = manager->Malloc(8, false, Tag("test"));
  EXPECT_NE(block, nullptr);
  manager->Free(block);
  delete manager;
}

// ---------------------------------------------------------------------------
// Rules shared by both back ends

class VCppMemMgrBothTest : public ::testing::TestWithParam<EAllocatorKind> {
 protected:
  VCppMemMgr fManager{GetParam()};
};

TEST_P(VCppMemMgrBothTest, MallocGivesUsableTaggedBlocksAndFreeIgnoresNull) {
  std::vector<char*> blocks;
  for (size_t size :
       {size_t(0), size_t(1), size_t(100), size_t(8191), size_t(8192), size_t(3 * kMiB)}) {
    auto* block = static_cast<char*>(fManager.Malloc(size, size % 2 == 0, Tag("memb")));
    ASSERT_NE(block, nullptr) << size;
    EXPECT_GE(fManager.GetPtrSize(block), size);
    std::memset(block, 0x5A, size);
    blocks.push_back(block);
  }
  for (char* block : blocks) fManager.Free(block);
  fManager.Free(nullptr);
}

TEST_P(VCppMemMgrBothTest, ReallocRules) {
  // Null behaves as Malloc.
  auto* block = static_cast<char*>(fManager.Realloc(nullptr, 32));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "abcdefghijklmnopqrstuvwxyz01234", 32);

  // Growing and shrinking keep the common prefix.
  auto* grown = static_cast<char*>(fManager.Realloc(block, 20000));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(std::memcmp(grown, "abcdefghijklmnopqrstuvwxyz01234", 32), 0);
  auto* shrunk = static_cast<char*>(fManager.Realloc(grown, 5));
  ASSERT_NE(shrunk, nullptr);
  EXPECT_EQ(std::memcmp(shrunk, "abcde", 5), 0);
  EXPECT_GE(fManager.GetPtrSize(shrunk), 5u);

  // Size 0 frees and answers null.
  EXPECT_EQ(fManager.Realloc(shrunk, 0), nullptr);
}

TEST_P(VCppMemMgrBothTest, CallocZeroFillsAndRefusesOverflowAndNegativeCounts) {
  // Dirty a block first so that a recycled one would show.
  void* dirty = fManager.Malloc(4000, false, Tag("test"));
  ASSERT_NE(dirty, nullptr);
  std::memset(dirty, 0xFF, 4000);
  fManager.Free(dirty);

  auto* block = static_cast<unsigned char*>(fManager.Calloc(1000, 4, Tag("test")));
  ASSERT_NE(block, nullptr);
  for (size_t i = 0; i < 4000; ++i) ASSERT_EQ(block[i], 0) << i;
  fManager.Free(block);

  struct Case {
    int32 count;
    size_t size;
  } refused[] = {
      {2, std::numeric_limits<size_t>::max() / 2 + 1},
      {std::numeric_limits<int32>::max(), std::numeric_limits<size_t>::max() / 1000},
      {-1, 16},
      {std::numeric_limits<int32>::min(), 1},
  };
  for (const Case& c : refused)
    EXPECT_EQ(fManager.Calloc(c.count, c.size, Tag("test")), nullptr) << c.count << " x " << c.size;
}

TEST_P(VCppMemMgrBothTest, ConcurrentAllocationsStayIntact) {
  auto work = [this](int seed) {
    std::vector<unsigned char*> blocks;
    for (int i = 0; i < 300; ++i) {
      size_t size = size_t((seed * 131 + i * 977) % 20000 + 1);
      auto* block = static_cast<unsigned char*>(fManager.Malloc(size, false, Tag("thrd")));
      ASSERT_NE(block, nullptr);
      std::memset(block, seed, size);
      blocks.push_back(block);
      if (i % 3 == 0) {
        unsigned char* old = blocks[size_t(i / 2)];
        size_t oldSize = size_t((seed * 131 + (i / 2) * 977) % 20000 + 1);
        for (size_t k = 0; k < oldSize; ++k) ASSERT_EQ(old[k], seed);
      }
    }
    for (unsigned char* block : blocks) fManager.Free(block);
  };
  std::vector<std::thread> threads;
  for (int seed = 1; seed <= 4; ++seed) threads.emplace_back(work, seed);
  for (std::thread& thread : threads) thread.join();
}

INSTANTIATE_TEST_SUITE_P(Kinds, VCppMemMgrBothTest,
                         ::testing::Values(kAllocatorSystem, kAllocatorBlock),
                         [](const auto& info) {
                           return std::string(info.param == kAllocatorSystem ? "System" : "Block");
                         });

// ---------------------------------------------------------------------------
// System back end

TEST(VCppMemMgrSystem, FixedFiguresAndNoVirtualMemory) {
  VCppMemMgr manager(kAllocatorSystem);
  void* block = manager.Malloc(100, false, Tag("test"));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(manager.GetPtrSize(block), malloc_usable_size(block));
  EXPECT_EQ(manager.GetAllocationBlockNumber(block), 0);
  manager.Free(block);

  EXPECT_EQ(manager.GetAllocatedMem(), 0x100000u);
  size_t total = 1, used = 1;
  manager.GetMemUsageInfo(total, used);
  EXPECT_EQ(total, 0x100000u);
  EXPECT_EQ(used, 0u);
  EXPECT_EQ(manager.CountVirtualAllocations(), 1);
  EXPECT_FALSE(manager.AddVirtualAllocation(40 * kMiB, nullptr, false));

  size_t out[9];
  std::fill(std::begin(out), std::end(out), size_t(7));
  EXPECT_EQ(manager.GetMemStatistics(out[0], out[1], out[2], out[3], out[4], out[5], out[6], out[7],
                                     out[8]),
            0x100000u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(out[i], i == 2 ? 0x100000u : 0u) << i;

  VMemStats stats;
  stats.fUsedMem = 5;
  stats.fBlocksByTag[FourCC("old ")] = {1, 8};
  manager.GetStatistics(stats, -1);
  EXPECT_EQ(stats.fUsedMem, 0u);
  EXPECT_TRUE(stats.fBlocksByTag.empty());
}

// ---------------------------------------------------------------------------
// Block allocator

TEST(VCppMemMgrBlock, StartsUsableWithTheArenaLimit) {
  VCppMemMgr manager(kAllocatorBlock);
  EXPECT_EQ(manager.GetLargestBlockSize(), kArenaMax);
  EXPECT_EQ(manager.CountVirtualAllocations(), 0);
  void* block = manager.Malloc(100, false, Tag("test"));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(manager.CountVirtualAllocations(), 1);
  EXPECT_GT(manager.GetAllocatedMem(), 0u);
  EXPECT_EQ(manager.GetReservedRegionSize(), manager.GetAllocatedMem());
  manager.Free(block);
}

TEST(VCppMemMgrBlock, RequestAboveTheLimitFailsAtOnceAndReallocKeepsTheBlock) {
  VCppMemMgr manager(kAllocatorBlock);
  static int sCalls;
  sCalls = 0;
  manager.SetPurgeHandlerProc([](int32, size_t, bool) -> size_t { return size_t(++sCalls); });

  EXPECT_EQ(manager.Malloc(kArenaMax + 1, false, Tag("test")), nullptr);
  auto* block = static_cast<char*>(manager.Malloc(64, false, Tag("test")));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "still here", 11);
  EXPECT_EQ(manager.Realloc(block, kArenaMax + 1), nullptr);
  EXPECT_STREQ(block, "still here");
  EXPECT_EQ(sCalls, 0);
  manager.Free(block);
}

TEST(VCppMemMgrBlock, PreferredArenaServesFirst) {
  VCppMemMgr manager(kAllocatorBlock);
  for (int32 arena = 0; arena < VCppMemMgr::kArenaCount; ++arena) {
    void* small = manager.Malloc(50, false, Tag("test"), arena);
    void* big = manager.Malloc(50000, false, Tag("test"), arena);
    ASSERT_NE(small, nullptr);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(manager.GetAllocationBlockNumber(small), arena);
    EXPECT_EQ(manager.GetAllocationBlockNumber(big), arena);
    // Any arena frees any block.
    manager.Free(small);
    manager.Free(big);
  }
  // Out-of-range preferences mean "any".
  void* block = manager.Malloc(50, false, Tag("test"), 99);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(manager.GetAllocationBlockNumber(block), 0);
  manager.Free(block);
}

TEST(VCppMemMgrBlock, VirtualAllocationIsSharedBetweenTheArenas) {
  VCppMemMgr manager(kAllocatorBlock);
  manager.SetAutoAllocationState(false);

  // Below 10 MiB: accepted, nothing done.
  EXPECT_TRUE(manager.AddVirtualAllocation(9 * kMiB, nullptr, false));
  EXPECT_EQ(manager.CountVirtualAllocations(), 0);
  EXPECT_EQ(manager.GetAllocatedMem(), 0u);

  EXPECT_TRUE(manager.AddVirtualAllocation(40 * kMiB, nullptr, false));
  EXPECT_EQ(manager.CountVirtualAllocations(), 4);
  EXPECT_EQ(manager.GetAllocatedMem(), 40 * kMiB);
  size_t total = 0, used = 1;
  manager.GetMemUsageInfo(total, used);
  EXPECT_EQ(total, 40 * kMiB);
  EXPECT_EQ(used, 0u);

  // Each arena serves from its own 10 MiB region, no more.
  for (int32 arena = 0; arena < VCppMemMgr::kArenaCount; ++arena) {
    void* block = manager.Malloc(8 * kMiB, false, Tag("big "), arena);
    ASSERT_NE(block, nullptr) << arena;
    EXPECT_EQ(manager.GetAllocationBlockNumber(block), arena);
  }
  EXPECT_EQ(manager.Malloc(8 * kMiB, false, Tag("big ")), nullptr);
}

TEST(VCppMemMgrBlock, VirtualAllocationHintPlacesTheRegionsBackToBack) {
  VCppMemMgr manager(kAllocatorBlock);
  size_t size = 40 * kMiB;
  size_t part = VSystem::RoundUpVMPageSize(size / 4);
  auto* probe = static_cast<char*>(VSystem::VirtualAlloc(part * 4, nullptr));
  ASSERT_NE(probe, nullptr);
  ASSERT_EQ(VSystem::VirtualFree(probe, part * 4, false), 0);

  ASSERT_TRUE(manager.AddVirtualAllocation(size, probe, false));
  EXPECT_EQ(manager.CountVirtualAllocations(), 4);
  // Every part of the range is taken now.
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(VSystem::VirtualAlloc(VSystem::GetVMPageSize(), probe + size_t(i) * part), nullptr)
        << i;

  // A second request at the same place fails without touching the regions.
  EXPECT_FALSE(manager.AddVirtualAllocation(size, probe, false));
  EXPECT_EQ(manager.CountVirtualAllocations(), 4);
}

TEST(VCppMemMgrBlock, PhysicalVirtualAllocation) {
  VCppMemMgr manager(kAllocatorBlock);
  ASSERT_TRUE(manager.AddVirtualAllocation(12 * kMiB, nullptr, true));
  EXPECT_EQ(manager.CountVirtualAllocations(), 4);
  void* block = manager.Malloc(2 * kMiB, false, Tag("wire"));
  EXPECT_NE(block, nullptr);
  manager.Free(block);
}

TEST(VCppMemMgrBlock, StatisticsCountTagsPerArenaAndDoNotAccumulate) {
  VCppMemMgr manager(kAllocatorBlock);
  std::vector<void*> blocks;
  for (int i = 0; i < 3; ++i) blocks.push_back(manager.Malloc(20000, false, Tag("big "), 1));
  for (int i = 0; i < 5; ++i) blocks.push_back(manager.Malloc(100, false, Tag("smal"), 2));
  for (void* block : blocks) ASSERT_NE(block, nullptr);

  VMemStats stats;
  for (int round = 0; round < 2; ++round) {
    manager.GetStatistics(stats, -1);
    EXPECT_EQ(stats.fBlocksByTag[FourCC("big ")].fCount, 3) << round;
    EXPECT_EQ(stats.fBlocksByTag[FourCC("smal")].fCount, 5) << round;
  }
  manager.GetStatistics(stats, 2);
  EXPECT_EQ(stats.fBlocksByTag.count(FourCC("big ")), 0u);
  EXPECT_EQ(stats.fBlocksByTag[FourCC("smal")].fCount, 5);
  EXPECT_GT(stats.fUsedMem, 0u);

  for (void* block : blocks) manager.Free(block);
  manager.GetStatistics(stats, -1);
  EXPECT_TRUE(stats.fBlocksByTag.empty());
}

// ---------------------------------------------------------------------------
// Purge protocol (block allocator). The arenas get no region of their own
// here, so every request runs out of memory.

struct PurgeCall {
  int32 arena;
  size_t size;
  bool first;
};

struct PurgeRecorder {
  static inline std::vector<PurgeCall> sCalls;
  static inline VCppMemMgr* sManager = nullptr;
  static inline std::atomic<int> sNestedResults{0};

  static size_t Record(int32 arena, size_t size, bool first) {
    sCalls.push_back({arena, size, first});
    return 0;
  }
  static size_t AddMemory(int32 arena, size_t size, bool first) {
    Record(arena, size, first);
    sManager->AddVirtualAllocation(40 * kMiB, nullptr, false);
    return 40 * kMiB;
  }
  static size_t AllocateInside(int32 arena, size_t size, bool first) {
    Record(arena, size, first);
    // Would wait for its own purge if the manager let it.
    if (sManager->Malloc(size, false, Tag("nest")) == nullptr) ++sNestedResults;
    sManager->PurgeMem(arena);
    return 0;
  }
};

class VCppMemMgrPurgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fManager.SetAutoAllocationState(false);
    PurgeRecorder::sCalls.clear();
    PurgeRecorder::sManager = &fManager;
    PurgeRecorder::sNestedResults = 0;
  }
  VCppMemMgr fManager{kAllocatorBlock};
};

TEST_F(VCppMemMgrPurgeTest, ExhaustedArenasArePurgedOnceEachThenTheRequestFails) {
  EXPECT_EQ(fManager.SetPurgeHandlerProc(PurgeRecorder::Record), nullptr);
  EXPECT_EQ(fManager.Malloc(300, false, Tag("test")), nullptr);
  ASSERT_EQ(PurgeRecorder::sCalls.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(PurgeRecorder::sCalls[i].arena, int32(i));
    EXPECT_EQ(PurgeRecorder::sCalls[i].size, 300u);
    EXPECT_EQ(PurgeRecorder::sCalls[i].first, i == 0);
  }
  // The search went round once: the next request starts from arena 0 again.
  PurgeRecorder::sCalls.clear();
  EXPECT_EQ(fManager.Malloc(10, false, Tag("test")), nullptr);
  ASSERT_EQ(PurgeRecorder::sCalls.size(), 4u);
  EXPECT_EQ(PurgeRecorder::sCalls[0].arena, 0);
  EXPECT_EQ(fManager.SetPurgeHandlerProc(nullptr), &PurgeRecorder::Record);
}

TEST_F(VCppMemMgrPurgeTest, MemoryFreedByTheHandlerServesTheRequest) {
  fManager.SetPurgeHandlerProc(PurgeRecorder::AddMemory);
  void* block = fManager.Malloc(5000, false, Tag("test"));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(PurgeRecorder::sCalls.size(), 1u);
  fManager.Free(block);
}

TEST_F(VCppMemMgrPurgeTest, HandlerMayAllocateAndPurgeWithoutDeadlock) {
  fManager.SetPurgeHandlerProc(PurgeRecorder::AllocateInside);
  EXPECT_EQ(fManager.Malloc(64, false, Tag("test")), nullptr);
  EXPECT_EQ(PurgeRecorder::sCalls.size(), 4u);
  EXPECT_EQ(PurgeRecorder::sNestedResults.load(), 4);
}

TEST_F(VCppMemMgrPurgeTest, ExplicitPurgeCallsTheHandler) {
  fManager.PurgeMem(2);  // no handler: nothing happens
  fManager.SetPurgeHandlerProc(PurgeRecorder::Record);
  fManager.PurgeMem(2);
  fManager.PurgeMem(-1);
  ASSERT_EQ(PurgeRecorder::sCalls.size(), 2u);
  EXPECT_EQ(PurgeRecorder::sCalls[0].arena, 2);
  EXPECT_EQ(PurgeRecorder::sCalls[1].arena, -1);
  for (const PurgeCall& call : PurgeRecorder::sCalls) {
    EXPECT_EQ(call.size, 0u);
    EXPECT_TRUE(call.first);
  }
}

TEST_F(VCppMemMgrPurgeTest, OtherTasksWaitForTheRunningPurgeInsteadOfStartingOne) {
  static std::atomic<int> sHandlerCalls;
  static std::thread* sOther;
  static void* sOtherBlock;
  sHandlerCalls = 0;
  sOtherBlock = nullptr;
  fManager.SetPurgeHandlerProc([](int32, size_t, bool) -> size_t {
    ++sHandlerCalls;
    // A second task runs out of memory while this purge runs.
    sOther = new std::thread(
        [] { sOtherBlock = PurgeRecorder::sManager->Malloc(100, false, Tag("othr")); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PurgeRecorder::sManager->AddVirtualAllocation(40 * kMiB, nullptr, false);
    return 40 * kMiB;
  });
  void* block = fManager.Malloc(100, false, Tag("test"));
  sOther->join();
  delete sOther;
  ASSERT_NE(block, nullptr);
  ASSERT_NE(sOtherBlock, nullptr);
  EXPECT_EQ(sHandlerCalls.load(), 1);
  fManager.Free(block);
  fManager.Free(sOtherBlock);
}

TEST_F(VCppMemMgrPurgeTest, TryToMallocSearchesOnceWithoutPurging) {
  fManager.SetPurgeHandlerProc(PurgeRecorder::Record);
  EXPECT_EQ(fManager.TryToMalloc(100, false, Tag("test"), 1), nullptr);
  EXPECT_TRUE(PurgeRecorder::sCalls.empty());
  ASSERT_TRUE(fManager.AddVirtualAllocation(40 * kMiB, nullptr, false));
  void* block = fManager.TryToMalloc(100, false, Tag("test"), 3);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(fManager.GetAllocationBlockNumber(block), 3);
  fManager.Free(block);
  EXPECT_TRUE(PurgeRecorder::sCalls.empty());
}

TEST_F(VCppMemMgrPurgeTest, SystemAllocatorNeverPurges) {
  VCppMemMgr manager(kAllocatorSystem);
  manager.SetPurgeHandlerProc(PurgeRecorder::Record);
  manager.PurgeMem(0);
  EXPECT_TRUE(PurgeRecorder::sCalls.empty());
}

TEST(VCppMemMgrHogs, RegisteredHogsCarryTheirTaskAndAreListedUntilUnregistered) {
  VCppMemMgr manager(kAllocatorSystem);
  VMemoryHog* mine = manager.RegisterMemHog();
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(mine->GetTaskID(), VTaskMgr::GetCurrentTaskID());

  int32 otherTaskID = 0;
  VMemoryHog* other = nullptr;
  std::thread([&] {
    other = manager.RegisterMemHog();
    otherTaskID = VTaskMgr::GetCurrentTaskID();
  }).join();
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->GetTaskID(), otherTaskID);
  EXPECT_NE(otherTaskID, mine->GetTaskID());
  EXPECT_EQ(manager.CountMemHogs(), 2);

  manager.UnRegisterMemHog(mine);
  EXPECT_EQ(manager.CountMemHogs(), 1);
  VMemoryHog stranger(1);
  manager.UnRegisterMemHog(&stranger);  // not listed: ignored, not deleted
  EXPECT_EQ(manager.CountMemHogs(), 1);
  // The last hog is deleted with the manager.
}

}  // namespace
}  // namespace zeft
