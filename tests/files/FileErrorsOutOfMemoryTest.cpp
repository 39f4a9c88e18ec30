// File and folder errors raised while plain new fails, one allocation at a
// time: the operation still answers its own code, nothing throws, nothing
// leaks (the leak sanitizer checks the program at exit), and a record that
// could be made is right.
#include <gtest/gtest.h>

#include <cerrno>
#include <limits>
#include <new>
#include <string>

#include "FolderTestSupport.h"
#include "files/VFileDesc.h"
#include "files/VFileError.h"
#include "runtime/VErrorBase.h"
#include "support/ErrorTestSupport.h"
#include "support/StFailingAllocation.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using test::FolderTest;
using test::StFailingAllocation;

// More allocations than any of these operations makes.
constexpr int kMaxAllocations = 400;

// The plain allocations `operation` makes when none fails.
template <class Operation>
int AllocationsOf(Operation operation) {
  StFailingAllocation counting(std::numeric_limits<int>::max());
  operation();
  return counting.Made();
}

class FileErrorsOutOfMemory : public FolderTest {
 protected:
  // Runs `operation` with its nth allocation failing, from `firstNth` on,
  // until it runs without a failure: it never throws and always answers
  // `expected`; its records are that code or the native one under it, and
  // the first is there when nothing failed.
  template <class Operation>
  void EveryAllocationFailing(VError expected, Operation operation, int firstNth = 1) {
    for (int nth = firstNth; nth <= firstNth + kMaxAllocations; ++nth) {
      SCOPED_TRACE(nth);
      test::ErrorCollector errors;
      VError result = VE_OK;
      bool failed = false;
      {
        StFailingAllocation failing(nth);
        EXPECT_NO_THROW(result = operation());
        failed = failing.Failed();
      }
      EXPECT_EQ(result, expected);
      const std::vector<test::ErrorRecord> records = errors.Errors();
      for (const test::ErrorRecord& record : records) {
        EXPECT_TRUE(record.code == expected || ErrorComponent(record.code) == kComponentPosix)
            << ::testing::PrintToString(record);
      }
      if (!failed) {
        EXPECT_TRUE(test::HasError(records, expected));
        return;
      }
    }
    FAIL() << "never ran without a failing allocation";
  }
};

TEST_F(FileErrorsOutOfMemory, FolderNotEmpty) {
  fTemp.Write("box/file", "f");
  VRefPtr<VFolder> box = Folder("box");
  // From the allocations that make the record on: those of the emptiness
  // check before it are not an error's.
  const int before = AllocationsOf([&] { return box->IsEmpty(); });
  EveryAllocationFailing(
      ToolboxError(toolbox_error::kFolderNotEmpty), [&] { return box->Delete(false); }, before + 1);
}

TEST_F(FileErrorsOutOfMemory, NativeFailureOfAPath) {
  const VFilePath path = File("box/file")->GetPath();
  const VError native = MakeVError(kComponentPosix, EACCES);
  const VError expected = VErrorBase::EncodedNativeErrorToVError(
      native, ToolboxError(toolbox_error::kFileCannotDelete));
  EveryAllocationFailing(expected, [&] {
    return VFileError::ThrowNative(path, native, toolbox_error::kFileCannotDelete,
                                   [](VValueBag& bag) { bag.SetString("extra", VString("x")); });
  });
}

TEST_F(FileErrorsOutOfMemory, FailedTransferOfAFileDescriptor) {
  fTemp.Write("box/file", "abc");
  VRefPtr<VFile> file = File("box/file");
  VFileDesc* desc = nullptr;
  ASSERT_EQ(file->Open(kFileAccessRead, &desc), VE_OK);
  char buffer[4] = {};
  // Writing through a descriptor opened for reading fails with the system's error.
  const VError expected = desc->PutData(buffer, sizeof buffer, 0);
  ASSERT_NE(expected, VE_OK);
  EveryAllocationFailing(expected, [&] { return desc->PutData(buffer, sizeof buffer, 0); });
  delete desc;
}

TEST_F(FileErrorsOutOfMemory, RetainParentFolderAnswersNullRatherThanThrow) {
  VRefPtr<VFile> file = File("box/file");
  const VString expected = Folder("box")->GetPath().GetPath();
  for (int nth = 1; nth <= kMaxAllocations; ++nth) {
    SCOPED_TRACE(nth);
    VFolder* parent = nullptr;
    bool failed = false;
    {
      StFailingAllocation failing(nth);
      EXPECT_NO_THROW(parent = file->RetainParentFolder());
      failed = failing.Failed();
    }
    if (parent != nullptr) {
      EXPECT_EQ(parent->GetPath().GetPath(), expected);
      parent->Release();
    }
    if (!failed) {
      EXPECT_NE(parent, nullptr);
      return;
    }
  }
  FAIL() << "never ran without a failing allocation";
}

}  // namespace
}  // namespace zeft
