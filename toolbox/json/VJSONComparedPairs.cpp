#include "json/VJSONComparedPairs.h"

#include <algorithm>

namespace zeft {

bool VJSONComparedPairs::Enter(const void* mine, const void* theirs) {
  const Pair pair(mine, theirs);
  if (fPath.size() <= kScannedDepth) {
    if (std::find(fPath.begin(), fPath.end(), pair) != fPath.end()) return false;
  } else if (fDeepPairs.count(pair) != 0) {
    return false;
  }
  fPath.push_back(pair);
  if (fPath.size() > kScannedDepth) {
    // The set holds the whole path once it is deep.
    if (fDeepPairs.empty()) fDeepPairs.insert(fPath.begin(), fPath.end() - 1);
    fDeepPairs.insert(pair);
  }
  return true;
}

void VJSONComparedPairs::Leave() {
  if (fPath.size() > kScannedDepth) fDeepPairs.erase(fPath.back());
  fPath.pop_back();
  if (fPath.size() <= kScannedDepth && !fDeepPairs.empty()) fDeepPairs.clear();
}

}  // namespace zeft
