// The built-in converters: UTF-8, UTF-16 both orders, UTF-32 and raw
// UTF-32, their malformed-input and surrogate handling, and the growing
// conversions ConvertRealloc / ConvertToBuffer / ConvertString.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/VCppMemMgr.h"
#include "core/VMemoryBuffer.h"
#include "core/VString.h"
#include "core/VTextConverters.h"
#include "core/VUTF16Converter.h"
#include "core/VUTF32Converter.h"
#include "core/VUTF8Converter.h"
#include "core/VVoidConverter.h"
#include "support/StringTestSupport.h"

namespace zeft {
namespace {

using test::Str;

using Bytes = std::vector<uint8>;
using Units = std::u16string;

// Stack converters are never released: they only need to outlive the test.
struct Decoded {
  Units units;
  size_t consumed;
  bool ok;
};

Decoded Decode(VToUnicodeConverter& converter, const Bytes& bytes, int room = 64) {
  std::vector<UniChar> out(size_t(room) + 1, u'#');
  size_t consumed = 999;
  int produced = -1;
  bool ok = converter.Convert(bytes.data(), bytes.size(), &consumed, out.data(), room, &produced);
  return {Units(out.data(), size_t(produced)), consumed, ok};
}

struct Encoded {
  Bytes bytes;
  int consumed;
  bool ok;
};

Encoded Encode(VFromUnicodeConverter& converter, const Units& units, size_t room = 64) {
  Bytes out(room + 1, 0xAA);
  int consumed = -1;
  size_t produced = 999;
  bool ok =
      converter.Convert(units.data(), int(units.size()), &consumed, out.data(), room, &produced);
  out.resize(produced);
  return {out, consumed, ok};
}

Bytes Utf8(const char* text) { return Bytes(text, text + std::strlen(text)); }

struct DecodeCase {
  const char* label;
  Bytes input;
  Units expected;
  size_t consumed;
  bool ok;
};

TEST(VUTF8Converter, DecodesWellFormedAndMalformedInput) {
  const DecodeCase cases[] = {
      {"two-byte", {0xC3, 0xA9}, u"\u00E9", 2, true},
      {"supplementary", {0xF0, 0x9F, 0x98, 0x80}, u"\U0001F600", 4, true},
      {"largest code point", {0xF4, 0x8F, 0xBF, 0xBF}, u"\U0010FFFF", 4, true},
      {"three-byte", {0xE4, 0xB8, 0xAD}, u"\u4E2D", 3, true},
      {"stray continuation byte", {0x80}, u"\u0080", 1, true},
      {"five-byte sequence", {0xF8, 0x88, 0x80, 0x80, 0x80}, u"?", 5, false},
      {"beyond U+10FFFF", {0xF4, 0x90, 0x80, 0x80}, u"?", 4, false},
      {"cut by the end", {0xE2, 0x82}, u"", 0, true},
      {"cut after text", {'a', 0xF0, 0x9F, 0x98}, u"a", 1, true},
      // A lead byte whose continuation is missing stands for itself; the
      // byte that follows it is decoded, not swallowed.
      {"lead then ASCII", {0xC3, 'A'}, u"\u00C3A", 2, true},
      {"latin-1 text", {'c', 'a', 'f', 0xE9, ' ', 'o', 'k'}, u"caf\u00E9 ok", 7, true},
      {"invalid sequence reaching the end", {0xE9, 'A'}, u"\u00E9A", 2, true},
      // Overlong forms never decode to the character they disguise.
      {"overlong slash", {0xC0, 0xAF}, u"\u00C0\u00AF", 2, true},
      {"overlong three-byte NUL", {0xE0, 0x80, 0x80}, u"\u00E0\u0080\u0080", 3, true},
      {"bytes that never lead", {0xFE, 'x', 0xFF}, u"\u00FEx\u00FF", 3, true},
      {"encoded surrogate", {0xED, 0xA0, 0xBD}, u"\xD83D", 3, true},
  };
  VToUnicodeConverter_UTF8 converter;
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.label);
    Decoded d = Decode(converter, c.input);
    EXPECT_EQ(d.units, c.expected);
    EXPECT_EQ(d.consumed, c.consumed);
    EXPECT_EQ(d.ok, c.ok);
  }
}

