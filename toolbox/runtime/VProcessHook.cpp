#include "runtime/VProcessHook.h"

#include <atomic>

namespace zeft {

namespace {

std::atomic<VProcessHook::PresenceFunction> sPresenceFunction{nullptr};
std::atomic<VProcessHook::TokenFunction> sTokenFunction{nullptr};

}  // namespace

void VProcessHook::Install(PresenceFunction presence, TokenFunction token) {
  sPresenceFunction.store(presence, std::memory_order_release);
  sTokenFunction.store(token, std::memory_order_release);
}

bool VProcessHook::HasProcess() {
  const PresenceFunction function = sPresenceFunction.load(std::memory_order_acquire);
  return function != nullptr && function();
}

VRefPtr<IRefCountable> VProcessHook::NewActivityToken(const VString& name) {
  const TokenFunction function = sTokenFunction.load(std::memory_order_acquire);
  return function != nullptr ? VRefPtr<IRefCountable>(function(name), kAdoptRef)
                             : VRefPtr<IRefCountable>();
}

}  // namespace zeft
