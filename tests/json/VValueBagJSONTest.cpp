// The JSON form of bags: the writer's shapes and texts, reading back through
// the importer, the JSON value conversions and their failures.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>

#include "JSONTestSupport.h"
#include "core/IRefCountable.h"
#include "core/VString.h"
#include "runtime/VTask.h"
#include "support/ErrorTestSupport.h"
#include "values/VDuration.h"
#include "values/VTime.h"
#include "values/VUUID.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using test::Parse;
using test::Write;

constexpr StPackedDictionaryKey kItem("item");
constexpr StPackedDictionaryKey kObjectMark("____objectunic");
constexpr StPackedDictionaryKey kFakeElement("____FakeArrayElement");

VRefPtr<VValueBag> NewBag() { return VRefPtr<VValueBag>(new VValueBag, kAdoptRef); }

std::string JSONText(const VValueBag& bag, uint32 options = 0) {
  VString text("old content");
  EXPECT_EQ(bag.GetJSONString(text, options), VE_OK);
  return to_string(text);
}

// A bag read from the UTF-8 JSON text.
VRefPtr<VValueBag> Read(const std::string& json, VError* error = nullptr) {
  VRefPtr<VValueBag> bag = NewBag();
  const VError result = bag->FromJSONString(VString(json.c_str()), 0);
  if (error != nullptr) *error = result;
  return bag;
}

TEST(VValueBagJSONTest, ShapesOfElementLists) {
  auto unmarked = NewBag();
  unmarked->AddElement(kItem, NewBag().Get());
  auto marked = NewBag();
  auto markedItem = NewBag();
  markedItem->SetBool(kObjectMark, true);
  marked->AddElement(kItem, markedItem.Get());
  auto two = NewBag();
  two->AddElement(kItem, NewBag().Get());
  two->AddElement(kItem, markedItem.Get());
  auto emptyList = NewBag();
  VRefPtr<VBagArray> none(new VBagArray, kAdoptRef);
  emptyList->SetElements(kItem, none.Get());
  auto scalars = NewBag();
  for (int32 n : {1, 2}) {
    auto element = NewBag();
    element->SetLong(kFakeElement, n);
    scalars->AddElement(StPackedDictionaryKey("nums"), element.Get());
  }
  // A fake element alone in its list stays in an array; with 0x20 it is the
  // value itself.
  auto oneScalar = NewBag();
  auto element = NewBag();
  element->SetString(kFakeElement, VString("s"));
  oneScalar->AddElement(StPackedDictionaryKey("s"), element.Get());

  auto empty = NewBag();
  struct Case {
    const VValueBag* bag;
    const char* compact;
    const char* singleAsObject;
  };
  const Case cases[] = {
      {empty.Get(), "{}", "{}"},
      {unmarked.Get(), "{\"item\":[{}]}", "{\"item\":{}}"},
      {marked.Get(), "{\"item\":{}}", "{\"item\":{}}"},
      {two.Get(), "{\"item\":[{},{}]}", "{\"item\":[{},{}]}"},
      {emptyList.Get(), "{\"item\":[]}", "{\"item\":[]}"},
      {scalars.Get(), "{\"nums\":[1,2]}", "{\"nums\":[1,2]}"},
      {oneScalar.Get(), "{\"s\":[\"s\"]}", "{\"s\":\"s\"}"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JSONText(*c.bag), c.compact);
    EXPECT_EQ(JSONText(*c.bag, VValueBag::kJSONSingleBagAsObject), c.singleAsObject);
  }
}

