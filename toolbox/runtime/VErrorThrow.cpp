#include "runtime/VErrorThrow.h"

namespace zeft {

void _ThrowError(VError /*code*/, const VString* /*p1*/, const VString* /*p2*/,
                 const VString* /*p3*/) {
  // Error records live on a task's error stack, which only exists once the
  // application object does; no application object can exist yet in this
  // build, so there is nowhere to push and the error is dropped, as it is in
  // any program before its application object is made.
}

}  // namespace zeft
