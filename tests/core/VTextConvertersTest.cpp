// The character-set registry: the charset table (names, aliases, preferred
// names, MIBenums, web flags), byte-order marks, the choice of converters and
// the whole-string conversions.
#include "core/VTextConverters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/VFromUnicodeConverter.h"
#include "core/VString.h"
#include "core/VToUnicodeConverter.h"
#include "support/StringTestSupport.h"

namespace zeft {
namespace {

using test::Str;

std::u16string ToUnits(const VString& s) {
  return std::u16string(s.GetCPointer(), size_t(s.GetLength()));
}

std::u16string Widen(const char* ascii) { return std::u16string(ascii, ascii + strlen(ascii)); }

// Every name of the table, grouped by the set and MIBenum it resolves to.
// Names listed under two sets resolve to the first (x-mac-ce, x-mac-chinesesimp).
struct NameGroup {
  int32 set;
  int32 mib;
  std::vector<const char*> names;
};

const std::vector<NameGroup>& AllNames() {
  static const std::vector<NameGroup> groups = {
      {4, 1017, {"UCS4", "UCS_4", "UCS-4", "UTF-32"}},
      {3, 1018, {"UCS4BE", "UCS_4BE", "UCS-4BE", "UTF-32BE"}},
      {4, 1019, {"UCS4LE", "UCS_4LE", "UCS-4LE", "UTF-32LE"}},
      {2, 1015, {"UTF-16"}},
      {1, 1013, {"UTF-16BE"}},
      {2, 1014, {"UTF-16LE"}},
      {7, 106, {"UTF-8"}},
      {8, 1012, {"UTF-7"}},
      {8, 103, {"UNICODE-1-1-UTF-7"}},
      {9,
       3,
       {"US-ASCII", "ANSI_X3.4-1968", "ANSI_X3.4-1986", "ASCII", "cp367", "csASCII", "IBM367",
        "iso-ir-6", "ISO_646.irv:1991", "ISO646-US", "us"}},
      {11, 2011, {"IBM437", "cp437", "437", "csPC8CodePage437"}},
      {10,
       2028,
       {"ebcdic-cp-us", "cp037", "csIBM037", "ebcdic-cp-ca", "ebcdic-cp-nl", "ebcdic-cp-wt",
        "IBM037"}},
      {100, 2027, {"MacRoman", "x-mac-roman", "mac", "macintosh", "csMacintosh"}},
      {101, 2252, {"windows-1252"}},
      {102, 1250, {"MacCE", "x-mac-ce"}},
      {103, 2250, {"windows-1250"}},
      {104, 1251, {"x-mac-cyrillic"}},
      {105, 2251, {"windows-1251"}},
      {106, 1253, {"x-mac-greek"}},
      {107, 2253, {"windows-1253"}},
      {108, 1254, {"x-mac-turkish"}},
      {109, 2254, {"windows-1254"}},
      {110, 1256, {"x-mac-arabic"}},
      {111, 2256, {"windows-1256"}},
      {112, 1255, {"x-mac-hebrew"}},
      {113, 2255, {"windows-1255"}},
      {115, 2257, {"windows-1257"}},
      {1000, 17, {"Shift_JIS", "csShiftJIS", "MS_Kanji", "Shift-JIS"}},
      {120, 1258, {"x-mac-japanese"}},
      {1019, 2024, {"Windows-31J", "csWindows31J"}},
      {1001, 39, {"ISO-2022-JP", "csISO2022JP"}},
      {1002, 2026, {"Big5", "csBig5"}},
      {1003, 38, {"EUC-KR", "csEUCKR"}},
      {1004, 2084, {"KOI8-R", "csKOI8R"}},
      {1005,
       4,
       {"ISO-8859-1", "CP819", "csISOLatin1", "IBM819", "iso-ir-100", "ISO_8859-1",
        "ISO_8859-1:1987", "l1", "latin1"}},
      {1006,
       5,
       {"ISO-8859-2", "csISOLatin2", "iso-ir-101", "ISO_8859-2", "ISO_8859-2:1987", "l2",
        "latin2"}},
      {1007,
       6,
       {"ISO-8859-3", "csISOLatin3", "ISO-8859-3:1988", "iso-ir-109", "ISO_8859-3", "l3",
        "latin3"}},
      {1008,
       7,
       {"ISO-8859-4", "csISOLatin4", "ISO-8859-4:1988", "iso-ir-110", "ISO_8859-4", "l4",
        "latin4"}},
      {1009,
       8,
       {"ISO-8859-5", "csISOLatinCyrillic", "cyrillic", "ISO-8859-5:1988", "iso-ir-144",
        "ISO_8859-5"}},
      {1010,
       9,
       {"ISO-8859-6", "arabic", "ASMO-708", "csISOLatinArabic", "ECMA-114", "ISO-8859-6:1987",
        "iso-ir-127", "ISO_8859-6"}},
      {1011,
       10,
       {"ISO-8859-7", "csISOLatinGreek", "ECMA-118", "ELOT_928", "greek", "greek8", "iso-ir-126",
        "ISO_8859-7", "ISO_8859-7:1987"}},
      {1012,
       11,
       {"ISO-8859-8", "csISOLatinHebrew", "hebrew", "iso-ir-138", "ISO_8859-8", "ISO_8859-8:1988"}},
      {1013,
       12,
       {"ISO-8859-9", "csISOLatin5", "iso-ir-148", "ISO_8859-9", "ISO_8859-9:1989", "l5",
        "latin5"}},
      {1014,
       13,
       {"ISO-8859-10", "csISOLatin6", "iso-ir-157", "ISO_8859-10", "ISO_8859-10:1992", "l6",
        "latin6"}},
      {1015, 109, {"ISO-8859-13"}},
      {1018, 111, {"ISO-8859-15", "Latin-9"}},
      {1016, 2025, {"GB2312", "csGB2312", "x-mac-chinesesimp"}},
      {1017, 57, {"GB_2312-80", "csISO58GB231280"}},
      {117, 113, {"GBK", "CP936", "MS936", "windows-936"}},
  };
  return groups;
}

TEST(VTextConverters, EveryNameResolvesToItsSetAndMIBEnum) {
  VTextConverters* tc = VTextConverters::Get();
  size_t count = 0;
  for (const NameGroup& group : AllNames()) {
    for (const char* name : group.names) {
      SCOPED_TRACE(name);
      ++count;
      EXPECT_EQ(tc->GetCharSetFromName(VString(name)), CharSet(group.set));
      EXPECT_EQ(tc->GetMIBEnumFromName(VString(name)), group.mib);
    }
  }
  // The table's 162 rows less the two names that repeat an earlier row.
  EXPECT_EQ(count, 160u);
}

TEST(VTextConverters, NamesCompareASCIICaseInsensitively) {
  VTextConverters* tc = VTextConverters::Get();
  const struct {
    std::u16string name;
    int32 set;
  } cases[] = {
      {u"latin1", 1005},
      {u"LATIN1", 1005},
      {u"utf-8", 7},
      {u"IsO-iR-100", 1005},
      {u"SHIFT_JIS", 1000},
      // Only ASCII letters fold: dotted and dotless i (the Turkish pair)
      // never stand for "i", whatever the task's language.
      {u"lat\u0131n1", 0},
      {u"\u0130BM437", 0},
      {u"LAT\u0130N1", 0},
      {u"latin1 ", 0},
      {u"latin", 0},
      {u"latin12", 0},
      {u"", 0},
      {u"unknown", 0},
  };
  for (const auto& c : cases) {
    VString name = Str(c.name);
    EXPECT_EQ(tc->GetCharSetFromName(name), CharSet(c.set))
        << std::string(c.name.begin(), c.name.end());
  }
  EXPECT_EQ(tc->GetCharSetFromName(VString(true)), kCharSetUnknown);
}

TEST(VTextConverters, PreferredNamesAndMIBEnums) {
  VTextConverters* tc = VTextConverters::Get();
  const struct {
    int32 set;
    const char* name;
    int32 mib;
  } cases[] = {
      {4, "UCS4", 1017},
      {3, "UCS4BE", 1018},
      {2, "UTF-16", 1015},
      {1, "UTF-16BE", 1013},
      {7, "UTF-8", 106},
      {8, "UTF-7", 1012},
      {9, "US-ASCII", 3},
      {11, "IBM437", 2011},
      {10, "ebcdic-cp-us", 2028},
      {100, "MacRoman", 2027},
      {102, "MacCE", 1250},
      {114, "x-mac-ce", 1257},
      {116, "x-mac-chinesesimp", 2025},
      {1000, "Shift_JIS", 17},
      {1005, "ISO-8859-1", 4},
      {1016, "GB2312", 2025},
      {1017, "GB_2312-80", 57},
      {1018, "ISO-8859-15", 111},
      {1019, "Windows-31J", 2024},
      {117, "GBK", 113},
      // Sets without a row.
      {5, "", 0},
      {6, "", 0},
      {118, "", 0},
      {119, "", 0},
      {0, "", 0},
      {-2, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.set);
    VString name("stale");
    tc->GetNameFromCharSet(CharSet(c.set), name);
    EXPECT_EQ(ToUnits(name), Widen(c.name));
    EXPECT_FALSE(name.IsNull());
    EXPECT_EQ(tc->GetMIBEnumFromCharSet(CharSet(c.set)), c.mib);
  }
}

TEST(VTextConverters, MIBEnumLookUpsTakeTheFirstRow) {
  VTextConverters* tc = VTextConverters::Get();
  const struct {
    int32 mib;
    int32 set;
    const char* name;
  } cases[] = {
      {2025, 1016, "GB2312"},
      {103, 8, "UNICODE-1-1-UTF-7"},
      {1019, 4, "UCS4LE"},
      {1257, 114, "x-mac-ce"},
      {106, 7, "UTF-8"},
      {999999, 0, ""},
      {0, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mib);
    EXPECT_EQ(tc->GetCharSetFromMIBEnum(c.mib), CharSet(c.set));
    VString name("stale");
    tc->GetNameFromMIBEnum(c.mib, name);
    EXPECT_EQ(ToUnits(name), Widen(c.name));
  }
}

TEST(VTextConverters, EnumWebCharsets) {
  std::vector<VString> names = {VString("stale")};
  std::vector<CharSet> sets = {kCharSetUTF16};
  VTextConverters::Get()->EnumWebCharsets(names, sets);
  const std::vector<std::pair<const char*, int32>> expected = {
      {"UTF-8", 7},          {"UTF-7", 8},          {"UNICODE-1-1-UTF-7", 8}, {"Shift_JIS", 1000},
      {"Big5", 1002},        {"EUC-KR", 1003},      {"KOI8-R", 1004},         {"ISO-8859-1", 1005},
      {"ISO-8859-2", 1006},  {"ISO-8859-3", 1007},  {"ISO-8859-4", 1008},     {"ISO-8859-5", 1009},
      {"ISO-8859-6", 1010},  {"ISO-8859-7", 1011},  {"ISO-8859-8", 1012},     {"ISO-8859-9", 1013},
      {"ISO-8859-10", 1014}, {"ISO-8859-13", 1015}, {"ISO-8859-15", 1018},    {"GB2312", 1016},
      {"GBK", 117},
  };
  ASSERT_EQ(names.size(), expected.size());
  ASSERT_EQ(sets.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(ToUnits(names[i]), Widen(expected[i].first));
    EXPECT_EQ(sets[i], CharSet(expected[i].second));
  }
}

TEST(VTextConverters, EnumCharsetsIsSortedAndParallel) {
  std::vector<VString> names;
  std::vector<CharSet> sets;
  VTextConverters* tc = VTextConverters::Get();
  tc->EnumCharsets(names, sets);
  // One entry per run of rows of one set; the UCS-4/UTF-32 rows alternate
  // between sets 4 and 3, so those appear under several names.
  ASSERT_EQ(names.size(), 56u);
  ASSERT_EQ(sets.size(), names.size());
  auto folded = [](const VString& s) {
    std::u16string u = ToUnits(s);
    for (char16_t& c : u) {
      if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
    }
    return u;
  };
  for (size_t i = 1; i < names.size(); ++i) {
    EXPECT_LE(folded(names[i - 1]), folded(names[i])) << i;
  }
  bool sawMacCE = false;
  bool sawSecondMacCE = false;
  for (size_t i = 0; i < names.size(); ++i) {
    std::u16string name = ToUnits(names[i]);
    if (name == u"x-mac-ce") sawSecondMacCE = sets[i] == CharSet(114);
    if (name == u"MacCE") sawMacCE = sets[i] == CharSet(102);
    if (name == u"x-mac-ce" || name == u"x-mac-chinesesimp") continue;
    // Every other name's first row is the one listed.
    EXPECT_EQ(tc->GetCharSetFromName(names[i]), sets[i]) << i;
  }
  EXPECT_TRUE(sawMacCE);
  EXPECT_TRUE(sawSecondMacCE);
}

TEST(VTextConverters, ByteOrderMarks) {
  const struct {
    std::vector<uint8> bytes;
    bool found;
    size_t size;
    int32 set;
  } cases[] = {
      {{0xEF, 0xBB, 0xBF, 0x41}, true, 3, 7},  {{0xEF, 0xBB}, false, 0, 0},
      {{0xFF, 0xFE, 0x00, 0x00}, true, 4, 4},  {{0xFF, 0xFE, 0x41, 0x00}, true, 2, 2},
      {{0xFF, 0xFE, 0x00}, true, 2, 2},        {{0x00, 0x00, 0xFE, 0xFF}, true, 4, 3},
      {{0xFE, 0xFF, 0x00, 0x41}, true, 2, 1},  {{0xFE}, false, 0, 0},
      {{0x41, 0x42, 0x43, 0x44}, false, 0, 0}, {{}, false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    size_t size = 99;
    CharSet set = kCharSetUTF8;
    EXPECT_EQ(VTextConverters::ParseBOM(c.bytes.data(), c.bytes.size(), &size, &set), c.found);
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(set, CharSet(c.set));
    EXPECT_EQ(VTextConverters::ParseBOM(c.bytes.data(), c.bytes.size(), nullptr, nullptr), c.found);
  }

  // Supplied marks are recognised as the set they were asked for.
  for (CharSet set : {kCharSetUTF16BigEndian, kCharSetUTF16, kCharSetUTF32BigEndian, kCharSetUTF32,
                      kCharSetUTF8}) {
    size_t size = 0;
    const uint8* bom = VTextConverters::GetBOMForCharSet(set, &size);
    ASSERT_NE(bom, nullptr);
    size_t parsedSize = 0;
    CharSet parsed = kCharSetUnknown;
    EXPECT_TRUE(VTextConverters::ParseBOM(bom, size, &parsedSize, &parsed));
    EXPECT_EQ(parsed, set);
    EXPECT_EQ(parsedSize, size);
  }
  for (CharSet set :
       {kCharSetUTF32RawBigEndian, kCharSetUTF32Raw, kCharSetUnknown, kCharSetISO8859_1}) {
    size_t size = 7;
    EXPECT_EQ(VTextConverters::GetBOMForCharSet(set, &size), nullptr);
    EXPECT_EQ(size, 0u);
  }
}

TEST(VTextConverters, CachedConvertersAreSharedOthersAreNew) {
  VTextConverters* tc = VTextConverters::Get();
  for (CharSet set : {kCharSetDefault8Bit, kCharSetUTF16BigEndian, kCharSetUTF16, kCharSetUTF32,
                      kCharSetUTF32Raw, kCharSetUTF8}) {
    SCOPED_TRACE(int(set));
    VToUnicodeConverter* a = tc->RetainToUnicodeConverter(set);
    VToUnicodeConverter* b = tc->RetainToUnicodeConverter(set);
    EXPECT_EQ(a, b);
    EXPECT_GE(a->GetRefCount(), 3);
    a->Release();
    b->Release();
    VFromUnicodeConverter* c = tc->RetainFromUnicodeConverter(set);
    VFromUnicodeConverter* d = tc->RetainFromUnicodeConverter(set);
    EXPECT_EQ(c, d);
    c->Release();
    d->Release();
  }
  for (CharSet set :
       {kCharSetUTF32BigEndian, kCharSetUTF32RawBigEndian, kCharSetMacRoman, CharSet(4242)}) {
    SCOPED_TRACE(int(set));
    VToUnicodeConverter* a = tc->RetainToUnicodeConverter(set);
    VToUnicodeConverter* b = tc->RetainToUnicodeConverter(set);
    EXPECT_NE(a, b);
    EXPECT_EQ(a->GetRefCount(), 1);
    a->Release();
    b->Release();
  }
  EXPECT_EQ(tc->GetStdLibToUnicodeConverter(), tc->RetainToUnicodeConverter(kCharSetUTF8));
  tc->GetStdLibToUnicodeConverter()->Release();
  EXPECT_EQ(tc->GetStdLibFromUnicodeConverter(), tc->RetainFromUnicodeConverter(kCharSetUTF8));
  tc->GetStdLibFromUnicodeConverter()->Release();
}

TEST(VTextConverters, UnservedSetsConvertNothing) {
  VTextConverters* tc = VTextConverters::Get();
  VToUnicodeConverter* to = tc->RetainToUnicodeConverter(CharSet(4242));
  VFromUnicodeConverter* from = tc->RetainFromUnicodeConverter(CharSet(4242));
  EXPECT_FALSE(to->IsValid());
  EXPECT_FALSE(from->IsValid());
  to->Release();
  from->Release();

  VString target("old");
  EXPECT_FALSE(tc->ConvertToVString("abc", 3, CharSet(4242), target));
  EXPECT_TRUE(target.IsEmpty());
  char out[8];
  int consumed = -1;
  size_t produced = 9;
  EXPECT_FALSE(
      tc->ConvertFromVString(VString("abc"), &consumed, out, sizeof out, &produced, CharSet(4242)));
  EXPECT_EQ(consumed, 0);
  EXPECT_EQ(produced, 0u);
}

TEST(VTextConverters, ConvertToVStringReplacesTheTarget) {
  VTextConverters* tc = VTextConverters::Get();
  const struct {
    int32 set;
    std::vector<uint8> bytes;
    std::u16string expected;
    bool ok;
  } cases[] = {
      {7, {'h', 0xC3, 0xA9}, u"h\u00E9", true},
      {2, {0x41, 0x00, 0x3D, 0xD8, 0x00, 0xDE}, u"A\U0001F600", true},
      {2, {0x41, 0x00, 0x42}, u"A", false},  // odd byte count
      {1, {0x00, 0x41, 0xD8, 0x3D, 0xDE, 0x00}, u"A\U0001F600", true},
      {3, {0x00, 0x01, 0xF6, 0x00, 0x00, 0x00, 0x00, 0x41}, u"\U0001F600A", true},
      {4, {0x00, 0xF6, 0x01, 0x00}, u"\U0001F600", true},
      {5, {0x00, 0x00, 0xD8, 0x3D}, u"\xD83D", true},
      {6, {0x3D, 0xD8, 0x00, 0x00}, u"\xD83D", true},
      {7, {}, u"", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.set);
    VString target("previous text");
    EXPECT_EQ(tc->ConvertToVString(c.bytes.data(), c.bytes.size(), CharSet(c.set), target), c.ok);
    EXPECT_EQ(ToUnits(target), c.expected);
  }
}

TEST(VTextConverters, ConvertFromVString) {
  VTextConverters* tc = VTextConverters::Get();
  VString source = Str(u"a\u00E9\U0001F600");
  uint8 out[16];
  int consumed = 0;
  size_t produced = 0;
  ASSERT_TRUE(tc->ConvertFromVString(source, &consumed, out, sizeof out, &produced, kCharSetUTF8));
  EXPECT_EQ(consumed, 4);
  EXPECT_EQ(std::vector<uint8>(out, out + produced),
            (std::vector<uint8>{'a', 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80}));
  ASSERT_TRUE(tc->ConvertFromVString(source, &consumed, out, sizeof out, &produced,
                                     kCharSetUTF16BigEndian));
  EXPECT_EQ(std::vector<uint8>(out, out + produced),
            (std::vector<uint8>{0x00, 'a', 0x00, 0xE9, 0xD8, 0x3D, 0xDE, 0x00}));
}

}  // namespace
}  // namespace zeft
