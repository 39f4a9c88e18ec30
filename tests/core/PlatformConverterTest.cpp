#include <gtest/gtest.h>
#include <locale.h>

#include <string>
#include <thread>
#include <vector>

#include "core/StStringConverter.h"
#include "core/VCppMemMgr.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "core/VTextConverters.h"
#include "core/mac/XMacFromUnicodeConverter.h"
#include "core/mac/XMacIntlMgr.h"
#include "core/mac/XMacToUnicodeConverter.h"
#include "files/VPtrStream.h"

namespace zeft {
namespace {

using Bytes = std::string;

// Owns one reference to a converter (or null).
template <class T>
struct Held {
  explicit Held(T* c) : converter(c) {}
  ~Held() {
    if (converter != nullptr) converter->Release();
  }
  T* operator->() const { return converter; }
  T* converter;
};

Held<VToUnicodeConverter> ToUnicode(CharSet set) {
  return Held<VToUnicodeConverter>(XMacIntlMgr::NewToUnicodeConverter(set));
}
Held<VFromUnicodeConverter> FromUnicode(CharSet set) {
  return Held<VFromUnicodeConverter>(XMacIntlMgr::NewFromUnicodeConverter(set));
}

// Decodes everything at once.
std::u16string Decode(VToUnicodeConverter* converter, const Bytes& bytes, bool* ok = nullptr,
                      size_t* consumed = nullptr) {
  std::u16string out(bytes.size() * 2 + 2, u'\0');
  size_t read = 0;
  int produced = 0;
  const bool result =
      converter->Convert(bytes.data(), bytes.size(), &read, out.data(), int(out.size()), &produced);
  if (ok != nullptr) *ok = result;
  if (consumed != nullptr) *consumed = read;
  out.resize(size_t(produced));
  return out;
}

// Encodes everything through the growing form callers use.
Bytes Encode(VFromUnicodeConverter* converter, const std::u16string& text, bool* ok = nullptr) {
  void* block = nullptr;
  size_t produced = 0;
  const bool result = converter->ConvertRealloc(text.data(), int(text.size()), block, produced, 0);
  if (ok != nullptr) *ok = result;
  Bytes bytes = result && block != nullptr ? Bytes(static_cast<char*>(block), produced) : Bytes();
  if (block != nullptr) VObject::sCppMemMgr->Free(block);
  return bytes;
}

// "日本語" and friends in the East Asian sets.
const std::u16string kJapanese = u"日本語のテキスト, abc 123";
const Bytes kShiftJIS =
    "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67\x2c\x20\x61\x62\x63\x20"
    "\x31\x32\x33";
const Bytes kISO2022JP =
    "\x1b$B\x46\x7c\x4b\x5c\x38\x6c\x24\x4e\x25\x46\x25\x2d\x25\x39\x25\x48\x1b(B, abc 123";

TEST(PlatformConverterTest, DecodesAndEncodesSingleCharacters) {
  EXPECT_EQ(Decode(ToUnicode(kCharSetISO8859_1).converter, "\xE9"), u"é");
  EXPECT_EQ(Decode(ToUnicode(kCharSetWindows1252).converter, "\x80\x9F"), u"€Ÿ");
  EXPECT_EQ(Decode(ToUnicode(kCharSetMacRoman).converter, "\x8E"), u"é");
  EXPECT_EQ(Encode(FromUnicode(kCharSetMacRoman).converter, u"é"), "\x8E");
  EXPECT_EQ(Encode(FromUnicode(kCharSetKOI8R).converter, u"Ж"), "\xF6");
}

TEST(PlatformConverterTest, RoundTrips) {
  struct Case {
    CharSet set;
    Bytes bytes;
    std::u16string text;
  };
  Bytes all1252;
  for (int b = 0; b < 256; ++b) all1252.push_back(char(b));
  const std::u16string text1252 = Decode(ToUnicode(kCharSetWindows1252).converter, all1252);
  ASSERT_EQ(text1252.size(), 256u);
  EXPECT_EQ(text1252[0x80], u'€');
  EXPECT_EQ(text1252[0xE9], u'é');

  const Case cases[] = {
      {kCharSetWindows1252, all1252, text1252},
      {kCharSetShiftJIS, kShiftJIS, kJapanese},
      {kCharSetISO2022JP, kISO2022JP, kJapanese},
      {kCharSetEUCKR, "\xc7\xd1\xb1\xb9\xbe\xee", u"한국어"},
      {kCharSetUTF7, "Hi +ZeVnLIqe-", u"Hi 日本語"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "set " << int(c.set));
    bool ok = false;
    size_t consumed = 0;
    EXPECT_EQ(Decode(ToUnicode(c.set).converter, c.bytes, &ok, &consumed), c.text);
    EXPECT_TRUE(ok);
    EXPECT_EQ(consumed, c.bytes.size());
    EXPECT_EQ(Encode(FromUnicode(c.set).converter, c.text, &ok), c.bytes);
    EXPECT_TRUE(ok);
  }
}

TEST(PlatformConverterTest, SetsWithoutAPlatformConverterGiveNone) {
  const CharSet none[] = {kCharSetUnknown,
                          kCharSetUTF16BigEndian,
                          kCharSetUTF32BigEndian,
                          kCharSetUTF32RawBigEndian,
                          kCharSetUTF32Raw,
                          kCharSetMacArabic,
                          kCharSetMacHebrew,
                          kCharSetMacSimplifiedChinese,
                          kCharSetMacTraditionalChinese,
                          kCharSetMacJapanese,
                          CharSet(12345)};
  for (CharSet set : none) {
    EXPECT_EQ(XMacIntlMgr::NewToUnicodeConverter(set), nullptr) << int(set);
    EXPECT_EQ(XMacIntlMgr::NewFromUnicodeConverter(set), nullptr) << int(set);
  }
  // Every other set of the table has both sides.
  const CharSet some[] = {kCharSetDefault8Bit, kCharSetUTF7,   kCharSetASCII,
                          kCharSetEBCDIC037,   kCharSetIBM437, kCharSetMacCentralEurope2,
                          kCharSetGBK,         kCharSetCP950,  kCharSetBig5,
                          kCharSetISO8859_10,  kCharSetGB2312, kCharSetGB2312_80,
                          kCharSetWindows31J};
  for (CharSet set : some) {
    EXPECT_TRUE(ToUnicode(set).converter != nullptr) << int(set);
    EXPECT_TRUE(FromUnicode(set).converter != nullptr) << int(set);
  }
}

TEST(PlatformConverterTest, UnmappableCharactersBecomeQuestionMarks) {
  auto ascii = FromUnicode(kCharSetASCII);
  const std::u16string text = u"\u4E00";
  char out[8] = {};
  int consumed = 0;
  size_t produced = 0;
  EXPECT_TRUE(ascii->Convert(text.data(), 1, &consumed, out, sizeof(out), &produced));
  EXPECT_EQ(consumed, 1);
  EXPECT_EQ(Bytes(out, produced), "?");
  // A pair counts as one character; lone surrogates are characters too.
  EXPECT_EQ(Encode(ascii.converter,
                   u"a\U0001F600b"
                   u"\xDC00"
                   u"c"),
            "a?b?c");
  // A shifted set writes its "?" in its initial state.
  EXPECT_EQ(Encode(FromUnicode(kCharSetISO2022JP).converter, u"日\u0E01本"),
            "\x1b$B\x46\x7c\x1b(B?\x1b$B\x4b\x5c\x1b(B");
  EXPECT_EQ(Encode(FromUnicode(kCharSetEBCDIC037).converter, u"A\u4E00"), "\xC1\x6F");
}

TEST(PlatformConverterTest, AHighSurrogateEndingTheSourceWaitsForItsPair) {
  auto latin1 = FromUnicode(kCharSetISO8859_1);
  const std::u16string text = u"ab\xD83D";
  char out[8] = {};
  int consumed = 0;
  size_t produced = 0;
  EXPECT_TRUE(latin1->Convert(text.data(), 3, &consumed, out, sizeof(out), &produced));
  EXPECT_EQ(consumed, 2);
  EXPECT_EQ(Bytes(out, produced), "ab");
  // When it really ends the whole text it is written as "?".
  EXPECT_EQ(Encode(latin1.converter, text), "ab?");
}

TEST(PlatformConverterTest, CharSizeCoversOneUnitWithItsShifts) {
  EXPECT_EQ(FromUnicode(kCharSetMacRoman)->GetCharSize(), 2u);
  EXPECT_EQ(FromUnicode(kCharSetShiftJIS)->GetCharSize(), 2u);
  EXPECT_GE(FromUnicode(kCharSetISO2022JP)->GetCharSize(), 3u);
  EXPECT_GE(FromUnicode(kCharSetUTF7)->GetCharSize(), 2u);
  // One ideograph needs 8 bytes in ISO-2022-JP, a lone one more than the
  // encoding's unit size times the room callers reserve for one unit.
  bool ok = false;
  EXPECT_EQ(Encode(FromUnicode(kCharSetISO2022JP).converter, u"日", &ok), "\x1b$B\x46\x7c\x1b(B");
  EXPECT_TRUE(ok);
  EXPECT_EQ(Encode(FromUnicode(kCharSetUTF7).converter, u"日", &ok), "+ZeU-");
  EXPECT_TRUE(ok);
}

TEST(PlatformConverterTest, NullTargetCountsTheBytes) {
  auto sjis = FromUnicode(kCharSetShiftJIS);
  int consumed = 0;
  size_t needed = 0;
  EXPECT_TRUE(sjis->Convert(kJapanese.data(), int(kJapanese.size()), &consumed, nullptr,
                            size_t(1) << 30, &needed));
  EXPECT_EQ(consumed, int(kJapanese.size()));
  EXPECT_EQ(needed, kShiftJIS.size());
}

// Encoding into a room too small stops at a character boundary; each part
// stands alone, so the parts decode one by one to the whole text.
TEST(PlatformConverterTest, EncodingIntoSmallRoomsCutsBetweenCharacters) {
  const CharSet sets[] = {kCharSetShiftJIS, kCharSetISO2022JP, kCharSetUTF7};
  const std::u16string text = u"a日本b\U0001F600語c";
  for (CharSet set : sets) {
    auto from = FromUnicode(set);
    // What the whole text comes back as ("?" where the set has no emoji).
    const std::u16string expected = Decode(ToUnicode(set).converter, Encode(from.converter, text));
    EXPECT_EQ(expected.size(), set == kCharSetUTF7 ? text.size() : text.size() - 1);
    for (size_t room = 1; room <= 24; ++room) {
      SCOPED_TRACE(::testing::Message() << "set " << int(set) << " room " << room);
      std::u16string decoded;
      size_t offset = 0;
      bool stuck = false;
      while (offset < text.size()) {
        std::vector<char> out(room);
        int consumed = 0;
        size_t produced = 0;
        ASSERT_TRUE(from->Convert(text.data() + offset, int(text.size() - offset), &consumed,
                                  out.data(), room, &produced));
        ASSERT_LE(produced, room);
        if (consumed == 0) {
          EXPECT_EQ(produced, 0u);
          stuck = true;  // not one character fits this room
          break;
        }
        decoded += Decode(ToUnicode(set).converter, Bytes(out.data(), produced));
        offset += size_t(consumed);
      }
      if (!stuck) {
        EXPECT_EQ(decoded, expected);
      }
      if (room >= 16) {
        EXPECT_FALSE(stuck);
      }
    }
  }
}

// A reader feeds a converter chunk by chunk, keeping what was not consumed
// for the next chunk, as streams do.
std::u16string DecodeInChunks(VToUnicodeConverter* converter, const Bytes& bytes, size_t chunk,
                              size_t room, bool* ok) {
  std::u16string result;
  Bytes held;
  size_t next = 0;
  *ok = true;
  int idle = 0;
  while ((next < bytes.size() || !held.empty()) && idle < 4) {
    const size_t take = std::min(chunk, bytes.size() - next);
    held.append(bytes, next, take);
    next += take;
    std::u16string out(room, u'\0');
    size_t consumed = 0;
    int produced = 0;
    if (!converter->Convert(held.data(), held.size(), &consumed, out.data(), int(room),
                            &produced)) {
      *ok = false;
      return result;
    }
    result.append(out, 0, size_t(produced));
    held.erase(0, consumed);
    idle = (consumed == 0 && take == 0) ? idle + 1 : 0;
  }
  *ok = held.empty();
  return result;
}

TEST(PlatformConverterTest, ChunkedDecodingKeepsCutCharactersAndShiftStates) {
  struct Case {
    CharSet set;
    Bytes bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {kCharSetShiftJIS, kShiftJIS, kJapanese},
      {kCharSetISO2022JP, kISO2022JP, kJapanese},
      {kCharSetUTF7, "A+2D3eAA-B+ZeVnLIqe-", u"A\U0001F600B日本語"},
  };
  for (const Case& c : cases) {
    for (size_t chunk = 1; chunk <= c.bytes.size(); ++chunk) {
      for (size_t room : {size_t(1), size_t(2), size_t(3), size_t(64)}) {
        SCOPED_TRACE(::testing::Message()
                     << "set " << int(c.set) << " chunk " << chunk << " room " << room);
        auto to = ToUnicode(c.set);
        bool ok = false;
        EXPECT_EQ(DecodeInChunks(to.converter, c.bytes, chunk, room, &ok), c.text);
        EXPECT_TRUE(ok);
      }
    }
  }
}

TEST(PlatformConverterTest, CutSequenceStaysUnconsumed) {
  auto sjis = ToUnicode(kCharSetShiftJIS);
  bool ok = false;
  size_t consumed = 0;
  EXPECT_EQ(Decode(sjis.converter, "ab\x93", &ok, &consumed), u"ab");
  EXPECT_TRUE(ok);
  EXPECT_EQ(consumed, 2u);
  // A stateless set starts each call afresh: the cut byte is not kept.
  EXPECT_EQ(Decode(sjis.converter, "c", &ok, &consumed), u"c");
  // A set with shift states keeps the cut sequence in its state instead.
  auto utf7 = ToUnicode(kCharSetUTF7);
  EXPECT_EQ(Decode(utf7.converter, "A+2D", &ok, &consumed), u"A");
  EXPECT_TRUE(ok);
  EXPECT_EQ(consumed, 4u);
  EXPECT_EQ(Decode(utf7.converter, "3eAA-B", &ok, &consumed), u"\U0001F600B");
  EXPECT_EQ(consumed, 6u);
}

TEST(PlatformConverterTest, MalformedInputFailsWithoutConsuming) {
  struct Case {
    CharSet set;
    Bytes bytes;
  };
  const Case cases[] = {
      {kCharSetShiftJIS, Bytes("ab\x81\x20", 4)},
      {kCharSetEUCKR, Bytes("a\xC7\x41", 3)},
      {kCharSetASCII, Bytes("a\x80", 2)},
      {kCharSetISO2022JP, Bytes("a\x1b$Zb", 5)},  // no such escape sequence
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "set " << int(c.set));
    auto to = ToUnicode(c.set);
    bool ok = true;
    size_t consumed = 99;
    EXPECT_EQ(Decode(to.converter, c.bytes, &ok, &consumed), u"");
    EXPECT_FALSE(ok);
    EXPECT_EQ(consumed, 0u);
    // The converter is still usable afterwards.
    EXPECT_EQ(Decode(to.converter, "ok", &ok), u"ok");
    EXPECT_TRUE(ok);
  }
}

TEST(PlatformConverterTest, DefaultEightBitSetFollowsTheCodeset) {
  // The C locale's codeset is ASCII: toolbox 8-bit strings are UTF-8.
  EXPECT_EQ(GetPlatformConverterName(kCharSetDefault8Bit), "UTF-8");
  EXPECT_EQ(Decode(ToUnicode(kCharSetDefault8Bit).converter, "\xC3\xA9"), u"é");
  EXPECT_EQ(GetPlatformConverterName(kCharSetWindows1252), "windows-1252");
  EXPECT_EQ(GetPlatformConverterName(kCharSetMacJapanese), "");
}

TEST(PlatformConverterTest, DefaultEightBitSetOfALatin1Locale) {
  locale_t latin1 = newlocale(LC_CTYPE_MASK, "en_US.ISO-8859-1", nullptr);
  if (latin1 == nullptr) latin1 = newlocale(LC_CTYPE_MASK, "en_US", nullptr);
  if (latin1 == nullptr) GTEST_SKIP() << "no Latin-1 locale installed";
  const locale_t previous = uselocale(latin1);
  EXPECT_EQ(GetDefault8BitConverterName(), "ISO-8859-1");
  uselocale(previous);
  freelocale(latin1);
}

TEST(PlatformConverterTest, SharedConverterServesTasksAtOnce) {
  auto to = ToUnicode(kCharSetShiftJIS);
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i]() {
      for (int n = 0; n < 200; ++n) {
        if (Decode(to.converter, kShiftJIS) != kJapanese) ++failures[size_t(i)];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

// Through the character-set registry, which asks the platform for every
// set without a built-in converter.
TEST(PlatformConverterRegistryTest, RegistryServesThePlatformSets) {
  VTextConverters* tc = VTextConverters::Get();
  for (CharSet set : {kCharSetDefault8Bit, kCharSetUTF7, kCharSetMacRoman, kCharSetWindows1252,
                      kCharSetShiftJIS, kCharSetISO2022JP, kCharSetISO8859_15}) {
    SCOPED_TRACE(int(set));
    VToUnicodeConverter* to = tc->RetainToUnicodeConverter(set);
    VFromUnicodeConverter* from = tc->RetainFromUnicodeConverter(set);
    EXPECT_TRUE(to->IsValid());
    EXPECT_TRUE(from->IsValid());
    to->Release();
    from->Release();
  }
  // A set the platform lacks still gets the converter that converts nothing.
  VToUnicodeConverter* none = tc->RetainToUnicodeConverter(kCharSetMacJapanese);
  EXPECT_FALSE(none->IsValid());
  none->Release();

  VString text;
  EXPECT_TRUE(tc->ConvertToVString(kShiftJIS.data(), kShiftJIS.size(), kCharSetShiftJIS, text));
  EXPECT_EQ(text, VString(kJapanese.c_str()));
  StStringConverter<char> bytes(text, kCharSetISO2022JP);
  ASSERT_TRUE(bytes.IsOK());
  EXPECT_EQ(Bytes(bytes.GetCPointer(), bytes.GetSize()), kISO2022JP);
  EXPECT_EQ(VString(kISO2022JP.data(), kISO2022JP.size(), kCharSetISO2022JP), text);
}

TEST(PlatformConverterRegistryTest, StreamsOpenInTheDefaultSet) {
  VPtrStream stream;  // text in the system's default 8-bit set
  ASSERT_EQ(stream.GetCharSet(), kCharSetDefault8Bit);
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  const VString text(u"déjà vu, 日本");
  EXPECT_EQ(stream.PutText(text), VE_OK);
  EXPECT_EQ(stream.CloseWriting(), VE_OK);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  VString back;
  EXPECT_EQ(stream.GetText(back), VE_OK);
  EXPECT_EQ(back, text);
  EXPECT_EQ(stream.CloseReading(), VE_OK);
}

// A stream decodes its text in chunks: ISO-2022-JP's shift state must run
// on from one chunk into the next.
TEST(PlatformConverterRegistryTest, StreamsCarryShiftStatesAcrossChunks) {
  VString text;
  for (int i = 0; i < 600; ++i) text.AppendUniChars(kJapanese.data(), int32(kJapanese.size()));
  VPtrStream stream;
  ASSERT_EQ(stream.SetCharSet(kCharSetISO2022JP), VE_OK);
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  EXPECT_EQ(stream.PutText(text), VE_OK);
  EXPECT_EQ(stream.CloseWriting(), VE_OK);
  EXPECT_GT(stream.GetSize(), 3 * 4096);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  VString back;
  EXPECT_EQ(stream.GetText(back), VE_OK);
  EXPECT_EQ(back.GetLength(), text.GetLength());
  EXPECT_TRUE(back == text);
}

}  // namespace
}  // namespace zeft
