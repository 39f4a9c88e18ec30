// The UUID value: its text form and readers, null rules, the cached text,
// generation, ordering and the stored forms.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "ValueTestSupport.h"
#include "core/VString.h"
#include "values/VUUID.h"

namespace zeft {
namespace {

using test::Bytes;

const VUUIDBuffer kSample = {{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA,
                              0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
constexpr const char* kSampleText = "00112233445566778899AABBCCDDEEFF";

Bytes BytesOf(const VUUID& u) { return Bytes(u.GetBytes(), u.GetBytes() + 16); }

std::string TextOf(const VUUID& u) {
  VString text;
  u.GetString(text);
  return to_string(text);
}

TEST(VUUID, TextForm) {
  const VUUID u(kSample);
  EXPECT_FALSE(u.IsNull());
  EXPECT_EQ(TextOf(u), kSampleText);
  EXPECT_EQ(TextOf(VUUID()), std::string(32, '0'));
  VString xml;
  u.GetXMLString(xml, 0);
  EXPECT_EQ(to_string(xml), kSampleText);
}

TEST(VUUID, TextReaders) {
  struct Case {
    const char* text;
    Bytes bytes;
  } const cases[] = {
      {"{00112233-4455-6677-8899-aabbccddeeff}", BytesOf(VUUID(kSample))},
      {kSampleText, BytesOf(VUUID(kSample))},
      {"abc",
       {0x61, 0x62, 0x63, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
        0x20}},
      {"", Bytes(16, 0x20)},
      {"00000000000000000000000000000000", Bytes(16, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    VUUID u;
    u.FromString(VString(c.text));
    EXPECT_EQ(BytesOf(u), c.bytes);
    EXPECT_FALSE(u.IsNull());  // text readers never give a null UUID
  }
  VUUID abc;
  abc.FromString(VString("abc"));
  EXPECT_EQ(TextOf(abc), "61626320202020202020202020202020");
  VUUID fromXML;
  EXPECT_TRUE(fromXML.FromXMLString(VString(kSampleText)));
  EXPECT_EQ(TextOf(fromXML), kSampleText);
}

TEST(VUUID, CharacterBuffers) {
  VUUID short_text("abc");
  EXPECT_EQ(BytesOf(short_text), (Bytes{0x61, 0x62, 0x63, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  VUUID hex("00112233445566778899aabbccddeeff");
  EXPECT_EQ(TextOf(hex), kSampleText);
  // Exactly 16 characters are the raw bytes.
  VUUID raw("ABCDEFGHIJKLMNOP");
  EXPECT_EQ(TextOf(raw), "4142434445464748494A4B4C4D4E4F50");
  VUUID kept(kSample);
  kept.FromBuffer("01234567890123456789");  // 20 characters: ignored
  EXPECT_EQ(TextOf(kept), kSampleText);
  VUUID zeros("");
  EXPECT_TRUE(zeros.IsNull());
}

TEST(VUUID, IsUUIDString) {
  EXPECT_TRUE(VUUID::IsUUIDString(VString(kSampleText), false));
  EXPECT_FALSE(VUUID::IsUUIDString(VString("00112233445566778899aabbccddeeff"), true));
  EXPECT_FALSE(VUUID::IsUUIDString(VString(std::string(32, '0').c_str()), false));
  EXPECT_TRUE(VUUID::IsUUIDString(VString(std::string(32, '0').c_str()), true));
  EXPECT_FALSE(VUUID::IsUUIDString(VString(std::string(31, 'A').c_str()), true));
  EXPECT_FALSE(VUUID::IsUUIDString(VString(std::string(33, 'A').c_str()), true));
}

TEST(VUUID, NullRules) {
  VUUID null;
  EXPECT_TRUE(null.IsNull());
  EXPECT_TRUE(VUUID::sNullUUID.IsNull());
  VUUID zeroText;
  zeroText.FromString(VString(std::string(32, '0').c_str()));
  EXPECT_FALSE(zeroText.IsNull());
  std::unique_ptr<VUUID> clone(zeroText.Clone());
  EXPECT_TRUE(clone->IsNull());  // a clone judges by the bytes
  VUUID copy(zeroText);
  EXPECT_FALSE(copy.IsNull());
  VUUID u(kSample);
  u.SetNull(true);
  EXPECT_EQ(BytesOf(u), Bytes(16, 0));
  VUUID loaded;
  const Bytes raw = BytesOf(VUUID(kSample));
  EXPECT_EQ(loaded.LoadFromPtr(raw.data(), false), raw.data() + 16);
  EXPECT_FALSE(loaded.IsNull());
  const Bytes zeros(16, 0);
  loaded.LoadFromPtr(zeros.data(), false);
  EXPECT_TRUE(loaded.IsNull());
}

TEST(VUUID, CachedTextFollowsTheBytes) {
  VUUID u(kSample);
  EXPECT_EQ(u.GetCachedConvertedString(false), nullptr);
  VString* cached = u.GetCachedConvertedString(true);
  ASSERT_NE(cached, nullptr);
  EXPECT_EQ(to_string(*cached), kSampleText);
  u.Regenerate();
  EXPECT_EQ(to_string(*cached), TextOf(u));
  EXPECT_NE(to_string(*cached), kSampleText);
  u.Clear();
  EXPECT_TRUE(cached->IsNull());
  EXPECT_EQ(u.GetCachedConvertedString(false), cached);
}

TEST(VUUID, GeneratesRandomVersion4Identifiers) {
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    VUUID u(true);
    EXPECT_FALSE(u.IsNull());
    EXPECT_EQ(u.GetBytes()[6] >> 4, 4);
    EXPECT_EQ(u.GetBytes()[8] & 0xC0, 0x80);
    seen.insert(TextOf(u));
  }
  EXPECT_EQ(seen.size(), 100u);
}

TEST(VUUID, OrderAndComparisons) {
  VUUIDBuffer a = {}, b = {};
  a.fBytes[0] = 0x00;
  a.fBytes[1] = 0xFF;
  b.fBytes[0] = 0x01;
  const VUUID ua(a), ub(b);
  EXPECT_TRUE(ua < ub);
  EXPECT_EQ(ua.CompareToSameKind(&ub, false), kCompareLess);
  EXPECT_EQ(VUUID::sInfo.CompareTwoPtrToData(b.fBytes, a.fBytes, false), kCompareBigger);
  EXPECT_EQ(ua.CompareTo(VString("x"), false), kCompareUnordered);
  EXPECT_EQ(ua.CompareTo(VUUID(a), false), kCompareEqual);
  EXPECT_TRUE(ua == VUUID(a));
  VUUID target;
  ua.GetValue(target);
  EXPECT_TRUE(target == ua);
}

TEST(VUUID, StreamForm) {
  const VUUID u(kSample);
  EXPECT_EQ(test::StreamBytes(u, false), BytesOf(u));
  EXPECT_EQ(test::StreamBytes(u, true), BytesOf(u));  // never swapped
  VUUID back;
  EXPECT_EQ(test::ReadStreamBytes(back, BytesOf(u), true), VE_OK);
  EXPECT_EQ(TextOf(back), kSampleText);
  EXPECT_FALSE(back.IsNull());
  VUUID zero;
  EXPECT_EQ(test::ReadStreamBytes(zero, Bytes(16, 0), false), VE_OK);
  EXPECT_FALSE(zero.IsNull());
  VUUID shortRead(kSample);
  EXPECT_NE(test::ReadStreamBytes(shortRead, Bytes(5, 1), false), VE_OK);
  EXPECT_EQ(TextOf(shortRead), kSampleText);
  std::unique_ptr<VValue> generated(VValue::NewValueFromValueKind(kValueKindUUID));
  ASSERT_NE(generated, nullptr);
  EXPECT_TRUE(generated->IsNull());
}

}  // namespace
}  // namespace zeft
