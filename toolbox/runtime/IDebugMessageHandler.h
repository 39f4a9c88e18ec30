// IDebugMessageHandler is asked by the debug manager what to do about a
// failed assertion or a pushed error; its answer is one of
// EDebugHandlerAnswer.
#pragma once

#include "core/IRefCountable.h"
#include "core/VTypes.h"

namespace zeft {

class VDebugContext;
class VErrorBase;

enum EDebugHandlerAnswer : int32 {
  kDebugAnswerContinue = 0,
  // Break into the debugger, or end the process when there is none.
  kDebugAnswerBreak = 1,
  kDebugAnswerEnd = 2,
  // Ignore this assertion site or this error code from now on.
  kDebugAnswerIgnore = 3,
  // Ignore every assertion, or every error, from now on.
  kDebugAnswerIgnoreAll = 4
};

class IDebugMessageHandler : public IRefCountable {
 public:
  virtual int32 AssertFailed(VDebugContext& context, const char* condition, const char* file,
                             int line) = 0;
  virtual int32 ErrorThrown(VDebugContext& context, VErrorBase* error) = 0;
};

}  // namespace zeft
