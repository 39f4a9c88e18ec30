#include "core/LocalizeString.h"

#include <atomic>

namespace zeft {

namespace {

std::atomic<LocalizeStringHook> sLocalizeStringHook{nullptr};

}  // namespace

void SetLocalizeStringHook(LocalizeStringHook hook) {
  sLocalizeStringHook.store(hook, std::memory_order_release);
}

VString LocalizeString(const VString& key, const char* defaultText) {
  VString result;
  const LocalizeStringHook hook = sLocalizeStringHook.load(std::memory_order_acquire);
  if (hook != nullptr && hook(key, result)) return result;
  result.Clear();
  if (defaultText != nullptr) result.FromCString(defaultText);
  return result;
}

}  // namespace zeft
