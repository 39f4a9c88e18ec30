// StFailingAllocation makes one plain `new` of the calling thread throw
// std::bad_alloc while it lives: the nth allocation after its construction.
// It works through the replacement of the global operator new in
// StFailingAllocation.cpp, which otherwise forwards to malloc: only the suites
// that list that source get it.
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
  // The allocations made since construction, the failing one included; with
  // an `nth` out of reach, what an operation allocates when nothing fails.
  int Made() const;

 private:
  int fNth;
};

}  // namespace zeft::test
