#include "runtime/VProgressIndicatorInfo.h"

#include <gtest/gtest.h>

#include "core/VLong.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

namespace K = ProgressInfoKeys;

uint32 Flags(const VValueBag& bag) {
  uint32 flags = 0xFFFFFFFF;
  K::fUpdateFlags.Get(bag, flags);
  return flags;
}

TEST(VProgressIndicatorInfoTest, MessageFillsKnownPlaceholdersAndDropsOthers) {
  VProgressIndicatorInfo info;
  info.fMessage = "a {curValue} b {maxValue} c {other} d";
  info.fValue = 3;
  info.fMax = 10;
  VString out;
  info.GetMessage(out);
  EXPECT_EQ(to_string(out), "a 3 b 10 c  d");

  VProgressIndicatorInfo empty;
  out = "kept";
  empty.GetMessage(out);
  EXPECT_EQ(to_string(out), "kept");
}

TEST(VProgressIndicatorInfoTest, RateValueIsZeroWithoutPositiveMaximum) {
  struct Case {
    int64 value, max;
    const char* expected;
  } cases[] = {{50, 200, "25"}, {-5, 10, "0"}, {5, -1, "0"}, {5, 0, "0"}, {0, 0, "0"}};
  for (const Case& c : cases) {
    VProgressIndicatorInfo info;
    info.fMessage = "{rateValue}";
    info.fValue = c.value;
    info.fMax = c.max;
    VString out;
    info.GetMessage(out);
    EXPECT_EQ(to_string(out), c.expected) << c.value << "/" << c.max;
  }
}

TEST(VProgressIndicatorInfoTest, WholeBagRoundTripKeepsExtraAttributes) {
  VProgressIndicatorInfo info;
  info.fMessage = "copying";
  info.fValue = 7;
  info.fMax = 9;
  info.fCanInterrupt = false;
  info.SetAttribute("file", VString("a.txt"));
  VValueBag bag;
  VString kind;
  info.SaveToBag(bag, kind, nullptr);
  EXPECT_EQ(to_string(kind), "VProgressIndicatorInfo");
  EXPECT_EQ(Flags(bag), 1024u);

  VProgressIndicatorInfo loaded;
  loaded.LoadFromBag(bag);
  EXPECT_EQ(to_string(loaded.fMessage), "copying");
  EXPECT_EQ(loaded.fValue, 7);
  EXPECT_EQ(loaded.fMax, 9);
  EXPECT_FALSE(loaded.fCanInterrupt);
  EXPECT_EQ(loaded.fStartTime, info.fStartTime);
  EXPECT_EQ(loaded.fExtraInfoBagVersion, info.fExtraInfoBagVersion);
  ASSERT_NE(loaded.fExtraInfoBag, nullptr);
  VString file;
  EXPECT_TRUE(loaded.fExtraInfoBag->GetString("file", file));
  EXPECT_EQ(to_string(file), "a.txt");
}

TEST(VProgressIndicatorInfoTest, LegacyExtraElementIsRead) {
  VValueBag bag;
  auto* extra = new VValueBag;
  extra->SetString("k", VString("v"));
  bag.AddElement("Extra", extra);
  extra->Release();
  VProgressIndicatorInfo loaded;
  loaded.LoadFromBag(bag);
  ASSERT_NE(loaded.fExtraInfoBag, nullptr);
  EXPECT_TRUE(loaded.fExtraInfoBag->AttributeExists("k"));
}

TEST(VProgressIndicatorInfoTest, ChangeFormWritesOnlyDifferences) {
  VProgressIndicatorInfo info;
  info.fMessage = "m";
  VProgressIndicatorInfo previous(info);
  {
    VValueBag bag;
    VString kind;
    info.SaveToBag(bag, kind, &previous);
    EXPECT_EQ(Flags(bag), 0u);
    EXPECT_EQ(bag.GetAttributesCount(), 1);
  }
  info.SetAttribute("x", VLong(1));
  info.fValue = 4;
  VValueBag bag;
  VString kind;
  info.SaveToBag(bag, kind, &previous);
  EXPECT_EQ(Flags(bag), 2u | 32u | 64u);

  // Applying the change to the previous record reproduces the new one.
  previous.LoadFromBag(bag);
  EXPECT_EQ(previous.fValue, 4);
  EXPECT_EQ(previous.fExtraInfoBagVersion, info.fExtraInfoBagVersion);
  ASSERT_NE(previous.fExtraInfoBag, nullptr);
  EXPECT_TRUE(previous.fExtraInfoBag->AttributeExists("x"));
}

TEST(VProgressIndicatorInfoTest, PartialBagWithoutExtraElementDropsTheBag) {
  VProgressIndicatorInfo info;
  info.SetAttribute("x", VLong(1));
  VValueBag bag;
  K::fUpdateFlags.Set(bag, 64u);
  info.LoadFromBag(bag);
  EXPECT_EQ(info.fExtraInfoBag, nullptr);
}

TEST(VProgressIndicatorInfoTest, CopiesOwnTheirBagAndAssignmentSkipsRemoteFlag) {
  VProgressIndicatorInfo info;
  info.fRemote = true;
  info.SetAttribute("x", VLong(1));
  VProgressIndicatorInfo copy(info);
  EXPECT_TRUE(copy.fRemote);
  EXPECT_TRUE(copy.fUUID == info.fUUID);
  ASSERT_NE(copy.fExtraInfoBag, nullptr);
  EXPECT_NE(copy.fExtraInfoBag, info.fExtraInfoBag);
  VProgressIndicatorInfo assigned;
  assigned = info;
  EXPECT_FALSE(assigned.fRemote);
  assigned = static_cast<const VProgressIndicatorInfo*>(nullptr);
  EXPECT_EQ(assigned.fExtraInfoBag, nullptr);
  EXPECT_EQ(assigned.fExtraInfoBagVersion, 0u);
  EXPECT_TRUE(assigned.fUUID == info.fUUID);
}

TEST(VProgressIndicatorInfoTest, JSONFormHoldsTheRecord) {
  VProgressIndicatorInfo info;
  info.fValue = 2;
  info.fMax = 8;
  VJSONObject* json = new VJSONObject;
  info.GetJSONObject(*json);
  EXPECT_EQ(json->GetProperty("currentValue").GetNumber(), 2.0);
  EXPECT_EQ(json->GetProperty("maxValue").GetNumber(), 8.0);
  VString uuid, expected;
  EXPECT_TRUE(json->GetPropertyAsString("uuid", uuid));
  info.fUUID.GetString(expected);
  EXPECT_EQ(to_string(uuid), to_string(expected));
  json->Release();
}

}  // namespace
}  // namespace zeft
