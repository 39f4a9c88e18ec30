// A component library for the library and component tests: types 'TSTA'
// (version 3, requires 'TSTB' at version 5 or more) and 'TSTB' (version 7,
// no requirements). It takes the memory manager from the program that
// loads it. Built without ZEFT_WITH_CREATE_COMPONENT it lacks
// "CreateComponent".
#include "core/VMemory.h"
#include "process/CComponent.h"

using zeft::CComponent;
using zeft::int32;
using zeft::uint32;

namespace {

constexpr uint32 kTypeA = 0x54535441;  // 'TSTA'
constexpr uint32 kTypeB = 0x54535442;  // 'TSTB'

int gMainRegistered = 0;
int gMainLeaving = 0;

class LibraryComponent : public CComponent {
 public:
  LibraryComponent(CType type, CType family) : fType(type), fFamily(family) {}
  int32 Retain(const char*) override { return ++fCount; }
  int32 Release(const char*) override {
    const int32 count = --fCount;
    if (count == 0) delete this;
    return count;
  }
  uint32* GetRequirements() override {
    // From the program's memory manager (the test program exports it),
    // which the component manager frees it to.
    auto* block = static_cast<uint32*>(zeft::VMemory::NewPtrClear(13 * sizeof(uint32), 0));
    block[0] = 0x00010000;
    block[1] = 13 * sizeof(uint32);
    block[5] = fType == kTypeA ? 3 : 7;
    if (fType == kTypeA) {
      block[10] = 1;
      block[11] = kTypeB;
      block[12] = 5;
    }
    return block;
  }
  CType GetComponentType() override { return fType; }
  CType GetComponentFamily() override { return fFamily; }

 private:
  CType fType;
  CType fFamily;
  int32 fCount = 1;
};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void Main(uint32 message, void*) {
  if (message == 0x72656773) ++gMainRegistered;
  if (message == 0x6c656176) ++gMainLeaving;
}

__attribute__((visibility("default"))) int32 GetNthComponentType(int32 index, uint32* type) {
  if (index == 1) *type = kTypeA;
  if (index == 2) *type = kTypeB;
  return index == 1 || index == 2 ? 1 : 0;
}

#ifdef ZEFT_WITH_CREATE_COMPONENT
__attribute__((visibility("default"))) CComponent* CreateComponent(uint32 type, uint32 family) {
  if (type != kTypeA && type != kTypeB) return nullptr;
  return new LibraryComponent(type, family);
}
#endif

// How often "Main" heard of a registration and of a departure.
__attribute__((visibility("default"))) int MainCalls(int leaving) {
  return leaving != 0 ? gMainLeaving : gMainRegistered;
}

}  // extern "C"
