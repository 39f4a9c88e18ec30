// Bag keys: the hash, the 255-byte limit on every way of making a key, and
// owned versus borrowed texts.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/VBoolean.h"
#include "core/VLong.h"
#include "core/VString.h"
#include "values/StBagKeyNoDefault.h"
#include "values/StBagKeyWithDefault.h"
#include "values/StPackedDictionaryKey.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

// Static keys are constant-initialised: they exist before any memory
// manager and carry their hash from compile time.
constexpr StBagKeyNoDefault<int32, VLong> kCountKey("count");
constexpr StBagKeyWithDefault<bool, VBoolean> kFlagKey("flag", true);
static_assert(kCountKey.GetKeyLength() == 5);
static_assert(StPackedDictionaryKey::GetHashCode("<>", 2) == (2u * 257 + 60) * 257 + 62);
static_assert(StPackedDictionaryKey::GetHashCode("", 0) == 0);

uint32 ReferenceHash(const std::string& text) {
  uint32 h = uint32(text.size());
  if (text.empty()) return 0;
  auto add = [&h](char c) { h = h * 257u + uint8(c); };
  if (text.size() <= 16) {
    for (char c : text) add(c);
  } else {
    for (size_t i = 0; i < 8; ++i) add(text[i]);
    for (size_t i = text.size() - 8; i < text.size(); ++i) add(text[i]);
  }
  return h;
}

TEST(StPackedDictionaryKeyTest, HashFollowsLengthAndCountedBytes) {
  const uint32 abc = uint32((uint64(3 * 257 + 97) * 257 + 98) * 257 + 99);
  EXPECT_EQ(StPackedDictionaryKey("abc").GetHash(), abc);
  struct Case {
    std::string text;
  } cases[] = {{""},
               {"a"},
               {"sixteen_bytes_ok"},
               {"seventeen_bytes_x"},
               {std::string(255, 'z')},
               {"\xC3\xA9t\xC3\xA9"}};
  for (const Case& c : cases) {
    StPackedDictionaryKey key(c.text.data(), c.text.size());
    ASSERT_TRUE(key.IsValid()) << c.text;
    EXPECT_EQ(key.GetHash(), ReferenceHash(c.text)) << c.text;
  }
}

TEST(StPackedDictionaryKeyTest, LongKeysDifferingInTheMiddleHashAlikeButDiffer) {
  const std::string a = "0123456789ABCDEFGHIJ";  // 20 bytes
  std::string b = a;
  for (size_t i = 8; i < 12; ++i) b[i] = '#';  // bytes 9 to 12
  StPackedDictionaryKey ka(a.data(), a.size());
  StPackedDictionaryKey kb(b.data(), b.size());
  EXPECT_EQ(ka.GetHash(), kb.GetHash());
  EXPECT_FALSE(ka == kb);

  VValueBag bag;
  bag.SetLong(ka, 1);
  bag.SetLong(kb, 2);
  int32 value = 0;
  EXPECT_TRUE(bag.GetLong(ka, value));
  EXPECT_EQ(value, 1);
  EXPECT_TRUE(bag.GetLong(kb, value));
  EXPECT_EQ(value, 2);
}

TEST(StPackedDictionaryKeyTest, PointerAndLengthCopiesExactlyThatMany) {
  // A buffer with no terminator: reading one byte past it would be caught
  // by the address sanitizer.
  std::unique_ptr<char[]> text(new char[3]{'k', 'e', 'y'});
  StPackedDictionaryKey key(text.get(), 3);
  text.reset();
  ASSERT_TRUE(key.IsValid());
  EXPECT_TRUE(key.IsOwned());
  EXPECT_TRUE(key.Equals("key", 3));
  EXPECT_EQ(key.GetKeyText()[3], 0);
}

