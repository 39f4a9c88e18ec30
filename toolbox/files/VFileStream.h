// VFileStream is the stream over a file: it opens the file when the stream
// opens and closes it when the stream closes, reading ahead and writing
// behind through one memory buffer so that a series of small transfers
// becomes a few large ones through the open file. Data still buffered for
// writing is written by CloseWriting or Flush, never by the destructor.
#pragma once

#include <cstddef>

#include "core/VErrorCodes.h"
#include "core/VTypes.h"
#include "files/VStream.h"

namespace zeft {

class VFile;
class VFileDesc;

class VFileStream : public VStream {
 public:
  // Keeps a reference to the file (may be null: the stream then cannot be
  // opened) and the file options used when opening to write.
  VFileStream(const VFile* file, unsigned int options);
  ~VFileStream() override;

  // Flushes a stream open for writing, then replaces the buffer by one of
  // `size` bytes (for reading never more than the file's size); a closed
  // stream only remembers the size for its next opening.
  void SetBufferSize(size_t size);

 protected:
  VError DoOpenReading() override;
  VError DoOpenWriting() override;
  VError DoCloseReading() override;
  VError DoCloseWriting(bool setSize) override;
  VError DoGetData(void* buffer, size_t* ioCount) override;
  VError DoPutData(const void* data, size_t count) override;
  int64 DoGetSize() override;
  VError DoSetSize(int64 size) override;
  VError DoSetPos(int64 position) override;
  VError DoFlush() override;

 private:
  // Allocates a buffer of `size` bytes, halving the size until memory is
  // found; with none the stream works unbuffered. The buffer starts empty.
  void _AllocateBuffer(size_t size);
  void _FreeBuffer();
  // Writes the buffered bytes at the buffer start; empties the buffer.
  VError _WriteBuffer();

  VFile* fFile;
  VFileDesc* fDesc = nullptr;
  int64 fSize = 0;
  int64 fBufferStart = 0;
  uint64 fBufferCount = 0;
  uint64 fBufferSize = 0;
  uint64 fPreferredBufferSize = 32768;
  uint8* fBuffer = nullptr;
  unsigned int fOpenOptions;
};

}  // namespace zeft
