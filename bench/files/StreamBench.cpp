// Byte-swapped arrays through a memory stream against the bare work they
// stand for: a memcpy followed by a __builtin_bswap32 loop.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/CharSet.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"

namespace {

using zeft::int32;
using zeft::uint32;

std::vector<int32> MakeLongs(size_t bytes) {
  std::vector<int32> longs(bytes / sizeof(int32));
  for (size_t i = 0; i < longs.size(); ++i) longs[i] = int32(i * 2654435761u);
  return longs;
}

void CopyAndSwap(uint32* destination, const int32* source, size_t count) {
  std::memcpy(destination, source, count * sizeof(uint32));
  for (size_t i = 0; i < count; ++i) destination[i] = __builtin_bswap32(destination[i]);
}

void BM_PutLongsSwapped(benchmark::State& state) {
  const std::vector<int32> longs = MakeLongs(size_t(state.range(0)));
  zeft::VPtrStream stream;
  stream.SetCharSet(zeft::kCharSetUTF8);
  stream.SetNeedSwap(true);
  stream.OpenWriting();
  for (auto _ : state) {
    stream.SetPos(0);
    stream.PutLongs(longs.data(), int32(longs.size()));
    benchmark::ClobberMemory();
  }
  if (stream.GetLastError() != zeft::VE_OK) state.SkipWithError("stream error");
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

// The peer of both directions: the same bytes copied, then swapped in place.
void BM_MemcpyBswap32(benchmark::State& state) {
  const std::vector<int32> longs = MakeLongs(size_t(state.range(0)));
  std::vector<uint32> destination(longs.size());
  for (auto _ : state) {
    CopyAndSwap(destination.data(), longs.data(), longs.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void BM_GetLongsSwapped(benchmark::State& state) {
  const std::vector<int32> longs = MakeLongs(size_t(state.range(0)));
  std::vector<int32> destination(longs.size());
  zeft::VConstPtrStream stream(longs.data(), longs.size() * sizeof(int32));
  stream.SetCharSet(zeft::kCharSetUTF8);
  stream.SetNeedSwap(true);
  stream.OpenReading();
  for (auto _ : state) {
    stream.SetPos(0);
    int32 count = int32(destination.size());
    stream.GetLongs(destination.data(), &count);
    benchmark::ClobberMemory();
  }
  if (stream.GetLastError() != zeft::VE_OK) state.SkipWithError("stream error");
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

BENCHMARK(BM_PutLongsSwapped)->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(BM_MemcpyBswap32)->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(BM_GetLongsSwapped)->Arg(1 << 10)->Arg(1 << 20);

}  // namespace
