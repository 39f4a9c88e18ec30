// VConstBlobWithPtr is a read-only blob over bytes its caller owns and keeps
// alive and unchanged while the blob is used. Every change is refused with
// toolbox error 204.
#pragma once

#include "values/VBlob.h"

namespace zeft {

class VConstBlobWithPtr : public VBlob {
 public:
  // Not null, dirty.
  VConstBlobWithPtr(const void* data, size_t size);
  VConstBlobWithPtr(const VConstBlobWithPtr& other);
  VConstBlobWithPtr& operator=(const VConstBlobWithPtr&) = delete;
  ~VConstBlobWithPtr() override = default;

  uint64 GetSize() const override { return fSize; }
  VError SetSize(size_t size) override;
  VError GetData(void* dest, size_t size, int32 offset, size_t* got) const override;
  VError PutData(const void* src, size_t size, int32 offset) override;
  VError FromData(const void* src, size_t size) override;

  const void* GetDataPtr() const { return fData; }

  VConstBlobWithPtr* Clone() const override;
  // Takes another read-only blob's pointer, size and null state.
  bool FromValueSameKind(const VValue* other) override;
  void GetValue(VValueSingle& target) const override;
  void FromValue(const VValueSingle& value) override;

  // Raw and stream forms are written as VBlobWithPtr writes them; reading
  // is refused.
  const void* LoadFromPtr(const void* data, bool refOnly) override;
  void* WriteToPtr(void* data, bool refOnly, size_t max) const override;
  size_t GetSpace(size_t max) const override;
  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
  size_t GetStreamSpace() const override { return GetSpace(0); }

 private:
  const void* fData;
  uint64 fSize;
};

}  // namespace zeft
