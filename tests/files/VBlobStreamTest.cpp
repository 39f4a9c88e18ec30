// The blob stream: reading and writing a caller's blob or its own, values
// through it, positions beyond the end, and a read-only blob.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/CharSet.h"
#include "files/VBlobStream.h"
#include "values/VBlobWithPtr.h"
#include "values/VConstBlobWithPtr.h"
#include "values/VDuration.h"

namespace zeft {
namespace {

std::vector<uint8> Content(const VBlob& blob) {
  std::vector<uint8> bytes(size_t(blob.GetSize()));
  blob.GetData(bytes.data(), bytes.size(), 0, nullptr);
  return bytes;
}

TEST(VBlobStream, WritesAndReadsTheCallersBlob) {
  VBlobWithPtr blob;
  {
    VBlobStream stream(&blob);
    stream.SetCharSet(kCharSetUTF8);
    stream.SetNeedSwap(true);
    ASSERT_EQ(stream.OpenWriting(), VE_OK);
    EXPECT_EQ(VDuration(0x0102).WriteToStream(&stream, 0), VE_OK);
    const uint8 tail[2] = {0xAA, 0xBB};
    EXPECT_EQ(stream.PutData(tail, 2), VE_OK);
    EXPECT_EQ(stream.CloseWriting(true), VE_OK);
    EXPECT_EQ(stream.GetBlob(), &blob);
  }
  // The blob outlives the stream.
  EXPECT_EQ(Content(blob), (std::vector<uint8>{0, 0, 0, 0, 0, 0, 1, 2, 0xAA, 0xBB}));

  VBlobStream reader(&blob);
  reader.SetCharSet(kCharSetUTF8);
  reader.SetNeedSwap(true);
  ASSERT_EQ(reader.OpenReading(), VE_OK);
  VDuration back;
  EXPECT_EQ(back.ReadFromStream(&reader, 0), VE_OK);
  EXPECT_EQ(back.ConvertToMilliseconds(), 0x0102);
  uint8 rest[4];
  size_t got = 0;
  EXPECT_NE(reader.GetData(rest, 4, &got), VE_OK);
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(rest[0], 0xAA);
  reader.CloseReading();
}

TEST(VBlobStream, OwnBlobAndPositionsBeyondTheEnd) {
  VBlobStream stream;
  ASSERT_NE(stream.GetBlob(), nullptr);
  stream.SetCharSet(kCharSetUTF8);
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  const uint8 byte = 7;
  EXPECT_EQ(stream.PutData(&byte, 1), VE_OK);
  EXPECT_EQ(stream.SetPos(5), VE_OK);  // extends the blob with zeros
  EXPECT_EQ(stream.GetSize(), 5);
  EXPECT_EQ(stream.PutData(&byte, 1), VE_OK);
  EXPECT_EQ(Content(*stream.GetBlob()), (std::vector<uint8>{7, 0, 0, 0, 0, 7}));
  EXPECT_EQ(stream.SetSize(2), VE_OK);
  EXPECT_EQ(Content(*stream.GetBlob()), (std::vector<uint8>{7, 0}));
  stream.CloseWriting(false);
}

TEST(VBlobStream, ReadOnlyBlobRefusesWrites) {
  const uint8 bytes[3] = {1, 2, 3};
  VConstBlobWithPtr blob(bytes, 3);
  VBlobStream stream(&blob);
  stream.SetCharSet(kCharSetUTF8);
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  EXPECT_EQ(stream.PutData(bytes, 1), ToolboxError(toolbox_error::kReadOnlyBlob));
  stream.CloseWriting(false);
  EXPECT_EQ(Content(blob), (std::vector<uint8>{1, 2, 3}));
}

}  // namespace
}  // namespace zeft
