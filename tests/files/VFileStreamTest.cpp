// The buffered file stream: read-ahead and write-behind through one buffer,
// positions and sizes, transfers that bypass the buffer, a file cut short
// while it is read, and the stream's text side over a file.
#include "files/VFileStream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "FileTestSupport.h"
#include "core/CharSet.h"
#include "core/VString.h"
#include "files/VFile.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::FileAt;
using test::ReadWholeFile;
using test::TempFolder;

constexpr VError kEndOfData = ToolboxError(toolbox_error::kStreamEndOfData);

class VFileStreamTest : public ::testing::Test {
 protected:
  VFileStream& Stream(const std::string& bytes, unsigned options = 0) {
    fPath = fFolder.Write("f.bin", bytes);
    fStream.emplace(FileAt(fPath).Get(), options);
    fStream->SetCharSet(kCharSetUTF8);
    return *fStream;
  }
  TempFolder fFolder;
  std::string fPath;
  std::optional<VFileStream> fStream;
};

TEST_F(VFileStreamTest, SmallReadsAreServedFromOneReadAhead) {
  VFileStream& stream = Stream("0123456789");
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  EXPECT_EQ(stream.GetSize(), 10);
  char bytes[4] = {};
  const std::string expected[] = {"012", "345", "678", "9"};
  for (int i = 0; i < 4; ++i) {
    size_t read = 0;
    const VError error = stream.GetData(bytes, 3, &read);
    // The buffer is filled once: what the file holds afterwards is not read.
    if (i == 0) fFolder.Write("f.bin", "abcdefghij");
    EXPECT_EQ(std::string(bytes, read), expected[i]);
    EXPECT_EQ(error, i < 3 ? VE_OK : kEndOfData);
  }
  EXPECT_EQ(stream.GetPos(), 10);
  EXPECT_EQ(stream.CloseReading(), kEndOfData);
}

TEST_F(VFileStreamTest, ReadsLargerThanTheBufferGoStraightToTheFile) {
  VFileStream& stream = Stream(std::string(100, 'a') + std::string(100, 'b'));
  stream.SetBufferSize(16);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  char bytes[150];
  ASSERT_EQ(stream.GetData(bytes, 4), VE_OK);
  ASSERT_EQ(stream.GetData(bytes, 150), VE_OK);
  EXPECT_EQ(std::string(bytes, 150), std::string(96, 'a') + std::string(54, 'b'));
  // Back inside the read-ahead of the first read.
  ASSERT_EQ(stream.SetPos(2), VE_OK);
  ASSERT_EQ(stream.GetData(bytes, 3), VE_OK);
  EXPECT_EQ(std::string(bytes, 3), "aaa");
  EXPECT_EQ(stream.SetPos(201), kEndOfData);
}

// A file cut while the stream reads it: only the bytes the file still has
// are delivered, never what the buffer held before.
TEST_F(VFileStreamTest, AFileCutShortYieldsNoBytesPastItsEnd) {
  VFileStream& stream = Stream("ABCDEFGHIJ");
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  ASSERT_EQ(::truncate(fPath.c_str(), 4), 0);
  ErrorCollector errors;
  char bytes[3];
  size_t read = 0;
  EXPECT_EQ(stream.GetData(bytes, 3, &read), VE_OK);
  EXPECT_EQ(std::string(bytes, read), "ABC");
  EXPECT_EQ(stream.GetData(bytes, 3, &read), kEndOfData);
  EXPECT_EQ(std::string(bytes, read), "D");
  EXPECT_EQ(stream.GetPos(), 4);
}

TEST_F(VFileStreamTest, WritesAreBufferedAndOverwrittenInPlace) {
  VFileStream& stream = Stream("");
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(stream.PutData("12345", 5), VE_OK);
  EXPECT_EQ(ReadWholeFile(fPath), "");
  ASSERT_EQ(stream.SetPos(2), VE_OK);
  ASSERT_EQ(stream.PutData("ab", 2), VE_OK);
  EXPECT_EQ(stream.GetSize(), 5);
  ASSERT_EQ(stream.CloseWriting(), VE_OK);
  EXPECT_EQ(ReadWholeFile(fPath), "12ab5");
}

