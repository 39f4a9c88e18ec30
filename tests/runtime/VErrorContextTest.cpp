#include "runtime/VErrorContext.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "ErrorTestHelpers.h"
#include "RuntimeTestHelpers.h"
#include "core/VString.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorTaskContext.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VFunctionMessage.h"
#include "runtime/VTask.h"
#include "support/ErrorTestSupport.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using test::HasToolboxError;
using test::ReadErrors;
using test::RunOnNewTask;
using test::RunOnPlainThread;
using test::StWithoutProcess;

constinit const StPackedDictionaryKey kWhere("where");
constinit const StPackedDictionaryKey kDetail("detail");

VRefPtr<VErrorBase> MakeError(VError code) {
  return VRefPtr<VErrorBase>(new VErrorBase(code), kAdoptRef);
}

VErrorTaskContext* Stack() { return VTask::GetErrorContext(false); }

std::string Text(const VString& s) { return to_string(s); }

// --- One level ----------------------------------------------------------

TEST(VErrorContext, PushMergesTheLevelParametersAndKeepsOrder) {
  VRefPtr<VErrorContext> level(new VErrorContext, kAdoptRef);
  level->GetParametersForPushedErrors(true)->SetString(kWhere, VString("copying"));
  auto first = MakeError(ToolboxError(600));
  first->GetBag()->SetString(kWhere, VString("overwritten"));
  auto second = MakeError(ToolboxError(650));
  EXPECT_FALSE(level->PushError(nullptr));
  EXPECT_TRUE(level->PushError(first.Get()));
  EXPECT_TRUE(level->PushError(second.Get()));
  EXPECT_EQ(first->GetRefCount(), 2);

  auto records = ReadErrors(level.Get());
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].parameters["where"], "copying");
  EXPECT_EQ(records[1].parameters["where"], "copying");
  EXPECT_EQ(level->GetFirst(), first.Get());
  EXPECT_EQ(level->GetLast(), second.Get());
  EXPECT_EQ(level->GetLastError(), ToolboxError(650));
  EXPECT_EQ(level->Find(ToolboxError(600)), first.Get());
  EXPECT_EQ(level->Find(ToolboxError(601)), nullptr);

  EXPECT_TRUE(level->FindAny(ToolboxError(600), ToolboxError(650), 0));
  EXPECT_TRUE(level->FindAny(ToolboxError(1), ToolboxError(650), 0));
  EXPECT_FALSE(level->FindAny(ToolboxError(1), 0, ToolboxError(650)));
  EXPECT_FALSE(level->FindAny(VE_OK, ToolboxError(650)));
  EXPECT_FALSE(VErrorContext().FindAny(ToolboxError(650), 0));

  EXPECT_TRUE(level->DebugDisplay());
  level->Flush();
  EXPECT_TRUE(level->IsEmpty());
  EXPECT_EQ(level->GetLastError(), VE_OK);
  EXPECT_EQ(first->GetRefCount(), 1);
  EXPECT_FALSE(level->DebugDisplay());
}

TEST(VErrorContext, OutOfMemoryErrorMarksTheLevelUntilFlushed) {
  VErrorContext level;
  level.PushError(MakeError(ToolboxError(200)).Get());
  EXPECT_FALSE(level.FailedForMemory());
  level.PushError(MakeError(ToolboxError(toolbox_error::kMemoryFull)).Get());
  level.PushError(MakeError(ToolboxError(200)).Get());
  EXPECT_TRUE(level.FailedForMemory());
  level.Flush();
  EXPECT_FALSE(level.FailedForMemory());
}

// Receiving records used to reset the receiver's own out-of-memory mark
// to the sender's.
TEST(VErrorContext, ReceivingRecordsKeepsTheOutOfMemoryMark) {
  VErrorContext receiver;
  receiver.PushError(MakeError(ToolboxError(toolbox_error::kMemoryFull)).Get());
  VErrorContext sender;
  sender.PushError(MakeError(ToolboxError(600)).Get());
  receiver.PushErrors(sender);
  EXPECT_TRUE(receiver.FailedForMemory());
  EXPECT_EQ(receiver.GetLastError(), ToolboxError(600));

  VErrorContext fresh;
  VErrorContext failed;
  failed.PushError(MakeError(ToolboxError(toolbox_error::kMemoryFull)).Get());
  failed.Flush();
  failed.PushError(MakeError(ToolboxError(toolbox_error::kMemoryFull)).Get());
  fresh.PushErrors(failed);
  EXPECT_TRUE(fresh.FailedForMemory());
}

