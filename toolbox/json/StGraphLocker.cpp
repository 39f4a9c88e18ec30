#include "json/StGraphLocker.h"

#include "json/VStorageLocker.h"

namespace zeft {

StJSONLocks::StJSONLocks(bool graph, VStorageLocker* locker) : fGraph(graph), fLocker(locker) {
  if (fGraph) StGraphLocker::sMutex.Lock();
  if (fLocker != nullptr) fLocker->GetLock().Lock();
}

StJSONLocks::~StJSONLocks() {
  if (fLocker != nullptr) fLocker->GetLock().Unlock();
  if (fGraph) StGraphLocker::sMutex.Unlock();
}

}  // namespace zeft
