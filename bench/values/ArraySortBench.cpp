// Sorting of value arrays against std::sort: QSort on plain int32 and
// double keys, and the same keys in a VArrayLong (QSort through Sort) and
// through the multi-criteria interface sort, on random and few-valued keys.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "values/ISortable.h"
#include "values/VArrayLong.h"
#include "values/VArraySort.h"

namespace zeft {
namespace {

template <class T>
std::vector<T> RandomKeys(int64 count, uint32 distinct) {
  std::mt19937_64 random(12345);
  std::vector<T> keys(static_cast<size_t>(count));
  for (T& k : keys) {
    const uint64 r = random();
    k = distinct == 0 ? T(int64(r) >> 1) : T(r % distinct);
  }
  if constexpr (std::is_floating_point_v<T>) {
    for (T& k : keys) k = k / T(1 << 20);
  }
  return keys;
}

// Range(0): key count; Range(1): distinct keys (0 = all random).
template <class T>
void BM_QSort(benchmark::State& state) {
  const std::vector<T> keys = RandomKeys<T>(state.range(0), uint32(state.range(1)));
  std::vector<T> work;
  for (auto _ : state) {
    state.PauseTiming();
    work = keys;
    state.ResumeTiming();
    QSort(work.data(), int32(work.size()), 0);
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class T>
void BM_StdSort(benchmark::State& state) {
  const std::vector<T> keys = RandomKeys<T>(state.range(0), uint32(state.range(1)));
  std::vector<T> work;
  for (auto _ : state) {
    state.PauseTiming();
    work = keys;
    state.ResumeTiming();
    std::sort(work.begin(), work.end());
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

VArrayLong MakeArray(const std::vector<int32>& keys) {
  VArrayLong array(int32(keys.size()));
  for (size_t i = 0; i < keys.size(); ++i) array.FromLong(keys[i], int32(i + 1));
  return array;
}

// The same keys through the interface routine: one virtual compare per
// comparison, one virtual swap per exchange.
void BM_VArrayLong_MultiCriteriaQSort(benchmark::State& state) {
  const std::vector<int32> keys = RandomKeys<int32>(state.range(0), uint32(state.range(1)));
  for (auto _ : state) {
    state.PauseTiming();
    VArrayLong array = MakeArray(keys);
    state.ResumeTiming();
    ISortable* list[] = {&array, nullptr};
    uint8 flags[] = {0};
    ISortable::MultiCriteriaQSort(list, flags, 1, 0, array.GetCount() - 1);
    benchmark::DoNotOptimize(array.LockAndGetData());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void SortArgs(benchmark::internal::Benchmark* b) {
  for (int64 count : {100000, 1000000}) {
    b->Args({count, 0});
    b->Args({count, 4});
  }
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_QSort<int32>)->Apply(SortArgs);
BENCHMARK(BM_StdSort<int32>)->Apply(SortArgs);
BENCHMARK(BM_QSort<double>)->Apply(SortArgs);
BENCHMARK(BM_StdSort<double>)->Apply(SortArgs);
BENCHMARK(BM_VArrayLong_MultiCriteriaQSort)->Apply(SortArgs);

}  // namespace
}  // namespace zeft
