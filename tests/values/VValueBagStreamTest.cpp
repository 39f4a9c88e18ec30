// The bag's binary stream: exact bytes of small bags, both byte orders,
// nesting, and malformed streams refused without harm.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/VBoolean.h"
#include "core/VByte.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VWord.h"
#include "files/StreamTestSupport.h"
#include "support/ErrorTestSupport.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using namespace stream_test;
using BagRef = VRefPtr<VValueBag>;
namespace te = toolbox_error;

BagRef NewBag() { return BagRef(new VValueBag(), kAdoptRef); }

Bytes WriteBag(const VValueBag& bag, bool swap = false) {
  TestPtrStream stream;
  stream.SetNeedSwap(swap);
  EXPECT_EQ(stream.OpenWriting(), VE_OK);
  EXPECT_EQ(bag.WriteToStream(&stream), VE_OK);
  return Contents(stream);
}

VError ReadBag(const Bytes& bytes, VValueBag& bag, bool swap = false) {
  TestConstPtrStream stream(bytes.data(), bytes.size());
  stream.SetNeedSwap(swap);
  EXPECT_EQ(stream.OpenReading(), VE_OK);
  return bag.ReadFromStream(&stream);
}

void Append(Bytes& bytes, std::initializer_list<uint8> more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
}
void AppendU32(Bytes& bytes, uint32 value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8(value >> shift));
}
Bytes Header() { return {'G', 'A', 'B', 'V', 1, 0, 0, 0}; }

// A bag with every scalar kind, a string, character data and two levels of
// sub-bags.
BagRef SampleBag() {
  BagRef bag = NewBag();
  bag->SetBool("flag", true);
  bag->SetAttribute("byte", VByte(-5));
  bag->SetAttribute("word", VWord(0x1234));
  bag->SetLong("long", 0x01020304);
  bag->SetLong8("long8", 0x0102030405060708LL);
  bag->SetReal("real", 3.25);
  bag->SetString("text", VString("h\u00E9llo"));
  bag->SetCData(VString("character data"));
  for (int i = 0; i < 3; ++i) {
    BagRef child = NewBag();
    child->SetLong("i", i);
    BagRef grandchild = NewBag();
    grandchild->SetString("deep", VString("yes"));
    child->AddElement("g", grandchild.Get());
    bag->AddElement("child", child.Get());
  }
  bag->AddElement("other", NewBag().Get());
  return bag;
}

void ExpectSampleBag(const VValueBag& bag) {
  bool flag = false;
  VByte byte;
  VWord word;
  int32 n = 0;
  int64 n8 = 0;
  double r = 0;
  VString text;
  EXPECT_TRUE(bag.GetBool("flag", flag) && flag);
  EXPECT_TRUE(bag.GetAttribute("byte", byte));
  EXPECT_EQ(byte.Get(), -5);
  EXPECT_TRUE(bag.GetAttribute("word", word));
  EXPECT_EQ(word.Get(), 0x1234);
  EXPECT_TRUE(bag.GetLong("long", n));
  EXPECT_EQ(n, 0x01020304);
  EXPECT_TRUE(bag.GetLong8("long8", n8));
  EXPECT_EQ(n8, 0x0102030405060708LL);
  EXPECT_TRUE(bag.GetReal("real", r));
  EXPECT_EQ(r, 3.25);
  EXPECT_TRUE(bag.GetString("text", text));
  EXPECT_TRUE(text.EqualToStringRaw(VString("h\u00E9llo")));
  EXPECT_TRUE(bag.GetCData(text));
  EXPECT_TRUE(text.EqualToUSASCIICString("character data"));
  const VBagArray* children = bag.GetElements("child");
  ASSERT_NE(children, nullptr);
  ASSERT_EQ(children->GetCount(), 3);
  for (int32 i = 0; i < 3; ++i) {
    EXPECT_TRUE(children->GetNth(i + 1)->GetLong("i", n));
    EXPECT_EQ(n, i);
  }
  EXPECT_NE(bag.GetUniqueElementByPath(VString("child/g")), nullptr);
  ASSERT_NE(bag.GetElements("other"), nullptr);
  EXPECT_TRUE(bag.GetUniqueElement("other")->IsEmpty());
}

