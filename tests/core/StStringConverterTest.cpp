// StStringConverter<char>: the inline and heap results, line ends, copies
// and moves, and conversions that fail.
#include "core/StStringConverter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "core/VString.h"
#include "support/StringTestSupport.h"

namespace zeft {
namespace {

using test::Str;

std::string Result(const StStringConverter<char>& c) {
  return std::string(c.GetCPointer(), c.GetSize());
}

bool IsInsideObject(const StStringConverter<char>& c) {
  const char* begin = reinterpret_cast<const char*>(&c);
  return c.GetCPointer() >= begin && c.GetCPointer() < begin + sizeof c;
}

TEST(StStringConverter, InlineAndHeapResults) {
  const struct {
    const char* label;
    std::u16string text;
    std::string expected;
    bool inlined;
  } cases[] = {
      {"300 ASCII units", std::u16string(300, u'a'), std::string(300, 'a'), true},
      {"511 bytes fill the inline room", std::u16string(511, u'b'), std::string(511, 'b'), true},
      {"512 bytes do not", std::u16string(512, u'c'), std::string(512, 'c'), false},
      {"600 ASCII units", std::u16string(600, u'd'), std::string(600, 'd'), false},
      {"CJK text growing over several rounds", std::u16string(400, u'\u4E2D'),
       [] {
         std::string s;
         for (int i = 0; i < 400; ++i) s += "\xE4\xB8\xAD";
         return s;
       }(),
       false},
      {"empty", u"", "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    StStringConverter<char> converter(Str(c.text), kCharSetUTF8);
    EXPECT_TRUE(converter.IsOK());
    EXPECT_EQ(Result(converter), c.expected);
    EXPECT_EQ(converter.GetCPointer()[converter.GetSize()], '\0');
    EXPECT_EQ(IsInsideObject(converter), c.inlined);
  }
}

TEST(StStringConverter, TrailingLoneHighSurrogate) {
  // Both paths end and keep the unit: inline (the first pass leaves it
  // unconsumed and the growing pass encodes it on its own) and heap.
  const struct {
    std::u16string text;
    std::string expected;
  } cases[] = {
      {u"a\xD83D", "a\xED\xA0\xBD"},
      {std::u16string(600, u'x') + u"\xDBFF", std::string(600, 'x') + "\xED\xAF\xBF"},
      {u"\xD83D"
       u"A\xD83D\xDE00",
       "\xED\xA0\xBD"
       "A\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    StStringConverter<char> converter(Str(c.text), kCharSetUTF8);
    EXPECT_TRUE(converter.IsOK());
    EXPECT_EQ(Result(converter), c.expected);
  }
}

TEST(StStringConverter, LineEndModes) {
  const struct {
    ECarriageReturnMode mode;
    std::u16string text;
    std::string expected;
  } cases[] = {
      {kCRModeCRLF, u"a\nb", "a\r\nb"},
      {kCRModeNone, u"a\nb", "a\nb"},
      {kCRModeLF, u"\r\r\n", "\n\n"},
      {kCRModeCR, u"\n\n", "\r\r"},
      {kCRModeCRLF, u"x\r\ny\rz", "x\r\ny\r\nz"},
      {ECarriageReturnMode(0), u"a\r\n\nb\r", "a\r\n\nb\r"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.mode));
    VString source = Str(c.text);
    StStringConverter<char> converter(source, kCharSetUTF8, c.mode);
    EXPECT_TRUE(converter.IsOK());
    EXPECT_EQ(Result(converter), c.expected);
    // The caller's string is left as it was.
    EXPECT_EQ(std::u16string(source.GetCPointer(), size_t(source.GetLength())), c.text);
  }
}

TEST(StStringConverter, OtherCharSets) {
  StStringConverter<char> big(Str(u"A\u00E9"), kCharSetUTF16BigEndian);
  EXPECT_TRUE(big.IsOK());
  EXPECT_EQ(Result(big), std::string("\0A\0\xE9", 4));

  // UTF-32 reports a full output as a failure: a result larger than the
  // inline room must still be converted whole.
  StStringConverter<char> wide(VString(std::string(300, 'w').c_str()), kCharSetUTF32BigEndian);
  EXPECT_TRUE(wide.IsOK());
  ASSERT_EQ(wide.GetSize(), 1200u);
  EXPECT_EQ(std::string(wide.GetCPointer() + 1196, 4), std::string("\0\0\0w", 4));
  // A real error is still one: a lone surrogate has no UTF-32 form.
  StStringConverter<char> lone(Str(std::u16string(200, u'w') + u"\xDC00"), kCharSetUTF32);
  EXPECT_FALSE(lone.IsOK());
  EXPECT_EQ(lone.GetSize(), 0u);
  EXPECT_EQ(lone.GetCPointer()[0], '\0');

  // A set nobody serves: an empty, terminated, failed result.
  StStringConverter<char> none(VString("abc"), CharSet(4242));
  EXPECT_FALSE(none.IsOK());
  EXPECT_EQ(none.GetSize(), 0u);
  EXPECT_EQ(none.GetCPointer()[0], '\0');

  StStringConverter<char> null(VString(true), kCharSetUTF8);
  EXPECT_TRUE(null.IsOK());
  EXPECT_EQ(null.GetSize(), 0u);
}

TEST(StStringConverter, ReconvertingReusesTheObject) {
  StStringConverter<char> converter(VString(std::string(700, 'h').c_str()), kCharSetUTF8);
  ASSERT_FALSE(IsInsideObject(converter));
  // Smaller text into the heap block, then larger text growing it.
  EXPECT_STREQ(converter.ConvertString(VString("short")), "short");
  EXPECT_EQ(converter.GetSize(), 5u);
  std::string large(3000, 'L');
  EXPECT_EQ(std::string(converter.ConvertString(VString(large.c_str()))), large);
  EXPECT_EQ(converter.GetSize(), 3000u);
  EXPECT_STREQ(converter.ConvertString(VString("")), "");
}

TEST(StStringConverter, CopiesOwnTheirResult) {
  for (size_t length : {size_t(10), size_t(2000)}) {
    SCOPED_TRACE(length);
    std::string text(length, 'q');
    auto original =
        std::make_unique<StStringConverter<char>>(VString(text.c_str()), kCharSetUTF8, kCRModeLF);
    StStringConverter<char> copy(*original);
    EXPECT_NE(copy.GetCPointer(), original->GetCPointer());
    original.reset();  // the copy must not depend on the original's memory
    EXPECT_TRUE(copy.IsOK());
    EXPECT_EQ(Result(copy), text);
    EXPECT_EQ(copy.GetCPointer()[copy.GetSize()], '\0');
    // It keeps the mode and a converter of its own.
    EXPECT_STREQ(copy.ConvertString(VString("a\rb")), "a\nb");
  }
}

TEST(StStringConverter, MovesTakeTheResult) {
  for (size_t length : {size_t(10), size_t(2000)}) {
    SCOPED_TRACE(length);
    std::string text(length, 'm');
    StStringConverter<char> source(VString(text.c_str()), kCharSetUTF8);
    const char* heapBytes = IsInsideObject(source) ? nullptr : source.GetCPointer();
    StStringConverter<char> moved(std::move(source));
    EXPECT_TRUE(moved.IsOK());
    EXPECT_EQ(Result(moved), text);
    if (heapBytes != nullptr) {
      EXPECT_EQ(moved.GetCPointer(), heapBytes);
    }
    EXPECT_TRUE(IsInsideObject(moved) == (heapBytes == nullptr));
    // The source is left empty, terminated and without a converter.
    EXPECT_EQ(source.GetSize(), 0u);
    EXPECT_EQ(source.GetCPointer()[0], '\0');
    EXPECT_TRUE(IsInsideObject(source));
    EXPECT_STREQ(source.ConvertString(VString("again")), "");
    EXPECT_FALSE(source.IsOK());
  }
}

}  // namespace
}  // namespace zeft
