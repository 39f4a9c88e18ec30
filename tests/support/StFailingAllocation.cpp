#include "support/StFailingAllocation.h"

#include <cstdlib>
#include <new>

namespace {

// Allocations left before the failing one (0: none is armed), and whether
// it happened. Per thread, so that other tasks are never affected.
thread_local int tCountdown = 0;
thread_local bool tFailed = false;

void* Allocate(std::size_t size) {
  if (tCountdown > 0 && --tCountdown == 0) {
    tFailed = true;
    throw std::bad_alloc();
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* AllocateOrNull(std::size_t size) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

// Every plain form is replaced, so that the sanitizers see matching malloc
// and free on each block.
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

namespace zeft::test {

StFailingAllocation::StFailingAllocation(int nth) : fNth(nth) {
  tCountdown = nth;
  tFailed = false;
}

StFailingAllocation::~StFailingAllocation() { tCountdown = 0; }

bool StFailingAllocation::Failed() const { return tFailed; }

int StFailingAllocation::Made() const { return tFailed ? fNth : fNth - tCountdown; }

}  // namespace zeft::test
