// VLong is the value of kind 4: one signed 32-bit number.
#pragma once

#include "core/VScalarValue.h"
#include "core/VValueInfo_scalar.h"

namespace zeft {

class VLong : public VScalarValue<VLong, int32> {
 public:
  using InfoType = VValueInfo_scalar<VLong, kValueKindLong, int32>;
  static const InfoType sInfo;

  explicit VLong(int32 value = 0) : VScalarValue(value) {}
  VLong(const int32* data, bool init) : VScalarValue(data, init) {}
  VLong(const VLong&) = default;
  VLong& operator=(const VLong&) = default;

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

  // Stream form: the 32-bit number in the stream's byte order.
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
  size_t GetStreamSpace() const override;
};

}  // namespace zeft
