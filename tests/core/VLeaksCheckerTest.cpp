#include "core/VLeaksChecker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/MainBundle.h"
#include "runtime/mac/XMacStackCrawl.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

// Exposes the count, which only stack-crawl registration changes.
class CountedLeaksChecker : public VLeaksChecker {
 public:
  explicit CountedLeaksChecker(int32 count) { fLeaksCount = count; }
};

class VLeaksCheckerFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fRoot = fFolder.Path();
    ASSERT_FALSE(fRoot.empty());
  }
  void TearDown() override { platform::SetMainBundlePathForTesting(""); }

  // Opens the dump file for a bundle at fRoot + bundle, closes it and
  // returns its content; `path` receives the file's path.
  std::string Dump(const VLeaksChecker& checker, const std::string& bundle, const char* suffix,
                   const std::string& expectedPath) {
    platform::SetMainBundlePathForTesting(fRoot + bundle);
    FILE* file = checker.OpenDumpFile(suffix);
    EXPECT_NE(file, nullptr) << bundle;
    if (file == nullptr) return {};
    std::fclose(file);
    std::ifstream in(fRoot + expectedPath);
    EXPECT_TRUE(in.good()) << expectedPath;
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
  }

  test::TempFolder fFolder;
  std::string fRoot;
};

TEST(VLeaksChecker, DefaultsAndFlags) {
  VLeaksChecker checker;
  EXPECT_FALSE(checker.IsLeaksCheckEnabled());
  EXPECT_EQ(checker.GetStackFramesToSkip(), 4);
  EXPECT_EQ(checker.GetLeaksCount(), 0);
  EXPECT_FALSE(checker.SetLeaksCheck(true));
  EXPECT_TRUE(checker.SetLeaksCheck(false));
  EXPECT_FALSE(checker.IsLeaksCheckEnabled());
  checker.SetStackFramesToSkip(7);
  EXPECT_EQ(checker.GetStackFramesToSkip(), 7);
}

TEST_F(VLeaksCheckerFileTest, FileSitsBesideTheBundleWithoutItsExtension) {
  struct Case {
    const char* bundle;
    const char* suffix;
    const char* file;
  } cases[] = {
      {"/App.app", "run", "/App.run.leaks"},
      {"/Folder", "run", "/Folder.run.leaks"},
      {"/My.Tool.app", "x", "/My.Tool.x.leaks"},
      {"/dotted.dir/Plain", "run", "/dotted.dir/Plain.run.leaks"},
  };
  std::filesystem::create_directories(fRoot + "/dotted.dir");
  VLeaksChecker checker;
  for (const Case& c : cases) Dump(checker, c.bundle, c.suffix, c.file);
}

TEST_F(VLeaksCheckerFileTest, HeaderIsADateThenTheLeakCount) {
  struct Case {
    int32 count;
    const char* sentence;
  } cases[] = {
      {0, "No memory leaks.\n"},
      {1, "You have one leak:\n\n"},
      {2, "You have 2 leaks:\n\n"},
      {1234, "You have 1234 leaks:\n\n"},
  };
  // "Wednesday, December 09, 2026 07:30:00 PM"
  const char* const date =
      "(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday), "
      "(January|February|March|April|May|June|July|August|September|October|November|December) "
      "[0-3][0-9], [0-9]{4} [01][0-9]:[0-5][0-9]:[0-6][0-9] (AM|PM)";
  for (const Case& c : cases) {
    std::string content = Dump(CountedLeaksChecker(c.count), "/App.app", "run", "/App.run.leaks");
    size_t lineEnd = content.find('\n');
    ASSERT_NE(lineEnd, std::string::npos) << c.count;
    EXPECT_THAT(content.substr(0, lineEnd), ::testing::MatchesRegex(date)) << content;
    EXPECT_EQ(content.substr(lineEnd + 1), c.sentence);
  }
}

TEST_F(VLeaksCheckerFileTest, UnwritablePlaceGivesNull) {
  platform::SetMainBundlePathForTesting(fRoot + "/missing/App.app");
  VLeaksChecker checker;
  EXPECT_EQ(checker.OpenDumpFile("run"), nullptr);
}

TEST(VLeaksChecker, RegisteredBlocksAreCountedOnlyWhileCheckingIsOn) {
  VLeaksChecker checker;
  XMacStackCrawl ignored;
  checker.RegisterBlock(ignored);
  EXPECT_EQ(ignored.GetCount(), 0) << "a disabled checker records no stack";
  EXPECT_EQ(checker.GetLeaksCount(), 0);

  EXPECT_FALSE(checker.SetLeaksCheck(true));
  checker.SetStackFramesToSkip(0);
  XMacStackCrawl first;
  XMacStackCrawl second;
  checker.RegisterBlock(first);
  checker.RegisterBlock(second);
  EXPECT_GE(first.GetCount(), 1);
  EXPECT_LE(first.GetCount(), 8) << "at most 8 frames are kept";
  EXPECT_EQ(checker.GetLeaksCount(), 2);

  checker.UnregisterBlock(first);
  checker.UnregisterBlock(ignored);  // holds no frame: not counted
  EXPECT_EQ(checker.GetLeaksCount(), 1);
  EXPECT_TRUE(checker.SetLeaksCheck(false));
}

}  // namespace
}  // namespace zeft
