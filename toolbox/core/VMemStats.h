// VMemStats is the statistics record of the process memory manager: counters
// and per-tag, per-class and per-size tables that the block allocator fills
// on request, and a text report of them.
#pragma once

#include <map>
#include <typeindex>
#include <vector>

#include "core/VErrorCodes.h"
#include "core/VTypes.h"

namespace zeft {

class VStream;

// Number and bytes of blocks of one kind (a class or a tag).
struct VMemStatObject {
  int32 fCount = 0;
  int64 fMem = 0;
};

// Used and free blocks of one size.
struct VMemStatUsedFree {
  int32 fUsed = 0;
  int32 fFree = 0;
};

// Full and partly used pages of one block size.
struct VMemStatFullPartial {
  int32 fFull = 0;
  int32 fPartial = 0;
};

// One entry of the block map: a region start (size kRegionMarker) or a free
// block, with the number of the arena that holds it.
struct VMemStatBlock {
  const void* fAddress = nullptr;
  uint64 fSize = 0;
  int32 fArena = 0;
};

class VMemStats {
 public:
  // Size recorded in the block map for the start of a region.
  static constexpr uint64 kRegionMarker = 65534;

  VMemStats() { Clear(); }

  // Zeroes the counters (the tables are left alone).
  void Clear();
  // Empties the tables and the block map.
  void ClearTables();

  // Writes the text report; returns the stream's first write error, VE_OK
  // when the whole report was written.
  VError DumpToStream(VStream* stream) const;
  // Debug output hook; this platform has none.
  void Dump() const {}

  // Counters.
  uint64 fFreeMem;
  uint64 fUsedMem;
  int32 fNbPages;
  int32 fNbObjects;
  int32 fNbSmallBlocks;
  int32 fNbFreeSmallBlocks;
  int32 fNbUsedSmallBlocks;
  int32 fNbBigBlocks;
  int32 fNbFreeBigBlocks;
  int32 fNbUsedBigBlocks;
  uint64 fBiggestBlock;
  uint64 fBiggestFreeBlock;

  // Tables.
  std::map<std::type_index, VMemStatObject> fObjectsByClass;
  std::map<uint32, VMemStatObject> fBlocksByTag;
  std::map<size_t, VMemStatUsedFree> fSmallBlocksBySize;
  std::map<size_t, VMemStatFullPartial> fAllocationPagesBySize;
  std::map<size_t, VMemStatUsedFree> fOtherBlocksBySize;
  std::vector<VMemStatBlock> fBlockMap;
};

}  // namespace zeft
