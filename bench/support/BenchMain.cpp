// Benchmarks run with the process memory manager in place, as a program would.
// "--zeft-allocator=system|block|bundle" picks its back end (system when not
// given), as the tests' flag does.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/VCppMemMgr.h"
#include "core/VObject.h"
#include "support/AllocatorFlag.h"

namespace {

// The peer allocators loaded with dlopen use initial-exec thread-local
// storage, which a late load can only place in the static TLS surplus that
// this tunable enlarges. It is read when the process starts: the benchmark
// runs itself again with it set.
constexpr const char* kStaticTLSTunable = "glibc.rtld.optional_static_tls=16384";

void ReexecWithStaticTLSSurplus(char** argv) {
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  if (tunables != nullptr && std::strstr(tunables, "glibc.rtld.optional_static_tls") != nullptr)
    return;
  std::string value = kStaticTLSTunable;
  if (tunables != nullptr && *tunables != 0) value = std::string(tunables) + ":" + value;
  if (setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0) return;
  execv("/proc/self/exe", argv);
  // Without the re-run the peers that need it report why they cannot load.
  std::perror("cannot run the benchmark again with GLIBC_TUNABLES set");
}

}  // namespace

int main(int argc, char** argv) {
  ReexecWithStaticTLSSurplus(argv);
  const zeft::EAllocatorKind kind =
      zeft::test::ParseAllocatorFlag(argc, argv, zeft::kAllocatorSystem);
  if (zeft::VObject::sCppMemMgr == nullptr) zeft::VObject::sCppMemMgr = new zeft::VCppMemMgr(kind);
  benchmark::AddCustomContext(
      "zeft_allocator", zeft::VObject::sCppMemMgr->UsesSystemAllocator() ? "system" : "block");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
