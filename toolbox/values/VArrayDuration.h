// VArrayDuration is the value array of durations (kind 108), held as
// signed 64-bit counts of milliseconds in one block.
#pragma once

#include "values/VArrayFixed.h"
#include "values/VDuration.h"

namespace zeft {

class VArrayDuration : public VArrayFixed<int64> {
 public:
  using InfoType = VValueInfo_array<VArrayDuration, kValueKindArrayDuration, int64>;
  static const InfoType sInfo;

  // `count` elements of 0 ms.
  explicit VArrayDuration(int32 count = 0);
  VArrayDuration(const VArrayDuration& other);
  VArrayDuration& operator=(const VArrayDuration& other) {
    Copy(other);
    return *this;
  }
  ~VArrayDuration() override = default;

  const VValueInfo* GetValueInfo() const override { return &sInfo; }
  uint16 GetElemValueKind() const override { return kValueKindDuration; }
  VArrayDuration* Clone() const override { return new VArrayDuration(*this); }
  bool CanBeEvaluated() const override { return true; }

  // Nothing outside 1 to the count; the getter then sets `out` to 0 ms.
  void FromDuration(const VDuration& value, int32 position) override;
  virtual void GetDuration(VDuration& out, int32 position) const;

  void FromValue(const VValueSingle& value, int32 position) override;
  void GetValue(VValueSingle& out, int32 position) const override;
  VValueSingle* CloneValue(int32 position) const override;
  CompareResult CompareTo(const VValueSingle& value, bool diacritical,
                          int32 position) const override;

  // Durations are compared by their milliseconds.
  int32 Find(const VValueSingle& value, int32 start, uint8 forward,
             CompareMethod method) const override;
  virtual int32 Find(const VDuration& value, int32 start, uint8 forward,
                     CompareMethod method) const;
  // Binary search of an array sorted in ascending order; -1 when absent.
  int32 QuickFind(const VDuration& value) const {
    return QuickFindNumber(value.ConvertToMilliseconds());
  }

  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
};

}  // namespace zeft