TEST(VValueBagJSONTest, AttributesAndTheirValues) {
  auto bag = NewBag();
  bag->SetString(StPackedDictionaryKey("____property_name_in_jsarray"), VString("p"));
  bag->SetBool(kObjectMark, true);
  bag->SetLong(StPackedDictionaryKey("a"), 1);
  bag->SetCData(VString("x"));
  EXPECT_EQ(JSONText(*bag), "{\"a\":1,\"__CDATA\":\"x\"}") << "no comma for skipped marks";

  auto values = NewBag();
  values->SetBool(StPackedDictionaryKey("bool"), true);
  values->SetLong8(StPackedDictionaryKey("long8"), int64(1) << 40);
  values->SetReal(StPackedDictionaryKey("real"), 0.5);
  values->SetReal(StPackedDictionaryKey("nan"), std::nan(""));
  values->SetString(StPackedDictionaryKey("text"), VString("say \"hi\"\n"));
  VTime midnight;
  midnight.FromUTCTime(2024, 3, 5, 0, 0, 0, 0);
  values->SetAttribute(StPackedDictionaryKey("day"), midnight);
  VTime time;
  time.FromUTCTime(2024, 3, 5, 10, 20, 30, 400);
  values->SetAttribute(StPackedDictionaryKey("time"), time);
  values->SetAttribute(StPackedDictionaryKey("uuid"), VUUID("00112233445566778899AABBCCDDEEFF"));
  values->SetAttribute(StPackedDictionaryKey("span"), VDuration(1500));
  values->SetAttribute(StPackedDictionaryKey("\"odd\" name"), VString("v"));
  EXPECT_EQ(JSONText(*values),
            "{\"bool\":true,\"long8\":1099511627776,\"real\":0.5,\"nan\":null,"
            "\"text\":\"say \\\"hi\\\"\\n\",\"day\":\"2024-03-05\","
            "\"time\":\"2024-03-05T10:20:30.400Z\",\"uuid\":\"00112233445566778899AABBCCDDEEFF\","
            "\"span\":1500,\"\\\"odd\\\" name\":\"v\"}");
  // Whatever the bag holds, its text is JSON.
  VError error = VE_OK;
  Parse(JSONText(*values), 0x1, &error);
  EXPECT_EQ(error, VE_OK);
}

// A null character data reads as a null attribute does, and writes back
// as null; only the quoted word is the text "null".
TEST(VValueBagJSONTest, NullCDataReadsAsNull) {
  auto bag = Read("{\"__CDATA\":null}");
  const VValueSingle* cdata = bag->GetAttributeValue(VValueBag::CDataAttributeName());
  ASSERT_NE(cdata, nullptr);
  EXPECT_TRUE(cdata->IsNull());
  VString text;
  bag->GetCData(text);
  EXPECT_EQ(to_string(text), "");
  EXPECT_EQ(JSONText(*bag), "{\"__CDATA\":null}");

  auto quoted = Read("{\"__CDATA\":\"null\"}");
  quoted->GetCData(text);
  EXPECT_EQ(to_string(text), "null");
  EXPECT_EQ(JSONText(*quoted), "{\"__CDATA\":\"null\"}");
}

TEST(VValueBagJSONTest, PrettyTextIndentsWithTabs) {
  EXPECT_EQ(JSONText(*NewBag(), VValueBag::kJSONPretty), "\n{\n}");
  auto bag = NewBag();
  bag->SetLong(StPackedDictionaryKey("a"), 1);
  auto item = NewBag();
  item->SetBool(kObjectMark, true);
  item->SetString(StPackedDictionaryKey("b"), VString("x"));
  bag->AddElement(kItem, item.Get());
  for (int32 n : {1, 2}) {
    auto element = NewBag();
    element->SetLong(kFakeElement, n);
    bag->AddElement(StPackedDictionaryKey("nums"), element.Get());
  }
  EXPECT_EQ(JSONText(*bag, VValueBag::kJSONPretty),
            "\n{\n\t\"a\" : 1,\n\t\"item\" : \n\t{\n\t\t\"b\" : \"x\"\n\t},"
            "\n\t\"nums\" : \n\t[1,2\n\t]\n}");
}

TEST(VValueBagJSONTest, TextsReadAndWriteBackTheSameShape) {
  const char* texts[] = {
      "{}",
      "{\"a\":\"x\",\"n\":-2,\"r\":1.5,\"big\":1E+21,\"t\":true,\"f\":false,"
      "\"__CDATA\":\"cdata\"}",
      "{\"obj\":{\"b\":true},\"list\":[{\"c\":1},{\"c\":2}],\"one\":[{\"d\":\"e\"}],"
      "\"nums\":[1,\"two\",false]}",
      "{\"a\":{\"b\":{\"c\":[{\"d\":[1,2]},{\"e\":{}}]}}}",
      "{\"day\":\"2024-03-05\"}",
      "{\"none\":null,\"empty\":\"\",\"obj\":{\"none\":null}}",
  };
  for (const char* text : texts) {
    VError error = VE_OK;
    auto bag = Read(text, &error);
    EXPECT_EQ(error, VE_OK) << text;
    EXPECT_EQ(JSONText(*bag), text);
    EXPECT_EQ(JSONText(*VRefPtr<VValueBag>(bag->Clone(), kAdoptRef)), text) << "copy";
    // The pretty text is the same JSON.
    EXPECT_EQ(Write(Parse(JSONText(*bag, VValueBag::kJSONPretty))), Write(Parse(text)));
  }
  auto nested = Read("{\"obj\":{\"b\":true,\"__CDATA\":\"in\"}}");
  const VValueBag* obj = nested->GetUniqueElement(StPackedDictionaryKey("obj"));
  ASSERT_NE(obj, nullptr);
  VString cdata;
  EXPECT_TRUE(obj->GetCData(cdata));
  EXPECT_EQ(to_string(cdata), "in");
}

