// VJSONValue is the toolbox's universal data value: a small tagged value that
// holds a number, a text (sharing VString's heap buffer), a date, or one
// counted reference to a shared VJSONObject or VJSONArray.
#pragma once

#include <atomic>
#include <cstring>
#include <unordered_set>

#include "core/VErrorCodes.h"
#include "core/VInlineString.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "core/VTypes.h"

namespace zeft {

class IFile;
class VCompareOptions;
class VJSONArray;
class VJSONComparedPairs;
class VJSONObject;
class VTime;
class VValueSingle;

enum JSONType : int32 {
  JSON_null = 0,
  JSON_false = 1,
  JSON_true = 2,
  JSON_string = 3,
  JSON_number = 4,
  JSON_object = 5,
  JSON_array = 6,
  JSON_undefined = 7,
  JSON_date = 8,
  JSON_LastType = 9
};

// Counter of the tags that string payloads take (relaxed: a tag only marks a
// new payload, it is not an identity).
extern std::atomic<uint32> __VInlineString_tag;

class VJSONValue final : public VObject {
 public:
  explicit VJSONValue(JSONType type = JSON_undefined);
  explicit VJSONValue(VJSONObject* object);
  explicit VJSONValue(VJSONArray* array);
  explicit VJSONValue(const VString& text);
  explicit VJSONValue(const VInlineString& text);
  explicit VJSONValue(double number);
  explicit VJSONValue(const VTime& time);
  VJSONValue(const VJSONValue& other);
  VJSONValue(VJSONValue&& other) noexcept : VObject(), fType(other.fType), fStamp(other.fStamp) {
    _MovePayload(other);
  }
  ~VJSONValue() override {
    // Numbers, dates and the constants hold nothing to give back.
    if (fType == JSON_string || fType == JSON_object || fType == JSON_array) _Dispose();
  }

  VJSONValue& operator=(const VJSONValue& other);
  VJSONValue& operator=(VJSONValue&& other) noexcept;

  // Kind and payload.
  JSONType GetType() const { return fType; }
  bool IsNull() const { return fType == JSON_null; }
  bool IsUndefined() const { return fType == JSON_undefined; }
  bool IsString() const { return fType == JSON_string; }
  bool IsNumber() const { return fType == JSON_number; }
  bool IsBool() const { return fType == JSON_true || fType == JSON_false; }
  bool IsObject() const { return fType == JSON_object; }
  bool IsArray() const { return fType == JSON_array; }
  bool IsDate() const { return fType == JSON_date; }
  // Borrowed, not retained; null for other kinds and moved-from values.
  VJSONObject* GetObject() const { return fType == JSON_object ? fObject : nullptr; }
  VJSONArray* GetArray() const { return fType == JSON_array ? fArray : nullptr; }
  VJSONObject* RetainObject() const;
  VJSONArray* RetainArray() const;
  // The string payload (length 0 and no block for the empty string).
  const VInlineString& GetInlineString() const { return fString; }

  uint32 GetStamp() const { return fStamp; }
  void SetStamp(uint32 stamp) { fStamp = stamp; }
  // Takes a new stamp from the process-wide counter.
  void TakeNewStamp();

  // Setters (no new stamp).
  void SetNull();
  void SetUndefined();
  void SetBool(bool value);
  void SetNumber(double number);
  void SetString(const VString& text);
  void SetString(const VInlineString& text);
  void SetObject(VJSONObject* object);
  void SetArray(VJSONArray* array);
  void SetTime(const VTime& time);
  void SetDate(int16 year, int16 month, int16 day);
  void Clear();

  // Conversions out of the value.
  double GetNumber() const;
  bool GetBool() const;
  VError GetString(VString& out, std::unordered_set<const VJSONArray*>* arrays = nullptr) const;
  void GetTime(VTime& out) const;
  bool GetDate(int16* year, int16* month, int16* day) const;
  // A new value owned by the caller.
  VValueSingle* CreateVValue(bool withContainerMarks = false) const;

