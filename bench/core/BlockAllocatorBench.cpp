// The toolbox's block allocator (through a block-allocator memory manager,
// and one arena called directly) against the C library's malloc and two
// general-purpose peers.
//
// The peers are loaded with dlopen(RTLD_LOCAL) and called through their own
// entry points, so that neither replaces malloc for the process: linking
// either library normally would interpose malloc and turn the C library
// figures into the peer's. Every benchmark checks that the process malloc
// still comes from the C library. The fragmentation figures come from one
// process per allocator.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/VCppMemMgr.h"
#include "core/VErrorCodes.h"
#include "core/VMemCppImpl.h"

namespace zeft {
namespace {

constexpr int32 kBenchTag = int32(FourCC("bnch"));

struct AllocatorApi {
  void* (*allocate)(size_t);
  void (*release)(void*);
  void* (*reallocate)(void*, size_t);
};

// --- C library -------------------------------------------------------------

const AllocatorApi kGlibcApi = {[](size_t size) { return std::malloc(size); },
                                [](void* block) { std::free(block); },
                                [](void* block, size_t size) { return std::realloc(block, size); }};

// --- Peers, loaded privately ------------------------------------------------

struct Peers {
  AllocatorApi mimalloc{};
  AllocatorApi jemalloc{};
  std::string mimallocError;
  std::string jemallocError;
  std::string processError;
};

using MiMalloc = void* (*)(size_t);
using MiFree = void (*)(void*);
using MiRealloc = void* (*)(void*, size_t);
using JeMallocx = void* (*)(size_t, int);
using JeDallocx = void (*)(void*, int);
using JeRallocx = void* (*)(void*, size_t, int);

MiMalloc sMiMalloc;
MiFree sMiFree;
MiRealloc sMiRealloc;
JeMallocx sJeMallocx;
JeDallocx sJeDallocx;
JeRallocx sJeRallocx;

// The shared object that the process's malloc symbol resolves to.
std::string ProcessMallocObject() {
  Dl_info info{};
  void* symbol = dlsym(RTLD_DEFAULT, "malloc");
  if (symbol == nullptr || dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) return "?";
  return info.dli_fname;
}

template <class Function>
bool Bind(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

std::string LoadError(const char* library) {
  std::string error = std::string("cannot load ") + library + ": " + dlerror();
  // The library uses initial-exec thread-local storage, which a late load
  // can only place in the static TLS surplus.
  if (error.find("static TLS") != std::string::npos)
    error += " (run with GLIBC_TUNABLES=glibc.rtld.optional_static_tls=16384)";
  return error;
}

const Peers& LoadPeers() {
  static const Peers peers = [] {
    Peers loaded;
    if (void* mi = dlopen("libmimalloc.so.2", RTLD_NOW | RTLD_LOCAL); mi == nullptr)
      loaded.mimallocError = LoadError("libmimalloc.so.2");
    else if (!Bind(mi, "mi_malloc", sMiMalloc) || !Bind(mi, "mi_free", sMiFree) ||
             !Bind(mi, "mi_realloc", sMiRealloc))
      loaded.mimallocError = "libmimalloc.so.2 lacks an entry point";
    if (void* je = dlopen("libjemalloc.so.2", RTLD_NOW | RTLD_LOCAL); je == nullptr)
      loaded.jemallocError = LoadError("libjemalloc.so.2");
    else if (!Bind(je, "mallocx", sJeMallocx) || !Bind(je, "dallocx", sJeDallocx) ||
             !Bind(je, "rallocx", sJeRallocx))
      loaded.jemallocError = "libjemalloc.so.2 lacks an entry point";
    loaded.mimalloc = {[](size_t size) { return sMiMalloc(size); },
                       [](void* block) { sMiFree(block); },
                       [](void* block, size_t size) { return sMiRealloc(block, size); }};
    loaded.jemalloc = {[](size_t size) { return sJeMallocx(size, 0); },
                       // dallocx, unlike free, does not take null.
                       [](void* block) {
                         if (block != nullptr) sJeDallocx(block, 0);
                       },
                       [](void* block, size_t size) { return sJeRallocx(block, size, 0); }};
    const std::string object = ProcessMallocObject();
    if (object.find("libc.so") == std::string::npos)
      loaded.processError = "process malloc no longer comes from the C library but from " + object;
    return loaded;
  }();
  return peers;
}

// --- Block allocator -------------------------------------------------------

VCppMemMgr* BlockManager() {
  static VCppMemMgr* manager = new VCppMemMgr(kAllocatorBlock);
  return manager;
}

const AllocatorApi kBlockManagerApi = {
    [](size_t size) { return BlockManager()->Malloc(size, false, kBenchTag); },
    [](void* block) { BlockManager()->Free(block); },
    [](void* block, size_t size) { return BlockManager()->Realloc(block, size); }};

// One arena without the manager and its lock: single thread only.
VMemCppImpl& DirectArena() {
  static VMemCppImpl* arena = [] {
    auto* made = new VMemCppImpl(0);
    made->SetAutoAllocationState(true);
    return made;
  }();
  return *arena;
}

const AllocatorApi kBlockArenaApi = {
    [](size_t size) { return DirectArena().Malloc(size, false, false, kBenchTag); },
    [](void* block) { DirectArena().Free(block); },
    [](void* block, size_t size) { return DirectArena().Realloc(block, size); }};

enum class Kind { kGlibc, kMimalloc, kJemalloc, kBlockManager, kBlockArena };

// The allocator of a kind, or null after SkipWithError.
const AllocatorApi* Resolve(Kind kind, benchmark::State& state) {
  const Peers& peers = LoadPeers();
  const std::string* error = &peers.processError;
  if (error->empty() && kind == Kind::kMimalloc) error = &peers.mimallocError;
  if (error->empty() && kind == Kind::kJemalloc) error = &peers.jemallocError;
  if (!error->empty()) {
    state.SkipWithError(error->c_str());
    return nullptr;
  }
  switch (kind) {
    case Kind::kGlibc:
      return &kGlibcApi;
    case Kind::kMimalloc:
      return &peers.mimalloc;
    case Kind::kJemalloc:
      return &peers.jemalloc;
    case Kind::kBlockManager:
      return &kBlockManagerApi;
    case Kind::kBlockArena:
      return &kBlockArenaApi;
  }
  return nullptr;
}

// --- Workloads -------------------------------------------------------------

// Sizes spread evenly over the powers of two between `low` and `high`.
size_t LogUniform(std::mt19937_64& random, size_t low, size_t high) {
  std::uniform_real_distribution<double> exponent(std::log2(double(low)), std::log2(double(high)));
  return size_t(std::exp2(exponent(random)));
}

enum class Mix { kSmall, kBig, kMixed };

size_t PickSize(std::mt19937_64& random, Mix mix) {
  switch (mix) {
    case Mix::kSmall:
      return LogUniform(random, 16, 8192);
    case Mix::kBig:
      return LogUniform(random, 16384, 1 << 20);
    case Mix::kMixed:
      return random() % 10 == 0 ? LogUniform(random, 8192, 1 << 20) : LogUniform(random, 16, 8192);
  }
  return 16;
}

// A pool of live blocks; each step frees one random block and allocates
// another of a random size in its place, writing its first byte.
void Churn(benchmark::State& state, Kind kind, Mix mix, size_t live) {
  const AllocatorApi* api = Resolve(kind, state);
  if (api == nullptr) return;
  constexpr size_t kSteps = 8192;
  std::mt19937_64 random(1234 + uint64(state.thread_index()));
  std::vector<size_t> sizes(kSteps);
  std::vector<size_t> slots(kSteps);
  for (size_t i = 0; i < kSteps; ++i) {
    sizes[i] = PickSize(random, mix);
    slots[i] = random() % live;
  }
  std::vector<void*> blocks(live);
  for (size_t i = 0; i < live; ++i) blocks[i] = api->allocate(sizes[i % kSteps]);

  size_t step = 0;
  for (auto _ : state) {
    void*& block = blocks[slots[step]];
    api->release(block);
    void* made = api->allocate(sizes[step]);
    *static_cast<char*>(made) = 1;
    benchmark::DoNotOptimize(made);  // a local: see MemoryManagerBench
    block = made;
    step = (step + 1) % kSteps;
  }
  for (void* block : blocks) api->release(block);
  state.SetItemsProcessed(state.iterations());
}

// A block grown by half again from 16 bytes to 1 MB, touching its new end
// each time, then freed. `anchored` keeps one small block live throughout,
// as a running program would: otherwise each round empties the heap, and the
// block allocator gives its region back to the system and faults it in anew.
void ReallocGrowth(benchmark::State& state, Kind kind, bool anchored) {
  const AllocatorApi* api = Resolve(kind, state);
  if (api == nullptr) return;
  void* anchor = anchored ? api->allocate(64) : nullptr;
  int64 reallocs = 0;
  for (auto _ : state) {
    size_t size = 16;
    auto* block = static_cast<char*>(api->allocate(size));
    block[0] = 1;
    while (size < (1 << 20)) {
      size += size / 2;
      block = static_cast<char*>(api->reallocate(block, size));
      block[size - 1] = 1;
      ++reallocs;
    }
    benchmark::DoNotOptimize(block);
    api->release(block);
  }
  if (anchor != nullptr) api->release(anchor);
  state.SetItemsProcessed(reallocs);
}

size_t ResidentBytes() {
  long pages = 0;
  long resident = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(statm);
  return size_t(resident) * size_t(sysconf(_SC_PAGESIZE));
}

// Resident memory after a random trace of mixed allocations and frees that
// ends with about half the pool live.
struct FragmentationFigures {
  double liveMB = 0;
  double rssGrowthMB = 0;
  double overhead = 0;
  double seconds = 0;
};

FragmentationFigures FragmentationTrace(const AllocatorApi& api) {
  constexpr size_t kLive = 20000;
  constexpr size_t kSteps = 2000000;
  const auto start = std::chrono::steady_clock::now();
  const size_t before = ResidentBytes();
  std::mt19937_64 random(99);
  std::vector<void*> blocks(kLive);
  std::vector<size_t> sizes(kLive);
  size_t liveBytes = 0;
  for (size_t step = 0; step < kSteps; ++step) {
    const size_t slot = random() % kLive;
    if (blocks[slot] != nullptr) {
      api.release(blocks[slot]);
      liveBytes -= sizes[slot];
      blocks[slot] = nullptr;
    }
    // Free more than allocate in the last quarter: the pool thins out.
    if (step > kSteps * 3 / 4 && random() % 3 == 0) continue;
    sizes[slot] = PickSize(random, Mix::kMixed);
    blocks[slot] = api.allocate(sizes[slot]);
    // Touch every page of the block so that it counts as resident.
    auto* bytes = static_cast<char*>(blocks[slot]);
    for (size_t at = 0; at < sizes[slot]; at += 4096) bytes[at] = 1;
    bytes[sizes[slot] - 1] = 1;
    liveBytes += sizes[slot];
  }
  FragmentationFigures figures;
  const size_t after = ResidentBytes();
  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.liveMB = double(liveBytes) / 1048576.0;
  figures.rssGrowthMB = double(after - before) / 1048576.0;
  figures.overhead = double(after - before) / double(liveBytes);
  for (void* block : blocks) api.release(block);
  return figures;
}

// Set in the process that runs one trace for its parent: the descriptor
// that takes the figures.
constexpr const char* kResultDescriptor = "ZEFT_BENCH_FRAGMENTATION_FD";

// Runs the trace of one allocator in a process of its own, so that no memory
// that another allocator (or another benchmark) retains disturbs the figures.
bool FragmentationInChild(const std::string& name, FragmentationFigures& figures,
                          std::string& error) {
  int pipe[2];
  if (pipe2(pipe, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  // The child inherits the write end only.
  fcntl(pipe[1], F_SETFD, 0);
  std::string filter = "--benchmark_filter=^BM_Fragmentation/" + name + "/";
  std::string descriptor = std::string(kResultDescriptor) + "=" + std::to_string(pipe[1]);
  std::vector<char*> environment;
  for (char** variable = environ; *variable != nullptr; ++variable)
    environment.push_back(*variable);
  environment.push_back(descriptor.data());
  environment.push_back(nullptr);
  char program[] = "/proc/self/exe";
  char* arguments[] = {program, filter.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int spawned =
      posix_spawn(&child, program, &actions, nullptr, arguments, environment.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipe[1]);
  std::string report;
  char chunk[256];
  for (ssize_t got; (got = read(pipe[0], chunk, sizeof(chunk))) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    report.append(chunk, size_t(got));
  }
  close(pipe[0]);
  if (spawned != 0) {
    error = std::string("cannot start the trace's process: ") + std::strerror(spawned);
    return false;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (std::sscanf(report.c_str(), "figures %lf %lf %lf %lf", &figures.liveMB, &figures.rssGrowthMB,
                  &figures.overhead, &figures.seconds) == 4) {
    return true;
  }
  error = report.empty() ? "the trace's process reported nothing" : report;
  return false;
}

void Fragmentation(benchmark::State& state, Kind kind, const std::string& name) {
  if (const char* descriptor = std::getenv(kResultDescriptor)) {
    // The child: one trace, its figures (or why it could not run) to the parent.
    const AllocatorApi* api = Resolve(kind, state);
    std::string report = "cannot run the trace";
    if (api != nullptr) {
      for (auto _ : state) {
        const FragmentationFigures figures = FragmentationTrace(*api);
        char line[160];
        std::snprintf(line, sizeof(line), "figures %f %f %f %f\n", figures.liveMB,
                      figures.rssGrowthMB, figures.overhead, figures.seconds);
        report = line;
      }
    } else {
      report = LoadPeers().processError + LoadPeers().mimallocError + LoadPeers().jemallocError;
    }
    const int fd = std::atoi(descriptor);
    if (write(fd, report.data(), report.size()) < 0) std::perror("fragmentation figures");
    return;
  }
  for (auto _ : state) {
    FragmentationFigures figures;
    std::string error;
    if (!FragmentationInChild(name, figures, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    state.SetIterationTime(figures.seconds);
    state.counters["live_MB"] = figures.liveMB;
    state.counters["rss_growth_MB"] = figures.rssGrowthMB;
    state.counters["overhead"] = figures.overhead;
  }
}

// --- Registration ------------------------------------------------------------

struct Named {
  const char* name;
  Kind kind;
  bool threadSafe;
};

const Named kAllocators[] = {{"glibc", Kind::kGlibc, true},
                             {"mimalloc", Kind::kMimalloc, true},
                             {"jemalloc", Kind::kJemalloc, true},
                             {"block_manager", Kind::kBlockManager, true},
                             {"block_arena", Kind::kBlockArena, false}};

int RegisterAll() {
  struct Workload {
    const char* name;
    Mix mix;
    size_t live;
  };
  const Workload workloads[] = {{"SmallChurn", Mix::kSmall, 1024},
                                {"BigBlocks", Mix::kBig, 64},
                                {"MixedSizes", Mix::kMixed, 1024}};
  for (const Workload& workload : workloads) {
    for (const Named& allocator : kAllocators) {
      auto* bench = benchmark::RegisterBenchmark(
          (std::string("BM_") + workload.name + "/" + allocator.name).c_str(),
          [workload, allocator](benchmark::State& state) {
            Churn(state, allocator.kind, workload.mix, workload.live);
          });
      bench->UseRealTime();
      if (allocator.threadSafe) bench->ThreadRange(1, 8);
    }
  }
  for (const Named& allocator : kAllocators) {
    for (bool anchored : {true, false}) {
      const std::string name =
          std::string(anchored ? "BM_ReallocGrowth/" : "BM_ReallocGrowthEmptyHeap/") +
          allocator.name;
      benchmark::RegisterBenchmark(name.c_str(), [allocator, anchored](benchmark::State& state) {
        ReallocGrowth(state, allocator.kind, anchored);
      });
    }
    benchmark::RegisterBenchmark((std::string("BM_Fragmentation/") + allocator.name).c_str(),
                                 [allocator](benchmark::State& state) {
                                   Fragmentation(state, allocator.kind, allocator.name);
                                 })
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  return 0;
}

const int sRegistered = RegisterAll();

}  // namespace
}  // namespace zeft
