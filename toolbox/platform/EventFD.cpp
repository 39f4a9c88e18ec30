#include "platform/EventFD.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace zeft::platform {

int MakeEventFD() { return eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

void SignalEventFD(int fd) {
  const uint64_t one = 1;
  while (write(fd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

uint64_t DrainEventFD(int fd) {
  // One read takes the whole counter; EAGAIN when it is already 0.
  uint64_t count = 0;
  while (read(fd, &count, sizeof count) < 0) {
    if (errno != EINTR) return 0;
  }
  return count;
}

}  // namespace zeft::platform
