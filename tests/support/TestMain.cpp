#include <gtest/gtest.h>

#include "support/ToolboxTestEnvironment.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  auto allocator = zeft::testing::ParseToolboxTestFlags(argc, argv);
  ::testing::AddGlobalTestEnvironment(new zeft::testing::ToolboxTestEnvironment(allocator));
  return RUN_ALL_TESTS();
}