TEST(VUTF8Converter, DecodeStopsBeforeWhatDoesNotFit) {
  VToUnicodeConverter_UTF8 converter;
  // A pair needs two units of room: stopped before, not an error.
  Decoded pair = Decode(converter, {'a', 'b', 0xF0, 0x9F, 0x98, 0x80}, 3);
  EXPECT_EQ(pair.units, u"ab");
  EXPECT_EQ(pair.consumed, 2u);
  EXPECT_TRUE(pair.ok);
  // The "?" of an invalid value also needs two units; without them: false.
  Decoded invalid = Decode(converter, {0xF4, 0x90, 0x80, 0x80}, 1);
  EXPECT_EQ(invalid.units, u"");
  EXPECT_EQ(invalid.consumed, 0u);
  EXPECT_FALSE(invalid.ok);
  // ASCII runs longer than the room stop exactly at the room.
  Bytes ascii(100, 'z');
  Decoded cut = Decode(converter, ascii, 37);
  EXPECT_EQ(cut.units, Units(37, u'z'));
  EXPECT_EQ(cut.consumed, 37u);
}

TEST(VUTF8Converter, DecodeNeverReadsPastTheInput) {
  // Every prefix of a text mixing all sequence lengths, each in an exact
  // heap copy so that AddressSanitizer sees any read behind it.
  const Bytes text = Utf8("a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z\xF8\x88\x80\x80\x80");
  VToUnicodeConverter_UTF8 converter;
  for (size_t n = 0; n <= text.size(); ++n) {
    std::unique_ptr<uint8[]> exact(new uint8[n == 0 ? 1 : n]);
    std::memcpy(exact.get(), text.data(), n);
    UniChar out[32];
    size_t consumed = 0;
    int produced = 0;
    converter.Convert(exact.get(), n, &consumed, out, 32, &produced);
    EXPECT_LE(consumed, n);
  }
}

// Deterministic pseudo-random numbers for the differential tests.
class Random {
 public:
  uint32 Next() {
    fState = fState * 1103515245u + 12345u;
    return fState >> 8;
  }
  template <class T, size_t N>
  T Pick(const T (&items)[N]) {
    return items[Next() % N];
  }

 private:
  uint32 fState = 20261209;
};

TEST(VUTF8Converter, BulkAndByteByByteDecodingAgree) {
  // Byte soup weighted towards sequence boundaries. Decoding it whole takes
  // the unchecked fast paths; decoding it with one or two units of room at
  // a time takes the checked path. Both must read the same text.
  const uint8 bytes[] = {'a',  ' ',  0x7F, 0x80, 0xA9, 0xBF, 0xC0, 0xC1, 0xC2,
                         0xC3, 0xDF, 0xE0, 0xE4, 0xED, 0xEF, 0xF0, 0xF4, 0xF5,
                         0xF8, 0xFC, 0xFE, 0xFF, 0x9F, 0x98, 0xB8};
  VToUnicodeConverter_UTF8 converter;
  Random random;
  for (int round = 0; round < 400; ++round) {
    Bytes input(random.Next() % 300);
    for (uint8& b : input) b = random.Pick(bytes);
    // Runs of ASCII long enough for the vector loops.
    if (round % 3 == 0) input.insert(input.begin() + input.size() / 2, 40, 'k');

    Decoded whole = Decode(converter, input, int(input.size()) + 1);
    Units pieces;
    size_t position = 0;
    bool ok = true;
    for (int step = 0;; ++step) {
      UniChar out[2];
      size_t consumed = 0;
      int produced = 0;
      ok &= converter.Convert(input.data() + position, input.size() - position, &consumed, out,
                              1 + step % 2, &produced);
      pieces.append(out, size_t(produced));
      position += consumed;
      if (consumed == 0 && produced == 0) {
        if (step % 2 == 0) continue;  // a pair or a "?" needs the wider room
        break;
      }
    }
    ASSERT_EQ(pieces, whole.units) << "round " << round;
    ASSERT_EQ(position, whole.consumed) << "round " << round;
    ASSERT_EQ(ok, whole.ok) << "round " << round;
    ASSERT_GE(whole.consumed + 5, input.size());  // only a cut sequence stays unread
  }
}

