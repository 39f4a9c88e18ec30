// XMemCppImpl is the back-end interface of the process memory manager: one
// allocator arena. The manager owns either one system back end
// (VMemCppImpl_stdlib, over malloc) or several block-allocator arenas
// (VMemCppImpl) and forwards every request to it.
#pragma once

#include <cstddef>

#include "core/VTypes.h"

namespace zeft {

class VCppMemMgr;
class VMemStats;

class XMemCppImpl {
 public:
  virtual ~XMemCppImpl() = default;

  virtual void Init(VCppMemMgr* manager) = 0;
  // `forceBig` asks the block allocator for a big block whatever the size;
  // `objectFlag` marks a block that holds a toolbox object (statistics only).
  virtual void* Malloc(size_t size, bool forceBig, bool objectFlag, int32 tag) = 0;
  virtual void Free(void* block) = 0;
  virtual void* Realloc(void* block, size_t size) = 0;
  virtual size_t GetPtrSize(const void* block) = 0;
  virtual bool CheckPtr(const void* block) = 0;
  virtual bool Check(void* block) = 0;
  virtual bool AddAllocation(size_t size, const void* hint, bool physical) = 0;
  virtual int32 CountAllocations() = 0;
  virtual void SetAutoAllocationState(bool on) = 0;
  virtual void GetStats(VMemStats& stats, int16 arena) = 0;
  virtual uint64 GetTotalAllocation() const = 0;
  virtual void GetMemUsageInfo(size_t& total, size_t& used) = 0;
};

}  // namespace zeft
