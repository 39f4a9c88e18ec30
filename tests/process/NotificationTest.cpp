#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/VString.h"
#include "platform/AlertPresenter.h"
#include "platform/ConsoleAlertPresenter.h"
#include "platform/DialogAlertPresenter.h"
#include "process/VSystem.h"
#include "process/mac/XMacSystem.h"
#include "runtime/VDebugContext.h"
#include "runtime/VErrorBase.h"
#include "runtime/VNotificationDebugMessageHandler.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

using platform::Alert;
using platform::AlertAnswer;
using platform::AlertPresenter;

// Records every alert and answers with the scripted button.
class RecordingPresenter : public AlertPresenter {
 public:
  RecordingPresenter() { AlertPresenter::SetForTesting(this); }
  ~RecordingPresenter() override { AlertPresenter::SetForTesting(nullptr); }

  bool ShowAndWait(const Alert& alert, AlertAnswer& answer) override {
    fShown.push_back(alert);
    answer = fAnswer;
    return true;
  }
  Handle Show(const Alert& alert) override {
    fShown.push_back(alert);
    return fShown.size();
  }
  void Dismiss(Handle handle) override { fDismissed.push_back(handle); }

  AlertAnswer fAnswer = AlertAnswer::kDefault;
  std::vector<Alert> fShown;
  std::vector<Handle> fDismissed;
};

struct ButtonCase {
  uint32 flags;
  const char* titles[3];               // default, alternate, other ("" none)
  ENotificationResponse responses[3];  // reported for each position
};

TEST(DisplayNotification, ButtonSetsAndTheirResponses) {
  const ButtonCase cases[] = {
      {0, {"", "", ""}, {ERN_OK, ERN_None, ERN_None}},
      {3, {"", "", ""}, {ERN_OK, ERN_None, ERN_None}},
      {0x3F, {"", "", ""}, {ERN_OK, ERN_None, ERN_None}},
      {0x11, {"OK", "Cancel", ""}, {ERN_OK, ERN_Cancel, ERN_None}},
      {0x01, {"Cancel", "OK", ""}, {ERN_Cancel, ERN_OK, ERN_None}},
      {0x12, {"Yes", "No", ""}, {ERN_Yes, ERN_No, ERN_None}},
      {0x02, {"No", "Yes", ""}, {ERN_No, ERN_Yes, ERN_None}},
      {0x14, {"Yes", "No", "Cancel"}, {ERN_Yes, ERN_No, ERN_Cancel}},
      {0x24, {"No", "Yes", "Cancel"}, {ERN_No, ERN_Yes, ERN_Cancel}},
      {0x04, {"Cancel", "No", "Yes"}, {ERN_Cancel, ERN_No, ERN_Yes}},
      {0x34, {"Cancel", "No", "Yes"}, {ERN_Cancel, ERN_No, ERN_Yes}},
      {0x05, {"Retry", "Ignore", "Abort"}, {ERN_Retry, ERN_Ignore, ERN_Abort}},
      {0x35, {"Retry", "Ignore", "Abort"}, {ERN_Retry, ERN_Ignore, ERN_Abort}},
  };
  const AlertAnswer answers[3] = {AlertAnswer::kDefault, AlertAnswer::kAlternate,
                                  AlertAnswer::kOther};
  RecordingPresenter presenter;
  for (const ButtonCase& c : cases) {
    for (int position = 0; position < 3; ++position) {
      if (position > 0 && c.titles[position][0] == '\0') continue;
      presenter.fAnswer = answers[position];
      ENotificationResponse response = ERN_Dismissed;
      ASSERT_TRUE(VSystem::DisplayNotification(VString("T"), VString("M"), c.flags, &response));
      EXPECT_EQ(response, c.responses[position]) << "flags " << c.flags << " position " << position;
      const Alert& shown = presenter.fShown.back();
      for (int i = 0; i < 3; ++i) EXPECT_EQ(shown.fButtons[i], c.titles[i]) << c.flags;
    }
  }
  presenter.fAnswer = AlertAnswer::kDismissed;
  ENotificationResponse response = ERN_OK;
  ASSERT_TRUE(VSystem::DisplayNotification(VString("T"), VString("M"), 2, &response));
  EXPECT_EQ(response, ERN_Dismissed);
  presenter.fAnswer = AlertAnswer::kUnreadable;
  ASSERT_TRUE(VSystem::DisplayNotification(VString("T"), VString("M"), 2, &response));
  EXPECT_EQ(response, ERN_None);
}

