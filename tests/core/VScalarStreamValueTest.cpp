// Stream forms of the scalar values: the exact bytes in both byte orders,
// reading them back, and what a short stream leaves.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "core/CharSet.h"
#include "core/VBoolean.h"
#include "core/VByte.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VWord.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"

namespace zeft {
namespace {

using Bytes = std::vector<uint8>;

Bytes Written(const VValue& value, bool swap, bool withKind = false) {
  VPtrStream stream;
  // Only raw bytes are written; any char set with a converter will do.
  stream.SetCharSet(kCharSetUTF8);
  stream.SetNeedSwap(swap);
  EXPECT_EQ(stream.OpenWriting(), VE_OK);
  if (withKind) {
    EXPECT_EQ(stream.PutValue(value, true), VE_OK);
  } else {
    EXPECT_EQ(value.WriteToStream(&stream, 0), VE_OK);
  }
  EXPECT_EQ(stream.CloseWriting(true), VE_OK);
  const void* data = nullptr;
  int64 size = 0;
  stream.GetUnderlyingData(data, size);
  const uint8* bytes = static_cast<const uint8*>(data);
  return Bytes(bytes, bytes + size);
}

struct StreamCase {
  const char* name;
  std::function<VValueSingle*()> make;
  Bytes littleEndian;
  Bytes bigEndian;
  double readBack;
};

const StreamCase kStreamCases[] = {
    {"bool 2", [] { return new VBoolean(2); }, {0x02, 0x00}, {0x00, 0x02}, 1},
    {"bool 0", [] { return new VBoolean(0); }, {0x00, 0x00}, {0x00, 0x00}, 0},
    {"byte -1", [] { return new VByte(-1); }, {0xFF, 0xFF}, {0xFF, 0xFF}, -1},
    {"byte 5", [] { return new VByte(5); }, {0x05, 0x00}, {0x00, 0x05}, 5},
    {"byte -128", [] { return new VByte(-128); }, {0x80, 0xFF}, {0xFF, 0x80}, -128},
    {"word 0x1234", [] { return new VWord(0x1234); }, {0x34, 0x12}, {0x12, 0x34}, 0x1234},
    {"long 0x01020304",
     [] { return new VLong(0x01020304); },
     {0x04, 0x03, 0x02, 0x01},
     {0x01, 0x02, 0x03, 0x04},
     0x01020304},
    {"long -2",
     [] { return new VLong(-2); },
     {0xFE, 0xFF, 0xFF, 0xFF},
     {0xFF, 0xFF, 0xFF, 0xFE},
     -2},
    {"long8",
     [] { return new VLong8(0x0102030405060708LL); },
     {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01},
     {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08},
     double(0x0102030405060708LL)},
    {"real 1.0",
     [] { return new VReal(1.0); },
     {0, 0, 0, 0, 0, 0, 0xF0, 0x3F},
     {0x3F, 0xF0, 0, 0, 0, 0, 0, 0},
     1.0},
    {"real -2.5",
     [] { return new VReal(-2.5); },
     {0, 0, 0, 0, 0, 0, 0x04, 0xC0},
     {0xC0, 0x04, 0, 0, 0, 0, 0, 0},
     -2.5},
};

TEST(VScalarStream, WritesTheExactBytesInBothOrders) {
  for (const StreamCase& c : kStreamCases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<VValueSingle> value(c.make());
    EXPECT_EQ(Written(*value, false), c.littleEndian);
    EXPECT_EQ(Written(*value, true), c.bigEndian);
    EXPECT_EQ(value->GetStreamSpace(), c.littleEndian.size());
  }
}

TEST(VScalarStream, ReadsBackWithoutTouchingTheFlags) {
  for (const StreamCase& c : kStreamCases) {
    for (bool swap : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (swap ? " swapped" : ""));
      const Bytes& bytes = swap ? c.bigEndian : c.littleEndian;
      VConstPtrStream stream(bytes.data(), bytes.size());
      stream.SetCharSet(kCharSetUTF8);
      stream.SetNeedSwap(swap);
      ASSERT_EQ(stream.OpenReading(), VE_OK);
      std::unique_ptr<VValueSingle> value(c.make());
      value->Clear();
      value->SetNull(true);
      value->SetDirty(false);
      EXPECT_EQ(value->ReadFromStream(&stream, 0), VE_OK);
      EXPECT_EQ(value->GetReal(), c.readBack);
      EXPECT_TRUE(value->IsNull());
      EXPECT_FALSE(value->IsDirty());
      EXPECT_EQ(stream.GetPos(), int64(bytes.size()));
      stream.CloseReading();
    }
  }
}

TEST(VScalarStream, ShortStreamLeavesTheValueAndReportsTheError) {
  for (const StreamCase& c : kStreamCases) {
    SCOPED_TRACE(c.name);
    const Bytes& bytes = c.littleEndian;
    VConstPtrStream stream(bytes.data(), bytes.size() - 1);
    stream.SetCharSet(kCharSetUTF8);
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    std::unique_ptr<VValueSingle> value(c.make());
    value->FromLong(42);
    const VError error = value->ReadFromStream(&stream, 0);
    EXPECT_NE(error, VE_OK);
    EXPECT_EQ(error, stream.GetLastError());
    EXPECT_EQ(value->GetLong(), value->GetValueKind() == kValueKindBoolean ? 1 : 42);
    stream.CloseReading();
  }
}

TEST(VScalarStream, WritingAfterAnErrorWritesNothing) {
  const uint8 none[1] = {0};
  VConstPtrStream stream(none, 0);
  // Not open: the write is refused and the stream's error comes back.
  const VError error = VLong(1).WriteToStream(&stream, 0);
  EXPECT_NE(error, VE_OK);
  EXPECT_EQ(error, stream.GetLastError());
}

TEST(VScalarStream, ValueWithKindRoundTrips) {
  const Bytes bytes = Written(VLong(7), true, true);
  EXPECT_EQ(bytes, (Bytes{0x00, 0x04, 0x00, 0x00, 0x00, 0x07}));
  VConstPtrStream stream(bytes.data(), bytes.size());
  stream.SetCharSet(kCharSetUTF8);
  stream.SetNeedSwap(true);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  std::unique_ptr<VValue> value(stream.GetValue());
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->GetValueKind(), kValueKindLong);
  EXPECT_EQ(value->IsVValueSingle()->GetLong(), 7);
  stream.CloseReading();
}

}  // namespace
}  // namespace zeft
