// The updater's copy and search helpers, called in-process.
#include <gtest/gtest.h>

#include <filesystem>

#include "UpdaterLog.h"
#include "UpdaterUtilities.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "support/ErrorTestSupport.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::TempFolder;

VFilePath FolderPath(const std::string& posix) {
  return VFilePath(VString((posix + "/").c_str()), kFilePathStylePosix);
}
VFilePath FilePath(const std::string& posix) {
  return VFilePath(VString(posix.c_str()), kFilePathStylePosix);
}

TEST(RobustCopyFile, CreatesTheWholeFolderChainFirst) {
  TempFolder temp;
  const std::string source = temp.Write("source.txt", "bytes");
  ErrorCollector errors;
  EXPECT_EQ(RobustCopyFile(FilePath(source), FilePath(temp.Path("a/b/c/copy.txt")), 0), VE_OK);
  EXPECT_TRUE(errors.Errors().empty());
  EXPECT_TRUE(std::filesystem::exists(temp.Path("a/b/c/copy.txt")));
}

TEST(RobustCopyFile, AFailedCopyNamesBothPaths) {
  TempFolder temp;
  ErrorCollector errors;
  const VFilePath source = FilePath(temp.Path("missing.txt"));
  const VFilePath destination = FilePath(temp.Path("copy.txt"));
  EXPECT_EQ(RobustCopyFile(source, destination, 0), UpdaterError(updater_error::kFileCopyFailed));
  EXPECT_TRUE(test::HasError(errors.Errors(), UpdaterError(updater_error::kFileCopyFailed),
                             "dstPath", to_string(destination.GetPath()).c_str()));
}

TEST(RobustCopyFolderContent, AMissingSourceGivesOneErrorNamingIt) {
  TempFolder temp;
  ErrorCollector errors;
  const VFilePath source = FolderPath(temp.Path("missing"));
  EXPECT_FALSE(RobustCopyFolderContent(source, FolderPath(temp.Path("copy")), 0));
  ASSERT_EQ(errors.Errors().size(), 1u);
  EXPECT_TRUE(test::HasToolboxError(errors.Errors(), toolbox_error::kFolderNotFound, "path",
                                    to_string(source.GetPath()).c_str()));
  EXPECT_FALSE(std::filesystem::exists(temp.Path("copy")));
}

TEST(RobustCopyFolderContent, CopiesIntoADestinationItCreates) {
  TempFolder temp;
  temp.Write("source/one.txt", "1");
  temp.Write("source/sub/two.txt", "2");
  ErrorCollector errors;
  EXPECT_TRUE(RobustCopyFolderContent(FolderPath(temp.Path("source")),
                                      FolderPath(temp.Path("new/copy")), 0));
  EXPECT_TRUE(std::filesystem::exists(temp.Path("new/copy/one.txt")));
  EXPECT_TRUE(std::filesystem::exists(temp.Path("new/copy/sub/two.txt")));
}

TEST(FindFileByExt, FindsAFileOrClearsTheResult) {
  TempFolder temp;
  temp.Write("folder/notes.txt", "");
  temp.Write("folder/data.json", "");
  VFilePath found = FilePath("/stale");
  EXPECT_EQ(FindFileByExt(FolderPath(temp.Path("folder")), VString("json"), found), VE_OK);
  EXPECT_EQ(found.GetPath(), FilePath(temp.Path("folder/data.json")).GetPath());

  found = FilePath("/stale");
  EXPECT_EQ(FindFileByExt(FolderPath(temp.Path("folder")), VString("xml"), found),
            ToolboxError(toolbox_error::kFileNotFound));
  EXPECT_TRUE(found.IsEmpty());

  EXPECT_EQ(FindFileByExt(FilePath(temp.Path("folder/notes.txt")), VString("txt"), found),
            ToolboxError(toolbox_error::kInvalidParameter));
}

}  // namespace
}  // namespace zeft