// The copy used to merge the copied parameters into records that already
// held them, doubling their sub-bags.
TEST(VErrorContext, CopyKeepsRecordsAsTheyAre) {
  VErrorContext level(true, true);
  level.AddErrorToFilter(ToolboxError(200));
  VValueBag* parameters = level.GetParametersForPushedErrors(true);
  parameters->SetString(kWhere, VString("here"));
  auto* detail = new VValueBag;
  parameters->AddElement(kDetail, detail);
  detail->Release();
  level.PushError(MakeError(ToolboxError(600)).Get());
  level.PushError(MakeError(ToolboxError(toolbox_error::kMemoryFull)).Get());

  VErrorContext copy(level);
  EXPECT_TRUE(copy.IsKeepingErrors());
  EXPECT_FALSE(copy.IsSilent());
  EXPECT_FALSE(copy.IsErrorFiltered(ToolboxError(200)));
  EXPECT_TRUE(copy.FailedForMemory());
  ASSERT_EQ(copy.GetErrorCount(), 2);
  EXPECT_EQ(copy.GetFirst(), level.GetFirst());
  VBagArray* details = copy.GetFirst()->GetBag()->GetElements(kDetail);
  ASSERT_NE(details, nullptr);
  EXPECT_EQ(details->GetCount(), 1);
  VString where;
  EXPECT_TRUE(copy.GetParametersForPushedErrors(false)->GetString(kWhere, where));
  EXPECT_NE(copy.GetParametersForPushedErrors(false), parameters);
}

TEST(VErrorContext, BagRoundTrip) {
  VErrorContext level;
  auto error = MakeError(MakeVError(kComponentPosix, 13));
  error->GetBag()->SetString(kWhere, VString("/etc"));
  level.PushError(error.Get());
  level.PushError(MakeError(ToolboxError(605)).Get());
  VValueBag bag;
  EXPECT_EQ(level.SaveToBag(bag), VE_OK);
  ASSERT_NE(bag.GetElements(ErrorBagKeys::error), nullptr);
  EXPECT_EQ(bag.GetElements(ErrorBagKeys::error)->GetCount(), 2);

  VErrorContext loaded;
  loaded.GetParametersForPushedErrors(true)->SetString(kDetail, VString("not merged"));
  EXPECT_EQ(loaded.LoadFromBag(bag), VE_OK);
  auto records = ReadErrors(&loaded);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].code, MakeVError(kComponentPosix, 13));
  EXPECT_EQ(records[0].parameters, (std::map<std::string, std::string>{{"where", "/etc"}}));
  EXPECT_EQ(records[1].code, ToolboxError(605));
  EXPECT_TRUE(records[1].parameters.empty());
}

// --- A task's stack -----------------------------------------------------

TEST(VErrorTaskContext, NoStackWithoutATask) {
  RunOnPlainThread([] {
    EXPECT_EQ(VTask::GetErrorContext(true), nullptr);
    auto error = MakeError(ToolboxError(600));
    EXPECT_FALSE(VTask::PushError(error.Get()));
    // An installer still collects what is pushed into it directly.
    StErrorContextInstaller installer;
    EXPECT_TRUE(installer.GetContext()->PushError(error.Get()));
    EXPECT_EQ(installer.GetLastError(), ToolboxError(600));
  });
}

TEST(VErrorTaskContext, ThrowErrorLeavesNoTraceWithoutApplicationObjectOrTask) {
  {
    test::ErrorCollector errors;
    {
      StWithoutProcess noProcess;
      _ThrowError(ToolboxError(600));
    }
    EXPECT_TRUE(errors.Errors().empty());
  }
  RunOnNewTask([] {
    VString one("1");
    VString three("3");
    _ThrowError(ToolboxError(600), &one, nullptr, &three);
    ASSERT_NE(Stack(), nullptr);
    auto records = test::CurrentErrors();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].parameters,
              (std::map<std::string, std::string>{{"p1", "1"}, {"p3", "3"}}));
    EXPECT_EQ(VTask::GetCurrent()->GetLastError(), ToolboxError(600));
  });
  RunOnPlainThread([] { _ThrowError(ToolboxError(600)); });  // nothing to crash on
}

