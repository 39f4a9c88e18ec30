#include "files/VStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/CharSet.h"
#include "core/VCppMemMgr.h"
#include "core/VFromUnicodeConverter.h"
#include "core/VString.h"
#include "core/VTextConverters.h"
#include "core/VToUnicodeConverter.h"
#include "core/VValue.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VProgressIndicator.h"

namespace zeft {

namespace {

constexpr int32 kSwapCopyTag = int32(FourCC("stm "));
constexpr size_t kCopyBlockSize = 4096;
constexpr int64 kMaxPosition = std::numeric_limits<int64>::max();

// Copies `count` elements of `elementSize` bytes (2, 4 or 8) from `source`
// to `destination`, reversing the bytes of each. The two may be the same.
template <class T, T (*kSwap)(T)>
void SwapCopy(void* destination, const void* source, size_t count) {
  uint8* to = static_cast<uint8*>(destination);
  const uint8* from = static_cast<const uint8*>(source);
  for (size_t i = 0; i < count; ++i, to += sizeof(T), from += sizeof(T)) {
    T word;
    std::memcpy(&word, from, sizeof(T));
    word = kSwap(word);
    std::memcpy(to, &word, sizeof(T));
  }
}

uint16 Swap16(uint16 word) { return __builtin_bswap16(word); }
uint32 Swap32(uint32 word) { return __builtin_bswap32(word); }
uint64 Swap64(uint64 word) { return __builtin_bswap64(word); }

void SwapElements(void* destination, const void* source, size_t count, size_t elementSize) {
  switch (elementSize) {
    case 2:
      SwapCopy<uint16, Swap16>(destination, source, count);
      break;
    case 4:
      SwapCopy<uint32, Swap32>(destination, source, count);
      break;
    case 8:
      SwapCopy<uint64, Swap64>(destination, source, count);
      break;
    default:
      break;
  }
}

}  // namespace

VStream::VStream() : fCharSet(kCharSetDefault8Bit), fCarriageReturnMode(kCRModeLF) {}

VStream::~VStream() {
  _ReleaseConverters();
  SetProgressIndicator(nullptr);
}

void VStream::SetProgressIndicator(VProgressIndicator* progress) {
  if (progress != nullptr) progress->Retain();
  if (fProgress != nullptr) fProgress->Release();
  fProgress = progress;
}

void VStream::_ReportProgress(size_t count) {
  if (fProgress == nullptr || count == 0) return;
  // The value is the bytes moved so far, so that it climbs to the size.
  if (!fProgress->Progress(fPosition) && fError == VE_OK)
    _RaiseError(toolbox_error::kStreamStoppedByProgress);
}

void VStream::_ReleaseConverters() {
  if (fToUnicode != nullptr) {
    fToUnicode->Release();
    fToUnicode = nullptr;
  }
  if (fFromUnicode != nullptr) {
    fFromUnicode->Release();
    fFromUnicode = nullptr;
  }
}

VError VStream::_PushError(int32 number) {
  VError error = ToolboxError(number);
  _ThrowError(error);
  return error;
}

VError VStream::_RaiseError(int32 number) {
  fError = _PushError(number);
  return fError;
}

bool VStream::GetUnderlyingData(const void*& outData, int64& outSize) const {
  outData = nullptr;
  outSize = 0;
  return false;
}

VError VStream::DoOpenReading() { return VE_OK; }
VError VStream::DoOpenWriting() { return VE_OK; }
VError VStream::DoCloseReading() { return VE_OK; }
VError VStream::DoCloseWriting(bool /*setSize*/) { return VE_OK; }
VError VStream::DoUngetData(const void* /*data*/, size_t /*count*/) { return VE_OK; }
VError VStream::DoSetPos(int64 /*position*/) { return VE_OK; }
VError VStream::DoFlush() { return VE_OK; }

// ---------------------------------------------------------------------------
// Opening and closing

VError VStream::OpenReading() {
  if (fIsReading || fIsWriting) return _PushError(toolbox_error::kStreamAlreadyOpened);
  if (fIsWriteOnly) return _PushError(toolbox_error::kStreamNotOpenForReading);
  if (fToUnicode == nullptr)
    fToUnicode = VTextConverters::Get()->RetainToUnicodeConverter(fCharSet);
  if (!fToUnicode->IsValid()) return _PushError(toolbox_error::kStreamNoTextConverter);

  fPosition = 0;
  fError = DoOpenReading();
  if (fError != VE_OK) return fError;
  fIsReading = true;
  if (fProgress != nullptr) fProgress->BeginSession(GetSize(), "Reading From Stream");
  return VE_OK;
}

VError VStream::OpenReading(uint32 signature) {
  VError error = OpenReading();
  if (error != VE_OK) return error;

  uint32 word = 0;
  _GetData(&word, sizeof(word), nullptr);
  if (fNeedSwap) word = __builtin_bswap32(word);
  if (word == signature) return fError;
  if (__builtin_bswap32(word) == signature) {
    fNeedSwap = !fNeedSwap;
    return fError;
  }
  if (fError == VE_OK) {
    fError = DoSetPos(0);
    if (fError == VE_OK) fPosition = 0;
  }
  return _PushError(toolbox_error::kStreamBadSignature);
}

VError VStream::CloseReading() {
  if (!fIsReading) return _PushError(toolbox_error::kStreamNotOpenForReading);
  DoCloseReading();
  if (fProgress != nullptr) fProgress->EndSession();
  fIsReading = false;
  return fError;
}

VError VStream::OpenWriting() {
  if (fIsReading || fIsWriting) return _PushError(toolbox_error::kStreamAlreadyOpened);
  if (fIsReadOnly) return _PushError(toolbox_error::kStreamNotOpenForWriting);

  fError = VE_OK;
  if (fFromUnicode == nullptr) {
    fFromUnicode = VTextConverters::Get()->RetainFromUnicodeConverter(fCharSet);
  }
  if (!fFromUnicode->IsValid()) _RaiseError(toolbox_error::kStreamNoTextConverter);

  fPosition = 0;
  VError error = DoOpenWriting();
  if (error != VE_OK) {
    fError = error;
    return error;
  }
  fIsWriting = true;
  if (fProgress != nullptr) fProgress->BeginSession(-1, "Writing to Stream");
  return fError;
}

VError VStream::CloseWriting(bool setSize) {
  if (!fIsWriting) return _PushError(toolbox_error::kStreamNotOpenForWriting);
  if (fError == VE_OK) fError = DoFlush();
  DoCloseWriting(setSize);
  if (fProgress != nullptr) fProgress->EndSession();
  fIsWriting = false;
  return fError;
}

VError VStream::SetReadOnly(bool readOnly) {
  fIsReadOnly = readOnly;
  return VE_OK;
}

VError VStream::SetWriteOnly(bool writeOnly) {
  fIsWriteOnly = writeOnly;
  return VE_OK;
}

// ---------------------------------------------------------------------------
// Position and size

int64 VStream::GetSize() { return DoGetSize(); }

VError VStream::SetSize(int64 size) {
  if (fError != VE_OK) return fError;
  if (!fIsWriting) return _RaiseError(toolbox_error::kStreamNotOpenForWriting);
  if (size < 0) return _RaiseError(toolbox_error::kInvalidParameter);
  fError = DoSetSize(size);
  if (fError == VE_OK && fPosition > size) fPosition = size;
  return fError;
}

VError VStream::SetPos(int64 position) {
  if (fError != VE_OK) return fError;
  if (!fIsReading && !fIsWriting) return _RaiseError(toolbox_error::kStreamNotOpened);
  // A negative position would address memory before the data.
  if (position < 0) return _RaiseError(toolbox_error::kInvalidParameter);
  fError = DoSetPos(position);
  if (fError == VE_OK) fPosition = position;
  return fError;
}

VError VStream::SetPosByOffset(int64 offset) {
  if (fError != VE_OK) return fError;
  if (!fIsReading && !fIsWriting) return _RaiseError(toolbox_error::kStreamNotOpened);
  if (offset < -fPosition || (offset > 0 && offset > kMaxPosition - fPosition)) {
    return _RaiseError(toolbox_error::kInvalidParameter);
  }
  return SetPos(fPosition + offset);
}

VError VStream::Flush() {
  if (!fIsWriting) return _PushError(toolbox_error::kStreamNotOpenForWriting);
  // A pending error is kept: flushing must not make an earlier failure look
  // like success.
  if (fError == VE_OK) fError = DoFlush();
  return fError;
}

// ---------------------------------------------------------------------------
// Raw bytes

VError VStream::_GetData(void* buffer, size_t count, size_t* outRead) {
  if (fError != VE_OK) return fError;
  if (!fIsReading) return _RaiseError(toolbox_error::kStreamNotOpenForReading);

  size_t got = count;
  fError = DoGetData(buffer, &got);
  got = std::min(got, count);
  fPosition += int64(got);
  if (outRead != nullptr) *outRead = got;
  _ReportProgress(count);
  return fError;
}

VError VStream::_PutData(const void* data, size_t count) {
  if (fError != VE_OK) return fError;
  if (!fIsWriting) return _RaiseError(toolbox_error::kStreamNotOpenForWriting);
  // The position must stay representable after the write.
  if (count > uint64(kMaxPosition - fPosition))
    return _RaiseError(toolbox_error::kInvalidParameter);

  fError = DoPutData(data, count);
  if (fError == VE_OK) {
    fPosition += int64(count);
    _ReportProgress(count);
  }
  return fError;
}

VError VStream::GetData(void* buffer, size_t count, size_t* outRead) {
  return _GetData(buffer, count, outRead);
}

VError VStream::UngetData(const void* data, size_t count) {
  if (fError != VE_OK && ErrorNumber(fError) != toolbox_error::kStreamEndOfData) return fError;
  if (count == 0) return fError;
  if (!fIsReading) return _RaiseError(toolbox_error::kStreamNotOpenForReading);
  if (count > uint64(fPosition)) return _RaiseError(toolbox_error::kStreamCannotUnget);
  fError = DoUngetData(data, count);
  if (fError == VE_OK) fPosition -= int64(count);
  return fError;
}

VError VStream::PutData(const void* data, size_t count) { return _PutData(data, count); }

VError VStream::PutByte(uint8 byte) { return _PutData(&byte, 1); }

VError VStream::PutContentInto(VStream* destination) {
  if (destination == nullptr || destination == this) {
    return _PushError(toolbox_error::kInvalidParameter);
  }
  VError error = OpenReading();
  if (error != VE_OK) return error;

  int64 size = GetSize();
  uint8 buffer[kCopyBlockSize];
  while (error == VE_OK && fPosition < size) {
    size_t count = size_t(std::min<int64>(size - fPosition, int64(kCopyBlockSize)));
    size_t got = 0;
    error = _GetData(buffer, count, &got);
    if (error != VE_OK) break;
    // Only the bytes delivered are copied; a kind that delivers none before
    // its size would otherwise spin here.
    if (got == 0)
      error = _RaiseError(toolbox_error::kStreamEndOfData);
    else
      error = destination->PutData(buffer, got);
  }
  VError closeError = CloseReading();
  return error != VE_OK ? error : closeError;
}

VError VStream::PutHexBytes(const char* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < count && fError == VE_OK; ++i) {
    uint8 byte = uint8(bytes[i]);
    if (_PutData(&kDigits[byte >> 4], 1) == VE_OK) _PutData(&kDigits[byte & 0x0F], 1);
  }
  return fError;
}

