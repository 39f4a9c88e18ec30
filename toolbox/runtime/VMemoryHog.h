// VMemoryHog marks a task that holds a large amount of memory it could give
// back: the memory manager keeps a list of them, each with a lock that the
// hog's owner takes while it uses the memory.
#pragma once

#include "core/VTypes.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

class VMemoryHog {
 public:
  explicit VMemoryHog(int32 taskID) : fTaskID(taskID) {}

  VMemoryHog(const VMemoryHog&) = delete;
  VMemoryHog& operator=(const VMemoryHog&) = delete;

  VCriticalSection& GetLock() { return fLock; }
  // The task that registered the hog.
  int32 GetTaskID() const { return fTaskID; }

 private:
  VCriticalSection fLock;
  const int32 fTaskID;
};

}  // namespace zeft
