// Benchmarks run with the process memory manager in place, as a program would.
#include <benchmark/benchmark.h>

#include "core/VCppMemMgr.h"
#include "core/VObject.h"

int main(int argc, char** argv) {
  if (zeft::VObject::sCppMemMgr == nullptr)
    zeft::VObject::sCppMemMgr = new zeft::VCppMemMgr(zeft::kAllocatorSystem);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