TEST(VValueBagStreamTest, EmptyBagAndOneBooleanHaveExactBytes) {
  Bytes expected = Header();
  Append(expected, {0});
  EXPECT_EQ(WriteBag(*NewBag()), expected);

  BagRef bag = NewBag();
  bag->SetBool("a", true);
  expected = Header();
  Append(expected, {1, 1, 0, 0, 0, 2, 0, 0, 0, 1, 'a', 0, 2, 0, 0, 0, 1, 0, 1, 0});
  EXPECT_EQ(WriteBag(*bag), expected);

  // Big-endian: the tag reads "VBAG" and every count is swapped.
  expected = {'V', 'B', 'A', 'G', 0,   1, 0, 0, 1, 0, 0, 0, 1, 0,
              0,   0,   2,   1,   'a', 0, 0, 0, 0, 2, 0, 1, 1, 0};
  EXPECT_EQ(WriteBag(*bag, true), expected);
}

// A null string is written with the length 0xFFFFFFFF and reads back null,
// in both byte orders; an empty one stays empty. Other kinds have no room
// for the flag: a null value is written as the empty value of its kind.
TEST(VValueBagStreamTest, NullStringsAreMarkedOtherNullsWriteTheEmptyForm) {
  BagRef nulls = NewBag();
  nulls->SetAttribute("s", VString(true));
  nulls->SetString("e", VString());
  BagRef replaced = NewBag();
  replaced->SetString("s", VString("a text first"));
  replaced->SetString("e", VString());
  replaced->SetAttribute("s", VString(true));
  for (bool swap : {false, true}) {
    SCOPED_TRACE(swap);
    for (const VValueBag* bag : {nulls.Get(), replaced.Get()}) {
      const Bytes bytes = WriteBag(*bag, swap);
      // Header, flags, keys block (4 + 4 + 4 + index flag), word count,
      // then "s": kind word and its length.
      const size_t sLength = 8 + 1 + 13 + 4 + 2;
      ASSERT_GE(bytes.size(), sLength + 4);
      EXPECT_EQ(Bytes(bytes.begin() + sLength, bytes.begin() + sLength + 4), Bytes(4, 0xFF));
      BagRef read = NewBag();
      ASSERT_EQ(ReadBag(bytes, *read, swap), VE_OK);
      VString text("not null");
      EXPECT_TRUE(read->GetString("s", text));
      EXPECT_TRUE(text.IsNull());
      EXPECT_TRUE(read->GetAttributeValue("s")->IsNull());
      EXPECT_TRUE(read->GetString("e", text));
      EXPECT_FALSE(text.IsNull());
      EXPECT_TRUE(text.IsEmpty());
      EXPECT_EQ(WriteBag(*read, swap), bytes);
    }
  }
  // Every other kind writes its empty form.
  BagRef nullLongs = NewBag();
  VLong nullLong(0);
  nullLong.SetNull(true);
  nullLongs->SetAttribute("n", nullLong);
  BagRef zeros = NewBag();
  zeros->SetLong("n", 0);
  for (bool swap : {false, true}) EXPECT_EQ(WriteBag(*nullLongs, swap), WriteBag(*zeros, swap));
}

// A JSON null attribute is a null string: it survives the stream.
TEST(VValueBagStreamTest, JSONNullAttributesReadBackNull) {
  const char* text = "{\"none\":null,\"empty\":\"\",\"obj\":{\"none\":null}}";
  BagRef bag = NewBag();
  ASSERT_EQ(bag->FromJSONString(VString(text), 0), VE_OK);
  for (bool swap : {false, true}) {
    BagRef read = NewBag();
    ASSERT_EQ(ReadBag(WriteBag(*bag, swap), *read, swap), VE_OK);
    VString json;
    ASSERT_EQ(read->GetJSONString(json, 0), VE_OK);
    EXPECT_EQ(to_string(json), text) << swap;
  }
}

