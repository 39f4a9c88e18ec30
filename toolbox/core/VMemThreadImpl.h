// VMemThreadImpl is the small-block allocator of one arena: for each size
// step a list of pages that still have room. Pages are big blocks of the
// arena; a page leaves its list when full and is freed when emptied.
#pragma once

#include <cstddef>

#include "core/VTypes.h"

namespace zeft {

class VMemCppImpl;
class VPageAllocationImpl;
struct VMemImplSmallBlock;

class VMemThreadImpl {
 public:
  static constexpr int32 kListCount = 132;
  // Largest small block, header included.
  static constexpr size_t kMaxBlockSize = 8448;

  explicit VMemThreadImpl(VMemCppImpl* arena) : fArena(arena) {}

  // A block of at least `blockSize` bytes (the request plus the 8-byte
  // header, at most kMaxBlockSize); null when no page can be had.
  void* Malloc(size_t blockSize, bool objectFlag, int32 tag);
  // Frees a block of one of this allocator's pages.
  void Free(VMemImplSmallBlock* block);

  // List index of a block size and its rounding step (16, 64 or 256).
  static int32 GetStepFromSize(size_t blockSize, int32* step);
  // Block size rounded up to its step.
  static size_t RoundBlockSize(size_t blockSize);
  // Page size (the data of an 8, 16, 64 or 128 KB big block) for a rounded
  // block size.
  static size_t GetPageSize(size_t roundedBlockSize);

  void MarkPageAsFull(VPageAllocationImpl* page);
  void MarkPageAsNotFull(VPageAllocationImpl* page);
  void RemovePage(VPageAllocationImpl* page);

  // Checks every listed page and the list links.
  bool Check() const;

  VMemCppImpl* GetArena() const { return fArena; }

 private:
  VMemCppImpl* fArena;
  VPageAllocationImpl* fPages[kListCount] = {};
};

}  // namespace zeft
