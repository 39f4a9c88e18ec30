#include "runtime/VNotificationDebugMessageHandler.h"

#include "core/VString.h"
#include "process/VSystem.h"
#include "runtime/VDebugContext.h"
#include "runtime/VDebugMgr.h"
#include "runtime/VErrorBase.h"

namespace zeft {

int32 VNotificationDebugMessageHandler::AssertFailed(VDebugContext& context, const char* condition,
                                                     const char* file, int line) {
  if (context.IsAlertSuppressed()) return kDebugAnswerContinue;
  VString text;
  text.Printf("Condition: %s\nFile: %s, %d", condition != nullptr ? condition : "",
              file != nullptr ? file : "", line);
  return _Ask(VString("Assert Failed"), text);
}

int32 VNotificationDebugMessageHandler::ErrorThrown(VDebugContext& context, VErrorBase* error) {
  if (context.IsAlertSuppressed()) return kDebugAnswerContinue;
  VString text("Error: ");
  if (error != nullptr) {
    VString dump;
    error->DumpToString(dump);
    text.AppendString(dump);
  }
  text.AppendUniChar('\n');
  return _Ask(VString("Error Thrown"), text);
}

int32 VNotificationDebugMessageHandler::_TranslateNotificationResponse(int32 response) {
  switch (response) {
    case ERN_Abort:
      return VDebugMgr::Get().IsDebuggerPresent() ? kDebugAnswerBreak : kDebugAnswerEnd;
    case ERN_Retry:
      return kDebugAnswerContinue;
    default:
      return kDebugAnswerIgnore;
  }
}

int32 VNotificationDebugMessageHandler::_Ask(const VString& title, const VString& text) {
  ENotificationResponse response = ERN_None;
  VSystem::DisplayNotification(title, text, EDN_Abort_Retry_Ignore, &response);
  return _TranslateNotificationResponse(response);
}

}  // namespace zeft
