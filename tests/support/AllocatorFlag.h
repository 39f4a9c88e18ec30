// The "--zeft-allocator=system|block|bundle" flag that the test and the
// benchmark programs share: it picks the memory manager's back end for the
// run, never the environment.
#pragma once

#include "core/VCppMemMgr.h"

namespace zeft::test {

// Removes every "--zeft-allocator=" argument from argv and answers the back
// end the last one names, `fallback` when none is given. A name it does not
// know ends the program (status 2): a mistyped name must not quietly run
// over another allocator.
EAllocatorKind ParseAllocatorFlag(int& argc, char** argv, EAllocatorKind fallback);

}  // namespace zeft::test
