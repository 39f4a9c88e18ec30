// Copy and forced deletion of a 10,000-file, 200 MB tree through the folder
// objects, against `cp -a` and std::filesystem::copy for the copy and
// `rm -rf` for the deletion, on the same tree in the same run, timed in
// turns with pairwise ratios (see CompareInTurns).
#include <benchmark/benchmark.h>

#include <string>

#include "core/IRefCountable.h"
#include "files/VFolder.h"
#include "support/FileTreeBench.h"

namespace {

using namespace zeft::bench;
using zeft::VFolder;
using zeft::VRefPtr;

VRefPtr<VFolder> FolderOf(const std::string& path) {
  return VRefPtr<VFolder>(
      new VFolder(zeft::VString(path.data(), path.size(), zeft::kCharSetUTF8) + "/",
                  zeft::kFilePathStylePosix),
      zeft::kAdoptRef);
}

bool CopyWithVFolder(const std::string& source, const std::string& destination) {
  const std::string parent = destination.substr(0, destination.rfind('/'));
  const std::string name = destination.substr(parent.size() + 1);
  return FolderOf(source)->CopyTo(*FolderOf(parent), zeft::VString(name.c_str()), nullptr,
                                  zeft::kFolderCopyReplace) == zeft::VE_OK;
}

void BM_VFolderCopyToInTurns(benchmark::State& state) {
  CompareInTurns(
      state,
      {{"VFolder", CopyWithVFolder}, {"cp -a", CopyWithCpA}, {"std copy", CopyWithStdFilesystem}},
      false);
}

void BM_VFolderDeleteForcedInTurns(benchmark::State& state) {
  CompareInTurns(state,
                 {{"VFolder",
                   [](const std::string& path, const std::string&) {
                     return FolderOf(path)->DeleteForced() == zeft::VE_OK;
                   }},
                  {"rm -rf", RemoveWithRmRf}},
                 true);
}

}  // namespace

BENCHMARK(BM_VFolderCopyToInTurns)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_VFolderDeleteForcedInTurns)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
