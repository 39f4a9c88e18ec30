// ConsoleAlertPresenter is the alert of a machine without a desktop: it
// writes the header, the message and the buttons to a descriptor (standard
// error) when that is open, and answers the default button at once.
#pragma once

#include <atomic>

#include "platform/AlertPresenter.h"

namespace zeft::platform {

class ConsoleAlertPresenter : public AlertPresenter {
 public:
  explicit ConsoleAlertPresenter(int fd = 2) : fFD(fd) {}

  bool ShowAndWait(const Alert& alert, AlertAnswer& answer) override;
  Handle Show(const Alert& alert) override;
  // Nothing stays on screen: does nothing.
  void Dismiss(Handle) override {}

 private:
  // `answered`: the default button is reported as the answer.
  void _Write(const Alert& alert, bool answered);

  int fFD;
  std::atomic<Handle> fNextHandle{1};
};

}  // namespace zeft::platform
