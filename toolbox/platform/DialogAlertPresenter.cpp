#include "platform/DialogAlertPresenter.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/ExecutableSearch.h"
#include "platform/UserEnvironment.h"

extern char** environ;

namespace zeft::platform {

namespace {

bool IsSet(const char* name) { return !GetEnvironmentVariable(name).empty(); }

void WaitForExit(pid_t pid, int* status) {
  while (waitpid(pid, status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

DialogAlertPresenter::DialogAlertPresenter(std::string program, Kind kind)
    : fProgram(std::move(program)), fKind(kind) {}

bool DialogAlertPresenter::FindForDesktop(std::string& program, Kind& kind) {
  if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) return false;
  const std::string path = GetEnvironmentVariable("PATH");
  program = FindExecutable(path.c_str(), "zenity");
  kind = Kind::kZenity;
  if (program.empty()) {
    program = FindExecutable(path.c_str(), "kdialog");
    kind = Kind::kKdialog;
  }
  return !program.empty();
}

std::vector<std::string> DialogAlertPresenter::_BuildArguments(const Alert& alert) const {
  const int count = CountButtons(alert);
  const std::string& text = alert.fMessage.empty() ? alert.fHeader : alert.fMessage;
  std::vector<std::string> args{fProgram};
  if (fKind == Kind::kZenity) {
    if (count == 1) {
      args.push_back(alert.fCaution ? "--warning" : "--info");
      args.push_back("--ok-label=" + ButtonTitle(alert, 0));
    } else {
      args.push_back("--question");
      if (alert.fCaution) args.push_back("--icon-name=dialog-warning");
      args.push_back("--ok-label=" + ButtonTitle(alert, 0));
      args.push_back("--cancel-label=" + ButtonTitle(alert, 1));
      if (count == 3) args.push_back("--extra-button=" + ButtonTitle(alert, 2));
    }
    args.push_back("--no-markup");
    args.push_back("--title=" + alert.fHeader);
    args.push_back("--text=" + text);
    if (!alert.fIconPath.empty()) args.push_back("--window-icon=" + alert.fIconPath);
    return args;
  }
  args.push_back("--title");
  args.push_back(alert.fHeader);
  if (!alert.fIconPath.empty()) {
    args.push_back("--icon");
    args.push_back(alert.fIconPath);
  }
  if (count == 1) {
    args.push_back(alert.fCaution ? "--sorry" : "--msgbox");
    args.push_back(text);
    args.push_back("--ok-label");
    args.push_back(ButtonTitle(alert, 0));
    return args;
  }
  if (count == 2) {
    args.push_back(alert.fCaution ? "--warningyesno" : "--yesno");
  } else {
    args.push_back(alert.fCaution ? "--warningyesnocancel" : "--yesnocancel");
  }
  args.push_back(text);
  args.push_back("--yes-label");
  args.push_back(ButtonTitle(alert, 0));
  args.push_back("--no-label");
  args.push_back(ButtonTitle(alert, 1));
  if (count == 3) {
    args.push_back("--cancel-label");
    args.push_back(ButtonTitle(alert, 2));
  }
  return args;
}

pid_t DialogAlertPresenter::_Spawn(const Alert& alert, int* output) const {
  const std::vector<std::string> args = _BuildArguments(alert);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  int fds[2] = {-1, -1};
  if (output != nullptr && pipe2(fds, O_CLOEXEC) != 0) return 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (output != nullptr) {
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = 0;
  const int error = posix_spawn(&pid, fProgram.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (output != nullptr) {
    close(fds[1]);
    if (error != 0) {
      close(fds[0]);
    } else {
      *output = fds[0];
    }
  }
  return error == 0 ? pid : 0;
}

AlertAnswer DialogAlertPresenter::_MapAnswer(const Alert& alert, int status,
                                             const std::string& output) const {
  if (!WIFEXITED(status)) return AlertAnswer::kDismissed;  // killed: taken off the screen
  const int count = CountButtons(alert);
  const int code = WEXITSTATUS(status);
  if (code == 0) return AlertAnswer::kDefault;
  if (fKind == Kind::kZenity) {
    if (code != 1) return AlertAnswer::kUnreadable;
    // The extra button is told apart from the cancel one by its printed title.
    if (count == 3 && output == ButtonTitle(alert, 2) + "\n") return AlertAnswer::kOther;
    return count == 1 ? AlertAnswer::kDismissed : AlertAnswer::kAlternate;
  }
  if (code == 1 && count >= 2) return AlertAnswer::kAlternate;
  if (code == 2 && count == 3) return AlertAnswer::kOther;
  return code == 1 || code == 2 ? AlertAnswer::kDismissed : AlertAnswer::kUnreadable;
}

bool DialogAlertPresenter::ShowAndWait(const Alert& alert, AlertAnswer& answer) {
  int output = -1;
  const pid_t pid = _Spawn(alert, &output);
  if (pid == 0) return false;
  std::string printed;
  char buffer[256];
  for (;;) {
    const ssize_t count = read(output, buffer, sizeof buffer);
    if (count > 0) {
      if (printed.size() < 4096) printed.append(buffer, size_t(count));
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    break;
  }
  close(output);
  int status = 0;
  WaitForExit(pid, &status);
  answer = _MapAnswer(alert, status, printed);
  return true;
}

AlertPresenter::Handle DialogAlertPresenter::Show(const Alert& alert) {
  std::lock_guard<std::mutex> guard(fShown->fMutex);
  const pid_t pid = _Spawn(alert, nullptr);
  if (pid == 0) return 0;
  const Handle handle = fShown->fNextHandle++;
  fShown->fPids[handle] = pid;
  // The dialog is reaped when it ends; until then its id cannot be reused,
  // so Dismiss never signals a stranger.
  std::thread([shown = fShown, handle, pid] {
    siginfo_t info{};
    while (waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    std::lock_guard<std::mutex> reaping(shown->fMutex);
    shown->fPids.erase(handle);
    int status = 0;
    WaitForExit(pid, &status);
  }).detach();
  return handle;
}

void DialogAlertPresenter::Dismiss(Handle handle) {
  std::lock_guard<std::mutex> guard(fShown->fMutex);
  auto found = fShown->fPids.find(handle);
  if (found != fShown->fPids.end()) kill(found->second, SIGTERM);
}

}  // namespace zeft::platform
