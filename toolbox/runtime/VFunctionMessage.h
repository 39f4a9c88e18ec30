// VFunctionMessage carries a callable to another task and runs it there,
// with or without waiting for it.
#pragma once

#include <functional>

#include "runtime/VMessage.h"

namespace zeft {

class VTask;

class VFunctionMessage : public VMessage {
 public:
  explicit VFunctionMessage(std::function<void()>&& function) : fFunction(std::move(function)) {}

  // Runs `function` later on `task` (even the calling one); dropped for null.
  static void PostFunctionTo(VTask* task, std::function<void()>&& function);
  // Runs `function` on `task`, executing the caller's messages until it ran.
  static void PostToAndWait(VTask* task, std::function<void()>&& function);
  // On the main task (or here, with `runHere`).
  static void PostToMainTask(std::function<void()>&& function, bool runHere = false);
  static void PostToMainTaskAndWait(std::function<void()>&& function, bool runHere = false);

 protected:
  void DoExecute() override;

 private:
  std::function<void()> fFunction;
};

}  // namespace zeft
