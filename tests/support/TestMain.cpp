#include <gtest/gtest.h>

#include "support/AllocatorFlag.h"
#include "support/RepeatCount.h"
#include "support/ToolboxTestEnvironment.h"

// Allocation-failure tests need malloc to answer null under the sanitizers
// instead of stopping the program.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
extern "C" const char* __tsan_default_options() { return "allocator_may_return_null=1"; }

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  zeft::test::ParseFullCountsFlag(argc, argv);
  const zeft::EAllocatorKind allocator =
      zeft::test::ParseAllocatorFlag(argc, argv, zeft::kAllocatorFromBundle);
  ::testing::AddGlobalTestEnvironment(new zeft::test::ToolboxTestEnvironment(allocator));
  return RUN_ALL_TESTS();
}