TEST(VUTF8Converter, BulkPieceByPieceAndCountedEncodingAgree) {
  const UniChar units[] = {u'a',   u' ',   0x7F,   0x80,   0xE9,   0x7FF,  0x800, 0x4E2D,
                           0xFFFF, 0xD800, 0xD83D, 0xDBFF, 0xDC00, 0xDE00, 0xDFFF};
  VFromUnicodeConverter_UTF8 converter;
  Random random;
  for (int round = 0; round < 400; ++round) {
    Units input(random.Next() % 300, u' ');
    for (UniChar& u : input) u = random.Pick(units);
    if (round % 3 == 0) input.insert(input.size() / 2, 40, u'k');

    Encoded whole = Encode(converter, input, input.size() * 3 + 1);
    size_t counted = 0;
    int countedUnits = 0;
    converter.Convert(input.data(), int(input.size()), &countedUnits, nullptr, size_t(-1),
                      &counted);
    EXPECT_EQ(counted, whole.bytes.size());
    EXPECT_EQ(countedUnits, whole.consumed);

    Bytes pieces;
    int position = 0;
    for (;;) {
      uint8 out[4];
      int consumed = 0;
      size_t produced = 0;
      converter.Convert(input.data() + position, int(input.size()) - position, &consumed, out,
                        sizeof out, &produced);
      pieces.insert(pieces.end(), out, out + produced);
      position += consumed;
      if (consumed == 0) break;
    }
    ASSERT_EQ(pieces, whole.bytes) << "round " << round;
    ASSERT_EQ(position, whole.consumed) << "round " << round;
    // Everything but a high surrogate ending the text is encoded.
    const bool trailingHigh = !input.empty() && input.back() >= 0xD800 && input.back() <= 0xDBFF;
    ASSERT_EQ(size_t(whole.consumed), input.size() - (trailingHigh ? 1 : 0));
  }
}

TEST(VUTF8Converter, ASCIIRunsOfEveryLengthInExactBuffers) {
  // The vector loops and their overlapping last block, at every run length
  // and position, with input and output in heap blocks of the exact size so
  // that AddressSanitizer sees any access outside them.
  VToUnicodeConverter_UTF8 decoder;
  VFromUnicodeConverter_UTF8 encoder;
  for (size_t before = 0; before < 3; ++before) {
    for (size_t run = 1; run <= 70; ++run) {
      for (size_t after = 0; after < 2; ++after) {
        SCOPED_TRACE(testing::Message() << before << " + " << run << " + " << after);
        Units text = Units(before, u'\u00E9') + Units(run, u'a') + Units(after, u'\u4E2D');
        for (size_t i = 0; i < run; ++i) text[before + i] = UniChar(u'!' + (i * 7) % 90);
        const size_t bytes = 2 * before + run + 3 * after;

        std::unique_ptr<UniChar[]> units(new UniChar[text.size()]);
        std::memcpy(units.get(), text.data(), text.size() * 2);
        std::unique_ptr<uint8[]> encoded(new uint8[bytes]);
        int consumed = 0;
        size_t produced = 0;
        ASSERT_TRUE(encoder.Convert(units.get(), int(text.size()), &consumed, encoded.get(), bytes,
                                    &produced));
        ASSERT_EQ(produced, bytes);
        ASSERT_EQ(consumed, int(text.size()));

        std::unique_ptr<UniChar[]> decoded(new UniChar[text.size()]);
        size_t read = 0;
        int written = 0;
        ASSERT_TRUE(decoder.Convert(encoded.get(), bytes, &read, decoded.get(), int(text.size()),
                                    &written));
        ASSERT_EQ(read, bytes);
        ASSERT_EQ(Units(decoded.get(), size_t(written)), text);
      }
    }
  }
}

struct EncodeCase {
  const char* label;
  Units input;
  Bytes expected;
  int consumed;
  bool ok;
};