TEST(VValueBagStreamTest, RoundTripsInBothByteOrders) {
  BagRef bag = SampleBag();
  for (bool swap : {false, true}) {
    const std::vector<uint16> before = bag->GetAttributeStore().GetBackstore();
    const Bytes bytes = WriteBag(*bag, swap);
    EXPECT_EQ(bag->GetAttributeStore().GetBackstore(), before) << swap;
    BagRef copy = NewBag();
    copy->SetLong("stale", 1);
    ASSERT_EQ(ReadBag(bytes, *copy, swap), VE_OK) << swap;
    EXPECT_FALSE(copy->AttributeExists("stale"));
    ExpectSampleBag(*copy);
    EXPECT_EQ(WriteBag(*copy, swap), bytes) << swap;
  }
}

TEST(VValueBagStreamTest, SixAttributesCarryTheirIndex) {
  BagRef bag = NewBag();
  for (int32 i = 0; i < 6; ++i) {
    const std::string name = "attr" + std::to_string(i);
    bag->SetLong(StPackedDictionaryKey(name.data(), name.size()), i);
  }
  const Bytes bytes = WriteBag(*bag);
  // Header, flags, counts and six 5-byte keys, then the index flag.
  const size_t flagOffset = 8 + 1 + 8 + 6 * 6;
  ASSERT_GT(bytes.size(), flagOffset + 5);
  EXPECT_EQ(bytes[flagOffset], 1);
  EXPECT_EQ(bytes[flagOffset + 1], 11);
  BagRef copy = NewBag();
  ASSERT_EQ(ReadBag(bytes, *copy), VE_OK);
  EXPECT_TRUE(copy->GetAttributeStore().HasHashIndex());
  EXPECT_EQ(copy->GetAttributeStore().GetHashBucketCount(), 11u);
  for (int32 i = 0; i < 6; ++i) {
    const std::string name = "attr" + std::to_string(i);
    int32 value = -1;
    EXPECT_TRUE(copy->GetLong(StPackedDictionaryKey(name.data(), name.size()), value));
    EXPECT_EQ(value, i);
  }
}

TEST(VValueBagStreamTest, HeaderIsChecked) {
  BagRef bag = NewBag();
  Bytes version2 = {'G', 'A', 'B', 'V', 2, 0, 0, 0, 0};
  EXPECT_EQ(ReadBag(version2, *bag), Err(te::kBagStreamBadVersion));
  EXPECT_TRUE(bag->IsEmpty());
  Bytes badTag = {'G', 'A', 'B', 'X', 1, 0, 0, 0, 0};
  bag->SetLong("x", 1);
  EXPECT_EQ(ReadBag(badTag, *bag), Err(te::kStreamBadSignature));
  EXPECT_TRUE(bag->IsEmpty());
  // Reserved word is not checked.
  Bytes reserved = {'G', 'A', 'B', 'V', 1, 0, 7, 7, 0};
  EXPECT_EQ(ReadBag(reserved, *bag), VE_OK);

  // A stream already in error gives that error and an empty bag.
  TestConstPtrStream stream(reserved.data(), 0);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  uint8 byte;
  const VError pending = stream.GetData(&byte, 1);
  ASSERT_NE(pending, VE_OK);
  bag->SetLong("x", 1);
  EXPECT_EQ(bag->ReadFromStream(&stream), pending);
  EXPECT_TRUE(bag->IsEmpty());
}

// The stream's error ends the read, and the bags read whole before it stay.
TEST(VValueBagStreamTest, ArrayCutShortKeepsTheBagsReadBefore) {
  VRefPtr<VBagArray> array(new VBagArray(), kAdoptRef);
  for (int32 i = 0; i < 3; ++i) {
    BagRef bag = NewBag();
    bag->SetLong("i", i);
    array->AddTail(bag.Get());
  }
  TestPtrStream out;
  ASSERT_EQ(out.OpenWriting(), VE_OK);
  ASSERT_EQ(array->WriteToStreamMinimal(&out), VE_OK);
  const Bytes bytes = Contents(out);
  // Count (4), then each bag: flags 1, keys block of 1 + 1 bytes (4 + 4 + 2
  // + index flag 1), word count 4, 3 words.
  const size_t bagSize = 1 + 11 + 4 + 6;
  ASSERT_EQ(bytes.size(), 4 + 3 * bagSize);
  TestConstPtrStream in(bytes.data(), 4 + bagSize + 5);
  ASSERT_EQ(in.OpenReading(), VE_OK);
  VRefPtr<VBagArray> read(new VBagArray(), kAdoptRef);
  EXPECT_EQ(read->ReadFromStreamMinimal(&in), Err(te::kStreamEndOfData));
  ASSERT_EQ(read->GetCount(), 1);
  int32 first = -1;
  EXPECT_TRUE(read->GetNth(1)->GetLong("i", first));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(read->GetNth(1)->GetRefCount(), 1);
}

