// The component of the component tests and of the test component library:
// a type, a family, a version and the (type, minimum version) pairs it
// requires, with a requirements block from the program's memory manager.
#pragma once

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

#include "core/VMemory.h"
#include "process/CComponent.h"

namespace zeft::test {

class TestComponent : public CComponent {
 public:
  TestComponent(CType type, CType family, uint32 version,
                std::vector<std::pair<CType, uint32>> required)
      : fType(type), fFamily(family), fVersion(version), fRequires(std::move(required)) {}
  int32 Retain(const char*) override { return ++fCount; }
  int32 Release(const char*) override {
    const int32 count = --fCount;
    if (count == 0) delete this;
    return count;
  }
  uint32* GetRequirements() override {
    // Blocks are at least 13 words long.
    const size_t words = std::max<size_t>(13, 11 + 2 * fRequires.size());
    auto* block = static_cast<uint32*>(VMemory::NewPtrClear(words * sizeof(uint32), 0));
    block[0] = 0x00010000;
    block[1] = uint32(words * sizeof(uint32));
    block[5] = fVersion;
    block[10] = uint32(fRequires.size());
    for (size_t i = 0; i < fRequires.size(); ++i) {
      block[11 + 2 * i] = fRequires[i].first;
      block[12 + 2 * i] = fRequires[i].second;
    }
    return block;
  }
  CType GetComponentType() override { return fType; }
  CType GetComponentFamily() override { return fFamily; }
  int32 GetCount() const { return fCount.load(); }

 private:
  CType fType;
  CType fFamily;
  uint32 fVersion;
  std::vector<std::pair<CType, uint32>> fRequires;
  std::atomic<int32> fCount{1};
};

}  // namespace zeft::test
