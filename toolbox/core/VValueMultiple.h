// VValueMultiple is the base of the value arrays: a value holding a count
// of elements of one type, set one element at a time. Every narrower
// setter falls through to a wider one, so an array class only needs to
// replace the setter of its own element type.
#pragma once

#include "core/VTypes.h"
#include "core/VValue.h"

namespace zeft {

class VDuration;
class VString;
class VTime;
class VValueSingle;

class VValueMultiple : public VValue {
 public:
  ~VValueMultiple() override = default;

  // The array's kind; the descriptor's unless a class says otherwise.
  virtual uint16 GetValueKind() const { return VValue::GetValueKind(); }
  virtual int32 GetCount() const = 0;

  // Element setters (1-based positions). Boolean goes to word, byte and word
  // to long, long and long8 to real; real, string, duration and time do
  // nothing here.
  virtual void FromBoolean(uint8 value, int32 index);
  virtual void FromByte(int8 value, int32 index);
  virtual void FromWord(int16 value, int32 index);
  virtual void FromLong(int32 value, int32 index);
  virtual void FromLong8(int64 value, int32 index);
  virtual void FromReal(double value, int32 index);
  virtual void FromString(const VString& value, int32 index);
  virtual void FromDuration(const VDuration& value, int32 index);
  virtual void FromTime(const VTime& value, int32 index);

  // Arrays have no order against a single value: kCompareUnordered.
  virtual CompareResult CompareTo(const VValueSingle& value, bool diacritical, int32 index) const;

  // Null: an array class that can be copied says so by replacing it.
  VValue* Clone() const override;

 protected:
  explicit VValueMultiple(uint8 initialFlags = kFlagDirty) : VValue(initialFlags) {}
  VValueMultiple(const VValueMultiple&) = default;
  VValueMultiple& operator=(const VValueMultiple&) = default;
};

}  // namespace zeft
