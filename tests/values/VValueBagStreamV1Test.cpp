// The reader of the earlier bag stream layout (attribute and element names
// as string arrays): a well-formed stream in both byte orders, and every
// kind of damaged or unreadable stream refused with the bag left empty.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ValueTestSupport.h"
#include "core/IRefCountable.h"
#include "core/VLong.h"
#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"
#include "values/VArrayString.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using test::Bytes;
using BagRef = VRefPtr<VValueBag>;

// What the writer of the earlier layout put in the stream; each hook may
// spoil one part.
struct V1Stream {
  std::function<void(VArrayString&)> attributeNames = [](VArrayString&) {};
  int32 attributeCountDelta = 0;
  uint32 secondKind = kValueKindString;
  std::function<void(VArrayString&)> elementNames = [](VArrayString&) {};
  int32 elementCountDelta = 0;
};

Bytes MakeV1(const V1Stream& layout, bool swap) {
  VPtrStream stream;
  stream.SetNeedSwap(swap);
  EXPECT_EQ(stream.OpenWriting(), VE_OK);
  VArrayString names;
  names.AppendString(VString("count"));
  names.AppendString(VString("title"));
  layout.attributeNames(names);
  names.WriteToStream(&stream, 0);
  const int32 attributeCount = 2 + layout.attributeCountDelta;
  stream.PutLongs(&attributeCount, 1);
  const int32 longKind = kValueKindLong;
  stream.PutLongs(&longKind, 1);
  VLong(-7).WriteToStream(&stream, 0);
  const int32 secondKind = int32(layout.secondKind);
  stream.PutLongs(&secondKind, 1);
  // Only single values are followed by their bytes.
  if (layout.secondKind == kValueKindString) VString("hello").WriteToStream(&stream, 0);

  VArrayString elements;
  elements.AppendString(VString("child"));
  layout.elementNames(elements);
  elements.WriteToStream(&stream, 0);
  const int32 elementCount = 1 + layout.elementCountDelta;
  stream.PutLongs(&elementCount, 1);
  VBagArray children;
  for (int32 i = 1; i <= 2; ++i) {
    BagRef child(new VValueBag(), kAdoptRef);
    child->SetLong("i", i);
    children.AddTail(child.Get());
  }
  children.WriteToStreamMinimal(&stream);
  stream.CloseWriting(true);
  const void* data = nullptr;
  int64 size = 0;
  stream.GetUnderlyingData(data, size);
  const uint8* bytes = static_cast<const uint8*>(data);
  return Bytes(bytes, bytes + size);
}

VError ReadV1(const Bytes& bytes, VValueBag& bag, bool swap) {
  VConstPtrStream stream(bytes.data(), bytes.size());
  stream.SetNeedSwap(swap);
  EXPECT_EQ(stream.OpenReading(), VE_OK);
  return bag._ReadFromStream_v1(&stream);
}

TEST(VValueBagStreamV1, ReadsAttributesAndElements) {
  for (bool swap : {false, true}) {
    SCOPED_TRACE(swap);
    BagRef bag(new VValueBag(), kAdoptRef);
    bag->SetLong("stale", 1);
    ASSERT_EQ(ReadV1(MakeV1(V1Stream(), swap), *bag, swap), VE_OK);
    EXPECT_FALSE(bag->AttributeExists("stale"));
    EXPECT_EQ(bag->GetAttributesCount(), 2);
    int32 count = 0;
    EXPECT_TRUE(bag->GetLong("count", count));
    EXPECT_EQ(count, -7);
    VString title;
    EXPECT_TRUE(bag->GetString("title", title));
    EXPECT_EQ(to_string(title), "hello");
    const VBagArray* children = bag->GetElements("child");
    ASSERT_NE(children, nullptr);
    ASSERT_EQ(children->GetCount(), 2);
    int32 i = 0;
    EXPECT_TRUE(children->GetNth(2)->GetLong("i", i));
    EXPECT_EQ(i, 2);
  }
}

TEST(VValueBagStreamV1, SkipsEntriesThatAreNotSingleValues) {
  for (uint32 kind : {7u, uint32(kValueKindArrayString), uint32(kValueKindBag)}) {
    SCOPED_TRACE(kind);
    BagRef bag(new VValueBag(), kAdoptRef);
    ASSERT_EQ(ReadV1(MakeV1({.secondKind = kind}, false), *bag, false), VE_OK);
    EXPECT_EQ(bag->GetAttributesCount(), 1);
    EXPECT_TRUE(bag->AttributeExists("count"));
    EXPECT_FALSE(bag->AttributeExists("title"));
    const VBagArray* children = bag->GetElements("child");
    ASSERT_NE(children, nullptr);
    EXPECT_EQ(children->GetCount(), 2);
  }
}

TEST(VValueBagStreamV1, RefusesDamagedStreamsAndStaysEmpty) {
  const VError corrupted = ToolboxError(toolbox_error::kBagStreamCorrupted);
  struct Case {
    const char* what;
    V1Stream layout;
    VError expected;
  };
  const Case cases[] = {
      {"more attributes than names", {.attributeCountDelta = 1}, corrupted},
      {"fewer attributes than names", {.attributeCountDelta = -1}, corrupted},
      {"null attribute name",
       {.attributeNames =
            [](VArrayString& n) {
              n.Insert(1, 1);
              n.Delete(3, 1);
            }},
       corrupted},
      {"empty attribute name",
       {.attributeNames = [](VArrayString& n) { n.FromString(VString(""), 1); }},
       corrupted},
      {"more elements than names", {.elementCountDelta = 1}, corrupted},
      {"null element name",
       {.elementNames =
            [](VArrayString& n) {
              n.SetCount(0);
              n.SetCount(1);
            }},
       corrupted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BagRef bag(new VValueBag(), kAdoptRef);
    EXPECT_EQ(ReadV1(MakeV1(c.layout, false), *bag, false), c.expected);
    EXPECT_TRUE(bag->IsEmpty());
  }

  // Every cut of a good stream fails and leaves the bag empty.
  const Bytes good = MakeV1(V1Stream(), false);
  for (size_t size = 0; size < good.size(); size += 3) {
    SCOPED_TRACE(size);
    BagRef bag(new VValueBag(), kAdoptRef);
    EXPECT_NE(ReadV1(Bytes(good.begin(), good.begin() + std::ptrdiff_t(size)), *bag, false), VE_OK);
    EXPECT_TRUE(bag->IsEmpty());
  }
}

}  // namespace
}  // namespace zeft