// ---------------------------------------------------------------------------
// Typed arrays

VError VStream::_GetElements(void* elements, int32* count, size_t elementSize) {
  if (count == nullptr) return _PushError(toolbox_error::kInvalidParameter);
  int32 wanted = *count;
  *count = 0;
  if (fError != VE_OK) return fError;
  if (!fIsReading) return _RaiseError(toolbox_error::kStreamNotOpenForReading);
  if (wanted < 1) return fError;

  // Computed in size_t: an int32 count times 8 does not fit in 32 bits.
  size_t bytes = size_t(wanted) * elementSize;
  size_t got = 0;
  _GetData(elements, bytes, &got);
  size_t whole = got / elementSize;
  if (fNeedSwap) SwapElements(elements, elements, whole, elementSize);
  *count = int32(whole);
  return fError;
}

VError VStream::_PutElements(const void* elements, int32 count, size_t elementSize) {
  if (fError != VE_OK) return fError;
  if (!fIsWriting) return _RaiseError(toolbox_error::kStreamNotOpenForWriting);
  if (count < 1) return fError;

  if (size_t(count) > std::numeric_limits<size_t>::max() / elementSize) {
    return _RaiseError(toolbox_error::kInvalidParameter);
  }
  size_t bytes = size_t(count) * elementSize;
  if (!fNeedSwap) return _PutData(elements, bytes);

  // Swapped in a copy: the caller's array is never changed.
  void* copy = VObject::sCppMemMgr->Malloc(bytes, false, kSwapCopyTag);
  if (copy == nullptr) return _RaiseError(toolbox_error::kMemoryFull);
  SwapElements(copy, elements, size_t(count), elementSize);
  _PutData(copy, bytes);
  VObject::sCppMemMgr->Free(copy);
  return fError;
}

