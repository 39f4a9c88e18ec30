// Base64 coding: both alphabets, line breaks, strict padding and unused
// bits, white space, checksum texts, and the coding of a string's content.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/Base64Coder.h"
#include "core/CharSet.h"
#include "core/VMemoryBuffer.h"
#include "core/VString.h"
#include "support/ErrorTestSupport.h"
#include "support/StringTestSupport.h"

namespace zeft {
namespace {

using test::Str;
using test::Text;

std::string Bytes(const VMemoryBuffer<>& buffer) {
  return std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize());
}

std::string Encode(const std::string& data, bool url, int groupsPerLine = 0) {
  VMemoryBuffer<> out;
  EXPECT_TRUE(Base64Coder::_Encode(data.data(), data.size(), out, groupsPerLine, url));
  return Bytes(out);
}

// The decoded bytes, or "<fail>" (out must then be empty).
std::string Decode(const std::string& text, bool url) {
  VMemoryBuffer<> out;
  if (!Base64Coder::Decode(text.data(), text.size(), out, url)) {
    EXPECT_EQ(out.GetDataSize(), 0u);
    EXPECT_EQ(out.GetDataPtr(), nullptr);
    return "<fail>";
  }
  return Bytes(out);
}

TEST(Base64Coder, RFC4648VectorsInBothAlphabets) {
  struct Case {
    std::string data;
    std::string standard;
    std::string url;
  };
  const Case cases[] = {
      {"", "", ""},
      {"f", "Zg==", "Zg"},
      {"fo", "Zm8=", "Zm8"},
      {"foo", "Zm9v", "Zm9v"},
      {"foob", "Zm9vYg==", "Zm9vYg"},
      {"fooba", "Zm9vYmE=", "Zm9vYmE"},
      {"foobar", "Zm9vYmFy", "Zm9vYmFy"},
      {"abc", "YWJj", "YWJj"},
      {"ab", "YWI=", "YWI"},
      {"a", "YQ==", "YQ"},
      {"\xFB\xFF", "+/8=", "-_8"},
      {std::string("\0\0\0", 3), "AAAA", "AAAA"},
      {"\xFF\xFF\xFF", "////", "____"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.standard);
    EXPECT_EQ(Encode(c.data, false), c.standard);
    EXPECT_EQ(Encode(c.data, true), c.url);
    EXPECT_EQ(Decode(c.standard, false), c.data);
    EXPECT_EQ(Decode(c.url, true), c.data);
  }
}

TEST(Base64Coder, LineBreaksFollowFullLinesButNeverTheLastQuad) {
  const std::string bytes57(57, 'x');
  const std::string text57 = Encode(bytes57, false, 19);
  EXPECT_EQ(text57.size(), 76u);
  EXPECT_EQ(text57.find('\r'), std::string::npos);

  const std::string text60 = Encode(std::string(60, 'x'), false, 19);
  ASSERT_EQ(text60.size(), 82u);
  EXPECT_EQ(text60.substr(76, 2), "\r\n");
  EXPECT_EQ(text60.substr(0, 76), text57);

  const std::string lines = Encode("abcdefghi", false, 1);
  EXPECT_EQ(lines, "YWJj\r\nZGVm\r\nZ2hp");
  // The URL alphabet never breaks lines.
  EXPECT_EQ(Encode("abcdefghi", true, 1), "YWJjZGVmZ2hp");
  // The decoder skips the breaks.
  EXPECT_EQ(Decode(lines, false), "abcdefghi");
}

TEST(Base64Coder, StrictDecoding) {
  struct Case {
    std::string text;
    bool url;
    std::string result;
  };
  const Case cases[] = {
      {"YQ==", false, "a"},
      {"YR==", false, "<fail>"},  // unused bits not zero
      {"YWJ=", false, "<fail>"},
      {"YQ=", false, "<fail>"},
      {"YQ", false, "<fail>"},
      {"YQ", true, "a"},
      {"YR", true, "<fail>"},
      {"YWJ", true, "<fail>"},
      {"YQ==", true, "<fail>"},
      {"Y", true, "<fail>"},
      {"YWJjZ", true, "<fail>"},
      {"YW Jj\r\n", false, "abc"},
      {"YW Jj\r\n", true, "<fail>"},
      {" \t\r\n", false, ""},
      {"YQ==YQ==", false, "<fail>"},  // padding inside the text
      {"Y===", false, "<fail>"},
      {"YQ=a", false, "<fail>"},
      {"====", false, "<fail>"},
      {"YW*j", false, "<fail>"},
      {"+/8=", true, "<fail>"},
      {"-_8=", false, "<fail>"},
      {"AAAA\x80\x80\x80\x80", false, "<fail>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + (c.url ? " (url)" : ""));
    EXPECT_EQ(Decode(c.text, c.url), c.result);
  }
}

TEST(Base64Coder, FailedDecodingEmptiesTheOutput) {
  VMemoryBuffer<> out;
  ASSERT_TRUE(out.SetData("previous", 8));
  EXPECT_FALSE(Base64Coder::Decode("YR==", 4, out, false));
  EXPECT_EQ(out.GetDataSize(), 0u);
  ASSERT_TRUE(out.SetData("previous", 8));
  EXPECT_TRUE(Base64Coder::Decode(nullptr, 0, out, false));
  EXPECT_EQ(out.GetDataSize(), 0u);
  EXPECT_FALSE(Base64Coder::Decode(nullptr, 4, out, false));
  EXPECT_FALSE(Base64Coder::_Encode(nullptr, 3, out, 0, false));
  // A size whose text could not be counted is refused before any byte is read.
  EXPECT_FALSE(Base64Coder::_Encode("x", SIZE_MAX, out, 0, false));
  EXPECT_FALSE(Base64Coder::_Encode("x", SIZE_MAX / 3 * 2, out, 0, true));
  EXPECT_EQ(out.GetDataSize(), 0u);
}

TEST(Base64Coder, DecodeQuadsStopsBehindTheStranger) {
  const uint8 text[] = {'Y', 'W', 'J', 'j', 'Y', 'W', '=', 'j'};
  uint8 dest[6] = {};
  size_t sourcePos = 0;
  size_t destPos = 0;
  EXPECT_TRUE(Base64Coder::_DecodeQuads(Base64Coder::sBase64Inverse.data(), text, 0, dest,
                                        sourcePos, destPos));
  EXPECT_EQ(sourcePos, 0u);
  EXPECT_FALSE(Base64Coder::_DecodeQuads(Base64Coder::sBase64Inverse.data(), text, 2, dest,
                                         sourcePos, destPos));
  EXPECT_EQ(sourcePos, 7u);
  EXPECT_EQ(destPos, 3u);
  EXPECT_EQ(std::memcmp(dest, "abc", 3), 0);
}

TEST(Base64Coder, RandomBytesRoundTripAtEveryLength) {
  std::mt19937 random(7);
  for (size_t size = 0; size < 200; ++size) {
    std::string data(size, '\0');
    for (char& c : data) c = char(random());
    for (bool url : {false, true}) {
      for (int perLine : {0, 1, 5, 19}) {
        SCOPED_TRACE(::testing::Message() << size << (url ? " url " : " ") << perLine);
        EXPECT_EQ(Decode(Encode(data, url, perLine), url), data);
      }
    }
  }
}

TEST(Base64Coder, Checksums) {
  const uint8 bytes[] = {0x00, 0xAB, 0x7F};
  VString text(true);
  Base64Coder::DO_EncodeChecksumHexa(bytes, 3, text);
  EXPECT_EQ(Text(text), u"00ab7f");
  EXPECT_FALSE(text.IsNull());
  Base64Coder::DO_EncodeChecksumHexa(bytes, 0, text);
  EXPECT_EQ(Text(text), u"");

  Base64Coder::DO_EncodeChecksumBase64(reinterpret_cast<const uint8*>("ab"), 2, text);
  EXPECT_EQ(Text(text), u"YWI=");
  Base64Coder::DO_EncodeChecksumBase64(nullptr, 2, text);
  EXPECT_EQ(Text(text), u"");
}

TEST(Base64Coder, TablesMatchTheAlphabets) {
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(Base64Coder::sBase64Inverse[uint8(Base64Coder::sBase64Alphabet[i])], i);
    EXPECT_EQ(Base64Coder::sBase64URLInverse[uint8(Base64Coder::sBase64URLAlphabet[i])], i);
  }
  EXPECT_EQ(Base64Coder::sBase64Alphabet[64], 0);
  int standardMembers = 0;
  for (int b = 0; b < 256; ++b) standardMembers += Base64Coder::sBase64Inverse[size_t(b)] != 255;
  EXPECT_EQ(standardMembers, 64);
  EXPECT_EQ(Base64Coder::sBase64Inverse['='], 255);
  EXPECT_EQ(Base64Coder::sBase64URLInverse['+'], 255);
}

// ---------------------------------------------------------------------------
// Strings

TEST(VStringBase64, EncodeDataAndContent) {
  VString s(true);
  ASSERT_TRUE(s.EncodeBase64("ab", 2, false));
  EXPECT_EQ(Text(s), u"YWI=");
  EXPECT_FALSE(s.IsNull());
  ASSERT_TRUE(s.EncodeBase64("\xFB\xFF", 2, true));
  EXPECT_EQ(Text(s), u"-_8");
  // Failure leaves the string as it was.
  EXPECT_FALSE(s.EncodeBase64(nullptr, 2, false));
  EXPECT_EQ(Text(s), u"-_8");

  VString content = Str(u"\u00E9t\u00E9");
  ASSERT_TRUE(content.EncodeBase64(kCharSetUTF8, false));
  EXPECT_EQ(Text(content), u"w6l0w6k=");
  ASSERT_TRUE(content.DecodeBase64(kCharSetUTF8, false));
  EXPECT_EQ(Text(content), u"\u00E9t\u00E9");

  VString empty;
  EXPECT_TRUE(empty.EncodeBase64(kCharSetUTF8, false));
  EXPECT_EQ(Text(empty), u"");
  VString null(true);
  EXPECT_TRUE(null.DecodeBase64(kCharSetUTF8, false));
  EXPECT_TRUE(null.IsNull());
}

TEST(VStringBase64, EncodesItsOwnBuffer) {
  VString s = Str(u"abc");
  ASSERT_TRUE(s.EncodeBase64(s.GetCPointer(), 2 * size_t(s.GetLength()), false));
  EXPECT_EQ(Text(s), u"YQBiAGMA");
}

TEST(VStringBase64, DecodeToBytes) {
  VMemoryBuffer<> out;
  ASSERT_TRUE(Str(u"YW Jj\r\n").DecodeBase64(out, false));
  EXPECT_EQ(Bytes(out), "abc");
  ASSERT_TRUE(VString().DecodeBase64(out, false));
  EXPECT_EQ(out.GetDataSize(), 0u);
  EXPECT_FALSE(Str(u"YR==").DecodeBase64(out, false));
  EXPECT_EQ(out.GetDataSize(), 0u);

  // Long texts go through a block of their own.
  const std::string data(3000, 'q');
  const std::string text = Encode(data, false, 19);
  VString longText = Str(std::u16string(text.begin(), text.end()));
  ASSERT_TRUE(longText.DecodeBase64(out, false));
  EXPECT_EQ(Bytes(out), data);
}

TEST(VStringBase64, UnitsOutsideASCIIAreRefusedAndLeaveTheOutput) {
  VMemoryBuffer<> out;
  ASSERT_TRUE(out.SetData("kept", 4));
  EXPECT_FALSE(Str(u"YQ\u00E9=").DecodeBase64(out, false));
  EXPECT_EQ(Bytes(out), "kept");
  // A unit whose low byte is in the alphabet is not taken for that byte.
  EXPECT_FALSE(Str(u"YQ\u0141=").DecodeBase64(out, false));
  EXPECT_EQ(Bytes(out), "kept");

  VString s = Str(u"\u00E9\u00E9\u00E9\u00E9");
  EXPECT_FALSE(s.DecodeBase64(kCharSetUTF8, false));
  EXPECT_EQ(Text(s), u"\u00E9\u00E9\u00E9\u00E9");
}

TEST(VStringBase64, DecodeContentReadsTheBytesInTheCharSet) {
  VString s = Str(u"AEEAQg==");
  ASSERT_TRUE(s.DecodeBase64(kCharSetUTF16BigEndian, false));
  EXPECT_EQ(Text(s), u"AB");
  VString spaces = Str(u"  ");
  ASSERT_TRUE(spaces.DecodeBase64(kCharSetUTF8, false));
  EXPECT_EQ(Text(spaces), u"");
  VString bad = Str(u"YQ");
  EXPECT_FALSE(bad.DecodeBase64(kCharSetUTF8, false));
  EXPECT_EQ(Text(bad), u"YQ");
}

TEST(VStringBase64, UnitsOutsideASCIIRaise210) {
  test::ErrorCollector errors;
  VMemoryBuffer<> out;
  EXPECT_FALSE(Str(u"YQ\u00E9=").DecodeBase64(out, false));
  auto records = errors.Errors();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].code, ToolboxError(toolbox_error::kNotASCII));
  // A text that only is no Base64 fails without an error record.
  errors.Flush();
  EXPECT_FALSE(Str(u"Y!==").DecodeBase64(out, false));
  EXPECT_TRUE(errors.Errors().empty());
}

}  // namespace
}  // namespace zeft
