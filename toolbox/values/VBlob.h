// VBlob is the value of kind 11: a block of bytes of any length. This is the
// abstract interface of every blob; VBlobWithPtr owns its bytes,
// VConstBlobWithPtr is a read-only view of bytes its caller keeps alive.
// Blobs have no order and no text form.
#pragma once

#include <cstddef>

#include "core/VErrorCodes.h"
#include "core/VTypes.h"
#include "core/VValueSingle.h"

namespace zeft {

class VBlob_info;

class VBlob : public VValueSingle {
 public:
  // Defined with VBlobWithPtr, which it creates.
  static const VBlob_info sInfo;

  ~VBlob() override = default;

  // The number of bytes.
  virtual uint64 GetSize() const = 0;
  // 0, or toolbox error 100 when the room cannot be had (204 read-only).
  virtual VError SetSize(size_t size) = 0;
  // Copies `size` bytes from `offset` into `dest`; `got` (may be null)
  // receives the number copied. Fewer bytes than asked (an offset past the
  // end gives none) return toolbox error 200.
  virtual VError GetData(void* dest, size_t size, int32 offset, size_t* got) const = 0;
  // Writes `size` bytes at `offset`, growing the blob; a gap between the
  // old end and `offset` is zero-filled.
  virtual VError PutData(const void* src, size_t size, int32 offset) = 0;
  // The whole content becomes a copy of `size` bytes at `src`.
  virtual VError FromData(const void* src, size_t size);

  const VValueInfo* GetValueInfo() const override;
  // FromData(null, 0).
  void Clear() override;
  bool CanBeEvaluated() const override { return false; }
  size_t GetFullSpaceOnDisk(uint64& outSize) const override;
  // Read and write nothing; the concrete blobs replace them.
  const void* LoadFromPtr(const void* data, bool refOnly) override;
  void* WriteToPtr(void* data, bool refOnly, size_t max) const override;
  void GetValue(VValueSingle& target) const override;
  void FromValue(const VValueSingle& value) override;
  // Blobs have no order: kCompareUnordered.
  CompareResult CompareTo(const VValueSingle& other, bool diacritical) const override;

 protected:
  VBlob() : VValueSingle(kFlagDirty) {}
  VBlob(const VBlob&) = default;
  VBlob& operator=(const VBlob&) = default;

  // A blob that becomes null is emptied.
  void DoNullChanged() override;
};

}  // namespace zeft
