// Sorting of value arrays: QSort on plain numbers, the multi-criteria sort
// through ISortable, synchronized sorts of parallel arrays, the boolean
// counting sort and the fixed scrambling of Unsort.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/VString.h"
#include "values/ISortable.h"
#include "values/VArrayBoolean.h"
#include "values/VArrayLong.h"
#include "values/VArrayReal.h"
#include "values/VArraySort.h"
#include "values/VArrayString.h"

namespace zeft {
namespace {

std::vector<int32> Longs(const VArrayLong& array) {
  std::vector<int32> out;
  for (int32 i = 1; i <= array.GetCount(); ++i) out.push_back(array.GetLong(i));
  return out;
}

VArrayLong MakeLongs(const std::vector<int32>& values) {
  VArrayLong array;
  for (int32 v : values) array.AppendLong(v);
  return array;
}

std::vector<std::string> Strings(const VArrayString& array) {
  std::vector<std::string> out;
  for (int32 i = 1; i <= array.GetCount(); ++i) {
    VString s;
    array.GetString(s, i);
    out.push_back(s.IsNull() ? "<null>" : to_string(s));
  }
  return out;
}

// Key inputs of every shape the partition has to handle.
std::vector<std::vector<int32>> KeySets() {
  std::mt19937 random(7);
  std::vector<std::vector<int32>> sets;
  for (int32 n : {0, 1, 2, 3, 9, 10, 11, 31, 100, 1000, 5000}) {
    std::vector<int32> keys(static_cast<size_t>(n));
    for (int32& k : keys) k = int32(random());
    sets.push_back(keys);  // random
    std::vector<int32> few(keys);
    for (int32& k : few) k = k & 3;
    sets.push_back(few);  // many duplicates
    std::vector<int32> sorted(keys);
    std::sort(sorted.begin(), sorted.end());
    sets.push_back(sorted);
    sets.push_back(std::vector<int32>(sorted.rbegin(), sorted.rend()));
    sets.push_back(std::vector<int32>(size_t(n), 42));  // all equal
  }
  sets.push_back({INT32_MIN, INT32_MAX, 0, -1, 1, INT32_MIN, INT32_MAX, 5, 5, 5, -7});
  return sets;
}

TEST(QSort, SortsEveryKeyShapeInBothDirections) {
  for (const std::vector<int32>& keys : KeySets()) {
    SCOPED_TRACE(keys.size());
    for (uint8 descending : {uint8(0), uint8(1)}) {
      std::vector<int32> got(keys);
      QSort(got.data(), int32(got.size()), descending);
      std::vector<int32> expected(keys);
      std::sort(expected.begin(), expected.end());
      if (descending != 0) std::reverse(expected.begin(), expected.end());
      EXPECT_EQ(got, expected);
    }
  }
}

TEST(QSort, PartitionStaysInsideTheRange) {
  // A scan that starts one past the end reads (and may swap) the element
  // behind the range: sort a middle part and watch every index used.
  for (const std::vector<int32>& keys : KeySets()) {
    if (keys.size() < 2) continue;
    SCOPED_TRACE(keys.size());
    std::vector<int32> work(keys);
    const int32 lo = 1;
    const int32 hi = int32(work.size()) - 1;
    const int32 before = work.front();
    int32 outside = 0;
    auto check = [&](int32 i) {
      if (i < lo || i > hi) ++outside;
    };
    array_sort::SortRange(
        lo, hi,
        [&](int32 i, int32 j) -> int32 {
          check(i);
          check(j);
          return work[size_t(i)] < work[size_t(j)] ? -1 : work[size_t(i)] > work[size_t(j)];
        },
        [&](int32 i, int32 j) {
          check(i);
          check(j);
          std::swap(work[size_t(i)], work[size_t(j)]);
        });
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(work.front(), before);
    EXPECT_TRUE(std::is_sorted(work.begin() + 1, work.end()));
  }
}

TEST(QSort, OtherElementTypes) {
  std::vector<double> reals = {2.5, -1.0, 1e300, -0.0, 3.25, 2.5, -1e-300, 7, 8, 9, 10, 0.5};
  std::vector<double> expected(reals);
  std::sort(expected.begin(), expected.end());
  QSort(reals.data(), int32(reals.size()), 0);
  EXPECT_EQ(reals, expected);

  std::vector<int8> bytes = {127, -128, 0, -1, 1, 100, -100, 5, 5, 3, 2};
  QSort(bytes.data(), int32(bytes.size()), 1);
  EXPECT_TRUE(std::is_sorted(bytes.rbegin(), bytes.rend()));
  EXPECT_EQ(bytes.front(), 127);

  std::vector<int64> long8s = {INT64_MAX, INT64_MIN, 0, 1, -1};
  QSort(long8s.data(), int32(long8s.size()), 0);
  EXPECT_EQ(long8s, (std::vector<int64>{INT64_MIN, -1, 0, 1, INT64_MAX}));

  std::vector<int16> words = {3, 1, 2};
  QSort(words.data(), 3, 1);
  EXPECT_EQ(words, (std::vector<int16>{3, 2, 1}));
}

TEST(VArraySort, SelectionAndQuickSortAgree) {
  // 9 elements go to the selection sort, 10 to the quicksort.
  VArrayLong nine = MakeLongs({5, 3, 9, 1, 7, 2, 8, 6, 4});
  VArrayLong ten = MakeLongs({5, 3, 9, 1, 7, 2, 8, 6, 4, 0});
  nine.Sort(1, 9, 0);
  ten.Sort(1, 10, 0);
  EXPECT_EQ(Longs(nine), (std::vector<int32>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(Longs(ten), (std::vector<int32>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

  // The same through the interface routine (the base sort).
  VArrayString names;
  for (const char* s : {"i", "c", "e", "a", "g", "b", "h", "f", "d", "j"}) {
    names.AppendString(VString(s));
  }
  names.Sort(1, 10, 0);
  EXPECT_EQ(Strings(names),
            (std::vector<std::string>{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}));
  names.Sort(2, 4, 1);
  EXPECT_EQ(Strings(names),
            (std::vector<std::string>{"a", "d", "c", "b", "e", "f", "g", "h", "i", "j"}));
}

TEST(VArraySort, SmallCasesAndIgnoredRanges) {
  VArrayLong two = MakeLongs({2, 1});
  two.Sort(1, 2, 0);
  EXPECT_EQ(Longs(two), (std::vector<int32>{1, 2}));
  VArrayString twoNames;
  twoNames.AppendString(VString("b"));
  twoNames.AppendString(VString("a"));
  twoNames.Sort(1, 2, 0);
  EXPECT_EQ(Strings(twoNames), (std::vector<std::string>{"a", "b"}));

  VArrayLong three = MakeLongs({3, 1, 2});
  three.Sort(1, 3, 1);
  EXPECT_EQ(Longs(three), (std::vector<int32>{3, 2, 1}));

  const std::vector<int32> before = {3, 1, 2};
  struct Range {
    int32 from;
    int32 to;
  } const ignored[] = {{2, 2}, {0, 3}, {1, 4}, {3, 1}, {-1, 2}};
  for (const Range& r : ignored) {
    SCOPED_TRACE(r.from * 10 + r.to);
    VArrayLong longs = MakeLongs(before);
    longs.Sort(r.from, r.to, 0);
    EXPECT_EQ(Longs(longs), before);
    VArrayString strings;
    for (const char* s : {"c", "a", "b"}) strings.AppendString(VString(s));
    strings.Sort(r.from, r.to, 0);
    EXPECT_EQ(Strings(strings), (std::vector<std::string>{"c", "a", "b"}));
  }
}

// A sortable over a vector that counts the comparisons the sort asks for.
class CountingSortable : public ISortable {
 public:
  explicit CountingSortable(std::vector<int32> keys) : fKeys(std::move(keys)) {}
  uint8* LockAndGetData() const override {
    ++fLocks;
    return reinterpret_cast<uint8*>(const_cast<int32*>(fKeys.data()));
  }
  void UnlockData() const override { ++fUnlocks; }
  void SwapElements(uint8*, int32 i, int32 j) override {
    std::swap(fKeys[size_t(i)], fKeys[size_t(j)]);
  }
  CompareResult CompareElements(uint8*, int32 i, int32 j) override {
    ++fComparisons;
    const int32 a = fKeys[size_t(i)];
    const int32 b = fKeys[size_t(j)];
    return a < b ? -1 : a > b ? 1 : 0;
  }
  std::vector<int32> fKeys;
  int64 fComparisons = 0;
  mutable int32 fLocks = 0;
  mutable int32 fUnlocks = 0;
};

TEST(MultiCriteriaQSort, DuplicateKeysStayNearNLogN) {
  // Keys drawn from two values: a partition that does not stop on keys
  // equal to the pivot peels a few elements per pass and goes quadratic
  // (about n * n / 4 comparisons here).
  const int32 n = 20000;
  std::mt19937 random(3);
  std::vector<int32> keys(static_cast<size_t>(n));
  for (int32& k : keys) k = int32(random() & 1);
  CountingSortable sortable(keys);
  ISortable* list[] = {&sortable, nullptr};
  uint8 flags[] = {0};
  ISortable::MultiCriteriaQSort(list, flags, 1, 0, n - 1);
  EXPECT_TRUE(std::is_sorted(sortable.fKeys.begin(), sortable.fKeys.end()));
  EXPECT_LT(sortable.fComparisons, int64(n) * 40);
  EXPECT_EQ(sortable.fLocks, 1);
  EXPECT_EQ(sortable.fUnlocks, 1);
}

TEST(MultiCriteriaQSort, SecondCriterionBreaksTiesDescending) {
  CountingSortable first({2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1});
  CountingSortable second({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  CountingSortable passenger({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  ISortable* list[] = {&first, &second, &passenger, nullptr};
  uint8 flags[] = {0, 1};
  ISortable::MultiCriteriaQSort(list, flags, 2, 0, 11);
  EXPECT_EQ(first.fKeys, (std::vector<int32>{1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2}));
  EXPECT_EQ(second.fKeys, (std::vector<int32>{12, 10, 8, 6, 4, 2, 11, 9, 7, 5, 3, 1}));
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(passenger.fKeys[i], second.fKeys[i] - 1);

  // More criteria than sortables: nothing happens.
  CountingSortable alone({3, 2, 1});
  ISortable* one[] = {&alone, nullptr};
  ISortable::MultiCriteriaQSort(one, flags, 2, 0, 2);
  EXPECT_EQ(alone.fKeys, (std::vector<int32>{3, 2, 1}));
}

TEST(MultiCriteriaQSort, CompareAppliesTheDirection) {
  // A sortable whose elements have no order answers -1000.
  struct Unordered : ISortable {
    void SwapElements(uint8*, int32, int32) override {}
    CompareResult CompareElements(uint8*, int32, int32) override { return kCompareUnordered; }
  } unordered;
  CountingSortable keys({1, 2});
  ISortable* list[] = {&unordered, &keys, nullptr};
  uint8* data[] = {nullptr, nullptr};
  uint8 ascending[] = {0, 0};
  uint8 descending[] = {1, 1};
  EXPECT_EQ(ISortable::MultiCriteriaCompare(list, data, ascending, 1, 0, 1), kCompareUnordered);
  EXPECT_EQ(ISortable::MultiCriteriaCompare(list, data, descending, 1, 0, 1), kCompareBigger);
  ISortable* byKeys[] = {&keys, nullptr};
  EXPECT_EQ(ISortable::MultiCriteriaCompare(byKeys, data, ascending, 1, 0, 1), kCompareLess);
  EXPECT_EQ(ISortable::MultiCriteriaCompare(byKeys, data, descending, 1, 0, 1), kCompareBigger);
  EXPECT_EQ(ISortable::MultiCriteriaCompare(byKeys, data, descending, 1, 1, 1), kCompareEqual);
}

TEST(SynchronizedSort, KeepsParallelArraysAligned) {
  VArrayString names;
  for (const char* s : {"b", "a", "c"}) names.AppendString(VString(s));
  VArrayLong ages = MakeLongs({2, 1, 3});
  EXPECT_TRUE(VArrayValue::SynchronizedSort(0, &names, &ages, nullptr));
  EXPECT_EQ(Strings(names), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(Longs(ages), (std::vector<int32>{1, 2, 3}));

  EXPECT_TRUE(VArrayValue::SynchronizedSort(1, &ages, &names, nullptr));
  EXPECT_EQ(Longs(ages), (std::vector<int32>{3, 2, 1}));
  EXPECT_EQ(Strings(names), (std::vector<std::string>{"c", "b", "a"}));
}

TEST(SynchronizedSort, PermutesEveryArrayEvenPastFourteen) {
  const std::vector<int32> keys = {9, 4, 7, 1, 8, 2, 6, 3, 5, 0, 11, 10};
  VArrayLong first = MakeLongs(keys);
  std::vector<VArrayLong> more;
  for (int32 a = 0; a < 20; ++a) {
    std::vector<int32> values;
    for (int32 k : keys) values.push_back(k * 100 + a);
    more.push_back(MakeLongs(values));
  }
  std::vector<VArrayValue*> p;
  for (VArrayLong& m : more) p.push_back(&m);
  EXPECT_TRUE(VArrayValue::SynchronizedSort(0, &first, p[0], p[1], p[2], p[3], p[4], p[5], p[6],
                                            p[7], p[8], p[9], p[10], p[11], p[12], p[13], p[14],
                                            p[15], p[16], p[17], p[18], p[19], nullptr));
  EXPECT_EQ(Longs(first), (std::vector<int32>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  for (int32 a = 0; a < 20; ++a) {
    SCOPED_TRACE(a);
    for (int32 i = 1; i <= 12; ++i) EXPECT_EQ(more[size_t(a)].GetLong(i), (i - 1) * 100 + a);
  }
}

TEST(SynchronizedSort, RefusesShorterCompanionsAndPermutesTheFirstCountOfLongerOnes) {
  VArrayLong keys = MakeLongs({3, 1, 2});
  VArrayLong shorter = MakeLongs({30, 10});
  VArrayLong longer = MakeLongs({30, 10, 20, 40});
  EXPECT_FALSE(VArrayValue::SynchronizedSort(0, &keys, &shorter, nullptr));
  EXPECT_EQ(Longs(keys), (std::vector<int32>{3, 1, 2}));
  EXPECT_EQ(Longs(shorter), (std::vector<int32>{30, 10}));
  EXPECT_TRUE(VArrayValue::SynchronizedSort(1, &keys, &longer, nullptr));
  EXPECT_EQ(Longs(keys), (std::vector<int32>{3, 2, 1}));
  EXPECT_EQ(Longs(longer), (std::vector<int32>{30, 20, 10, 40}));
  EXPECT_TRUE(VArrayValue::SynchronizedSort(0, &keys, &longer, nullptr));
  EXPECT_FALSE(VArrayValue::SynchronizedSort(0, nullptr, &keys, nullptr));
  // One array alone is simply sorted.
  EXPECT_TRUE(VArrayValue::SynchronizedSort(0, &keys, nullptr));
  EXPECT_EQ(Longs(keys), (std::vector<int32>{1, 2, 3}));
}

TEST(Unsort, FixedPermutationOfTheCount) {
  VArrayLong five = MakeLongs({1, 2, 3, 4, 5});
  five.Unsort();
  EXPECT_EQ(Longs(five), (std::vector<int32>{5, 3, 2, 4, 1}));

  VArrayString names;
  for (const char* s : {"1", "2", "3", "4", "5"}) names.AppendString(VString(s));
  names.Unsort();
  EXPECT_EQ(Strings(names), (std::vector<std::string>{"5", "3", "2", "4", "1"}));

  // Same count, same permutation; every element survives.
  std::vector<int32> values(37);
  for (int32 i = 0; i < 37; ++i) values[size_t(i)] = i;
  VArrayLong a = MakeLongs(values);
  VArrayLong b = MakeLongs(values);
  a.Unsort();
  b.Unsort();
  EXPECT_EQ(Longs(a), Longs(b));
  std::vector<int32> check = Longs(a);
  std::sort(check.begin(), check.end());
  EXPECT_EQ(check, values);

  VArrayLong one = MakeLongs({7});
  one.Unsort();
  EXPECT_EQ(Longs(one), (std::vector<int32>{7}));
}

std::vector<int32> Bits(const VArrayBoolean& array) {
  std::vector<int32> out;
  for (int32 i = 1; i <= array.GetCount(); ++i) out.push_back(array.GetBoolean(i));
  return out;
}

VArrayBoolean MakeBits(const std::vector<int32>& bits) {
  VArrayBoolean array;
  for (int32 b : bits) array.AppendBoolean(uint8(b));
  return array;
}

TEST(VArrayBooleanSort, WholeArrayCountsPartsUseTheElementOrder) {
  VArrayBoolean down = MakeBits({0, 1, 0, 1});
  down.Sort(1, 4, 1);
  EXPECT_EQ(Bits(down), (std::vector<int32>{1, 1, 0, 0}));
  VArrayBoolean up = MakeBits({0, 1, 0, 1});
  up.Sort(1, 4, 0);
  EXPECT_EQ(Bits(up), (std::vector<int32>{0, 0, 1, 1}));

  // A part: true sorts before false when ascending.
  VArrayBoolean part = MakeBits({0, 0, 1, 0, 1, 1});
  part.Sort(2, 5, 0);
  EXPECT_EQ(Bits(part), (std::vector<int32>{0, 1, 1, 0, 0, 1}));

  // Counting over whole bytes and a partial last byte.
  std::vector<int32> many;
  for (int32 i = 0; i < 21; ++i) many.push_back(i % 3 == 0);
  VArrayBoolean big = MakeBits(many);
  big.Sort(1, 21, 0);
  std::vector<int32> expected(21, 0);
  std::fill(expected.begin() + 14, expected.end(), 1);
  EXPECT_EQ(Bits(big), expected);
}

TEST(VArrayBooleanSort, UnsortKeepsTheBits) {
  VArrayBoolean small = MakeBits({1, 0, 0, 0, 0, 0, 0, 0});
  small.Unsort();
  EXPECT_EQ(Bits(small), (std::vector<int32>{1, 0, 0, 0, 0, 0, 0, 0}));
  std::vector<int32> bits = {1, 1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
  VArrayBoolean big = MakeBits(bits);
  big.Unsort();
  std::vector<int32> got = Bits(big);
  EXPECT_EQ(std::count(got.begin(), got.end(), 1), 4);
  EXPECT_NE(got, bits);
}

}  // namespace
}  // namespace zeft
