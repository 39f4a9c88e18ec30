// IMessageable is a receiver of work from other tasks: messages addressed to
// it execute on the thread of its messaging task.
#pragma once

#include "core/VTypes.h"

namespace zeft {

class VMessage;
class VMessagingContext;

class IMessageable {
 public:
  // Creates the context: this receiver, the calling task, active.
  IMessageable();
  // Clears the context's target so that messages in flight find nobody.
  virtual ~IMessageable();

  IMessageable(const IMessageable&) = delete;
  IMessageable& operator=(const IMessageable&) = delete;

  void StartMessaging();
  void StopMessaging();

  // The task whose queue receives this receiver's messages; 0 without one.
  int32 GetMessagingTask() const;
  void SetMessagingTask(int32 taskID);

  // The context, retained; null when there is none.
  VMessagingContext* RetainMessagingContext() const;

  // Receives a message whose DoExecute was not overridden. Does nothing by
  // default.
  virtual void DoMessage(VMessage& message);

 private:
  VMessagingContext* fContext;
};

}  // namespace zeft
