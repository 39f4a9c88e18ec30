// StFailingAllocation makes one plain `new` of the calling thread throw
// std::bad_alloc while it lives: the nth allocation after its construction.
// It works through the runtime suite's replacement of the global operator
// new (StFailingAllocation.cpp), which otherwise forwards to malloc.
#pragma once

namespace zeft::test {

class StFailingAllocation {
 public:
  // `nth` counts from 1 (the next allocation).
  explicit StFailingAllocation(int nth);
  ~StFailingAllocation();
  StFailingAllocation(const StFailingAllocation&) = delete;
  StFailingAllocation& operator=(const StFailingAllocation&) = delete;

  // Whether the allocation failed, that is, whether the code under test
  // made at least `nth` allocations.
  bool Failed() const;
};

}  // namespace zeft::test
