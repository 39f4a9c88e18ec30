// One progress increment on a three-level session against a bare atomic
// increment, the least a shared progress counter can cost.
#include <benchmark/benchmark.h>

#include <atomic>

#include "runtime/VProgressIndicator.h"

namespace zeft {
namespace {

void BM_ProgressIncrement3Levels(benchmark::State& state) {
  auto* progress = new VProgressIndicator;
  progress->BeginSession(10, "files");
  progress->BeginSession(100, "file");
  progress->BeginSession(int64(1) << 40, "bytes");
  for (auto _ : state) benchmark::DoNotOptimize(progress->Increment(1));
  progress->EndSession();
  progress->EndSession();
  progress->EndSession();
  progress->Release();
}
BENCHMARK(BM_ProgressIncrement3Levels);

void BM_AtomicIncrement(benchmark::State& state) {
  std::atomic<int64> value{0};
  for (auto _ : state) benchmark::DoNotOptimize(value.fetch_add(1, std::memory_order_relaxed));
}
BENCHMARK(BM_AtomicIncrement);

}  // namespace
}  // namespace zeft