TEST(StPackedDictionaryKeyTest, OverLongKeysAreInvalidOnEveryPath) {
  const std::string longText(256, 'x');
  VString longString(longText.c_str());
  // 128 two-byte characters convert to 256 bytes.
  VString wide;
  for (int i = 0; i < 128; ++i) wide.AppendUniChar(u'\u00E9');
  VString exact(std::string(255, 'y').c_str());

  struct Case {
    const char* name;
    StPackedDictionaryKey key;
    bool valid;
  } cases[] = {
      {"pointer and length 256", StPackedDictionaryKey(longText.data(), longText.size()), false},
      {"borrowed 256",
       StPackedDictionaryKey(longText.data(), longText.size(), StPackedDictionaryKey::BorrowTag{}),
       false},
      {"string of 256 ASCII", StPackedDictionaryKey(longString), false},
      {"string of 300 ASCII", StPackedDictionaryKey(VString(std::string(300, 'q').c_str())), false},
      {"string needing 256 UTF-8 bytes", StPackedDictionaryKey(wide), false},
      {"string of 255 ASCII", StPackedDictionaryKey(exact), true},
      {"wide literal", StPackedDictionaryKey(L"caf\u00E9"), true},
      {"empty string", StPackedDictionaryKey(VString("")), true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.key.IsValid(), c.valid) << c.name;
    if (!c.valid) {
      EXPECT_EQ(c.key.GetKeyLength(), 0u) << c.name;
    }
  }
  EXPECT_EQ(cases[6].key.GetKeyLength(), 5u);  // "caf" + 2 bytes

  // An invalid key names nothing: it neither stores nor finds, and in
  // particular does not alias the empty name.
  VValueBag bag;
  EXPECT_TRUE(bag.SetLong(StPackedDictionaryKey(VString("")), 7));
  EXPECT_FALSE(bag.SetLong(cases[0].key, 8));
  int32 value = 0;
  EXPECT_FALSE(bag.GetLong(cases[2].key, value));
  EXPECT_EQ(bag.GetAttributesCount(), 1);
  EXPECT_TRUE(bag.GetLong(StPackedDictionaryKey(""), value));
  EXPECT_EQ(value, 7);
}

TEST(StPackedDictionaryKeyTest, CopiesDuplicateOwnedTextAndShareBorrowedText) {
  std::vector<StPackedDictionaryKey> keys;
  {
    std::string text = "owned";
    StPackedDictionaryKey owned(text.data(), text.size());
    keys.push_back(owned);
    keys.push_back(std::move(owned));
    text.assign("XXXXX");
  }
  for (const StPackedDictionaryKey& key : keys) {
    EXPECT_TRUE(key.Equals("owned", 5));
    EXPECT_TRUE(key.IsOwned());
  }
  EXPECT_NE(keys[0].GetKeyText(), keys[1].GetKeyText());

  static const char kLiteral[] = "borrowed";
  StPackedDictionaryKey borrowed(kLiteral);
  StPackedDictionaryKey copy(borrowed);
  EXPECT_EQ(copy.GetKeyText(), kLiteral);
  EXPECT_FALSE(copy.IsOwned());
  copy = keys[0];
  EXPECT_TRUE(copy.IsOwned());
  EXPECT_TRUE(copy.Equals("owned", 5));
}

TEST(StPackedDictionaryKeyTest, TypedStaticKeysGetAndSet) {
  VValueBag bag;
  int32 count = -1;
  EXPECT_FALSE(kCountKey.Get(bag, count));
  EXPECT_EQ(count, -1);
  EXPECT_TRUE(kFlagKey.Get(bag));  // the default
  EXPECT_TRUE(kCountKey.Set(bag, 42));
  EXPECT_TRUE(kFlagKey.Set(bag, false));
  EXPECT_TRUE(kCountKey.Get(bag, count));
  EXPECT_EQ(count, 42);
  EXPECT_FALSE(kFlagKey.Get(bag));

  const StBagKeyWithDefault<VString, VString> name("name", VString("nobody"));
  VString got = name.Get(bag);
  EXPECT_TRUE(got.EqualToUSASCIICString("nobody"));
  name.Set(bag, VString("somebody"));
  EXPECT_TRUE(name.Get(bag).EqualToUSASCIICString("somebody"));
  // A stored value of another kind converts to the key's type.
  bag.SetString("count", VString("17"));
  EXPECT_TRUE(kCountKey.Get(bag, count));
  EXPECT_EQ(count, 17);
}

}  // namespace
}  // namespace zeft
