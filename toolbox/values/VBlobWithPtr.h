// VBlobWithPtr is the blob that owns its bytes, in a growable buffer from
// the process memory manager. VBlob_info, the descriptor of kind 11, creates
// blobs of this class.
#pragma once

#include "core/VMemoryBuffer.h"
#include "core/VValueInfo.h"
#include "values/VBlob.h"

namespace zeft {

class VBlobWithPtr : public VBlob {
 public:
  // Not null, dirty; a copy of `size` bytes at `data`.
  VBlobWithPtr(const void* data = nullptr, size_t size = 0);
  // Flags copied, dirty; an exact copy of the bytes (empty when the memory
  // cannot be had).
  VBlobWithPtr(const VBlobWithPtr& other);
  // The other blob's flags and, unless it is null, its bytes.
  explicit VBlobWithPtr(const VBlob& other);
  VBlobWithPtr& operator=(const VBlobWithPtr&) = delete;
  ~VBlobWithPtr() override = default;

  uint64 GetSize() const override { return fBuffer.GetDataSize(); }
  VError SetSize(size_t size) override;
  VError GetData(void* dest, size_t size, int32 offset, size_t* got) const override;
  VError PutData(const void* src, size_t size, int32 offset) override;
  VError FromData(const void* src, size_t size) override;

  const void* GetDataPtr() const { return fBuffer.GetDataPtr(); }
  size_t GetAllocatedSize() const { return fBuffer.GetAllocatedSize(); }

  VBlobWithPtr* Clone() const override;
  bool FromValueSameKind(const VValue* other) override;
  bool EqualToSameKind(const VValue* other, bool diacritical) const override;
  bool EqualToSameKindWithOptions(const VValue* other,
                                  const VCompareOptions& options) const override;
  // The target's FromData with these bytes, when it is a blob.
  void GetValue(VValueSingle& target) const override;
  // Empties, then copies the bytes of an owning blob.
  void FromValue(const VValueSingle& value) override;

  // JSON value (json/VBlobJSON.cpp): a JSON "Blob" object holding a copy of
  // the bytes. Reading copies the bytes of a "Blob" object; anything else
  // makes the blob null.
  VError GetJSONValue(VJSONValue& json, uint32 options) const override;
  VError FromJSONValue(const VJSONValue& json) override;

  // Raw form: a 32-bit size in native order, then the bytes.
  const void* LoadFromPtr(const void* data, bool refOnly) override;
  void* WriteToPtr(void* data, bool refOnly, size_t max) const override;
  size_t GetSpace(size_t max) const override;
  // Stream form: a 4-byte size in the stream's order, then the bytes.
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
  size_t GetStreamSpace() const override { return GetSpace(0); }

 private:
  VMemoryBuffer<> fBuffer;
};

// The descriptor of kind 11; its values are VBlobWithPtr.
class VBlob_info : public VValueInfo_default<VBlobWithPtr, kValueKindBlob> {
 public:
  constexpr VBlob_info() = default;

  // A blob from the raw form at `data`.
  VValue* LoadFromPtr(const void* data, bool refOnly) const override;
  // Swaps the size field; returns the address just behind it.
  void* ByteSwapPtr(void* data, bool fromNative) const override;
  // The size field + 4.
  size_t GetSizeOfValueDataPtr(const void* data) const override;
};

}  // namespace zeft
