#include "runtime/VErrorBase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ErrorTestHelpers.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VString.h"
#include "runtime/VErrorThrow.h"
#include "support/ErrorTestSupport.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

// The error component of an application built on the toolbox: the toolbox
// knows no texts of its own for it.
constexpr uint32 kApplicationComponent = FourCC("UPNV");

using test::RunOnNewTask;
using test::RunOnPlainThread;
using test::StLocalizerRegistration;
using test::StWithoutProcess;
using test::TableLocalizer;

constinit const StPackedDictionaryKey kPath("path");
constinit const StPackedDictionaryKey kName("name");
constinit const StPackedDictionaryKey kErrorCode("error_code");

std::string Text(const VString& s) { return to_string(s); }

std::string Description(const VErrorBase& error) {
  VString text;
  error.GetErrorDescription(text);
  return Text(text);
}

std::string Dump(const VErrorBase& error) {
  VString text;
  error.DumpToString(text);
  return Text(text);
}

VRefPtr<VErrorBase> MakeError(VError code) {
  return VRefPtr<VErrorBase>(new VErrorBase(code), kAdoptRef);
}

TEST(VErrorBaseText, ErrorStringAndLocationOfEachComponent) {
  struct Case {
    VError code;
    const char* errorString;
    const char* location;
  };
  const Case cases[] = {
      {ToolboxError(600), "Error code: 600 (zeft)", "zeftcore"},
      {MakeVError(kComponentCarbon, -43), "Error code: -43 (CARB)", "component: 'CARB'"},
      {MakeVError(kComponentPosix, ENOENT), "Error code: 2 (POSX)", "component: 'POSX'"},
      {MakeVError(kApplicationComponent, 14), "Error code: 14 (UPNV)", "component: 'UPNV'"},
      {MakeVError(kComponentXML, 7), "Error code: 7 (xmlc)", "component: 'xmlc'"},
      {MakeVError(kComponentMach, int32(0x80000001)), "Error code: -2147483647 (MACH)",
       "component: 'MACH'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.errorString);
    auto error = MakeError(c.code);
    VString text("left over");
    error->GetErrorString(text);
    EXPECT_EQ(Text(text), c.errorString);
    error->GetLocation(text);
    EXPECT_EQ(Text(text), c.location);
  }
}

// The description comes from the component's localizer, else from the
// platform for native codes, else from "error_description", else from the
// error string.
TEST(VErrorBaseText, DescriptionLookUpOrder) {
  TableLocalizer toolboxTexts(
      {{ToolboxError(600), "The file {name} is missing{extra}."}, {ToolboxError(601), ""}});
  TableLocalizer posixTexts({{MakeVError(kComponentPosix, EACCES), "No way in."}});
  StLocalizerRegistration toolbox(kComponentToolbox, &toolboxTexts);
  StLocalizerRegistration posix(kComponentPosix, &posixTexts);

  struct Case {
    const char* what;
    VError code;
    const char* errorDescription;  // parameter, when not null
    std::string expected;
  };
  const Case cases[] = {
      {"localized, placeholders filled, missing ones removed", ToolboxError(600), nullptr,
       "The file notes.txt is missing."},
      {"the localizer wins over the parameter", ToolboxError(600), "ignored",
       "The file notes.txt is missing."},
      {"an empty localized text falls to the parameter", ToolboxError(601), "Cannot rename {name}.",
       "Cannot rename notes.txt."},
      {"declined without parameter: the error string", ToolboxError(602), nullptr,
       "Error code: 602 (zeft)"},
      {"declined, the parameter with placeholders", ToolboxError(602), "Cannot open {path}{nokey}.",
       "Cannot open /tmp/notes.txt."},
      {"a native localizer that knows the code", MakeVError(kComponentPosix, EACCES), nullptr,
       "No way in."},
      {"a native localizer that declines: the system's text", MakeVError(kComponentPosix, ENOENT),
       nullptr, strerrordesc_np(ENOENT)},
      {"an unknown POSIX number has no system text", MakeVError(kComponentPosix, 99999), nullptr,
       "Error code: 99999 (POSX)"},
      {"no platform text for Mach codes", MakeVError(kComponentMach, 5), "Mach said {path}",
       "Mach said /tmp/notes.txt"},
      {"no platform text for Carbon codes", MakeVError(kComponentCarbon, -43), nullptr,
       "Error code: -43 (CARB)"},
      {"no platform text for Cocoa codes", MakeVError(kComponentCocoa, 4), nullptr,
       "Error code: 4 (COCO)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto error = MakeError(c.code);
    error->GetBag()->SetString(kName, VString("notes.txt"));
    error->GetBag()->SetString(kPath, VString("/tmp/notes.txt"));
    if (c.errorDescription != nullptr) {
      error->GetBag()->SetString(ErrorBagKeys::error_description, VString(c.errorDescription));
    }
    EXPECT_EQ(Description(*error), c.expected);
  }
}

TEST(VErrorBaseText, UnregisteredLocalizerIsNoLongerAsked) {
  TableLocalizer texts({{ToolboxError(600), "localized"}});
  {
    StLocalizerRegistration registration(kComponentToolbox, &texts);
    EXPECT_EQ(VErrorBase::GetLocalizer(kComponentToolbox), &texts);
    EXPECT_EQ(Description(*MakeError(ToolboxError(600))), "localized");
  }
  EXPECT_EQ(VErrorBase::GetLocalizer(kComponentToolbox), nullptr);
  EXPECT_EQ(Description(*MakeError(ToolboxError(600))), "Error code: 600 (zeft)");
  EXPECT_EQ(texts.fCalls, 1);
}

TEST(VErrorBaseText, RegistrationReplacesAndUnknownUnregistrationIsIgnored) {
  TableLocalizer first({{MakeVError(kApplicationComponent, 3), "first"}});
  TableLocalizer second({{MakeVError(kApplicationComponent, 3), "second"}});
  VErrorBase::RegisterLocalizer(kApplicationComponent, &first);
  VErrorBase::RegisterLocalizer(kApplicationComponent, &second);
  VErrorBase::UnregisterLocalizer(FourCC("none"));
  EXPECT_EQ(VErrorBase::GetLocalizer(kApplicationComponent), &second);
  EXPECT_EQ(Description(*MakeError(MakeVError(kApplicationComponent, 3))), "second");
  EXPECT_EQ(first.fCalls, 0);
  VErrorBase::UnregisterLocalizer(kApplicationComponent);
  EXPECT_EQ(VErrorBase::GetLocalizer(kApplicationComponent), nullptr);
}

// A program may unregister its localizer while another task still describes
// errors (the logger task formats records until it stops).
TEST(VErrorBaseText, RegistrationWhileAnotherThreadDescribesErrors) {
  TableLocalizer texts({{MakeVError(kApplicationComponent, 3), "localized"}});
  std::atomic<bool> stop{false};
  std::thread describer([&] {
    while (!stop.load()) {
      const std::string text = Description(*MakeError(MakeVError(kApplicationComponent, 3)));
      EXPECT_TRUE(text == "localized" || text.rfind("Error code: 3", 0) == 0) << text;
    }
  });
  for (int i = 0; i < 2000; ++i) {
    VErrorBase::RegisterLocalizer(kApplicationComponent, &texts);
    VErrorBase::UnregisterLocalizer(kApplicationComponent);
  }
  stop.store(true);
  describer.join();
}

// The description used to be whatever the caller's string held when the
// code was 0.
TEST(VErrorBaseText, DescriptionOfCodeZeroIgnoresTheCallersText) {
  VErrorBase error;
  VString text("stale text of the caller");
  error.GetErrorDescription(text);
  EXPECT_EQ(Text(text), "Error code: 0 ()");
}

TEST(VErrorBaseText, ActionDescription) {
  auto error = MakeError(ToolboxError(600));
  VString text("stale");
  error->GetActionDescription(text);
  EXPECT_EQ(Text(text), "");
  error->GetBag()->SetString(kPath, VString("/a/b"));
  error->GetBag()->SetString(ErrorBagKeys::action_description,
                             VString("Check {path}{gone} and retry."));
  error->GetActionDescription(text);
  EXPECT_EQ(Text(text), "Check /a/b and retry.");
}

// A localizer that also knows texts by key.
class KeyedLocalizer : public TableLocalizer {
 public:
  KeyedLocalizer(std::map<VError, const char*> texts, std::map<std::string, const char*> keys)
      : TableLocalizer(std::move(texts)), fKeys(std::move(keys)) {}
  bool LocalizeStringWithKey(const VString& key, VString& text) override {
    auto it = fKeys.find(Text(key));
    if (it == fKeys.end()) return false;
    text = VString(it->second);
    return true;
  }

 private:
  std::map<std::string, const char*> fKeys;
};

// A record pushed with its native code carries the native error's text,
// so that its description can say why: "No space left on device".
TEST(VErrorBaseText, NativeTextOfARecordPushedWithItsNativeCode) {
  const char* kCopyFailed = "'{path}' could not be copied: {native_description}.";
  struct Case {
    const char* what;
    VError native;
    const char* noNativeText;  // the localizer's "NoNativeDescription", when not null
    std::string expected;
  };
  const Case cases[] = {
      {"a POSIX code", PosixError(ENOSPC), nullptr,
       "'/x' could not be copied: No space left on device."},
      {"without native code: the localizer's text", VE_OK, "no further detail is known",
       "'/x' could not be copied: no further detail is known."},
      {"a toolbox code is no native one", ToolboxError(605), "unknown",
       "'/x' could not be copied: unknown."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::map<std::string, const char*> keys;
    if (c.noNativeText != nullptr) keys["NoNativeDescription"] = c.noNativeText;
    KeyedLocalizer texts({{ToolboxError(605), kCopyFailed}}, keys);
    StLocalizerRegistration registration(kComponentToolbox, &texts);
    test::ErrorCollector errors;
    auto* error = new VErrorBase(ToolboxError(605));
    error->GetBag()->SetString(kPath, VString("/x"));
    VRefPtr<VErrorBase> kept(error);
    ASSERT_TRUE(_PushRetainedError(error, c.native));
    EXPECT_EQ(Description(*kept), c.expected);
  }
}

TEST(VErrorCodes, PosixResultKeepsSuccess) {
  static_assert(PosixResult(0) == VE_OK);
  EXPECT_EQ(PosixResult(ENOSPC), MakeVError(kComponentPosix, ENOSPC));
  EXPECT_EQ(PosixResult(-1), MakeVError(kComponentPosix, -1));
}

TEST(VErrorBaseText, DumpLines) {
  // Raised outside any task: task 0 without name, and the lines that are
  // empty are left out.
  std::string bare;
  std::string full;
  RunOnPlainThread([&] {
    auto error = MakeError(ToolboxError(600));
    bare = Dump(*error);
    error->GetBag()->SetString(ErrorBagKeys::error_description, VString("The file is missing."));
    error->GetBag()->SetString(ErrorBagKeys::action_description, VString("Put it back."));
    full = Dump(*error);
  });
  EXPECT_EQ(bare, "Error code: 600 (zeft)\nError code: 600 (zeft)\nzeftcore\ntask 0\n");
  EXPECT_EQ(full, "Error code: 600 (zeft)\nThe file is missing.\nzeftcore\nPut it back.\ntask 0\n");

  std::string named;
  int32 taskID = 0;
  RunOnNewTask([&] {
    VTask::GetCurrent()->SetName(VString("Worker"));
    taskID = VTask::GetCurrentID();
    named = Dump(*MakeError(MakeVError(kComponentCarbon, -43)));
  });
  EXPECT_EQ(named, "Error code: -43 (CARB)\nError code: -43 (CARB)\ncomponent: 'CARB'\ntask " +
                       std::to_string(taskID) + ", name: 'Worker'\n");
}

TEST(VErrorBaseText, TaskOfTheRaiser) {
  int32 id = -1;
  VString name;
  RunOnPlainThread([&] { MakeError(ToolboxError(1))->GetTaskName(name, &id); });
  EXPECT_EQ(id, 0);
  EXPECT_TRUE(name.IsEmpty());

  int32 expectedID = 0;
  RunOnNewTask([&] {
    VTask::GetCurrent()->SetName(VString("Namer"));
    expectedID = VTask::GetCurrentID();
    auto error = MakeError(ToolboxError(1));
    error->GetTaskName(name, nullptr);
    id = error->GetTaskID();
  });
  EXPECT_NE(expectedID, 0);
  EXPECT_EQ(id, expectedID);
  EXPECT_EQ(Text(name), "Namer");
  // The default record consults no task.
  EXPECT_EQ(VErrorBase().GetTaskID(), 0);
}

TEST(VErrorBaseText, DebugDumpWithAndWithoutApplicationObject) {
  auto error = MakeError(MakeVError(kComponentCarbon, -43));
  char buffer[1024];

  int size = sizeof(buffer);
  EXPECT_EQ(error->DebugDump(buffer, size), kCharSetUTF16);
  VString dump;
  error->DumpToString(dump);
  ASSERT_EQ(size, dump.GetLength() * 2);
  EXPECT_EQ(std::memcmp(buffer, dump.GetCPointer(), size_t(size)), 0);
  size = 10;  // five units
  error->DebugDump(buffer, size);
  EXPECT_EQ(size, 10);
  EXPECT_EQ(std::memcmp(buffer, u"Error", 10), 0);

  StWithoutProcess noProcess;
  const std::string expected =
      "Error code: -43, component: 'CARB', task ID: " + std::to_string(error->GetTaskID());
  size = sizeof(buffer);
  EXPECT_EQ(error->DebugDump(buffer, size), kCharSetUTF8);
  EXPECT_EQ(std::string(buffer, size_t(size)), expected);
  // A small buffer holds a cut text, and the size says so.
  size = 12;
  error->DebugDump(buffer, size);
  EXPECT_EQ(std::string(buffer, size_t(size)), "Error code:");
}

TEST(VErrorBaseBag, SaveWritesTheKeysAndReplacesTheParameters) {
  auto error = MakeError(MakeVError(kComponentCarbon, -43));
  error->GetBag()->SetString(kPath, VString("/x"));
  VValueBag bag;
  bag.SetString(kErrorCode, VString("old"));
  auto* stale = new VValueBag;
  bag.AddElement(ErrorBagKeys::parameters, stale);
  stale->Release();

  EXPECT_EQ(error->SaveToBag(bag), VE_OK);
  const VValueSingle* code = bag.GetAttributeValue(ErrorBagKeys::error_code);
  ASSERT_NE(code, nullptr);
  EXPECT_EQ(code->GetValueKind(), kValueKindLong8);
  EXPECT_EQ(uint64(code->GetLong8()), MakeVError(kComponentCarbon, -43));
  const VValueSingle* taskID = bag.GetAttributeValue(ErrorBagKeys::task_id);
  ASSERT_NE(taskID, nullptr);
  EXPECT_EQ(taskID->GetValueKind(), kValueKindLong);
  EXPECT_EQ(taskID->GetLong(), error->GetTaskID());
  EXPECT_TRUE(bag.AttributeExists(ErrorBagKeys::task_name));
  VBagArray* parameters = bag.GetElements(ErrorBagKeys::parameters);
  ASSERT_NE(parameters, nullptr);
  ASSERT_EQ(parameters->GetCount(), 1);
  VString path;
  EXPECT_TRUE(parameters->GetNth(1)->GetString(kPath, path));
  EXPECT_EQ(Text(path), "/x");
}

// The saved parameters used to be the record's own bag, which contexts
// still change after the record was saved (and the saved form may be read
// on the logger's task meanwhile).
TEST(VErrorBaseBag, SavedParametersAreACopy) {
  auto error = MakeError(ToolboxError(600));
  error->GetBag()->SetString(kPath, VString("/before"));
  VValueBag bag;
  error->SaveToBag(bag);
  error->GetBag()->SetString(kPath, VString("/after"));
  VString path;
  ASSERT_TRUE(bag.GetElements(ErrorBagKeys::parameters)->GetNth(1)->GetString(kPath, path));
  EXPECT_EQ(Text(path), "/before");
}

TEST(VErrorBaseBag, LoadRestoresWhatSaveWrote) {
  VValueBag bag;
  int32 id = 0;
  RunOnNewTask([&] {
    VTask::GetCurrent()->SetName(VString("Saver"));
    id = VTask::GetCurrentID();
    auto error = MakeError(MakeVError(kComponentPosix, EACCES));
    error->GetBag()->SetString(kPath, VString("/locked"));
    error->SaveToBag(bag);
  });
  VErrorBase loaded;
  EXPECT_EQ(loaded.LoadFromBag(bag), VE_OK);
  EXPECT_EQ(loaded.GetError(), MakeVError(kComponentPosix, EACCES));
  EXPECT_EQ(loaded.GetTaskID(), id);
  VString name;
  loaded.GetTaskName(name, nullptr);
  EXPECT_EQ(Text(name), "Saver");
  VString path;
  EXPECT_TRUE(loaded.GetBag()->GetString(kPath, path));
  EXPECT_EQ(Text(path), "/locked");
}

TEST(VErrorBaseBag, LoadOfMissingAttributes) {
  auto error = MakeError(ToolboxError(650));
  const int32 id = error->GetTaskID();
  error->GetBag()->SetString(kPath, VString("/kept"));
  VValueBag empty;
  error->LoadFromBag(empty);
  // Code, ID and parameters stay; the name is cleared.
  EXPECT_EQ(error->GetError(), ToolboxError(650));
  EXPECT_EQ(error->GetTaskID(), id);
  VString name("x");
  error->GetTaskName(name, nullptr);
  EXPECT_TRUE(name.IsEmpty());
  EXPECT_TRUE(error->GetBag()->AttributeExists(kPath));
}

TEST(VErrorBase, CopyTakesACloneOfTheParameters) {
  auto error = MakeError(ToolboxError(605));
  error->GetBag()->SetString(kPath, VString("/src"));
  VRefPtr<VErrorBase> copy(new VErrorBase(*error), kAdoptRef);
  EXPECT_EQ(copy->GetError(), ToolboxError(605));
  EXPECT_EQ(copy->GetTaskID(), error->GetTaskID());
  EXPECT_NE(copy->GetBag(), error->GetBag());
  error->GetBag()->SetString(kPath, VString("/changed"));
  VString path;
  copy->GetBag()->GetString(kPath, path);
  EXPECT_EQ(Text(path), "/src");
}

TEST(VErrorBase, UserGeneratedAndImportedRecords) {
  std::vector<test::ErrorRecord> records;
  VString description;
  VString dump;
  {
    test::ErrorCollector collector;
    EXPECT_EQ(vThrowUserGeneratedError(MakeVError(kApplicationComponent, 41), VString("Bad file.")),
              MakeVError(kApplicationComponent, 41));
    records = collector.Errors();
    VErrorBase* last = VTask::GetErrorContext(false)->GetLast();
    ASSERT_NE(last, nullptr);
    last->GetErrorDescription(description);
    last->DumpToString(dump);
  }
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].code, MakeVError(kApplicationComponent, 41));
  EXPECT_EQ(Text(description), "Bad file.");
  EXPECT_EQ(Text(dump), "Bad file.");

  VRefPtr<VErrorImported> imported(new VErrorImported(ToolboxError(900), VString("From afar.")),
                                   kAdoptRef);
  imported->GetErrorDescription(description);
  EXPECT_EQ(Text(description), "From afar.");
  imported->DumpToString(dump);
  EXPECT_EQ(Text(dump), "From afar.");
  imported->GetLocation(description);
  EXPECT_EQ(Text(description), "REST Imported Error");
}

}  // namespace
}  // namespace zeft
