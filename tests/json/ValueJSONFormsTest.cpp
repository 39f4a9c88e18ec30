// The JSON value and text forms of the values: scalars, strings, durations,
// times, UUIDs, blobs, and the kinds that have none.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "JSONTestSupport.h"
#include "core/VBoolean.h"
#include "core/VByte.h"
#include "core/VCompareOptions.h"
#include "core/VEmpty.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VWord.h"
#include "json/VJSONBlob.h"
#include "support/ErrorTestSupport.h"
#include "values/VArrayLong.h"
#include "values/VBlobWithPtr.h"
#include "values/VConstBlobWithPtr.h"
#include "values/VDuration.h"
#include "values/VTime.h"
#include "values/VUUID.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::HasToolboxError;
using test::Parse;
using test::Write;

constexpr VError kNotSupported = ToolboxError(toolbox_error::kNotSupportedByValue);

// The JSON value a value gives, as compact JSON text ("undefined" aside).
std::string JSONOf(const VValue& value, uint32 options = 0) {
  VJSONValue json(JSON_string);
  EXPECT_EQ(value.GetJSONValue(json, options), VE_OK);
  if (json.IsUndefined()) return "undefined";
  return Write(json);
}

VTime UTC(int16 y, int16 mo, int16 d, int16 h, int16 mi, int16 s, int16 ms) {
  VTime time;
  time.FromUTCTime(y, mo, d, h, mi, s, ms);
  return time;
}

TEST(ValueJSONFormsTest, ScalarsGiveBooleansNumbersOrNull) {
  VLong nullLong(7);
  nullLong.SetNull(true);
  struct Case {
    std::unique_ptr<VValue> value;
    const char* json;
  };
  Case cases[] = {
      {std::make_unique<VBoolean>(true), "true"},
      {std::make_unique<VBoolean>(false), "false"},
      {std::make_unique<VByte>(-5), "-5"},
      {std::make_unique<VWord>(int16(30000)), "30000"},
      {std::make_unique<VLong>(-70000), "-70000"},
      {std::make_unique<VLong8>(int64(1) << 40), "1099511627776"},
      {std::make_unique<VReal>(1.5), "1.5"},
      {std::unique_ptr<VValue>(nullLong.Clone()), "null"},
  };
  for (const Case& c : cases) EXPECT_EQ(JSONOf(*c.value), c.json) << c.json;
}

TEST(ValueJSONFormsTest, IntegersRoundDownAndRefuseWhatDoesNotFit) {
  struct Case {
    const char* json;
    int64 asLong;
    int64 asByte;
    int64 asLong8;
  };
  const Case cases[] = {
      {"2.9", 2, 2, 2},
      {"-0.5", -1, -1, -1},
      {"1e12", 0, 0, 1000000000000},     // outside 32 bits: 0
      {"300.5", 300, 44, 300},           // low 8 bits of 300
      {"1e19", 0, 0, 0},                 // outside 64 bits
      {"9223372036854775808", 0, 0, 0},  // 2^63: saturating would give 2^63 - 1
      {"-9223372036854775808", 0, 0, std::numeric_limits<int64>::min()},
      {"\"7.5\"", 7, 7, 7},
      {"\"0x10\"", 16, 16, 16},
      {"true", 1, 1, 1},
      {"{}", 0, 0, 0},
  };
  for (const Case& c : cases) {
    const VJSONValue json = Parse(c.json);
    VLong asLong(99);
    VByte asByte(99);
    VLong8 asLong8(99);
    asLong.SetDirty(false);
    EXPECT_EQ(asLong.FromJSONValue(json), VE_OK);
    EXPECT_EQ(asByte.FromJSONValue(json), VE_OK);
    EXPECT_EQ(asLong8.FromJSONValue(json), VE_OK);
    EXPECT_EQ(asLong.GetLong8(), c.asLong) << c.json;
    EXPECT_EQ(asByte.GetLong8(), c.asByte) << c.json;
    EXPECT_EQ(asLong8.GetLong8(), c.asLong8) << c.json;
    EXPECT_FALSE(asLong.IsNull()) << c.json;
    EXPECT_TRUE(asLong.IsDirty()) << c.json;
  }
}

