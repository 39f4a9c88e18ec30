// The XML text of bags and the typing of XML attribute texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "core/IRefCountable.h"
#include "core/VBoolean.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "support/StringTestSupport.h"
#include "values/VUUID.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using test::Str;

using test::Text;

using BagRef = VRefPtr<VValueBag>;

BagRef NewBag() { return BagRef(new VValueBag, kAdoptRef); }

std::string Dump(const VValueBag& bag, const char* name, bool indent) {
  VString out;
  bag.DumpXML(out, VString(name), indent);
  return to_string(out);
}

TEST(VValueBagXML, AttributesWithoutChildrenOrText) {
  BagRef bag = NewBag();
  bag->SetLong("a", 1);
  bag->SetString("b", VString("x&y"));
  EXPECT_EQ(Dump(*bag, "item", true), "<item a=\"1\" b=\"x&amp;y\"/>");
  EXPECT_EQ(Dump(*bag, "item", false), "<item a=\"1\" b=\"x&amp;y\"/>");

  // Appends: what is in the string stays.
  VString out("before:");
  bag->DumpXML(out, VString("e"), false);
  EXPECT_EQ(to_string(out), "before:<e a=\"1\" b=\"x&amp;y\"/>");

  BagRef empty = NewBag();
  EXPECT_EQ(Dump(*empty, "x", true), "<x/>");
}

TEST(VValueBagXML, AttributeValuesKeepLineBreaksAndDropWhatXMLCannotCarry) {
  BagRef bag = NewBag();
  bag->SetString("v", Str(u"l1\nl2\tx\r\x01\"<'\xD83D\xDE00\xDC00\xFFFE!"));
  bag->SetBool("t", true);
  bag->SetReal("r", 2.5);
  EXPECT_EQ(
      Dump(*bag, "e", false),
      "<e v=\"l1&#xA;l2&#x9;x&#xD;&quot;&lt;&apos;\xF0\x9F\x98\x80!\" t=\"true\" r=\"2.5\"/>");
}

TEST(VValueBagXML, NestedElementsAndIndentation) {
  BagRef root = NewBag();
  BagRef sub = NewBag();
  root->AddElement("sub", sub.Get());
  EXPECT_EQ(Dump(*root, "root", true), "<root>\n\t<sub/>\n</root>");
  EXPECT_EQ(Dump(*root, "root", false), "<root>\n<sub/>\n</root>");

  BagRef leaf = NewBag();
  leaf->SetLong("n", 3);
  sub->AddElement("leaf", leaf.Get());
  BagRef second = NewBag();
  root->AddElement("sub", second.Get());
  BagRef other = NewBag();
  root->AddElement("other", other.Get());
  EXPECT_EQ(Dump(*root, "root", true),
            "<root>\n\t<sub>\n\t\t<leaf n=\"3\"/>\n\t</sub>\n\t<sub/>\n\t<other/>\n</root>");
  EXPECT_EQ(Dump(*root, "root", false),
            "<root>\n<sub>\n<leaf n=\"3\"/>\n</sub>\n<sub/>\n<other/>\n</root>");
}

TEST(VValueBagXML, IndentationIsCappedAtOneHundredTabs) {
  const struct {
    int level;
    int tabs;
  } cases[] = {{-1, 0}, {0, 0}, {1, 1}, {2, 2}, {100, 100}, {150, 100}};
  for (const auto& tc : cases) {
    VString out;
    VValueBag::DumpXMLIndentation(out, tc.level);
    EXPECT_EQ(Text(out), std::u16string(size_t(tc.tabs), u'\t')) << tc.level;
  }
}

TEST(VValueBagXML, CharacterData) {
  const struct {
    std::u16string_view text;
    const char* indented;
    const char* flat;
  } cases[] = {
      {u"hello", "<t>hello</t>", "<t>hello</t>"},
      {u"a<b", "<t><![CDATA[a<b]]></t>", "<t><![CDATA[a<b]]></t>"},
      {u"x]]>y", "<t><![CDATA[x]]>]]<![CDATA[>y]]></t>", "<t><![CDATA[x]]>]]<![CDATA[>y]]></t>"},
      {u"]]>", "<t><![CDATA[]]>]]<![CDATA[>]]></t>", "<t><![CDATA[]]>]]<![CDATA[>]]></t>"},
      // Only spaces and line breaks: no CDATA, the breaks are lost.
      {u" \n \n", "<t>  </t>", "<t>  </t>"},
      // Line breaks beside other characters: CDATA keeps them.
      {u"a\nb", "<t><![CDATA[a\nb]]></t>", "<t><![CDATA[a\nb]]></t>"},
      // Nothing written: the closing tag goes on its own line.
      {u"", "<t>\n</t>", "<t>\n</t>"},
      {u"\x01\x02", "<t>\n</t>", "<t>\n</t>"},
      // Characters XML cannot carry are dropped one by one; a lone high
      // surrogate does not take the character behind it along.
      {u"a\x01"
       u"b\xFFFF",
       "<t>ab</t>", "<t>ab</t>"},
      {u"\xD800"
       u"A\xDC00"
       u"B\xD83D\xDE00",
       "<t>AB\xF0\x9F\x98\x80</t>", "<t>AB\xF0\x9F\x98\x80</t>"},
      {u"<\xD800"
       u"A",
       "<t><![CDATA[<A]]></t>", "<t><![CDATA[<A]]></t>"},
  };
  for (const auto& tc : cases) {
    BagRef bag = NewBag();
    bag->SetCData(Str(tc.text));
    EXPECT_EQ(Dump(*bag, "t", true), tc.indented) << to_string(Str(tc.text));
    EXPECT_EQ(Dump(*bag, "t", false), tc.flat) << to_string(Str(tc.text));
  }
}

