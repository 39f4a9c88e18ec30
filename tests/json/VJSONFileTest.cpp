#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "JSONTestSupport.h"
#include "files/FileTestSupport.h"
#include "files/VFile.h"
#include "json/VJSONWriter.h"
#include "runtime/VTask.h"
#include "support/ErrorTestSupport.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::FileAt;
using test::Parse;
using test::Write;

using zeft::test::ReadWholeFile;

size_t CountEntries(const std::string& folder) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

TEST(VJSONFileTest, LoadReadsTheTextAndConvertsDatesOnRequest) {
  struct Case {
    const char* bytes;
    bool convertDates;
    std::string expected;
    bool date;
  };
  const Case cases[] = {
      {"{\"a\":[1,2]}", false, R"({"a":[1,2]})", false},
      {"\xEF\xBB\xBF{\"\xC3\xA9\":1}", false, "{\"\xC3\xA9\":1}", false},
      {R"({"d":"2024-03-01"})", false, R"({"d":"2024-03-01"})", false},
      {R"({"d":"2024-03-01"})", true, R"({"d":"2024-03-01T00:00:00.000Z"})", true},
  };
  test::TempFolder scratch;
  for (const Case& c : cases) {
    VRefPtr<VFile> file = FileAt(scratch.Write("in.json", c.bytes));
    VJSONValue value;
    EXPECT_EQ(value.LoadFromFile(file.Get(), c.convertDates), VE_OK) << c.bytes;
    EXPECT_EQ(Write(value), c.expected);
    EXPECT_EQ(value.GetProperty(VString("d")).IsDate(), c.date) << c.bytes;
  }
}

TEST(VJSONFileTest, FailedLoadLeavesNoObject) {
  test::TempFolder scratch;
  const std::string broken = scratch.Write("broken.json", R"({"a":1 "b":2})");
  struct Case {
    std::string path;
    int32 number;  // the toolbox error expected on the stack, 0 for any
  };
  const Case cases[] = {{broken, json_error::kInvalidToken}, {scratch.Path("missing.json"), 0}};
  for (const Case& c : cases) {
    ErrorCollector errors;
    VJSONValue value = Parse(R"({"old":true})");
    const VError error = value.LoadFromFile(FileAt(c.path).Get(), false);
    EXPECT_NE(error, VE_OK) << c.path;
    EXPECT_EQ(errors.LastError(), error);
    if (c.number != 0) {
      EXPECT_TRUE(test::HasToolboxError(errors.Errors(), c.number));
    }
    EXPECT_TRUE(value.IsUndefined()) << "half an object would pass for the file's content";
  }
}

TEST(VJSONFileTest, NullFileReadsAndWritesNothing) {
  VJSONValue value = Parse("[1]");
  EXPECT_EQ(value.SaveToFile(nullptr, 0), VE_OK);
  EXPECT_EQ(VJSONWriter::StringifyValueToFile(nullptr, value, 0), VE_OK);
  EXPECT_EQ(value.LoadFromFile(nullptr, false), VE_OK);
  EXPECT_TRUE(value.IsUndefined());
}

TEST(VJSONFileTest, SaveWritesTheTextAndReadsBack) {
  test::TempFolder scratch;
  const std::string path = scratch.Path("new/deeper/out.json");
  const VJSONValue value = Parse("{\"a\":1,\"b\":[1,2],\"t\":\"\xC3\xA9\\r\\n\"}");
  EXPECT_EQ(value.SaveToFile(FileAt(path).Get(), 0x9), VE_OK);
  EXPECT_EQ(ReadWholeFile(path),
            "{\n\t\"a\": 1,\n\t\"b\": [\n\t\t1,\n\t\t2\n\t],\n\t\"t\": \"\xC3\xA9\\r\\n\"\n}")
      << "UTF-8 without a mark, missing folders made";
  VJSONValue back;
  EXPECT_EQ(back.LoadFromFile(FileAt(path).Get(), false), VE_OK);
  EXPECT_EQ(Write(back), Write(value));
}

