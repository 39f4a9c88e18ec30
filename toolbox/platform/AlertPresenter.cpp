#include "platform/AlertPresenter.h"

#include <atomic>

#include "platform/ConsoleAlertPresenter.h"
#include "platform/DialogAlertPresenter.h"

namespace zeft::platform {

namespace {

std::atomic<AlertPresenter*> sTestingPresenter{nullptr};

AlertPresenter* MakeHostPresenter() {
  std::string program;
  DialogAlertPresenter::Kind kind;
  if (DialogAlertPresenter::FindForDesktop(program, kind)) {
    return new DialogAlertPresenter(program, kind);
  }
  return new ConsoleAlertPresenter(2);
}

const std::string kOK = "OK";

}  // namespace

AlertPresenter& AlertPresenter::Get() {
  if (AlertPresenter* testing = sTestingPresenter.load()) return *testing;
  // Chosen once and never destroyed: shown alerts may outlive main.
  static AlertPresenter* sHost = MakeHostPresenter();
  return *sHost;
}

void AlertPresenter::SetForTesting(AlertPresenter* presenter) {
  sTestingPresenter.store(presenter);
}

int AlertPresenter::CountButtons(const Alert& alert) {
  int count = 1;
  for (int i = 1; i < 3; ++i) {
    if (!alert.fButtons[i].empty()) count = i + 1;
  }
  return count;
}

const std::string& AlertPresenter::ButtonTitle(const Alert& alert, int index) {
  if (index == 0 && alert.fButtons[0].empty()) return kOK;
  return alert.fButtons[index];
}

}  // namespace zeft::platform
