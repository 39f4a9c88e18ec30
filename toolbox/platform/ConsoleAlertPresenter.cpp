#include "platform/ConsoleAlertPresenter.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/FileDescriptor.h"

namespace zeft::platform {

void ConsoleAlertPresenter::_Write(const Alert& alert, bool answered) {
  if (fFD < 0 || fcntl(fFD, F_GETFD) < 0) return;  // closed: nobody to tell
  std::string text = alert.fCaution ? "Alert (caution): " : "Alert: ";
  text += alert.fHeader;
  text += '\n';
  if (!alert.fMessage.empty()) {
    text += alert.fMessage;
    text += '\n';
  }
  text += "Buttons:";
  const int count = CountButtons(alert);
  for (int i = 0; i < count; ++i) {
    const std::string& title = ButtonTitle(alert, i);
    if (title.empty()) continue;
    text += i == 0 ? " [" + title + "]" : " " + title;
  }
  text += '\n';
  if (answered) text += "Answered: " + ButtonTitle(alert, 0) + " (no desktop to ask on)\n";
  WriteAll(fFD, text);
}

bool ConsoleAlertPresenter::ShowAndWait(const Alert& alert, AlertAnswer& answer) {
  _Write(alert, true);
  answer = AlertAnswer::kDefault;
  return true;
}

AlertPresenter::Handle ConsoleAlertPresenter::Show(const Alert& alert) {
  _Write(alert, false);
  return fNextHandle.fetch_add(1);
}

}  // namespace zeft::platform