TEST(VValueBagStreamTest, EveryTruncationFailsAndLeavesTheBagEmpty) {
  const Bytes bytes = WriteBag(*SampleBag());
  for (size_t size = 0; size < bytes.size(); ++size) {
    const Bytes cut(bytes.begin(), bytes.begin() + size);
    BagRef bag = NewBag();
    EXPECT_NE(ReadBag(cut, *bag), VE_OK) << size;
    EXPECT_TRUE(bag->IsEmpty()) << size;
  }
}

// A bag whose attribute block is `attributes` (a keys block, a word count
// and words) and which has no elements.
Bytes WithAttributes(const Bytes& attributes) {
  Bytes bytes = Header();
  bytes.push_back(1);
  bytes.insert(bytes.end(), attributes.begin(), attributes.end());
  return bytes;
}

Bytes KeysBlock(uint32 count, uint32 size, const Bytes& keys) {
  Bytes block;
  AppendU32(block, count);
  AppendU32(block, size);
  block.insert(block.end(), keys.begin(), keys.end());
  return block;
}

// The fields of a hand-made stream, each written in the stream's byte order.
class Fields {
 public:
  explicit Fields(bool swap) : fSwap(swap) {}
  Fields& U8(std::initializer_list<uint8> values) {
    fBytes.insert(fBytes.end(), values.begin(), values.end());
    return *this;
  }
  Fields& U16(uint16 value) { return _Put(value, 2); }
  Fields& U32(uint32 value) { return _Put(value, 4); }
  Fields& BagHeader() { return U32(0x56424147).U16(1).U16(0); }
  // A keys block: count, size, then the key bytes (and what follows them).
  Fields& Keys(uint32 count, uint32 size, std::initializer_list<uint8> bytes) {
    return U32(count).U32(size).U8(bytes);
  }
  // Words holding one long attribute: kind 4 and its value.
  Fields& OneLong() { return U32(3).U16(4).U32(1); }
  const Bytes& Get() const { return fBytes; }

 private:
  Fields& _Put(uint32 value, int size) {
    for (int i = 0; i < size; ++i) fBytes.push_back(uint8(value >> (fSwap ? size - 1 - i : i) * 8));
    return *this;
  }
  bool fSwap;
  Bytes fBytes;
};

