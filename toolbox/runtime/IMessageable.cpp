#include "runtime/IMessageable.h"

#include "runtime/VMessagingContext.h"

namespace zeft {

IMessageable::IMessageable() : fContext(new VMessagingContext(this)) {}

IMessageable::~IMessageable() {
  fContext->fTarget.store(nullptr, std::memory_order_release);
  fContext->Release();
}

void IMessageable::StartMessaging() { fContext->fActive.store(true, std::memory_order_release); }

void IMessageable::StopMessaging() { fContext->fActive.store(false, std::memory_order_release); }

int32 IMessageable::GetMessagingTask() const { return fContext->GetMessagingTask(); }

void IMessageable::SetMessagingTask(int32 taskID) { fContext->SetMessagingTask(taskID); }

VMessagingContext* IMessageable::RetainMessagingContext() const {
  fContext->Retain();
  return fContext;
}

void IMessageable::DoMessage(VMessage& /*message*/) {}

}  // namespace zeft
