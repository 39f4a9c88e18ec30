// StBagStreamBudget counts the bags that one read of a bag stream may still
// make. An empty bag takes one byte of stream but a whole bag in memory, so
// what a stream makes is bounded by the bytes it holds, not only by the
// counts it announces: a few thousand bags, then one per 16 bytes.
#pragma once

#include "core/VTypes.h"

namespace zeft {

class VStream;

class StBagStreamBudget {
 public:
  // The budget of the bytes left in the stream.
  explicit StBagStreamBudget(VStream* stream);

  // False once the stream has paid for no more bags.
  bool TakeBag() { return fBagsLeft-- > 0; }

 private:
  int64 fBagsLeft;
};

}  // namespace zeft
