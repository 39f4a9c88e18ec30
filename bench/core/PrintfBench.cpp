// VString::Printf against the C library's snprintf into a byte buffer, on
// formats of three to five mixed conversions.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "core/VLong.h"
#include "core/VString.h"

namespace zeft {
namespace {

void BM_PrintfMixedVString(benchmark::State& state) {
  VString s;
  int64 n = 0;
  for (auto _ : state) {
    s.Printf("task %d: %s took %.3f ms (%lld bytes)", 42, "copy", 12.3456, 123456789LL + n++);
    benchmark::DoNotOptimize(s.GetCPointer());
  }
}

void BM_PrintfMixedSnprintf(benchmark::State& state) {
  char buffer[1024];
  int64 n = 0;
  for (auto _ : state) {
    std::snprintf(buffer, sizeof(buffer), "task %d: %s took %.3f ms (%lld bytes)", 42, "copy",
                  12.3456, 123456789LL + n++);
    benchmark::DoNotOptimize(buffer);
  }
}

// Object conversions against the same texts handed to snprintf as bytes (not
// equal work: see the plain row below).
void BM_PrintfObjectsVString(benchmark::State& state) {
  VString s;
  VString path("/Applications/Example.app/Contents/MacOS/Example");
  VLong code(-43);
  for (auto _ : state) {
    s.Printf("%S: error %A at %x (%g)", &path, &code, 0xBEEFu, 0.25);
    benchmark::DoNotOptimize(s.GetCPointer());
  }
}

void BM_PrintfObjectsSnprintf(benchmark::State& state) {
  char buffer[1024];
  const char* path = "/Applications/Example.app/Contents/MacOS/Example";
  for (auto _ : state) {
    std::snprintf(buffer, sizeof(buffer), "%s: error %d at %x (%g)", path, -43, 0xBEEFu, 0.25);
    benchmark::DoNotOptimize(buffer);
  }
}

// The format of the snprintf row above, with the same C text and numbers:
// equal work but for the output, UTF-16 here against bytes there.
void BM_PrintfPlainVString(benchmark::State& state) {
  VString s;
  const char* path = "/Applications/Example.app/Contents/MacOS/Example";
  for (auto _ : state) {
    s.Printf("%s: error %d at %x (%g)", path, -43, 0xBEEFu, 0.25);
    benchmark::DoNotOptimize(s.GetCPointer());
  }
}

// The snprintf row widened to UTF-16, the output the row above makes.
void BM_PrintfPlainSnprintfUTF16(benchmark::State& state) {
  char buffer[1024];
  char16_t units[1024];
  const char* path = "/Applications/Example.app/Contents/MacOS/Example";
  for (auto _ : state) {
    const int length =
        std::snprintf(buffer, sizeof(buffer), "%s: error %d at %x (%g)", path, -43, 0xBEEFu, 0.25);
    for (int i = 0; i < length; ++i) units[i] = char16_t(uint8(buffer[i]));
    benchmark::DoNotOptimize(units);
  }
}

BENCHMARK(BM_PrintfMixedVString);
BENCHMARK(BM_PrintfMixedSnprintf);
BENCHMARK(BM_PrintfObjectsVString);
BENCHMARK(BM_PrintfObjectsSnprintf);
BENCHMARK(BM_PrintfPlainVString);
BENCHMARK(BM_PrintfPlainSnprintfUTF16);

}  // namespace
}  // namespace zeft
