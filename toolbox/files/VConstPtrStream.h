// VConstPtrStream reads a block of bytes that belongs to the caller, who
// keeps it alive for the stream's life. It can only be opened for reading.
#pragma once

#include "files/VStream.h"

namespace zeft {

class VConstPtrStream : public VStream {
 public:
  VConstPtrStream(const void* data, uint64 size);
  ~VConstPtrStream() override;

  bool GetUnderlyingData(const void*& outData, int64& outSize) const override;

 protected:
  VError DoOpenWriting() override;
  VError DoPutData(const void* data, size_t count) override;
  VError DoGetData(void* buffer, size_t* ioCount) override;
  int64 DoGetSize() override;
  VError DoSetSize(int64 size) override;
  VError DoSetPos(int64 position) override;

 private:
  const void* fData;
  uint64 fSize;
};

}  // namespace zeft
