// VBlobStream reads and writes a blob value at the stream's position. Made
// without a blob it keeps an empty blob of its own, deleted with the
// stream. Blob offsets are 32-bit: the stream addresses at most 2^31 - 1
// bytes.
#pragma once

#include "files/VStream.h"

namespace zeft {

class VBlob;

class VBlobStream : public VStream {
 public:
  // Over the caller's blob (not owned), or over a new blob when null.
  explicit VBlobStream(VBlob* blob = nullptr);
  ~VBlobStream() override;

  VBlob* GetBlob() const { return fBlob; }

 protected:
  VError DoPutData(const void* data, size_t count) override;
  VError DoGetData(void* buffer, size_t* ioCount) override;
  int64 DoGetSize() override;
  VError DoSetSize(int64 size) override;
  VError DoSetPos(int64 position) override;

 private:
  VBlob* fBlob;
  bool fOwnsBlob;
};

}  // namespace zeft