VError VStream::GetWords(int16* words, int32* count) { return _GetElements(words, count, 2); }
VError VStream::PutWords(const int16* words, int32 count) { return _PutElements(words, count, 2); }
VError VStream::GetLongs(int32* longs, int32* count) { return _GetElements(longs, count, 4); }
VError VStream::PutLongs(const int32* longs, int32 count) { return _PutElements(longs, count, 4); }
VError VStream::GetLong8s(int64* long8s, int32* count) { return _GetElements(long8s, count, 8); }
VError VStream::PutLong8s(const int64* long8s, int32 count) {
  return _PutElements(long8s, count, 8);
}
VError VStream::GetReals(double* reals, int32* count) { return _GetElements(reals, count, 8); }
VError VStream::PutReals(const double* reals, int32 count) { return _PutElements(reals, count, 8); }

// ---------------------------------------------------------------------------
// Values

VError VStream::PutValue(const VValue& value, bool withKind) {
  if (withKind && fError == VE_OK) {
    uint16 kind = value.GetValueKind();
    if (fNeedSwap) kind = __builtin_bswap16(kind);
    _PutData(&kind, sizeof(kind));
  }
  return value.WriteToStream(this, 0);
}

VValue* VStream::GetValue() {
  uint16 kind = 0;
  _GetData(&kind, sizeof(kind), nullptr);
  if (fError != VE_OK) return nullptr;
  if (fNeedSwap) kind = __builtin_bswap16(kind);
  VValue* value = VValue::NewValueFromValueKind(kind);
  if (value != nullptr) value->ReadFromStream(this, 0);
  return value;
}

}  // namespace zeft
