#include "core/VMemory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/VCppMemMgr.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"

namespace zeft {
namespace {

int32 Tag(const char (&text)[5]) { return int32(FourCC(text)); }

TEST(VMemory, NewPtrAndDispose) {
  auto* block = static_cast<char*>(VMemory::NewPtr(300, Tag("test")));
  ASSERT_NE(block, nullptr);
  EXPECT_GE(VObject::sCppMemMgr->GetPtrSize(block), 300u);
  std::memset(block, 1, 300);
  VMemory::DisposePtr(block);
  VMemory::DisposePtr(nullptr);
}

TEST(VMemory, NewPtrClearZeroFillsEvenARecycledBlock) {
  for (size_t size : {size_t(24), size_t(5000), size_t(70000)}) {
    void* dirty = VMemory::NewPtr(size, Tag("test"));
    ASSERT_NE(dirty, nullptr);
    std::memset(dirty, 0xEE, size);
    VMemory::DisposePtr(dirty);
    auto* clear = static_cast<unsigned char*>(VMemory::NewPtrClear(size, Tag("test")));
    ASSERT_NE(clear, nullptr);
    for (size_t i = 0; i < size; ++i) ASSERT_EQ(clear[i], 0) << size << " at " << i;
    VMemory::DisposePtr(clear);
  }
}

TEST(VMemory, SetPtrSizeMovesContentFreesAtZeroAndAllocatesFromNull) {
  auto* block = static_cast<char*>(VMemory::SetPtrSize(nullptr, 10));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "123456789", 10);
  block = static_cast<char*>(VMemory::SetPtrSize(block, 100000));
  ASSERT_NE(block, nullptr);
  EXPECT_STREQ(block, "123456789");
  block = static_cast<char*>(VMemory::SetPtrSize(block, 4));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::memcmp(block, "1234", 4), 0);
  EXPECT_EQ(VMemory::SetPtrSize(block, 0), nullptr);
}

TEST(VMemory, RequestsTheManagerCannotServeGiveNull) {
  // The system allocator would abort under the address sanitizer instead of
  // failing; the block allocator refuses such a size outright.
  if (VObject::sCppMemMgr->UsesSystemAllocator()) GTEST_SKIP() << "system allocator";
  size_t tooBig = size_t(VObject::sCppMemMgr->GetLargestBlockSize()) + 1;
  EXPECT_EQ(VMemory::NewPtr(tooBig, Tag("test")), nullptr);
  EXPECT_EQ(VMemory::NewPtrClear(tooBig, Tag("test")), nullptr);
  auto* block = static_cast<char*>(VMemory::NewPtr(8, Tag("test")));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "intact", 7);
  EXPECT_EQ(VMemory::SetPtrSize(block, tooBig), nullptr);
  EXPECT_STREQ(block, "intact");
  VMemory::DisposePtr(block);
}

}  // namespace
}  // namespace zeft
