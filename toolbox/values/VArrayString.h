// VArrayString (kind 109) is the list of strings of the toolbox: split
// results, string lists, the fields of a text line. Each element is an
// owned VString or null; copies of the array own distinct strings.
#pragma once

#include "core/VString.h"
#include "values/VArrayValue.h"

namespace zeft {

class VArrayString : public VArrayValue {
 public:
  using InfoType = VValueInfo_array<VArrayString, kValueKindArrayString, VString>;
  static const InfoType sInfo;

  // `count` null elements.
  explicit VArrayString(int32 count = 0);
  VArrayString(const VArrayString& other);
  VArrayString& operator=(const VArrayString& other) {
    Copy(other);
    return *this;
  }
  ~VArrayString() override;

  const VValueInfo* GetValueInfo() const override { return &sInfo; }
  uint16 GetElemValueKind() const override { return kValueKindString; }
  VArrayString* Clone() const override { return new VArrayString(*this); }
  bool CanBeEvaluated() const override { return true; }

  // Typed access. Outside 1 to the count the setter does nothing and the
  // getter clears `out`; a null element reads as a null string.
  void FromString(const VString& value, int32 position) override;
  virtual void GetString(VString& out, int32 position) const;
  // Null when the element is null or the position is outside the array.
  const VString* GetStringPtr(int32 position) const;

  void FromValue(const VValueSingle& value, int32 position) override;
  void GetValue(VValueSingle& out, int32 position) const override;
  VValueSingle* CloneValue(int32 position) const override;
  // -1 outside the positions and for a null element; otherwise the
  // element against the value's text.
  CompareResult CompareTo(const VValueSingle& value, bool diacritical,
                          int32 position) const override;

  // Searches skip null elements; accents and case are not significant.
  int32 Find(const VValueSingle& value, int32 start, uint8 forward,
             CompareMethod method) const override;
  virtual int32 Find(const VString& value, int32 start, uint8 forward, CompareMethod method) const;
  // Binary search of an array sorted in ascending order; -1 when absent.
  int32 QuickFind(const VString& value) const;

  bool Copy(const VArrayValue& source) override;
  void DeleteElements(int32 from, int32 count) override;

  // ISortable: null elements sort first.
  void SwapElements(uint8* data, int32 i, int32 j) override;
  CompareResult CompareElements(uint8* data, int32 i, int32 j) override;

  // After the count, per element a 32-bit marker: 2 and the string's
  // stream form, or "NULL" for a null element.
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;

 private:
  VString* _GetElement(int32 index) const;
  void _SetElement(int32 index, VString* string);
};

}  // namespace zeft
