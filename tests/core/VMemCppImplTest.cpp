// Tests of one block-allocator arena, built directly with automatic
// allocation on (as the memory manager runs it), and through the manager.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "core/VCppMemMgr.h"
#include "core/VErrorCodes.h"
#include "core/VMemCppImpl.h"
#include "core/VMemStats.h"
#include "support/RepeatCount.h"

namespace zeft {
namespace {

bool IsAligned16(const void* p) { return reinterpret_cast<uintptr_t>(p) % 16 == 0; }

class VMemCppImplTest : public ::testing::Test {
 protected:
  VMemCppImplTest() : fArena(0) {
    fArena.Init(nullptr);
    fArena.SetAutoAllocationState(true);
  }

  VMemStats Stats() {
    VMemStats stats;
    fArena.GetStats(stats, 0);
    return stats;
  }

  size_t BytesInUse() {
    size_t total = 0;
    size_t used = 0;
    fArena.GetMemUsageInfo(total, used);
    return used;
  }

  VMemCppImpl fArena;
};

TEST_F(VMemCppImplTest, UsableSizeFollowsSizeClasses) {
  struct Case {
    size_t request;
    size_t usable;
  };
  const Case cases[] = {
      {0, 8},
      {1, 8},
      {100, 104},
      {1016, 1016},
      {1017, 1080},
      {5000, 5112},
      {8191, 8440},
      {8192, 9192},
      {10000, 10216},
      {1048552, 1048552},
      {1048553, 1048568},
      {3000000, 3000008},
  };
  std::vector<void*> blocks;
  for (const Case& c : cases) {
    void* block = fArena.Malloc(c.request, false, false, 0);
    ASSERT_NE(block, nullptr) << c.request;
    EXPECT_EQ(fArena.GetPtrSize(block), c.usable) << c.request;
    EXPECT_TRUE(IsAligned16(block)) << c.request;
    std::memset(block, 0xA5, c.usable);
    blocks.push_back(block);
  }
  EXPECT_TRUE(fArena.Check(nullptr));
  for (void* block : blocks) fArena.Free(block);
  EXPECT_TRUE(fArena.Check(nullptr));
  EXPECT_EQ(fArena.CountAllocations(), 0);
  EXPECT_EQ(fArena.GetTotalAllocation(), 0u);
  EXPECT_EQ(BytesInUse(), 0u);
  EXPECT_EQ(fArena.GetPtrSize(nullptr), 0u);
}

TEST_F(VMemCppImplTest, ForceBigGivesAnOrdinaryBigBlock) {
  void* block = fArena.Malloc(100, true, false, 0);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(fArena.GetPtrSize(block), 1000u);
  std::memset(block, 0x5A, 1000);
  VMemStats stats = Stats();
  EXPECT_EQ(stats.fNbPages, 0);
  EXPECT_EQ(stats.fNbUsedBigBlocks, 1);
  EXPECT_EQ(stats.fOtherBlocksBySize[1024].fUsed, 1);
  EXPECT_TRUE(fArena.Check(nullptr));
  fArena.Free(block);
  EXPECT_EQ(fArena.CountAllocations(), 0);
}

TEST_F(VMemCppImplTest, PageOfOneByteBlocksHolds507) {
  std::vector<void*> blocks;
  for (int i = 0; i < 507; ++i) blocks.push_back(fArena.Malloc(1, false, false, 0));
  VMemStats stats = Stats();
  EXPECT_EQ(stats.fNbPages, 1);
  EXPECT_EQ(stats.fAllocationPagesBySize[16].fFull, 1);
  EXPECT_EQ(stats.fSmallBlocksBySize[16].fUsed, 507);
  EXPECT_EQ(stats.fNbUsedSmallBlocks, 507);
  // Consecutive blocks of one page.
  for (size_t i = 1; i < blocks.size(); ++i)
    EXPECT_EQ(static_cast<char*>(blocks[i]) - static_cast<char*>(blocks[i - 1]), 16);

  blocks.push_back(fArena.Malloc(1, false, false, 0));
  stats = Stats();
  EXPECT_EQ(stats.fNbPages, 2);
  EXPECT_EQ(stats.fAllocationPagesBySize[16].fFull, 1);
  EXPECT_EQ(stats.fAllocationPagesBySize[16].fPartial, 1);
  EXPECT_EQ(fArena.CountAllocations(), 1);
  EXPECT_TRUE(fArena.Check(nullptr));

  // A freed block of a full page is reused before the page's top grows.
  fArena.Free(blocks[10]);
  void* again = fArena.Malloc(1, false, false, 0);
  EXPECT_EQ(again, blocks[10]);
  blocks[10] = again;

  for (void* block : blocks) fArena.Free(block);
  EXPECT_TRUE(fArena.Check(nullptr));
  EXPECT_EQ(fArena.CountAllocations(), 0);
  EXPECT_EQ(BytesInUse(), 0u);
}

TEST_F(VMemCppImplTest, EmptyRegionStaysWithoutAutomaticAllocation) {
  void* block = fArena.Malloc(40, false, false, 0);
  ASSERT_NE(block, nullptr);
  fArena.SetAutoAllocationState(false);
  fArena.Free(block);
  EXPECT_EQ(fArena.CountAllocations(), 1);
  EXPECT_EQ(BytesInUse(), 0u);
  // The region is reused, and no new one can be added while off.
  block = fArena.Malloc(40, false, false, 0);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(fArena.Malloc(30000000, false, false, 0), nullptr);
  EXPECT_EQ(fArena.CountAllocations(), 1);
  fArena.Free(block);
  EXPECT_TRUE(fArena.Check(nullptr));
}

TEST_F(VMemCppImplTest, FreedNeighboursMergeAndTopFallsBack) {
  // guard | a | b | c | d, all 10240-byte big blocks.
  void* guard = fArena.Malloc(10000, false, false, 0);
  void* a = fArena.Malloc(10000, false, false, 0);
  void* b = fArena.Malloc(10000, false, false, 0);
  void* c = fArena.Malloc(10000, false, false, 0);
  void* d = fArena.Malloc(10000, false, false, 0);
  ASSERT_EQ(static_cast<char*>(d) - static_cast<char*>(guard), 4 * 10240);

  fArena.Free(a);
  fArena.Free(b);
  VMemStats stats = Stats();
  EXPECT_EQ(stats.fNbBigBlocks, 4);
  EXPECT_EQ(stats.fNbFreeBigBlocks, 1);
  EXPECT_EQ(stats.fOtherBlocksBySize[20480].fFree, 1);
  EXPECT_EQ(stats.fBiggestFreeBlock, 20480u);
  EXPECT_EQ(stats.fFreeMem, 20480u);
  ASSERT_EQ(stats.fBlockMap.size(), 2u);
  EXPECT_EQ(stats.fBlockMap[0].fSize, VMemStats::kRegionMarker);
  EXPECT_EQ(stats.fBlockMap[1].fSize, 20480u);
  EXPECT_EQ(stats.fBlockMap[1].fAddress, static_cast<char*>(a) - 24);

  // Freeing the top block lowers the top instead of chaining it.
  fArena.Free(d);
  stats = Stats();
  EXPECT_EQ(stats.fNbBigBlocks, 3);
  EXPECT_EQ(stats.fNbFreeBigBlocks, 1);

  // c merges with the free run in front and the top falls back behind guard.
  fArena.Free(c);
  stats = Stats();
  EXPECT_EQ(stats.fNbBigBlocks, 1);
  EXPECT_EQ(stats.fNbFreeBigBlocks, 0);
  EXPECT_EQ(stats.fFreeMem, 0u);
  EXPECT_TRUE(fArena.Check(nullptr));

  // The next block is cut where a used to be.
  void* next = fArena.Malloc(50000, false, false, 0);
  EXPECT_EQ(next, a);
  fArena.Free(next);
  fArena.Free(guard);
  EXPECT_EQ(fArena.CountAllocations(), 0);
}

TEST(VMemCppImplChainTest, ChainedBlocksAreReusedWholeOrSplit) {
  // One 128 KB region without automatic allocation:
  // guard (10240) | block (100352) | top (10240) | 10176 bytes of room.
  VMemCppImpl arena(0);
  ASSERT_TRUE(arena.AddAllocation(131072, nullptr, false));
  void* guard = arena.Malloc(10000, false, false, 0);
  void* block = arena.Malloc(100000, false, false, 0);
  void* top = arena.Malloc(10000, false, false, 0);
  ASSERT_NE(top, nullptr);
  arena.Free(block);

  // The exact chain hands its block back.
  void* exact = arena.Malloc(100000, false, false, 0);
  EXPECT_EQ(exact, block);
  arena.Free(exact);

  // A smaller request that fits no chain of its own and not at the top takes
  // the larger block, whole when less than 8192 bytes would remain...
  void* whole = arena.Malloc(95000, false, false, 0);
  EXPECT_EQ(whole, block);
  EXPECT_EQ(arena.GetPtrSize(whole), 100352u - 24);
  arena.Free(whole);

  // ...split otherwise, the rest chained as a free block.
  void* front = arena.Malloc(20000, false, false, 0);
  EXPECT_EQ(front, block);
  EXPECT_EQ(arena.GetPtrSize(front), 20480u - 24);
  VMemStats stats;
  arena.GetStats(stats, 0);
  EXPECT_EQ(stats.fNbFreeBigBlocks, 1);
  EXPECT_EQ(stats.fOtherBlocksBySize[100352 - 20480].fFree, 1);
  EXPECT_TRUE(arena.Check(nullptr));

  // The rest serves the next request of its size exactly.
  void* rest = arena.Malloc(79000, false, false, 0);
  EXPECT_EQ(static_cast<char*>(rest) - static_cast<char*>(front), 20480);
  EXPECT_TRUE(arena.Check(nullptr));

  arena.Free(front);
  arena.Free(rest);
  arena.Free(top);
  arena.Free(guard);
  EXPECT_TRUE(arena.Check(nullptr));
  // Automatic allocation is off: the empty region stays.
  EXPECT_EQ(arena.CountAllocations(), 1);
  EXPECT_EQ(arena.GetTotalAllocation(), 131072u);
}

TEST_F(VMemCppImplTest, CheckPtrRejectsFreedBlocks) {
  void* keep = fArena.Malloc(20, false, false, 0);
  void* small = fArena.Malloc(20, false, false, 0);
  void* bigKeep = fArena.Malloc(20000, false, false, 0);
  void* big = fArena.Malloc(20000, false, false, 0);
  void* bigTop = fArena.Malloc(20000, false, false, 0);
  EXPECT_TRUE(fArena.CheckPtr(small));
  EXPECT_TRUE(fArena.CheckPtr(big));
  EXPECT_FALSE(fArena.CheckPtr(nullptr));

  fArena.Free(small);
  EXPECT_FALSE(fArena.CheckPtr(small));
  EXPECT_TRUE(fArena.CheckPtr(keep));
  fArena.Free(big);
  EXPECT_FALSE(fArena.CheckPtr(big));
  // A block freed twice is ignored rather than chained twice.
  fArena.Free(big);
  EXPECT_TRUE(fArena.Check(nullptr));
  // The top block's space goes back to the region: its pointer is no longer
  // inside the handed-out part.
  fArena.Free(bigTop);
  EXPECT_FALSE(fArena.CheckPtr(bigTop));
  EXPECT_TRUE(fArena.CheckPtr(bigKeep));

  fArena.Free(keep);
  fArena.Free(bigKeep);
  EXPECT_EQ(fArena.CountAllocations(), 0);
}

TEST_F(VMemCppImplTest, RequestsAboveTheLimitFail) {
  const size_t tooBig[] = {VMemCppImpl::kMaxBlockSize + 1, size_t(1) << 31,
                           std::numeric_limits<size_t>::max(),
                           std::numeric_limits<size_t>::max() - 16};
  for (size_t size : tooBig) {
    EXPECT_EQ(fArena.Malloc(size, false, false, 0), nullptr) << size;
    EXPECT_EQ(fArena.Malloc(size, true, false, 0), nullptr) << size;
  }
  void* block = fArena.Malloc(64, false, false, 0);
  std::memset(block, 7, 64);
  EXPECT_EQ(fArena.Realloc(block, VMemCppImpl::kMaxBlockSize + 1), nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(block)[63], 7);
  fArena.Free(block);
  EXPECT_EQ(fArena.CountAllocations(), 0);
}

TEST_F(VMemCppImplTest, LargestRequestIsServed) {
  void* block = fArena.Malloc(VMemCppImpl::kMaxBlockSize, false, false, 0);
  ASSERT_NE(block, nullptr);
  EXPECT_GE(fArena.GetPtrSize(block), VMemCppImpl::kMaxBlockSize);
  static_cast<char*>(block)[VMemCppImpl::kMaxBlockSize - 1] = 1;
  EXPECT_TRUE(fArena.Check(nullptr));
  fArena.Free(block);
  EXPECT_EQ(fArena.CountAllocations(), 0);
}

TEST_F(VMemCppImplTest, NeighboursTooBigToMergeStayApart) {
  fArena.SetAutoAllocationState(false);
  ASSERT_TRUE(fArena.AddAllocation(size_t(3) << 30, nullptr, false));
  const size_t part = size_t(1100) << 20;
  void* x = fArena.Malloc(part, false, false, 0);
  void* y = fArena.Malloc(part, false, false, 0);
  void* z = fArena.Malloc(10000, false, false, 0);
  ASSERT_NE(x, nullptr);
  ASSERT_NE(y, nullptr);
  ASSERT_NE(z, nullptr);
  fArena.Free(x);
  fArena.Free(y);
  VMemStats stats = Stats();
  EXPECT_EQ(stats.fNbFreeBigBlocks, 2);
  EXPECT_TRUE(fArena.Check(nullptr));
  // Both are taken back into the region when the top block goes.
  fArena.Free(z);
  stats = Stats();
  EXPECT_EQ(stats.fNbBigBlocks, 0);
  EXPECT_TRUE(fArena.Check(nullptr));
  EXPECT_EQ(fArena.CountAllocations(), 1);
}

TEST_F(VMemCppImplTest, RegionsBelowTheMinimumAreRefused) {
  VMemCppImpl arena(1);
  EXPECT_FALSE(arena.AddAllocation(65535, nullptr, false));
  EXPECT_FALSE(arena.AddAllocation(0, nullptr, false));
  EXPECT_EQ(arena.CountAllocations(), 0);
  // Without a region and automatic allocation nothing can be served.
  EXPECT_EQ(arena.Malloc(10, false, false, 0), nullptr);
  EXPECT_EQ(arena.Malloc(10000, false, false, 0), nullptr);

  EXPECT_TRUE(arena.AddAllocation(65536, nullptr, false));
  EXPECT_EQ(arena.CountAllocations(), 1);
  EXPECT_EQ(arena.GetTotalAllocation(), 65536u);
  void* block = arena.Malloc(10, false, false, 0);
  EXPECT_NE(block, nullptr);
  // Larger than the region's data area.
  EXPECT_EQ(arena.Malloc(65536, false, false, 0), nullptr);
  arena.Free(block);

  alignas(16) static char buffer[70000];
  EXPECT_FALSE(arena.AddAlreadyAllocatedMem(nullptr, 1 << 20, false));
  EXPECT_FALSE(arena.AddAlreadyAllocatedMem(buffer + 8, 65536, false));
  EXPECT_FALSE(arena.AddAlreadyAllocatedMem(buffer, 65535, false));
  EXPECT_EQ(arena.CountAllocations(), 1);
  EXPECT_TRUE(arena.Check(nullptr));
}

TEST_F(VMemCppImplTest, ReallocAlwaysMovesAndKeepsData) {
  struct Case {
    size_t from;
    size_t to;
  };
  const Case cases[] = {{100, 40},      {100, 100},      {100, 5000},  {20000, 100},
                        {20000, 19000}, {5000, 2000000}, {2000000, 30}};
  for (const Case& c : cases) {
    auto* block = static_cast<unsigned char*>(fArena.Malloc(c.from, false, false, FourCC("grow")));
    ASSERT_NE(block, nullptr);
    for (size_t i = 0; i < c.from; ++i) block[i] = static_cast<unsigned char>(i * 13 + 1);
    auto* moved = static_cast<unsigned char*>(fArena.Realloc(block, c.to));
    ASSERT_NE(moved, nullptr);
    EXPECT_NE(moved, block) << c.from << " -> " << c.to;
    EXPECT_GE(fArena.GetPtrSize(moved), c.to);
    const size_t kept = c.from < c.to ? c.from : c.to;
    for (size_t i = 0; i < kept; ++i)
      ASSERT_EQ(moved[i], static_cast<unsigned char>(i * 13 + 1)) << c.from << " -> " << c.to;
    VMemStats stats = Stats();
    EXPECT_EQ(stats.fBlocksByTag[FourCC("grow")].fCount, 1);
    fArena.Free(moved);
  }
  EXPECT_TRUE(fArena.Check(nullptr));
  EXPECT_EQ(fArena.CountAllocations(), 0);

  void* fresh = fArena.Realloc(nullptr, 30);
  EXPECT_NE(fresh, nullptr);
  fArena.Free(fresh);
}

TEST_F(VMemCppImplTest, StatsCountTagsObjectsAndMemory) {
  void* object = fArena.Malloc(100, false, true, FourCC("objt"));
  void* plain = fArena.Malloc(100, false, false, FourCC("plai"));
  void* bigObject = fArena.Malloc(20000, false, true, FourCC("objt"));
  VMemStats stats = Stats();
  EXPECT_EQ(stats.fNbObjects, 2);
  EXPECT_EQ(stats.fBlocksByTag[FourCC("objt")].fCount, 2);
  EXPECT_EQ(stats.fBlocksByTag[FourCC("objt")].fMem, 112 + 20480);
  EXPECT_EQ(stats.fBlocksByTag[FourCC("plai")].fMem, 112);
  EXPECT_EQ(stats.fNbPages, 1);
  EXPECT_EQ(stats.fNbUsedBigBlocks, 2);  // the page and the big block
  EXPECT_EQ(stats.fUsedMem, BytesInUse());
  // Used plus free covers the page and the big block.
  EXPECT_EQ(stats.fUsedMem + stats.fFreeMem, 8192u + 20480u);
  EXPECT_EQ(stats.fBiggestBlock, 20480u);
  // A freed object no longer counts.
  fArena.Free(object);
  stats = Stats();
  EXPECT_EQ(stats.fNbObjects, 1);
  fArena.Free(plain);
  fArena.Free(bigObject);
  EXPECT_EQ(fArena.CountAllocations(), 0);
}

TEST_F(VMemCppImplTest, BlocksGoBackToTheArenaThatOwnsThem) {
  VMemCppImpl other(3);
  other.SetAutoAllocationState(true);
  void* small = other.Malloc(50, false, false, 0);
  void* big = other.Malloc(50000, false, false, 0);
  EXPECT_EQ(fArena.GetAllocationBlockNumber(small), 3);
  EXPECT_EQ(fArena.GetAllocationBlockNumber(big), 3);
  void* mine = fArena.Malloc(50, false, false, 0);
  EXPECT_EQ(fArena.GetAllocationBlockNumber(mine), 0);
  EXPECT_EQ(fArena.GetAllocationBlockNumber(nullptr), -1);

  fArena.Free(small);
  fArena.Free(big);
  EXPECT_EQ(other.CountAllocations(), 0);
  EXPECT_TRUE(other.Check(nullptr));
  EXPECT_EQ(fArena.CountAllocations(), 1);
  fArena.Free(mine);
}

// A long seeded trace of mixed allocations, reallocations and frees over two
// arenas (freeing always through the first), with every block filled with
// its own byte and checked before it is released.
TEST_F(VMemCppImplTest, RandomTraceKeepsArenaConsistent) {
  VMemCppImpl second(1);
  second.SetAutoAllocationState(true);

  struct Slot {
    unsigned char* data = nullptr;
    size_t size = 0;
    unsigned char fill = 0;
  };
  std::vector<Slot> slots(4096);
  std::mt19937_64 random(20261209);
  auto pickSize = [&random]() -> size_t {
    const uint64 roll = random() % 1000;
    if (roll < 450) return 1 + random() % 256;
    if (roll < 850) return random() % 8192;
    if (roll < 998) return 8192 + random() % 200000;
    return 1048000 + random() % 2000000;  // around and above 1 MB
  };
  // Large blocks are checked at their ends and every 4 KB in between.
  auto verify = [](const Slot& slot) {
    if (slot.size <= 16384) {
      for (size_t i = 0; i < slot.size; ++i)
        if (slot.data[i] != slot.fill) return false;
      return true;
    }
    for (size_t i = 0; i < slot.size; i += (i < 256 || i + 256 >= slot.size) ? 1 : 4096)
      if (slot.data[i] != slot.fill) return false;
    return slot.data[slot.size - 1] == slot.fill;
  };

  // A million operations in the full run, a fifth of them in CI.
  const int operations = test::RepeatCount(1000000, 200000);
  for (int op = 0; op < operations; ++op) {
    Slot& slot = slots[random() % slots.size()];
    const uint64 action = random() % 10;
    if (slot.data == nullptr) {
      slot.size = pickSize();
      VMemCppImpl& arena = (random() & 1) ? second : fArena;
      slot.data = static_cast<unsigned char*>(arena.Malloc(slot.size, false, false, 0));
      ASSERT_NE(slot.data, nullptr) << "op " << op;
      ASSERT_TRUE(IsAligned16(slot.data));
      slot.fill = static_cast<unsigned char>(op);
      std::memset(slot.data, slot.fill, slot.size);
    } else if (action < 6) {
      ASSERT_TRUE(verify(slot)) << "op " << op;
      fArena.Free(slot.data);
      slot.data = nullptr;
    } else {
      ASSERT_TRUE(verify(slot)) << "op " << op;
      const size_t size = pickSize();
      auto* moved = static_cast<unsigned char*>(fArena.Realloc(slot.data, size));
      ASSERT_NE(moved, nullptr) << "op " << op;
      const size_t kept = size < slot.size ? size : slot.size;
      slot.data = moved;
      slot.size = kept;
      ASSERT_TRUE(verify(slot)) << "op " << op;
      slot.size = size;
      std::memset(slot.data, slot.fill, size);
    }
    if (op % 100000 == 0) {
      ASSERT_TRUE(fArena.Check(nullptr)) << "op " << op;
      ASSERT_TRUE(second.Check(nullptr)) << "op " << op;
    }
  }
  EXPECT_TRUE(fArena.Check(nullptr));
  EXPECT_TRUE(second.Check(nullptr));

  for (Slot& slot : slots) {
    if (slot.data == nullptr) continue;
    ASSERT_TRUE(verify(slot));
    fArena.Free(slot.data);
  }
  EXPECT_TRUE(fArena.Check(nullptr));
  EXPECT_TRUE(second.Check(nullptr));
  EXPECT_EQ(fArena.CountAllocations(), 0);
  EXPECT_EQ(second.CountAllocations(), 0);
  EXPECT_EQ(BytesInUse(), 0u);
}

TEST(VMemCppImplManagerTest, BlockManagerServesThroughItsArenas) {
  VCppMemMgr* manager = new VCppMemMgr(kAllocatorBlock);
  ASSERT_FALSE(manager->UsesSystemAllocator());
  const size_t sizes[] = {1, 100, 8191, 8192, 10000, 3000000};
  std::vector<void*> blocks;
  for (size_t size : sizes) {
    void* block = manager->Malloc(size, false, FourCC("test"));
    ASSERT_NE(block, nullptr) << size;
    std::memset(block, 0x3C, size);
    EXPECT_GE(manager->GetPtrSize(block), size);
    const int32 arena = manager->GetAllocationBlockNumber(block);
    EXPECT_GE(arena, 0);
    EXPECT_LT(arena, VCppMemMgr::kArenaCount);
    blocks.push_back(block);
  }
  EXPECT_GT(manager->GetAllocatedMem(), 0u);
  EXPECT_EQ(manager->GetReservedRegionSize(), manager->GetAllocatedMem());
  blocks[1] = manager->Realloc(blocks[1], 20);
  ASSERT_NE(blocks[1], nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(blocks[1])[19], 0x3C);
  for (void* block : blocks) manager->Free(block);
  // Empty regions went back to the system, and the manager's record with them.
  EXPECT_EQ(manager->CountVirtualAllocations(), 0);
  EXPECT_EQ(manager->GetReservedRegionSize(), 0u);
  delete manager;
}

}  // namespace
}  // namespace zeft
