#include "platform/TimerService.h"

#include <chrono>

namespace zeft::platform {

namespace {

int64_t NowNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TimerService& TimerService::Get() {
  // Never destroyed: timers may still be armed while the program exits.
  static TimerService* sService = new TimerService();
  return *sService;
}

TimerService::~TimerService() {
  {
    std::lock_guard<std::mutex> guard(fMutex);
    fStopping = true;
    fTimers.clear();
  }
  fChanged.notify_all();
  if (fThread.joinable()) fThread.join();
}

TimerService::TimerID TimerService::Schedule(int64_t delayMs, std::function<void()> callback) {
  const int64_t due = NowNanoseconds() + (delayMs > 0 ? delayMs * 1000000 : 0);
  TimerID id;
  {
    std::lock_guard<std::mutex> guard(fMutex);
    id = fNextID++;
    fTimers.emplace(due, Entry{id, std::move(callback)});
    if (!fThread.joinable()) fThread = std::thread([this] { _Run(); });
  }
  fChanged.notify_all();
  return id;
}

bool TimerService::Cancel(TimerID id) {
  std::unique_lock<std::mutex> lock(fMutex);
  for (auto it = fTimers.begin(); it != fTimers.end(); ++it) {
    if (it->second.fID == id) {
      // Destroy the callback outside the lock: it may own anything.
      std::function<void()> dropped = std::move(it->second.fCallback);
      fTimers.erase(it);
      lock.unlock();
      return true;
    }
  }
  if (std::this_thread::get_id() != fThread.get_id()) {
    fChanged.wait(lock, [&] { return fRunning != id; });
  }
  return false;
}

void TimerService::_Run() {
  std::unique_lock<std::mutex> lock(fMutex);
  while (!fStopping) {
    if (fTimers.empty()) {
      fChanged.wait(lock);
      continue;
    }
    const int64_t due = fTimers.begin()->first;
    const int64_t now = NowNanoseconds();
    if (due > now) {
      fChanged.wait_for(lock, std::chrono::nanoseconds(due - now));
      continue;
    }
    Entry entry = std::move(fTimers.begin()->second);
    fTimers.erase(fTimers.begin());
    fRunning = entry.fID;
    lock.unlock();
    entry.fCallback();
    entry.fCallback = nullptr;
    lock.lock();
    fRunning = 0;
    fChanged.notify_all();
  }
}

}  // namespace zeft::platform