TEST(ValueJSONFormsTest, JSONNullMakesScalarsNull) {
  const VJSONValue null(JSON_null);
  VLong number(5);
  VBoolean flag(true);
  VReal real(2.5);
  for (VValue* value :
       {static_cast<VValue*>(&number), static_cast<VValue*>(&flag), static_cast<VValue*>(&real)}) {
    EXPECT_EQ(value->FromJSONValue(null), VE_OK);
    EXPECT_TRUE(value->IsNull());
  }
  EXPECT_EQ(real.GetReal(), 2.5) << "a real keeps its number";
  // Undefined is not null: it reads as 0 / false.
  EXPECT_EQ(number.FromJSONValue(VJSONValue(JSON_undefined)), VE_OK);
  EXPECT_FALSE(number.IsNull());
  EXPECT_EQ(number.GetLong(), 0);
}

TEST(ValueJSONFormsTest, BooleansAndRealsReadJSONValuesAndFallBackOnBadText) {
  struct BoolCase {
    const char* json;
    bool expected;
  };
  const BoolCase bools[] = {{"\"\"", false}, {"\"x\"", true}, {"0", false},
                            {"0.5", true},   {"[]", true},    {"{}", true}};
  for (const BoolCase& c : bools) {
    VBoolean flag(!c.expected);
    EXPECT_EQ(flag.FromJSONValue(Parse(c.json)), VE_OK);
    EXPECT_EQ(flag.GetBoolean() != 0, c.expected) << c.json;
  }
  VReal real;
  EXPECT_EQ(real.FromJSONValue(Parse("\"0x10\"")), VE_OK);
  EXPECT_EQ(real.GetReal(), 16.0);

  VBoolean flag(true);
  flag.SetNull(true);
  EXPECT_EQ(flag.FromJSONString(VString("TRUE"), 0), VE_OK);
  EXPECT_EQ(flag.GetBoolean(), 1);
  EXPECT_EQ(flag.FromJSONString(VString("yes"), 0), VE_OK);
  EXPECT_EQ(flag.GetBoolean(), 0);
  EXPECT_FALSE(flag.IsNull());
  EXPECT_EQ(real.FromJSONString(VString("1,5"), 0), VE_OK);
  EXPECT_EQ(real.GetReal(), 1.5);
  EXPECT_EQ(real.FromJSONString(VString("1.5x"), 0), VE_OK);
  EXPECT_EQ(real.GetReal(), 0.0);
}

TEST(ValueJSONFormsTest, StringsReadTheTextOfAnyJSONValue) {
  VString nullString("x");
  nullString.SetNull(true);
  EXPECT_EQ(JSONOf(nullString), "null");
  EXPECT_EQ(JSONOf(VString("a\"b")), "\"a\\\"b\"");
  EXPECT_EQ(JSONOf(VString("")), "\"\"");

  struct Case {
    VJSONValue json;
    const char* text;
  };
  const Case cases[] = {
      {Parse("1.5"), "1.5"},
      {Parse("true"), "true"},
      {Parse("\"caf\\u00e9\""), "caf\xC3\xA9"},
      {Parse("{\"a\":1}"), "[object Object]"},
      {Parse("[1,2]"), "1,2"},
      {VJSONValue(JSON_undefined), ""},
      {VJSONValue(UTC(2024, 3, 5, 10, 0, 0, 0)), "2024-03-05"},
  };
  for (const Case& c : cases) {
    VString text("old");
    EXPECT_EQ(text.FromJSONValue(c.json), VE_OK);
    EXPECT_EQ(to_string(text), c.text);
    EXPECT_FALSE(text.IsNull()) << c.text;
  }
  VString text("old");
  EXPECT_EQ(text.FromJSONValue(VJSONValue(JSON_null)), VE_OK);
  EXPECT_TRUE(text.IsNull());
}

