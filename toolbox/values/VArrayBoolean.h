// VArrayBoolean is the value array of booleans (kind 100), packed eight to
// a byte: element i is bit i mod 8 (least significant first) of byte i / 8.
// The block always has (count + 8) / 8 bytes, and the bits past the count
// are kept clear so that a later grow never revives old elements.
#pragma once

#include "values/VArrayValue.h"

namespace zeft {

class VArrayBoolean : public VArrayValue {
 public:
  using InfoType = VValueInfo_array<VArrayBoolean, kValueKindArrayBoolean, uint8>;
  static const InfoType sInfo;

  // `count` false elements.
  explicit VArrayBoolean(int32 count = 0);
  VArrayBoolean(const VArrayBoolean& other);
  VArrayBoolean& operator=(const VArrayBoolean& other) {
    Copy(other);
    return *this;
  }
  ~VArrayBoolean() override = default;

  const VValueInfo* GetValueInfo() const override { return &sInfo; }
  uint16 GetElemValueKind() const override { return kValueKindBoolean; }
  VArrayBoolean* Clone() const override { return new VArrayBoolean(*this); }
  bool CanBeEvaluated() const override { return true; }

  bool SetCount(int32 count) override;
  bool Delete(int32 position, int32 count) override;

  // Nothing outside 1 to the count; the getter answers false there.
  void FromBoolean(uint8 value, int32 position) override;
  virtual uint8 GetBoolean(int32 position) const;

  void FromValue(const VValueSingle& value, int32 position) override;
  void GetValue(VValueSingle& out, int32 position) const override;
  VValueSingle* CloneValue(int32 position) const override;
  // Equal: 0; otherwise 1 when the value is true, -1 when it is false.
  CompareResult CompareTo(const VValueSingle& value, bool diacritical,
                          int32 position) const override;

  // The first element equal to the value; the method is not used.
  int32 Find(const VValueSingle& value, int32 start, uint8 forward,
             CompareMethod method) const override;
  virtual int32 Find(uint8 value, int32 start, uint8 forward, CompareMethod method) const;

  // The whole array is sorted by counting: ascending puts the false
  // elements first. A part of the array is sorted by the element order,
  // in which true sorts before false.
  void Sort(int32 from, int32 to, uint8 descending) override;
  // Arrays of fewer than 9 elements are left as they are.
  void Unsort() override;

  void MoveElements(int32 from, int32 to, int32 count) override;
  void InitElements(int32 from, int32 count) override;

  void SwapElements(uint8* data, int32 i, int32 j) override;
  CompareResult CompareElements(uint8* data, int32 i, int32 j) override;

  // After the count, (count + 8) / 8 bytes of bits when the count is at
  // least 1.
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;

 protected:
  uint64 GetDataSizeFor(int32 count) const override;
  int32 GetReadChunkCount() const override;

 private:
  static bool _GetBit(const uint8* data, int32 index) {
    return (data[index >> 3] >> (index & 7)) & 1;
  }
  static void _SetBit(uint8* data, int32 index, bool value) {
    const uint8 mask = uint8(1 << (index & 7));
    data[index >> 3] = value ? uint8(data[index >> 3] | mask) : uint8(data[index >> 3] & ~mask);
  }
  // Clears every bit of the block from the count on.
  void _ClearBitsPastCount();
};

}  // namespace zeft
