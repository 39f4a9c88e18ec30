// Splitting strings at a unit or a string, trimming spaces, joining, and
// concatenation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/VString.h"
#include "support/StringTestSupport.h"
#include "values/VArrayString.h"

namespace zeft {
namespace {

using test::Str;
using test::Text;

std::vector<std::u16string> Texts(const std::vector<VString>& parts) {
  std::vector<std::u16string> texts;
  for (const VString& part : parts) texts.push_back(Text(part));
  return texts;
}

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

using Pieces = std::vector<std::u16string>;

struct SplitCase {
  std::u16string text;
  bool keepEmpty;
  bool trimSpaces;
  Pieces pieces;
  bool found;
};

TEST(VStringSplit, AtOneUnit) {
  const SplitCase cases[] = {
      {u"a,,b", true, false, {u"a", u"", u"b"}, true},
      {u"a,,b", false, false, {u"a", u"b"}, true},
      {u",a,", true, false, {u"", u"a", u""}, true},
      {u",a,", false, false, {u"a"}, true},
      {u",,", true, false, {u"", u"", u""}, true},
      {u",", true, false, {u"", u""}, true},
      {u",", false, false, {}, true},
      {u"abc", true, false, {u"abc"}, false},
      {u"", true, false, {u""}, false},
      {u"", false, false, {}, false},
      {u" a , b ", false, true, {u"a", u"b"}, true},
      {u" a , b ", false, false, {u" a ", u" b "}, true},
      {u"a,  ,b", false, true, {u"a", u"b"}, true},
      {u"a,  ,b", true, true, {u"a", u"", u"b"}, true},
      {u"\t,x", false, true, {u"\t", u"x"}, true},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(Narrow(c.text) + (c.keepEmpty ? " keep" : "") + (c.trimSpaces ? " trim" : ""));
    std::vector<VString> parts(3, Str(u"stale"));
    EXPECT_EQ(Str(c.text).GetSubStrings(u',', parts, c.keepEmpty, c.trimSpaces), c.found);
    EXPECT_EQ(Texts(parts), c.pieces);
    for (const VString& part : parts) EXPECT_FALSE(part.IsNull());
  }
}

TEST(VStringSplit, AtAString) {
  const SplitCase cases[] = {
      {u"a::b", false, false, {u"a", u"b"}, true},
      {u"a::::b", true, false, {u"a", u"", u"b"}, true},
      {u"a::::b", false, false, {u"a", u"b"}, true},
      {u"::a::", true, false, {u"", u"a", u""}, true},
      {u"::a::", false, false, {u"a"}, true},
      {u"a:b", true, false, {u"a:b"}, false},
      {u"a:::b", false, false, {u"a", u":b"}, true},
      {u"", true, false, {}, false},
      {u"", false, false, {}, false},
      {u" x :: y ", false, true, {u"x", u"y"}, true},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(Narrow(c.text) + (c.keepEmpty ? " keep" : "") + (c.trimSpaces ? " trim" : ""));
    std::vector<VString> parts(2, Str(u"stale"));
    EXPECT_EQ(Str(c.text).GetSubStrings(Str(u"::"), parts, c.keepEmpty, c.trimSpaces, true),
              c.found);
    EXPECT_EQ(Texts(parts), c.pieces);
  }
}

TEST(VStringSplit, IntoAStringArray) {
  VArrayString parts;
  parts.AppendString(Str(u"stale"));
  EXPECT_TRUE(Str(u",a,,b").GetSubStrings(u',', parts, true, false));
  ASSERT_EQ(parts.GetCount(), 4);
  const Pieces expected = {u"", u"a", u"", u"b"};
  for (int32 i = 1; i <= parts.GetCount(); ++i) {
    VString piece(true);
    parts.GetString(piece, i);
    EXPECT_EQ(Text(piece), expected[size_t(i - 1)]) << i;
    EXPECT_FALSE(piece.IsNull()) << i;
  }
  EXPECT_FALSE(Str(u"abc").GetSubStrings(u',', parts, false, false));
  ASSERT_EQ(parts.GetCount(), 1);
  EXPECT_FALSE(VString().GetSubStrings(u',', parts, false, false));
  EXPECT_EQ(parts.GetCount(), 0);
}

TEST(VStringSplit, EmptySeparatorStringGivesTheWholeString) {
  std::vector<VString> parts;
  EXPECT_FALSE(Str(u"abc").GetSubStrings(VString(), parts, true, false, true));
  EXPECT_EQ(Texts(parts), Pieces{u"abc"});
}

TEST(VStringSplit, DiacriticalDecidesOnCase) {
  std::vector<VString> parts;
  EXPECT_TRUE(Str(u"aXb").GetSubStrings(Str(u"x"), parts, false, false, false));
  EXPECT_EQ(Texts(parts), (Pieces{u"a", u"b"}));
  EXPECT_FALSE(Str(u"aXb").GetSubStrings(Str(u"x"), parts, false, false, true));
  EXPECT_EQ(Texts(parts), Pieces{u"aXb"});
}

TEST(VStringSplit, TemplateSeparators) {
  // The pieces a template filler sees: split at "{{", each piece at "}}".
  std::vector<VString> pieces;
  EXPECT_TRUE(Str(u"Hello {{name}}!").GetSubStrings(Str(u"{{"), pieces, true, false, true));
  ASSERT_EQ(Texts(pieces), (Pieces{u"Hello ", u"name}}!"}));
  std::vector<VString> inner;
  EXPECT_TRUE(pieces[1].GetSubStrings(Str(u"}}"), inner, true, false, true));
  EXPECT_EQ(Texts(inner), (Pieces{u"name", u"!"}));
  EXPECT_TRUE(Str(u"{{a}}{{b}}").GetSubStrings(Str(u"{{"), pieces, true, false, true));
  EXPECT_EQ(Texts(pieces), (Pieces{u"", u"a}}", u"b}}"}));
}

TEST(VStringTrim, OnlySpacesAtBothEnds) {
  struct Case {
    std::u16string text;
    std::u16string trimmed;
  };
  const Case cases[] = {
      {u"   ", u""}, {u"\ta ", u"\ta"}, {u"  a b  ", u"a b"}, {u"ab", u"ab"},
      {u" x", u"x"}, {u"x ", u"x"},     {u"", u""},           {u"\u00A0a\u00A0", u"\u00A0a\u00A0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    VString s = Str(c.text);
    s.TrimeSpaces();
    EXPECT_EQ(Text(s), c.trimmed);
    EXPECT_FALSE(s.IsNull());
  }
  VString null(true);
  null.TrimeSpaces();
  EXPECT_TRUE(null.IsNull());
}

TEST(VStringJoin, PartsAndSeparators) {
  const std::vector<VString> abc = {Str(u"a"), Str(u"b"), Str(u"c")};
  VString s(true);
  ASSERT_TRUE(s.Join(abc, Str(u", ")));
  EXPECT_EQ(Text(s), u"a, b, c");
  EXPECT_FALSE(s.IsNull());
  ASSERT_TRUE(s.Join(abc, u'/'));
  EXPECT_EQ(Text(s), u"a/b/c");
  ASSERT_TRUE(s.Join({Str(u"only")}, Str(u", ")));
  EXPECT_EQ(Text(s), u"only");
  ASSERT_TRUE(s.Join({}, Str(u", ")));
  EXPECT_EQ(Text(s), u"");
  EXPECT_FALSE(s.IsNull());
  // A null part adds no units; its separators stay.
  ASSERT_TRUE(s.Join({Str(u"x"), VString(true), Str(u"y")}, u','));
  EXPECT_EQ(Text(s), u"x,,y");
  ASSERT_TRUE(s.Join(abc, VString()));
  EXPECT_EQ(Text(s), u"abc");
}

TEST(VStringJoin, TheStringItselfMayBeAPartOrTheSeparator) {
  VString s = Str(u"-");
  ASSERT_TRUE(s.Join({Str(u"a"), Str(u"b")}, s));
  EXPECT_EQ(Text(s), u"a-b");

  VString part = Str(u"a fairly long part that lives on the heap");
  std::vector<VString> parts = {Str(u"<"), part, Str(u">")};
  ASSERT_TRUE(parts[1].Join(parts, u'|'));
  EXPECT_EQ(Text(parts[1]), u"<|a fairly long part that lives on the heap|>");
}

TEST(VStringJoin, SplitThenJoinGivesTheTextBack) {
  const std::u16string texts[] = {u"a,b,,c", u",", u"", u"x", u",lead", u"trail,"};
  for (const std::u16string& text : texts) {
    SCOPED_TRACE(Narrow(text));
    std::vector<VString> parts;
    Str(text).GetSubStrings(u',', parts, true, false);
    VString joined;
    ASSERT_TRUE(joined.Join(parts, u','));
    EXPECT_EQ(Text(joined), text);
  }
}

TEST(VStringConcat, PlusAppendsTheSecond) {
  EXPECT_EQ(Text(Str(u"ab") + Str(u"cd")), u"abcd");
  const VString sum = VString(true) + Str(u"b");
  EXPECT_EQ(Text(sum), u"b");
  EXPECT_FALSE(sum.IsNull());
  VString heap = Str(u"a string long enough to be shared between copies");
  const VString twice = heap + heap;
  EXPECT_EQ(twice.GetLength(), 2 * heap.GetLength());
  EXPECT_EQ(Text(heap), u"a string long enough to be shared between copies");
}

}  // namespace
}  // namespace zeft
