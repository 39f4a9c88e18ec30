#include "core/VMemCppImpl_stdlib.h"

#include <malloc.h>

#include <cstdlib>

namespace zeft {

void VMemCppImpl_stdlib::Init(VCppMemMgr*) {}

void* VMemCppImpl_stdlib::Malloc(size_t size, bool, bool, int32) { return std::malloc(size); }

void VMemCppImpl_stdlib::Free(void* block) { std::free(block); }

void* VMemCppImpl_stdlib::Realloc(void* block, size_t size) { return std::realloc(block, size); }

size_t VMemCppImpl_stdlib::GetPtrSize(const void* block) {
  return block == nullptr ? 0 : malloc_usable_size(const_cast<void*>(block));
}

bool VMemCppImpl_stdlib::CheckPtr(const void*) { return true; }

bool VMemCppImpl_stdlib::Check(void*) { return true; }

bool VMemCppImpl_stdlib::AddAllocation(size_t, const void*, bool) { return false; }

int32 VMemCppImpl_stdlib::CountAllocations() { return 1; }

void VMemCppImpl_stdlib::SetAutoAllocationState(bool) {}

void VMemCppImpl_stdlib::GetStats(VMemStats&, int16) {}

uint64 VMemCppImpl_stdlib::GetTotalAllocation() const { return kReportedTotal; }

void VMemCppImpl_stdlib::GetMemUsageInfo(size_t& total, size_t& used) {
  total = kReportedTotal;
  used = 0;
}

}  // namespace zeft
