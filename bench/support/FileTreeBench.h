// The tree that the file-tree benchmarks copy and delete (10,000 files,
// 200 MB, made once in a temporary folder), the peers they are measured
// against, and the loop that times them in turns. A copy goes to a fresh
// destination and a deletion removes a fresh copy, the preparation
// untimed; the disk is synced before each timed step so that no step pays
// for the writes of the one before.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
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

// One way of copying (source, destination) or deleting (path, unused).
struct Contender {
  std::string name;
  std::function<bool(const std::string&, const std::string&)> run;
};

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs every contender `rounds` times in turns, the order rotating each
// round, and reports the median time of each ("<name> ms") and the median
// of the ratios of the first one's time to each other's in the same round
// ("<first>/<name>"). The benchmark's own time is the first one's median.
inline void CompareInTurns(benchmark::State& state, const std::vector<Contender>& contenders,
                           bool deletion, int rounds = 5) {
  const SourceTree& tree = Tree();
  if (!tree.Ready()) return state.SkipWithError("cannot make the source tree");
  const std::string destination = tree.Destination();
  const size_t count = contenders.size();
  std::vector<std::vector<double>> times(count), ratios(count);
  for (auto _ : state) {
    for (int round = 0; round < rounds; ++round) {
      std::vector<double> seconds(count);
      for (size_t turn = 0; turn < count; ++turn) {
        const size_t which = (turn + size_t(round)) % count;
        if (deletion && zeft::platform::CopyItem(tree.Source(), destination).Failed())
          return state.SkipWithError("copy failed");
        ::sync();
        const auto start = std::chrono::steady_clock::now();
        const bool done = deletion ? contenders[which].run(destination, std::string())
                                   : contenders[which].run(tree.Source(), destination);
        seconds[which] =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!done) return state.SkipWithError((contenders[which].name + " failed").c_str());
        if (deletion ? std::filesystem::exists(destination)
                     : zeft::platform::DeleteTree(destination, true).Failed())
          return state.SkipWithError("the tree is left behind");
      }
      for (size_t i = 0; i < count; ++i) {
        times[i].push_back(seconds[i]);
        ratios[i].push_back(seconds[0] / seconds[i]);
      }
    }
    state.SetIterationTime(Median(times[0]));
  }
  for (size_t i = 0; i < count; ++i) {
    state.counters[contenders[i].name + " ms"] = Median(times[i]) * 1000;
    if (i > 0) state.counters[contenders[0].name + "/" + contenders[i].name] = Median(ratios[i]);
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

inline bool RemoveWithRmRf(const std::string& path, const std::string&) {
  return Run({"rm", "-rf", path.c_str()});
}

}  // namespace zeft::bench
