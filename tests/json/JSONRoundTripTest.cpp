// Random values written with Stringify and read back with ParseFromString
// come back deep-equal.
#include <gtest/gtest.h>

#include <random>

#include "JSONTestSupport.h"
#include "core/VCompareOptions.h"

namespace zeft {
namespace {

VJSONValue RandomValue(std::mt19937& random, int depth) {
  const int kind = int(random() % (depth > 3 ? 5 : 7));
  switch (kind) {
    case 0:
      return VJSONValue(JSON_null);
    case 1:
      return VJSONValue(random() % 2 == 0 ? JSON_true : JSON_false);
    case 2: {
      // Integers, fractions with at most 14 significant digits, extremes.
      switch (random() % 4) {
        case 0:
          return VJSONValue(double(int64(random()) - int64(random())));
        case 1:
          return VJSONValue(double(int32(random() % 2000000) - 1000000) / 1024.0);
        case 2:
          return VJSONValue(1.25e300);
        default:
          return VJSONValue(-3.5e-300);
      }
    }
    case 3:
    case 4: {
      std::u16string text;
      const size_t length = random() % 12;
      for (size_t i = 0; i < length; ++i) {
        // ASCII with controls, quotes and backslashes, Latin, CJK and pairs.
        switch (random() % 5) {
          case 0:
            text.push_back(char16_t(random() % 0x80));
            break;
          case 1:
            text.push_back(u"\"\\/\b\f\n\r\t"[random() % 8]);
            break;
          case 2:
            text.push_back(char16_t(0xA0 + random() % 0x100));
            break;
          case 3:
            text.push_back(char16_t(0x4E00 + random() % 0x100));
            break;
          default:
            text.push_back(char16_t(0xD83D));
            text.push_back(char16_t(0xDE00 + random() % 0x40));
            break;
        }
      }
      // The parser drops U+0000, so it never round-trips.
      for (char16_t& c : text) {
        if (c == 0) c = u'0';
      }
      VString string;
      string.FromUniString(text.data(), int32(text.size()));
      return VJSONValue(string);
    }
    case 5: {
      VJSONValue array(JSON_array);
      const size_t count = random() % 5;
      for (size_t i = 0; i < count; ++i) array.GetArray()->Push(RandomValue(random, depth + 1));
      return array;
    }
    default: {
      VJSONValue object(JSON_object);
      const size_t count = random() % 5;
      for (size_t i = 0; i < count; ++i) {
        VString name("k");
        name.AppendLong(int32(random() % 8));
        object.SetProperty(name, RandomValue(random, depth + 1));
      }
      return object;
    }
  }
}

TEST(JSONRoundTripTest, RandomValuesComeBackEqual) {
  std::mt19937 random(20240301);
  VCompareOptions exact;
  exact.SetDiacritical(true);
  for (int i = 0; i < 10000; ++i) {
    const VJSONValue value = RandomValue(random, 0);
    VString text;
    ASSERT_EQ(value.Stringify(text, 0x1), VE_OK);
    VJSONValue back;
    ASSERT_EQ(back.ParseFromString(text), VE_OK) << to_string(text);
    ASSERT_TRUE(value.DeepEqualTo(back, exact)) << to_string(text);
    VString again;
    ASSERT_EQ(back.Stringify(again, 0x9), VE_OK);
    VJSONValue indented;
    ASSERT_EQ(indented.ParseFromString(again), VE_OK);
    ASSERT_TRUE(value.DeepEqualTo(indented, exact)) << to_string(again);
  }
}

}  // namespace
}  // namespace zeft
