// The packed attribute store: key buffer and backstore layout, the hash
// index's life, in-place replacement, packing and removal.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/VBoolean.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VString.h"
#include "core/VWord.h"
#include "files/StreamTestSupport.h"
#include "values/VHashKeyMap.h"
#include "values/VPackedDictionary_with_backstore.h"

namespace zeft {
namespace {

using Store = VPackedDictionary_with_backstore<VPackedValue_VValueSingle>;
using Bytes = std::vector<uint8>;
using namespace stream_test;

Bytes Words(std::initializer_list<uint16> words) {
  Bytes bytes;
  for (uint16 w : words) {
    bytes.push_back(uint8(w));
    bytes.push_back(uint8(w >> 8));
  }
  return bytes;
}

Bytes BackstoreBytes(const Store& store) {
  const std::vector<uint16>& words = store.GetBackstore();
  Bytes bytes(words.size() * 2);
  if (!words.empty()) std::memcpy(bytes.data(), words.data(), bytes.size());
  return bytes;
}

StPackedDictionaryKey Key(const std::string& text) {
  return StPackedDictionaryKey(text.data(), text.size());
}

TEST(VHashKeyMapTest, BucketCountsFollowTheTable) {
  struct Case {
    size_t slots;
    size_t buckets;
  } cases[] = {{0, 5},          {4, 5},
               {5, 11},         {6, 11},
               {8, 11},         {9, 23},
               {199, 317},      {200, 521},
               {5778, 9349},    {5779, 15121},
               {9350, 24473},   {39603, 64081},
               {39604, 103681}, {2537720636, 4106118251}};
  for (const Case& c : cases) {
    EXPECT_EQ(_VHashKeyMap::_ComputeHashVectorSize(c.slots), c.buckets) << c.slots;
  }
}

TEST(VHashKeyMapTest, PutProbesLinearlyAndFailsWhenFull) {
  _VHashKeyMap map;
  ASSERT_TRUE(map.Rebuild(0));  // 5 buckets
  EXPECT_TRUE(map.Put(9, 0));   // home 4
  EXPECT_TRUE(map.Put(4, 1));   // home 4 taken: wraps to 0
  EXPECT_EQ(map.GetBucket(4), 0u);
  EXPECT_EQ(map.GetBucket(0), 1u);
  for (uint32 i = 2; i < 5; ++i) EXPECT_TRUE(map.Put(4, i));
  EXPECT_FALSE(map.Put(0, 5));
}

TEST(VPackedDictionaryTest, AppendLaysOutKeysAndFlatValues) {
  Store store;
  ASSERT_TRUE(store.Append("b", VBoolean(1)));           // 3 bytes: 2 words, padded
  ASSERT_TRUE(store.Append("long", VLong(0x01020304)));  // 6 bytes: 3 words
  ASSERT_TRUE(store.Append("s", VString("hi")));         // 2 + 4 + 4 bytes: 5 words

  const Bytes keys = {1, 'b', 4, 'l', 'o', 'n', 'g', 1, 's'};
  EXPECT_EQ(store.GetKeyBuffer(), keys);
  EXPECT_EQ(BackstoreBytes(store), Words({1, 0x0001, 4, 0x0304, 0x0102, 10, 2, 0, u'h', u'i'}));
  EXPECT_EQ(store.GetNthValueOffset(0), 0u);
  EXPECT_EQ(store.GetNthValueOffset(1), 2u);
  EXPECT_EQ(store.GetNthValueOffset(2), 5u);
}

TEST(VPackedDictionaryTest, IndexAppearsAtSixKeysAndDropsOnRemoval) {
  Store store;
  for (int i = 1; i <= 5; ++i)
    store.Append(Key(std::string("k").append(std::to_string(i))), VLong(i));
  VLong out;
  EXPECT_TRUE(store.GetValue("k3", out));
  EXPECT_FALSE(store.HasHashIndex());

  store.Append("k6", VLong(6));
  EXPECT_TRUE(store.GetValue("k1", out));
  EXPECT_TRUE(store.HasHashIndex());
  EXPECT_EQ(store.GetHashBucketCount(), 11u);
  // Appends follow the index.
  store.Append("k7", VLong(7));
  EXPECT_TRUE(store.HasHashIndex());
  for (int i = 1; i <= 7; ++i) {
    ASSERT_TRUE(store.GetValue(Key(std::string("k").append(std::to_string(i))), out)) << i;
    EXPECT_EQ(out.Get(), i);
  }
  EXPECT_FALSE(store.GetValue("k8", out));

  store.Clear("k7");
  store.Clear("k6");
  EXPECT_FALSE(store.HasHashIndex());
  EXPECT_TRUE(store.GetValue("k5", out));
  EXPECT_FALSE(store.HasHashIndex());  // 5 keys scan without one
}

TEST(VPackedDictionaryTest, SameSizeReplacementIsInPlaceOtherwiseCachedUntilPacked) {
  Store store;
  store.Append("a", VLong(1));
  store.Append("b", VLong(2));
  ASSERT_TRUE(store.SetExistingValue("a", VLong(5)));
  EXPECT_FALSE(store.NeedsPack());
  EXPECT_EQ(BackstoreBytes(store), Words({4, 5, 0, 4, 2, 0}));

  ASSERT_TRUE(store.SetExistingValue("a", VString("xy")));
  EXPECT_TRUE(store.NeedsPack());
  EXPECT_EQ(BackstoreBytes(store), Words({4, 5, 0, 4, 2, 0}));  // stale until packed
  VString text;
  EXPECT_TRUE(store.GetValue("a", text));
  EXPECT_TRUE(text.EqualToUSASCIICString("xy"));
  EXPECT_FALSE(store.SetExistingValue("zz", VLong(1)));

  TestPtrStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(store.WriteToStream(&stream, false), VE_OK);
  EXPECT_FALSE(store.NeedsPack());
  EXPECT_EQ(BackstoreBytes(store), Words({10, 2, 0, u'x', u'y', 4, 2, 0}));
  EXPECT_EQ(store.GetNthValueOffset(1), 5u);
  // Converting reads: a long read as a string, a string as a long.
  VLong number;
  EXPECT_TRUE(store.GetValue("b", text));
  EXPECT_TRUE(text.EqualToUSASCIICString("2"));
  ASSERT_TRUE(store.SetExistingValue("a", VString("41")));
  EXPECT_TRUE(store.GetValue("a", number));
  EXPECT_EQ(number.Get(), 41);
}

TEST(VPackedDictionaryTest, RemovingShiftsLaterOffsets) {
  Store store;
  store.Append("first", VWord(1));     // 2 words
  store.Append("second", VLong8(2));   // 5 words
  store.Append("third", VBoolean(1));  // 2 words
  store.Clear("third");
  EXPECT_EQ(store.GetBackstore().size(), 7u);
  EXPECT_EQ(store.GetKeyBuffer().size(), 6u + 7u);
  store.Clear("first");
  EXPECT_EQ(store.GetCount(), 1u);
  EXPECT_EQ(store.GetNthValueOffset(0), 0u);
  EXPECT_EQ(BackstoreBytes(store), Words({5, 2, 0, 0, 0}));
  EXPECT_EQ(store.GetKeyBuffer(), (Bytes{6, 's', 'e', 'c', 'o', 'n', 'd'}));
  VLong8 out;
  EXPECT_TRUE(store.GetValue("second", out));
  EXPECT_EQ(out.Get(), 2);
  store.Clear("absent");
  EXPECT_EQ(store.GetCount(), 1u);
}

// Emptied for reuse, a store with an index and a changed cached value
// keeps its room but lays out new entries as a fresh one.
TEST(VPackedDictionaryTest, EmptyingKeepingRoomLeavesAFreshStore) {
  Store store;
  for (int i = 1; i <= 7; ++i)
    store.Append(Key(std::string("k").append(std::to_string(i))), VString("some text"));
  VLong out;
  ASSERT_TRUE(store.GetValue("k2", out));
  ASSERT_TRUE(store.HasHashIndex());
  ASSERT_NE(store.GetNthValueForChange(0), nullptr);
  ASSERT_TRUE(store.NeedsPack());
  const size_t room = store.GetBackstore().capacity();

  store.RemoveAllKeepingRoom();
  EXPECT_EQ(store.GetCount(), 0u);
  EXPECT_TRUE(store.GetKeyBuffer().empty());
  EXPECT_TRUE(store.GetBackstore().empty());
  EXPECT_FALSE(store.HasHashIndex());
  EXPECT_FALSE(store.NeedsPack());
  EXPECT_FALSE(store.GetValue("k1", out));
  EXPECT_EQ(store.GetBackstore().capacity(), room);

  ASSERT_TRUE(store.Append("b", VBoolean(1)));
  ASSERT_TRUE(store.Append("s", VString("hi")));
  EXPECT_EQ(store.GetKeyBuffer(), (Bytes{1, 'b', 1, 's'}));
  EXPECT_EQ(BackstoreBytes(store), Words({1, 0x0001, 10, 2, 0, u'h', u'i'}));
  EXPECT_EQ(store.GetNthValueOffset(1), 2u);
  EXPECT_FALSE(store.GetValue("k1", out));
}

TEST(VPackedDictionaryTest, CopyIsPackedAndSharesNoCachedValue) {
  Store store;
  store.Append("a", VLong(1));
  store.Append("b", VLong(2));
  store.SetExistingValue("a", VString("longer"));
  Store copy(store);
  EXPECT_FALSE(copy.NeedsPack());
  EXPECT_EQ(BackstoreBytes(copy), BackstoreBytes(store));
  store.SetExistingValue("b", VString("changed"));
  VString text;
  EXPECT_TRUE(copy.GetValue("a", text));
  EXPECT_TRUE(text.EqualToUSASCIICString("longer"));
  EXPECT_TRUE(copy.GetValue("b", text));
  EXPECT_TRUE(text.EqualToUSASCIICString("2"));
}

TEST(VPackedDictionaryTest, KeysBlockWithIndexMatchesTheLayout) {
  Store store;
  std::vector<std::string> names = {"n1", "n2", "n3", "n4", "n5", "n6"};
  for (const std::string& name : names) store.Append(Key(name), VBoolean(1));
  TestPtrStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(store.WriteToStream(&stream, true), VE_OK);
  const Bytes bytes = Contents(stream);

  Bytes expected = {6, 0, 0, 0, 18, 0, 0, 0};
  for (const std::string& name : names) {
    expected.push_back(2);
    expected.insert(expected.end(), name.begin(), name.end());
  }
  expected.push_back(1);
  expected.insert(expected.end(), {11, 0, 0, 0});
  // Buckets by linear probing from hash mod 11, slots entered in order.
  std::vector<uint32> buckets(11, 0xFFFFFFFF);
  for (uint32 i = 0; i < names.size(); ++i) {
    size_t b = StPackedDictionaryKey::GetHashCode(names[i].data(), 2) % 11;
    while (buckets[b] != 0xFFFFFFFF) b = (b + 1) % 11;
    buckets[b] = i;
  }
  for (uint32 b : buckets) {
    for (int shift = 0; shift < 32; shift += 8) expected.push_back(uint8(b >> shift));
  }
  expected.insert(expected.end(), {12, 0, 0, 0});
  for (size_t i = 0; i < names.size(); ++i) expected.insert(expected.end(), {1, 0, 1, 0});
  EXPECT_EQ(bytes, expected);
}

TEST(VPackedDictionaryTest, StoredIndexIsUsedWithItsOwnBucketCount) {
  // Six keys with a stored index of 13 buckets (the table would give 11).
  std::vector<std::string> names = {"a", "b", "c", "d", "e", "f"};
  Bytes block = {6, 0, 0, 0, 12, 0, 0, 0};
  for (const std::string& name : names) block.insert(block.end(), {1, uint8(name[0])});
  block.insert(block.end(), {1, 13, 0, 0, 0});
  std::vector<uint32> buckets(13, 0xFFFFFFFF);
  for (uint32 i = 0; i < names.size(); ++i) {
    size_t b = StPackedDictionaryKey::GetHashCode(names[i].data(), 1) % 13;
    while (buckets[b] != 0xFFFFFFFF) b = (b + 1) % 13;
    buckets[b] = i;
  }
  for (uint32 b : buckets) {
    for (int shift = 0; shift < 32; shift += 8) block.push_back(uint8(b >> shift));
  }
  block.insert(block.end(), {18, 0, 0, 0});
  for (uint16 i = 0; i < 6; ++i) {
    const Bytes entry = Words({4, uint16(100 + i), 0});
    block.insert(block.end(), entry.begin(), entry.end());
  }
  TestConstPtrStream stream(block.data(), block.size());
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  Store store;
  ASSERT_EQ(store.ReadFromStream(&stream), VE_OK);
  EXPECT_EQ(store.GetHashBucketCount(), 13u);
  for (size_t i = 0; i < names.size(); ++i) {
    VLong out;
    ASSERT_TRUE(store.GetValue(Key(names[i]), out)) << names[i];
    EXPECT_EQ(out.Get(), int32(100 + i));
  }
  VLong out;
  EXPECT_FALSE(store.GetValue("g", out));
}

}  // namespace
}  // namespace zeft
