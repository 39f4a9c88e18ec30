#include "core/StStringConverter.h"

#include <cstring>

#include "core/VCppMemMgr.h"
#include "core/VFromUnicodeConverter.h"
#include "core/VTextConverters.h"

namespace zeft {

namespace {
// Memory tag of the heap block of a large conversion.
constexpr int32 kConverterBlockTag = int32(FourCC("stcv"));
}  // namespace

StStringConverterBase::StStringConverterBase(CharSet set, ECarriageReturnMode mode)
    : fBuffer(fInlineBuffer),
      fSize(0),
      fMode(mode),
      fOK(false),
      fCapacity(kInlineBufferSize),
      fHeapBlock(nullptr),
      fTerminatorSize(2),
      fConverter(VTextConverters::Get()->RetainFromUnicodeConverter(set)) {
  fInlineBuffer[0] = 0;
  fInlineBuffer[1] = 0;
}

StStringConverterBase::StStringConverterBase(const StStringConverterBase& other)
    : fBuffer(fInlineBuffer),
      fSize(other.fSize),
      fMode(other.fMode),
      fOK(other.fOK),
      fCapacity(other.fCapacity),
      fHeapBlock(nullptr),
      fTerminatorSize(other.fTerminatorSize),
      fConverter(other.fConverter) {
  if (fConverter != nullptr) fConverter->Retain();
  const size_t bytes = fSize + fTerminatorSize;
  if (other.fBuffer != other.fInlineBuffer) {
    fHeapBlock = VObject::sCppMemMgr->Malloc(bytes, false, kConverterBlockTag);
    if (fHeapBlock == nullptr) {
      // No room for a copy: an empty, failed result rather than a dangling one.
      fSize = 0;
      fOK = false;
      fCapacity = kInlineBufferSize;
      std::memset(fInlineBuffer, 0, sizeof(uint32));
      return;
    }
    fBuffer = static_cast<char*>(fHeapBlock);
  }
  std::memcpy(fBuffer, other.fBuffer, bytes);
}

StStringConverterBase::StStringConverterBase(StStringConverterBase&& other) noexcept
    : fBuffer(fInlineBuffer),
      fSize(other.fSize),
      fMode(other.fMode),
      fOK(other.fOK),
      fCapacity(other.fCapacity),
      fHeapBlock(nullptr),
      fTerminatorSize(other.fTerminatorSize),
      fConverter(other.fConverter) {
  if (other.fBuffer == other.fInlineBuffer) {
    std::memcpy(fInlineBuffer, other.fInlineBuffer, fSize + fTerminatorSize);
  } else {
    fHeapBlock = other.fHeapBlock;
    fBuffer = static_cast<char*>(fHeapBlock);
  }
  other.fConverter = nullptr;
  other.fHeapBlock = nullptr;
  other._ResetToInline();
}

StStringConverterBase::~StStringConverterBase() {
  if (fHeapBlock != nullptr) VObject::sCppMemMgr->Free(fHeapBlock);
  if (fConverter != nullptr) fConverter->Release();
}

void StStringConverterBase::_ResetToInline() {
  fBuffer = fInlineBuffer;
  fCapacity = kInlineBufferSize;
  fSize = 0;
  fOK = false;
  std::memset(fInlineBuffer, 0, sizeof(uint32));
}

void StStringConverterBase::_ConvertString(const UniChar* text, int length, size_t terminatorSize) {
  fSize = 0;
  fTerminatorSize = terminatorSize;
  if (fConverter == nullptr) {  // moved from
    _ResetToInline();
    return;
  }
  if (text == nullptr || length < 0) length = 0;
  int consumed = 0;
  size_t produced = 0;
  const size_t room = fCapacity > terminatorSize ? fCapacity - terminatorSize : 0;
  bool ok = fConverter->Convert(text, length, &consumed, fBuffer, room, &produced);
  if (consumed < length) {
    // Too large for the current room: convert the whole text into the heap
    // block (ConvertRealloc may move it, so the buffer follows it). Some
    // converters report a full output as a failure (UTF-32), so a failed
    // first pass is retried there too; a real error fails again.
    produced = 0;
    ok = fConverter->ConvertRealloc(text, length, fHeapBlock, produced, terminatorSize);
    if (ok) {
      fBuffer = static_cast<char*>(fHeapBlock);
      fCapacity = produced;
    } else {
      produced = 0;
      fBuffer = fInlineBuffer;
      fCapacity = kInlineBufferSize;
    }
  }
  fOK = ok;
  fSize = ok ? produced : 0;
  std::memset(fBuffer + fSize, 0, terminatorSize);
}

StStringConverter<char>::StStringConverter(const VString& s, CharSet set, ECarriageReturnMode mode)
    : StStringConverterBase(set, mode) {
  ConvertString(s);
}

const char* StStringConverter<char>::ConvertString(const VString& s) {
  const ECarriageReturnMode mode = GetMode();
  if (mode == kCRModeCRLF || mode == kCRModeCR || mode == kCRModeLF) {
    VString converted(s);
    converted.ConvertCarriageReturns(mode);
    _ConvertString(converted.GetCPointer(), converted.GetLength(), 1);
  } else {
    _ConvertString(s.GetCPointer(), s.GetLength(), 1);
  }
  return GetCPointer();
}

}  // namespace zeft
