// _VHashKeyMap is the hash index of a packed dictionary: one 32-bit slot
// index per bucket, filled by linear probing. It only tells a lookup where
// to start scanning; an empty home bucket proves that a key is absent.
#pragma once

#include <cstddef>
#include <vector>

#include "core/VErrorCodes.h"
#include "core/VTypes.h"

namespace zeft {

class VStream;

class _VHashKeyMap {
 public:
  static constexpr uint32 kEmptyBucket = 0xFFFFFFFF;

  // Bucket count for a dictionary of `slotCount` slots.
  static size_t _ComputeHashVectorSize(size_t slotCount);

  bool IsEmpty() const { return fBuckets.empty(); }
  size_t GetBucketCount() const { return fBuckets.size(); }
  uint32 GetBucket(size_t index) const { return fBuckets[index]; }
  // The bucket a hash starts probing at; the map must not be empty.
  uint32 GetHomeBucket(uint32 hash) const { return fBuckets[hash % fBuckets.size()]; }

  // All buckets empty, sized for `slotCount` slots; false (and no index)
  // when memory runs out.
  bool Rebuild(size_t slotCount);
  // Enters a slot at the first free bucket from its home; false when every
  // bucket is taken.
  bool Put(uint32 hash, uint32 slotIndex);
  void Clear() { std::vector<uint32>().swap(fBuckets); }

  // Stored form: bucket count, then the buckets, 32-bit each. Reading
  // grows as buckets arrive (a stored count alone never reserves memory)
  // and refuses a bucket that names no slot below `slotCount`; on failure
  // the map is left empty.
  VError Rebuild(VStream* stream, size_t slotCount);
  VError WriteToStream(VStream* stream) const;

 private:
  std::vector<uint32> fBuckets;
};

}  // namespace zeft
