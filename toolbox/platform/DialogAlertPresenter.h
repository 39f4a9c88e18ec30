// DialogAlertPresenter shows alerts on a desktop through a dialog program
// (zenity or kdialog) and maps the button pressed back to the alert's
// buttons. Alerts shown without waiting are reaped on a helper thread.
#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AlertPresenter.h"

namespace zeft::platform {

class DialogAlertPresenter : public AlertPresenter {
 public:
  enum class Kind { kZenity, kKdialog };

  // `program` is the dialog program's path; `kind` says how to talk to it.
  DialogAlertPresenter(std::string program, Kind kind);
  // The presenter for the desktop, when there is one: false when neither
  // DISPLAY nor WAYLAND_DISPLAY is set or no dialog program is on PATH.
  static bool FindForDesktop(std::string& program, Kind& kind);

  bool ShowAndWait(const Alert& alert, AlertAnswer& answer) override;
  Handle Show(const Alert& alert) override;
  void Dismiss(Handle handle) override;

 private:
  std::vector<std::string> _BuildArguments(const Alert& alert) const;
  // Starts the program; `output` receives the read end of its standard
  // output when not null (else it goes to /dev/null). 0 on failure.
  pid_t _Spawn(const Alert& alert, int* output) const;
  AlertAnswer _MapAnswer(const Alert& alert, int status, const std::string& output) const;

  // The dialogs shown without waiting and not reaped yet; shared with the
  // threads that reap them, which may outlive the presenter.
  struct Shown {
    std::mutex fMutex;
    Handle fNextHandle = 1;
    std::map<Handle, pid_t> fPids;
  };

  std::string fProgram;
  Kind fKind;
  std::shared_ptr<Shown> fShown = std::make_shared<Shown>();
};

}  // namespace zeft::platform
