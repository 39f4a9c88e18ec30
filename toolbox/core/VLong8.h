// VLong8 is the value of kind 5: one signed 64-bit number.
#pragma once

#include "core/VScalarValue.h"
#include "core/VValueInfo_scalar.h"

namespace zeft {

class VLong8 : public VScalarValue<VLong8, int64> {
 public:
  using InfoType = VValueInfo_scalar<VLong8, kValueKindLong8, int64>;
  static const InfoType sInfo;

  explicit VLong8(int64 value = 0) : VScalarValue(value) {}
  VLong8(const int64* data, bool init) : VScalarValue(data, init) {}
  VLong8(const VLong8&) = default;
  VLong8& operator=(const VLong8&) = default;

  uint8 GetBoolean() const override;
  int8 GetByte() const override;
  int16 GetWord() const override;
  int32 GetLong() const override;
  int64 GetLong8() const override;
  double GetReal() const override;
  void GetDuration(VDuration& target) const override;
  void GetString(VString& target) const override;
  void GetValue(VValueSingle& target) const override;

  void FromBoolean(uint8 value) override;
  void FromByte(int8 value) override;
  void FromWord(int16 value) override;
  void FromLong(int32 value) override;
  void FromLong8(int64 value) override;
  void FromReal(double value) override;
  void FromDuration(const VDuration& duration) override;
  void FromString(const VString& text) override;
  void FromValue(const VValueSingle& value) override;

  CompareResult CompareTo(const VValueSingle& other, bool diacritical) const override;

  // Stream form: the 64-bit number in the stream's byte order.
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
  size_t GetStreamSpace() const override;
};

}  // namespace zeft
