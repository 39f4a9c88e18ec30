// A component library for the library and component tests: types 'TSTA'
// (version 3, requires 'TSTB' at version 5 or more) and 'TSTB' (version 7,
// no requirements). It takes the memory manager from the program that
// loads it. Built without ZEFT_WITH_CREATE_COMPONENT it lacks
// "CreateComponent".
#include "TestComponent.h"

using zeft::CComponent;
using zeft::int32;
using zeft::uint32;

namespace {

constexpr uint32 kTypeA = 0x54535441;  // 'TSTA'
constexpr uint32 kTypeB = 0x54535442;  // 'TSTB'

int gMainRegistered = 0;
int gMainLeaving = 0;

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
  if (type == kTypeA) return new zeft::test::TestComponent(type, family, 3, {{kTypeB, 5}});
  return new zeft::test::TestComponent(type, family, 7, {});
}
#endif

// How often "Main" heard of a registration and of a departure.
__attribute__((visibility("default"))) int MainCalls(int leaving) {
  return leaving != 0 ? gMainLeaving : gMainRegistered;
}

}  // extern "C"
