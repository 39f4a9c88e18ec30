// VMemImplSmallBlock is the 8-byte header of a small block inside a page of
// small blocks: the negated offset from the page start (which finds the page
// again), with the caller's object flag in bit 0, and the tag. Free blocks
// also link to the next free block of their page.
#pragma once

#include <cstddef>

#include "core/VTypes.h"

namespace zeft {

struct VMemImplSmallBlock {
  static constexpr size_t kHeaderSize = 8;

  // -(offset | object flag); always negative, which tells small blocks from
  // big ones (whose word at the same place is a non-negative size).
  int32 fOffsetWord;
  int32 fTag;
  VMemImplSmallBlock* fNextFree;

  size_t GetOffset() const { return size_t(-int64(fOffsetWord)) & ~size_t(1); }
  bool IsObject() const { return ((-int64(fOffsetWord)) & 1) != 0; }
  void SetOffset(size_t offset, bool objectFlag) {
    fOffsetWord = -int32(offset + (objectFlag ? 1 : 0));
  }

  char* GetData() { return reinterpret_cast<char*>(this) + kHeaderSize; }
  static VMemImplSmallBlock* FromData(const void* data) {
    return reinterpret_cast<VMemImplSmallBlock*>(const_cast<char*>(static_cast<const char*>(data)) -
                                                 kHeaderSize);
  }
};

static_assert(offsetof(VMemImplSmallBlock, fTag) == 4);
static_assert(offsetof(VMemImplSmallBlock, fNextFree) == 8);

}  // namespace zeft
