// VBoolean is the value of kind 1: one byte, 0 false and anything else true.
// Most setters store 1 for true, but FromBoolean and FromByte keep the byte
// as given.
#pragma once

#include "core/VScalarValue.h"
#include "core/VValueInfo_scalar.h"

namespace zeft {

class VBoolean : public VScalarValue<VBoolean, uint8> {
 public:
  using InfoType = VValueInfo_scalar<VBoolean, kValueKindBoolean, uint8>;
  static const InfoType sInfo;

  explicit VBoolean(uint8 value = 0) : VScalarValue(value) {}
  VBoolean(const uint8* data, bool init) : VScalarValue(data, init) {}
  VBoolean(const VBoolean&) = default;
  VBoolean& operator=(const VBoolean&) = default;

  // Raw form: one byte, 1 or 0.
  const void* LoadFromPtr(const void* data, bool refOnly) override;
  void* WriteToPtr(void* data, bool refOnly, size_t max) const override;

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

  // Stream form: 16 bits, the byte zero-extended; read back as 1 when not 0.
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
  size_t GetStreamSpace() const override;

  // Text forms: "true" and "false"; FromXMLString also takes "0" and
  // "1" and ignores letter case.
  void GetXMLString(VString& text, uint32 options) const override;
  bool FromXMLString(const VString& text) override;
  // FromXMLString; a text it refuses stores false. Returns 0.
  VError FromJSONString(const VString& text, uint32 options) override;
};

}  // namespace zeft
