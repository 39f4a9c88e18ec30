#include "platform/WaitGroup.h"

namespace zeft::platform {

void WaitGroup::Enter() {
  std::lock_guard<std::mutex> guard(fMutex);
  ++fCount;
}

void WaitGroup::Leave() {
  std::lock_guard<std::mutex> guard(fMutex);
  // Notified under the lock: a waiter may destroy the group once it wakes.
  if (--fCount == 0) fEmptied.notify_all();
}

void WaitGroup::Wait() {
  std::unique_lock<std::mutex> lock(fMutex);
  fEmptied.wait(lock, [this] { return fCount <= 0; });
}

}  // namespace zeft::platform
