#include "platform/CancellablePoll.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/EventFD.h"

namespace zeft::platform {

CancellablePoll::CancellablePoll() : fWakeFD(MakeEventFD()) {}

CancellablePoll::~CancellablePoll() {
  if (fWakeFD >= 0) close(fWakeFD);
}

CancellablePoll::Result CancellablePoll::Wait(int fd, int timeoutMs) {
  if (fWakeFD < 0) return kFailed;
  pollfd fds[2] = {{fWakeFD, POLLIN, 0}, {fd, POLLIN, 0}};
  const nfds_t count = fd >= 0 ? 2 : 1;
  for (;;) {
    const int ready = poll(fds, count, timeoutMs < 0 ? -1 : timeoutMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return kFailed;
    }
    // The wake-up is never read back: a cancelled poll stays cancelled.
    if (fds[0].revents != 0) return kCancelled;
    if (ready == 0) return kTimedOut;
    return kReady;
  }
}

void CancellablePoll::Cancel() {
  if (fWakeFD >= 0) SignalEventFD(fWakeFD);
}

}  // namespace zeft::platform
