#include "support/ToolboxTestEnvironment.h"

#include <cstring>
#include <string_view>

#include "core/VCppMemMgr.h"
#include "core/VObject.h"
#include "runtime/VTaskMgr.h"

namespace zeft::testing {

TestAllocator ToolboxTestEnvironment::sAllocator = TestAllocator::kFromBundle;

void ToolboxTestEnvironment::SetUp() {
  sAllocator = fAllocator;
  if (VObject::sCppMemMgr == nullptr) {
    EAllocatorKind kind = kAllocatorFromBundle;
    if (fAllocator == TestAllocator::kSystem) kind = kAllocatorSystem;
    if (fAllocator == TestAllocator::kBlock) kind = kAllocatorBlock;
    VObject::sCppMemMgr = new VCppMemMgr(kind);
  }
  // The thread running the tests becomes the main task, as in a program.
  if (!VTaskMgr::IsInited()) VTaskMgr::Init(nullptr);
}

void ToolboxTestEnvironment::TearDown() {
  // Joins the threads of tasks that died since the last purge.
  VTaskMgr::DeInit();
}

TestAllocator ParseToolboxTestFlags(int& argc, char** argv) {
  constexpr std::string_view kFlag = "--zeft-allocator=";
  TestAllocator allocator = TestAllocator::kFromBundle;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg(argv[i]);
    if (arg.substr(0, kFlag.size()) == kFlag) {
      std::string_view value = arg.substr(kFlag.size());
      if (value == "system") allocator = TestAllocator::kSystem;
      else if (value == "block") allocator = TestAllocator::kBlock;
      else allocator = TestAllocator::kFromBundle;
      continue;
    }
    argv[kept++] = argv[i];
  }
  argc = kept;
  argv[argc] = nullptr;
  return allocator;
}

}  // namespace zeft::testing
