// Raising a toolbox error from the JSON layer: the one step of making the
// code, pushing it on the calling task's error stack and handing it back,
// which the JSON readers and writers share.
#pragma once

#include "core/VErrorCodes.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

class VString;

// Pushes toolbox error `number` (with `p1` as its "p1" parameter when
// given) and returns it.
inline VError ThrowJSONToolboxError(int32 number, const VString* p1 = nullptr) {
  const VError error = ToolboxError(number);
  _ThrowError(error, p1);
  return error;
}

}  // namespace zeft
