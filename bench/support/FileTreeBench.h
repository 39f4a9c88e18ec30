// The tree that the file-tree benchmarks copy and delete (10,000 files,
// 200 MB, made once in a temporary folder), the timed loops around a copy
// or a deletion, and the peers they are measured against. Each iteration
// copies the tree to a fresh destination (or deletes a fresh copy), the
// preparation untimed.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/ItemCopier.h"
#include "platform/TreeDeleter.h"

extern char** environ;

namespace zeft::bench {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;
constexpr size_t kSmallFileSize = 10 * 1024;
constexpr int kBigFiles = 10;
constexpr size_t kBigFileSize = 10 * 1000 * 1000;

inline bool WriteFile(const std::string& path, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
  return ::close(fd) == 0 && ok;
}

// The source tree: 100 folders (10 with 10 sub-folders each) of 100 files:
// 9,990 files of 10 KiB and 10 of 10 MB, with a few links.
class SourceTree {
 public:
  SourceTree() {
    char pattern[] = "/tmp/zeft-bench-tree-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    fRoot = pattern;
    fSource = fRoot + "/Source.app";
    std::string small(kSmallFileSize, 's');
    std::string big(kBigFileSize, 'b');
    int bigLeft = kBigFiles;
    for (int folder = 0; folder < kFolders; ++folder) {
      std::string path = fSource + "/Contents/group" + std::to_string(folder / 10) + "/folder" +
                         std::to_string(folder % 10);
      std::filesystem::create_directories(path);
      for (int file = 0; file < kFilesPerFolder; ++file) {
        bool isBig = file == 0 && folder % (kFolders / kBigFiles) == 0 && bigLeft-- > 0;
        small[0] = char('a' + file % 26);
        if (!WriteFile(path + "/file" + std::to_string(file), isBig ? big : small)) return;
      }
      ::symlink("file1", (path + "/link").c_str());
    }
    fReady = true;
  }
  ~SourceTree() {
    if (!fRoot.empty()) zeft::platform::DeleteTree(fRoot, true);
  }
  bool Ready() const { return fReady; }
  const std::string& Source() const { return fSource; }
  std::string Destination() const { return fRoot + "/Copy.app"; }

 private:
  std::string fRoot, fSource;
  bool fReady = false;
};

inline const SourceTree& Tree() {
  static SourceTree sTree;
  return sTree;
}

inline bool Run(std::vector<const char*> arguments) {
  arguments.push_back(nullptr);
  pid_t child;
  if (::posix_spawnp(&child, arguments[0], nullptr, nullptr,
                     const_cast<char* const*>(arguments.data()), environ) != 0)
    return false;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(int64_t(state.iterations()) *
                          int64_t((kFolders * kFilesPerFolder - kBigFiles) * kSmallFileSize +
                                  kBigFiles * kBigFileSize));
}

// Copies the tree with `copy` each iteration, removing the copy untimed.
template <typename Copy>
void CopyTree(benchmark::State& state, Copy copy) {
  const SourceTree& tree = Tree();
  if (!tree.Ready()) return state.SkipWithError("cannot make the source tree");
  const std::string destination = tree.Destination();
  for (auto _ : state) {
    if (!copy(tree.Source(), destination)) return state.SkipWithError("copy failed");
    state.PauseTiming();
    zeft::platform::DeleteTree(destination, true);
    state.ResumeTiming();
  }
  SetBytes(state);
}

// Deletes a fresh copy of the tree with `remove` each iteration.
template <typename Remove>
void RemoveTree(benchmark::State& state, Remove remove) {
  const SourceTree& tree = Tree();
  if (!tree.Ready()) return state.SkipWithError("cannot make the source tree");
  const std::string destination = tree.Destination();
  for (auto _ : state) {
    state.PauseTiming();
    if (zeft::platform::CopyItem(tree.Source(), destination).Failed())
      return state.SkipWithError("copy failed");
    state.ResumeTiming();
    if (!remove(destination)) return state.SkipWithError("deletion failed");
  }
}

// The peers: `cp -a`, std::filesystem::copy (recursive, links as links)
// and `rm -rf`.
inline bool CopyWithCpA(const std::string& source, const std::string& destination) {
  return Run({"cp", "-a", source.c_str(), destination.c_str()});
}

inline bool CopyWithStdFilesystem(const std::string& source, const std::string& destination) {
  std::error_code error;
  std::filesystem::copy(
      source, destination,
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks,
      error);
  return !error;
}

inline bool RemoveWithRmRf(const std::string& path) { return Run({"rm", "-rf", path.c_str()}); }

}  // namespace zeft::bench