TEST(VValueBagStreamTest, MalformedStreamsAreRefusedInBothByteOrders) {
  const VError corrupted = Err(te::kBagStreamCorrupted);
  const VError endOfData = Err(te::kStreamEndOfData);
  struct Case {
    const char* name;
    std::function<void(Fields&)> build;  // what follows the header
    VError error;
  } cases[] = {
      {"huge key count",
       [](Fields& f) {
         f.U8({1}).Keys(0xFFFFFFF0, 2, {1, 'a'});
       },
       corrupted},
      {"more keys than key bytes",
       [](Fields& f) {
         f.U8({1}).Keys(3, 2, {1, 'a'});
       },
       corrupted},
      {"huge key buffer without data",
       [](Fields& f) {
         f.U8({1}).Keys(1, 0x7FFFFFFF, {1, 'a'});
       },
       endOfData},
      {"key length past the buffer",
       [](Fields& f) {
         f.U8({1}).Keys(1, 2, {5, 'a', 0}).OneLong();
       },
       corrupted},
      {"bytes left after the keys",
       [](Fields& f) {
         f.U8({1}).Keys(1, 3, {1, 'a', 'b', 0}).OneLong();
       },
       corrupted},
      {"duplicate keys",
       [](Fields& f) {
         f.U8({1}).Keys(2, 4, {1, 'a', 1, 'a', 0}).U32(6).U16(4).U32(1).U16(4).U32(1);
       },
       corrupted},
      {"index flag 2",
       [](Fields& f) {
         f.U8({1}).Keys(1, 2, {1, 'a', 2}).OneLong();
       },
       corrupted},
      {"zero buckets",
       [](Fields& f) {
         f.U8({1}).Keys(1, 2, {1, 'a', 1}).U32(0).OneLong();
       },
       corrupted},
      {"bucket names no slot",
       [](Fields& f) {
         f.U8({1}).Keys(1, 2, {1, 'a', 1}).U32(1).U32(5).OneLong();
       },
       corrupted},
      {"home bucket of a key empty",
       [](Fields& f) {
         f.U8({1}).Keys(1, 2, {1, 'a', 1}).U32(2).U32(0xFFFFFFFF).U32(0xFFFFFFFF).OneLong();
       },
       corrupted},
      {"huge bucket count without data",
       [](Fields& f) {
         f.U8({1}).Keys(1, 2, {1, 'a', 1}).U32(0xFFFFFFFF).OneLong();
       },
       endOfData},
      {"huge word count without data",
       [](Fields& f) {
         f.U8({1}).Keys(1, 2, {1, 'a', 0}).U32(0xFFFFFFFF);
       },
       endOfData},
      {"fewer words than keys",
       [](Fields& f) {
         f.U8({1}).Keys(2, 4, {1, 'a', 1, 'b', 0}).U32(1).U16(0);
       },
       corrupted},
      {"value larger than the words",
       [](Fields& f) {
         f.U8({1}).Keys(1, 2, {1, 'a', 0}).U32(2).U16(4).U16(1);
       },
       corrupted},
      {"words left after the values",
       [](Fields& f) {
         f.U8({1}).Keys(1, 2, {1, 'a', 0}).U32(4).U16(4).U32(1).U16(0x0909);
       },
       corrupted},
      {"string length past the words",
       [](Fields& f) {
         f.U8({1}).Keys(1, 2, {1, 'a', 0}).U32(4).U16(10).U32(0x7FFFFFFF).U16(0x41);
       },
       corrupted},
      {"unknown content flags", [](Fields& f) { f.U8({4}); }, corrupted},
      // Element blocks: a huge bag count with no bag behind it, a bag count
      // past the 32-bit signed range, and more empty bags than the stream
      // can pay for.
      {"huge bag count",
       [](Fields& f) {
         f.U8({2}).Keys(1, 2, {1, 'e', 0}).U32(0x7FFFFFFF).U8({0});
       },
       endOfData},
      {"bag count past int32",
       [](Fields& f) {
         f.U8({2}).Keys(1, 2, {1, 'e', 0}).U32(0x80000000).U8({0});
       },
       corrupted},
      {"one bag per byte",
       [](Fields& f) {
         f.U8({2}).Keys(1, 2, {1, 'e', 0}).U32(100000);
         for (int i = 0; i < 100000; ++i) f.U8({0});
       },
       corrupted},
  };
  for (bool swap : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      SCOPED_TRACE(swap ? "swapped" : "native");
      Fields fields(swap);
      c.build(fields.BagHeader());
      BagRef bag = NewBag();
      bag->SetLong("stale", 1);
      EXPECT_EQ(ReadBag(fields.Get(), *bag, swap), c.error);
      EXPECT_TRUE(bag->IsEmpty());
    }
  }
}

TEST(VValueBagStreamTest, UnregisteredKindsAreKeptAsTheyAre) {
  // Kind 77 has no descriptor: its entry is the kind word alone.
  const Bytes stream = WithAttributes([] {
    Bytes block = KeysBlock(2, 4, {1, 'u', 1, 'n', 0});
    Append(block, {4, 0, 0, 0, 77, 0, 4, 0, 9, 0, 0, 0});
    return block;
  }());
  BagRef bag = NewBag();
  ASSERT_EQ(ReadBag(stream, *bag), VE_OK);
  VLong out(5);
  EXPECT_TRUE(bag->GetAttribute("u", out));
  EXPECT_EQ(out.Get(), 5);
  EXPECT_EQ(bag->GetNthAttribute(1, nullptr), nullptr);
  int32 n = 0;
  EXPECT_TRUE(bag->GetLong("n", n));
  EXPECT_EQ(n, 9);
  EXPECT_EQ(WriteBag(*bag), stream);
}

