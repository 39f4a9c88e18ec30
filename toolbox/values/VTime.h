// VTime is the value of kind 8: a calendar date and a time of day in UTC
// with millisecond precision, null when invalid. The zero date (year, month
// and day 0) is a valid value that stands for no date: a time of day alone,
// or an unset time. All arithmetic runs on a millisecond scale built on day
// numbers; local time goes through the system facade. Text forms: RFC 3339
// (the XML form), RFC 822, the system's date and time formats, and a small
// numeric parser.
#pragma once

#include "core/VTypes.h"
#include "core/VValueInfo_scalar.h"
#include "core/VValueSingle.h"
#include "values/VDuration.h"

namespace zeft {

// The constructor parameter: now, or the zero date (any other value).
enum VTimeInitParam : int32 {
  kTimeInitZero = 0,
  kTimeInitNow = 1,
};

class VTime : public VValueSingle {
 public:
  using InfoType = VValueInfo_scalar<VTime, kValueKindTime, uint64>;
  static const InfoType sInfo;

  // Options of GetRfc3339String (and GetXMLString).
  static constexpr uint32 kRfc3339UTC = 0x1;          // UTC with "Z"
  static constexpr uint32 kRfc3339LocalNoZone = 0x2;  // local, no offset
  static constexpr uint32 kRfc3339TimeOnly = 0x4;
  static constexpr uint32 kRfc3339DateOnly = 0x8;
  static constexpr uint32 kRfc3339ZeroDate = 0x10;  // date part as zeros
  static constexpr uint32 kRfc3339NoMilliseconds = 0x20;

  // The zero date with 0 milliseconds (or now), not null, dirty.
  explicit VTime(VTimeInitParam init = kTimeInitZero);
  explicit VTime(uint64 stamp);
  // `zero` gives the zero date, otherwise the fields of the stamp at `stamp`.
  VTime(const uint64* stamp, bool zero);
  VTime(const VTime& other);
  VTime& operator=(const VTime& other);
  ~VTime() override = default;

  const VValueInfo* GetValueInfo() const override { return &sInfo; }
  // The zero date, 0 milliseconds, not null.
  void Clear() override;
  VTime* Clone() const override;
  bool FromValueSameKind(const VValue* other) override;
  bool CanBeEvaluated() const override { return true; }

  // ---- Setting

  // The only validating setter: a valid date with a time of day below 24 h,
  // or the zero date with any time of day; anything else clears the time
  // and makes it null.
  void FromUTCTime(int16 year, int16 month, int16 day, int16 hour, int16 minute, int16 second,
                   int16 millisecond);
  // Local fields, converted to UTC by the system's zone rules.
  void FromLocalTime(int16 year, int16 month, int16 day, int16 hour, int16 minute, int16 second,
                     int16 millisecond);
  static void Now(VTime& time);
  // The system clock's UTC fields stored without validation.
  void FromSystemTime();
  // Today's local midnight plus `milliseconds`.
  void FromToday(int32 milliseconds);
  void FromStamp(uint64 stamp);
  // -1 makes the time null, 0 gives the zero date.
  void FromMilliseconds(int64 milliseconds);
  // The date of a day number, time of day 0.
  void FromJulianDay(int32 dayNumber);
  // The date whose proleptic Julian-calendar fields are given (the inverse
  // of GetJulianDate); null when they are not a Julian-calendar date.
  void FromJulianDate(int32 year, int32 month, int32 day);
  void NullIfZero();

  // Each replaces one local field and sets the time from the result; out of
  // range values carry into the other fields (month: 13 is January of the
  // next year; values below 1 are invalid and give a null time).
  void SetLocalYear(int32 n);
  void SetLocalMonth(int32 n);
  void SetLocalDay(int32 n);
  void SetLocalHour(int32 n);
  void SetLocalMinute(int32 n);
  void SetLocalSecond(int32 n);
  void SetLocalMillisecond(int32 n);

  // ---- Reading

  // year << 48 | month << 40 | day << 32 | milliseconds of the day.
  uint64 GetStamp() const;
  // Day number x 86,400,000 + milliseconds of the day; 0 for the zero
  // date, -1 for a null time.
  int64 GetMilliseconds() const;
  // -1 for a null time.
  int32 GetJulianDay() const;
  // 0 Sunday to 6 Saturday; -1 for a null time.
  int32 GetWeekDay() const;
  // 1 for 1 January; -1 for a null time.
  int32 GetYearDay() const;
  // The proleptic Julian-calendar date of the same day; zeros when null.
  void GetJulianDate(int32& year, int32& month, int32& day) const;

  // Zeros for a null time.
  void GetUTCTime(int16& year, int16& month, int16& day, int16& hour, int16& minute, int16& second,
                  int16& millisecond) const;
  void GetLocalTime(int16& year, int16& month, int16& day, int16& hour, int16& minute,
                    int16& second, int16& millisecond) const;
  int16 GetLocalYear() const;
  int16 GetLocalMonth() const;
  int16 GetLocalDay() const;
  int16 GetLocalHour() const;
  int16 GetLocalMinute() const;
  int16 GetLocalSecond() const;
  int16 GetLocalMillisecond() const;
  VDuration GetLocalDurationSinceMidnight() const;
  // The local fields through mktime, in seconds.
  int64 GetLocalUnixTime() const;

  // ---- Calendar rules

