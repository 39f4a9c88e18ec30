// VString comparison (raw, ASCII, value slots, stored forms, options) and
// hashing.
#include <gtest/gtest.h>

#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

#include "core/VCompareOptions.h"
#include "core/VLong.h"
#include "core/VString.h"
#include "support/StringTestSupport.h"
#include "support/ToolboxTestEnvironment.h"

namespace zeft {
namespace {

using test::Str;

// The pointer form of a text, aligned like stored values.
struct Stored {
  std::vector<uint32> words;
  explicit Stored(std::u16string_view text) : words(1 + (text.size() + 1) / 2, 0) {
    words[0] = uint32(text.size());
    std::memcpy(words.data() + 1, text.data(), text.size() * 2);
  }
  const void* data() const { return words.data(); }
};

TEST(VStringCompare, RawAndASCIICase) {
  struct Case {
    std::u16string_view a;
    std::u16string_view b;
    CompareResult raw;
    CompareResult rawCase;
  };
  const Case cases[] = {
      {u"ab", u"abc", -1, -1},  {u"abc", u"ab", 1, 1},
      {u"abc", u"abc", 0, 0},   {u"ABC", u"abc", -1, 0},
      {u"_", u"A", 1, -1},      {u"", u"", 0, 0},
      {u"\u00E9", u"e", 1, 1},  {u"\u00C9", u"\u00E9", -1, -1},
      {u"b", u"a\uFFFF", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.a.size() << "/" << c.b.size());
    EXPECT_EQ(Str(c.a).CompareToStringRaw(Str(c.b)), c.raw);
    EXPECT_EQ(Str(c.a).CompareToStringRawCase(Str(c.b)), c.rawCase);
    EXPECT_EQ(Str(c.a).EqualToStringRaw(Str(c.b)), c.raw == 0);
  }
}

TEST(VStringCompare, USASCIICString) {
  EXPECT_TRUE(Str(u"abc").EqualToUSASCIICString("abc"));
  EXPECT_FALSE(Str(u"abcd").EqualToUSASCIICString("abc"));
  EXPECT_FALSE(Str(u"ab").EqualToUSASCIICString("abc"));
  EXPECT_TRUE(VString().EqualToUSASCIICString(""));
  // High bytes are widened as signed and never match Latin-1 letters.
  EXPECT_FALSE(Str(u"\u00E9").EqualToUSASCIICString("\xE9"));
  EXPECT_TRUE(Str(u"\uFFE9").EqualToUSASCIICString("\xE9"));
}

TEST(VStringCompare, WithoutCollationDiacriticalDecidesCase) {
  // A thread without a task reads the process settings: none here.
  test::StWithoutIntlSettings noSettings;
  std::thread foreign([] {
    EXPECT_EQ(Str(u"ABC").CompareToString(Str(u"abc"), false), 0);
    EXPECT_EQ(Str(u"ABC").CompareToString(Str(u"abc"), true), -1);
    EXPECT_TRUE(Str(u"Hello").EqualToString(Str(u"hELLO")));
    EXPECT_FALSE(Str(u"Hello").EqualToString(Str(u"hELLO"), true));
    EXPECT_EQ(Str(u"b").CompareToString(Str(u"abc")), 1);

    // LIKE patterns with the wild character "@".
    EXPECT_TRUE(Str(u"abcdef").EqualToString_Like(Str(u"abc@")));
    EXPECT_TRUE(Str(u"abcdef").EqualToString_Like(Str(u"@def")));
    EXPECT_TRUE(Str(u"abcdef").EqualToString_Like(Str(u"@cd@")));
    EXPECT_TRUE(Str(u"abcdef").EqualToString_Like(Str(u"a@c@f")));
    EXPECT_TRUE(VString().EqualToString_Like(Str(u"@")));
    EXPECT_TRUE(Str(u"ABC").EqualToString_Like(Str(u"abc"), false));
    EXPECT_FALSE(Str(u"ABC").EqualToString_Like(Str(u"abc"), true));
    EXPECT_FALSE(Str(u"xab").EqualToString_Like(Str(u"ab@")));
    EXPECT_EQ(Str(u"abcdef").CompareToString_Like(Str(u"ab@")), 0);
    EXPECT_NE(Str(u"xab").CompareToString_Like(Str(u"ab@")), 0);
  });
  foreign.join();
}

TEST(VStringCompare, ValueSlotsAndStoredForms) {
  VString ab = Str(u"ab");
  VString abc = Str(u"abc");
  Stored storedAb(u"ab");
  Stored storedAbc(u"abc");

  EXPECT_EQ(ab.CompareToSameKind(&abc, true), -1);
  EXPECT_EQ(abc.CompareBeginingToSameKind(&ab, true), 0);
  EXPECT_EQ(ab.CompareBeginingToSameKind(&abc, true), -1);
  EXPECT_TRUE(ab.EqualToSameKind(&ab, true));
  EXPECT_TRUE(abc.EqualToSameKind_Like(&ab, true) == false);

  EXPECT_EQ(ab.CompareToSameKindPtr(storedAbc.data(), true), -1);
  EXPECT_EQ(ab.Swap_CompareToSameKindPtr(storedAbc.data(), true), 1);
  EXPECT_TRUE(ab.EqualToSameKindPtr(storedAb.data(), true));
  // "ab" against a stored "abc" cut to two units: equal.
  EXPECT_EQ(ab.IsTheBeginingToSameKindPtr(storedAbc.data(), true), 0);
  // "abc" cut to the stored "ab": equal.
  EXPECT_EQ(abc.CompareBeginingToSameKindPtr(storedAb.data(), true), 0);
  EXPECT_EQ(ab.CompareBeginingToSameKindPtr(storedAbc.data(), true), -1);

  EXPECT_EQ(VString::sInfo.CompareTwoPtrToData(storedAb.data(), storedAbc.data(), true), -1);
  EXPECT_EQ(VString::sInfo.CompareTwoPtrToDataBegining(storedAbc.data(), storedAb.data(), true), 0);
  EXPECT_EQ(VString::sInfo.CompareTwoPtrToData_Like(storedAbc.data(), Stored(u"a@").data(), true),
            0);
}

TEST(VStringCompare, OptionsBeginsWithCutsDifferently) {
  VString ab = Str(u"ab");
  VString abc = Str(u"abc");
  Stored storedAbc(u"abc");
  VCompareOptions options;
  options.SetDiacritical(true);
  options.SetBeginsWith(true);
  // Against a value only this string is cut: "ab" against "abc".
  EXPECT_EQ(ab.CompareToSameKindWithOptions(&abc, options), -1);
  // Against a stored value both are cut: "ab" against "ab".
  EXPECT_EQ(ab.CompareToSameKindPtrWithOptions(storedAbc.data(), options), 0);
  EXPECT_EQ(ab.Swap_CompareToSameKindPtrWithOptions(storedAbc.data(), options), 0);
  EXPECT_EQ(VString::sInfo.CompareTwoPtrToDataWithOptions(Stored(u"ab").data(), storedAbc.data(),
                                                          options),
            0);
  options.SetBeginsWith(false);
  EXPECT_EQ(ab.CompareToSameKindPtrWithOptions(storedAbc.data(), options), -1);
  EXPECT_FALSE(ab.EqualToSameKindWithOptions(&abc, options));
  options.SetLike(true);
  EXPECT_TRUE(abc.EqualToSameKindWithOptions(&ab, options) == false);
  EXPECT_TRUE(abc.EqualToSameKindPtrWithOptions(Stored(u"ab@").data(), options));
  options.SetDiacritical(false);
  EXPECT_TRUE(Str(u"ABC").EqualToSameKindPtrWithOptions(Stored(u"ab@").data(), options));
}

TEST(VStringCompare, AgainstOtherKindsThroughTheirText) {
  VLong number;
  number.FromLong(42);
  EXPECT_EQ(Str(u"42").CompareTo(number, true), 0);
  EXPECT_EQ(Str(u"5").CompareTo(number, true), 1);
  EXPECT_EQ(Str(u"42").CompareTo(Str(u"43"), true), -1);
}

TEST(VStringHash, Rules) {
  EXPECT_EQ(VString().GetHashValue(), 0u);
  // h = n, then h * 257 + unit, then (h << (n % 32)) + h.
  uint32 h = 2;
  h = h * 257 + u'a';
  h = h * 257 + u'b';
  EXPECT_EQ(Str(u"ab").GetHashValue(), (h << 2) + h);

  std::u16string seventeen(17, u'k');
  VString base = Str(seventeen);
  seventeen[8] = u'Z';  // the ninth unit is not read
  EXPECT_EQ(Str(seventeen).GetHashValue(), base.GetHashValue());
  seventeen[7] = u'Z';
  EXPECT_NE(Str(seventeen).GetHashValue(), base.GetHashValue());

  std::u16string twenty(20, u'q');
  VString twentyBase = Str(twenty);
  for (int i = 8; i < 12; ++i) twenty[size_t(i)] = u'!';  // units 9 to 12
  EXPECT_EQ(Str(twenty).GetHashValue(), twentyBase.GetHashValue());
  twenty[19] = u'!';
  EXPECT_NE(Str(twenty).GetHashValue(), twentyBase.GetHashValue());

  // Shifts of 32 or more wrap to n % 32.
  std::u16string thirtyTwo(32, u'z');
  uint32 h32 = 32;
  for (int i = 0; i < 16; ++i) h32 = h32 * 257 + u'z';
  EXPECT_EQ(Str(thirtyTwo).GetHashValue(), h32 + h32);
}

}  // namespace
}  // namespace zeft
