// The string array: null elements and their stream markers, searches that
// skip nulls, ownership of copies, and insert/delete of owned strings.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ValueTestSupport.h"
#include "core/VLong.h"
#include "core/VString.h"
#include "values/VArrayString.h"

namespace zeft {
namespace {

using test::Bytes;

std::vector<std::string> Strings(const VArrayString& array) {
  std::vector<std::string> out;
  for (int32 i = 1; i <= array.GetCount(); ++i) {
    VString s;
    array.GetString(s, i);
    out.push_back(s.IsNull() ? "<null>" : to_string(s));
  }
  return out;
}

// "a", null, "b", "b"
VArrayString Sample() {
  VArrayString array(4);
  array.FromString(VString("a"), 1);
  array.FromString(VString("b"), 3);
  array.FromString(VString("b"), 4);
  return array;
}

TEST(VArrayString, NullElementsAndNeutralReads) {
  VArrayString three(3);
  EXPECT_EQ(three.GetCount(), 3);
  EXPECT_EQ(three.GetDataSize(), 24u);
  for (int32 i = 1; i <= 3; ++i) EXPECT_EQ(three.GetStringPtr(i), nullptr);

  // A null element reads as a null string, in every form.
  VString s("old");
  three.GetString(s, 2);
  EXPECT_TRUE(s.IsNull());
  VLong number(5);
  three.GetValue(number, 2);
  EXPECT_TRUE(number.IsNull());
  std::unique_ptr<VValueSingle> clone(three.CloneValue(2));
  ASSERT_NE(dynamic_cast<VString*>(clone.get()), nullptr);
  EXPECT_TRUE(clone->IsNull());

  // Outside the positions the string is cleared: empty, not null.
  for (int32 position : {0, 4}) {
    VString out("x");
    out.SetNull(true);
    three.GetString(out, position);
    EXPECT_FALSE(out.IsNull());
    EXPECT_TRUE(out.IsEmpty());
  }
  three.FromString(VString("ignored"), 4);
  EXPECT_EQ(three.GetCount(), 3);
}

TEST(VArrayString, ValuesInAndOut) {
  VArrayString array(2);
  array.FromValue(VLong(-12), 1);
  array.FromString(VString("first"), 2);
  array.FromString(VString("second"), 2);  // reuses the element's string
  EXPECT_EQ(Strings(array), (std::vector<std::string>{"-12", "second"}));
  VLong number;
  array.GetValue(number, 1);
  EXPECT_EQ(number.GetLong(), -12);
  std::unique_ptr<VValueSingle> clone(array.CloneValue(2));
  EXPECT_EQ(to_string(*static_cast<VString*>(clone.get())), "second");

  EXPECT_EQ(array.CompareTo(VString("SECOND"), false, 2), kCompareEqual);
  EXPECT_EQ(array.CompareTo(VString("z"), false, 2), kCompareLess);
  EXPECT_EQ(array.CompareTo(VString("a"), false, 2), kCompareBigger);
  EXPECT_EQ(array.CompareTo(VString("a"), false, 3), kCompareLess);
  VArrayString nulls(1);
  EXPECT_EQ(nulls.CompareTo(VString(""), false, 1), kCompareLess);
}

TEST(VArrayString, FindSkipsNullsAndIgnoresCase) {
  const VArrayString array = Sample();
  struct Case {
    const char* value;
    int32 start;
    uint8 forward;
    CompareMethod method;
    int32 found;
  } const cases[] = {
      {"b", 1, 1, kFindEqual, 3},  {"b", 4, 0, kFindEqual, 4},
      {"b", 5, 1, kFindEqual, -1}, {"B", 1, 1, kFindEqual, 3},
      {"a", 4, 0, kFindEqual, 1},  {"a", 1, 1, kFindGreater, 3},
      {"b", 4, 0, kFindLess, 1},   {"c", 1, 1, kFindGreaterOrEqual, -1},
      {"x", 2, 1, 3, 2},           {"a", 0, 1, kFindEqual, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " from " << c.start << " method " << c.method);
    EXPECT_EQ(array.Find(VString(c.value), c.start, c.forward, c.method), c.found);
    const VValueSingle& asValue = VString(c.value);
    EXPECT_EQ(array.Find(asValue, c.start, c.forward, c.method), c.found);
  }
  EXPECT_EQ(VArrayString().Find(VString("a"), 1, 1, kFindEqual), -1);
}

TEST(VArrayString, SortPutsNullsFirstAndQuickFindUsesIt) {
  VArrayString array = Sample();
  array.AppendString(VString("C"));
  array.Sort(1, array.GetCount(), 0);
  EXPECT_EQ(Strings(array), (std::vector<std::string>{"<null>", "a", "b", "b", "C"}));
  EXPECT_EQ(array.QuickFind(VString("c")), 5);
  EXPECT_EQ(array.QuickFind(VString("A")), 2);
  EXPECT_EQ(array.QuickFind(VString("bb")), -1);
  EXPECT_EQ(VArrayString().QuickFind(VString("a")), -1);
}

TEST(VArrayString, CopiesOwnTheirStrings) {
  VArrayString source = Sample();
  VArrayString copy(source);
  VArrayString assigned(1);
  assigned.FromString(VString("gone"), 1);
  assigned = source;
  std::unique_ptr<VArrayString> clone(source.Clone());
  source.FromString(VString("changed"), 1);
  source.Delete(3, 2);
  for (const VArrayString* other : {&copy, &assigned, clone.get()}) {
    EXPECT_EQ(Strings(*other), (std::vector<std::string>{"a", "<null>", "b", "b"}));
    EXPECT_NE(other->GetStringPtr(1), source.GetStringPtr(1));
  }
  assigned = assigned;
  EXPECT_EQ(Strings(assigned), (std::vector<std::string>{"a", "<null>", "b", "b"}));
}

TEST(VArrayString, InsertDeleteAndShrinkReleaseStrings) {
  VArrayString array = Sample();
  EXPECT_TRUE(array.Insert(2, 2));
  EXPECT_EQ(Strings(array),
            (std::vector<std::string>{"a", "<null>", "<null>", "<null>", "b", "b"}));
  array.FromString(VString("new"), 3);
  EXPECT_TRUE(array.Delete(1, 2));
  EXPECT_EQ(Strings(array), (std::vector<std::string>{"new", "<null>", "b", "b"}));
  EXPECT_FALSE(array.Delete(3, 3));
  EXPECT_TRUE(array.SetCount(1));
  EXPECT_EQ(Strings(array), (std::vector<std::string>{"new"}));
  EXPECT_TRUE(array.SetCount(2));
  EXPECT_EQ(Strings(array), (std::vector<std::string>{"new", "<null>"}));
  array.Unsort();
  EXPECT_EQ(Strings(array), (std::vector<std::string>{"<null>", "new"}));
  array.Clear();
  EXPECT_EQ(array.GetCount(), 0);
}

TEST(VArrayString, StreamFormWithNullMarkers) {
  const VArrayString nulls(3);
  EXPECT_EQ(test::StreamBytes(nulls, false),
            (Bytes{3, 0, 0, 0, 'L', 'L', 'U', 'N', 'L', 'L', 'U', 'N', 'L', 'L', 'U', 'N'}));
  EXPECT_EQ(test::StreamBytes(nulls, true),
            (Bytes{0, 0, 0, 3, 'N', 'U', 'L', 'L', 'N', 'U', 'L', 'L', 'N', 'U', 'L', 'L'}));

  VArrayString array = Sample();
  array.FromString(VString(""), 2);
  array.AppendString(VString());
  array.SetCount(6);
  for (bool swap : {false, true}) {
    SCOPED_TRACE(swap);
    const Bytes bytes = test::StreamBytes(array, swap);
    // Read into an array holding strings of its own: they are replaced.
    VArrayString back(2);
    back.FromString(VString("stale"), 1);
    ASSERT_EQ(test::ReadStreamBytes(back, bytes, swap), VE_OK);
    EXPECT_EQ(Strings(back), (std::vector<std::string>{"a", "", "b", "b", "", "<null>"}));
    EXPECT_EQ(test::StreamBytes(back, swap), bytes);
  }

  // An element cut short fails the read and leaves no element behind.
  Bytes cut = test::StreamBytes(Sample(), false);
  cut.resize(cut.size() - 2);
  VArrayString back;
  EXPECT_NE(test::ReadStreamBytes(back, cut, false), VE_OK);
  EXPECT_EQ(back.GetCount(), 0);
}

}  // namespace
}  // namespace zeft