TEST(VUTF8Converter, EncodesUnitsAndSurrogates) {
  const EncodeCase cases[] = {
      {"pair", u"\U0001F600", {0xF0, 0x9F, 0x98, 0x80}, 2, true},
      {"largest pair", u"\U0010FFFF", {0xF4, 0x8F, 0xBF, 0xBF}, 2, true},
      {"boundaries",
       u"\u007F\u0080\u07FF\u0800\uFFFF",
       {0x7F, 0xC2, 0x80, 0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF},
       5,
       true},
      {"trailing high surrogate waits for its pair", u"\xD83D", {}, 0, true},
      {"text then trailing high surrogate", u"a\xD83D", {'a'}, 1, true},
      {"lone low surrogate", u"\xDC00", {0xED, 0xB0, 0x80}, 1, true},
      // A high surrogate is combined only with a low one.
      {"high surrogate before ASCII",
       u"\xD83D"
       u"A",
       {0xED, 0xA0, 0xBD, 'A'},
       2,
       true},
      {"high surrogate before a pair",
       u"\xD83D\xD83D\xDE00",
       {0xED, 0xA0, 0xBD, 0xF0, 0x9F, 0x98, 0x80},
       3,
       true},
      {"high surrogate before a non-surrogate",
       u"\xD800\u4E2D",
       {0xED, 0xA0, 0x80, 0xE4, 0xB8, 0xAD},
       2,
       true},
  };
  VFromUnicodeConverter_UTF8 converter;
  for (const EncodeCase& c : cases) {
    SCOPED_TRACE(c.label);
    Encoded e = Encode(converter, c.input);
    EXPECT_EQ(e.bytes, c.expected);
    EXPECT_EQ(e.consumed, c.consumed);
    EXPECT_EQ(e.ok, c.ok);
  }
}

TEST(VUTF8Converter, EncodeRoomAndCounting) {
  VFromUnicodeConverter_UTF8 converter;
  const Units text = u"a\u00E9\u4E2D\U0001F600";  // 1 + 2 + 3 + 4 bytes
  Encoded tight = Encode(converter, text, 5);
  EXPECT_EQ(tight.bytes, Utf8("a\xC3\xA9"));
  EXPECT_EQ(tight.consumed, 2);
  EXPECT_TRUE(tight.ok);

  // A null target counts, within the limit.
  size_t produced = 0;
  int consumed = 0;
  EXPECT_TRUE(
      converter.Convert(text.data(), int(text.size()), &consumed, nullptr, 1000, &produced));
  EXPECT_EQ(produced, 10u);
  EXPECT_EQ(consumed, int(text.size()));
  Units ascii(100, u'q');
  EXPECT_TRUE(converter.Convert(ascii.data(), 100, &consumed, nullptr, 40, &produced));
  EXPECT_EQ(produced, 40u);
  EXPECT_EQ(consumed, 40);
}

TEST(VUTF8Converter, WideCharacters) {
  struct WideCase {
    const char* label;
    std::wstring input;
    Bytes expected;
    int consumed;
    bool ok;
  };
  const WideCase cases[] = {
      {"code point", std::wstring(1, wchar_t(0x1F600)), {0xF0, 0x9F, 0x98, 0x80}, 1, true},
      {"pair in two units", {wchar_t(0xD83D), wchar_t(0xDE00)}, {0xF0, 0x9F, 0x98, 0x80}, 2, true},
      {"high surrogate before ASCII", {wchar_t(0xD83D), L'A'}, {0xED, 0xA0, 0xBD, 'A'}, 2, true},
      {"six bytes",
       std::wstring(1, wchar_t(0x7FFFFFFF)),
       {0xFD, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF},
       1,
       true},
      {"top bit set", {L'a', wchar_t(0x80000000u)}, {'a'}, 1, false},
  };
  VFromUnicodeConverter_UTF8 converter;
  for (const WideCase& c : cases) {
    SCOPED_TRACE(c.label);
    Bytes out(16);
    int consumed = -1;
    size_t produced = 0;
    bool ok = converter.ConvertFrom_wchar(c.input.data(), int(c.input.size()), &consumed,
                                          out.data(), out.size(), &produced);
    out.resize(produced);
    EXPECT_EQ(out, c.expected);
    EXPECT_EQ(consumed, c.consumed);
    EXPECT_EQ(ok, c.ok);
  }
}

