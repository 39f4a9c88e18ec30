// VDuration is the value of kind 9: a signed span of time counted in
// milliseconds. Time arithmetic takes and returns durations; its text forms
// are ISO 8601 ("P1DT2H3M4S"), the colon form ("h:m:s:ms") and the count.
#pragma once

#include "core/VTypes.h"
#include "core/VValueInfo_scalar.h"
#include "core/VValueSingle.h"

namespace zeft {

class VDuration : public VValueSingle {
 public:
  using InfoType = VValueInfo_scalar<VDuration, kValueKindDuration, int64>;
  static const InfoType sInfo;

  static constexpr int64 kMillisecondsPerSecond = 1000;
  static constexpr int64 kMillisecondsPerMinute = 60000;
  static constexpr int64 kMillisecondsPerHour = 3600000;
  static constexpr int64 kMillisecondsPerDay = 86400000;

  // Option of GetXMLString: the ISO 8601 form instead of whole seconds.
  static constexpr uint32 kXMLOptionISO8601 = 0x1;

  // Not null, dirty.
  explicit VDuration(int64 milliseconds = 0);
  // `zero` gives 0 ms, otherwise the count at `count`.
  VDuration(const int64* count, bool zero);
  // Copies are never null, whatever the source's state.
  VDuration(const VDuration& other);
  VDuration& operator=(const VDuration& other);
  ~VDuration() override = default;

  const VValueInfo* GetValueInfo() const override { return &sInfo; }
  void Clear() override;
  VDuration* Clone() const override;
  bool FromValueSameKind(const VValue* other) override;
  bool CanBeEvaluated() const override { return true; }

  // Scalar forms count whole seconds; GetLong8OrMilliSeconds the count.
  uint8 GetBoolean() const override;
  int8 GetByte() const override;
  int16 GetWord() const override;
  int32 GetLong() const override;
  int64 GetLong8() const override;
  int64 GetLong8OrMilliSeconds() const override;
  double GetReal() const override;
  void GetDuration(VDuration& target) const override;
  // The count in milliseconds as decimal text; empty for a null duration.
  void GetString(VString& target) const override;
  void GetValue(VValueSingle& target) const override;

  // Numbers are seconds.
  void FromBoolean(uint8 value) override;
  void FromByte(int8 value) override;
  void FromWord(int16 value) override;
  void FromLong(int32 value) override;
  void FromLong8(int64 value) override;
  void FromReal(double value) override;
  void FromDuration(const VDuration& other) override;
  void FromValue(const VValueSingle& value) override;
  // The text readers below never fail: missing numbers count 0, and a
  // text naming more milliseconds than 64 bits hold reads as the nearest
  // bound (INT64_MAX or INT64_MIN ms), so a huge span stays the longest
  // span of its sign instead of wrapping or being lost.

  // The colon form: "h:m:s:ms", "h:m:s", "m:s", or a count of seconds.
  void FromString(const VString& text) override;

  // Whole seconds, or with kXMLOptionISO8601 the ISO 8601 form.
  void GetXMLString(VString& text, uint32 options) const override;
  // ISO 8601, else the colon form or seconds; always true, and the
  // duration is left not null.
  bool FromXMLString(const VString& text) override;
  // JSON text: the count of milliseconds, null or not; reading takes the
  // text's number as milliseconds. Both return 0.
  VError GetJSONString(VString& text, uint32 options) const override;
  VError FromJSONString(const VString& text, uint32 options) override;
  // JSON value (json/VDurationJSON.cpp): seconds as a number, the
  // milliseconds with kJSONMilliseconds, "h:mm:ss" with kJSONColonForm;
  // null for a null duration. Reading takes a number of seconds.
  static constexpr uint32 kJSONMilliseconds = 0x2;
  static constexpr uint32 kJSONColonForm = 0x4;
  VError GetJSONValue(VJSONValue& json, uint32 options) const override;
  VError FromJSONValue(const VJSONValue& json) override;

  // Parts, each truncated toward zero (so all are <= 0 for a negative
  // duration).
  int32 GetDay() const;
  int32 GetHour() const;
  int32 GetMinute() const;
  int32 GetSecond() const;
  int32 GetMillisecond() const;
  // The five parts; all -1 for a null duration.
  void GetDuration(int32& days, int32& hours, int32& minutes, int32& seconds,
                   int32& milliseconds) const;
  // Appends "d:h:m:s:ms".
  void GetFormattedString(VString& text) const;

  int64 ConvertToMilliseconds() const { return fMilliseconds; }
  int64 ConvertToSeconds() const { return fMilliseconds / kMillisecondsPerSecond; }
  int64 ConvertToMinutes() const { return fMilliseconds / kMillisecondsPerMinute; }
  int64 ConvertToHours() const { return fMilliseconds / kMillisecondsPerHour; }
  double GetDecimalHour() const { return double(fMilliseconds) / double(kMillisecondsPerHour); }
  void FromDecimalHour(double hours);

  void FromNbMilliseconds(int64 n);
  void FromNbSeconds(int64 n);
  void FromNbMinutes(int64 n);
  void FromNbHours(int64 n);
  void FromNbDays(int64 n);
  void SetDuration(int32 days, int32 hours, int32 minutes, int32 seconds, int32 milliseconds);
  void AddDuration(int32 days, int32 hours, int32 minutes, int32 seconds, int32 milliseconds);

  // Arithmetic; these leave the flags as they are.
  void Add(const VDuration& other);
  void Substract(const VDuration& other);
  VDuration& Multiply(double factor);
  VDuration& Divide(double divisor);
  double Divide(const VDuration& divisor) const;
  // The remainder of truncating division; a zero divisor changes nothing.
  void Remainder(const VDuration& divisor);

  // These leave the duration not null and dirty.
  void AddDays(int32 n);
  void AddHours(int32 n);
  void AddMinutes(int32 n);
  void AddSeconds(int32 n);
  void AddMilliseconds(int64 n);
  void AddDecimalHour(double hours);
  // Replace one part, keeping the others.
  void AdjustDay(int32 n);
  void AdjustHour(int32 n);
  void AdjustMinute(int32 n);
  void AdjustSecond(int32 n);
  void AdjustMillisecond(int32 n);

  // Orderings ignore the null flag.
  CompareResult CompareTo(const VDuration& other) const;
  CompareResult CompareTo(const VValueSingle& other, bool diacritical) const override;
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

  bool operator==(const VDuration& other) const { return fMilliseconds == other.fMilliseconds; }
  bool operator!=(const VDuration& other) const { return fMilliseconds != other.fMilliseconds; }
  bool operator<(const VDuration& other) const { return fMilliseconds < other.fMilliseconds; }
  bool operator>(const VDuration& other) const { return fMilliseconds > other.fMilliseconds; }
  bool operator<=(const VDuration& other) const { return fMilliseconds <= other.fMilliseconds; }
  bool operator>=(const VDuration& other) const { return fMilliseconds >= other.fMilliseconds; }

  // Raw form: the count, 8 bytes in native order.
  const void* LoadFromPtr(const void* data, bool refOnly) override;
  void* WriteToPtr(void* data, bool refOnly, size_t max) const override;
  size_t GetSpace(size_t /*max*/) const override { return sizeof(int64); }

  // Stream form: the count, 8 bytes in the stream's order.
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
  size_t GetStreamSpace() const override { return sizeof(int64); }

 private:
  void SetCount(int64 milliseconds);

  int64 fMilliseconds;
};

}  // namespace zeft
