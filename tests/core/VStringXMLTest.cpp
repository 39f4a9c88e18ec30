// XML escaping and unescaping of strings in place, and the string's XML
// value form.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "core/VString.h"
#include "support/StringTestSupport.h"

namespace zeft {
namespace {

using test::Str;

using test::Text;

using namespace std::literals;

struct XMLCase {
  std::u16string_view input;
  std::u16string_view expected;
};

TEST(VStringXML, EscapesMarkupAndOptionallyControls) {
  const struct {
    bool escapeControls;
    XMLCase c;
  } cases[] = {
      {false, {u"a<b & \"c\"", u"a&lt;b &amp; &quot;c&quot;"}},
      {false, {u"'>'", u"&apos;&gt;&apos;"}},
      {false, {u"\t\n\r\x01\x1B\x7F", u"\t\n\r\x01\x1B\x7F"}},
      {true, {u"\t\n\r\x01\x1B\x7F", u"\t\n\r&#x01;&#x1B;&#x7F;"}},
      {true, {u"x\x1Fy<", u"x&#x1F;y&lt;"}},
      // Units above 0x7F and surrogates, paired or not, pass unchanged.
      {true, {u"\u00E9\xD83D\xDE00\xDC00\x80", u"\u00E9\xD83D\xDE00\xDC00\x80"}},
      // A 0 unit inside the string does not end the scan.
      {false, u"a<\0>b"sv, u"a&lt;\0&gt;b"sv},
      {true, u"\0\x02"sv, u"\0&#x02;"sv},
  };
  for (const auto& tc : cases) {
    VString s = Str(tc.c.input);
    s.TranscodeToXML(tc.escapeControls);
    EXPECT_EQ(Text(s), tc.c.expected) << "escapeControls=" << tc.escapeControls;
    EXPECT_FALSE(s.IsNull());
  }
}

TEST(VStringXML, UnescapesEntitiesAndCharacterReferences) {
  const XMLCase cases[] = {
      {u"&lt;&#x41;&#x3b1;&#X41;&#65;&foo;", u"<A\u03B1&#X41;&#65;&foo;"},
      {u"&amp;&gt;&quot;&lt;&apos;", u"&>\"<'"},
      // A replaced entity is not decoded again.
      {u"&amp;lt;", u"&lt;"},
      // Cut by the end, without ";", or with the wrong case: kept.
      {u"x&amp", u"x&amp"},
      {u"&lt", u"&lt"},
      {u"&#x41", u"&#x41"},
      {u"&AMP;&Lt;", u"&AMP;&Lt;"},
      {u"&#x;", u"&#x;"},
      {u"&", u"&"},
      // References name a character: beyond U+FFFF as a surrogate pair;
      // 0, surrogate code points and values beyond U+10FFFF stay as written.
      {u"&#x1F600;", u"\xD83D\xDE00"},
      {u"&#x10000;", u"\xD800\xDC00"},
      {u"&#x10FFFF;", u"\xDBFF\xDFFF"},
      {u"&#x0;", u"&#x0;"},
      {u"&#xD800;&#xdfff;", u"&#xD800;&#xdfff;"},
      {u"&#x110000;", u"&#x110000;"},
      {u"&#xFFFFFFFFFFFF0041;", u"&#xFFFFFFFFFFFF0041;"},
      {u"&#x0000000000000041;", u"A"},
      {u"&#xFFFD;", u"\xFFFD"},
      // A 0 unit inside the string does not end the scan.
      {u"&lt;\0&gt;"sv, u"<\0>"sv},
  };
  for (const XMLCase& tc : cases) {
    VString s = Str(tc.input);
    s.TranscodeFromXML();
    EXPECT_EQ(Text(s), tc.expected) << std::string(tc.input.begin(), tc.input.end());
  }
}

TEST(VStringXML, NothingToChangeKeepsBufferAndFlags) {
  VString s = Str(u"plain text \u00E9 without markup, long enough to live on the heap");
  s.SetDirty(false);
  const UniChar* before = s.GetCPointer();
  s.TranscodeToXML(true);
  s.TranscodeFromXML();
  EXPECT_EQ(s.GetCPointer(), before);
  EXPECT_FALSE(s.IsDirty());

  VString null(true);
  null.TranscodeToXML(true);
  null.TranscodeFromXML();
  EXPECT_TRUE(null.IsNull());

  VString empty;
  empty.TranscodeToXML(true);
  empty.TranscodeFromXML();
  EXPECT_FALSE(empty.IsNull());
  EXPECT_TRUE(empty.IsEmpty());

  VString changed = Str(u"<");
  changed.SetDirty(false);
  changed.TranscodeToXML();
  EXPECT_TRUE(changed.IsDirty());
}

TEST(VStringXML, ValueFormsEscapeAndUnescape) {
  VString source = Str(u"1 < 2 & \x01");
  VString xml;
  source.GetXMLString(xml, 1);
  EXPECT_EQ(Text(xml), u"1 &lt; 2 &amp; \x01");
  EXPECT_EQ(Text(source), u"1 < 2 & \x01");

  VString back;
  EXPECT_TRUE(back.FromXMLString(xml));
  EXPECT_EQ(Text(back), Text(source));

  // Through the single-value slots.
  const VValueSingle& asValue = source;
  VString viaSlot;
  asValue.GetXMLString(viaSlot, 0);
  EXPECT_EQ(Text(viaSlot), Text(xml));
}

// Escaping then unescaping gives any string back, whatever its units
// (0 units and lone surrogates included), with and without controls.
TEST(VStringXML, RoundTripOfRandomStrings) {
  std::mt19937 random(20260415);
  const UniChar alphabet[] = {u'a',  u'&',  u'<', u'>', u'"', u'\'', u';', u'#',   u'x',   u'0',
                              u'\t', u'\n', 0x01, 0x1F, 0x7F, 0x00,  0xE9, 0xD83D, 0xDE00, 0xFFFF};
  std::uniform_int_distribution<int> pick(0, int(std::size(alphabet)) - 1);
  std::uniform_int_distribution<int> size(0, 40);
  for (int round = 0; round < 2000; ++round) {
    std::u16string original;
    for (int i = size(random); i > 0; --i) original += char16_t(alphabet[pick(random)]);
    for (bool controls : {false, true}) {
      VString s = Str(original);
      s.TranscodeToXML(controls);
      s.TranscodeFromXML();
      ASSERT_EQ(Text(s), original) << "round " << round << " controls " << controls;
    }
  }
}

}  // namespace
}  // namespace zeft