TEST(VValueBagXML, CharacterDataWithChildrenClosesRightAfterTheText) {
  BagRef bag = NewBag();
  bag->SetLong("a", 1);
  bag->SetCData(VString("hi"));
  BagRef child = NewBag();
  bag->AddElement("c", child.Get());
  EXPECT_EQ(Dump(*bag, "t", true), "<t a=\"1\">\n\t<c/>hi</t>");

  BagRef blank = NewBag();
  blank->SetCData(VString(""));
  blank->AddElement("c", child.Get());
  EXPECT_EQ(Dump(*blank, "t", true), "<t>\n\t<c/>\n</t>");
}

// A stored value whose kind has no descriptor cannot be written: the
// attribute is left out.
TEST(VValueBagXML, AttributeOfAnUnregisteredKindIsSkipped) {
  // A little-endian bag stream: attributes "u" (kind 77, no descriptor) and
  // "n" (a long, 9).
  const uint8 stream[] = {'G', 'A', 'B', 'V', 1, 0, 0, 0, 1, 2,  0, 0, 0, 4, 0, 0, 0,
                          1,   'u', 1,   'n', 0, 4, 0, 0, 0, 77, 0, 4, 0, 9, 0, 0, 0};
  VConstPtrStream input(stream, sizeof(stream));
  input.SetCharSet(kCharSetUTF8);
  ASSERT_EQ(input.OpenReading(), VE_OK);
  BagRef bag = NewBag();
  ASSERT_EQ(bag->ReadFromStream(&input), VE_OK);
  ASSERT_EQ(bag->GetAttributesCount(), 2);
  EXPECT_EQ(Dump(*bag, "e", false), "<e n=\"9\"/>");
}

TEST(VValueBagXML, ReservedAttributesAreNotWritten) {
  BagRef bag = NewBag();
  bag->SetLong("____objectunic", 1);
  bag->SetString("____property_name_in_jsarray", VString("p"));
  bag->SetLong("kept", 2);
  EXPECT_EQ(Dump(*bag, "e", false), "<e kept=\"2\"/>");
}

// Names that are not XML names are never written: the attribute or the
// element list is left out, and an invalid element name writes nothing.
TEST(VValueBagXML, InvalidNamesAreSkipped) {
  BagRef bag = NewBag();
  bag->SetLong("a b", 1);
  bag->SetLong("x\"=\"y", 2);
  bag->SetLong("1st", 3);
  bag->SetLong("ns:ok_1.-\xC3\xA9", 4);
  BagRef child = NewBag();
  bag->AddElement("bad>child", child.Get());
  bag->AddElement("good", child.Get());
  EXPECT_EQ(Dump(*bag, "e", false), "<e ns:ok_1.-\xC3\xA9=\"4\">\n<good/>\n</e>");

  EXPECT_EQ(Dump(*bag, "not a name", true), "");
  EXPECT_EQ(Dump(*bag, "", true), "");

  const struct {
    std::u16string_view name;
    bool valid;
  } names[] = {
      {u"a", true},
      {u"_", true},
      {u":a", true},
      {u"a-b.c", true},
      {u"\u00E9t\u00E9", true},
      {u"\xD800\xDC00x", true},
      {u"a\xD800", false},
      {u"\xDC00", false},
      {u"-a", false},
      {u".a", false},
      {u"9", false},
      {u"a b", false},
      {u"a<", false},
      {u"a&", false},
      {u"\u00D7", false},
      {u"", false},
  };
  for (const auto& tc : names) {
    EXPECT_EQ(VValueBag::IsXMLName(Str(tc.name)), tc.valid) << to_string(Str(tc.name));
  }
}

TEST(VValueBagXML, NeedsEscapeSequence) {
  static constexpr UniChar kSet[] = {u'&', u'<'};
  const struct {
    std::u16string_view text;
    bool withSet;
    bool expected;
  } cases[] = {
      {u"", true, false},      {u"a&b", true, true},   {u"a&b", false, false},
      {u"a\nb", true, true},   {u"a\nb", false, true}, {u" \n\t\r ", false, false},
      {u"plain", true, false}, {u"\t", false, false},  {u"x<", true, true},
  };
  for (const auto& tc : cases) {
    bool result = tc.withSet ? VValueBag::NeedsEscapeSequence(Str(tc.text), kSet, kSet + 2)
                             : VValueBag::NeedsEscapeSequence(Str(tc.text), nullptr, nullptr);
    EXPECT_EQ(result, tc.expected) << to_string(Str(tc.text)) << " withSet=" << tc.withSet;
  }
}

