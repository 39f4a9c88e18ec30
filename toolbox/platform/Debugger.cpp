#include "platform/Debugger.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace zeft::platform {

bool IsDebuggerAttached() {
  const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[4096];
  size_t filled = 0;
  ssize_t got = 0;
  while (filled < sizeof(buffer) - 1 &&
         (got = ::read(fd, buffer + filled, sizeof(buffer) - 1 - filled)) != 0) {
    if (got < 0) {
      if (errno == EINTR) continue;
      break;
    }
    filled += size_t(got);
  }
  ::close(fd);
  buffer[filled] = '\0';
  const char* field = std::strstr(buffer, "\nTracerPid:");
  if (field == nullptr) return false;
  return std::strtol(field + std::strlen("\nTracerPid:"), nullptr, 10) != 0;
}

void Debugger() {
  if (IsDebuggerAttached()) std::raise(SIGTRAP);
}

}  // namespace zeft::platform