TEST(VNotificationDebugMessageHandler, AsksThroughAnAbortRetryIgnoreAlert) {
  RecordingPresenter presenter;
  VNotificationDebugMessageHandler handler;
  VDebugContext context;
  // The alert's default button is "Retry", the alternate "Ignore", the
  // other "Abort" (a break, the debugger being taken as present).
  const struct {
    AlertAnswer answer;
    int32 expected;
  } cases[] = {{AlertAnswer::kDefault, kDebugAnswerContinue},
               {AlertAnswer::kAlternate, kDebugAnswerIgnore},
               {AlertAnswer::kOther, kDebugAnswerBreak},
               {AlertAnswer::kDismissed, kDebugAnswerIgnore}};
  for (const auto& c : cases) {
    presenter.fAnswer = c.answer;
    EXPECT_EQ(handler.AssertFailed(context, "x > 0", "f.cpp", 12), c.expected);
  }
  ASSERT_EQ(presenter.fShown.size(), 4u);
  EXPECT_EQ(presenter.fShown[0].fHeader, "Assert Failed");
  EXPECT_EQ(presenter.fShown[0].fMessage, "Condition: x > 0\nFile: f.cpp, 12");

  presenter.fAnswer = AlertAnswer::kOther;
  VErrorBase error(ToolboxError(600));
  EXPECT_EQ(handler.ErrorThrown(context, &error), kDebugAnswerBreak);
  EXPECT_EQ(presenter.fShown.back().fHeader, "Error Thrown");
  EXPECT_EQ(presenter.fShown.back().fMessage.rfind("Error: ", 0), 0u);
  EXPECT_EQ(presenter.fShown.back().fMessage.back(), '\n');

  // A task that suppresses alerts is never asked.
  context.StartSuppressAlert();
  EXPECT_EQ(handler.AssertFailed(context, "c", "f", 1), kDebugAnswerContinue);
  EXPECT_EQ(handler.ErrorThrown(context, &error), kDebugAnswerContinue);
  EXPECT_EQ(presenter.fShown.size(), 5u);
}

TEST(DisplayNotification, HeaderMessageAndLevel) {
  RecordingPresenter presenter;
  ENotificationResponse response;
  VSystem::DisplayNotification(VString("Title"), VString("Body"), 0x202, &response);
  VSystem::DisplayNotification(VString(), VString("Only a message"), 0x2, &response);
  VSystem::DisplayNotification(VString(true), VString("Null title"), 0, &response);
  ASSERT_EQ(presenter.fShown.size(), 3u);
  EXPECT_EQ(presenter.fShown[0].fHeader, "Title");
  EXPECT_EQ(presenter.fShown[0].fMessage, "Body");
  EXPECT_TRUE(presenter.fShown[0].fCaution);
  EXPECT_EQ(presenter.fShown[1].fHeader, "Only a message");
  EXPECT_EQ(presenter.fShown[1].fMessage, "");
  EXPECT_FALSE(presenter.fShown[1].fCaution);
  EXPECT_EQ(presenter.fShown[2].fHeader, "Null title");
}

TEST(DisplayNotification, UnwaitedAlertsStayPendingUntilCancelled) {
  RecordingPresenter presenter;
  const size_t before = XMacSystem::CountPendingUserNotifications();
  EXPECT_TRUE(VSystem::DisplayNotification(VString("A"), VString("1"), 0, nullptr));
  EXPECT_TRUE(VSystem::DisplayNotification(VString("B"), VString("2"), 0, nullptr));
  EXPECT_EQ(XMacSystem::CountPendingUserNotifications(), before + 2);
  VSystem::CancelAllPendingUserNotifications();
  EXPECT_EQ(XMacSystem::CountPendingUserNotifications(), 0u);
  EXPECT_EQ(presenter.fDismissed.size(), before + 2);
}

// The read end of a pipe standing in for standard error.
class CapturedOutput {
 public:
  CapturedOutput() {
    if (pipe2(fFDs, O_CLOEXEC) != 0) fFDs[0] = fFDs[1] = -1;
  }
  ~CapturedOutput() {
    for (int fd : fFDs) {
      if (fd >= 0) close(fd);
    }
  }
  int WriteEnd() const { return fFDs[1]; }
  std::string Read() {
    close(fFDs[1]);
    fFDs[1] = -1;
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(fFDs[0], buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
    return text;
  }

 private:
  int fFDs[2];
};

TEST(ConsoleAlertPresenter, WritesTheAlertAndAnswersTheDefaultAtOnce) {
  CapturedOutput output;
  platform::ConsoleAlertPresenter console(output.WriteEnd());
  Alert alert;
  alert.fHeader = "Update failed";
  alert.fMessage = "See the log.";
  alert.fButtons[0] = "No";
  alert.fButtons[1] = "Yes";
  AlertAnswer answer = AlertAnswer::kUnreadable;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(console.ShowAndWait(alert, answer));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60)) << "it blocked";
  EXPECT_EQ(answer, AlertAnswer::kDefault);
  const std::string text = output.Read();
  EXPECT_NE(text.find("Update failed\nSee the log.\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Buttons: [No] Yes"), std::string::npos) << text;
  EXPECT_NE(text.find("Answered: No"), std::string::npos) << text;
}

