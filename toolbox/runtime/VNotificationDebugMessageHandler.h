// VNotificationDebugMessageHandler answers the debug manager's questions
// about failed assertions and pushed errors through a modal alert whose
// buttons are "Abort", "Retry" and "Ignore".
#pragma once

#include "core/VObject.h"
#include "runtime/IDebugMessageHandler.h"

namespace zeft {

class VString;

class VNotificationDebugMessageHandler : public VObject, public IDebugMessageHandler {
 public:
  int32 AssertFailed(VDebugContext& context, const char* condition, const char* file,
                     int line) override;
  int32 ErrorThrown(VDebugContext& context, VErrorBase* error) override;

  // Abort breaks (or ends the process without a debugger), Retry goes on,
  // anything else ignores the site or the error from now on.
  static int32 _TranslateNotificationResponse(int32 response);

 private:
  static int32 _Ask(const VString& title, const VString& text);
};

}  // namespace zeft
