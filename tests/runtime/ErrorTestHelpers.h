// Helpers of the error tests: a localizer with a fixed table, a scope
// without application object, and running a body on a task of its own
// (whose error stack starts empty).
#pragma once

#include <functional>
#include <map>
#include <thread>

#include "RuntimeTestHelpers.h"
#include "core/VString.h"
#include "process/VProcess.h"
#include "runtime/VErrorBase.h"
#include "runtime/VTask.h"
#include "xml/ILocalizer.h"

namespace zeft::test {

// Answers the texts of its table, declines every other code, and counts
// the questions.
class TableLocalizer : public ILocalizer {
 public:
  explicit TableLocalizer(std::map<VError, const char*> texts) : fTexts(std::move(texts)) {}
  DialectCode GetLocalizationLanguage() const override { return kDialectEnglishUS; }
  bool LocalizeErrorMessage(VError code, VString& text) override {
    ++fCalls;
    auto it = fTexts.find(code);
    if (it == fTexts.end()) return false;
    text = VString(it->second);
    return true;
  }
  bool LocalizeStringWithKey(const VString&, VString&) override { return false; }
  bool LocalizeStringWithDotStringsKey(const VString&, VString&) override { return false; }
  VValueBag* RetainGroupBag(const VString&) override { return nullptr; }

  int fCalls = 0;

 private:
  std::map<VError, const char*> fTexts;
};

// Registers a localizer for the length of a scope.
class StLocalizerRegistration {
 public:
  StLocalizerRegistration(uint32 component, ILocalizer* localizer) : fComponent(component) {
    VErrorBase::RegisterLocalizer(component, localizer);
  }
  ~StLocalizerRegistration() { VErrorBase::UnregisterLocalizer(fComponent); }

 private:
  uint32 fComponent;
};

// The state before the application object exists (or after it is gone).
class StWithoutProcess {
 public:
  StWithoutProcess() : fSaved(VProcess::sInstance) { VProcess::sInstance = nullptr; }
  ~StWithoutProcess() { VProcess::sInstance = fSaved; }

 private:
  VProcess* fSaved;
};

// Runs `body` on a new task and waits for its end.
inline void RunOnNewTask(std::function<void()> body) {
  VTask* task = StartTask(std::move(body), kSmallStack);
  StopTask(task);
}

// Runs `body` on a plain thread that is no task.
inline void RunOnPlainThread(std::function<void()> body) {
  std::thread thread(std::move(body));
  thread.join();
}

}  // namespace zeft::test
