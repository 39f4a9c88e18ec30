// The value stream form: the 16-bit kind in the stream's byte order, then
// the value's own form, read back by GetValue into a new value.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "StreamTestSupport.h"
#include "core/VBoolean.h"
#include "core/VByte.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VWord.h"

namespace zeft {
namespace {

using namespace stream_test;
namespace te = toolbox_error;

TEST(VStreamValueTest, PutValueAndGetValueRoundTripInBothByteOrders) {
  struct Case {
    const char* name;
    std::function<VValue*()> make;
    uint16 kind;
  };
  const Case cases[] = {
      {"boolean", [] { return new VBoolean(1); }, kValueKindBoolean},
      {"byte", [] { return new VByte(-1); }, kValueKindByte},
      {"word", [] { return new VWord(0x0102); }, kValueKindWord},
      {"long", [] { return new VLong(-123456789); }, kValueKindLong},
      {"long8", [] { return new VLong8(0x0102030405060708LL); }, kValueKindLong8},
      {"real", [] { return new VReal(-2.5e-7); }, kValueKindReal},
      {"string", [] { return new VString(u"h\u00E9llo"); }, kValueKindString},
      {"empty string", [] { return new VString(""); }, kValueKindString},
  };
  for (const Case& c : cases) {
    for (bool swap : {false, true}) {
      SCOPED_TRACE(::testing::Message() << c.name << " swap " << swap);
      std::unique_ptr<VValue> value(c.make());
      TestPtrStream stream;
      stream.SetNeedSwap(swap);
      ASSERT_EQ(stream.OpenWriting(), VE_OK);
      ASSERT_EQ(stream.PutValue(*value, true), VE_OK);
      ASSERT_EQ(stream.PutValue(*value, true), VE_OK);
      const int64 written = stream.GetPos();
      ASSERT_EQ(stream.CloseWriting(), VE_OK);

      const Bytes bytes = Contents(stream);
      ASSERT_GE(bytes.size(), 2u);
      const Bytes kindBytes = swap ? Bytes{uint8(c.kind >> 8), uint8(c.kind)}
                                   : Bytes{uint8(c.kind), uint8(c.kind >> 8)};
      EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 2), kindBytes);

      ASSERT_EQ(stream.OpenReading(), VE_OK);
      for (int i = 0; i < 2; ++i) {
        std::unique_ptr<VValue> back(stream.GetValue());
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->GetValueKind(), c.kind);
        EXPECT_TRUE(back->EqualToSameKind(value.get(), true));
      }
      EXPECT_EQ(stream.GetLastError(), VE_OK);
      EXPECT_EQ(stream.GetPos(), written);
    }
  }
}

TEST(VStreamValueTest, PutValueWithoutTheKindWritesTheFormAlone) {
  TestPtrStream stream;
  stream.SetBigEndian();
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(stream.PutValue(VLong(0x11223344), false), VE_OK);
  EXPECT_EQ(Contents(stream), (Bytes{0x11, 0x22, 0x33, 0x44}));
}

TEST(VStreamValueTest, GetValueGivesNullForUnknownKindsAndShortData) {
  struct Case {
    const char* name;
    Bytes data;
    VError pending;
  };
  const Case cases[] = {
      {"unknown kind", {0x77, 0x77, 1, 2, 3, 4}, VE_OK},
      {"one byte", {4}, Err(te::kStreamEndOfData)},
      {"nothing", {}, Err(te::kStreamEndOfData)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestConstPtrStream stream(c.data.data(), c.data.size());
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    EXPECT_EQ(stream.GetValue(), nullptr);
    EXPECT_EQ(stream.GetLastError(), c.pending);
  }
}

TEST(VStreamValueTest, AValueCutShortLeavesTheEndOfDataPending) {
  const Bytes data{kValueKindLong8, 0, 1, 2, 3};
  TestConstPtrStream stream(data.data(), data.size());
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  std::unique_ptr<VValue> value(stream.GetValue());
  EXPECT_NE(value, nullptr);
  EXPECT_EQ(stream.GetLastError(), Err(te::kStreamEndOfData));
}

}  // namespace
}  // namespace zeft
