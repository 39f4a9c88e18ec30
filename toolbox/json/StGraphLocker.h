// StGraphLocker holds the process-wide graph lock, the one lock taken before
// any storage locker's when the JSON model changes the reference graph
// between shared containers. StJSONLocks takes the graph lock and then one
// storage locker's critical section, each only when asked.
#pragma once

#include "runtime/VCriticalSection.h"

namespace zeft {

class VStorageLocker;

class StGraphLocker {
 public:
  explicit StGraphLocker(bool lock = true) : fLocked(lock) {
    if (fLocked) sMutex.Lock();
  }
  ~StGraphLocker() {
    if (fLocked) sMutex.Unlock();
  }
  StGraphLocker(const StGraphLocker&) = delete;
  StGraphLocker& operator=(const StGraphLocker&) = delete;

  static VCriticalSection sMutex;

 private:
  bool fLocked;
};

class StJSONLocks {
 public:
  StJSONLocks(bool graph, VStorageLocker* locker);
  ~StJSONLocks();
  StJSONLocks(const StJSONLocks&) = delete;
  StJSONLocks& operator=(const StJSONLocks&) = delete;

 private:
  bool fGraph;
  VStorageLocker* fLocker;
};

}  // namespace zeft
