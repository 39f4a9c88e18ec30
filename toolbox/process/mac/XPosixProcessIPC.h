// XPosixProcessIPC installs the quit signals of a program without a window:
// SIGTERM, SIGINT, SIGQUIT and SIGHUP ask the application to quit (its main
// task is marked dying; the work in progress goes on to its end), and SIGINT
// also says so on standard output.
//
// The handler runs on whatever thread the signal lands, at any moment, so
// it does only async-signal-safe things: write(2) of the ctrl-c text, an
// atomic count and a write to an eventfd. A watcher thread owned by this
// object reads the eventfd and makes the quit request, which takes locks.
#pragma once

#include <atomic>
#include <thread>

#include "core/VObject.h"

namespace zeft {

class XPosixProcessIPC : public VObject {
 public:
  // Starts the watcher; signals are acted upon from here on.
  XPosixProcessIPC();
  // Stops the watcher; later signals do nothing (the handlers stay
  // installed, as nothing else in the program installs these signals).
  ~XPosixProcessIPC() override;
  XPosixProcessIPC(const XPosixProcessIPC&) = delete;
  XPosixProcessIPC& operator=(const XPosixProcessIPC&) = delete;

  // Installs the handler for SIGTERM, SIGINT, SIGQUIT and SIGHUP in that order;
  // false at the first failure, the rest left as they were.
  static bool Init();

  // Quit signals received while a watcher ran.
  static uint32 GetQuitSignalCount() { return sQuitSignals.load(); }

 private:
  static void QuitSignalHandler(int signal);
  void _Watch();

  std::thread fWatcher;
  std::atomic<bool> fStopping{false};

  // The wake of the watcher, made once and kept for the life of the
  // process: a handler that read it may still write after a watcher went.
  static std::atomic<int> sWakeFd;
  static std::atomic<bool> sActive;
  static std::atomic<uint32> sQuitSignals;
};

}  // namespace zeft
