// The cost of the error machinery on the paths every block pays: a scoped
// error context that raises nothing, and raising an error with three text
// parameters (record, parameter bag, push, release). A C++ exception
// carrying the same three texts is the peer.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>

#include "core/VString.h"
#include "process/VProcess.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTaskMgr.h"

namespace zeft {
namespace {

// The main thread as the main task, and an application object so that
// errors are recorded.
void EnsureProcess() {
  static const bool inited = VTaskMgr::Init(nullptr);
  // Never started, so made the instance here rather than by Init.
  static VProcess* process = VProcess::sInstance != nullptr ? VProcess::sInstance : new VProcess;
  VProcess::sInstance = process;
  (void)inited;
}

void BM_ErrorContext_OpenAndCloseEmpty(benchmark::State& state) {
  EnsureProcess();
  for (auto _ : state) {
    StErrorContextInstaller context(true, false);
    benchmark::DoNotOptimize(context.GetContext());
  }
}
BENCHMARK(BM_ErrorContext_OpenAndCloseEmpty);

void BM_ThrowError_ThreeParameters(benchmark::State& state) {
  EnsureProcess();
  const VString p1("/Applications/Sample.app");
  const VString p2("/Applications/Sample 2.app");
  const VString p3("rename");
  StErrorContextInstaller context(false, false);
  for (auto _ : state) {
    _ThrowError(ToolboxError(601), &p1, &p2, &p3);
    context.Flush();  // releases the record, as the end of a block would
  }
}
BENCHMARK(BM_ThrowError_ThreeParameters);

// Peer: a standard exception with the same three texts, thrown and caught.
void BM_CxxException_ThreeParameters(benchmark::State& state) {
  const std::string p1("/Applications/Sample.app");
  const std::string p2("/Applications/Sample 2.app");
  const std::string p3("rename");
  for (auto _ : state) {
    try {
      throw std::runtime_error(p1 + '\n' + p2 + '\n' + p3);
    } catch (const std::runtime_error& error) {
      benchmark::DoNotOptimize(error.what());
    }
  }
}
BENCHMARK(BM_CxxException_ThreeParameters);

}  // namespace
}  // namespace zeft
