#include "json/VJSONElements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace zeft {
namespace {

std::string Numbers(const VJSONElements& elements) {
  std::string text;
  for (const VJSONValue& value : elements) text += std::to_string(int(value.GetNumber())) + ' ';
  return text;
}

void Fill(VJSONElements& elements, int from, int to) {
  for (int i = from; i < to; ++i) elements.push_back(VJSONValue(double(i)));
}

TEST(VJSONElementsTest, EraseAndResizeKeepTheOtherValuesInOrder) {
  struct Case {
    size_t first, last;  // erased
    size_t resized;
    const char* left;
  };
  const Case cases[] = {
      {0, 0, 5, "0 1 2 3 4 "}, {1, 3, 3, "0 3 4 "},       {0, 5, 0, ""},
      {4, 5, 2, "0 1 "},       {2, 3, 6, "0 1 3 4 9 9 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.left);
    VJSONElements elements;
    Fill(elements, 0, 5);
    elements.erase(elements.begin() + c.first, elements.begin() + c.last);
    elements.resize(c.resized, VJSONValue(9.0));
    EXPECT_EQ(Numbers(elements), c.left);
  }
}

TEST(VJSONElementsTest, LentRoomIsLeftWhenTheStoreGrowsMovesOrSwaps) {
  for (size_t count : {1, 2, 7}) {
    SCOPED_TRACE(count);
    std::vector<std::max_align_t> room(VJSONElements::RoomSize(count) / sizeof(std::max_align_t) +
                                       1);
    std::string expected;
    for (size_t i = 0; i < count; ++i) expected += std::to_string(i) + ' ';
    {
      VJSONElements elements;
      elements.UseRoom(room.data(), count);
      Fill(elements, 0, int(count));
      EXPECT_EQ(static_cast<const void*>(elements.begin()), static_cast<const void*>(room.data()));
      Fill(elements, int(count), int(count) + 3);
      EXPECT_NE(static_cast<const void*>(elements.begin()), static_cast<const void*>(room.data()));
      EXPECT_EQ(elements.size(), count + 3);
    }
    // Moved or swapped out, the values no longer depend on the room.
    VJSONElements moved, swapped;
    {
      VJSONElements first, second;
      first.UseRoom(room.data(), count);
      Fill(first, 0, int(count));
      moved = std::move(first);
      EXPECT_TRUE(first.empty());
      second.UseRoom(room.data(), count);
      Fill(second, 0, int(count));
      swapped.swap(second);
      EXPECT_TRUE(second.empty());
    }
    std::fill(room.begin(), room.end(), std::max_align_t{});
    EXPECT_EQ(Numbers(moved), expected);
    EXPECT_EQ(Numbers(swapped), expected);
    const VJSONElements copy(moved);
    EXPECT_EQ(Numbers(copy), expected);
  }
}

TEST(VJSONElementsTest, AppendingACopyOfItsOwnValueWhenFull) {
  // The copy is made before the values move to a larger block, in lent
  // room as in a block of the store's own.
  for (bool lent : {true, false}) {
    SCOPED_TRACE(lent);
    std::vector<std::max_align_t> room(VJSONElements::RoomSize(3) / sizeof(std::max_align_t) + 1);
    VJSONElements elements;
    if (lent) elements.UseRoom(room.data(), 3);
    elements.push_back(VJSONValue(VString("first")));
    while (elements.size() < (lent ? 3 : 4)) elements.push_back(VJSONValue(1.0));
    elements.push_back(elements[0]);
    ASSERT_EQ(elements.size(), lent ? 4u : 5u);
    VString text;
    ASSERT_EQ(elements[elements.size() - 1].GetString(text), VE_OK);
    EXPECT_EQ(to_string(text), "first");
    // Filling with one of its own values while growing.
    elements.resize(40, elements[0]);
    ASSERT_EQ(elements[39].GetString(text), VE_OK);
    EXPECT_EQ(to_string(text), "first");
  }
}

}  // namespace
}  // namespace zeft
