// VArrayBlob is the value array of blobs (kind 110): each element is an
// owned VBlobWithPtr or null; copies of the array own distinct blobs. A
// null element reads, compares and is written as an empty blob.
#pragma once

#include "values/VArrayValue.h"
#include "values/VBlobWithPtr.h"

namespace zeft {

class VArrayBlob : public VArrayValue {
 public:
  using InfoType = VValueInfo_array<VArrayBlob, kValueKindArrayBlob, VBlobWithPtr>;
  static const InfoType sInfo;

  // `count` null elements.
  explicit VArrayBlob(int32 count = 0);
  VArrayBlob(const VArrayBlob& other);
  VArrayBlob& operator=(const VArrayBlob& other) {
    Copy(other);
    return *this;
  }
  ~VArrayBlob() override;

  const VValueInfo* GetValueInfo() const override { return &sInfo; }
  uint16 GetElemValueKind() const override { return kValueKindBlob; }
  VArrayBlob* Clone() const override { return new VArrayBlob(*this); }
  bool CanBeEvaluated() const override { return true; }

  // Only blob values are taken; any other value leaves the element as it is.
  void FromValue(const VValueSingle& value, int32 position) override;
  // `out` takes the element when it is a blob, and is cleared otherwise or
  // outside 1 to the count.
  void GetValue(VValueSingle& out, int32 position) const override;
  VValueSingle* CloneValue(int32 position) const override;
  // -1 outside the positions; the element against a blob value, -1000
  // against any other value.
  CompareResult CompareTo(const VValueSingle& value, bool diacritical,
                          int32 position) const override;
  // Compares blob values by content (method 0: same bytes); -1 for any
  // other value.
  int32 Find(const VValueSingle& value, int32 start, uint8 forward,
             CompareMethod method) const override;
  // The element, or null when it is null or outside the array.
  const VBlobWithPtr* GetBlobPtr(int32 position) const;

  bool Copy(const VArrayValue& source) override;
  void DeleteElements(int32 from, int32 count) override;

  // ISortable: null elements sort first.
  void SwapElements(uint8* data, int32 i, int32 j) override;
  CompareResult CompareElements(uint8* data, int32 i, int32 j) override;

  // After the count, every element's own stream form in order.
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;

 private:
  VBlobWithPtr* _GetElement(int32 index) const;
  void _SetElement(int32 index, VBlobWithPtr* blob);
};

}  // namespace zeft
