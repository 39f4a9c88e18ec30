// Text through a stream: PutText and PutPrintf encode in the stream's char
// set with its line-end mode; GetText decodes the rest of the stream or a
// count of characters; GetTextLine and GetTTRLine read lines; the char set
// is guessed from marks and leading bytes, and marks are written.
#include <gtest/gtest.h>
#include <unicode/utf8.h>

#include <limits>
#include <string>
#include <vector>

#include "StreamTestSupport.h"
#include "core/CharSet.h"
#include "core/VString.h"
#include "support/ErrorTestSupport.h"
#include "values/VArrayString.h"

namespace zeft {
namespace {

using namespace stream_test;
namespace te = toolbox_error;

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(VStreamTextTest, PutTextEncodesWithTheStreamsLineEnds) {
  struct Case {
    const char* name;
    CharSet charSet;
    ECarriageReturnMode mode;
    const UniChar* text;
    Bytes expected;
  };
  const Case cases[] = {
      {"UTF-8 to LF", kCharSetUTF8, kCRModeLF, u"a\r\nb\rc\n", B("a\nb\nc\n")},
      {"UTF-8 to CR LF", kCharSetUTF8, kCRModeCRLF, u"a\nb\r", B("a\r\nb\r\n")},
      {"UTF-8 to CR", kCharSetUTF8, kCRModeCR, u"a\r\nb\n", B("a\rb\r")},
      {"UTF-8 unchanged", kCharSetUTF8, kCRModeNone, u"a\r\nb\rc\n", B("a\r\nb\rc\n")},
      {"UTF-8 multi-byte", kCharSetUTF8, kCRModeLF, u"\u00E9\u20AC\U0001F600",
       B("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80")},
      {"UTF-16 to CR LF", kCharSetUTF16, kCRModeCRLF, u"a\nb", {'a', 0, 0x0D, 0, 0x0A, 0, 'b', 0}},
      {"UTF-16 big-endian to LF",
       kCharSetUTF16BigEndian,
       kCRModeLF,
       u"a\r\n\u00E9",
       {0, 'a', 0, 0x0A, 0, 0xE9}},
      {"empty text", kCharSetUTF8, kCRModeCRLF, u"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestPtrStream stream;
    stream.SetCharSet(c.charSet);
    stream.SetCarriageReturnMode(c.mode);
    ASSERT_EQ(stream.OpenWriting(), VE_OK);
    EXPECT_EQ(stream.PutText(VString(c.text)), VE_OK);
    EXPECT_EQ(Contents(stream), c.expected);
    EXPECT_EQ(stream.GetPos(), int64(c.expected.size()));
  }
}

TEST(VStreamTextTest, PutTextNeedsAStreamOpenForWriting) {
  TestPtrStream stream;
  EXPECT_EQ(stream.PutText(VString("x")), Err(te::kStreamNotOpenForWriting));
  EXPECT_EQ(stream.GetLastError(), Err(te::kStreamNotOpenForWriting));
}

TEST(VStreamTextTest, SetCharSetWhileWritingSwitchesTheEncoding) {
  TestPtrStream stream;
  stream.SetCharSet(kCharSetUTF8);
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(stream.PutText(VString(u"\u00E9")), VE_OK);
  ASSERT_EQ(stream.SetCharSet(kCharSetUTF16), VE_OK);
  ASSERT_EQ(stream.PutText(VString(u"\u00E9")), VE_OK);
  EXPECT_EQ(Contents(stream), (Bytes{0xC3, 0xA9, 0xE9, 0x00}));

  EXPECT_EQ(stream.SetCharSet(CharSet(987654)), Err(te::kStreamNoTextConverter));
  EXPECT_EQ(stream.GetLastError(), Err(te::kStreamNoTextConverter));
  EXPECT_EQ(stream.PutText(VString("x")), Err(te::kStreamNoTextConverter));
  EXPECT_EQ(stream.GetSize(), 4);
}

// A stream holding the text in the char set, its line ends as they are,
// open for reading.
void Hold(TestPtrStream& stream, CharSet charSet, const VString& text) {
  stream.SetCharSet(charSet);
  stream.SetCarriageReturnMode(kCRModeNone);
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(stream.PutText(text), VE_OK);
  ASSERT_EQ(stream.CloseWriting(), VE_OK);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
}

// A text that crosses GetText's 4096-byte chunks with characters of every
// UTF-8 length, and every kind of line end.
VString LongText() {
  VString text;
  for (int i = 0; i < 4095; ++i) text.AppendUniChar(u'a');
  for (int i = 0; i < 700; ++i) text += VString(u"\u20AC\U0001F600\u00E9\r\nb\rc\n");
  return text;
}

TEST(VStreamTextTest, GetTextRoundTripsInEveryUnicodeCharSet) {
  const CharSet charSets[] = {kCharSetUTF8, kCharSetUTF16, kCharSetUTF16BigEndian};
  const VString texts[] = {VString(u"line 1\r\nline 2\rline 3\n\u00E9\U0001F600"), LongText(),
                           VString("")};
  for (CharSet charSet : charSets) {
    for (const VString& text : texts) {
      SCOPED_TRACE(::testing::Message()
                   << "char set " << charSet << ", " << text.GetLength() << " units");
      TestPtrStream stream;
      Hold(stream, charSet, text);
      VString read("kept:");
      EXPECT_EQ(stream.GetText(read), VE_OK);
      VString expected("kept:");
      expected += text;
      EXPECT_TRUE(read == expected);
      EXPECT_EQ(stream.GetPos(), stream.GetSize());
    }
  }
}

TEST(VStreamTextTest, GetTextFromTheMiddleReadsTheRest) {
  const char data[] = "skip|rest\n";
  TestConstPtrStream stream(data, 10);
  stream.SetCharSet(kCharSetUTF8);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  ASSERT_EQ(stream.SetPos(5), VE_OK);
  VString text;
  EXPECT_EQ(stream.GetText(text), VE_OK);
  EXPECT_TRUE(text == VString("rest\n"));
}

TEST(VStreamTextTest, TextEndingInsideACharacterIsAnError) {
  struct Case {
    const char* name;
    CharSet charSet;
    Bytes data;
    const UniChar* decoded;
  };
  const Case cases[] = {
      {"UTF-8 cut in a 3-byte sequence", kCharSetUTF8, B("ab\xE2\x82"), u"ab"},
      {"UTF-16 odd byte", kCharSetUTF16, {'a', 0, 'b'}, u"a"},
      {"UTF-16 big-endian odd byte", kCharSetUTF16BigEndian, {0, 'a', 0}, u"a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestConstPtrStream stream(c.data.data(), c.data.size());
    stream.SetCharSet(c.charSet);
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    VString text;
    EXPECT_EQ(stream.GetText(text), Err(te::kStreamBadText));
    EXPECT_EQ(stream.GetLastError(), Err(te::kStreamBadText));
    EXPECT_TRUE(text == VString(c.decoded));
  }
}

TEST(VStreamTextTest, GetTextNeedsAStreamOpenForReading) {
  TestPtrStream stream;
  VString text("unchanged");
  EXPECT_EQ(stream.GetText(text), Err(te::kStreamNotOpenForReading));
  EXPECT_TRUE(text == VString("unchanged"));
}

// ---------------------------------------------------------------------------
// Guessing, marks, counted text, lines

TEST(VStreamTextTest, GuessingTheCharSetFromTheLeadingBytes) {
  struct Case {
    const char* name;
    Bytes data;
    CharSet defaultCharSet;
    bool detect;
    CharSet expected;
    bool mark;
    int64 position;
  };
  const CharSet latin = kCharSetWindows1252;
  const Case cases[] = {
      {"UTF-8 mark", {0xEF, 0xBB, 0xBF, 0x41}, latin, false, kCharSetUTF8, true, 3},
      {"UTF-8 mark alone", {0xEF, 0xBB, 0xBF}, latin, false, kCharSetUTF8, true, 3},
      {"UTF-16 mark", {0xFF, 0xFE, 0x41, 0x00}, latin, false, kCharSetUTF16, true, 2},
      {"UTF-16 big-endian mark", {0xFE, 0xFF, 0x00}, latin, false, kCharSetUTF16BigEndian, true, 2},
      {"UCS-4 mark", {0xFF, 0xFE, 0x00, 0x00}, latin, false, kCharSetUTF32, true, 4},
      {"UCS-4 big-endian mark",
       {0, 0, 0xFE, 0xFF, 0, 0},
       latin,
       false,
       kCharSetUTF32BigEndian,
       true,
       4},
      {"UTF-16 by its zeros", {0x41, 0x00, 0x42, 0x00}, latin, false, kCharSetUTF16, false, 0},
      {"UTF-16 by its zeros, detected as UTF-8",
       {0x41, 0x00, 0x42, 0x00},
       latin,
       true,
       kCharSetUTF8,
       false,
       0},
      {"UTF-16 big-endian by its zeros",
       {0, 0x41, 0, 0x42, 0xFF},
       latin,
       true,
       kCharSetUTF16BigEndian,
       false,
       0},
      {"empty, detected", {}, latin, true, kCharSetUTF8, false, 0},
      {"empty, not detected", {}, latin, false, latin, false, 0},
      {"seven-bit text for a UTF-16 default", B("abcd"), kCharSetUTF16BigEndian, false,
       kCharSetUTF8, false, 0},
      {"seven-bit text for another default", B("abcd"), latin, false, latin, false, 0},
      {"three seven-bit bytes then not", B("abc\xE9"), kCharSetUTF16, false, kCharSetUTF16, false,
       0},
      {"well-formed UTF-8", B("caf\xC3\xA9 \xE2\x82\xAC"), latin, true, kCharSetUTF8, false, 0},
      {"Latin-1 is no UTF-8", B("caf\xE9 au lait"), latin, true, latin, false, 0},
      {"a surrogate is no UTF-8", B("ab\xED\xA0\x80"), latin, true, latin, false, 0},
      {"cut at the end of the data", B("abc\xC3"), latin, true, latin, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestConstPtrStream stream(c.data.data(), c.data.size());
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    bool mark = !c.mark;
    test::ErrorCollector errors;
    EXPECT_EQ(stream.GuessCharSetFromLeadingBytes(c.defaultCharSet, c.detect, &mark), VE_OK);
    EXPECT_TRUE(errors.Errors().empty());
    EXPECT_EQ(stream.GetCharSet(), c.expected);
    EXPECT_EQ(mark, c.mark);
    EXPECT_EQ(stream.GetPos(), c.position);
    EXPECT_EQ(stream.GetLastError(), VE_OK);
  }
}

TEST(VStreamTextTest, GuessingLooksAt2048BytesAndKeepsACharacterTheSampleCuts) {
  // Valid UTF-8 whose 2048th byte begins a 2-byte character; then Latin-1
  // beyond the sample, which the guess never sees.
  std::string data = std::string(2047, 'a') + "\xC3\xA9" + "\xE9";
  TestConstPtrStream stream(data.data(), data.size());
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  EXPECT_EQ(stream.GuessCharSetFromLeadingBytes(kCharSetWindows1252, true, nullptr), VE_OK);
  EXPECT_EQ(stream.GetCharSet(), kCharSetUTF8);
  EXPECT_EQ(stream.GetPos(), 0);
}

TEST(VStreamTextTest, AGuessOnAStreamNotOpenKeepsTheCharSet) {
  TestPtrStream stream;
  EXPECT_EQ(stream.GuessCharSetFromLeadingBytes(kCharSetUTF16, true, nullptr),
            Err(te::kStreamNotOpenForReading));
  EXPECT_EQ(stream.GetCharSet(), kCharSetUTF8);
}

TEST(VStreamTextTest, WriteBOMWritesTheMarkOfTheCharSet) {
  const std::pair<CharSet, Bytes> cases[] = {
      {kCharSetUTF8, {0xEF, 0xBB, 0xBF}},           {kCharSetUTF16, {0xFF, 0xFE}},
      {kCharSetUTF16BigEndian, {0xFE, 0xFF}},       {kCharSetUTF32, {0xFF, 0xFE, 0, 0}},
      {kCharSetUTF32BigEndian, {0, 0, 0xFE, 0xFF}}, {kCharSetWindows1252, {}},
  };
  for (const auto& [charSet, mark] : cases) {
    SCOPED_TRACE(charSet);
    TestPtrStream stream;
    stream.SetCharSet(charSet);
    ASSERT_EQ(stream.OpenWriting(), VE_OK);
    EXPECT_EQ(stream.WriteBOM(), VE_OK);
    EXPECT_EQ(Contents(stream), mark);
    // What is written is guessed back.
    if (mark.empty()) continue;
    ASSERT_EQ(stream.CloseWriting(), VE_OK);
    stream.SetCharSet(kCharSetWindows1252);
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    bool found = false;
    EXPECT_EQ(stream.GuessCharSetFromLeadingBytes(kCharSetWindows1252, false, &found), VE_OK);
    EXPECT_TRUE(found);
    EXPECT_EQ(stream.GetCharSet(), charSet);
  }
}

// DetectUTF8 agrees with ICU's decoder on every sequence of one to three
// bytes, and on the edges of the four-byte range.
TEST(VStreamTextTest, DetectUTF8AgreesWithICU) {
  const auto icuValid = [](const uint8* bytes, int32_t length) {
    int32_t i = 0;
    while (i < length) {
      UChar32 c;
      U8_NEXT(bytes, i, length, c);
      if (c < 0) return false;
    }
    return true;
  };
  uint8 bytes[4];
  size_t disagreements = 0;
  for (uint32 value = 0; value < (1u << 24); ++value) {
    for (int length = 1; length <= 3; ++length) {
      if (length < 3 && (value >> (8 * length)) != 0) continue;
      for (int i = 0; i < length; ++i) bytes[i] = uint8(value >> (8 * (length - 1 - i)));
      if (DetectUTF8(bytes, length) != icuValid(bytes, length)) ++disagreements;
    }
  }
  EXPECT_EQ(disagreements, 0u);
  for (uint32 lead = 0xF0; lead <= 0xFF; ++lead) {
    for (uint32 second = 0x80; second <= 0xBF; second += 0x0F) {
      const uint8 four[4] = {uint8(lead), uint8(second), 0x80, 0xBF};
      EXPECT_EQ(DetectUTF8(four, 4), icuValid(four, 4)) << lead << " " << second;
    }
  }
  EXPECT_TRUE(DetectUTF8(bytes, 0));
}

// The lines of a stream: each case lists the lines read and the result of
// each call until the end of the data.
TEST(VStreamTextTest, GetTextLineSplitsAtEveryKindOfLineEnd) {
  struct Line {
    std::u16string text;
    VError result;
  };
  struct Case {
    const char* name;
    Bytes data;
    CharSet charSet;
    bool withLineEnd;
    const UniChar* endChar;
    std::vector<Line> lines;
  };
  const VError end = Err(te::kStreamEndOfData);
  const UniChar semicolon = u';';
  const std::string longLine(600, 'x');
  const Case cases[] = {
      {"CR LF", B("a\r\nb"), kCharSetUTF8, false, nullptr, {{u"a", 0}, {u"b", 0}, {u"", end}}},
      {"CR, LF, CR LF, empty lines",
       B("a\rb\n\nc\r\n\r\r"),
       kCharSetUTF8,
       false,
       nullptr,
       {{u"a", 0}, {u"b", 0}, {u"", 0}, {u"c", 0}, {u"", 0}, {u"", 0}, {u"", end}}},
      {"line ends kept as CR",
       B("a\nb\r\nc"),
       kCharSetUTF8,
       true,
       nullptr,
       {{u"a\r", 0}, {u"b\r", 0}, {u"c\r", 0}, {u"", end}}},
      {"LF CR is two line ends",
       B("a\n\rb"),
       kCharSetUTF8,
       false,
       nullptr,
       {{u"a", 0}, {u"", 0}, {u"b", 0}}},
      {"an end character",
       B("a;b\nc;"),
       kCharSetUTF8,
       true,
       &semicolon,
       {{u"a;", 0}, {u"b\nc;", 0}, {u"", end}}},
      {"multi-byte characters",
       B("\xC3\xA9t\xC3\xA9\n\xE2\x82\xAC"),
       kCharSetUTF8,
       false,
       nullptr,
       {{u"\u00E9t\u00E9", 0}, {u"\u20AC", 0}}},
      {"a long line without an end",
       B(longLine),
       kCharSetUTF8,
       false,
       nullptr,
       {{std::u16string(600, u'x'), 0}, {u"", end}}},
      {"UTF-16",
       {'a', 0, 0x0D, 0, 0x0A, 0, 'b', 0, 0x0A, 0},
       kCharSetUTF16,
       false,
       nullptr,
       {{u"a", 0}, {u"b", 0}, {u"", end}}},
      {"UTF-16 big-endian, a unit 0D00 is no CR",
       {0x0D, 0x00, 0, 0x0D, 0, 'b'},
       kCharSetUTF16BigEndian,
       false,
       nullptr,
       {{u"\u0D00", 0}, {u"b", 0}}},
      {"UTF-16 with an end character, LF ends too",
       {';', 0, 'a', 0, 0x0A, 0, 'b', 0},
       kCharSetUTF16,
       false,
       &semicolon,
       {{u"", 0}, {u"a", 0}, {u"b", 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestConstPtrStream stream(c.data.data(), c.data.size());
    stream.SetCharSet(c.charSet);
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    UniChar endChar = c.endChar != nullptr ? *c.endChar : 0;
    for (const Line& expected : c.lines) {
      VString line("previous");
      EXPECT_EQ(stream.GetTextLine(line, c.withLineEnd, c.endChar != nullptr ? &endChar : nullptr),
                expected.result);
      EXPECT_EQ(std::u16string(line.GetCPointer(), size_t(line.GetLength())), expected.text);
    }
  }
}

// A CR that is the last byte (or unit) of a 256-unit chunk, with its LF in
// the next chunk, is one line end.
TEST(VStreamTextTest, ACRLFAcrossChunksIsOneLineEnd) {
  for (const CharSet charSet : {kCharSetUTF8, kCharSetUTF16, kCharSetUTF16BigEndian}) {
    SCOPED_TRACE(charSet);
    VString text;
    for (int i = 0; i < 255; ++i) text.AppendUniChar(u'a');
    text += VString("\r\nb\r\nc");
    TestPtrStream stream;
    Hold(stream, charSet, text);
    VString line;
    EXPECT_EQ(stream.GetTextLine(line, false), VE_OK);
    EXPECT_EQ(line.GetLength(), 255);
    EXPECT_EQ(stream.GetTextLine(line, false), VE_OK);
    EXPECT_TRUE(line == VString("b"));
    EXPECT_EQ(stream.GetTextLine(line, false), VE_OK);
    EXPECT_TRUE(line == VString("c"));
  }
}

TEST(VStreamTextTest, LinesLongerThanManyChunksAreReadWhole) {
  std::string data;
  for (int length : {0, 255, 256, 257, 511, 512, 5000}) data += std::string(length, 'z') + "\r\n";
  TestConstPtrStream stream(data.data(), data.size());
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  for (int length : {0, 255, 256, 257, 511, 512, 5000}) {
    VString line;
    ASSERT_EQ(stream.GetTextLine(line, false), VE_OK);
    EXPECT_EQ(line.GetLength(), length);
  }
  VString line;
  EXPECT_EQ(stream.GetTextLine(line, false), Err(te::kStreamEndOfData));
}

TEST(VStreamTextTest, ALineReadAtTheEndIsEmptyOrALoneCR) {
  const char data[] = "ab";
  TestConstPtrStream stream(data, 2);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  ASSERT_EQ(stream.SetPos(2), VE_OK);
  VString line("previous");
  EXPECT_EQ(stream.GetTextLine(line, true), Err(te::kStreamEndOfData));
  EXPECT_TRUE(line == VString("\r"));
  // The end of data stays pending: the next call reads nothing at all.
  EXPECT_EQ(stream.GetTextLine(line, true), Err(te::kStreamEndOfData));
  EXPECT_TRUE(line.IsEmpty());
}

TEST(VStreamTextTest, GetTTRLineSplitsAtTabs) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"x\t\ty\nnext", {"x", "", "y"}},
      {"\n", {""}},
      {"a\t", {"a", ""}},
  };
  for (const auto& [data, fields] : cases) {
    TestConstPtrStream stream(data.data(), data.size());
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    VArrayString array;
    array.AppendString(VString("stale"));
    EXPECT_EQ(stream.GetTTRLine(array), VE_OK);
    std::vector<std::string> read;
    for (int32 i = 1; i <= array.GetCount(); ++i) {
      VString field;
      array.GetString(field, i);
      read.push_back(to_string(field));
    }
    EXPECT_EQ(read, fields) << data;
  }
}

TEST(VStreamTextTest, GetTextWithACountReadsThatManyCharacters) {
  struct Case {
    const char* name;
    Bytes data;
    CharSet charSet;
    int32 count;
    bool acceptMore;
    std::u16string expected;
    int64 position;
    VError result;
  };
  const Case cases[] = {
      {"UTF-8, stops inside the data", B("h\xC3\xA9llo world"), kCharSetUTF8, 4, false,
       u"h\u00E9ll", 5, 0},
      {"UTF-8, a pair counts two", B("\xF0\x9F\x98\x80xy"), kCharSetUTF8, 3, false, u"\U0001F600x",
       5, 0},
      {"UTF-8, data ends first", B("ab"), kCharSetUTF8, 5, false, u"ab", 2,
       Err(te::kStreamEndOfData)},
      {"UTF-16", {'a', 0, 'b', 0, 'c', 0}, kCharSetUTF16, 2, false, u"ab", 4, 0},
      {"UTF-16 big-endian, odd byte given back",
       {0, 'a', 0},
       kCharSetUTF16BigEndian,
       2,
       false,
       u"a",
       2,
       0},
      {"Latin-1", B("caf\xE9!"), kCharSetWindows1252, 4, false, u"caf\u00E9", 4, 0},
      {"a count of 0 reads nothing", B("abc"), kCharSetUTF8, 0, false, u"", 0, 0},
      {"a negative count reads nothing", B("abc"), kCharSetUTF8, -5, false, u"", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestConstPtrStream stream(c.data.data(), c.data.size());
    stream.SetCharSet(c.charSet);
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    VString text;
    test::ErrorCollector errors;
    EXPECT_EQ(stream.GetText(text, c.count, c.acceptMore), c.result);
    EXPECT_EQ(std::u16string(text.GetCPointer(), size_t(text.GetLength())), c.expected);
    EXPECT_EQ(stream.GetPos(), c.position);
  }
}

// A count that cannot fit behind the string's text is refused, never
// wrapped to a small or negative size; a huge count that fits reads what
// there is without reserving room for the count.
TEST(VStreamTextTest, GetTextWithAHugeCount) {
  const char data[] = "abc";
  for (const CharSet charSet : {kCharSetUTF8, kCharSetUTF16}) {
    SCOPED_TRACE(charSet);
    TestConstPtrStream stream(data, 3);
    stream.SetCharSet(charSet);
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    VString text("already here");
    test::ErrorCollector errors;
    EXPECT_EQ(stream.GetText(text, std::numeric_limits<int32>::max(), false), Err(te::kMemoryFull));
    EXPECT_TRUE(text == VString("already here"));
    EXPECT_EQ(stream.GetPos(), 0);
  }
  TestConstPtrStream stream(data, 3);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  VString text;
  test::ErrorCollector errors;
  EXPECT_EQ(stream.GetText(text, std::numeric_limits<int32>::max() - 1, false),
            Err(te::kStreamEndOfData));
  EXPECT_TRUE(text == VString("abc"));
  EXPECT_LT(text.GetCapacity(), 1 << 20);
}

// UTF-16 text longer than one step of growth is read whole.
TEST(VStreamTextTest, GetTextWithACountBeyondOneGrowthStep) {
  std::u16string units(70000, u'x');
  units[69999] = u'y';
  TestConstPtrStream stream(units.data(), units.size() * 2);
  stream.SetCharSet(kCharSetUTF16);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  VString text;
  EXPECT_EQ(stream.GetText(text, 70000, false), VE_OK);
  ASSERT_EQ(text.GetLength(), 70000);
  EXPECT_EQ(text.GetCPointer()[69999], u'y');
}

TEST(VStreamTextTest, PutPrintfFormatsInTheCLocale) {
  TestPtrStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  VString name("n\u00E9");
  ASSERT_EQ(stream.PutPrintf("%.2f|%S|%5d", 1.5, &name, 42), VE_OK);
  EXPECT_EQ(Contents(stream), B("1.50|n\xC3\xA9|   42"));
}

}  // namespace
}  // namespace zeft
