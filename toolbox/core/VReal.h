// VReal is the value of kind 6: one 64-bit IEEE 754 number. Its comparisons
// treat numbers closer than a tolerance as equal, and its text forms are
// written and read in the C locale whatever the process locale.
#pragma once

#include "core/VScalarValue.h"
#include "core/VValueInfo_scalar.h"

namespace zeft {

class VReal : public VScalarValue<VReal, double> {
 public:
  using InfoType = VValueInfo_scalar<VReal, kValueKindReal, double>;
  class VValueInfo_real;
  static const VValueInfo_real sInfo;

  explicit VReal(double value = 0) : VScalarValue(value) {}
  VReal(const double* data, bool init) : VScalarValue(data, init) {}
  VReal(const VReal&) = default;
  VReal& operator=(const VReal&) = default;

  // Comparisons within 1e-6 (or the options' epsilon unless the options ask
  // for diacritical, i.e. exact, comparison).
  CompareResult CompareToSameKind(const VValue* other, bool diacritical) const override;
  bool EqualToSameKind(const VValue* other, bool diacritical) const override;
  CompareResult CompareToSameKindPtr(const void* data, bool diacritical) const override;
  bool EqualToSameKindPtr(const void* data, bool diacritical) const override;
  CompareResult CompareToSameKindWithOptions(const VValue* other,
                                             const VCompareOptions& options) const override;
  bool EqualToSameKindWithOptions(const VValue* other,
                                  const VCompareOptions& options) const override;
  CompareResult CompareToSameKindPtrWithOptions(const void* data,
                                                const VCompareOptions& options) const override;
  bool EqualToSameKindPtrWithOptions(const void* data,
                                     const VCompareOptions& options) const override;

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

  // Stream form: the IEEE 754 bits in the stream's byte order.
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
  size_t GetStreamSpace() const override;

  // Text forms. A whole number within +-(2^53 - 1) is written as an
  // integer; others as "NaN", "INF", "-INF" or with "%.14G".
  static void RealToXMLString(double value, VString& text);
  // The same as terminated ASCII, for writers that put it in place;
  // answers its length.
  static constexpr size_t kMaxTextSize = 32;
  static size_t RealToXMLChars(double value, char (&text)[kMaxTextSize]);
  // As RealToXMLString, but NaN and infinities give "null".
  static void RealToJSONString(double value, VString& text);
  void GetXMLString(VString& text, uint32 options) const override;
  // Takes the whole text as a number ("," read as "."); false, and the
  // value left alone, when anything is left over.
  bool FromXMLString(const VString& text) override;
  // FromXMLString; a text it refuses stores 0.0. Returns 0.
  VError FromJSONString(const VString& text, uint32 options) override;

  // The descriptor: orders NaN below every number.
  class VValueInfo_real : public InfoType {
   public:
    constexpr VValueInfo_real() = default;
    CompareResult CompareTwoPtrToDataWithOptions(const void* data1, const void* data2,
                                                 const VCompareOptions& options) const override;
  };
};

}  // namespace zeft
