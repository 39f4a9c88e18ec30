// A recursive iteration of a 10,100-entry tree (100 folders of 100 files)
// through VFolder::Iterate, against std::filesystem's recursive iterator;
// both see every entry, invisible ones included, and read nothing more.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/IRefCountable.h"
#include "files/VFSObjectIterator.h"
#include "files/VFolder.h"

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;
constexpr int kEntries = kFolders + kFolders * kFilesPerFolder;

class EntryTree {
 public:
  EntryTree() {
    char pattern[] = "/tmp/zeft-bench-iterate-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    fRoot = pattern;
    for (int folder = 0; folder < kFolders; ++folder) {
      const std::string path =
          fRoot + "/group" + std::to_string(folder / 10) + "/folder" + std::to_string(folder);
      std::filesystem::create_directories(path);
      for (int file = 0; file < kFilesPerFolder; ++file) {
        std::ofstream(path + "/file" + std::to_string(file));
      }
    }
  }
  ~EntryTree() {
    std::error_code ignored;
    std::filesystem::remove_all(fRoot, ignored);
  }
  const std::string& Root() const { return fRoot; }

 private:
  std::string fRoot;
};

const EntryTree& Tree() {
  static EntryTree sTree;
  return sTree;
}

// The ten group folders come on top of the hundred folders.
constexpr int kSeen = kEntries + 10;

void BM_VFolderIterate(benchmark::State& state) {
  zeft::VRefPtr<zeft::VFolder> root(
      new zeft::VFolder(zeft::VString((Tree().Root() + "/").c_str()), zeft::kFilePathStylePosix),
      zeft::kAdoptRef);
  const unsigned options = zeft::kFSIterateRecursive | zeft::kFSIterateFolders |
                           zeft::kFSIterateFiles | zeft::kFSIterateInvisible;
  for (auto _ : state) {
    int count = 0;
    root->Iterate(
        [&](zeft::IFileAttributeAccessor*) {
          ++count;
          return true;
        },
        options);
    if (count != kSeen) state.SkipWithError("wrong entry count");
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kSeen);
}

void BM_StdRecursiveDirectoryIterator(benchmark::State& state) {
  for (auto _ : state) {
    int count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Tree().Root())) {
      benchmark::DoNotOptimize(entry.path().c_str());
      ++count;
    }
    if (count != kSeen) state.SkipWithError("wrong entry count");
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kSeen);
}

}  // namespace

BENCHMARK(BM_VFolderIterate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdRecursiveDirectoryIterator)->Unit(benchmark::kMillisecond);
