// AlertPresenter puts a modal alert in front of the user: a header, a
// message and up to three buttons. On a desktop it is a dialog program; on a
// headless machine the alert goes to standard error and is answered at once
// with its default button, so that an alert never blocks an unattended run.
// Tests install a presenter of their own through the hook.
#pragma once

#include <cstdint>
#include <string>

namespace zeft::platform {

struct Alert {
  std::string fHeader;
  std::string fMessage;  // "" for none
  // Default, alternate and other button titles; "" is not shown. Without
  // any title the alert has one button, "OK", as its default.
  std::string fButtons[3];
  bool fCaution = false;
  std::string fIconPath;  // "" for none
};

enum class AlertAnswer {
  kDefault,
  kAlternate,
  kOther,
  kDismissed,   // closed without a button
  kUnreadable,  // the answer could not be read
};

class AlertPresenter {
 public:
  using Handle = uint64_t;

  virtual ~AlertPresenter() = default;

  // Shows the alert and waits for its answer. False when it could not be
  // shown (`answer` untouched).
  virtual bool ShowAndWait(const Alert& alert, AlertAnswer& answer) = 0;
  // Shows the alert and returns at once: a handle for Dismiss, 0 when the
  // alert could not be shown.
  virtual Handle Show(const Alert& alert) = 0;
  // Takes an alert of Show off the screen, when it is still there.
  virtual void Dismiss(Handle handle) = 0;

  // The installed test presenter, else the host's: a dialog when DISPLAY or
  // WAYLAND_DISPLAY is set and zenity or kdialog is on PATH, else standard
  // error.
  static AlertPresenter& Get();
  // Installs a presenter (not owned) in place of the host's; null goes back.
  static void SetForTesting(AlertPresenter* presenter);

  // The button titles as shown: "OK" when the alert names none.
  static int CountButtons(const Alert& alert);
  static const std::string& ButtonTitle(const Alert& alert, int index);
};

}  // namespace zeft::platform