TEST(VUTF32Converter, DecodeRules) {
  VToUnicodeConverter_UTF32 little(false);
  VToUnicodeConverter_UTF32 big(true);
  // Two units and a 3-byte remainder: the remainder stays unconsumed.
  Decoded d = Decode(little, {0x00, 0xF6, 0x01, 0x00, 0x41, 0x00, 0x00, 0x00, 1, 2, 3});
  EXPECT_EQ(d.units, u"\U0001F600A");
  EXPECT_EQ(d.consumed, 8u);
  EXPECT_TRUE(d.ok);
  Decoded b = Decode(big, {0x00, 0x01, 0xF6, 0x00});
  EXPECT_EQ(b.units, u"\U0001F600");
  // A surrogate value stops before it with false.
  Decoded s = Decode(little, {0x41, 0, 0, 0, 0x00, 0xD8, 0, 0, 0x42, 0, 0, 0});
  EXPECT_EQ(s.units, u"A");
  EXPECT_EQ(s.consumed, 4u);
  EXPECT_FALSE(s.ok);
  // A value beyond U+10FFFF is skipped; the rest is converted.
  Decoded x = Decode(little, {0x00, 0x00, 0x11, 0x00, 0x42, 0, 0, 0});
  EXPECT_EQ(x.units, u"B");
  EXPECT_EQ(x.consumed, 8u);
  EXPECT_FALSE(x.ok);
  // A full target stops the conversion without an error, also before a
  // pair that has no room.
  Decoded r = Decode(little, {0x00, 0xF6, 0x01, 0x00}, 1);
  EXPECT_EQ(r.units, u"");
  EXPECT_EQ(r.consumed, 0u);
  EXPECT_TRUE(r.ok);
  Decoded full = Decode(little, {0x41, 0, 0, 0, 0x42, 0, 0, 0}, 1);
  EXPECT_EQ(full.units, u"A");
  EXPECT_EQ(full.consumed, 4u);
  EXPECT_TRUE(full.ok);
}

TEST(VUTF32Converter, EncodeRules) {
  VFromUnicodeConverter_UTF32 little(false);
  VFromUnicodeConverter_UTF32 big(true);
  Encoded e = Encode(big, u"A\U0001F600");
  EXPECT_EQ(e.bytes, (Bytes{0, 0, 0, 0x41, 0x00, 0x01, 0xF6, 0x00}));
  EXPECT_EQ(e.consumed, 3);
  EXPECT_TRUE(e.ok);
  const struct {
    const char* label;
    Units input;
    int consumed;
  } failures[] = {
      {"lone low", u"A\xDC00", 1},
      {"trailing high", u"A\xD800", 1},
      {"high before non-low",
       u"\xD800"
       u"B",
       0},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.label);
    Encoded x = Encode(little, f.input);
    EXPECT_FALSE(x.ok);
    EXPECT_EQ(x.consumed, f.consumed);
    EXPECT_EQ(x.bytes.size(), size_t(4 * f.consumed));
  }
  Encoded full = Encode(little, u"AB", 7);
  EXPECT_FALSE(full.ok);
  EXPECT_EQ(full.consumed, 1);
}

TEST(VUTF32RawConverter, OneUnitPerUnit) {
  VToUnicodeConverter_UTF32_Raw toBig(true);
  VFromUnicodeConverter_UTF32_Raw fromBig(true);
  VToUnicodeConverter_UTF32_Raw toLittle(false);
  // Only the low 16 bits are kept; lone surrogates pass unchanged.
  Decoded d = Decode(toLittle, {0x45, 0x23, 0x01, 0x00, 0x00, 0xD8, 0, 0});
  EXPECT_EQ(d.units, u"\u2345\xD800");
  EXPECT_TRUE(d.ok);
  Encoded e = Encode(fromBig,
                     u"\xDC00"
                     u"A",
                     6);  // room for one unit
  EXPECT_EQ(e.bytes, (Bytes{0, 0, 0xDC, 0x00}));
  EXPECT_EQ(e.consumed, 1);
  Decoded back = Decode(toBig, e.bytes);
  EXPECT_EQ(back.units, u"\xDC00");
}

TEST(VUTF16Converters, CopyAndSwapWholeUnits) {
  VToUnicodeConverter_Null null;
  VToUnicodeConverter_Swap swap;
  Decoded n = Decode(null, {0x41, 0x00, 0x3D, 0xD8, 0x7F});
  EXPECT_EQ(n.units, u"A\xD83D");
  EXPECT_EQ(n.consumed, 4u);
  Decoded s = Decode(swap, {0x00, 0x41, 0xD8, 0x3D, 0x7F}, 1);
  EXPECT_EQ(s.units, u"A");
  EXPECT_EQ(s.consumed, 2u);
  VFromUnicodeConverter_Swap fromSwap;
  Encoded e = Encode(fromSwap, u"A\u4E2D", 3);
  EXPECT_EQ(e.bytes, (Bytes{0x00, 0x41}));
  EXPECT_EQ(e.consumed, 1);
}