TEST(ValueJSONFormsTest, DurationsAreSecondsMillisecondsOrColonText) {
  struct Case {
    int64 milliseconds;
    uint32 options;
    const char* json;
  };
  const Case cases[] = {
      {1500, 0, "1.5"},
      {1500, VDuration::kJSONMilliseconds, "1500"},
      {1500, VDuration::kJSONColonForm, "\"0:00:01\""},
      {90000000, VDuration::kJSONColonForm, "\"25:00:00\""},
      {3723000, VDuration::kJSONColonForm, "\"1:02:03\""},
      {-1500, VDuration::kJSONColonForm, "\"-0:00:01\""},
      {-3723000, VDuration::kJSONColonForm, "\"-1:02:03\""},
      {-1500, 0, "-1.5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JSONOf(VDuration(c.milliseconds), c.options), c.json) << c.milliseconds;
  }
  VDuration duration(5);
  duration.SetNull(true);
  EXPECT_EQ(JSONOf(duration), "null");
  EXPECT_EQ(duration.FromJSONValue(Parse("2.0005")), VE_OK);
  EXPECT_FALSE(duration.IsNull());
  EXPECT_EQ(duration.ConvertToMilliseconds(), 2000) << "truncated to milliseconds";
  EXPECT_EQ(duration.FromJSONValue(VJSONValue(JSON_null)), VE_OK);
  EXPECT_TRUE(duration.IsNull());

  // The text form counts milliseconds, null or not.
  VString text;
  EXPECT_EQ(VDuration(1500).GetJSONString(text, 0), VE_OK);
  EXPECT_EQ(to_string(text), "1500");
  EXPECT_EQ(duration.FromJSONString(VString("2500"), 0), VE_OK);
  EXPECT_EQ(duration.ConvertToMilliseconds(), 2500);
  EXPECT_FALSE(duration.IsNull());
}

TEST(ValueJSONFormsTest, TimesAreTextOrDates) {
  const VTime time = UTC(2024, 3, 5, 10, 20, 30, 400);
  EXPECT_EQ(JSONOf(time), "\"2024-03-05T10:20:30.400Z\"");
  VJSONValue date;
  EXPECT_EQ(time.GetJSONValue(date, VTime::kJSONAsDate), VE_OK);
  ASSERT_TRUE(date.IsDate());
  int16 year = 0, month = 0, day = 0;
  ASSERT_TRUE(date.GetDate(&year, &month, &day));
  EXPECT_EQ(year * 10000 + month * 100 + day, 20240305);

  VTime read;
  EXPECT_EQ(read.FromJSONValue(Parse("\"2024-03-05T10:20:30.400Z\"")), VE_OK);
  EXPECT_TRUE(read.EqualTo(time, false));
  EXPECT_EQ(read.FromJSONValue(date), VE_OK);
  EXPECT_TRUE(read.EqualTo(UTC(2024, 3, 5, 0, 0, 0, 0), false)) << "a date reads as its midnight";
  EXPECT_EQ(read.FromJSONString(VString("2024-03-05T10:20:30.400Z"), 0), VE_OK);
  EXPECT_TRUE(read.EqualTo(time, false));
  EXPECT_EQ(read.FromJSONValue(VJSONValue(JSON_null)), VE_OK);
  EXPECT_TRUE(read.IsNull());
  EXPECT_EQ(JSONOf(read, VTime::kJSONAsDate), "null");
}

TEST(ValueJSONFormsTest, UUIDsAreTheirDigits) {
  const VUUID uuid("0123456789ABCDEF0123456789ABCDEF");
  VString text;
  EXPECT_EQ(uuid.GetJSONString(text, VString::kJSONWithQuotes), VE_OK);
  EXPECT_EQ(to_string(text), "\"0123456789ABCDEF0123456789ABCDEF\"");
  EXPECT_EQ(JSONOf(uuid), "\"0123456789ABCDEF0123456789ABCDEF\"");
  VUUID read;
  EXPECT_EQ(read.FromJSONValue(Parse("\"0123456789abcdef0123456789abcdef\"")), VE_OK);
  EXPECT_TRUE(read.EqualTo(uuid, false));
  EXPECT_EQ(read.FromJSONValue(VJSONValue(JSON_null)), VE_OK);
  EXPECT_TRUE(read.IsNull());
  EXPECT_EQ(JSONOf(read), "null");
}

TEST(ValueJSONFormsTest, BlobsBecomeBlobObjectsAndBack) {
  const VBlobWithPtr blob("\x00\x01\xFFzz", 5);
  VJSONValue json;
  EXPECT_EQ(blob.GetJSONValue(json, 0), VE_OK);
  const VJSONBlob* object = VJSONBlob::CastJSONObject(json.GetObject());
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(object->GetData()), object->GetSize()),
            std::string("\x00\x01\xFFzz", 5));

  VBlobWithPtr read;
  EXPECT_EQ(read.FromJSONValue(json), VE_OK);
  EXPECT_TRUE(read.EqualToSameKind(&blob, false));
  EXPECT_FALSE(read.IsNull());

  // A slice reads as its own bytes only.
  VRefPtr<VJSONObject> slice(object->CreateSlice(1, 3), kAdoptRef);
  EXPECT_EQ(read.FromJSONValue(VJSONValue(slice.Get())), VE_OK);
  EXPECT_EQ(read.GetSize(), 2u);
  EXPECT_TRUE(read.EqualToSameKind(std::make_unique<VBlobWithPtr>("\x01\xFF", 2).get(), false));

  // An empty blob stays an empty, non-null blob.
  const VBlobWithPtr empty;
  EXPECT_EQ(empty.GetJSONValue(json, 0), VE_OK);
  EXPECT_EQ(read.FromJSONValue(json), VE_OK);
  EXPECT_FALSE(read.IsNull());
  EXPECT_EQ(read.GetSize(), 0u);

  for (const char* other : {"{}", "\"AAE=\"", "null", "[1]"}) {
    EXPECT_EQ(read.FromJSONValue(Parse(other)), VE_OK);
    EXPECT_TRUE(read.IsNull()) << other;
    EXPECT_EQ(read.GetSize(), 0u) << other;
  }
}

