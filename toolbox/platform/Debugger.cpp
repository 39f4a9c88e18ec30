#include "platform/Debugger.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform/FileDescriptor.h"

namespace zeft::platform {

bool IsDebuggerAttached() {
  FileDescriptor status(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
  if (!status.IsOpen()) return false;
  char buffer[4096];
  size_t filled = 0;
  // What was read before a failure is still read.
  ReadUpTo(status.Get(), buffer, sizeof(buffer) - 1, filled);
  buffer[filled] = '\0';
  const char* field = std::strstr(buffer, "\nTracerPid:");
  if (field == nullptr) return false;
  return std::strtol(field + std::strlen("\nTracerPid:"), nullptr, 10) != 0;
}

void Debugger() {
  if (IsDebuggerAttached()) std::raise(SIGTRAP);
}

}  // namespace zeft::platform
