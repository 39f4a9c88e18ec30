#include "platform/PropertyList.h"

#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/VTypes.h"
#include "support/TempFolder.h"

namespace zeft::platform {
namespace {

using Value = PropertyListValue;
using zeft::test::TempFolder;

constexpr const char* kXMLHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";

std::string XMLPlist(const std::string& body) { return kXMLHead + body + "\n</plist>\n"; }

std::string Repeat(std::string_view piece, int times) {
  std::string text;
  text.reserve(piece.size() * size_t(times));
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

std::string Nested(int levels, const std::string& leaf) {
  return Repeat("<array>", levels) + leaf + Repeat("</array>", levels);
}

// ---------------------------------------------------------------------------
// Hand-made binary property lists, to reach shapes a writer never makes.

void AppendBigEndian(std::string& out, uint64 value, unsigned width) {
  for (unsigned k = width; k-- > 0;) out += char((value >> (8 * k)) & 0xFF);
}

std::string ArrayObject(const std::vector<uint64>& refs, unsigned refSize) {
  std::string object;
  if (refs.size() < 15) {
    object += char(0xA0 | refs.size());
  } else {
    object += char(0xAF);
    object += char(0x12);  // a 4-byte count follows
    AppendBigEndian(object, refs.size(), 4);
  }
  for (uint64 ref : refs) AppendBigEndian(object, ref, refSize);
  return object;
}

const std::string kTrueObject = "\x09";

// A dictionary of count keys then count values (references).
std::string DictionaryObject(const std::vector<uint64>& keys, const std::vector<uint64>& values) {
  std::string object(1, char(0xD0 | keys.size()));
  for (uint64 ref : keys) AppendBigEndian(object, ref, 4);
  for (uint64 ref : values) AppendBigEndian(object, ref, 4);
  return object;
}

struct BinaryLayout {
  std::vector<std::string> objects;
  unsigned refSize = 4;
  uint64 top = 0;
};

std::string BinaryPlist(const BinaryLayout& layout) {
  constexpr unsigned kOffsetSize = 4;
  std::string out = "bplist00";
  std::vector<uint64> offsets;
  for (const std::string& object : layout.objects) {
    offsets.push_back(out.size());
    out += object;
  }
  uint64 tableOffset = out.size();
  for (uint64 offset : offsets) AppendBigEndian(out, offset, kOffsetSize);
  out += std::string(6, '\0');
  out += char(kOffsetSize);
  out += char(layout.refSize);
  AppendBigEndian(out, layout.objects.size(), 8);
  AppendBigEndian(out, layout.top, 8);
  AppendBigEndian(out, tableOffset, 8);
  return out;
}

// Object i is an array holding object i + 1 (`fanOut` times); the last is true.
BinaryLayout Chain(int containers, int fanOut = 1) {
  BinaryLayout layout;
  for (int i = 0; i < containers; ++i)
    layout.objects.push_back(
        ArrayObject(std::vector<uint64>(size_t(fanOut), uint64(i + 1)), layout.refSize));
  layout.objects.push_back(kTrueObject);
  return layout;
}

// A dictionary of one entry whose key is the given object.
BinaryLayout DictionaryKeyedBy(std::string key) {
  BinaryLayout layout;
  layout.objects = {DictionaryObject({1}, {2}), std::move(key), kTrueObject};
  return layout;
}

int Depth(const Value& value) {
  const Value::Array* items = value.GetArray();
  if (items == nullptr) return 0;
  int deepest = 0;
  for (const Value& item : *items) deepest = std::max(deepest, Depth(item));
  return deepest + 1;
}

// ---------------------------------------------------------------------------

TEST(PropertyList, ReadsEveryTypeFromXML) {
  std::string error;
  auto value = ParsePropertyList(XMLPlist(R"(<dict>
  <key>CFBundleName</key><string>Probe &amp; Co</string>
  <key>Count</key><integer>42</integer>
  <key>Negative</key><integer>-5</integer>
  <key>Ratio</key><real>2.5</real>
  <key>Yes</key><true/>
  <key>No</key><false/>
  <key>When</key><date>2001-01-01T00:00:10Z</date>
  <key>Bytes</key><data>AAH/</data>
  <!-- a comment with <array> in it is not nesting -->
  <key>List</key><array><string>a</string><integer>1</integer><dict/></array>
  <key>Inner</key><dict><key>Deep</key><string>yes</string></dict>
</dict>)"),
                                 error);
  ASSERT_TRUE(value) << error;
  ASSERT_EQ(value->GetType(), Value::Type::kDictionary);
  EXPECT_EQ(value->GetDictionary()->size(), 10u);
  EXPECT_EQ(value->GetDictionary()->front().first, "CFBundleName");

  EXPECT_EQ(*value->Find("CFBundleName")->GetString(), "Probe & Co");
  EXPECT_EQ(*value->Find("Count")->GetInteger(), 42);
  EXPECT_EQ(*value->Find("Negative")->GetInteger(), -5);
  EXPECT_EQ(*value->Find("Ratio")->GetReal(), 2.5);
  EXPECT_TRUE(*value->Find("Yes")->GetBoolean());
  EXPECT_FALSE(*value->Find("No")->GetBoolean());
  EXPECT_EQ(*value->Find("When")->GetDate(), (Value::Date{978307210, 0}));
  EXPECT_EQ(*value->Find("Bytes")->GetData(), (Value::Data{0x00, 0x01, 0xFF}));
  const Value::Array* list = value->Find("List")->GetArray();
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->size(), 3u);
  EXPECT_EQ(*(*list)[0].GetString(), "a");
  EXPECT_EQ((*list)[2].GetType(), Value::Type::kDictionary);
  EXPECT_EQ(*value->Find("Inner")->Find("Deep")->GetString(), "yes");

  // Typed getters answer null for other types; Find needs a dictionary.
  EXPECT_EQ(value->Find("Count")->GetString(), nullptr);
  EXPECT_EQ(value->Find("CFBundleName")->GetInteger(), nullptr);
  EXPECT_EQ(value->Find("Absent"), nullptr);
  EXPECT_EQ(value->Find("List")->Find("a"), nullptr);
}

TEST(PropertyList, XMLAndBinaryFormsReadAlike) {
  std::unique_ptr<void, void (*)(plist_t)> root(plist_new_dict(), plist_free);
  plist_dict_set_item(root.get(), "Name", plist_new_string("Probe"));
  plist_dict_set_item(root.get(), "Big", plist_new_uint(uint64(1) << 40));
  plist_dict_set_item(root.get(), "Minus", plist_new_uint(uint64(-7)));
  plist_dict_set_item(root.get(), "Real", plist_new_real(-0.25));
  plist_dict_set_item(root.get(), "Flag", plist_new_bool(1));
  plist_dict_set_item(root.get(), "When", plist_new_date(86400, 0));
  plist_dict_set_item(root.get(), "Bytes", plist_new_data("\x00\x7F", 2));
  plist_t list = plist_new_array();
  plist_array_append_item(list,
                          plist_new_string("\xC3\xA9t\xC3\xA9"));  // non-ASCII: UTF-16 in binary
  plist_array_append_item(list, plist_new_dict());
  plist_dict_set_item(root.get(), "List", list);

  Value expected = Value::FromDictionary({
      {"Name", Value::FromString("Probe")},
      {"Big", Value::FromInteger(int64(1) << 40)},
      {"Minus", Value::FromInteger(-7)},
      {"Real", Value::FromReal(-0.25)},
      {"Flag", Value::FromBoolean(true)},
      {"When", Value::FromDate({978307200 + 86400, 0})},
      {"Bytes", Value::FromData({0x00, 0x7F})},
      {"List", Value::FromArray({Value::FromString("\xC3\xA9t\xC3\xA9"), Value()})},
  });

  char* xml = nullptr;
  uint32_t xmlLength = 0;
  plist_to_xml(root.get(), &xml, &xmlLength);
  char* binary = nullptr;
  uint32_t binaryLength = 0;
  plist_to_bin(root.get(), &binary, &binaryLength);
  std::string xmlBytes(xml, xmlLength);
  std::string binaryBytes(binary, binaryLength);
  plist_to_xml_free(xml);
  plist_to_bin_free(binary);

  ASSERT_TRUE(binaryBytes.starts_with("bplist00"));
  for (const std::string* bytes : {&xmlBytes, &binaryBytes}) {
    std::string error;
    auto value = ParsePropertyList(*bytes, error);
    ASSERT_TRUE(value) << error;
    EXPECT_EQ(*value, expected);
  }
}

TEST(PropertyList, HandMadeBinaryLayoutIsRead) {
  // Guards the hand-made layouts below: a sound one must be accepted.
  BinaryLayout layout;
  layout.objects = {ArrayObject({1, 1, 2}, 4), kTrueObject, "\x08"};
  std::string error;
  auto value = ParsePropertyList(BinaryPlist(layout), error);
  ASSERT_TRUE(value) << error;
  EXPECT_EQ(*value, Value::FromArray({Value::FromBoolean(true), Value::FromBoolean(true),
                                      Value::FromBoolean(false)}));
}

TEST(PropertyList, BinaryDictionaryKeysMayBeASCIIOrUTF16) {
  // "k" in ASCII and "\u00e9" in UTF-16: both are keys.
  BinaryLayout layout;
  layout.objects = {DictionaryObject({1, 2}, {3, 3}), "\x51k", std::string("\x61\x00\xe9", 3),
                    kTrueObject};
  std::string error;
  auto value = ParsePropertyList(BinaryPlist(layout), error);
  ASSERT_TRUE(value) << error;
  EXPECT_EQ(*value, Value::FromDictionary(
                        {{"k", Value::FromBoolean(true)}, {"\xc3\xa9", Value::FromBoolean(true)}}));
}

TEST(PropertyList, NestingUpToTheCapIsAccepted) {
  std::string error;
  // Leaves written as an empty element or with content count alike.
  for (const char* leaf : {"<true/>", "<string>x</string>"}) {
    SCOPED_TRACE(leaf);
    auto xml = ParsePropertyList(XMLPlist(Nested(kPropertyListMaxDepth, leaf)), error);
    ASSERT_TRUE(xml) << error;
    EXPECT_EQ(Depth(*xml), kPropertyListMaxDepth);
  }
  auto binary = ParsePropertyList(BinaryPlist(Chain(kPropertyListMaxDepth)), error);
  ASSERT_TRUE(binary) << error;
  EXPECT_EQ(Depth(*binary), kPropertyListMaxDepth);
}

// An ASCII string object of `length` bytes.
std::string StringObject(size_t length) {
  std::string object = "\x5F\x12";  // a 4-byte count follows
  AppendBigEndian(object, length, 4);
  return object + std::string(length, 's');
}

// A date object: seconds from 2001 as a big-endian double.
std::string DateObject(double seconds) {
  uint64 bits = 0;
  std::memcpy(&bits, &seconds, sizeof(bits));
  std::string object = "\x33";
  AppendBigEndian(object, bits, 8);
  return object;
}

TEST(PropertyList, LongBinaryArraysAreReadInOneWalk) {
  // Fetching each element by its index made this take minutes.
  BinaryLayout layout;
  layout.objects = {ArrayObject(std::vector<uint64>(300000, 1), 4), kTrueObject};
  std::string error;
  auto value = ParsePropertyList(BinaryPlist(layout), error);
  ASSERT_TRUE(value) << error;
  ASSERT_EQ(value->GetArray()->size(), 300000u);
  EXPECT_EQ(value->GetArray()->back(), Value::FromBoolean(true));
}

TEST(PropertyList, RepeatedKeysKeepOneEntryWithTheLastValue) {
  const Value expected =
      Value::FromDictionary({{"a", Value::FromInteger(2)}, {"b", Value::FromBoolean(true)}});
  BinaryLayout layout;
  layout.objects = {DictionaryObject({1, 2, 1}, {3, 4, 5}),
                    "\x51"
                    "a",
                    "\x51"
                    "b",
                    "\x10\x01",
                    kTrueObject,
                    "\x10\x02"};
  const std::string forms[] = {XMLPlist("<dict><key>a</key><integer>1</integer><key>b</key><true/>"
                                        "<key>a</key><integer>2</integer></dict>"),
                               BinaryPlist(layout)};
  for (const std::string& bytes : forms) {
    std::string error;
    auto value = ParsePropertyList(bytes, error);
    ASSERT_TRUE(value) << error;
    EXPECT_EQ(*value, expected);
  }
}

TEST(PropertyList, DatesAreReadWholeOrRefused) {
  // 2024-03-05T10:20:30Z and 1953-06-16T... are read exactly.
  std::string error;
  auto xml = ParsePropertyList(XMLPlist("<date>2024-03-05T10:20:30Z</date>"), error);
  ASSERT_TRUE(xml) << error;
  EXPECT_EQ(*xml, Value::FromDate({1709634030, 0}));
  BinaryLayout early;
  early.objects = {DateObject(-1.5e9)};
  auto binary = ParsePropertyList(BinaryPlist(early), error);
  ASSERT_TRUE(binary) << error;
  EXPECT_EQ(*binary, Value::FromDate({978307200 - 1500000000, 0}));

  // Dates the reader cannot hold whole are refused, never moved.
  const std::string refused[] = {
      XMLPlist("<date>2070-01-01T00:00:00Z</date>"),
      XMLPlist("<date>1900-01-01T00:00:00Z</date>"),
      XMLPlist("<array><date>not a date</date></array>"),
      BinaryPlist({{DateObject(3e9)}}),
      BinaryPlist({{DateObject(-3e9)}}),
      BinaryPlist({{DateObject(std::numeric_limits<double>::quiet_NaN())}}),
  };
  for (const std::string& bytes : refused) {
    auto value = ParsePropertyList(bytes, error);
    EXPECT_FALSE(value);
    EXPECT_NE(error.find("date out of the readable range"), std::string::npos) << error;
  }
}

TEST(PropertyList, BadInputFailsWithAReason) {
  BinaryLayout outOfRange;
  outOfRange.objects = {ArrayObject({5}, 4)};
  BinaryLayout selfReference;
  selfReference.objects = {ArrayObject({0}, 4)};
  BinaryLayout loop;
  loop.objects = {ArrayObject({1}, 4), ArrayObject({0}, 4)};
  BinaryLayout uid;
  uid.objects = {"\x80\x01"};
  BinaryLayout badTop = Chain(1);
  badTop.top = 7;
  std::string truncated = BinaryPlist(Chain(3));
  truncated.resize(truncated.size() - 10);
  std::string tableOutside = BinaryPlist(Chain(2));
  tableOutside[tableOutside.size() - 1] = char(0xF0);
  // One string of 4,000 bytes referred to 20,000 times: 80 MB once expanded.
  BinaryLayout sharedString;
  sharedString.objects = {ArrayObject(std::vector<uint64>(20000, 1), 4), StringObject(4000)};
  std::string countTooLarge = BinaryPlist(Chain(1));
  countTooLarge[countTooLarge.size() - 20] = 0x7F;

  struct Case {
    const char* name;
    std::string bytes;
    const char* reason;
  };
  const std::string tooDeep = "deeper than 64 levels";
  const Case cases[] = {
      {"empty", "", "is empty"},
      {"not a property list", "hello world", "malformed XML"},
      {"unclosed XML", std::string(kXMLHead) + "<dict><key>a</key><string>b</string>",
       "malformed XML"},
      {"mismatched XML", XMLPlist("<dict><key>a</key></array>"), "malformed XML"},
      {"unterminated comment", XMLPlist("<!-- never closed <dict/>"), "malformed XML"},
      {"XML one level too deep", XMLPlist(Nested(kPropertyListMaxDepth + 1, "<true/>")),
       tooDeep.c_str()},
      // Deep enough to overflow the stack of a recursive parser or free.
      {"XML nested a million times", XMLPlist(Nested(1000000, "")), tooDeep.c_str()},
      {"XML opened two million times", std::string(kXMLHead) + Repeat("<array>", 2000000),
       tooDeep.c_str()},
      {"binary one level too deep", BinaryPlist(Chain(kPropertyListMaxDepth + 1)), tooDeep.c_str()},
      {"binary nested 200000 times", BinaryPlist(Chain(200000)), tooDeep.c_str()},
      // 40 levels that each refer twice to the next: 2^41 values once expanded.
      {"binary shared-reference bomb", BinaryPlist(Chain(40, 2)), "more than 1048576 values"},
      {"binary shared-string bomb", BinaryPlist(sharedString), "expands to more than"},
      {"binary reference out of range", BinaryPlist(outOfRange), "malformed binary"},
      {"binary array holding itself", BinaryPlist(selfReference), "refers to itself"},
      {"binary loop of two arrays", BinaryPlist(loop), "refers to itself"},
      {"binary top object out of range", BinaryPlist(badTop), "malformed binary"},
      {"binary truncated", truncated, "malformed binary"},
      {"binary offset table outside", tableOutside, "malformed binary"},
      {"binary object count too large", countTooLarge, "more than 1048576 values"},
      {"binary other version", "bplist15" + BinaryPlist(Chain(1)).substr(8), "unsupported binary"},
      {"binary unsupported type", BinaryPlist(uid), "unsupported type"},
      // A NUL in a key aborted the process (UTF-16) or cut the key (ASCII).
      {"binary key with a NUL", BinaryPlist(DictionaryKeyedBy(std::string("\x53k\0y", 4))),
       "malformed binary"},
      {"binary UTF-16 key with a NUL",
       BinaryPlist(DictionaryKeyedBy(std::string("\x62\0k\0\0", 5))), "malformed binary"},
      {"binary key that is no string", BinaryPlist(DictionaryKeyedBy(kTrueObject)),
       "malformed binary"},
      {"binary key running past its object", BinaryPlist(DictionaryKeyedBy("\x5Fk")),
       "malformed binary"},
      {"too large", std::string(kPropertyListMaxFileSize + 1, ' '), "larger than 16777216 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    auto value = ParsePropertyList(c.bytes, error);
    EXPECT_FALSE(value);
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

TEST(PropertyList, ScalarRootIsAPropertyListButNotAnInfoPlist) {
  TempFolder folder;
  std::string path = folder.Write("root.plist", XMLPlist("<array><string>x</string></array>"));
  std::string error;
  auto value = LoadPropertyList(path, error);
  ASSERT_TRUE(value) << error;
  EXPECT_EQ(value->GetType(), Value::Type::kArray);
  EXPECT_FALSE(LoadInfoPlist(path, error));
  EXPECT_NE(error.find("not a dictionary"), std::string::npos) << error;
  EXPECT_NE(error.find(path), std::string::npos) << error;

  path = folder.Write("Info.plist", XMLPlist("<dict><key>K</key><string>V</string></dict>"));
  value = LoadInfoPlist(path, error);
  ASSERT_TRUE(value) << error;
  EXPECT_EQ(*value->Find("K")->GetString(), "V");
}

TEST(PropertyList, FileProblemsNameThePathAndTheCause) {
  TempFolder folder;
  std::string tooLarge = folder.Path("large.plist");
  folder.Write("large.plist", "");
  ASSERT_EQ(::truncate(tooLarge.c_str(), off_t(kPropertyListMaxFileSize) + 1), 0);  // sparse
  // Opening a pipe without a writer used to wait forever.
  std::string pipe = folder.Path("pipe.plist");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);

  struct Case {
    std::string path;
    const char* reason;
  };
  const Case cases[] = {
      {folder.Path("missing.plist"), "No such file or directory"},
      {folder.MakeFolder("folder.plist"), "is not a regular file"},
      {pipe, "is not a regular file"},
      {folder.Write("empty.plist", ""), "is empty"},
      {folder.Write("bad.plist", "<plist><dict><key>"), "malformed XML"},
      {tooLarge, "larger than 16777216 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string error;
    EXPECT_FALSE(LoadPropertyList(c.path, error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_NE(error.find(c.path), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace zeft::platform