TEST(VVoidConverter, ConvertsNothing) {
  VToUnicodeConverter_Void to;
  VFromUnicodeConverter_Void from;
  EXPECT_FALSE(to.IsValid());
  EXPECT_FALSE(from.IsValid());
  Decoded d = Decode(to, {'a'});
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.consumed, 0u);
  EXPECT_EQ(d.units, u"");
  Encoded e = Encode(from, u"a");
  EXPECT_FALSE(e.ok);
  EXPECT_EQ(e.consumed, 0);
}

// Texts that cross the vectorised ASCII runs, every sequence length and the
// supplementary planes.
std::vector<Units> RoundTripTexts() {
  std::vector<Units> texts = {
      u"",
      u"plain ASCII",
      u"caf\u00E9 \u00FC\u00DF \u0416\u0437 \u4E2D\u6587 \uAC00 \uFFFD \uFFFF",
      u"\U00010000\U0001F600\U0010FFFF\U00020BB7",
      u"\u0001\u007F\u0080\u07FF\u0800\uD7FF\uE000",
  };
  Units mixed;
  for (int i = 0; i < 300; ++i) {
    mixed += Units(size_t(i % 23), u'x');
    mixed += (i % 3 == 0) ? u"\u00E9" : (i % 3 == 1) ? u"\u4E2D" : u"\U0001F600";
  }
  texts.push_back(mixed);
  texts.push_back(Units(1000, u'a') + u"\u00E9" + Units(33, u'b'));
  return texts;
}

Units ToUnits(const VString& s) { return Units(s.GetCPointer(), size_t(s.GetLength())); }

TEST(VBuiltinConverters, RoundTripThroughEveryUnicodeSet) {
  const CharSet sets[] = {
      kCharSetUTF8,           kCharSetUTF16,    kCharSetUTF16BigEndian,   kCharSetUTF32,
      kCharSetUTF32BigEndian, kCharSetUTF32Raw, kCharSetUTF32RawBigEndian};
  VTextConverters* converters = VTextConverters::Get();
  for (CharSet set : sets) {
    for (const Units& text : RoundTripTexts()) {
      SCOPED_TRACE(testing::Message() << "set " << int(set) << ", " << text.size() << " units");
      VString source = Str(text);
      std::vector<uint8> bytes(text.size() * 4 + 4);
      int consumed = -1;
      size_t produced = 0;
      ASSERT_TRUE(converters->ConvertFromVString(source, &consumed, bytes.data(), bytes.size(),
                                                 &produced, set));
      EXPECT_EQ(consumed, int(text.size()));
      VString back("stale");
      ASSERT_TRUE(converters->ConvertToVString(bytes.data(), produced, set, back));
      EXPECT_EQ(ToUnits(back), text);
    }
  }
}

TEST(VBuiltinConverters, UTF8MatchesTheStandardForm) {
  // Our encoder against the compiler's own UTF-8 literals.
  const struct {
    Units units;
    const char* utf8;
  } cases[] = {
      {u"a\u00E9\u4E2D\U0001F600", "a\u00E9\u4E2D\U0001F600"},
      {u"\U0010FFFF\U00010000", "\U0010FFFF\U00010000"},
  };
  VFromUnicodeConverter_UTF8 from;
  VToUnicodeConverter_UTF8 to;
  for (const auto& c : cases) {
    EXPECT_EQ(Encode(from, c.units).bytes, Utf8(c.utf8));
    EXPECT_EQ(Decode(to, Utf8(c.utf8)).units, c.units);
  }
}

TEST(VFromUnicodeConverter, ConvertReallocEndsOnATrailingHighSurrogate) {
  // The grow-and-retry loop used to spin for ever here.
  VFromUnicodeConverter_UTF8 converter;
  const Units texts[] = {u"\xD83D", u"ab\xD83D", Units(700, u'\u4E2D') + u"\xDBFF"};
  for (const Units& text : texts) {
    void* block = nullptr;
    size_t produced = 0;
    ASSERT_TRUE(converter.ConvertRealloc(text.data(), int(text.size()), block, produced, 1));
    Encoded whole = Encode(converter, text + u"A", text.size() * 3 + 8);
    whole.bytes.pop_back();  // the 'A' only served to let the surrogate go
    EXPECT_EQ(Bytes(static_cast<uint8*>(block), static_cast<uint8*>(block) + produced),
              whole.bytes);
    VObject::sCppMemMgr->Free(block);
  }
}

