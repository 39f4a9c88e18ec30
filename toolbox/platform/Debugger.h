// Breaking into a debugger. A program that no debugger traces must not be
// stopped by a SIGTRAP it cannot handle, so the break happens only under a
// tracer.
#pragma once

namespace zeft::platform {

// Whether a tracer (a debugger) is attached to this process: the TracerPid
// of /proc/self/status is not 0.
bool IsDebuggerAttached();

// Raises SIGTRAP when a debugger is attached; otherwise does nothing.
void Debugger();

}  // namespace zeft::platform
