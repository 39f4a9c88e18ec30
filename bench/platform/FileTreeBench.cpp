// Copy and deletion of a 10,000-file, 200 MB tree by the platform layer
// against the tools and the library that do the same work: `cp -a` and
// std::filesystem::copy for the copy, `rm -rf` for the deletion, timed in
// turns with pairwise ratios (see CompareInTurns).
#include <benchmark/benchmark.h>

#include <string>

#include "platform/ItemCopier.h"
#include "platform/TreeDeleter.h"
#include "support/FileTreeBench.h"

namespace {

using namespace zeft::bench;

void BM_CopyItemInTurns(benchmark::State& state) {
  CompareInTurns(state,
                 {{"CopyItem",
                   [](const std::string& source, const std::string& destination) {
                     return !zeft::platform::CopyItem(source, destination).Failed();
                   }},
                  {"cp -a", CopyWithCpA},
                  {"std copy", CopyWithStdFilesystem}},
                 false);
}

void BM_DeleteTreeInTurns(benchmark::State& state) {
  CompareInTurns(state,
                 {{"DeleteTree",
                   [](const std::string& path, const std::string&) {
                     return !zeft::platform::DeleteTree(path, true).Failed();
                   }},
                  {"rm -rf", RemoveWithRmRf}},
                 true);
}

}  // namespace

BENCHMARK(BM_CopyItemInTurns)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_DeleteTreeInTurns)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
