// XIdleMessage drives an idler by a chain of self-posting messages: each one
// calls DoIdle and posts its successor 16 ms later, until the idler stops.
#pragma once

#include "runtime/VMessage.h"

namespace zeft {

class IIdleable;

class XIdleMessage : public VMessage {
 public:
  explicit XIdleMessage(IIdleable* idler) : fIdler(idler) {}

 protected:
  void DoExecute() override;

 private:
  IIdleable* fIdler;  // not owned
};

}  // namespace zeft
