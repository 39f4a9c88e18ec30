#include "process/mac/XPosixProcessIPC.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string_view>

#include "platform/EventFD.h"
#include "platform/FileDescriptor.h"
#include "process/VProcess.h"

namespace zeft {

std::atomic<int> XPosixProcessIPC::sWakeFd{-1};
std::atomic<bool> XPosixProcessIPC::sActive{false};
std::atomic<uint32> XPosixProcessIPC::sQuitSignals{0};

namespace {

constexpr std::string_view kInterruptText = "\n (ctrl-c has been received - quit)\n\n";

int MakeWakeFd() {
  static std::once_flag once;
  static int fd = -1;
  std::call_once(once, [] { fd = platform::MakeEventFD(); });
  return fd;
}

}  // namespace

XPosixProcessIPC::XPosixProcessIPC() {
  const int fd = MakeWakeFd();
  sWakeFd.store(fd);
  if (fd < 0) return;
  // Wakes left from an earlier watcher are not quit requests to this one.
  platform::DrainEventFD(fd);
  fWatcher = std::thread([this] { _Watch(); });
  sActive.store(true);
}

XPosixProcessIPC::~XPosixProcessIPC() {
  sActive.store(false);
  if (!fWatcher.joinable()) return;
  fStopping.store(true);
  platform::SignalEventFD(sWakeFd.load());
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
      // The terminal that started the program went away: no reason to
      // stop half-way through its work.
      {SIGHUP, {SIGINT, SIGTERM}, SA_RESTART},
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
  if (signal != SIGTERM && signal != SIGINT && signal != SIGQUIT && signal != SIGHUP) return;
  if (!sActive.load()) return;
  const int savedErrno = errno;
  if (signal == SIGINT) platform::WriteAll(STDOUT_FILENO, kInterruptText);
  sQuitSignals.fetch_add(1);
  platform::SignalEventFD(sWakeFd.load());
  errno = savedErrno;
}

void XPosixProcessIPC::_Watch() {
  const int fd = sWakeFd.load();
  while (!fStopping.load()) {
    struct pollfd wait = {fd, POLLIN, 0};
    if (::poll(&wait, 1, -1) < 0 && errno != EINTR) return;
    if (platform::DrainEventFD(fd) == 0 || fStopping.load()) continue;
    // The base implementation, named: the object may be in its destructor
    // (a derived part already gone) when a late signal arrives.
    if (VProcess* process = VProcess::sInstance) process->VProcess::QuitAsynchronously(nullptr);
  }
}

}  // namespace zeft
