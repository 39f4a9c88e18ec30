// VByte is the value of kind 2: one signed 8-bit number.
#pragma once

#include "core/VScalarValue.h"
#include "core/VValueInfo_scalar.h"

namespace zeft {

class VByte : public VScalarValue<VByte, int8> {
 public:
  using InfoType = VValueInfo_scalar<VByte, kValueKindByte, int8>;
  static const InfoType sInfo;

  explicit VByte(int8 value = 0) : VScalarValue(value) {}
  VByte(const int8* data, bool init) : VScalarValue(data, init) {}
  VByte(const VByte&) = default;
  VByte& operator=(const VByte&) = default;

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

  // Stream form: 16 bits, the number sign-extended; read back as its low 8 bits.
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
  size_t GetStreamSpace() const override;
};

}  // namespace zeft