TEST(VErrorTaskContext, FilteredCodeSilencesTheLevel) {
  RunOnNewTask([] {
    StErrorContextInstaller filtering(ToolboxError(200), ToolboxError(201), 0);
    VErrorTaskContext* stack = Stack();
    EXPECT_TRUE(stack->IsErrorFiltered(ToolboxError(201)));
    bool silent = true;
    EXPECT_TRUE(stack->PushError(MakeError(ToolboxError(600)).Get(), &silent));
    EXPECT_FALSE(silent);
    EXPECT_FALSE(filtering.GetContext()->IsSilent());
    EXPECT_TRUE(stack->PushError(MakeError(ToolboxError(200)).Get(), &silent));
    EXPECT_TRUE(silent);
    // The end-of-data error is kept, and the level is silent from now on,
    // also for the levels opened above it.
    EXPECT_EQ(filtering.GetLastError(), ToolboxError(200));
    EXPECT_TRUE(filtering.GetContext()->IsSilent());
    EXPECT_TRUE(stack->PushError(MakeError(ToolboxError(600)).Get(), &silent));
    EXPECT_TRUE(silent);
    StErrorContextInstaller inner;
    EXPECT_TRUE(stack->PushError(MakeError(ToolboxError(650)).Get(), &silent));
    EXPECT_TRUE(silent);
    EXPECT_FALSE(stack->PushError(nullptr, &silent));
    EXPECT_FALSE(silent);
  });
}

TEST(VErrorTaskContext, DroppingAndKeepingLevels) {
  RunOnNewTask([] {
    _ThrowError(ToolboxError(600));
    VTask* task = VTask::GetCurrent();
    {
      StErrorContextInstaller dropping(false, false);
      _ThrowError(ToolboxError(650));
      EXPECT_EQ(task->GetLastError(), ToolboxError(650));
    }
    EXPECT_EQ(task->GetLastError(), ToolboxError(600));
    EXPECT_EQ(Stack()->GetContextCount(), 1);
    {
      StErrorContextInstaller keeping(true, false);
      keeping.GetContext()->GetParametersForPushedErrors(true)->SetString(kWhere, VString("inner"));
      _ThrowError(ToolboxError(651));
    }
    Stack()->GetTopContext()->GetParametersForPushedErrors(true)->SetString(kDetail,
                                                                            VString("outer"));
    {
      StErrorContextInstaller keeping(true, false);
      _ThrowError(ToolboxError(652));
    }
    auto records = test::CurrentErrors();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].code, ToolboxError(600));
    EXPECT_EQ(records[1].code, ToolboxError(651));
    EXPECT_EQ(records[1].parameters["where"], "inner");
    // The receiving level merges its own parameters into what it receives.
    EXPECT_EQ(records[2].parameters["detail"], "outer");
    EXPECT_EQ(task->GetLastError(), ToolboxError(652));
  });
}

TEST(VErrorTaskContext, KeptSilentLevels) {
  RunOnNewTask([] {
    // Closed above a non-silent level: the records move down.
    {
      StErrorContextInstaller outer(true, false);
      {
        StErrorContextInstaller silent(true, true);
        _ThrowError(ToolboxError(600));
      }
      EXPECT_EQ(outer.GetLastError(), ToolboxError(600));
      EXPECT_FALSE(outer.GetContext()->IsSilent());
    }
    // The closed outer level was the first: its records stay on the stack.
    EXPECT_EQ(Stack()->GetContextCount(), 1);
    VTask::FlushErrors();
    EXPECT_EQ(VTask::GetCurrent()->GetLastError(), VE_OK);
    EXPECT_EQ(Stack()->GetContextCount(), 1);
  });
  RunOnNewTask([] {
    // Closed as the only level: it stays, no longer silent, same records.
    VErrorContext* opened = nullptr;
    {
      StErrorContextInstaller silent(true, true);
      opened = silent.GetContext();
      _ThrowError(ToolboxError(600));
      _ThrowError(ToolboxError(601));
    }
    VErrorTaskContext* stack = Stack();
    ASSERT_EQ(stack->GetContextCount(), 1);
    EXPECT_NE(stack->GetTopContext(), opened);
    EXPECT_FALSE(stack->GetTopContext()->IsSilent());
    EXPECT_TRUE(stack->GetTopContext()->IsKeepingErrors());
    EXPECT_EQ(stack->GetTopContext()->GetErrorCount(), 2);
    EXPECT_EQ(VTask::GetCurrent()->GetLastError(), ToolboxError(601));
  });
}