BagRef Chain(int levels) {
  BagRef top = NewBag();
  VValueBag* bag = top.Get();
  for (int i = 0; i < levels; ++i) {
    BagRef child = NewBag();
    bag->AddElement("c", child.Get());
    bag = child.Get();
  }
  bag->SetLong("bottom", levels);
  return top;
}

TEST(VValueBagStreamTest, NestingDepthIsBounded) {
  BagRef deepest = NewBag();
  ASSERT_EQ(ReadBag(WriteBag(*Chain(VBagArray::kMaxStreamDepth)), *deepest), VE_OK);
  std::string path = "c";
  for (int i = 1; i < VBagArray::kMaxStreamDepth; ++i) path += "/c";
  const VValueBag* bottom = deepest->GetUniqueElementByPath(VString(path.c_str()));
  ASSERT_NE(bottom, nullptr);
  EXPECT_TRUE(bottom->AttributeExists("bottom"));

  BagRef tooDeep = NewBag();
  EXPECT_EQ(ReadBag(WriteBag(*Chain(VBagArray::kMaxStreamDepth + 1)), *tooDeep),
            Err(te::kBagStreamCorrupted));
  EXPECT_TRUE(tooDeep->IsEmpty());

  // A hand-made stream nesting far deeper than any writer would: each
  // level is flags 2, one key "c", one bag.
  Bytes bytes = Header();
  for (int i = 0; i < 100000; ++i) {
    bytes.push_back(2);
    const Bytes keys = KeysBlock(1, 2, {1, 'c', 0});
    bytes.insert(bytes.end(), keys.begin(), keys.end());
    AppendU32(bytes, 1);
  }
  bytes.push_back(0);
  BagRef hostile = NewBag();
  EXPECT_EQ(ReadBag(bytes, *hostile), Err(te::kBagStreamCorrupted));
  EXPECT_TRUE(hostile->IsEmpty());
}

TEST(VValueBagStreamTest, BagIsAValueOfTheRegistry) {
  VValue* value = VValue::NewValueFromValueKind(kValueKindBag);
  ASSERT_NE(value, nullptr);
  VValueBag* bag = dynamic_cast<VValueBag*>(value);
  ASSERT_NE(bag, nullptr);
  EXPECT_TRUE(bag->IsEmpty());
  bag->Release();

  // The stream's value form carries the kind, then the tagged bag.
  BagRef sample = SampleBag();
  TestPtrStream out;
  ASSERT_EQ(out.OpenWriting(), VE_OK);
  ASSERT_EQ(out.PutValue(*sample, true), VE_OK);
  const Bytes bytes = Contents(out);
  TestConstPtrStream in(bytes.data(), bytes.size());
  ASSERT_EQ(in.OpenReading(), VE_OK);
  VValue* read = in.GetValue();
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->GetValueKind(), kValueKindBag);
  ExpectSampleBag(*static_cast<VValueBag*>(read));
  static_cast<VValueBag*>(read)->Release();
}

// Header codes are returned to the caller, not raised; what the stream
// itself runs into is raised by the stream.
TEST(VValueBagStreamTest, HeaderErrorsAreReturnedAndStreamErrorsRaised) {
  struct Case {
    const char* what;
    Bytes bytes;
    VError returned;
    VError raised;
  };
  const Case cases[] = {
      {"bad tag", {'G', 'A', 'B', 'X', 1, 0, 0, 0, 0}, Err(te::kStreamBadSignature), VE_OK},
      {"version 2", {'G', 'A', 'B', 'V', 2, 0, 0, 0, 0}, Err(te::kBagStreamBadVersion), VE_OK},
      {"cut header", {'G', 'A', 'B'}, Err(te::kStreamEndOfData), Err(te::kStreamEndOfData)},
      {"no content flags", Header(), Err(te::kStreamEndOfData), Err(te::kStreamEndOfData)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::ErrorCollector errors;
    BagRef bag = NewBag();
    EXPECT_EQ(ReadBag(c.bytes, *bag), c.returned);
    EXPECT_EQ(errors.LastError(), c.raised);
    EXPECT_LE(errors.Errors().size(), 1u);
  }
}

}  // namespace
}  // namespace zeft
