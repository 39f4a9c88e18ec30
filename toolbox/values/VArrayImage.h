// VArrayImage is the value array of pictures (kind 111). Picture values
// have no descriptor of their own here, so the entries are owned single
// values (or null) kept in a list beside the unused data block; they come
// only through FromValue and have no order.
#pragma once

#include <vector>

#include "values/VArrayValue.h"

namespace zeft {

class VArrayImage : public VArrayValue {
 public:
  using InfoType = VValueInfo_array<VArrayImage, kValueKindArrayImage, VValueSingle*>;
  static const InfoType sInfo;

  // `count` null entries.
  explicit VArrayImage(int32 count = 0);
  VArrayImage(const VArrayImage&) = delete;
  VArrayImage& operator=(const VArrayImage&) = delete;
  ~VArrayImage() override;

  const VValueInfo* GetValueInfo() const override { return &sInfo; }
  uint16 GetElemValueKind() const override { return kValueKindImage; }

  // The entries follow the count: new entries are null, entries that go
  // are deleted.
  bool SetCount(int32 count) override;
  bool Delete(int32 position, int32 count) override;
  // Copies the entries (each cloned).
  bool Copy(const VArrayValue& source) override;
  // No order: nothing happens.
  void Sort(int32 from, int32 to, uint8 descending) override;
  void Unsort() override;

  // The entry becomes a clone of the value (nothing outside 1 to the count).
  void FromValue(const VValueSingle& value, int32 position) override;
  // Only the entry's null and dirty flags are copied into `out`.
  void GetValue(VValueSingle& out, int32 position) const override;
  // A clone of the entry, or null.
  VValueSingle* CloneValue(int32 position) const override;
  CompareResult CompareTo(const VValueSingle& value, bool diacritical,
                          int32 position) const override;
  // There is no search by value: 0.
  int32 Find(const VValueSingle& value, int32 start, uint8 forward,
             CompareMethod method) const override;
  // The entry at a position, or null.
  const VValueSingle* GetEntry(int32 position) const;

  // Entry operations on 0-based indexes.
  void MoveElements(int32 from, int32 to, int32 count) override;
  void DeleteElements(int32 from, int32 count) override;
  void InitElements(int32 from, int32 count) override;
  // Deletes every entry and empties the array.
  void DeleteAllElements();

  // Entries keep their place when sorted with other arrays; they have no
  // order of their own.
  void SwapElements(uint8* data, int32 i, int32 j) override;
  CompareResult CompareElements(uint8* data, int32 i, int32 j) override;

  // The count (never a kind word), then per entry its stream form, or 8
  // zero bytes for a null entry. Entries can only be read back when a
  // descriptor of kind 12 is registered; otherwise a non-empty array fails
  // with toolbox error 2.
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;

 protected:
  uint64 GetDataSizeFor(int32 count) const override;

 private:
  std::vector<VValueSingle*> fValues;
};

}  // namespace zeft
