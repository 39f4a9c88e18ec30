// Errors of the JSON class system (classes, native functions, blobs): raised
// on the calling task's error stack under the class system's component.
#pragma once

#include "core/VErrorCodes.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

// Pushes the class-system error `number` (with `p1` as its "p1" parameter
// when given) and returns it.
inline VError ThrowJSONClassError(int32 number, const VString* p1 = nullptr) {
  const VError error = MakeVError(kComponentJSONClasses, number);
  _ThrowError(error, p1);
  return error;
}

}  // namespace zeft