TEST(ValueJSONFormsTest, EveryKindRoundTripsThroughItsJSONValue) {
  std::unique_ptr<VValueSingle> values[] = {
      std::make_unique<VBoolean>(true),
      std::make_unique<VByte>(-7),
      std::make_unique<VWord>(int16(-300)),
      std::make_unique<VLong>(123456),
      std::make_unique<VLong8>(int64(1) << 52),
      std::make_unique<VReal>(-0.125),
      std::make_unique<VString>("text \"quoted\"\n"),
      std::make_unique<VDuration>(90061500),
      std::make_unique<VTime>(UTC(1999, 12, 31, 23, 59, 59, 999)),
      std::make_unique<VUUID>("00112233445566778899AABBCCDDEEFF"),
      std::make_unique<VBlobWithPtr>("abc", 3),
  };
  for (const auto& value : values) {
    VJSONValue json;
    ASSERT_EQ(value->GetJSONValue(json, 0), VE_OK);
    // Through text as well: what is stored must survive a writer and parser.
    const VJSONValue reparsed = json.IsObject() ? json : Parse(Write(json));
    std::unique_ptr<VValue> read(VValue::NewValueFromValueKind(value->GetValueKind()));
    ASSERT_NE(read, nullptr);
    read->SetNull(true);
    ASSERT_EQ(read->FromJSONValue(reparsed), VE_OK);
    EXPECT_FALSE(read->IsNull()) << value->GetValueKind();
    EXPECT_TRUE(read->EqualToSameKind(value.get(), true)) << value->GetValueKind();
  }
}

TEST(ValueJSONFormsTest, KindsWithoutAJSONValueFormRefuseIt) {
  // Single values without a form of their own answer error 2 unraised.
  {
    ErrorCollector errors;
    const char bytes[] = "xy";
    VConstBlobWithPtr view(bytes, 2);
    VJSONValue json(1.0);
    EXPECT_EQ(view.GetJSONValue(json, 0), kNotSupported);
    EXPECT_TRUE(json.IsNull());
    VEmpty empty;
    EXPECT_EQ(empty.FromJSONValue(Parse("1")), kNotSupported);
    EXPECT_TRUE(errors.Errors().empty());
  }
  // Arrays have no JSON form at all: each slot raises error 2.
  ErrorCollector errors;
  VArrayLong array;
  array.AppendLong(1);
  VJSONValue json(1.0);
  VString text("kept");
  EXPECT_EQ(array.GetJSONValue(json, 0), kNotSupported);
  EXPECT_TRUE(json.IsUndefined());
  EXPECT_EQ(array.FromJSONValue(Parse("[1]")), kNotSupported);
  EXPECT_EQ(array.GetJSONString(text, 0), kNotSupported);
  EXPECT_EQ(array.FromJSONString(VString("[1]"), 0), kNotSupported);
  EXPECT_EQ(to_string(text), "kept");
  EXPECT_EQ(array.GetCount(), 1);
  EXPECT_EQ(errors.Errors().size(), 4u);
  EXPECT_TRUE(HasToolboxError(errors.Errors(), toolbox_error::kNotSupportedByValue));
}

