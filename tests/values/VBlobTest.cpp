// Blob values: owning and read-only blobs, offsets past the end, the gap
// left by writing beyond the end, raw and stream forms, the descriptor.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "ValueTestSupport.h"
#include "core/VLong.h"
#include "values/VBlobWithPtr.h"
#include "values/VConstBlobWithPtr.h"

namespace zeft {
namespace {

using test::Bytes;

Bytes Content(const VBlob& blob) {
  Bytes bytes(size_t(blob.GetSize()));
  size_t got = 0;
  EXPECT_EQ(blob.GetData(bytes.data(), bytes.size(), 0, &got), VE_OK);
  EXPECT_EQ(got, bytes.size());
  return bytes;
}

constexpr VError kShort = ToolboxError(toolbox_error::kStreamEndOfData);
constexpr VError kReadOnly = ToolboxError(toolbox_error::kReadOnlyBlob);

TEST(VBlob, OwnsACopyOfItsBytes) {
  uint8 source[3] = {0xAA, 0xBB, 0xCC};
  VBlobWithPtr blob(source, 3);
  source[0] = 0;
  EXPECT_EQ(Content(blob), (Bytes{0xAA, 0xBB, 0xCC}));
  EXPECT_FALSE(blob.IsNull());
  VBlobWithPtr copy(blob);
  EXPECT_EQ(Content(copy), Content(blob));
  EXPECT_NE(copy.GetDataPtr(), blob.GetDataPtr());
  EXPECT_TRUE(copy.EqualToSameKind(&blob, false));
  std::unique_ptr<VBlobWithPtr> clone(blob.Clone());
  EXPECT_EQ(Content(*clone), Content(blob));
  VConstBlobWithPtr view(source, 3);
  VBlobWithPtr fromView(static_cast<const VBlob&>(view));
  EXPECT_EQ(Content(fromView), (Bytes{0x00, 0xBB, 0xCC}));
}

// A 32-bit offset past the end used to underflow into a huge copy.
TEST(VBlob, ReadsPastTheEndCopyOnlyWhatIsThere) {
  const uint8 bytes[6] = {1, 2, 3, 4, 5, 6};
  VBlobWithPtr owning(bytes, 6);
  VConstBlobWithPtr borrowed(bytes, 6);
  for (const VBlob* blob :
       {static_cast<const VBlob*>(&owning), static_cast<const VBlob*>(&borrowed)}) {
    uint8 dest[16];
    std::memset(dest, 0xEE, sizeof(dest));
    size_t got = 99;
    EXPECT_EQ(blob->GetData(dest, 10, 4, &got), kShort);
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(dest[0], 5);
    EXPECT_EQ(dest[1], 6);
    EXPECT_EQ(dest[2], 0xEE);
    for (int32 offset : {7, 100, 0x7FFFFFFF, -1}) {
      SCOPED_TRACE(offset);
      got = 99;
      EXPECT_EQ(blob->GetData(dest, 4, offset, &got), kShort);
      EXPECT_EQ(got, 0u);
      EXPECT_EQ(dest[2], 0xEE);
    }
    EXPECT_EQ(blob->GetData(dest, 0, 6, &got), VE_OK);
    EXPECT_EQ(blob->GetData(dest, 2, 4, nullptr), VE_OK);
  }
}

// Writing beyond the end leaves a gap that used to keep whatever the block
// held; it is zeros.
TEST(VBlob, WritingPastTheEndZeroFillsTheGap) {
  VBlobWithPtr blob;
  const uint8 piece[3] = {7, 8, 9};
  EXPECT_EQ(blob.PutData(piece, 3, 5), VE_OK);
  EXPECT_EQ(Content(blob), (Bytes{0, 0, 0, 0, 0, 7, 8, 9}));
  EXPECT_EQ(blob.GetAllocatedSize(), 1024u);
  // The block is reused: fill it, shrink the data, then write past the end.
  const Bytes ones(1000, 0xFF);
  EXPECT_EQ(blob.PutData(ones.data(), ones.size(), 0), VE_OK);
  EXPECT_EQ(blob.SetSize(2), VE_OK);
  EXPECT_EQ(blob.PutData(piece, 1, 900), VE_OK);
  const Bytes content = Content(blob);
  ASSERT_EQ(content.size(), 901u);
  EXPECT_EQ(content[0], 0xFF);
  for (size_t i = 2; i < 900; ++i) ASSERT_EQ(content[i], 0) << i;
  EXPECT_EQ(content[900], 7);
  // An empty piece beyond the end still moves the end.
  EXPECT_EQ(blob.PutData(nullptr, 0, 1000), VE_OK);
  EXPECT_EQ(blob.GetSize(), 1000u);
  EXPECT_EQ(blob.PutData(piece, 1, -1), ToolboxError(toolbox_error::kInvalidParameter));
}

TEST(VBlob, ReadOnlyBlobRefusesChanges) {
  const uint8 bytes[4] = {1, 2, 3, 4};
  VConstBlobWithPtr blob(bytes, 4);
  EXPECT_EQ(blob.PutData(bytes, 1, 0), kReadOnly);
  EXPECT_EQ(blob.SetSize(0), kReadOnly);
  EXPECT_EQ(blob.FromData(bytes, 2), kReadOnly);
  EXPECT_EQ(test::ReadStreamBytes(blob, {1, 0, 0, 0, 9}, false), kReadOnly);
  EXPECT_EQ(Content(blob), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(blob.GetDataPtr(), bytes);
  std::unique_ptr<VConstBlobWithPtr> clone(blob.Clone());
  EXPECT_EQ(clone->GetDataPtr(), bytes);
  VBlobWithPtr target;
  blob.GetValue(target);
  EXPECT_EQ(Content(target), (Bytes{1, 2, 3, 4}));
  const uint8 other[1] = {5};
  VConstBlobWithPtr second(other, 1);
  EXPECT_TRUE(second.FromValueSameKind(&blob));
  EXPECT_EQ(second.GetDataPtr(), bytes);
  EXPECT_FALSE(second.FromValueSameKind(&target));
}

TEST(VBlob, NullAndClear) {
  const Bytes ten(10, 1);
  VBlobWithPtr blob(ten.data(), ten.size());
  blob.SetNull(true);
  EXPECT_EQ(blob.GetSize(), 0u);
  blob.FromData(ten.data(), ten.size());
  EXPECT_FALSE(blob.IsNull());
  blob.Clear();
  EXPECT_EQ(blob.GetSize(), 0u);
  EXPECT_FALSE(blob.IsNull());
  EXPECT_EQ(blob.CompareTo(VLong(1), false), kCompareUnordered);
  EXPECT_FALSE(blob.CanBeEvaluated());
  uint64 space = 0;
  VBlobWithPtr three(ten.data(), 3);
  EXPECT_EQ(three.GetFullSpaceOnDisk(space), 3u);
  EXPECT_EQ(space, 3u);
  VBlobWithPtr nullBlob;
  nullBlob.SetNull(true);
  EXPECT_FALSE(three.EqualToSameKind(&nullBlob, false));
  VBlobWithPtr copy;
  copy.FromValue(three);
  EXPECT_EQ(Content(copy), Content(three));
  EXPECT_TRUE(copy.FromValueSameKind(&nullBlob));
  EXPECT_TRUE(copy.IsNull());
}

TEST(VBlob, RawAndStreamForms) {
  const uint8 bytes[3] = {0xAA, 0xBB, 0xCC};
  VBlobWithPtr blob(bytes, 3);
  EXPECT_EQ(blob.GetSpace(0), 7u);
  uint8 raw[7];
  EXPECT_EQ(blob.WriteToPtr(raw, false, 7), raw + 7);
  EXPECT_EQ(Bytes(raw, raw + 7), (Bytes{3, 0, 0, 0, 0xAA, 0xBB, 0xCC}));
  VConstBlobWithPtr view(bytes, 3);
  uint8 viewRaw[7];
  view.WriteToPtr(viewRaw, false, 7);
  EXPECT_EQ(Bytes(viewRaw, viewRaw + 7), Bytes(raw, raw + 7));
  EXPECT_EQ(view.LoadFromPtr(raw, false), nullptr);

  std::unique_ptr<VValue> loaded(VBlob::sInfo.LoadFromPtr(raw, false));
  EXPECT_EQ(Content(*static_cast<VBlob*>(loaded.get())), (Bytes{0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(VBlob::sInfo.GetSizeOfValueDataPtr(raw), 7u);
  uint8 swapped[7];
  std::memcpy(swapped, raw, 7);
  EXPECT_EQ(VBlob::sInfo.ByteSwapPtr(swapped, true), swapped + 4);
  EXPECT_EQ(Bytes(swapped, swapped + 4), (Bytes{0, 0, 0, 3}));

  EXPECT_EQ(test::StreamBytes(blob, true), (Bytes{0, 0, 0, 3, 0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(test::StreamBytes(view, false), (Bytes{3, 0, 0, 0, 0xAA, 0xBB, 0xCC}));
  VBlobWithPtr back;
  EXPECT_EQ(test::ReadStreamBytes(back, {0, 0, 0, 3, 0xAA, 0xBB, 0xCC}, true), VE_OK);
  EXPECT_EQ(Content(back), (Bytes{0xAA, 0xBB, 0xCC}));
  // A size that promises more than the stream holds keeps what arrived,
  // without reserving the promised gigabytes first.
  EXPECT_NE(test::ReadStreamBytes(back, {0xFF, 0xFF, 0xFF, 0xF0, 1, 2}, true), VE_OK);
  EXPECT_EQ(Content(back), (Bytes{1, 2}));
  EXPECT_LE(back.GetAllocatedSize(), size_t(2) << 20);
}

TEST(VBlob, IsRegisteredAsKindEleven) {
  std::unique_ptr<VValue> value(VValue::NewValueFromValueKind(kValueKindBlob));
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->GetValueKind(), kValueKindBlob);
  EXPECT_NE(dynamic_cast<VBlobWithPtr*>(value.get()), nullptr);
  EXPECT_FALSE(value->IsNull());
}

}  // namespace
}  // namespace zeft
