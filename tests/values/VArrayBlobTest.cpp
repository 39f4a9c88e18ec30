// The blob and image arrays: owned elements, null elements read and written
// as empty blobs, refusal of values of another kind, and the image array's
// entries, its stream form and its refusal to read entries it cannot parse.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ValueTestSupport.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VString.h"
#include "values/VArrayBlob.h"
#include "values/VArrayImage.h"
#include "values/VArrayLong.h"
#include "values/VBlobWithPtr.h"

namespace zeft {
namespace {

using test::Bytes;

std::string Content(const VArrayBlob& array, int32 position) {
  VBlobWithPtr out;
  array.GetValue(out, position);
  const char* data = static_cast<const char*>(out.GetDataPtr());
  return data == nullptr ? std::string() : std::string(data, size_t(out.GetSize()));
}

TEST(VArrayBlob, OwnedElementsAndNullsAsEmptyBlobs) {
  VArrayBlob array(3);
  const VBlobWithPtr one("abc", 3);
  array.FromValue(one, 1);
  array.FromValue(VBlobWithPtr("xy", 2), 3);
  array.FromValue(VBlobWithPtr("z", 1), 3);  // the element takes the bytes
  EXPECT_EQ(Content(array, 1), "abc");
  EXPECT_EQ(Content(array, 2), "");
  EXPECT_EQ(Content(array, 3), "z");
  EXPECT_NE(array.GetBlobPtr(1), &one);

  // A null element reads as an empty, non-null blob.
  VBlobWithPtr out("old", 3);
  array.GetValue(out, 2);
  EXPECT_EQ(out.GetSize(), 0u);
  EXPECT_FALSE(out.IsNull());
  std::unique_ptr<VValueSingle> clone(array.CloneValue(1));
  ASSERT_NE(dynamic_cast<VBlobWithPtr*>(clone.get()), nullptr);
  EXPECT_EQ(clone->GetSpace(0), one.GetSpace(0));

  // Values of another kind are not blobs: neither stored nor filled.
  array.FromValue(VString("text"), 2);
  EXPECT_EQ(array.GetBlobPtr(2), nullptr);
  array.FromValue(VLong(4), 1);
  EXPECT_EQ(Content(array, 1), "abc");
  VLong number(9);
  array.GetValue(number, 1);
  EXPECT_EQ(number.GetLong(), 0);
  EXPECT_EQ(array.CompareTo(VLong(1), false, 1), kCompareUnordered);
  EXPECT_EQ(array.CompareTo(one, false, 0), kCompareLess);

  EXPECT_EQ(array.Find(VBlobWithPtr("z", 1), 1, 1, kFindEqual), 3);
  EXPECT_EQ(array.Find(VBlobWithPtr("", 0), 1, 1, kFindEqual), 2);
  EXPECT_EQ(array.Find(VString("z"), 1, 1, kFindEqual), -1);
}

TEST(VArrayBlob, CopiesDeletesAndSort) {
  VArrayBlob array(2);
  array.FromValue(VBlobWithPtr("ab", 2), 2);
  VArrayBlob copy(array);
  array.FromValue(VBlobWithPtr("changed", 7), 2);
  EXPECT_EQ(Content(copy, 2), "ab");
  EXPECT_NE(copy.GetBlobPtr(2), array.GetBlobPtr(2));

  // Nulls sort first.
  copy.Sort(1, 2, 1);
  EXPECT_NE(copy.GetBlobPtr(1), nullptr);
  EXPECT_EQ(copy.GetBlobPtr(2), nullptr);
  EXPECT_TRUE(copy.Delete(1, 1));
  EXPECT_EQ(copy.GetCount(), 1);
  EXPECT_EQ(copy.GetBlobPtr(1), nullptr);
}

TEST(VArrayBlob, StreamFormWritesNullsAsEmptyBlobs) {
  VArrayBlob array(2);
  array.FromValue(VBlobWithPtr("hi", 2), 1);
  EXPECT_EQ(test::StreamBytes(array, false), (Bytes{2, 0, 0, 0, 2, 0, 0, 0, 'h', 'i', 0, 0, 0, 0}));
  for (bool swap : {false, true}) {
    const Bytes bytes = test::StreamBytes(array, swap);
    VArrayBlob back(5);
    ASSERT_EQ(test::ReadStreamBytes(back, bytes, swap), VE_OK);
    EXPECT_EQ(back.GetCount(), 2);
    EXPECT_EQ(Content(back, 1), "hi");
    ASSERT_NE(back.GetBlobPtr(2), nullptr);
    EXPECT_EQ(back.GetBlobPtr(2)->GetSize(), 0u);
  }
}

TEST(VArrayImage, EntriesFollowTheCount) {
  VArrayImage images(3);
  EXPECT_EQ(images.GetCount(), 3);
  EXPECT_EQ(images.GetEntry(1), nullptr);
  images.FromValue(VLong(1), 1);
  images.FromValue(VLong(2), 2);
  images.FromValue(VLong(3), 3);
  images.FromValue(VLong(4), 4);  // outside: nothing
  ASSERT_NE(images.GetEntry(2), nullptr);
  EXPECT_EQ(images.GetEntry(2)->GetLong(), 2);

  EXPECT_TRUE(images.Insert(2, 1));
  EXPECT_EQ(images.GetCount(), 4);
  EXPECT_EQ(images.GetEntry(2), nullptr);
  EXPECT_EQ(images.GetEntry(3)->GetLong(), 2);
  EXPECT_TRUE(images.Delete(1, 2));
  EXPECT_EQ(images.GetCount(), 2);
  EXPECT_EQ(images.GetEntry(1)->GetLong(), 2);
  EXPECT_EQ(images.GetEntry(2)->GetLong(), 3);
  EXPECT_FALSE(images.Delete(2, 2));
  EXPECT_TRUE(images.SetCount(1));
  EXPECT_TRUE(images.SetCount(3));
  EXPECT_EQ(images.GetEntry(1)->GetLong(), 2);
  EXPECT_EQ(images.GetEntry(3), nullptr);

  // No order and no search; only the flags come out through GetValue.
  EXPECT_EQ(images.CompareTo(VLong(2), false, 1), kCompareUnordered);
  EXPECT_EQ(images.Find(VLong(2), 1, 1, kFindEqual), 0);
  images.Sort(1, 3, 0);
  EXPECT_EQ(images.GetEntry(1)->GetLong(), 2);
  VLong out(7);
  out.SetDirty(false);
  images.GetValue(out, 1);
  EXPECT_EQ(out.GetLong(), 7);
  EXPECT_TRUE(out.IsDirty());
  std::unique_ptr<VValueSingle> clone(images.CloneValue(1));
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetLong(), 2);
  EXPECT_EQ(images.CloneValue(3), nullptr);

