// Text through a stream: PutText encodes in the stream's char set with its
// line-end mode, GetText decodes the rest of the stream.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StreamTestSupport.h"
#include "core/CharSet.h"
#include "core/VString.h"

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
      stream.SetCharSet(charSet);
      stream.SetCarriageReturnMode(kCRModeNone);
      ASSERT_EQ(stream.OpenWriting(), VE_OK);
      ASSERT_EQ(stream.PutText(text), VE_OK);
      ASSERT_EQ(stream.CloseWriting(), VE_OK);

      ASSERT_EQ(stream.OpenReading(), VE_OK);
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

}  // namespace
}  // namespace zeft