TEST(VJSONFileTest, ValueThatCannotBeWrittenLeavesTheFile) {
  test::TempFolder scratch;
  const std::string path = scratch.Write("keep.json", "[\"old\"]");
  VJSONValue cycle(JSON_array);
  cycle.GetArray()->Push(cycle);
  ErrorCollector errors;
  EXPECT_EQ(cycle.SaveToFile(FileAt(path).Get(), 0x1), ToolboxError(json_error::kCircular));
  EXPECT_TRUE(test::HasToolboxError(errors.Errors(), json_error::kCircular));
  EXPECT_EQ(ReadWholeFile(path), "[\"old\"]");
  EXPECT_EQ(CountEntries(scratch.Path()), 1u);
  cycle.GetArray()->Clear();
}

TEST(VJSONFileTest, ReplacingKeepsPermissionsLinksAndOtherNames) {
  test::TempFolder scratch;
  const std::string real = scratch.Write("real.json", "[\"old real\"]");
  const std::string link = scratch.Path("link.json");
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  const std::string first = scratch.Write("first.json", "[\"old first\"]");
  const std::string second = scratch.Path("second.json");
  ASSERT_EQ(::link(first.c_str(), second.c_str()), 0);
  const std::string plain = scratch.Write("plain.json", "[\"old plain\", \"longer than the new\"]");
  ASSERT_EQ(::chmod(plain.c_str(), 0640), 0);

  EXPECT_EQ(Parse("[1]").SaveToFile(FileAt(link).Get(), 0), VE_OK);
  EXPECT_EQ(Parse("[2]").SaveToFile(FileAt(second).Get(), 0), VE_OK);
  EXPECT_EQ(Parse("[3]").SaveToFile(FileAt(plain).Get(), 0), VE_OK);

  EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the link still points at the real file";
  EXPECT_EQ(ReadWholeFile(real), "[1]");
  EXPECT_EQ(ReadWholeFile(first), "[2]") << "both names of the file see the new text";
  EXPECT_EQ(ReadWholeFile(plain), "[3]");
  struct stat info;
  ASSERT_EQ(::stat(plain.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(CountEntries(scratch.Path()), 5u) << "nothing left beside the files";
}

TEST(VJSONFileTest, ReaderNeverSeesHalfASavedFile) {
  test::TempFolder scratch;
  VJSONValue big(JSON_array);
  for (int i = 0; i < 20000; ++i) big.GetArray()->Push(VJSONValue(double(i)));
  const VJSONValue small = Parse(R"({"small":true})");
  const std::string path = scratch.Path("busy.json");
  ASSERT_EQ(small.SaveToFile(FileAt(path).Get(), 0), VE_OK);
  std::atomic<bool> done{false};
  std::atomic<int> saveFailures{0};
  auto* writer = new VTask(0, kTaskStylePreemptive, [&] {
    VRefPtr<VFile> file = FileAt(path);
    for (int i = 0; i < 40; ++i) {
      if ((i % 2 == 0 ? big : small).SaveToFile(file.Get(), 0) != VE_OK) saveFailures++;
    }
    done.store(true);
  });
  ASSERT_TRUE(writer->Run());
  VRefPtr<VFile> file = FileAt(path);
  int halfRead = 0;
  do {
    ErrorCollector errors;
    VJSONValue value;
    if (value.LoadFromFile(file.Get(), false) != VE_OK) ++halfRead;
  } while (!done.load());
  EXPECT_TRUE(writer->WaitForDeath(30000));
  writer->Release();
  EXPECT_EQ(saveFailures.load(), 0);
  EXPECT_EQ(halfRead, 0);
  EXPECT_EQ(CountEntries(scratch.Path()), 1u);
}

}  // namespace
}  // namespace zeft
