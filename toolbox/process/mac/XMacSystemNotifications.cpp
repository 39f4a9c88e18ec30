// Alerts of the system facade: the button sets of the notification flags,
// the pending list of alerts shown without waiting, and the hand-off to the
// platform's alert presenter.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "core/VString.h"
#include "platform/AlertPresenter.h"
#include "platform/MainBundle.h"
#include "process/mac/XMacSystem.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

namespace {

VCriticalSection sPendingUserNotificationsMutex;
std::vector<platform::AlertPresenter::Handle> sPendingUserNotifications;

struct Button {
  const char* fTitle;
  ENotificationResponse fCode;
};

// The default, alternate and other buttons of the flags' set; a null title
// is not shown.
void ChooseButtons(uint32 flags, Button (&buttons)[3]) {
  const Button none{nullptr, ERN_None};
  const Button ok{"OK", ERN_OK}, cancel{"Cancel", ERN_Cancel}, yes{"Yes", ERN_Yes},
      no{"No", ERN_No}, abort{"Abort", ERN_Abort}, retry{"Retry", ERN_Retry},
      ignore{"Ignore", ERN_Ignore};
  const bool first = (flags & EDN_Default1) != 0;
  const bool second = (flags & EDN_Default2) != 0;
  switch (flags & EDN_ButtonSetMask) {
    case EDN_OK_Cancel:
      buttons[0] = first ? ok : cancel;
      buttons[1] = first ? cancel : ok;
      buttons[2] = none;
      return;
    case EDN_Yes_No:
      buttons[0] = first ? yes : no;
      buttons[1] = first ? no : yes;
      buttons[2] = none;
      return;
    case EDN_Yes_No_Cancel:
      if (first != second) {
        buttons[0] = first ? yes : no;
        buttons[1] = first ? no : yes;
        buttons[2] = cancel;
      } else {
        buttons[0] = cancel;
        buttons[1] = no;
        buttons[2] = yes;
      }
      return;
    case EDN_Abort_Retry_Ignore:
      buttons[0] = retry;
      buttons[1] = ignore;
      buttons[2] = abort;
      return;
    default:
      // Only the system's own "OK", which answers 1.
      buttons[0] = {nullptr, ERN_OK};
      buttons[1] = none;
      buttons[2] = none;
      return;
  }
}

// The bundle's icon file named by CFBundleIconFile, when it exists.
std::string FindBundleIcon() {
  std::string name;
  if (!platform::GetMainBundleInfoString("CFBundleIconFile", name) || name.empty()) {
    return std::string();
  }
  const std::string path = platform::GetMainBundlePath() + "/Contents/Resources/" + name;
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? path : std::string();
}

}  // namespace

bool XMacSystem::DisplayNotification(const VString& title, const VString& message, uint32 flags,
                                     ENotificationResponse* response) {
  platform::Alert alert;
  alert.fIconPath = FindBundleIcon();
  if (!title.IsEmpty() && !title.IsNull()) {
    alert.fHeader = to_string(title);
    if (!message.IsEmpty() && !message.IsNull()) alert.fMessage = to_string(message);
  } else if (!message.IsEmpty() && !message.IsNull()) {
    alert.fHeader = to_string(message);
  }
  Button buttons[3];
  ChooseButtons(flags, buttons);
  for (int i = 0; i < 3; ++i) {
    if (buttons[i].fTitle != nullptr) alert.fButtons[i] = buttons[i].fTitle;
  }
  alert.fCaution = (flags & EDN_StyleCaution) != 0;

  platform::AlertPresenter& presenter = platform::AlertPresenter::Get();
  if (response != nullptr) {
    platform::AlertAnswer answer;
    if (!presenter.ShowAndWait(alert, answer)) return false;
    switch (answer) {
      case platform::AlertAnswer::kDefault:
        *response = buttons[0].fCode;
        break;
      case platform::AlertAnswer::kAlternate:
        *response = buttons[1].fCode;
        break;
      case platform::AlertAnswer::kOther:
        *response = buttons[2].fCode;
        break;
      case platform::AlertAnswer::kDismissed:
        *response = ERN_Dismissed;
        break;
      case platform::AlertAnswer::kUnreadable:
        *response = ERN_None;
        break;
    }
    return true;
  }
  const platform::AlertPresenter::Handle handle = presenter.Show(alert);
  if (handle == 0) return false;
  sPendingUserNotificationsMutex.Lock();
  sPendingUserNotifications.push_back(handle);
  sPendingUserNotificationsMutex.Unlock();
  return true;
}

void XMacSystem::CancelAllPendingUserNotifications() {
  sPendingUserNotificationsMutex.Lock();
  std::vector<platform::AlertPresenter::Handle> pending;
  pending.swap(sPendingUserNotifications);
  platform::AlertPresenter& presenter = platform::AlertPresenter::Get();
  for (platform::AlertPresenter::Handle handle : pending) presenter.Dismiss(handle);
  sPendingUserNotificationsMutex.Unlock();
}

size_t XMacSystem::CountPendingUserNotifications() {
  sPendingUserNotificationsMutex.Lock();
  const size_t count = sPendingUserNotifications.size();
  sPendingUserNotificationsMutex.Unlock();
  return count;
}

}  // namespace zeft