TEST_F(VFileStreamTest, WritesAndReadsMixingBufferedAndDirectTransfers) {
  // A model of the file is written at positions that move back and forth,
  // with writes below, at and above its size, then read back in pieces, by
  // streams with no buffer, a small one and the default one.
  const struct {
    int64 position;
    std::string bytes;
  } writes[] = {{0, "abc"}, {3, "defgh"}, {8, "ij"},
                {1, "XY"},  {20, "far"},  {4, std::string(12, 'L')},
                {10, "q"},  {0, ""},      {22, "0123456789"}};
  for (const size_t bufferSize : {size_t(0), size_t(8), size_t(32768)}) {
    SCOPED_TRACE(bufferSize);
    VFileStream& stream = Stream("");
    stream.SetBufferSize(bufferSize);
    ASSERT_EQ(stream.OpenWriting(), VE_OK);
    std::string model;
    for (const auto& w : writes) {
      ASSERT_EQ(stream.SetPos(w.position), VE_OK);
      ASSERT_EQ(stream.PutData(w.bytes.data(), w.bytes.size()), VE_OK);
      if (model.size() < w.position + w.bytes.size()) model.resize(w.position + w.bytes.size(), 0);
      model.replace(size_t(w.position), w.bytes.size(), w.bytes);
    }
    EXPECT_EQ(stream.GetSize(), int64(model.size()));
    ASSERT_EQ(stream.CloseWriting(), VE_OK);
    EXPECT_EQ(ReadWholeFile(fPath), model);

    ASSERT_EQ(stream.OpenReading(), VE_OK);
    std::string read;
    char piece[9];
    for (size_t length = 1; read.size() < model.size(); length = length % 9 + 1) {
      size_t got = 0;
      stream.GetData(piece, std::min(length, model.size() - read.size()), &got);
      ASSERT_GT(got, 0u);
      read.append(piece, got);
    }
    EXPECT_EQ(read, model);
    ASSERT_EQ(stream.CloseReading(), VE_OK);
  }
}

TEST_F(VFileStreamTest, PositionsAndSizes) {
  {
    VFileStream& stream = Stream("");
    ASSERT_EQ(stream.OpenWriting(), VE_OK);
    ASSERT_EQ(stream.SetPos(100), VE_OK);
    EXPECT_EQ(ReadWholeFile(fPath).size(), 100u);
    ASSERT_EQ(stream.CloseWriting(), VE_OK);
  }
  {
    VFileStream& stream = Stream("0123456789");
    ASSERT_EQ(stream.OpenWriting(), VE_OK);
    ASSERT_EQ(stream.SetSize(3), VE_OK);
    ASSERT_EQ(stream.CloseWriting(true), VE_OK);
    EXPECT_EQ(ReadWholeFile(fPath), "012");
  }
  {
    // The size cuts into bytes not yet written.
    VFileStream& stream = Stream("");
    ASSERT_EQ(stream.OpenWriting(), VE_OK);
    ASSERT_EQ(stream.PutData("abcdef", 6), VE_OK);
    ASSERT_EQ(stream.SetSize(4), VE_OK);
    ASSERT_EQ(stream.CloseWriting(), VE_OK);
    EXPECT_EQ(ReadWholeFile(fPath), "abcd");
  }
  {
    VFileStream& stream = Stream("0123456789");
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    ErrorCollector errors;
    EXPECT_EQ(stream.SetPos(11), kEndOfData);
  }
}

TEST_F(VFileStreamTest, ABufferForReadingIsNoLargerThanTheFile) {
  VFileStream& stream = Stream(std::string(400, 'x'));
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  stream.SetBufferSize(1000);
  // The 400-byte buffer serves 400 bytes from one read of the file.
  char bytes[400];
  ASSERT_EQ(stream.GetData(bytes, 10), VE_OK);
  fFolder.Write("f.bin", std::string(400, 'y'));
  ASSERT_EQ(stream.GetData(bytes, 390), VE_OK);
  EXPECT_EQ(std::string(bytes, 390), std::string(390, 'x'));
}

TEST_F(VFileStreamTest, WithoutAFileOrTwiceOpenedTheStreamRefuses) {
  VFileStream none(nullptr, 0);
  ErrorCollector errors;
  EXPECT_EQ(none.OpenReading(), ToolboxError(toolbox_error::kStreamNoFile));
  VFileStream& stream = Stream("x");
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  EXPECT_EQ(stream.OpenWriting(), ToolboxError(toolbox_error::kStreamAlreadyOpened));
  ASSERT_EQ(stream.CloseReading(), VE_OK);
  // A missing file fails to open with the file's own error.
  VFileStream missing(FileAt(fFolder.Path("missing")).Get(), 0);
  EXPECT_NE(missing.OpenReading(), VE_OK);
  EXPECT_FALSE(missing.IsReading());
}

TEST_F(VFileStreamTest, TextLinesThroughAFile) {
  std::string data;
  for (int i = 0; i < 2000; ++i) data += "line " + std::to_string(i) + (i % 3 ? "\r\n" : "\n");
  VFileStream& stream = Stream(data);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  VString line;
  for (int i = 0; i < 2000; ++i) {
    ASSERT_EQ(stream.GetTextLine(line, false), VE_OK);
    ASSERT_EQ(to_string(line), "line " + std::to_string(i));
  }
  EXPECT_EQ(stream.GetTextLine(line, false), kEndOfData);

  VFileStream& writer = Stream("");
  writer.SetCarriageReturnMode(kCRModeCRLF);
  ASSERT_EQ(writer.OpenWriting(), VE_OK);
  ASSERT_EQ(writer.WriteBOM(), VE_OK);
  ASSERT_EQ(writer.PutPrintf("%d-%s\n", 42, "x"), VE_OK);
  ASSERT_EQ(writer.CloseWriting(), VE_OK);
  EXPECT_EQ(ReadWholeFile(fPath),
            "\xEF\xBB\xBF"
            "42-x\r\n");
}

}  // namespace
}  // namespace zeft
