#include "platform/ConsoleAlertPresenter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace zeft::platform {

namespace {

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    done += size_t(written);
  }
}

}  // namespace

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