TEST(ValueJSONFormsTest, ValuesBecomeTheScalarsJSONHolds) {
  VLong nullLong(3);
  nullLong.SetNull(true);
  VDuration nullDuration(5);
  nullDuration.SetNull(true);
  struct Case {
    const VValueSingle* value;
    bool milliseconds;
    uint16 kind;
    const char* text;
    bool isNull;
  };
  const VLong8 long8(int64(1) << 40);
  const VUUID uuid("00112233445566778899AABBCCDDEEFF");
  const VDuration duration(1500);
  const VString text("t");
  const VBoolean flag(true);
  const Case cases[] = {
      {&long8, false, kValueKindReal, "1099511627776", false},
      {&nullLong, false, kValueKindReal, "3", true},
      {&uuid, false, kValueKindString, "00112233445566778899AABBCCDDEEFF", false},
      {&duration, false, kValueKindReal, "1.5", false},
      {&duration, true, kValueKindReal, "1500", false},
      {&nullDuration, true, kValueKindReal, "0", true},
      {&text, false, kValueKindString, "t", false},
      {&flag, false, kValueKindBoolean, "true", false},
  };
  for (const Case& c : cases) {
    std::unique_ptr<VValueSingle> scalar(
        VValueSingle::ConvertVValueToJSONScalar(*c.value, c.milliseconds));
    ASSERT_NE(scalar, nullptr);
    EXPECT_EQ(scalar->GetValueKind(), c.kind) << c.text;
    EXPECT_EQ(scalar->IsNull(), c.isNull) << c.text;
    VString form;
    scalar->GetString(form);
    EXPECT_EQ(to_string(form), c.text);
  }
  struct KindCase {
    uint16 kind;
    JSONType type;
  };
  const KindCase kinds[] = {{kValueKindBoolean, JSON_true}, {kValueKindReal, JSON_number},
                            {kValueKindTime, JSON_date},    {kValueKindString, JSON_string},
                            {kValueKindLong, JSON_null},    {kValueKindDuration, JSON_null},
                            {kValueKindEmpty, JSON_null},   {kValueKindUUID, JSON_null},
                            {kValueKindBag, JSON_null}};
  for (const KindCase& c : kinds) {
    EXPECT_EQ(VValueSingle::ValueKindToJsonType(c.kind), c.type) << c.kind;
  }
}

TEST(ValueJSONFormsTest, CompareOptionsCarryOnlyTheDiacriticalFlag) {
  VCompareOptions options;
  options.SetDiacritical(true);
  options.SetLike(true);
  options.SetEpsilon(0.5);
  VRefPtr<VJSONObject> object(new VJSONObject, kAdoptRef);
  EXPECT_EQ(options.ToJSON(object.Get()), VE_OK);
  EXPECT_EQ(Write(VJSONValue(object.Get())), "{\"diacritical\":true}");

  struct Case {
    const char* json;
    bool before;
    bool after;
  };
  const Case cases[] = {
      {"{\"diacritical\":false}", true, false},
      {"{\"diacritical\":true}", false, true},
      {"{\"diacritical\":1}", true, true},
      {"{\"diacritical\":\"false\"}", true, true},
      {"{}", false, false},
  };
  for (const Case& c : cases) {
    VCompareOptions read;
    read.SetDiacritical(c.before);
    EXPECT_EQ(read.FromJSON(Parse(c.json).GetObject()), VE_OK);
    EXPECT_EQ(read.IsDiacritical(), c.after) << c.json;
  }
  VCompareOptions read;
  EXPECT_NE(read.FromJSON(nullptr), VE_OK);
  EXPECT_NE(read.ToJSON(nullptr), VE_OK);
}

}  // namespace
}  // namespace zeft
