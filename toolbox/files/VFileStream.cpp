#include "files/VFileStream.h"

#include <algorithm>
#include <cstring>

#include "core/VMemory.h"
#include "files/VFile.h"
#include "files/VFileDesc.h"

namespace zeft {

namespace {

constexpr int32 kBufferTag = int32(FourCC("stmf"));
constexpr uint64 kMaxBufferSize = 2147483647;

}  // namespace

VFileStream::VFileStream(const VFile* file, unsigned int options)
    : fFile(const_cast<VFile*>(file)), fOpenOptions(options) {
  if (fFile != nullptr) fFile->Retain();
}

VFileStream::~VFileStream() {
  _FreeBuffer();
  delete fDesc;
  if (fFile != nullptr) fFile->Release();
}

void VFileStream::_AllocateBuffer(size_t size) {
  _FreeBuffer();
  while (size > 0) {
    fBuffer = static_cast<uint8*>(VMemory::NewPtr(size, kBufferTag));
    if (fBuffer != nullptr) break;
    size /= 2;
  }
  fBufferSize = fBuffer != nullptr ? size : 0;
}

void VFileStream::_FreeBuffer() {
  VMemory::DisposePtr(fBuffer);
  fBuffer = nullptr;
  fBufferStart = 0;
  fBufferCount = 0;
  fBufferSize = 0;
}

void VFileStream::SetBufferSize(size_t size) {
  if (IsWriting()) Flush();
  _FreeBuffer();
  fPreferredBufferSize = size;
  if (IsWriting()) {
    _AllocateBuffer(size_t(std::min<uint64>(size, kMaxBufferSize)));
  } else if (IsReading()) {
    const uint64 limit = fSize == 0 ? size : std::min<uint64>(uint64(fSize), kMaxBufferSize);
    _AllocateBuffer(size_t(std::min<uint64>(size, limit)));
  }
}

// ---------------------------------------------------------------------------
// Opening and closing

VError VFileStream::DoOpenReading() {
  if (fFile == nullptr) return _PushError(toolbox_error::kStreamNoFile);
  if (fDesc == nullptr) {
    const VError error = fFile->Open(kFileAccessRead, &fDesc, kFileOptionReadAhead);
    if (error != VE_OK) return error;
  }
  fSize = fDesc->GetSize();
  if (fBuffer == nullptr) {
    uint64 size = fPreferredBufferSize;
    if (uint64(fSize) > kMaxBufferSize) {
      size = std::min(fPreferredBufferSize, kMaxBufferSize);
    } else if (fSize != 0 && uint64(fSize) < fPreferredBufferSize) {
      size = uint64(fSize);
    }
    _AllocateBuffer(size_t(std::min(size, kMaxBufferSize)));
  }
  fBufferStart = 0;
  fBufferCount = 0;
  return VE_OK;
}

VError VFileStream::DoOpenWriting() {
  if (fFile == nullptr) return _PushError(toolbox_error::kStreamNoFile);
  if (fDesc != nullptr) return _PushError(toolbox_error::kStreamNotOpenForWriting);
  const VError error = fFile->Open(kFileAccessReadWriteShared, &fDesc, fOpenOptions);
  if (error != VE_OK) return error;
  fSize = fDesc->GetSize();
  if (fBuffer == nullptr) _AllocateBuffer(size_t(std::min(fPreferredBufferSize, kMaxBufferSize)));
  fBufferStart = 0;
  fBufferCount = 0;
  return VE_OK;
}

VError VFileStream::DoCloseReading() {
  _FreeBuffer();
  delete fDesc;
  fDesc = nullptr;
  return VE_OK;
}

VError VFileStream::DoCloseWriting(bool setSize) {
  _FreeBuffer();
  VError error = VE_OK;
  if (setSize && fDesc != nullptr) error = fDesc->SetSize(fSize);
  delete fDesc;
  fDesc = nullptr;
  return error;
}

// ---------------------------------------------------------------------------
// Transfers

VError VFileStream::DoGetData(void* buffer, size_t* ioCount) {
  const size_t wanted = *ioCount;
  *ioCount = 0;
  if (fDesc == nullptr) return _PushError(toolbox_error::kStreamNotOpenForReading);
  if (wanted == 0) return VE_OK;
  uint8* out = static_cast<uint8*>(buffer);
  const int64 position = GetPos();
  size_t delivered = 0;

  if (position >= fBufferStart && uint64(position - fBufferStart) < fBufferCount) {
    const uint64 offset = uint64(position - fBufferStart);
    delivered = size_t(std::min<uint64>(fBufferCount - offset, wanted));
    std::memcpy(out, fBuffer + offset, delivered);
    if (delivered == wanted) {
      *ioCount = delivered;
      return VE_OK;
    }
  }

  VError result = VE_OK;
  const size_t rest = wanted - delivered;
  const int64 next = position + int64(delivered);
  if (rest <= fBufferSize) {
    fBufferStart = next;
    const uint64 available = fSize > next ? uint64(fSize - next) : 0;
    const size_t asked = size_t(std::min(fBufferSize, available));
    size_t got = 0;
    if (asked > 0) result = fDesc->GetData(fBuffer, asked, next, &got);
    // Only the bytes actually read are valid: a file cut short while it is
    // read never yields what lies past its end.
    fBufferCount = got;
    const size_t taken = std::min(rest, got);
    std::memcpy(out + delivered, fBuffer, taken);
    delivered += taken;
  } else {
    size_t got = 0;
    result = fDesc->GetData(out + delivered, rest, next, &got);
    delivered += std::min(got, rest);
  }

  *ioCount = delivered;
  const VError endOfData = ToolboxError(toolbox_error::kStreamEndOfData);
  if (delivered == wanted) return result == endOfData ? VE_OK : result;
  // A short read is the end of the data, unless the file itself failed.
  return result != VE_OK ? result : endOfData;
}

VError VFileStream::_WriteBuffer() {
  const size_t count = size_t(fBufferCount);
  fBufferCount = 0;
  if (count == 0) return VE_OK;
  return fDesc->PutData(fBuffer, count, fBufferStart);
}

VError VFileStream::DoPutData(const void* data, size_t count) {
  if (fDesc == nullptr) return _PushError(toolbox_error::kStreamNotOpenForWriting);
  const uint8* bytes = static_cast<const uint8*>(data);
  const int64 position = GetPos();
  const int64 end = position + int64(count);
  size_t copied = 0;

  if (fBufferCount > 0) {
    if (position >= fBufferStart && uint64(position - fBufferStart) <= fBufferCount) {
      // The write starts inside the buffered bytes or right after them.
      const uint64 offset = uint64(position - fBufferStart);
      copied = size_t(std::min<uint64>(fBufferSize - offset, count));
      std::memcpy(fBuffer + offset, bytes, copied);
      fBufferCount = std::max<uint64>(fBufferCount, offset + copied);
      if (copied == count) {
        fSize = std::max(fSize, end);
        return VE_OK;
      }
    } else if (count == 0) {
      fSize = std::max(fSize, position);
      return VE_OK;
    }
    const VError error = _WriteBuffer();
    if (error != VE_OK) return error;
  } else if (count == 0) {
    fSize = std::max(fSize, position);
    return VE_OK;
  } else if (count < fBufferSize) {
    std::memcpy(fBuffer, bytes, count);
    fBufferStart = position;
    fBufferCount = count;
    fSize = std::max(fSize, end);
    return VE_OK;
  }

  const size_t rest = count - copied;
  if (rest >= fBufferSize) {
    fBufferCount = 0;
    const VError error = fDesc->PutData(bytes + copied, rest, position + int64(copied));
    if (error != VE_OK) return error;
  } else {
    std::memcpy(fBuffer, bytes + copied, rest);
    fBufferStart = position + int64(copied);
    fBufferCount = rest;
  }
  fSize = std::max(fSize, end);
  return VE_OK;
}

VError VFileStream::DoFlush() {
  if (fDesc == nullptr) return VE_OK;
  // The bytes that could not be written are dropped once their error is
  // reported.
  const VError error = _WriteBuffer();
  const VError flushed = fDesc->Flush();
  fBufferStart = GetPos();
  return error != VE_OK ? error : flushed;
}

// ---------------------------------------------------------------------------
// Position and size

int64 VFileStream::DoGetSize() { return fSize; }

VError VFileStream::DoSetPos(int64 position) {
  if (IsWriting()) {
    VError error = VE_OK;
    if (position > fBufferStart + int64(fBufferCount)) error = DoFlush();
    if (error == VE_OK && position > fSize && fDesc != nullptr) {
      error = fDesc->SetSize(position);
      if (error == VE_OK) fSize = position;
    }
    return error;
  }
  if (position > fSize) return _PushError(toolbox_error::kStreamEndOfData);
  return VE_OK;
}

VError VFileStream::DoSetSize(int64 size) {
  if (size <= fBufferStart) {
    fBufferCount = 0;
  } else if (uint64(size - fBufferStart) < fBufferCount) {
    fBufferCount = uint64(size - fBufferStart);
  }
  if (fDesc == nullptr) return _PushError(toolbox_error::kStreamNotOpenForWriting);
  const VError error = fDesc->SetSize(size);
  if (error == VE_OK) fSize = size;
  return error;
}

}  // namespace zeft
