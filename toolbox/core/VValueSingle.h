// VValueSingle is the branch of VValue for values that hold one datum
// (numbers, booleans, strings, and later times, durations, UUIDs, blobs):
// every single value reads as and sets from every scalar type, a string and
// any other single value, has an XML text form, and orders itself against
// any other single value.
#pragma once

#include "core/VErrorCodes.h"
#include "core/VTypes.h"
#include "core/VValue.h"

namespace zeft {

class VDuration;
enum JSONType : int32;
class VString;
class VTime;
class VUUID;

class VValueSingle : public VValue {
 public:
  ~VValueSingle() override = default;

  // Keeps VObject's DebugDump(VString&) visible beside the override.
  using VObject::DebugDump;
  // The value's string form, at most size / 2 units, in UTF-16 native
  // order; answers that char set.
  CharSet DebugDump(char* buffer, int& size) const override;

  const VValueSingle* IsVValueSingle() const override { return this; }
  VValueSingle* IsVValueSingle() override { return this; }
  bool CanBeStreamed() const override { return true; }

  // Getters; the base answers 0 / false.
  virtual uint8 GetBoolean() const;
  virtual int8 GetByte() const;
  virtual int16 GetWord() const;
  virtual int32 GetLong() const;
  virtual int64 GetLong8() const;
  // GetLong8, except that a time answers in milliseconds.
  virtual int64 GetLong8OrMilliSeconds() const;
  virtual double GetReal() const;
  // Hands this value to the target's setter of its own type; the base
  // clears the target.
  virtual void GetDuration(VDuration& target) const;
  virtual void GetTime(VTime& target) const;
  virtual void GetString(VString& target) const;
  virtual void GetVUUID(VUUID& target) const;
  virtual void GetValue(VValueSingle& target) const;

  // Setters; the base does nothing.
  virtual void FromBoolean(uint8 value);
  virtual void FromByte(int8 value);
  virtual void FromWord(int16 value);
  virtual void FromLong(int32 value);
  virtual void FromLong8(int64 value);
  virtual void FromReal(double value);
  virtual void FromDuration(const VDuration& duration);
  virtual void FromTime(const VTime& time);
  virtual void FromString(const VString& text);
  virtual void FromVUUID(const VUUID& uuid);
  virtual void FromValue(const VValueSingle& value);

  // XML text form; the base is the string form. FromXMLString answers
  // whether the text was taken (the base always takes it).
  virtual void GetXMLString(VString& text, uint32 options) const;
  virtual bool FromXMLString(const VString& text);
  // JSON text form (option 0x1: strings between quotation marks): null,
  // true or false, numbers as numbers, anything else as its string form.
  VError GetJSONString(VString& text, uint32 options) const override;
  // The string form read back through FromString; returns 0.
  VError FromJSONString(const VString& text, uint32 options) override;
  // A kind without a JSON value form: FromJSONValue clears the value,
  // GetJSONValue gives the JSON null; both return toolbox error 2 without
  // raising it (json/VValueJSON.cpp).
  VError FromJSONValue(const VJSONValue& json) override;
  VError GetJSONValue(VJSONValue& json, uint32 options) const override;

  // Orders this value against any single value (-1, 0, 1, or
  // kCompareUnordered when there is no order).
  virtual CompareResult CompareTo(const VValueSingle& other, bool diacritical) const = 0;
  virtual bool EqualTo(const VValueSingle& other, bool diacritical) const;

  // A new value of `kind` (owned by the caller) filled from this value
  // through GetValue, with this value's null state; null when the kind has
  // no descriptor or is not a single value.
  VValueSingle* ConvertTo(uint16 kind) const;

  // The value as a JSON scalar would hold it (json/VValueJSON.cpp), a new
  // value owned by the caller: integers as a VReal, UUIDs as a VString, a
  // duration as a VReal of seconds (of milliseconds with `milliseconds`),
  // anything else a clone.
  static VValueSingle* ConvertVValueToJSONScalar(const VValueSingle& value, bool milliseconds);
  // The JSON type a value of `kind` takes: booleans true, reals numbers,
  // times dates, strings strings; null for every other kind.
  static JSONType ValueKindToJsonType(uint16 kind);

 protected:
  explicit VValueSingle(uint8 initialFlags = 0) : VValue(initialFlags) {}
  VValueSingle(const VValueSingle&) = default;
  VValueSingle& operator=(const VValueSingle&) = default;
};

}  // namespace zeft