// ---------------------------------------------------------------------------
// ParseXMLValue

TEST(VValueBagXML, ParseXMLValueTypesTheText) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    std::u16string_view text;
    uint16 kind;
    double number;    // for numbers and booleans
    int64 exact = 0;  // for VLong8
  } cases[] = {
      {u" 42 ", kValueKindLong, 42},
      {u"-7", kValueKindLong, -7},
      {u"\u22125", kValueKindLong, -5},
      {u"007", kValueKindLong, 7},
      {u"2147483647", kValueKindLong, 2147483647.0},
      {u"2147483648", kValueKindLong8, 0, 2147483648LL},
      {u"-2147483648", kValueKindLong8, 0, -2147483648LL},
      {u"-3000000000", kValueKindLong8, 0, -3000000000LL},
      {u"9223372036854775807", kValueKindLong8, 0, INT64_MAX},
      {u"-9223372036854775808", kValueKindLong8, 0, INT64_MIN},
      {u"1.5e3", kValueKindReal, 1500},
      {u"1.5", kValueKindReal, 1.5},
      {u"-0.25", kValueKindReal, -0.25},
      {u"1e\u22123", kValueKindReal, 0.001},
      {u"2E+2", kValueKindReal, 200},
      {u"INF", kValueKindReal, inf},
      {u"-INF", kValueKindReal, -inf},
      {u"true", kValueKindBoolean, 1},
      {u"  false ", kValueKindBoolean, 0},
      {u"NaN", kValueKindReal, std::nan("")},
  };
  for (const auto& tc : cases) {
    std::unique_ptr<VValueSingle> value(ParseXMLValue(Str(tc.text)));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->GetValueKind(), tc.kind) << to_string(Str(tc.text));
    if (std::isnan(tc.number)) {
      EXPECT_TRUE(std::isnan(value->GetReal())) << to_string(Str(tc.text));
    } else if (tc.kind == kValueKindLong8) {
      EXPECT_EQ(value->GetLong8(), tc.exact) << to_string(Str(tc.text));
    } else {
      EXPECT_EQ(value->GetReal(), tc.number) << to_string(Str(tc.text));
    }
  }
}

TEST(VValueBagXML, ParseXMLValueKeepsOtherTextsAsStrings) {
  const std::u16string_view texts[] = {
      u"12ab",
      u"+true",
      u"+INF",
      u"-NaN",
      u"INFINITY",
      u"1.",
      u".5",
      u"1e",
      u"1e+",
      u"9223372036854775808",
      u"-9223372036854775809",
      u"0012345678901",
      u"1e400",
      u"x",
      u"",
      u"   ",
      u"-",
      u"True",
      u"-{00000000000000000000000000000001}",
      u"1 2",
      u"\u00E9",
      u"0x10",
  };
  for (std::u16string_view text : texts) {
    VString source = Str(text);
    std::unique_ptr<VValueSingle> value(ParseXMLValue(source));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->GetValueKind(), kValueKindString) << to_string(source);
    VString back;
    value->GetString(back);
    EXPECT_EQ(Text(back), text);
  }
}

TEST(VValueBagXML, ParseXMLValueReadsUUIDs) {
  const struct {
    std::u16string_view text;
    bool isUUID;
  } cases[] = {
      {u"{01234567-89AB-CDEF-0123-456789abcdef}", true},
      {u"0123456789ABCDEF0123456789ABCDEF", true},
      {u"f123456789ABCDEF0123456789ABCDEF", true},
      {u"12345678901234567890123456789012", true},
      {u"01234567\u221289AB-CDEF-0123-456789abcdef", true},
      {u"{0123456789ABCDEF0123456789ABCDEF", false},
      {u"-0123456789ABCDEF0123456789ABCDEF", false},
      {u"0123456789ABCDEF0123456789ABCDEF-", false},
      {u"01234567--89ABCDEF0123456789ABCDEF", false},
      {u"0123456789ABCDEF0123456789ABCDE", false},
      {u"0123456789ABCDEF0123456789ABCDEF0", false},
      {u"0123456789ABCDEF0123456789ABCDEG", false},
  };
  for (const auto& tc : cases) {
    std::unique_ptr<VValueSingle> value(ParseXMLValue(Str(tc.text)));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->GetValueKind(), tc.isUUID ? kValueKindUUID : kValueKindString)
        << to_string(Str(tc.text));
  }
  std::unique_ptr<VValueSingle> value(
      ParseXMLValue(Str(u"{01234567-89AB-CDEF-0123-456789abcdef}")));
  VString text;
  value->GetString(text);
  EXPECT_EQ(to_string(text), "0123456789ABCDEF0123456789ABCDEF");
}

}  // namespace
}  // namespace zeft
