#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "JSONClassTestSupport.h"
#include "JSONTestSupport.h"
#include "json/VJSONBinaryImporter.h"
#include "json/VJSONBinaryWriter.h"
#include "json/VJSONBlob.h"
#include "json/VJSONObjectFactory.h"
#include "support/ErrorTestSupport.h"
#include "values/VTime.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::HasToolboxError;
using test::Parse;
using test::Write;

std::string Hex(const void* data, size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  const auto* bytes = static_cast<const uint8*>(data);
  for (size_t i = 0; i < size; ++i) {
    if (i != 0) out += ' ';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

std::string Encode(const VJSONValue& value, VError* error = nullptr) {
  VMemoryBuffer<> buffer;
  VJSONBinaryWriter writer;
  const VError result = writer.StreamValue(value, buffer);
  if (error != nullptr) *error = result;
  return std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize());
}

VError Decode(const std::string& bytes, VJSONValue& value) {
  VJSONBinaryImporter importer(bytes.data(), bytes.size());
  return importer.GetValue(value);
}

std::string EncodeHex(const VJSONValue& value) {
  const std::string bytes = Encode(value);
  return Hex(bytes.data(), bytes.size());
}

TEST(VJSONBinaryTest, BytesFollowTheLayout) {
  struct Case {
    const char* json;
    const char* bytes;
  };
  const Case cases[] = {
      {R"({"a":"xy"})", "05 01 00 61 00 03 02 00 00 00 78 00 79 00 FF FF"},
      {"[]", "06 00 00 00 00"},
      {"true", "02"},
      {"null", "00"},
      {R"([1.5,false,""])", "06 03 00 00 00 04 00 00 00 00 00 00 F8 3F 01 03 00 00 00 00"},
  };
  for (const Case& item : cases) {
    EXPECT_EQ(EncodeHex(Parse(item.json)), item.bytes) << item.json;
  }
  EXPECT_EQ(EncodeHex(VJSONValue(JSON_undefined)), "07");
  VJSONValue date;
  date.SetDate(2020, 1, 2);
  VJSONValue back;
  ASSERT_EQ(Decode(Encode(date), back), VE_OK);
  EXPECT_TRUE(back.IsDate());
  EXPECT_TRUE(back.DeepEqualTo(date, VCompareOptions()));
}

TEST(VJSONBinaryTest, SharedObjectsAndCyclesComeBack) {
  test::StLiveContainers live;
  {
    VJSONValue shared = Parse(R"({"k":1})");
    VJSONValue pair(JSON_array);
    pair.GetArray()->Push(shared);
    pair.GetArray()->Push(shared);
    const std::string bytes = Encode(pair);
    // The second element is a reference to "#/0".
    EXPECT_EQ(Hex(bytes.data() + bytes.size() - 11, 11), "FF 03 00 00 00 23 00 2F 00 30 00");
    VJSONValue back;
    ASSERT_EQ(Decode(bytes, back), VE_OK);
    ASSERT_EQ(back.GetArray()->GetCount(), 2u);
    EXPECT_EQ(back.GetArray()->GetAt(0).GetObject(), back.GetArray()->GetAt(1).GetObject());
    EXPECT_EQ(Write(back.GetArray()->GetAt(1)), R"({"k":1})");

    VJSONValue self(JSON_object);
    self.GetObject()->SetProperty(VString("me"), self);
    EXPECT_EQ(EncodeHex(self), "05 02 00 6D 00 65 00 FF 01 00 00 00 23 00 FF FF");
    ASSERT_EQ(Decode(Encode(self), back), VE_OK);
    EXPECT_EQ(back.GetObject()->GetProperty(VString("me")).GetObject(), back.GetObject());
    self.GetObject()->RemoveProperty(VString("me"));
    back.GetObject()->RemoveProperty(VString("me"));
  }
  EXPECT_EQ(live.Objects(), 0);
  EXPECT_EQ(live.Arrays(), 0);
}

TEST(VJSONBinaryTest, ReferencesAreWalkedAsWritten) {
  // Names holding "/", "~" and "%41" are escaped and never percent-decoded.
  VJSONValue top(JSON_object);
  VJSONValue slashed(JSON_object);
  VJSONValue percent(JSON_object);
  VJSONValue letter(JSON_object);
  top.GetObject()->SetProperty(VString("a/b~"), slashed);
  top.GetObject()->SetProperty(VString("%41"), percent);
  top.GetObject()->SetProperty(VString("A"), letter);
  top.GetObject()->SetProperty(VString("x"), slashed);
  top.GetObject()->SetProperty(VString("y"), percent);
  const std::string bytes = Encode(top);
  const std::string pointer = "#/a~1b~0";
  std::string units;
  for (char c : pointer) units += std::string{c, '\0'};
  EXPECT_NE(bytes.find(units), std::string::npos);
  VJSONValue back;
  ASSERT_EQ(Decode(bytes, back), VE_OK);
  VJSONObject* object = back.GetObject();
  EXPECT_EQ(object->GetProperty(VString("x")).GetObject(),
            object->GetProperty(VString("a/b~")).GetObject());
  EXPECT_EQ(object->GetProperty(VString("y")).GetObject(),
            object->GetProperty(VString("%41")).GetObject());
  EXPECT_NE(object->GetProperty(VString("y")).GetObject(),
            object->GetProperty(VString("A")).GetObject());
}

TEST(VJSONBinaryTest, ClassesTravelByStoreAndName) {
  VRefPtr<VJSONObject> known;
  VJSONClass* knownClass =
      VJSONClass::Create(known, VString("Known"), nullptr, nullptr, VString("novu"), 0);
  knownClass->SetFunctions(std::vector<FunctionDescriptor>{}, nullptr,
                           &VJSONClass::GenericInstantiator);
  test::Store().AddClass(known.Get(), 0);
  VRefPtr<VJSONObject> foreign;
  VJSONClass::Create(foreign, VString("Known"), nullptr, nullptr, VString("elsewhere"), 0);
  auto instance = test::NewInstance(known.Get());
  instance->SetOwnProperty(VString("v"), VJSONValue(1.0));
  const std::string bytes = Encode(VJSONValue(instance.Get()));
  // After the tag and the property v: the end marker and the class block.
  EXPECT_EQ(Hex(bytes.data() + 14, bytes.size() - 14),
            "FD FF 2A 2A 2A 2A 16 00 00 00 00 00 00 00 04 00 6E 00 6F 00 76 00 75 00 05 00 4B 00 "
            "6E 00 6F 00 77 00 6E 00");
  VJSONValue back;
  ASSERT_EQ(Decode(bytes, back), VE_OK);
  EXPECT_EQ(back.GetObject()->GetClassObject(), known.Get());
  EXPECT_EQ(back.GetObject()->GetClassLevel(), 1u);
  EXPECT_EQ(back.GetObject()->GetProperty(VString("v")).GetNumber(), 1);

  VJSONValue stranger(JSON_object);
  stranger.GetObject()->SetClassObject(foreign.Get());
  ASSERT_EQ(Decode(Encode(stranger), back), VE_OK);
  EXPECT_TRUE(back.GetObject()->IsGenericObject()) << "another store's class reads as Object";
}

TEST(VJSONBinaryTest, BlobsCarryTheirBytes) {
  VRefPtr<VJSONObject> blob(VJSONBlob::Create("\x01\x02\x03", 3), kAdoptRef);
  const std::string bytes = Encode(VJSONValue(blob.Get()));
  EXPECT_EQ(Hex(bytes.data(), bytes.size()),
            "05 FD FF 62 6C 42 4A 03 00 00 00 00 00 00 00 01 02 03");
  VJSONValue back;
  ASSERT_EQ(Decode(bytes, back), VE_OK);
  const VJSONBlob* read = VJSONBlob::CastJSONObject(back.GetObject());
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(read->GetData()), read->GetSize()),
            "\x01\x02\x03");
  EXPECT_EQ(back.GetObject()->GetClassObject(), VJSONBlob::GetClass());
  // Without its creator the payload is skipped and the object stays plain.
  VJSONObjectFactory::Get().UnRegisterSignature(VJSONBlob::kSignature);
  EXPECT_FALSE(VJSONObjectFactory::Get().IsSignatureSupported(VJSONBlob::kSignature));
  ASSERT_EQ(Decode(bytes, back), VE_OK);
  EXPECT_EQ(back.GetObject()->GetImplementation(), nullptr);
  VJSONObjectFactory::Get().RegisterSignature(VJSONBlob::kSignature, &VJSONBlob::CreateIJSONObject);
}

