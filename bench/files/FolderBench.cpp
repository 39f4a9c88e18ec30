// Copy and forced deletion of a 10,000-file, 200 MB tree through the folder
// objects, against `cp -a` and std::filesystem::copy for the copy and
// `rm -rf` for the deletion, on the same tree in the same run.
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

void BM_VFolderCopyTo(benchmark::State& state) {
  CopyTree(state, [](const std::string& source, const std::string& destination) {
    const std::string parent = destination.substr(0, destination.rfind('/'));
    const std::string name = destination.substr(parent.size() + 1);
    return FolderOf(source)->CopyTo(*FolderOf(parent), zeft::VString(name.c_str()), nullptr,
                                    zeft::kFolderCopyReplace) == zeft::VE_OK;
  });
}

void BM_CpA(benchmark::State& state) { CopyTree(state, CopyWithCpA); }

void BM_StdFilesystemCopy(benchmark::State& state) { CopyTree(state, CopyWithStdFilesystem); }

void BM_VFolderDeleteForced(benchmark::State& state) {
  RemoveTree(state,
             [](const std::string& path) { return FolderOf(path)->DeleteForced() == zeft::VE_OK; });
}

void BM_RmRf(benchmark::State& state) { RemoveTree(state, RemoveWithRmRf); }

}  // namespace

BENCHMARK(BM_VFolderCopyTo)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CpA)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_StdFilesystemCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_VFolderDeleteForced)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RmRf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
