// Copy and deletion of a 10,000-file, 200 MB tree by the platform layer
// against the tools and the library that do the same work: `cp -a` and
// std::filesystem::copy for the copy, `rm -rf` for the deletion.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/ItemCopier.h"
#include "platform/TreeDeleter.h"
#include "support/FileTreeBench.h"

namespace {

using namespace zeft::bench;

void BM_CopyItem(benchmark::State& state) {
  CopyTree(state, [](const std::string& source, const std::string& destination) {
    return !zeft::platform::CopyItem(source, destination).Failed();
  });
}

void BM_CpA(benchmark::State& state) { CopyTree(state, CopyWithCpA); }

void BM_StdFilesystemCopy(benchmark::State& state) { CopyTree(state, CopyWithStdFilesystem); }

void BM_DeleteTreeForced(benchmark::State& state) {
  RemoveTree(state, [](const std::string& path) {
    return !zeft::platform::DeleteTree(path, true).Failed();
  });
}

void BM_RmRf(benchmark::State& state) { RemoveTree(state, RemoveWithRmRf); }

}  // namespace

BENCHMARK(BM_CopyItem)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CpA)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_StdFilesystemCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_DeleteTreeForced)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RmRf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
