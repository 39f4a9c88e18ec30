// VJSONComparedPairs records the pairs of containers whose deep comparison
// is under way. A comparison that comes back to a pair it is already
// comparing, through a cycle on both sides, takes that pair as equal instead
// of recursing without end: any difference between the two is found on the
// rest of the way.
#pragma once

#include <cstddef>
#include <functional>
#include <unordered_set>
#include <utility>
#include <vector>

namespace zeft {

class VJSONComparedPairs {
 public:
  // False when the pair is already under comparison; otherwise records it
  // until the matching Leave.
  bool Enter(const void* mine, const void* theirs);
  void Leave();

 private:
  using Pair = std::pair<const void*, const void*>;
  struct PairHash {
    size_t operator()(const Pair& pair) const {
      const size_t first = std::hash<const void*>()(pair.first);
      return first ^ (std::hash<const void*>()(pair.second) + 0x9e3779b97f4a7c15ULL + (first << 6) +
                      (first >> 2));
    }
  };

  // Paths this deep and shallower are searched by a scan; deeper ones are
  // also kept in a hash set.
  static constexpr size_t kScannedDepth = 32;

  std::vector<Pair> fPath;
  std::unordered_set<Pair, PairHash> fDeepPairs;
};

// Opens one pair for a scope; Entered() is false when the pair was already
// under comparison.
class StJSONComparedPair {
 public:
  StJSONComparedPair(VJSONComparedPairs& pairs, const void* mine, const void* theirs)
      : fPairs(pairs), fEntered(pairs.Enter(mine, theirs)) {}
  ~StJSONComparedPair() {
    if (fEntered) fPairs.Leave();
  }
  StJSONComparedPair(const StJSONComparedPair&) = delete;
  StJSONComparedPair& operator=(const StJSONComparedPair&) = delete;
  bool Entered() const { return fEntered; }

 private:
  VJSONComparedPairs& fPairs;
  bool fEntered;
};

}  // namespace zeft