TEST(VJSONBinaryTest, EveryCutOfAStreamIsAnErrorOrAValue) {
  VRefPtr<VJSONObject> blob(VJSONBlob::Create("abc", 3), kAdoptRef);
  VJSONValue value = Parse(R"({"s":"text","n":[1,2.5,null,true],"o":{"d":{}}})");
  value.GetObject()->SetProperty(VString("b"), VJSONValue(blob.Get()));
  VJSONValue date;
  date.SetDate(1999, 12, 31);
  value.GetObject()->SetProperty(VString("t"), date);
  value.GetObject()->SetProperty(VString("again"), value.GetObject()->GetProperty(VString("o")));
  const std::string bytes = Encode(value);
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    ErrorCollector errors;
    VJSONValue back;
    EXPECT_EQ(Decode(bytes.substr(0, cut), back), ToolboxError(toolbox_error::kStreamEndOfData))
        << "cut at " << cut;
  }
  VJSONValue back;
  ASSERT_EQ(Decode(bytes, back), VE_OK);
  EXPECT_EQ(Write(back.GetObject()->GetProperty(VString("n"))), "[1,2.5,null,true]");
}

TEST(VJSONBinaryTest, LengthsAndCountsAreBoundedByTheBytesLeft) {
  const std::string cases[] = {
      std::string("\x03\xFF\xFF\xFF\x7F"
                  "ab",
                  7),                              // string count
      std::string("\x06\xFF\xFF\xFF\x0F\x00", 6),  // array count
      std::string("\x05\x10\x00\x61\x00", 5),      // name length
      std::string("\x05\xFD\xFF\x2A\x2A\x2A\x2A\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 15),  // block
      std::string("\x05\xFD\xFF\x62\x6C", 5),              // block signature
      std::string("\x42\xFF\x00\x00\x00\x00", 6),          // skip count
      std::string("\x42\x02\x00\x00\x00", 5),              // skip below its field
      std::string("\xFF\x09\x00\x00\x00\x23\x00", 7),      // reference length
      std::string("\x04\x00\x00\x00\x00\x00\x00\xF0", 8),  // number
  };
  for (const std::string& bytes : cases) {
    ErrorCollector errors;
    VJSONValue back;
    EXPECT_EQ(Decode(bytes, back), ToolboxError(toolbox_error::kStreamEndOfData))
        << Hex(bytes.data(), bytes.size());
    EXPECT_TRUE(HasToolboxError(errors.Errors(), toolbox_error::kStreamEndOfData));
  }
  // A skipped unknown kind and ignored markers leave the rest readable.
  VJSONValue back;
  ASSERT_EQ(Decode(std::string("\x06\x02\x00\x00\x00\x42\x05\x00\x00\x00\x09\x02", 12), back),
            VE_OK);
  EXPECT_EQ(Write(back), "[null,true]");
  ASSERT_EQ(Decode(std::string("\x05\xFE\x80\x01\x00\x78\x00\x02\xFF\xFF", 10), back), VE_OK);
  EXPECT_EQ(Write(back), R"({"x":true})");
  VJSONBinaryImporter nothing(nullptr, 10);
  ASSERT_EQ(nothing.GetValue(back), VE_OK);
  EXPECT_TRUE(back.IsUndefined());
}

TEST(VJSONBinaryTest, WriteThatCannotGrowTheBufferFails) {
  SharedBuffer* bytes = SharedBuffer::Create("a", 1);
  auto* huge = new VJSONBlob(bytes, 0, SIZE_MAX / 2);
  bytes->Release();
  VRefPtr<VJSONObject> object(new VJSONObject(VJSONBlob::GetClass(), huge, nullptr, false),
                              kAdoptRef);
  huge->Release();
  ErrorCollector errors;
  VError error = VE_OK;
  Encode(VJSONValue(object.Get()), &error);
  EXPECT_EQ(error, ToolboxError(toolbox_error::kMemoryFull));
}

TEST(VJSONBinaryTest, TextFallsBackToTheBinaryForm) {
  VRefPtr<VJSONObject> blob(VJSONBlob::Create("abc", 3), kAdoptRef);
  VJSONValue value = Parse(R"({"list":[1,2]})");
  value.GetObject()->SetProperty(VString("blob"), VJSONValue(blob.Get()));
  value.GetObject()->SetProperty(VString("loop"), value);
  VString text;
  ASSERT_EQ(value.Stringify(text, 0x1 | 0x800), VE_OK);
  EXPECT_EQ(to_string(text).rfind(R"({"__PRIVATE_BINARY_OBJECT":")", 0), 0u) << to_string(text);
  VJSONValue back;
  ASSERT_EQ(VJSONImporter::ParseString(text, back), VE_OK);
  EXPECT_EQ(back.GetObject()->GetProperty(VString("loop")).GetObject(), back.GetObject());
  EXPECT_NE(VJSONBlob::CastJSONObject(back.GetObject()->GetProperty(VString("blob")).GetObject()),
            nullptr);
  // Plain values stay text.
  ASSERT_EQ(Parse("[1,{}]").Stringify(text, 0x801), VE_OK);
  EXPECT_EQ(to_string(text), "[1,{}]");
  // Nested carriers are read at any depth; bags read the carried value.
  VString carrier;
  VJSONValue withBinary = Parse(R"({"a":{"b":1}})");
  withBinary.GetObject()->SetProperty(VString("again"),
                                      withBinary.GetObject()->GetProperty(VString("a")));
  ASSERT_EQ(withBinary.Stringify(carrier, 0x801), VE_OK);
  VJSONValue inArray = Parse(std::string("[").append(to_string(carrier)).append("]"));
  EXPECT_EQ(Write(inArray), R"([{"a":{"b":1},"again":{"b":1}}])");
  VValueBag bag;
  VJSONImporter bagReader(carrier);
  ASSERT_EQ(bagReader.JSONObjectToBag(bag), VE_OK);
  EXPECT_EQ(bag.GetElementNamesCount(), 2);
  // A carrier that does not decode is an error.
  ErrorCollector errors;
  VError error = VE_OK;
  Parse(R"({"__PRIVATE_BINARY_OBJECT":"BQ=="})", 0, &error);
  EXPECT_EQ(error, ToolboxError(toolbox_error::kStreamEndOfData));
}

TEST(VJSONBinaryTest, ContainerEmptiedWhileStreamedIsNotReadAfterwards) {
  // Native code run while the first element or property is streamed
  // empties the container, which held the only count of that element.
  const std::string later("l\0a\0t\0e\0r\0", 10);  // as streamed
  VJSONValue array(JSON_array);
  test::FillWithItsOwnEmptier(array.GetArray());
  VJSONValue object(JSON_object);
  test::FillWithItsOwnEmptier(object.GetObject());
  for (const VJSONValue* container : {&array, &object}) {
    VError error = VE_OK;
    const std::string bytes = Encode(*container, &error);
    EXPECT_EQ(error, VE_OK);
    EXPECT_EQ(bytes.find(later), std::string::npos);
  }
  EXPECT_EQ(array.GetArray()->GetCount(), 0u);
  EXPECT_TRUE(object.GetObject()->IsEmpty());
  // Met again, the emptier is referred to by the name it was written under.
  VJSONValue twice(JSON_array);
  VJSONValue parent(JSON_object);
  test::FillWithItsOwnEmptier(parent.GetObject());
  twice.GetArray()->Push(parent);
  twice.GetArray()->Push(parent.GetObject()->GetProperty(VString("emptier")));
  VError error = VE_OK;
  const std::string bytes = Encode(twice, &error);
  EXPECT_EQ(error, VE_OK);
  const std::string pointer(
      "#\0/\0"
      "0\0/\0e\0m\0p\0t\0i\0e\0r\0",
      22);
  EXPECT_NE(bytes.find(pointer), std::string::npos);
}

}  // namespace
}  // namespace zeft
