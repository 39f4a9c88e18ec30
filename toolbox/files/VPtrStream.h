// VPtrStream reads and writes a growable block that it owns. The bytes stay
// across closing and reopening, so a stream written and then opened for
// reading reads back what was written.
#pragma once

#include "core/VMemoryBuffer.h"
#include "files/VStream.h"

namespace zeft {

class VPtrStream : public VStream {
 public:
  VPtrStream();
  ~VPtrStream() override;

  // The bytes written so far, without copying; valid until the next write
  // or resize.
  bool GetUnderlyingData(const void*& outData, int64& outSize) const override;

 protected:
  VError DoPutData(const void* data, size_t count) override;
  VError DoGetData(void* buffer, size_t* ioCount) override;
  int64 DoGetSize() override;
  VError DoSetSize(int64 size) override;
  VError DoSetPos(int64 position) override;

 private:
  VMemoryBuffer<> fBuffer;
};

}  // namespace zeft