TEST(VErrorTaskContext, FailedForMemoryUntilFlushed) {
  RunOnNewTask([] {
    VTask* task = VTask::GetCurrent();
    EXPECT_FALSE(task->FailedForMemory());
    _ThrowError(ToolboxError(toolbox_error::kMemoryFull));
    _ThrowError(ToolboxError(600));
    EXPECT_TRUE(task->FailedForMemory());
    {
      // A level that raises something else leaves the mark where it is.
      StErrorContextInstaller inner;
      EXPECT_FALSE(task->FailedForMemory());
      _ThrowError(ToolboxError(650));
    }
    EXPECT_TRUE(task->FailedForMemory());
    VTask::FlushErrors();
    EXPECT_FALSE(task->FailedForMemory());
  });
}

TEST(VErrorTaskContext, LastErrorReadsTheTopLevelOnly) {
  RunOnNewTask([] {
    _ThrowError(ToolboxError(600));
    StErrorContextInstaller empty;
    VErrorTaskContext* stack = Stack();
    EXPECT_EQ(stack->GetLastError(), VE_OK);
    EXPECT_EQ(VTask::GetCurrent()->GetLastError(), VE_OK);
    ASSERT_NE(stack->GetLast(), nullptr);
    EXPECT_EQ(stack->GetLast()->GetError(), ToolboxError(600));
    _ThrowError(ToolboxError(650));
    EXPECT_EQ(stack->GetFirst()->GetError(), ToolboxError(600));
    EXPECT_EQ(stack->GetLast()->GetError(), ToolboxError(650));
    EXPECT_EQ(stack->Find(ToolboxError(650))->GetError(), ToolboxError(650));
    EXPECT_EQ(stack->Find(ToolboxError(1)), nullptr);
    VErrorContext all;
    stack->GetErrors(all);
    EXPECT_EQ(all.GetErrorCount(), 2);
  });
}

TEST(VErrorTaskContext, PushRetainedErrorPushesTheNativeRecordFirst) {
  RunOnNewTask([] {
    const VError native = MakeVError(kComponentPosix, 2);
    auto* error = new VErrorBase(ToolboxError(600));
    VRefPtr<VErrorBase> watch(error);
    EXPECT_TRUE(_PushRetainedError(error, native));
    EXPECT_EQ(watch->GetRefCount(), 2);  // the caller's reference went to the stack
    auto records = test::CurrentErrors();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].code, native);
    EXPECT_EQ(records[1].code, ToolboxError(600));

    VTask::FlushErrors();
    StErrorContextInstaller filtering(ToolboxError(600), 0);
    EXPECT_TRUE(_PushRetainedError(new VErrorBase(ToolboxError(600)), native));
    records = test::CurrentErrors();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].code, ToolboxError(600));
    EXPECT_TRUE(_PushRetainedError(new VErrorBase(ToolboxError(650))));
    EXPECT_EQ(test::CurrentErrors().size(), 2u);
    EXPECT_FALSE(_PushRetainedError(nullptr, native));
  });
}

TEST(VErrorTaskContext, EmptyLevelsAreRecycled) {
  RunOnNewTask([] {
    VErrorTaskContext* stack = VTask::GetErrorContext(true);
    EXPECT_TRUE(stack->HasSpare());
    VErrorContext* first = nullptr;
    {
      StErrorContextInstaller installer;
      first = installer.GetContext();
      EXPECT_FALSE(stack->HasSpare());
    }
    EXPECT_TRUE(stack->HasSpare());
    {
      StErrorContextInstaller installer(false, true);
      EXPECT_EQ(installer.GetContext(), first);
      EXPECT_FALSE(installer.GetContext()->IsKeepingErrors());
      EXPECT_TRUE(installer.GetContext()->IsSilent());
    }
    // A level that filtered or held errors is not kept for reuse.
    {
      StErrorContextInstaller filtering(ToolboxError(200), 0);
      EXPECT_EQ(filtering.GetContext(), first);
    }
    EXPECT_FALSE(stack->HasSpare());
    EXPECT_EQ(stack->GetContextCount(), 0);
  });
}

