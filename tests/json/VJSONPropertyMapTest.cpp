#include "json/VJSONPropertyMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace zeft {
namespace {

std::string NameText(int i) {
  std::string text = "p";
  text += std::to_string(i);
  return text;
}

VString Name(int i) { return VString(NameText(i).c_str()); }

// Two-unit names a, b with a * 257 + b fixed all have the same hash.
std::vector<VString> CollidingNames(int count) {
  std::vector<VString> names;
  for (int i = 0; i < count; ++i) {
    const UniChar units[3] = {UniChar(0x41 + i), UniChar(0x3000 - 257 * i), 0};
    names.emplace_back(units);
  }
  return names;
}

// The names in store order, and each one found at its own position.
std::vector<std::string> CheckedNames(const VJSONPropertyMap& map) {
  std::vector<std::string> names;
  for (const auto& [name, value] : map) {
    EXPECT_EQ(map.Find(name), names.size()) << to_string(name);
    names.push_back(to_string(name));
  }
  EXPECT_EQ(names.size(), map.size());
  return names;
}

std::vector<std::string> Expected(const std::vector<int>& numbers) {
  std::vector<std::string> names;
  for (int i : numbers) names.push_back(NameText(i));
  return names;
}

TEST(VJSONPropertyMapTest, GrowsKeepingOrderValuesAndStamps) {
  // Sizes on both sides of each growth and of the switch to an index.
  for (int count : {1, 4, 5, 15, 16, 17, 33, 1000}) {
    SCOPED_TRACE(count);
    VJSONPropertyMap map;
    std::vector<int> numbers;
    std::vector<uint32> stamps;
    for (int i = 0; i < count; ++i) {
      const auto [sequence, inserted] = map.Insert(Name(i), VJSONValue(double(i)));
      EXPECT_TRUE(inserted);
      EXPECT_EQ(sequence, size_t(i));
      numbers.push_back(i);
      stamps.push_back(map[sequence].fValue.GetStamp());
    }
    EXPECT_EQ(CheckedNames(map), Expected(numbers));
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(map[size_t(i)].fValue.GetNumber(), double(i));
      EXPECT_EQ(map[size_t(i)].fValue.GetStamp(), stamps[size_t(i)]) << "moved, not copied";
    }
    EXPECT_EQ(map.Find(Name(count)), VJSONPropertyMap::kNotFound);
    EXPECT_EQ(map.Find(VString("")), VJSONPropertyMap::kNotFound);
  }
}

TEST(VJSONPropertyMapTest, InsertingAnExistingNameKeepsItsPlaceAndValue) {
  // Full maps: inserting "new" grows them.
  for (int count : {4, 32}) {
    SCOPED_TRACE(count);
    VJSONPropertyMap map;
    for (int i = 0; i < count; ++i) map.Insert(Name(i), VJSONValue(double(i)));
    const auto [sequence, inserted] = map.Insert(Name(1), VJSONValue(99.0));
    EXPECT_FALSE(inserted);
    EXPECT_EQ(sequence, 1u);
    EXPECT_EQ(map[1].fValue.GetNumber(), 1.0);
    EXPECT_EQ(map.size(), size_t(count));
    // A name read from the map itself, also when the map is full and grows.
    const VString last = map[size_t(count - 1)].fName;
    EXPECT_EQ(map.Insert(map[0].fName, VJSONValue(JSON_null)).second, false);
    EXPECT_EQ(map.Insert(VString("new"), map[0].fValue).first, size_t(count));
    EXPECT_EQ(map[size_t(count)].fValue.GetNumber(), 0.0);
    EXPECT_EQ(map.Find(last), size_t(count - 1));
  }
}

TEST(VJSONPropertyMapTest, ReservedRoomThenGrowthKeepsEveryEntryFound) {
  // Exact room below the index's size, then growth past it; and room that
  // starts indexed.
  for (const auto& [reserved, count] : {std::pair{3, 3}, {6, 40}, {15, 17}, {20, 20}, {20, 70}}) {
    SCOPED_TRACE(reserved);
    VJSONPropertyMap map;
    map.Reserve(size_t(reserved));
    std::vector<int> numbers;
    for (int i = 0; i < count; ++i) {
      VJSONPropertyMap::NewEntry entry(Name(i).VString::GetHashValue());
      entry.fName.InitWithString(Name(i));
      entry.fValue = VJSONValue(double(i));
      map.InsertOrAssign(entry);
      numbers.push_back(i);
    }
    EXPECT_EQ(CheckedNames(map), Expected(numbers));
    // A name met again replaces the value in place; its own name is let go.
    VJSONPropertyMap::NewEntry again(Name(1).VString::GetHashValue());
    again.fName.InitWithString(Name(1));
    again.fValue = VJSONValue(JSON_true);
    map.InsertOrAssign(again);
    EXPECT_EQ(map.size(), size_t(count));
    EXPECT_EQ(map[1].fValue.GetType(), JSON_true);
    EXPECT_EQ(CheckedNames(map), Expected(numbers));
    const VJSONPropertyMap copy(map);
    EXPECT_EQ(CheckedNames(copy), Expected(numbers));
  }
}