  // Property access through an object value.
  VJSONValue GetProperty(const VString& name) const;
  void SetProperty(const VString& name, const VJSONValue& value);
  static bool GetBoolByPath(const VJSONValue& value, const VString& path);
  static int32 GetLongByPath(const VJSONValue& value, const VString& path);
  static bool GetStringByPath(const VJSONValue& value, const VString& path, VString& out);

  // Text and files.
  VError ParseFromString(const VString& text, bool convertDates = false,
                         bool nonAmbiguousDates = false);
  VError Stringify(VString& out, uint32 options = 0x1) const;
  // Parses the file's text (dates converted with `convertDates`). On
  // failure the error is returned and the value is left undefined, never
  // half an object.
  VError LoadFromFile(IFile* file, bool convertDates);
  // Writes the value's text as the file's whole content (see
  // VJSONWriter::StringifyValueToFile).
  VError SaveToFile(IFile* file, uint32 options) const;

  // Comparison.
  int32 CompareTo(const VJSONValue& other, const VCompareOptions& options) const;
  // Containers are equal when their contents are; the same container is
  // equal to itself, and a pair met again through cycles on both sides
  // counts as equal, so that cyclic structures compare without recursing
  // without end.
  bool DeepEqualTo(const VJSONValue& other, const VCompareOptions& options) const;
  // The same within a comparison under way, which `pairs` records.
  bool DeepEqualTo(const VJSONValue& other, const VCompareOptions& options,
                   VJSONComparedPairs& pairs) const;

  // The self-exercise (no checks, no callers).
  static void test();

  static const VJSONValue sUndefined;
  static const VJSONValue sNull;
  static const VJSONValue sTrue;
  static const VJSONValue sFalse;
  static const VJSONValue sLastType;
  static const VString sUndefinedString;
  static const VString sNullString;
  static const VString sTrueString;
  static const VString sFalseString;
  static const VString sObjectString;

  // Process-wide stamp counter: a stamp only signals change. It is bumped
  // without a locked read-modify-write (every value takes one), so tasks
  // taking stamps at the same moment may get the same one.
  static std::atomic<uint32> sStamp;
  static uint32 NextStamp() {
    const uint32 stamp = sStamp.load(std::memory_order_relaxed) + 1;
    sStamp.store(stamp, std::memory_order_relaxed);
    return stamp;
  }

  // Packs a calendar date as year * 65536 + month * 256 + day.
  static uint32 PackDate(int16 year, int16 month, int16 day) {
    return (uint32(uint16(year)) << 16) + (uint32(uint8(month)) << 8) + uint32(uint8(day));
  }

 private:
  friend class VJSONImporter;

  // Becomes a string holding the block of that capacity, taking over one
  // of its counts (a null block gives the empty string).
  void _AdoptString(UniChar* block, int32 length, int32 capacity);
  // Becomes an object or array value taking over one count of it.
  void _AdoptObject(VJSONObject* object);
  void _AdoptArray(VJSONArray* array);
  void _Dispose();
  void _CopyPayload(const VJSONValue& other);
  // Takes the payload whole; the source keeps its kind but no text or
  // container.
  void _MovePayload(VJSONValue& other) {
    std::memcpy(static_cast<void*>(&fString), &other.fString, sizeof fString);
    if (other.fType == JSON_string) {
      other.fString = {0, nullptr, 0, other.fString.fTag};
    } else if (other.fType == JSON_object) {
      other.fObject = nullptr;
    } else if (other.fType == JSON_array) {
      other.fArray = nullptr;
    }
  }
  void _TakeString(const VString& text);

  JSONType fType;
  uint32 fStamp;
  union {
    double fNumber;
    VJSONObject* fObject;
    VJSONArray* fArray;
    uint32 fDate;
    VInlineString fString;
  };
};

}  // namespace zeft