  static bool IsLeapYear(int16 year);
  static bool CheckDate(int16 year, int16 month, int16 day);
  static int32 ComputeJulianDay(int32 year, int32 month, int32 day);
  static int32 ComputeWeekDay(int32 year, int32 month, int32 day);
  static int32 ComputeYearDay(int32 year, int32 month, int32 day);

  // ---- Single value operations

  int64 GetLong8OrMilliSeconds() const override { return GetMilliseconds(); }
  double GetReal() const override { return double(GetStamp()); }
  void GetTime(VTime& target) const override;
  void GetValue(VValueSingle& target) const override;
  void FromTime(const VTime& other) override;
  void FromValue(const VValueSingle& value) override;

  // ---- Arithmetic (on the millisecond scale: a null time counts -1 ms,
  // the zero date 0)

  void Add(const VDuration& duration);
  void Substract(const VDuration& duration);
  // this - other, a null side counting -1 ms.
  void Substract(const VTime& other, VDuration& result) const;
  void AddMilliseconds(int64 n);
  void AddSeconds(int32 n);
  void AddMinutes(int32 n);
  void AddHours(int32 n);
  void AddDays(int32 n);
  // Calendar fields only: no validation, no flag touched, the day kept.
  void AddMonths(int32 n);
  void AddYears(int32 n);

  // ---- Comparison (the null flag is ignored)

  CompareResult CompareTo(const VTime& other) const;
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

  bool operator==(const VTime& other) const { return CompareTo(other) == kCompareEqual; }
  bool operator!=(const VTime& other) const { return CompareTo(other) != kCompareEqual; }
  bool operator<(const VTime& other) const { return CompareTo(other) < 0; }
  bool operator>(const VTime& other) const { return CompareTo(other) > 0; }
  bool operator<=(const VTime& other) const { return CompareTo(other) <= 0; }
  bool operator>=(const VTime& other) const { return CompareTo(other) >= 0; }

  // ---- Raw and stream forms

  // Raw form: the stamp, 8 bytes in native order.
  const void* LoadFromPtr(const void* data, bool refOnly) override;
  void* WriteToPtr(void* data, bool refOnly, size_t max) const override;
  size_t GetSpace(size_t /*max*/) const override { return sizeof(uint64); }
  // Stream form: year (2 bytes), month, day, milliseconds of the day (4
  // bytes), in the stream's order.
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
  size_t GetStreamSpace() const override { return sizeof(uint64); }

  // ---- Text forms

  void GetRfc3339String(VString& text, uint32 options) const;
  void GetXMLString(VString& text, uint32 options) const override;
  // The JSON text: RFC 3339 in UTC with milliseconds, or the date alone
  // with kJSONDateOnlyAtMidnight when the time of day is 0; "!!" marks with
  // kJSONDateMarks; quotes (outside the marks) with kJSONQuotes.
  static constexpr uint32 kJSONQuotes = 0x1;
  static constexpr uint32 kJSONDateOnlyAtMidnight = 0x200;
  static constexpr uint32 kJSONDateMarks = 0x1000;
  VError GetJSONString(VString& text, uint32 options) const override;
  // FromXMLString; returns 0.
  VError FromJSONString(const VString& text, uint32 options) override;
  // JSON value (json/VTimeJSON.cpp): a JSON date (UTC day only) with
  // kJSONAsDate, else the JSON text as a string; null for a null time.
  // Reading takes the text form of any JSON value through FromXMLString.
  static constexpr uint32 kJSONAsDate = 0x1;
  VError GetJSONValue(VJSONValue& json, uint32 options) const override;
  VError FromJSONValue(const VJSONValue& json) override;
  // True when the text had a recognised form (the time may still be null).
  bool FromRfc3339String(const VString& text);
  // RFC 3339, optionally inside "!!" marks; texts with "!" otherwise go to
  // FromString.
  bool FromXMLString(const VString& text) override;
  // The system's short date and time formats, in UTC.
  void GetString(VString& text) const override;
  // The numeric parser: up to seven numbers (year, month, day, hour,
  // minute, second, millisecond), or "d!m!y".
  void FromString(const VString& text) override;
  // Date + " " + time in the system's short formats; empty when null.
  void FormatByOS(VString& text, bool utc) const;
  void FormatByOS(VString& date, VString& time, bool utc) const;
  // "yyyy-mm-dd hh:mm:ss:mmm" in local time; empty when null.
  void GetStringLocalTime(VString& text) const;
  // "d!m!y"; a null text when null.
  void toSimpleDateString(VString& text) const;
  // "Tue, 05 Mar 2024 10:20:30 GMT".
  void GetRfc822String(VString& text) const;
  void FromRfc822String(const VString& text);
  // The compiler's __DATE__ and __TIME__, taken as local time.
  void FromCompilerDateTime(const char* date, const char* time);

 private:
  // Fields straight from the stamp, not null, dirty.
  void _SetFromStamp(uint64 stamp);
  // The stored fields as a date-time array (year ... millisecond).
  void _GetUTCFields(int16* dateTime) const;
  // Sets local fields (checked, converted, validated).
  void _FromLocalFields(int16* dateTime);
  void _ClearAndMakeNull();

  int16 fYear = 0;
  uint8 fMonth = 0;
  uint8 fDay = 0;
  uint32 fMilliseconds = 0;
};

}  // namespace zeft