TEST(VJSONPropertyMapTest, LentRoomIsLeftWhenTheMapGrowsMovesOrEmpties) {
  for (int count : {2, 16, 20}) {
    SCOPED_TRACE(count);
    std::vector<std::max_align_t> room(
        VJSONPropertyMap::RoomSize(size_t(count)) / sizeof(std::max_align_t) + 1);
    auto fill = [&](VJSONPropertyMap& map, int from, int to) {
      for (int i = from; i < to; ++i) map.Insert(Name(i), VJSONValue(double(i)));
    };
    std::vector<int> numbers;
    for (int i = 0; i < count + 5; ++i) numbers.push_back(i);
    {
      // Growth past the room.
      VJSONPropertyMap map;
      map.UseRoom(room.data(), size_t(count));
      fill(map, 0, count);
      EXPECT_GE(static_cast<const void*>(map.begin()), static_cast<const void*>(room.data()));
      fill(map, count, count + 5);
      EXPECT_EQ(CheckedNames(map), Expected(numbers));
    }
    {
      // A move takes the entries out of the room; the lender may go first.
      VJSONPropertyMap moved;
      {
        VJSONPropertyMap map;
        map.UseRoom(room.data(), size_t(count));
        fill(map, 0, count);
        moved = std::move(map);
        EXPECT_TRUE(map.empty());
      }
      std::fill(room.begin(), room.end(), std::max_align_t{});
      numbers.resize(size_t(count));
      EXPECT_EQ(CheckedNames(moved), Expected(numbers));
    }
    {
      // Emptied in place, then filled again in a block of its own.
      VJSONPropertyMap map;
      map.UseRoom(room.data(), size_t(count));
      fill(map, 0, count);
      map.clear();
      EXPECT_TRUE(map.empty());
      fill(map, 0, count);
      EXPECT_EQ(CheckedNames(map), Expected(numbers));
    }
  }
}

TEST(VJSONPropertyMapTest, FindsNamesWhoseHashesCollide) {
  const std::vector<VString> colliding = CollidingNames(40);
  for (const VString& name : colliding) {
    ASSERT_EQ(name.GetHashValue(), colliding[0].GetHashValue());
  }
  for (int count : {3, 10, 40}) {
    SCOPED_TRACE(count);
    VJSONPropertyMap map;
    // Interleaved with names of other hashes.
    for (int i = 0; i < count; ++i) {
      map.Insert(colliding[size_t(i)], VJSONValue(double(i)));
      map.Insert(Name(i), VJSONValue(JSON_null));
    }
    for (int i = 0; i < count; ++i) EXPECT_EQ(map.Find(colliding[size_t(i)]), size_t(2 * i));
    EXPECT_EQ(map.Find(CollidingNames(41)[40]), VJSONPropertyMap::kNotFound);
    // Taking some out of the middle of a probe run leaves the later ones found.
    map.RemoveAt(map.Find(colliding[1]));
    map.RemoveAt(map.Find(colliding[0]));
    for (int i = 2; i < count; ++i) {
      const size_t found = map.Find(colliding[size_t(i)]);
      ASSERT_NE(found, VJSONPropertyMap::kNotFound) << i;
      EXPECT_EQ(map[found].fValue.GetNumber(), double(i));
    }
    EXPECT_EQ(map.Find(colliding[0]), VJSONPropertyMap::kNotFound);
    EXPECT_EQ(map.Find(colliding[1]), VJSONPropertyMap::kNotFound);
    CheckedNames(map);
  }
}

TEST(VJSONPropertyMapTest, RemovalRenumbersTheLaterEntries) {
  struct Case {
    int count;
    std::vector<int> removed;  // positions, in order
    std::vector<int> left;
  };
  const Case cases[] = {
      {1, {0}, {}},
      {3, {1}, {0, 2}},
      {3, {2, 0}, {1}},
      {5, {0, 0, 0}, {3, 4}},
      {17, {16, 8, 0}, {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15}},
      {20, {10, 10, 10, 10, 10, 10, 10, 10, 10, 10}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    VJSONPropertyMap map;
    for (int i = 0; i < c.count; ++i) map.Insert(Name(i), VJSONValue(double(i)));
    for (int position : c.removed) map.RemoveAt(size_t(position));
    EXPECT_EQ(CheckedNames(map), Expected(c.left));
    for (size_t i = 0; i < map.size(); ++i) {
      EXPECT_EQ(map[i].fValue.GetNumber(), double(c.left[i]));
    }
    // A removed name comes back at the end.
    map.Insert(Name(c.removed.empty() ? 0 : c.removed[0]), VJSONValue(JSON_true));
    EXPECT_EQ(map[map.size() - 1].fValue.GetType(), JSON_true);
    CheckedNames(map);
  }
}

TEST(VJSONPropertyMapTest, CopiesAndMovesAreWholeAndIndependent) {
  for (int count : {0, 2, 16, 50}) {
    SCOPED_TRACE(count);
    VJSONPropertyMap map;
    std::vector<int> numbers;
    for (int i = 0; i < count; ++i) {
      map.Insert(Name(i), VJSONValue(double(i)));
      numbers.push_back(i);
    }
    VJSONPropertyMap copy(map);
    EXPECT_EQ(CheckedNames(copy), Expected(numbers));
    copy.Insert(VString("extra"), VJSONValue(JSON_null));
    if (count > 0) copy.RemoveAt(0);
    EXPECT_EQ(CheckedNames(map), Expected(numbers));
    EXPECT_EQ(map.Find(VString("extra")), VJSONPropertyMap::kNotFound);

    VJSONPropertyMap assigned;
    assigned.Insert(VString("old"), VJSONValue(JSON_null));
    assigned = map;
    EXPECT_EQ(CheckedNames(assigned), Expected(numbers));

    VJSONPropertyMap moved(std::move(assigned));
    EXPECT_EQ(CheckedNames(moved), Expected(numbers));
    moved.clear();
    EXPECT_TRUE(moved.empty());
    EXPECT_EQ(moved.Find(Name(0)), VJSONPropertyMap::kNotFound);
    moved.Insert(Name(7), VJSONValue(JSON_null));
    EXPECT_EQ(CheckedNames(moved), Expected({7}));
  }
}

}  // namespace
}  // namespace zeft
