// UUIDs in bags: the "uuid" key, UUID attributes through the stream, and
// the loader that gives loaded objects fresh UUIDs consistently.
#include <gtest/gtest.h>

#include "files/StreamTestSupport.h"
#include "values/VBagLoader.h"
#include "values/VUUID.h"
#include "values/VValueBag.h"
#include "values/VValueBagKeys.h"

namespace zeft {
namespace {

using namespace stream_test;
using BagRef = VRefPtr<VValueBag>;

BagRef BagWithUUID(const VUUID* uuid) {
  BagRef bag(new VValueBag(), kAdoptRef);
  if (uuid != nullptr) ValueBagKeys::uuid.Set(*bag, *uuid);
  return bag;
}

TEST(VBagLoaderTest, UUIDKeyDefaultsToNullAndSurvivesTheStream) {
  BagRef empty = BagWithUUID(nullptr);
  EXPECT_TRUE(ValueBagKeys::uuid.Get(*empty).IsNull());

  const VUUID id(true);
  BagRef bag = BagWithUUID(&id);
  for (bool swap : {false, true}) {
    TestPtrStream out;
    out.SetNeedSwap(swap);
    ASSERT_EQ(out.OpenWriting(), VE_OK);
    ASSERT_EQ(bag->WriteToStream(&out), VE_OK);
    const Bytes bytes = Contents(out);
    TestConstPtrStream in(bytes.data(), bytes.size());
    in.SetNeedSwap(swap);
    ASSERT_EQ(in.OpenReading(), VE_OK);
    BagRef read(new VValueBag(), kAdoptRef);
    ASSERT_EQ(read->ReadFromStream(&in), VE_OK);
    EXPECT_TRUE(ValueBagKeys::uuid.Get(*read) == id) << swap;
  }
}

TEST(VBagLoaderTest, WithoutRegenerationStoredUUIDsAreKept) {
  VBagLoader loader(false, false);
  const VUUID id(true);
  VUUID got;
  EXPECT_TRUE(loader.GetUUID(*BagWithUUID(&id), got));
  EXPECT_TRUE(got == id);
  EXPECT_FALSE(loader.GetUUID(*BagWithUUID(nullptr), got));
  EXPECT_FALSE(got.IsNull());
  VUUID other(true);
  const VUUID before(other);
  EXPECT_TRUE(loader.ResolveUUID(other));
  EXPECT_TRUE(other == before);
}

TEST(VBagLoaderTest, RegenerationMapsEachOldUUIDToOneNewUUID) {
  VBagLoader loader(true, false);
  const VUUID first(true);
  const VUUID second(true);
  VUUID newFirst;
  VUUID again;
  VUUID newSecond;
  EXPECT_TRUE(loader.GetUUID(*BagWithUUID(&first), newFirst));
  EXPECT_TRUE(loader.GetUUID(*BagWithUUID(&first), again));
  EXPECT_TRUE(loader.GetUUID(*BagWithUUID(&second), newSecond));
  EXPECT_FALSE(newFirst == first);
  EXPECT_TRUE(again == newFirst);
  EXPECT_FALSE(newSecond == newFirst);

  // A reference saved by another object resolves to the new identity.
  VUUID reference(first);
  EXPECT_TRUE(loader.ResolveUUID(reference));
  EXPECT_TRUE(reference == newFirst);
  VUUID unknown(true);
  const VUUID unknownBefore(unknown);
  EXPECT_FALSE(loader.ResolveUUID(unknown));
  EXPECT_TRUE(unknown == unknownBefore);

  // A bag without a UUID, or with the null UUID, gets a fresh one that is
  // not remembered.
  VUUID fresh;
  EXPECT_FALSE(loader.GetUUID(*BagWithUUID(nullptr), fresh));
  EXPECT_FALSE(fresh.IsNull());
  const VUUID null;
  EXPECT_TRUE(loader.GetUUID(*BagWithUUID(&null), fresh));
  EXPECT_FALSE(fresh.IsNull());
  VUUID nullReference;
  EXPECT_FALSE(loader.ResolveUUID(nullReference));
}

}  // namespace
}  // namespace zeft
