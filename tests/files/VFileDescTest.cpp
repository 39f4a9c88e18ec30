// Open files: transfers at offsets and at the position, the end of the
// file, the counts after a failure, sizes and closing.
#include "files/VFileDesc.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>

#include "FileTestSupport.h"
#include "files/VFile.h"
#include "platform/ChildProcess.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::FileAt;
using test::HasToolboxError;
using test::ReadWholeFile;
using test::TempFolder;

class VFileDescTest : public ::testing::Test {
 protected:
  VFileDesc* Open(const std::string& bytes, FileAccess access = kFileAccessReadWriteExclusive) {
    fPath = fFolder.Write("f.bin", bytes);
    fFile = FileAt(fPath);
    VFileDesc* desc = nullptr;
    EXPECT_EQ(fFile->Open(access, &desc), VE_OK);
    return desc;
  }
  TempFolder fFolder;
  std::string fPath;
  VRefPtr<VFile> fFile;
};

TEST_F(VFileDescTest, ReadingPastTheEnd) {
  std::unique_ptr<VFileDesc> desc(Open(std::string(40, 'x')));
  char buffer[100];
  {
    ErrorCollector errors;
    size_t read = 0;
    EXPECT_EQ(desc->GetData(buffer, 100, 0, &read), ToolboxError(toolbox_error::kStreamEndOfData));
    EXPECT_EQ(read, 40u);
    EXPECT_TRUE(HasToolboxError(errors.Errors(), toolbox_error::kStreamEndOfData, "count", "100"));
    EXPECT_TRUE(HasToolboxError(errors.Errors(), toolbox_error::kStreamEndOfData, "size", "40"));
    EXPECT_TRUE(HasToolboxError(errors.Errors(), toolbox_error::kStreamEndOfData, "name", "f.bin"));
    EXPECT_EQ(desc->GetPos(), 0);
  }
  ErrorCollector errors;
  size_t read = 0;
  EXPECT_EQ(desc->GetDataAtPos(buffer, 100, 0, &read),
            ToolboxError(toolbox_error::kStreamEndOfData));
  EXPECT_EQ(read, 40u);
  EXPECT_TRUE(errors.Errors().empty());
  EXPECT_EQ(desc->GetPos(), 40);
}

TEST_F(VFileDescTest, PositionMovesOnlyWithTheTransfersAtIt) {
  std::unique_ptr<VFileDesc> desc(Open("0123456789abcdefghijklmnopqrstuvwxyz"));
  EXPECT_EQ(desc->SetPos(10, false), VE_OK);
  EXPECT_EQ(desc->SetPos(10, false), VE_OK);
  EXPECT_EQ(desc->GetPos(), 20);
  EXPECT_EQ(desc->SetPos(5, true), VE_OK);
  char buffer[4];
  EXPECT_EQ(desc->GetDataAtPos(buffer, 3, 1), VE_OK);
  EXPECT_EQ(std::string(buffer, 3), "678");
  EXPECT_EQ(desc->GetPos(), 9);
  EXPECT_EQ(desc->PutDataAtPos("XY", 2, 0), VE_OK);
  EXPECT_EQ(desc->GetPos(), 11);
  EXPECT_EQ(desc->PutData("Z", 1, 0), VE_OK);
  EXPECT_EQ(desc->GetData(buffer, 1, 35), VE_OK);
  EXPECT_EQ(desc->GetPos(), 11);
  EXPECT_EQ(desc->Flush(), VE_OK);
  EXPECT_EQ(ReadWholeFile(fPath).substr(0, 12), "Z12345678XYb");
  // A position below 0 reads nothing.
  ErrorCollector errors;
  size_t read = 7;
  EXPECT_EQ(desc->SetPos(-100, true), VE_OK);
  EXPECT_NE(desc->GetDataAtPos(buffer, 1, 0, &read), VE_OK);
  EXPECT_EQ(read, 0u);
}

TEST_F(VFileDescTest, SizeChangesAndReadOnlyRefusal) {
  std::unique_ptr<VFileDesc> desc(Open("abc"));
  EXPECT_EQ(desc->GetSize(), 3);
  EXPECT_EQ(desc->SetSize(10), VE_OK);
  EXPECT_EQ(desc->GetSize(), 10);
  desc.reset(Open("abc", kFileAccessRead));
  ErrorCollector errors;
  EXPECT_EQ(desc->SetSize(1), ToolboxError(toolbox_error::kFileCannotSetSize));
  EXPECT_TRUE(HasToolboxError(errors.Errors(), toolbox_error::kFileCannotSetSize, "size", "1"));
  EXPECT_EQ(ReadWholeFile(fPath), "abc");
}

// A write stopped by the file-size limit after part of its bytes reports
// the bytes that reached the file, not the count asked for.
TEST_F(VFileDescTest, AFailedWriteCountsTheBytesMoved) {
  std::unique_ptr<VFileDesc> desc(Open(""));
  const int status = test::RunInChild(
      [&] {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {100, 100};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 1;
        const std::string bytes(150, 'w');
        size_t written = 0;
        ErrorCollector errors;
        const VError result = desc->PutData(bytes.data(), bytes.size(), 0, &written);
        if (result == VE_OK) return 2;
        if (written != 100) return 3;
        if (!HasToolboxError(errors.Errors(), toolbox_error::kFileCannotWrite, "count", "150")) {
          return 4;
        }
        return 0;
      },
      false);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadWholeFile(fPath).size(), 100u);
}

TEST_F(VFileDescTest, DeletingClosesAndReleases) {
  VFileDesc* desc = Open("x");
  const int fd = desc->GetImpl().GetDescriptor();
  EXPECT_EQ(fFile->GetRefCount(), 2);
  delete desc;
  EXPECT_EQ(fFile->GetRefCount(), 1);
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

}  // namespace
}  // namespace zeft