TEST(VValueBagJSONTest, JSONValuesOfBags) {
  const char* text = "{\"a\":1,\"list\":[{\"c\":1},{\"c\":2}],\"obj\":{\"s\":\"x\"}}";
  auto bag = Read(text);
  VJSONValue value;
  EXPECT_EQ(bag->GetJSONValue(value, 0), VE_OK);
  ASSERT_TRUE(value.IsObject());
  EXPECT_EQ(Write(value), text);

  VError error = ToolboxError(1);
  VRefPtr<VJSONObject> object(bag->BuildJSONObject(error), kAdoptRef);
  ASSERT_NE(object.Get(), nullptr);
  EXPECT_EQ(error, VE_OK);
  EXPECT_EQ(Write(VJSONValue(object.Get())), text);

  auto read = NewBag();
  EXPECT_EQ(read->FromJSONValue(value), VE_OK);
  EXPECT_EQ(JSONText(*read), text);
  auto binary = NewBag();
  EXPECT_EQ(binary->FromBinaryJSONValue(Parse(text)), VE_OK);
  EXPECT_EQ(JSONText(*binary), text);

  // A bag standing for a scalar has a text but no object.
  auto scalar = NewBag();
  scalar->SetLong(kFakeElement, 3);
  EXPECT_EQ(JSONText(*scalar), "3");
  error = ToolboxError(1);
  EXPECT_EQ(scalar->BuildJSONObject(error), nullptr);
  EXPECT_EQ(error, VE_OK);
  VJSONValue notObject(1.0);
  EXPECT_EQ(scalar->GetJSONValue(notObject, 0), VE_OK);
  EXPECT_TRUE(notObject.IsUndefined());
}

TEST(VValueBagJSONTest, WrongJSONKindsAreRefused) {
  for (const char* text : {"", "[1,2]", "42", "\"text\"", "null", "true", "<a/>"}) {
    VError error = VE_OK;
    auto bag = Read(text, &error);
    EXPECT_NE(error, VE_OK) << text;
    EXPECT_TRUE(bag->IsEmpty()) << text;
  }
  for (const char* json : {"[{\"a\":1}]", "1", "\"x\"", "null"}) {
    auto bag = NewBag();
    EXPECT_NE(bag->FromJSONValue(Parse(json)), VE_OK) << json;
    EXPECT_TRUE(bag->IsEmpty()) << json;
  }
  auto bag = NewBag();
  EXPECT_NE(bag->FromJSONValue(VJSONValue(JSON_undefined)), VE_OK);
}

// A bag nested deeper than the writing task's stack allows fails with error
// 108 instead of overflowing the stack.
TEST(VValueBagJSONTest, TooDeepABagFailsToWrite) {
  constexpr int kDepth = 5000;
  auto top = NewBag();
  VValueBag* level = top.Get();
  for (int i = 0; i < kDepth; ++i) {
    auto inner = NewBag();
    level->AddElement(kItem, inner.Get());
    level = inner.Get();  // kept alive by its holder
  }
  std::atomic<bool> done{false};
  VError result = VE_OK;
  bool raised = false;
  // A small stack, so that the walk runs out of it long before the depth.
  auto* task = new VTask(256 * 1024, kTaskStylePreemptive, [&] {
    test::ErrorCollector errors;
    VString text;
    result = top->GetJSONString(text, 0);
    raised = test::HasToolboxError(errors.Errors(), toolbox_error::kBufferTooLong);
    done.store(true);
  });
  task->Run();
  EXPECT_TRUE(task->WaitForDeath(60000));
  task->Release();
  ASSERT_TRUE(done.load());
  EXPECT_EQ(result, ToolboxError(toolbox_error::kBufferTooLong));
  EXPECT_TRUE(raised);
}

}  // namespace
}  // namespace zeft
