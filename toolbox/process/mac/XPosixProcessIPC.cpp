#include "process/mac/XPosixProcessIPC.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>

#include "process/VProcess.h"

namespace zeft {

std::atomic<int> XPosixProcessIPC::sWakeFd{-1};
std::atomic<bool> XPosixProcessIPC::sActive{false};
std::atomic<uint32> XPosixProcessIPC::sQuitSignals{0};

namespace {

constexpr char kInterruptText[] = "\n (ctrl-c has been received - quit)\n\n";

void WriteAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes += written;
    size -= size_t(written);
  }
}

int MakeWakeFd() {
  static std::once_flag once;
  static int fd = -1;
  std::call_once(once, [] { fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); });
  return fd;
}

}  // namespace

XPosixProcessIPC::XPosixProcessIPC() {
  const int fd = MakeWakeFd();
  sWakeFd.store(fd);
  if (fd < 0) return;
  // Wakes left from an earlier watcher are not quit requests to this one.
  uint64_t stale = 0;
  while (::read(fd, &stale, sizeof stale) > 0) {
  }
  fWatcher = std::thread([this] { _Watch(); });
  sActive.store(true);
}

XPosixProcessIPC::~XPosixProcessIPC() {
  sActive.store(false);
  if (!fWatcher.joinable()) return;
  fStopping.store(true);
  const uint64_t one = 1;
  WriteAll(sWakeFd.load(), &one, sizeof one);
  fWatcher.join();
}

bool XPosixProcessIPC::Init() {
  struct Installation {
    int signal;
    int blocked[2];
    unsigned flags;
  };
  const Installation installations[] = {
      {SIGTERM, {SIGINT, SIGQUIT}, SA_RESTART},
      {SIGINT, {SIGQUIT, SIGTERM}, SA_RESTART},
      {SIGQUIT, {SIGINT, SIGTERM}, SA_RESTART | SA_RESETHAND},
  };
  for (const Installation& installation : installations) {
    struct sigaction action = {};
    action.sa_handler = QuitSignalHandler;
    sigemptyset(&action.sa_mask);
    for (int blocked : installation.blocked) sigaddset(&action.sa_mask, blocked);
    action.sa_flags = int(installation.flags);
    if (::sigaction(installation.signal, &action, nullptr) != 0) return false;
  }
  return true;
}

void XPosixProcessIPC::QuitSignalHandler(int signal) {
  if (signal != SIGTERM && signal != SIGINT && signal != SIGQUIT) return;
  if (!sActive.load()) return;
  const int savedErrno = errno;
  if (signal == SIGINT) WriteAll(STDOUT_FILENO, kInterruptText, sizeof kInterruptText - 1);
  sQuitSignals.fetch_add(1);
  const uint64_t one = 1;
  WriteAll(sWakeFd.load(), &one, sizeof one);
  errno = savedErrno;
}

void XPosixProcessIPC::_Watch() {
  const int fd = sWakeFd.load();
  while (!fStopping.load()) {
    struct pollfd wait = {fd, POLLIN, 0};
    if (::poll(&wait, 1, -1) < 0 && errno != EINTR) return;
    uint64_t count = 0;
    if (::read(fd, &count, sizeof count) <= 0 || fStopping.load()) continue;
    // The base implementation, named: the object may be in its destructor
    // (a derived part already gone) when a late signal arrives.
    if (VProcess* process = VProcess::sInstance) process->VProcess::QuitAsynchronously(nullptr);
  }
}

}  // namespace zeft
