// VProcessHook is how the runtime reaches the application object without
// knowing the application frame: whether one has started (errors are
// recorded only then) and the activity tokens that running tasks hold on
// it. The frame installs its two functions while an application object
// exists and removes them when the last one goes. Thread-safe: the
// functions are swapped atomically.
#pragma once

#include "core/IRefCountable.h"

namespace zeft {

class VString;

class VProcessHook {
 public:
  VProcessHook() = delete;

  // True while an application object has started and not yet gone.
  using PresenceFunction = bool (*)();
  // A new activity token named `name`, registered with the application
  // object and carrying the caller's reference; null without one.
  using TokenFunction = IRefCountable* (*)(const VString& name);

  // Installs both functions; nulls remove them.
  static void Install(PresenceFunction presence, TokenFunction token);

  // Whether an application object has started; false without the hook.
  static bool HasProcess();
  // A new activity token, or null without an application object.
  static VRefPtr<IRefCountable> NewActivityToken(const VString& name);
};

}  // namespace zeft
