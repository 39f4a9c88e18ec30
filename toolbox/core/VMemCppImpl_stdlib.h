// VMemCppImpl_stdlib is the system back end of the process memory manager:
// every request goes straight to malloc and its family.
#pragma once

#include "core/XMemCppImpl.h"

namespace zeft {

class VMemCppImpl_stdlib : public XMemCppImpl {
 public:
  // Fixed figure reported as the total allocation: the system allocator
  // keeps its own books.
  static constexpr uint64 kReportedTotal = 0x100000;

  void Init(VCppMemMgr* manager) override;
  void* Malloc(size_t size, bool forceBig, bool objectFlag, int32 tag) override;
  void Free(void* block) override;
  void* Realloc(void* block, size_t size) override;
  size_t GetPtrSize(const void* block) override;
  bool CheckPtr(const void* block) override;
  bool Check(void* block) override;
  bool AddAllocation(size_t size, const void* hint, bool physical) override;
  int32 CountAllocations() override;
  void SetAutoAllocationState(bool on) override;
  void GetStats(VMemStats& stats, int16 arena) override;
  uint64 GetTotalAllocation() const override;
  void GetMemUsageInfo(size_t& total, size_t& used) override;
};

}  // namespace zeft