  VArrayImage copy;
  EXPECT_TRUE(copy.Copy(images));
  EXPECT_EQ(copy.GetCount(), 3);
  EXPECT_NE(copy.GetEntry(1), images.GetEntry(1));
  EXPECT_FALSE(copy.Copy(VArrayLong(1)));
  copy.DeleteAllElements();
  EXPECT_EQ(copy.GetCount(), 0);
}

TEST(VArrayImage, SynchronizedSortCarriesEntries) {
  VArrayLong keys;
  for (int32 k : {3, 1, 2}) keys.AppendLong(k);
  VArrayImage images(3);
  for (int32 i = 1; i <= 3; ++i) images.FromValue(VLong(keys.GetLong(i) * 10), i);
  EXPECT_TRUE(VArrayValue::SynchronizedSort(0, &keys, &images, nullptr));
  for (int32 i = 1; i <= 3; ++i) EXPECT_EQ(images.GetEntry(i)->GetLong(), i * 10);
}

TEST(VArrayImage, StreamFormAndUnreadableEntries) {
  VArrayImage images(2);
  images.FromValue(VLong8(0x0102030405060708), 1);
  const Bytes bytes = test::StreamBytes(images, false);
  EXPECT_EQ(bytes, (Bytes{2, 0, 0, 0, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
  // Never a kind word.
  VPtrStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  images.WriteToStream(&stream, VArrayValue::kStreamParamWithKind);
  EXPECT_EQ(stream.GetPos(), int64(bytes.size()));

  // No descriptor of kind 12: the entries cannot be read, and the read
  // fails rather than leave the stream inside them.
  VArrayImage back(1);
  back.FromValue(VLong(5), 1);
  EXPECT_EQ(test::ReadStreamBytes(back, bytes, false),
            ToolboxError(toolbox_error::kNotSupportedByValue));
  EXPECT_EQ(back.GetCount(), 0);
  EXPECT_EQ(test::ReadStreamBytes(back, Bytes{0, 0, 0, 0}, false), VE_OK);

  // With a descriptor, each entry reads its own form.
  {
    VValueInfo_default<VLong8, kValueKindImage> pictures;
    VValue::RegisterValueInfo(&pictures);
    ASSERT_EQ(test::ReadStreamBytes(back, bytes, false), VE_OK);
    ASSERT_EQ(back.GetCount(), 2);
    EXPECT_EQ(back.GetEntry(1)->GetLong8(), 0x0102030405060708);
    EXPECT_EQ(back.GetEntry(2)->GetLong8(), 0);
    Bytes cut(bytes.begin(), bytes.end() - 3);
    EXPECT_NE(test::ReadStreamBytes(back, cut, false), VE_OK);
    EXPECT_EQ(back.GetCount(), 0);
  }
  EXPECT_EQ(VValue::ValueInfoFromValueKind(kValueKindImage), nullptr);
}

}  // namespace
}  // namespace zeft
