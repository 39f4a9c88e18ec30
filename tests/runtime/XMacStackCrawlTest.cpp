#include "runtime/mac/XMacStackCrawl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/VString.h"

namespace zeft {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "the last line has no line feed";
  return lines;
}

std::string DumpToFile(const XMacStackCrawl& crawl) {
  FILE* file = std::tmpfile();
  crawl.Dump(file);
  std::string text(size_t(std::ftell(file)), '\0');
  std::rewind(file);
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  return text;
}

std::string DumpToString(const XMacStackCrawl& crawl) {
  VString text("kept: ");
  crawl.Dump(text);
  return to_string(text);
}

// Deep enough for more frames than a crawl keeps.
[[gnu::noinline]] int LoadDeep(XMacStackCrawl& crawl, int depth) {
  if (depth == 0) {
    crawl.LoadFrames(0, 100);
    return crawl.GetCount();
  }
  const int count = LoadDeep(crawl, depth - 1);
  asm volatile("" ::: "memory");  // no tail call
  return count;
}

TEST(XMacStackCrawl, SkippingEveryFrameGivesAnEmptyCrawl) {
  XMacStackCrawl crawl;
  crawl.LoadFrames(1000, 8);
  EXPECT_EQ(crawl.GetCount(), 0);
  EXPECT_EQ(DumpToFile(crawl), "");
  EXPECT_EQ(DumpToString(crawl), "kept: ");
}

TEST(XMacStackCrawl, KeepsAtMostFortyEightFrames) {
  XMacStackCrawl crawl;
  LoadDeep(crawl, 80);
  EXPECT_EQ(crawl.GetCount(), XMacStackCrawl::kMaxFrames);
  crawl.LoadFrames(2, 8);
  EXPECT_EQ(crawl.GetCount(), 8);
}

TEST(XMacStackCrawl, FramesAreNumberedDownToZero) {
  XMacStackCrawl crawl;
  crawl.LoadFrames(0, 3);
  ASSERT_EQ(crawl.GetCount(), 3);

  const std::string text = DumpToString(crawl);
  ASSERT_EQ(text.rfind("kept: ", 0), 0u);
  const std::vector<std::string> lines = Lines(text.substr(6));
  ASSERT_EQ(lines.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(lines[size_t(i)]);
    const std::string line = "   \\{" + std::to_string(2 - i) + "\\} 0x[0-9A-F]+ - .+";
    EXPECT_THAT(lines[size_t(i)], ::testing::MatchesRegex(line));
    VString address;
    address.FromHexLong(uint64(reinterpret_cast<uintptr_t>(crawl.GetFrame(i))), true);
    EXPECT_NE(lines[size_t(i)].find(to_string(address)), std::string::npos);
  }

  const std::vector<std::string> fileLines = Lines(DumpToFile(crawl));
  ASSERT_EQ(fileLines.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(fileLines[size_t(i)].rfind("  :: frame " + std::to_string(2 - i) + ": ", 0), 0u)
        << fileLines[size_t(i)];
  }
}

// Frames in this program have no exported symbol; those of the C library
// have one.
TEST(XMacStackCrawl, FramesWithoutSymbolNameAreInline) {
  XMacStackCrawl crawl;
  crawl.LoadFrames(0, 48);
  const std::string text = DumpToString(crawl);
  EXPECT_NE(text.find("} 0x"), std::string::npos);
  const std::vector<std::string> lines = Lines(text.substr(6));
  ASSERT_FALSE(lines.empty());
  bool inlined = false;
  bool named = false;
  for (const std::string& line : lines) {
    inlined = inlined || line.find(" - <inline>") != std::string::npos;
    named = named || line.find(" - __libc_start") != std::string::npos;
  }
  EXPECT_TRUE(inlined) << text;
  EXPECT_TRUE(named) << text;
}

TEST(XMacStackCrawl, Ordering) {
  XMacStackCrawl empty;
  XMacStackCrawl other;
  EXPECT_FALSE(empty < other);
  XMacStackCrawl two;
  two.LoadFrames(0, 2);
  XMacStackCrawl three;
  three.LoadFrames(0, 3);
  EXPECT_TRUE(empty < two);
  EXPECT_FALSE(two < empty);
  EXPECT_TRUE(two < three);
  EXPECT_FALSE(three < two);
  EXPECT_FALSE(three < three);
}

}  // namespace
}  // namespace zeft
