// VMemory is the front through which toolbox code asks for plain data
// blocks; every block comes from the process memory manager and carries a
// four-character tag.
#pragma once

#include <cstddef>

#include "core/VTypes.h"

namespace zeft {

class VMemory {
 public:
  VMemory() = delete;

  // A block of at least `size` bytes, or null.
  static void* NewPtr(size_t size, int32 tag);
  // The same, zero-filled.
  static void* NewPtrClear(size_t size, int32 tag);
  // Null is ignored.
  static void DisposePtr(void* block);
  // Resizes by moving the block: returns the new block, or null when `size`
  // is 0 (the block is freed) or on failure (the block is left intact).
  static void* SetPtrSize(void* block, size_t size);
};

}  // namespace zeft
