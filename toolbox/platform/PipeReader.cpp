#include "platform/PipeReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace zeft::platform {

namespace {

constexpr size_t kChunkSize = 64 * 1024;

}  // namespace

PipeReader::PipeReader(int fd, DataCallback onData, DoneCallback onDone)
    : fOnData(std::move(onData)), fOnDone(std::move(onDone)) {
  fThread = std::thread([this, fd] { _Run(fd); });
}

PipeReader::~PipeReader() {
  if (fThread.joinable()) fThread.join();
}

void PipeReader::_Run(int fd) {
  // Non-blocking, so that Stop is never stuck behind a read.
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  char buffer[kChunkSize];
  int error = 0;
  for (;;) {
    if (fStopping.load(std::memory_order_relaxed)) {
      error = ECANCELED;
      break;
    }
    const ssize_t count = read(fd, buffer, sizeof buffer);
    if (count > 0) {
      if (fOnData) fOnData(buffer, size_t(count));
      continue;
    }
    if (count == 0) break;  // end of stream
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      error = errno;
      break;
    }
    const CancellablePoll::Result result = fPoll.Wait(fd, -1);
    if (result == CancellablePoll::kCancelled) {
      error = ECANCELED;
      break;
    }
    if (result == CancellablePoll::kFailed) {
      error = errno != 0 ? errno : EIO;
      break;
    }
  }
  close(fd);
  if (fOnDone) fOnDone(error);
}

}  // namespace zeft::platform
