// VArrayTime is the value array of times (kind 107), held as unsigned
// 64-bit time stamps (VTime::GetStamp) in one block.
#pragma once

#include "values/VArrayFixed.h"
#include "values/VTime.h"

namespace zeft {

class VArrayTime : public VArrayFixed<uint64> {
 public:
  using InfoType = VValueInfo_array<VArrayTime, kValueKindArrayTime, uint64>;
  static const InfoType sInfo;

  // `count` elements of stamp 0.
  explicit VArrayTime(int32 count = 0);
  VArrayTime(const VArrayTime& other);
  VArrayTime& operator=(const VArrayTime& other) {
    Copy(other);
    return *this;
  }
  ~VArrayTime() override = default;

  const VValueInfo* GetValueInfo() const override { return &sInfo; }
  uint16 GetElemValueKind() const override { return kValueKindTime; }
  VArrayTime* Clone() const override { return new VArrayTime(*this); }
  bool CanBeEvaluated() const override { return true; }

  // Nothing outside 1 to the count; the getter then leaves `out` as it is.
  void FromTime(const VTime& value, int32 position) override;
  virtual void GetTime(VTime& out, int32 position) const;

  void FromValue(const VValueSingle& value, int32 position) override;
  void GetValue(VValueSingle& out, int32 position) const override;
  VValueSingle* CloneValue(int32 position) const override;
  CompareResult CompareTo(const VValueSingle& value, bool diacritical,
                          int32 position) const override;

  // Stamps are compared as unsigned numbers.
  int32 Find(const VValueSingle& value, int32 start, uint8 forward,
             CompareMethod method) const override;
  virtual int32 Find(const VTime& value, int32 start, uint8 forward, CompareMethod method) const;

  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
};

}  // namespace zeft
