// The process memory manager against the C library allocator it wraps, and
// the growable byte buffer against std::vector<char>.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "core/VCppMemMgr.h"
#include "core/VErrorCodes.h"
#include "core/VMemoryBuffer.h"
#include "core/VObject.h"

namespace zeft {
namespace {

constexpr int32 kBenchTag = int32(FourCC("bnch"));
constexpr int kBatch = 512;

// The two allocators under the same calls.
struct SystemMalloc {
  static void* Allocate(size_t size) { return std::malloc(size); }
  static void Release(void* block) { std::free(block); }
};

struct Manager {
  static void* Allocate(size_t size) { return VObject::sCppMemMgr->Malloc(size, false, kBenchTag); }
  static void Release(void* block) { VObject::sCppMemMgr->Free(block); }
};

// Allocates a batch of blocks of one size, then frees them: the common life
// of small strings and values.
template <class Allocator>
void BM_SmallBlocks(benchmark::State& state) {
  size_t size = size_t(state.range(0));
  std::vector<void*> blocks(kBatch);
  for (auto _ : state) {
    for (void*& block : blocks) {
      // Through a local: g++ 12 drops the store to the element when the
      // element itself is handed to DoNotOptimize and the allocator is inline.
      void* made = Allocator::Allocate(size);
      benchmark::DoNotOptimize(made);
      block = made;
    }
    for (void* block : blocks) Allocator::Release(block);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);  // one item: a malloc and its free
}

// Random sizes from 16 B to 64 KiB (evenly spread over the powers of two)
// in a pool of live blocks, each step freeing one random block and
// allocating another in its place.
template <class Allocator>
void BM_MixedBlocks(benchmark::State& state) {
  constexpr size_t kLive = 1024;
  constexpr size_t kSteps = 4096;
  std::mt19937 random(42);
  std::vector<size_t> sizes(kSteps);
  std::vector<size_t> slots(kSteps);
  for (size_t i = 0; i < kSteps; ++i) {
    int shift = std::uniform_int_distribution<int>(4, 15)(random);
    sizes[i] =
        std::uniform_int_distribution<size_t>(size_t(1) << shift, size_t(1) << (shift + 1))(random);
    slots[i] = std::uniform_int_distribution<size_t>(0, kLive - 1)(random);
  }
  std::vector<void*> live(kLive, nullptr);
  for (size_t i = 0; i < kLive; ++i) live[i] = Allocator::Allocate(sizes[i]);
  for (auto _ : state) {
    for (size_t i = 0; i < kSteps; ++i) {
      void*& block = live[slots[i]];
      Allocator::Release(block);
      void* made = Allocator::Allocate(sizes[i]);
      benchmark::DoNotOptimize(made);
      block = made;
    }
    benchmark::ClobberMemory();
  }
  for (void* block : live) Allocator::Release(block);
  state.SetItemsProcessed(state.iterations() * kSteps);
}

// Each size runs on both allocators in turn, so that the two figures of a
// pair are taken under the same load of the machine.
int RegisterPairs() {
  for (int64_t size = 16; size <= 256; size *= 2) {
    benchmark::RegisterBenchmark("SmallBlocks/malloc", BM_SmallBlocks<SystemMalloc>)->Arg(size);
    benchmark::RegisterBenchmark("SmallBlocks/VCppMemMgr", BM_SmallBlocks<Manager>)->Arg(size);
  }
  benchmark::RegisterBenchmark("MixedBlocks/malloc", BM_MixedBlocks<SystemMalloc>);
  benchmark::RegisterBenchmark("MixedBlocks/VCppMemMgr", BM_MixedBlocks<Manager>);
  return 0;
}

const int sPairsRegistered = RegisterPairs();

// Appends pieces of one size until the buffer holds 1 MiB.
constexpr size_t kFilled = 1024 * 1024;

// Second argument 1: the room is reserved first, leaving the cost of the
// appends alone, without the growth.
void BM_AppendVMemoryBuffer(benchmark::State& state) {
  size_t piece = size_t(state.range(0));
  bool reserved = state.range(1) != 0;
  std::vector<char> bytes(piece, 'x');
  for (auto _ : state) {
    VMemoryBuffer<> buffer;
    if (reserved && !buffer.SetAllocatedSize(kFilled)) state.SkipWithError("allocation failed");
    for (size_t filled = 0; filled < kFilled; filled += piece) {
      if (!buffer.AddDataAmortized(bytes.data(), piece)) state.SkipWithError("allocation failed");
    }
    benchmark::DoNotOptimize(buffer.GetDataPtr());
  }
  state.SetBytesProcessed(state.iterations() * int64_t(kFilled));
  state.SetItemsProcessed(state.iterations() * int64_t(kFilled / piece));
}

void BM_AppendStdVector(benchmark::State& state) {
  size_t piece = size_t(state.range(0));
  std::vector<char> bytes(piece, 'x');
  bool reserved = state.range(1) != 0;
  for (auto _ : state) {
    std::vector<char> buffer;
    if (reserved) buffer.reserve(kFilled);
    for (size_t filled = 0; filled < kFilled; filled += piece)
      buffer.insert(buffer.end(), bytes.begin(), bytes.end());
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t(kFilled));
  state.SetItemsProcessed(state.iterations() * int64_t(kFilled / piece));
}

BENCHMARK(BM_AppendVMemoryBuffer)->Name("Append/VMemoryBuffer")->ArgsProduct({{8, 64}, {0, 1}});
BENCHMARK(BM_AppendStdVector)->Name("Append/std::vector")->ArgsProduct({{8, 64}, {0, 1}});

}  // namespace
}  // namespace zeft