TEST(VErrorTaskContext, MergeAndFlushLastContext) {
  RunOnNewTask([] {
    VErrorTaskContext* stack = VTask::GetErrorContext(true);
    VRefPtr<VErrorContext> only(stack->PushNewContext(true, false), kAdoptRef);
    stack->PushError(MakeError(ToolboxError(600)).Get());
    stack->MergeAndFlushLastContext(true);
    ASSERT_EQ(stack->GetContextCount(), 2);
    EXPECT_EQ(stack->GetNthContext(1)->GetLastError(), ToolboxError(600));
    EXPECT_EQ(stack->GetTopContext(), only.Get());
    EXPECT_TRUE(only->IsEmpty());
    EXPECT_TRUE(only->IsSilent());

    stack->PushError(MakeError(ToolboxError(650)).Get());
    stack->MergeAndFlushLastContext(false);
    EXPECT_EQ(stack->GetNthContext(1)->GetErrorCount(), 2);
    EXPECT_FALSE(only->IsSilent());

    // Nothing to merge: nothing changes.
    only->SetSilent(true);
    stack->MergeAndFlushLastContext(false);
    EXPECT_TRUE(only->IsSilent());

    // A level that drops its records only empties.
    only->SetKeepingErrors(false);
    stack->PushError(MakeError(ToolboxError(651)).Get());
    stack->MergeAndFlushLastContext(false);
    EXPECT_EQ(stack->GetNthContext(1)->GetErrorCount(), 2);
    EXPECT_TRUE(only->IsEmpty());
    stack->PopContext();
  });
}

TEST(VErrorTaskContext, PushingSavedAndCopiedRecords) {
  RunOnNewTask([] {
    VErrorContext level;
    level.PushError(MakeError(ToolboxError(600)).Get());
    level.PushError(MakeError(ToolboxError(601)).Get());
    VValueBag saved;
    level.SaveToBag(saved);

    VTask::PushErrors(&level);
    VTask::PushErrors(nullptr);
    VErrorTaskContext* stack = Stack();
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->GetTopContext()->GetErrorCount(), 2);
    stack->PushErrorsFromBag(saved);
    EXPECT_EQ(stack->GetTopContext()->GetErrorCount(), 4);
    EXPECT_EQ(stack->GetLastError(), ToolboxError(601));
    // Pushing a level's records into that very level doubles them once.
    stack->PushErrorsFromContext(stack->GetTopContext());
    EXPECT_EQ(stack->GetTopContext()->GetErrorCount(), 8);
  });
}

TEST(VErrorTaskContext, ErrorStackAsABag) {
  RunOnNewTask([] {
    auto error = MakeError(MakeVError(kComponentCarbon, -43));
    error->GetBag()->SetString(ErrorBagKeys::error_description, VString("Gone."));
    VTask::PushError(error.Get());
    StErrorContextInstaller inner;
    _ThrowError(ToolboxError(650));
    VValueBag bag;
    VErrorTaskContext::BuildErrorStack(bag);
    VBagArray* entries = bag.GetElements(StPackedDictionaryKey("__ERROR"));
    ASSERT_NE(entries, nullptr);
    ASSERT_EQ(entries->GetCount(), 2);
    VString text;
    int32 number = 0;
    entries->GetNth(1)->GetString(StPackedDictionaryKey("message"), text);
    EXPECT_EQ(Text(text), "Gone.");
    entries->GetNth(1)->GetString(StPackedDictionaryKey("componentSignature"), text);
    EXPECT_EQ(Text(text), "CARB");
    entries->GetNth(1)->GetLong(StPackedDictionaryKey("errCode"), number);
    EXPECT_EQ(number, -43);
    entries->GetNth(2)->GetString(StPackedDictionaryKey("componentSignature"), text);
    EXPECT_EQ(Text(text), "zeft");
    entries->GetNth(2)->GetLong(StPackedDictionaryKey("errCode"), number);
    EXPECT_EQ(number, 650);
  });
  RunOnPlainThread([] {
    VValueBag bag;
    VErrorTaskContext::BuildErrorStack(bag);
    EXPECT_TRUE(bag.IsEmpty());
  });
}

// A message's errors stay in the message's own level and go with it.
TEST(VErrorTaskContext, MessagesDropTheirErrors) {
  VTask* worker = test::StartTask();
  std::atomic<VError> inside{VE_OK};
  std::atomic<bool> leftSomething{true};
  VFunctionMessage::PostToAndWait(worker, [&] {
    _ThrowError(ToolboxError(600));
    inside = VTask::GetCurrent()->GetLastError();
  });
  VFunctionMessage::PostToAndWait(worker, [&] {
    VErrorTaskContext* stack = VTask::GetErrorContext(false);
    leftSomething = stack != nullptr && stack->GetLast() != nullptr;
  });
  EXPECT_EQ(inside.load(), ToolboxError(600));
  EXPECT_FALSE(leftSomething.load());
  EXPECT_TRUE(test::StopTask(worker));
}

}  // namespace
}  // namespace zeft
