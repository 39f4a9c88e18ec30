#include <gtest/gtest.h>

#include "support/ToolboxTestEnvironment.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  auto allocator = zeft::test::ParseToolboxTestFlags(argc, argv);
  ::testing::AddGlobalTestEnvironment(new zeft::test::ToolboxTestEnvironment(allocator));
  return RUN_ALL_TESTS();
}