TEST(VFromUnicodeConverter, ConvertReallocAppendsBehindHeldBytes) {
  VFromUnicodeConverter_UTF8 converter;
  void* block = VObject::sCppMemMgr->Malloc(3, false, int32(FourCC("test")));
  std::memcpy(block, "xyz", 3);
  size_t produced = 3;
  Units cjk(500, u'\u4E2D');  // needs three times the first room: several rounds
  ASSERT_TRUE(converter.ConvertRealloc(cjk.data(), int(cjk.size()), block, produced, 2));
  ASSERT_EQ(produced, 3u + 1500u);
  const uint8* bytes = static_cast<const uint8*>(block);
  EXPECT_EQ(std::memcmp(bytes, "xyz", 3), 0);
  for (size_t i = 0; i < 500; ++i) {
    ASSERT_EQ(bytes[3 + 3 * i], 0xE4);
    ASSERT_EQ(bytes[5 + 3 * i], 0xAD);
  }
  EXPECT_GE(VObject::sCppMemMgr->GetPtrSize(block), produced + 2);
  VObject::sCppMemMgr->Free(block);
}

TEST(VFromUnicodeConverter, ConvertReallocReportsFailures) {
  VFromUnicodeConverter_Void nothing;
  VFromUnicodeConverter_UTF32 utf32;
  const Units text = u"ab\xDC00";
  for (VFromUnicodeConverter* converter :
       std::initializer_list<VFromUnicodeConverter*>{&nothing, &utf32}) {
    void* block = nullptr;
    size_t produced = 0;
    EXPECT_FALSE(converter->ConvertRealloc(text.data(), 3, block, produced, 1));
    EXPECT_EQ(produced, 0u);
    VObject::sCppMemMgr->Free(block);
  }
}

TEST(VFromUnicodeConverter, ConvertToBufferAppends) {
  VFromUnicodeConverter_UTF8 converter;
  VMemoryBuffer<> buffer;
  ASSERT_TRUE(buffer.SetData("head:", 5));
  const Units text = u"\u00E9\U0001F600\xD800";
  ASSERT_TRUE(converter.ConvertToBuffer(text.data(), int(text.size()), buffer, 1));
  ASSERT_EQ(buffer.GetDataSize(), 5u + 2 + 4 + 3 + 1);
  const uint8* bytes = static_cast<const uint8*>(buffer.GetDataPtr());
  EXPECT_EQ(Bytes(bytes, bytes + 14), Utf8("head:\xC3\xA9\xF0\x9F\x98\x80\xED\xA0\x80"));

  VFromUnicodeConverter_Void nothing;
  EXPECT_FALSE(nothing.ConvertToBuffer(text.data(), int(text.size()), buffer, 0));
  EXPECT_EQ(buffer.GetDataSize(), 15u);
}

TEST(VToUnicodeConverter, ConvertStringAppends) {
  VToUnicodeConverter_UTF8 converter;
  VString target("x");
  size_t consumed = 0;
  // The cut sequence at the end stays unconsumed for the caller.
  Bytes bytes = Utf8("\xC3\xA9\xE4\xB8\xAD\xF0\x9F");
  EXPECT_TRUE(converter.ConvertString(bytes.data(), bytes.size(), &consumed, target));
  EXPECT_EQ(consumed, 5u);
  EXPECT_EQ(ToUnits(target), u"x\u00E9\u4E2D");

  // A long text into a shared buffer: the copy is left alone.
  Bytes longText(5000, 'k');
  VString shared = target;
  EXPECT_TRUE(converter.ConvertString(longText.data(), longText.size(), &consumed, target));
  EXPECT_EQ(consumed, 5000u);
  EXPECT_EQ(target.GetLength(), 5003);
  EXPECT_EQ(ToUnits(shared), u"x\u00E9\u4E2D");
}

TEST(VToUnicodeConverter, FailingContinuationUndoesTheCall) {
  // Text, then a surrogate value: the first step stops at it having produced
  // text, the next step fails on it; the call is undone as a whole.
  VToUnicodeConverter_UTF32 converter(false);
  Bytes bytes = {0x41, 0, 0, 0, 0x42, 0, 0, 0, 0x00, 0xDC, 0, 0};
  VString target("keep");
  size_t consumed = 99;
  EXPECT_FALSE(converter.ConvertString(bytes.data(), bytes.size(), &consumed, target));
  EXPECT_EQ(consumed, 0u);
  EXPECT_EQ(ToUnits(target), u"keep");
}

}  // namespace
}  // namespace zeft
