// _ThrowError raises a toolbox error on the calling task's error stack: the
// common way every facility reports a failure besides returning its code.
#pragma once

#include "core/VErrorCodes.h"

namespace zeft {

class VString;

// Pushes an error record for `code` with the non-null texts as its "p1",
// "p2" and "p3" parameters. Does nothing while there is no application
// object (no error stack exists before it).
void _ThrowError(VError code, const VString* p1 = nullptr, const VString* p2 = nullptr,
                 const VString* p3 = nullptr);

}  // namespace zeft
