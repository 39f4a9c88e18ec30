// PipeReader drains one pipe on a helper thread of its own, handing every
// piece it reads to a callback: the stand-in for a stream dispatch I/O
// channel read to its end. It owns the descriptor and closes it when done.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>

#include "platform/CancellablePoll.h"

namespace zeft::platform {

class PipeReader {
 public:
  using DataCallback = std::function<void(const void* bytes, size_t size)>;
  // 0 at the end of the stream, the error number of a failed read, or
  // ECANCELED after Stop.
  using DoneCallback = std::function<void(int error)>;

  // Takes over `fd` (blocking or not) and starts reading. `onData` and
  // `onDone` run on the reader's thread, in order; `onDone` runs last, once.
  PipeReader(int fd, DataCallback onData, DoneCallback onDone);
  // Waits for the end of the stream (or for Stop).
  ~PipeReader();
  PipeReader(const PipeReader&) = delete;
  PipeReader& operator=(const PipeReader&) = delete;

  // Ends reading before the end of the stream; what was not read is lost.
  void Stop() {
    fStopping.store(true, std::memory_order_relaxed);
    fPoll.Cancel();
  }

 private:
  void _Run(int fd);

  CancellablePoll fPoll;
  std::atomic<bool> fStopping{false};
  DataCallback fOnData;
  DoneCallback fOnDone;
  std::thread fThread;
};

}  // namespace zeft::platform
