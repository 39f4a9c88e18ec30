#include "core/VMemory.h"

#include <cstring>

#include "core/VCppMemMgr.h"
#include "core/VObject.h"

namespace zeft {

void* VMemory::NewPtr(size_t size, int32 tag) {
  return VObject::sCppMemMgr->Malloc(size, false, tag, -1);
}

void* VMemory::NewPtrClear(size_t size, int32 tag) {
  void* block = VObject::sCppMemMgr->Malloc(size, false, tag, -1);
  if (block != nullptr) std::memset(block, 0, size);
  return block;
}

void VMemory::DisposePtr(void* block) {
  if (block != nullptr) VObject::sCppMemMgr->Free(block);
}

void* VMemory::SetPtrSize(void* block, size_t size) {
  return VObject::sCppMemMgr->Realloc(block, size);
}

}  // namespace zeft