TEST(ConsoleAlertPresenter, AClosedStandardErrorStillAnswers) {
  int fd = -1;
  {
    CapturedOutput output;
    fd = output.WriteEnd();
  }  // closed now
  platform::ConsoleAlertPresenter console(fd);
  Alert alert;
  alert.fHeader = "Nobody reads this";
  AlertAnswer answer = AlertAnswer::kUnreadable;
  ASSERT_TRUE(console.ShowAndWait(alert, answer));
  EXPECT_EQ(answer, AlertAnswer::kDefault);
  EXPECT_NE(console.Show(alert), 0u);
}

TEST(ConsoleAlertPresenter, ThroughTheFacadeTheDefaultButtonIsTheResponse) {
  CapturedOutput output;
  platform::ConsoleAlertPresenter console(output.WriteEnd());
  AlertPresenter::SetForTesting(&console);
  ENotificationResponse response = ERN_None;
  EXPECT_TRUE(
      VSystem::DisplayNotification(VString("Update"), VString("Open the log?"), 2, &response));
  AlertPresenter::SetForTesting(nullptr);
  EXPECT_EQ(response, ERN_No);
  EXPECT_NE(output.Read().find("[No] Yes"), std::string::npos);
}

// A dialog program that records its arguments, prints `printed` and exits
// with `code`.
class FakeDialog {
 public:
  FakeDialog(const std::string& printed, int code) {
    fProgram = fFolder.Write("dialog", "#!/bin/sh\nprintf '%s\\n' \"$@\" > " +
                                           fFolder.Path("args") + "\nprintf '" + printed +
                                           "'\nexit " + std::to_string(code) + "\n");
    chmod(fProgram.c_str(), 0755);
  }
  const std::string& Program() const { return fProgram; }
  std::string Arguments() const { return test::ReadWholeFile(fFolder.Path("args")); }

 private:
  test::TempFolder fFolder;
  std::string fProgram;
};

TEST(DialogAlertPresenter, ButtonsPressedMapBackToTheAlert) {
  using Kind = platform::DialogAlertPresenter::Kind;
  Alert three;
  three.fHeader = "Header";
  three.fMessage = "Message";
  three.fButtons[0] = "Retry";
  three.fButtons[1] = "Ignore";
  three.fButtons[2] = "Abort";
  Alert two = three;
  two.fButtons[2].clear();
  Alert one;
  one.fHeader = "Only";
  struct Case {
    Kind kind;
    const Alert* alert;
    const char* printed;
    int code;
    AlertAnswer answer;
  } cases[] = {
      {Kind::kZenity, &three, "", 0, AlertAnswer::kDefault},
      {Kind::kZenity, &three, "", 1, AlertAnswer::kAlternate},
      {Kind::kZenity, &three, "Abort\\n", 1, AlertAnswer::kOther},
      {Kind::kZenity, &two, "", 5, AlertAnswer::kUnreadable},
      {Kind::kZenity, &one, "", 1, AlertAnswer::kDismissed},
      {Kind::kKdialog, &three, "", 2, AlertAnswer::kOther},
      {Kind::kKdialog, &two, "", 1, AlertAnswer::kAlternate},
      {Kind::kKdialog, &two, "", 2, AlertAnswer::kDismissed},
      {Kind::kKdialog, &one, "", 0, AlertAnswer::kDefault},
  };
  for (const Case& c : cases) {
    FakeDialog dialog(c.printed, c.code);
    platform::DialogAlertPresenter presenter(dialog.Program(), c.kind);
    AlertAnswer answer = AlertAnswer::kUnreadable;
    ASSERT_TRUE(presenter.ShowAndWait(*c.alert, answer));
    EXPECT_EQ(int(answer), int(c.answer)) << int(c.kind) << " " << c.code << " " << c.printed;
  }

  FakeDialog zenity("", 0);
  platform::DialogAlertPresenter presenter(zenity.Program(), Kind::kZenity);
  AlertAnswer answer;
  ASSERT_TRUE(presenter.ShowAndWait(three, answer));
  EXPECT_EQ(zenity.Arguments(),
            "--question\n--ok-label=Retry\n--cancel-label=Ignore\n--extra-button=Abort\n"
            "--no-markup\n--title=Header\n--text=Message\n");
}

TEST(DialogAlertPresenter, AnAlertShownWithoutWaitingCanBeDismissed) {
  test::TempFolder folder;
  // Stays up far longer than the bound below allows Show.
  const std::string program = folder.Write("dialog", "#!/bin/sh\nexec sleep 120\n");
  chmod(program.c_str(), 0755);
  platform::DialogAlertPresenter presenter(program, platform::DialogAlertPresenter::Kind::kZenity);
  Alert alert;
  alert.fHeader = "Left standing";
  const auto start = std::chrono::steady_clock::now();
  const AlertPresenter::Handle handle = presenter.Show(alert);
  ASSERT_NE(handle, 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  presenter.Dismiss(handle);
  presenter.Dismiss(handle + 1000);  // unknown: nothing happens
}

}  // namespace
}  // namespace zeft
