#include "runtime/VSplitableLogFile.h"

#include <gtest/gtest.h>

#include <string>

#include "LogFileTestSupport.h"
#include "runtime/VErrorTaskContext.h"
#include "runtime/VTask.h"

namespace zeft {
namespace {

using test::FileSize;
using test::FolderOf;
using test::MakeFileOfSize;
using test::ReadWholeFile;
using test::TempFolder;

constexpr long long kLimit = VSplitableLogFile::kMaxLogFileSize;

std::string LogPath(const TempFolder& folder, int number) {
  return folder.Path("app_" + std::to_string(number) + ".txt");
}

TEST(VSplitableLogFile, NamesItsFiles) {
  VString name;
  VSplitableLogFile::BuildLogFileName(VString("2024-01-02_log"), 7, name);
  EXPECT_EQ(to_string(name), "2024-01-02_log_7.txt");
  VSplitableLogFile::BuildLogFileNameWithExt(VString("a"), 12, VString(), name);
  EXPECT_EQ(to_string(name), "a_12.txt");
  VSplitableLogFile::BuildLogFileNameWithExt(VString("a"), 3, VString(".log"), name);
  EXPECT_EQ(to_string(name), "a_3.log");
}

TEST(VSplitableLogFile, SwitchesOnlyOnceAFileHoldsMoreThanTenMiB) {
  TempFolder folder;
  MakeFileOfSize(LogPath(folder, 1), kLimit);
  VSplitableLogFile log(FolderOf(folder.Path()), VString("app"), 1, false);
  ASSERT_TRUE(log.Open(false, false));
  // Exactly 10 MiB takes the next line whole, past the limit.
  EXPECT_EQ(log.AppendFormattedString("%s %d\n", "line", 1), 7);
  EXPECT_EQ(log.GetLogNumber(), 1);
  // Now above the limit: the next append opens file 2 first.
  log.AppendString(VString("second line\n"));
  EXPECT_EQ(log.GetLogNumber(), 2);
  log.Close();
  EXPECT_EQ(FileSize(LogPath(folder, 1)), kLimit + 7);
  EXPECT_EQ(ReadWholeFile(LogPath(folder, 2)), "second line\n");

  // A file left by an earlier run under the next number is emptied.
  MakeFileOfSize(LogPath(folder, 2), kLimit + 1);
  MakeFileOfSize(LogPath(folder, 3), 100);
  ASSERT_TRUE(log.Open(2, false));
  EXPECT_EQ(log.CheckLogSize(), 3);
  EXPECT_EQ(log.CheckLogSize(), 0);
  log.AppendString("fourth\n");
  log.Close();
  EXPECT_EQ(ReadWholeFile(LogPath(folder, 3)), "fourth\n");
}

TEST(VSplitableLogFile, KeepsOnlyTheMostRecentFilesWhenSwitching) {
  struct Case {
    int32 maxToKeep;
    int from;
    int deleted;  // 0: none
  };
  const Case cases[] = {
      {3, 5, 3}, {50, 2, 0}, {50, 50, 1}, {50, 51, 2}, {0, 5, 0}, {-4, 5, 0}, {1, 5, 5},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    for (int n = 1; n < c.from; ++n) MakeFileOfSize(LogPath(folder, n), 10);
    MakeFileOfSize(LogPath(folder, c.from), kLimit + 1);
    VSplitableLogFile log(FolderOf(folder.Path()), VString("app"), c.from, false);
    EXPECT_EQ(log.GetMaxLogsToKeep(), 50);
    log.SetMaxLogsToKeep(c.maxToKeep);
    ASSERT_TRUE(log.Open(false, false));
    log.AppendString("next\n");
    log.Close();
    EXPECT_EQ(ReadWholeFile(LogPath(folder, c.from + 1)), "next\n");
    for (int n = 1; n <= c.from; ++n)
      EXPECT_EQ(FileSize(LogPath(folder, n)) >= 0, n != c.deleted)
          << "keep " << c.maxToKeep << ", from " << c.from << ", file " << n;
  }
}

TEST(VSplitableLogFile, OpensPastExistingFilesAndCreatesItsFolder) {
  TempFolder folder;
  MakeFileOfSize(LogPath(folder, 1), 10);
  MakeFileOfSize(LogPath(folder, 2), 10);
  VSplitableLogFile log(FolderOf(folder.Path()), VString("app"), 1, false);
  ASSERT_TRUE(log.Open(false, true));
  EXPECT_EQ(log.GetLogNumber(), 3);
  log.Close();
  EXPECT_EQ(FileSize(LogPath(folder, 3)), 0);

  VSplitableLogFile deep(FolderOf(folder.Path("a/b/c")), VString("app"), 1, true);
  ASSERT_TRUE(deep.Open(true, false));
  deep.AppendString("x");
  deep.Close();
  EXPECT_EQ(ReadWholeFile(folder.Path("a/b/c/app_1.txt")), "x");
}

TEST(VSplitableLogFile, FramesEachFileAndSeparatesItsAppends) {
  TempFolder folder;
  MakeFileOfSize(LogPath(folder, 1), kLimit - 10);
  VSplitableLogFile log(FolderOf(folder.Path()), VString("app"), 1, false);
  log.SetHeader(VString("H\n"));
  log.SetFooter(VString("F\n"));
  log.SetLineSeparator(VString("\n"));
  ASSERT_TRUE(log.Open(false, false));
  // No separator before the first append after an open, one before each
  // later append, whichever way it is written.
  log.AppendString("a");
  log.AppendString(VString("b"));
  log.AppendFormattedString("%s", "cccccc");
  // File 1 is now past the limit: the switch closes it with the footer and
  // opens file 2 with the header, and its first append stands alone again.
  log.AppendString("d");
  EXPECT_EQ(log.GetLogNumber(), 2);
  log.AppendString("e");
  log.Close();
  const std::string first = ReadWholeFile(LogPath(folder, 1));
  ASSERT_EQ(first.size(), size_t(kLimit + 4));
  EXPECT_EQ(first.substr(first.size() - 20), std::string(6, '\0') + "H\na\nb\nccccccF\n");
  EXPECT_EQ(ReadWholeFile(LogPath(folder, 2)), "H\nd\neF\n");

  // Reopened: a header, and no separator before its first append.
  ASSERT_TRUE(log.Open(false, false));
  log.AppendString("f");
  log.Close();
  EXPECT_EQ(ReadWholeFile(LogPath(folder, 2)), "H\nd\neF\nH\nfF\n");
}

TEST(VSplitableLogFile, AnExtensionNamesEveryFileItBuilds) {
  TempFolder folder;
  const auto logPath = [&](int number) {
    return folder.Path("app_" + std::to_string(number) + ".log");
  };
  MakeFileOfSize(logPath(1), 10);
  MakeFileOfSize(logPath(2), 10);
  MakeFileOfSize(LogPath(folder, 3), 10);
  VSplitableLogFile skipping(FolderOf(folder.Path()), VString("app"), 1, false);
  skipping.SetFileExtension(VString(".log"));
  ASSERT_TRUE(skipping.Open(false, true));
  EXPECT_EQ(skipping.GetLogNumber(), 3);
  VString name;
  skipping.GetCurrentFileName(name);
  EXPECT_EQ(to_string(name), "app_3.log");
  skipping.Close();
  EXPECT_EQ(FileSize(logPath(3)), 0);
  EXPECT_EQ(FileSize(LogPath(folder, 3)), 10);

  // The switch opens and deletes files of the extension, never others.
  MakeFileOfSize(logPath(3), kLimit + 1);
  MakeFileOfSize(LogPath(folder, 1), 10);
  VSplitableLogFile log(FolderOf(folder.Path()), VString("app"), 3, false);
  log.SetFileExtension(VString(".log"));
  log.SetMaxLogsToKeep(3);
  ASSERT_TRUE(log.Open(false, false));
  log.AppendString("next\n");
  VFilePath path;
  log.GetCurrentFilePath(path);
  log.Close();
  VString posix;
  path.GetPosixPath(posix);
  EXPECT_EQ(to_string(posix), logPath(4));
  EXPECT_EQ(ReadWholeFile(logPath(4)), "next\n");
  EXPECT_EQ(FileSize(logPath(1)), -1);
  EXPECT_EQ(FileSize(LogPath(folder, 1)), 10);
  EXPECT_EQ(FileSize(logPath(2)), 10);
}

TEST(VSplitableLogFile, FailedOpensWriteNothingAndReportNothing) {
  TempFolder folder;
  VTask::FlushErrors();
  // The folder's place is taken by a file: neither the folder nor the log
  // can be made.
  folder.Write("taken", "file");
  VSplitableLogFile blocked(FolderOf(folder.Path("taken")), VString("app"), 1, false);
  EXPECT_FALSE(blocked.Open(false, false));
  blocked.AppendString("lost\n");
  EXPECT_FALSE(blocked.IsOpen());
  EXPECT_EQ(VTask::GetCurrent()->GetLastError(), VE_OK);

  // The next number cannot be opened: the line is not written, the number
  // has moved on and the file stays closed until an open succeeds.
  MakeFileOfSize(LogPath(folder, 1), kLimit + 1);
  folder.MakeFolder("app_2.txt");
  VSplitableLogFile log(FolderOf(folder.Path()), VString("app"), 1, false);
  ASSERT_TRUE(log.Open(false, false));
  log.AppendString("dropped\n");
  EXPECT_FALSE(log.IsOpen());
  EXPECT_EQ(log.GetLogNumber(), 2);
  EXPECT_TRUE(log.Open(3, false));
  log.AppendString("kept\n");
  log.Close();
  EXPECT_EQ(ReadWholeFile(LogPath(folder, 3)), "kept\n");
}

}  // namespace
}  // namespace zeft
