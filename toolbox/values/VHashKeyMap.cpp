#include "values/VHashKeyMap.h"

#include <algorithm>
#include <iterator>
#include <new>

#include "files/VStream.h"
#include "values/StreamFields.h"

namespace zeft {

namespace {

// (slot count bound, bucket count): the first row whose bound the slot
// count stays below gives the bucket count. The bucket counts are primes
// about 1.6 times the bound.
struct BucketRow {
  uint64 fBelow;
  uint64 fBuckets;
};

constexpr BucketRow kBucketRows[] = {
    {5, 5},
    {9, 11},
    {18, 23},
    {30, 41},
    {48, 67},
    {77, 113},
    {124, 199},
    {200, 317},
    {323, 521},
    {522, 839},
    {844, 1361},
    {1365, 2207},
    {2208, 3571},
    {3572, 5779},
    {5779, 9349},
    {9350, 15121},
    {15128, 24473},
    {24477, 39607},
    {39604, 64081},
    {64080, 103681},
    {103683, 167759},
    {167762, 271429},
    {271444, 439199},
    {439205, 710641},
    {710648, 1149857},
    {1149852, 1860503},
    {1860499, 3010349},
    {3010350, 4870843},
    {4870848, 7881193},
    {7881197, 12752029},
    {12752044, 20633237},
    {20633240, 33385273},
    {33385283, 54018521},
    {54018522, 87403763},
    {87403804, 141422317},
    {141422325, 228826121},
    {228826128, 370248451},
    {370248452, 599074561},
    {599074579, 969323023},
    {969323030, 1568397599},
    {1568397608, 2537720629},
    {2537720637, 4106118251},
};

// Buckets travel in pieces of this many: a stored count alone never
// reserves memory, and a piece's count fits the stream's 32-bit counts.
constexpr size_t kReadChunk = 16 * 1024;

}  // namespace

size_t _VHashKeyMap::_ComputeHashVectorSize(size_t slotCount) {
  for (const BucketRow& row : kBucketRows) {
    if (slotCount < row.fBelow) return size_t(row.fBuckets);
  }
  return size_t(std::prev(std::end(kBucketRows))->fBuckets);
}

bool _VHashKeyMap::Rebuild(size_t slotCount) {
  try {
    std::vector<uint32> buckets(_ComputeHashVectorSize(slotCount), kEmptyBucket);
    fBuckets.swap(buckets);
    return true;
  } catch (const std::bad_alloc&) {
    Clear();
    return false;
  }
}

bool _VHashKeyMap::Put(uint32 hash, uint32 slotIndex) {
  const size_t count = fBuckets.size();
  if (count == 0) return false;
  const size_t start = hash % count;
  size_t i = start;
  do {
    if (fBuckets[i] == kEmptyBucket) {
      fBuckets[i] = slotIndex;
      return true;
    }
    i = (i + 1 == count) ? 0 : i + 1;
  } while (i != start);
  return false;
}

VError _VHashKeyMap::Rebuild(VStream* stream, size_t slotCount) {
  Clear();
  uint32 bucketCount = 0;
  VError error = GetStreamUInt32(stream, bucketCount);
  if (error != VE_OK) return error;
  if (bucketCount == 0) return ToolboxError(toolbox_error::kBagStreamCorrupted);
  try {
    std::vector<uint32> buckets;
    while (buckets.size() < bucketCount) {
      const size_t old = buckets.size();
      const size_t piece = std::min<size_t>(kReadChunk, bucketCount - old);
      buckets.resize(old + piece);
      int32 got = int32(piece);
      error = stream->GetLongs(reinterpret_cast<int32*>(buckets.data() + old), &got);
      if (error == VE_OK && size_t(got) != piece) {
        error = ToolboxError(toolbox_error::kStreamEndOfData);
      }
      if (error != VE_OK) return error;
      for (size_t i = old; i < old + piece; ++i) {
        if (buckets[i] != kEmptyBucket && buckets[i] >= slotCount) {
          return ToolboxError(toolbox_error::kBagStreamCorrupted);
        }
      }
    }
    fBuckets.swap(buckets);
  } catch (const std::bad_alloc&) {
    return ToolboxError(toolbox_error::kMemoryFull);
  }
  return VE_OK;
}

VError _VHashKeyMap::WriteToStream(VStream* stream) const {
  PutStreamUInt32(stream, uint32(fBuckets.size()));
  for (size_t done = 0; done < fBuckets.size(); done += kReadChunk) {
    const size_t piece = std::min<size_t>(kReadChunk, fBuckets.size() - done);
    stream->PutLongs(reinterpret_cast<const int32*>(fBuckets.data() + done), int32(piece));
  }
  return stream->GetLastError();
}

}  // namespace zeft
