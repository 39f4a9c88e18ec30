// One progress increment on a three-level session against a bare atomic
// increment, the least a shared progress counter can cost; and what an
// indicator adds to a 200 MB stream copy (memory to memory, the copy with
// the least work of its own), with and without it, on equal work, and the
// progress calls of that copy alone.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "files/VConstPtrStream.h"
#include "files/VStream.h"
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

constexpr size_t kCopySize = size_t(200) << 20;

// Writes into a block of fixed size, so the copy measures no growth.
class SinkStream : public VStream {
 public:
  explicit SinkStream(std::vector<char>& block) : fBlock(block) {}

 protected:
  VError DoPutData(const void* data, size_t count) override {
    std::memcpy(fBlock.data() + fEnd, data, count);
    fEnd += count;
    return VE_OK;
  }
  VError DoGetData(void*, size_t* ioCount) override {
    *ioCount = 0;
    return VE_OK;
  }
  int64 DoGetSize() override { return int64(fEnd); }
  VError DoSetSize(int64) override { return VE_OK; }

 private:
  std::vector<char>& fBlock;
  size_t fEnd = 0;
};

// Argument 1: the source reports to an indicator, inside two outer
// sessions (files, file), as a folder copy would.
void BM_StreamCopy200MB(benchmark::State& state) {
  std::vector<char> source(kCopySize, 'x');
  std::vector<char> destination(kCopySize);
  auto* progress = state.range(0) != 0 ? new VProgressIndicator : nullptr;
  if (progress != nullptr) {
    progress->BeginSession(10, "files");
    progress->BeginSession(1, "file");
  }
  for (auto _ : state) {
    VConstPtrStream from(source.data(), source.size());
    from.SetProgressIndicator(progress);
    SinkStream to(destination);
    to.OpenWriting();
    if (from.PutContentInto(&to) != VE_OK) state.SkipWithError("copy failed");
    to.CloseWriting();
    benchmark::DoNotOptimize(destination.data());
  }
  if (progress != nullptr) {
    progress->EndSession();
    progress->EndSession();
    progress->Release();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kCopySize));
}
BENCHMARK(BM_StreamCopy200MB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Only the progress calls that copy makes (one per 4 KiB block), which a
// loaded machine's noise in the copy figures hides.
void BM_ProgressCallsOf200MBCopy(benchmark::State& state) {
  auto* progress = new VProgressIndicator;
  progress->BeginSession(10, "files");
  progress->BeginSession(1, "file");
  progress->BeginSession(int64(kCopySize), "Reading From Stream");
  for (auto _ : state) {
    for (int64 position = 4096; position <= int64(kCopySize); position += 4096)
      benchmark::DoNotOptimize(progress->Progress(position));
  }
  progress->EndSession();
  progress->EndSession();
  progress->EndSession();
  progress->Release();
}
BENCHMARK(BM_ProgressCallsOf200MBCopy)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zeft
