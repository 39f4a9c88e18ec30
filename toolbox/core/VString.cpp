#include "core/VString.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <utility>

#include "core/VCompareOptions.h"
#include "core/VCppMemMgr.h"
#include "core/VFromUnicodeConverter.h"
#include "core/VTextConverters.h"
#include "core/VToUnicodeConverter.h"
#include "files/VStream.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

constexpr int32 kMaxInt32 = 0x7FFFFFFF;

// Units are read from and written to streams in slices of this many, so
// that a stored count is only ever backed by memory as data arrives.
constexpr int32 kStreamSliceUnits = 1 << 16;

int32 SharedCountIndex(int32 capacity) { return (capacity + 2) & ~1; }

std::atomic_ref<int32> SharedCount(UniChar* block, int32 capacity) {
  return std::atomic_ref<int32>(*reinterpret_cast<int32*>(block + SharedCountIndex(capacity)));
}

uint32 SwapLong(uint32 value) { return __builtin_bswap32(value); }

void RaiseStringTooLong() { _ThrowError(ToolboxError(toolbox_error::kStringTooLong)); }

}  // namespace

// ---------------------------------------------------------------------------
// Static objects

constinit const VString_info VString::sInfo;
const VString VString::sEmpty;

// ---------------------------------------------------------------------------
// Shared blocks

void VString::RetainSharedBuffer(UniChar* block, int32 capacity, int32 counts) {
  SharedCount(block, capacity).fetch_add(counts);
}

void VString::ReleaseSharedBuffer(UniChar* block, int32 capacity, int32 counts) {
  if (block == nullptr) return;
  // Counts the caller holds cannot be taken by anyone else: when they are
  // all the block has, it is freed without a locked decrement.
  const std::atomic_ref<int32> count = SharedCount(block, capacity);
  if ((count.load(std::memory_order_acquire) == counts || count.fetch_sub(counts) == counts) &&
      VObject::sCppMemMgr != nullptr) {
    VObject::sCppMemMgr->Free(block);
  }
}

void VInlineString::InitWithString(const VString& s) {
  fTag = 0;
  fString = s.RetainBuffer(&fLength, &fMaxLength);
}

void VInlineString::Dispose() {
  VString::ReleaseSharedBuffer(fString, fMaxLength);
  fString = nullptr;
  fLength = 0;
  fMaxLength = 0;
}

// ---------------------------------------------------------------------------
// Construction

VString::VString() : VValueSingle(kFlagDirty), fString(fInlineUnit), fInline(fInlineUnit) {}

VString::VString(bool isNull)
    : VValueSingle(uint8(kFlagDirty | (isNull ? kFlagNull : 0))),
      fString(fInlineUnit),
      fInline(fInlineUnit) {}

VString::VString(InlineRoomTag, UniChar* room, int32 capacity)
    : VValueSingle(kFlagDirty),
      fInlineCapacity(capacity),
      fString(room),
      fMaxLength(capacity),
      fInline(room) {
  room[0] = 0;
}

VString::VString(const VString& other)
    : VValueSingle(uint8(kFlagDirty | (other.IsNull() ? kFlagNull : 0))),
      fString(fInlineUnit),
      fInline(fInlineUnit) {
  if (other._IsShareable()) {
    RetainSharedBuffer(other.fString, other.fMaxLength);
    fString = other.fString;
    fLength = other.fLength;
    fMaxLength = other.fMaxLength;
  } else if (other.fLength > 0 && _ReallocBuffer(other.fLength, false)) {
    std::memcpy(fString, other.fString, size_t(other.fLength) * sizeof(UniChar));
    _SetLengthAndTerminate(other.fLength);
  }
}

VString::VString(VString&& other) noexcept
    : VValueSingle(uint8(kFlagDirty | (other.IsNull() ? kFlagNull : 0))),
      fString(fInlineUnit),
      fInline(fInlineUnit) {
  if (!other.IsInline() && (other.fBufferFlags & kBufferExternal) == 0) {
    fString = other.fString;
    fLength = other.fLength;
    fMaxLength = other.fMaxLength;
    fBufferFlags = uint8(other.fBufferFlags & kBufferExclusive);
    other.fString = other.fInline;
    other.fLength = 0;
    other.fMaxLength = other.fInlineCapacity;
    other.fBufferFlags = 0;
    other.fString[0] = 0;
  } else if (!other.IsNull()) {
    FromString(other);
  }
}

VString::VString(UniChar c) : VString() {
  if (_ReallocBuffer(1, false)) {
    fString[0] = c;
    _SetLengthAndTerminate(1);
  }
}

VString::VString(const UniChar* text) : VString() { FromUniString(text, UniCStringLength(text)); }

VString::VString(const wchar_t* text) : VString() {
  if (text == nullptr) return;
  // Wide characters are whole code points: characters beyond U+FFFF become
  // surrogate pairs rather than losing their high bits.
  VToUnicodeConverter* converter = VTextConverters::Get()->RetainToUnicodeConverter(kCharSetUTF32);
  converter->ConvertString(text, std::wcslen(text) * sizeof(wchar_t), nullptr, *this);
  converter->Release();
  SetNotNullAndDirty();
}

VString::VString(wchar_t* text, size_t /*unused*/) : VString(static_cast<const wchar_t*>(text)) {}

VString::VString(size_t n, const wchar_t* text)
    : VString(InlineRoomTag{},
              reinterpret_cast<UniChar*>(reinterpret_cast<char*>(this) + sizeof(VString)),
              int32(std::min<size_t>(n, kMaxInt32 - 1))) {
  // Decoded as the other wide form does, then copied into the room when it
  // fits there.
  const VString decoded(text);
  AppendUniChars(decoded.GetCPointer(), decoded.GetLength());
  SetNotNullAndDirty();
}

void* VString::operator new(size_t size, size_t inlineUnits) {
  inlineUnits = std::min<size_t>(inlineUnits, kMaxInt32 - 1);
  return ::operator new(size + (inlineUnits + 1) * sizeof(UniChar));
}

VString::VString(const char* text) : VString() { AppendCString(text); }

VString::VString(const void* data, size_t bytes, CharSet set) : VString() {
  FromBlock(data, bytes, set);
}

VString::VString(UniChar* buffer, int32 length, size_t bufferBytes) : VString() {
  if (buffer == nullptr) {
    fFlags |= kFlagNull;
    return;
  }
  int32 capacity;
  if (bufferBytes == size_t(-1)) {
    capacity = length;
  } else {
    capacity = int32(std::min<size_t>(bufferBytes / 2, size_t(kMaxInt32) + 1) - 1);
  }
  // A length the buffer cannot hold (or a buffer without room for the
  // terminator) is not taken: the string stays empty on its own room.
  if (capacity < 0 || length < 0 || length > capacity) return;
  fString = buffer;
  fMaxLength = capacity;
  fBufferFlags = kBufferExternal | kBufferExclusive;
  _SetLengthAndTerminate(length);
}

VString::VString(UniChar* buffer, size_t bufferBytes)
    : VString(buffer, UniCStringLength(buffer), bufferBytes) {}

VString::VString(const VInlineString& s) : VString() {
  if (s.fString == nullptr) return;
  RetainSharedBuffer(s.fString, s.fMaxLength);
  fString = s.fString;
  fLength = s.fLength;
  fMaxLength = s.fMaxLength;
}

VString::VString(VInlineString&& s) noexcept : VString() {
  if (s.fString == nullptr) return;
  fString = s.fString;
  fLength = s.fLength;
  fMaxLength = s.fMaxLength;
  s.fString = nullptr;
  s.fLength = 0;
  s.fMaxLength = 0;
}

VString::VString(const VInlineString& s, bool /*borrow*/) : VString() {
  if (s.fString == nullptr) return;
  fString = s.fString;
  fLength = s.fLength;
  fMaxLength = s.fMaxLength;
  fBufferFlags = kBufferExternal;
}

VString::~VString() { _ReleaseBuffer(); }

VString* VString::NewString(int32 n) {
  if (n < 0) n = 0;
  void* block = operator new(sizeof(VString), size_t(n));
  UniChar* room = reinterpret_cast<UniChar*>(static_cast<char*>(block) + sizeof(VString));
  return ::new (block) VString(InlineRoomTag{}, room, n);
}

int32 VString::UniCStringLength(const UniChar* text) {
  if (text == nullptr) return 0;
  const UniChar* p = text;
  while (*p != 0) ++p;
  return int32(std::min<ptrdiff_t>(p - text, kMaxInt32));
}

// ---------------------------------------------------------------------------
// Buffers

bool VString::_IsShareable() const {
  return !IsInline() && !IsNull() && (fBufferFlags & kBufferExclusive) == 0;
}

void VString::_ReleaseBuffer() {
  if (IsInline() || (fBufferFlags & kBufferExternal) != 0) return;
  if (VObject::sCppMemMgr == nullptr) return;
  if ((fBufferFlags & kBufferExclusive) != 0) {
    VObject::sCppMemMgr->Free(fString);
  } else {
    ReleaseSharedBuffer(fString, fMaxLength);
  }
}

UniChar* VString::_RetainBuffer() const {
  if (!_IsShareable()) return nullptr;
  RetainSharedBuffer(fString, fMaxLength);
  return fString;
}

int64 VString::ComputeProgressiveResize(int32 currentLength, int32 requested) {
  constexpr int64 kLimit = 2147483650LL;
  if (requested < 6) return 8;
  int64 extra = (currentLength == 0 || currentLength == requested) ? 0 : (int64(requested) + 1) / 5;
  extra = std::min<int64>(extra, 10485760);
  extra = std::max<int64>(extra, 2);
  int64 size = (int64(requested) + extra + 8) & ~int64(7);
  if (size > kLimit && requested < 2147483645) {
    // Without slack: the block must still hold the count at its even index
    // behind the terminator, so its size in units is even.
    size = (int64(requested) + 4) & ~int64(1);
  }
  return size > kLimit ? 0 : size;
}

bool VString::_ReallocBuffer(int32 requested, bool keepContent) {
  if (requested < 0) {
    RaiseStringTooLong();
    return false;
  }
  int32 keep = keepContent ? std::min(fLength, requested) : 0;

  if (requested <= fInlineCapacity) {
    if (!IsInline()) {
      std::memmove(fInline, fString, size_t(keep) * sizeof(UniChar));
      _ReleaseBuffer();
      fString = fInline;
      fBufferFlags = 0;
    }
    fString[keep] = 0;
    fMaxLength = fInlineCapacity;
    return true;
  }

  if (VObject::sCppMemMgr != nullptr) {
    int64 size = ComputeProgressiveResize(fLength, requested);
    if (size == 0) {
      RaiseStringTooLong();
      return fMaxLength >= requested && _IsWritable();
    }
    // A block that no other string reads is resized where it lies when the
    // allocator can (the system's remaps a large one instead of copying it
    // and touching fresh pages), as a growing text does again and again.
    const bool resizeInPlace =
        keepContent && !IsInline() && (fBufferFlags & kBufferExternal) == 0 && _IsWritable();
    auto* block = static_cast<UniChar*>(
        resizeInPlace
            ? VObject::sCppMemMgr->Realloc(fString, size_t(size) * sizeof(UniChar))
            : VObject::sCppMemMgr->Malloc(size_t(size) * sizeof(UniChar), false, kTagString));
    if (block == nullptr) {
      RaiseStringTooLong();
      return false;
    }
    if (!resizeInPlace) {
      std::memcpy(block, fString, size_t(keep) * sizeof(UniChar));
      _ReleaseBuffer();
    }
    fString = block;
    fBufferFlags = 0;
    fMaxLength = int32(size - 3);
    block[keep] = 0;
    SharedCount(block, fMaxLength).store(1);
    return true;
  }

  // Before the memory manager exists: a system block that is never released.
  auto* block = static_cast<UniChar*>(std::malloc((size_t(requested) + 1) * sizeof(UniChar)));
  if (block == nullptr) {
    RaiseStringTooLong();
    return false;
  }
  std::memcpy(block, fString, size_t(keep) * sizeof(UniChar));
  fString = block;
  fBufferFlags = kBufferExternal | kBufferExclusive;
  fMaxLength = requested;
  block[keep] = 0;
  return true;
}

bool VString::_EnsureSize(int32 size, bool keepContent) {
  if (size < 0 || size > fMaxLength || !_IsWritable()) return _ReallocBuffer(size, keepContent);
  return true;
}

bool VString::EnsureSize(int32 size) {
  return _EnsureSize(size < 0 ? size : std::max(size, fLength), true);
}

UniChar* VString::GetCPointerForWrite(int32 size) {
  return _EnsureSize(std::max(size, fLength), true) ? fString : nullptr;
}

bool VString::Validate(int32 length) {
  if (length < 0 || length > fMaxLength) return false;
  // The terminator must not land in a block that other strings still read.
  if (!_IsWritable() && !_EnsureSize(fMaxLength, true)) return false;
  _SetLengthAndTerminate(length);
  return true;
}

UniChar* VString::RetainBuffer(int32* outLength, int32* outCapacity) const {
  *outLength = 0;
  *outCapacity = 0;
  if (IsNull() || fLength == 0) return nullptr;
  if (UniChar* shared = _RetainBuffer()) {
    *outLength = fLength;
    *outCapacity = fMaxLength;
    return shared;
  }
  UniChar* block = NewSharedBuffer(fString, fLength);
  if (block == nullptr) return nullptr;
  *outLength = fLength;
  *outCapacity = fLength;
  return block;
}

UniChar* VString::NewSharedBuffer(const UniChar* units, int32 count) {
  if (count <= 0 || VObject::sCppMemMgr == nullptr) return nullptr;
  // Room for the units, the terminator and the count at its even index.
  const int64 size = (int64(count) + 4) & ~int64(1);
  auto* block = static_cast<UniChar*>(
      VObject::sCppMemMgr->Malloc(size_t(size) * sizeof(UniChar), false, kTagLentString));
  if (block == nullptr) return nullptr;
  std::memcpy(block, units, size_t(count) * sizeof(UniChar));
  block[count] = 0;
  SharedCount(block, count).store(1);
  return block;
}

void VString::_EmptyForRewrite() {
  if (IsInline() || (_IsWritable() && fMaxLength < 33)) {
    fLength = 0;
    fString[0] = 0;
    return;
  }
  int32 oldLength = fLength;
  if (_ReallocBuffer(0, true)) {
    fLength = 0;
  } else {
    fLength = oldLength;
  }
}

void VString::_CutTo(int32 newLength) {
  if (!IsInline()) {
    bool keepBuffer = _IsWritable() && fMaxLength <= newLength + newLength / 8 + 32;
    if (!keepBuffer && !_ReallocBuffer(newLength, true)) return;
  }
  _SetLengthAndTerminate(newLength);
}

// ---------------------------------------------------------------------------
// Copy, exchange, clear

void VString::FromString(const VString& source) {
  if (source.IsNull()) {
    SetNull(true);
    return;
  }
  if (source.fString == fString) return;
  if (source._IsShareable()) {
    RetainSharedBuffer(source.fString, source.fMaxLength);
    _ReleaseBuffer();
    fString = source.fString;
    fLength = source.fLength;
    fMaxLength = source.fMaxLength;
    fBufferFlags = 0;
  } else {
    if (!_EnsureSize(source.fLength, false)) return;
    std::memmove(fString, source.fString, size_t(source.fLength) * sizeof(UniChar));
    fLength = source.fLength;
    fString[fLength] = 0;
  }
  SetNotNullAndDirty();
}

void VString::FromString(const VInlineString& s) {
  if (s.fString == nullptr) {
    _Clear();
  } else if (s.fString != fString) {
    RetainSharedBuffer(s.fString, s.fMaxLength);
    _ReleaseBuffer();
    fString = s.fString;
    fLength = s.fLength;
    fMaxLength = s.fMaxLength;
    fBufferFlags = 0;
  }
  SetNotNullAndDirty();
}

VString& VString::operator=(VString&& source) noexcept {
  if (&source == this) return *this;
  if (!source.IsInline() && (source.fBufferFlags & kBufferExternal) == 0) {
    _ReleaseBuffer();
    fString = source.fString;
    fLength = source.fLength;
    fMaxLength = source.fMaxLength;
    fBufferFlags = uint8(source.fBufferFlags & kBufferExclusive);
    source.fString = source.fInline;
    source.fLength = 0;
    source.fMaxLength = source.fInlineCapacity;
    source.fBufferFlags = 0;
    source.fString[0] = 0;
    SetNotNullAndDirty();
  } else {
    FromString(source);
  }
  return *this;
}

VString& VString::operator=(const UniChar* text) {
  FromUniString(text, UniCStringLength(text));
  return *this;
}

void VString::Swap(VString& other) {
  if (&other == this) return;
  bool thisInline = IsInline();
  bool otherInline = other.IsInline();

  if (thisInline && otherInline) {
    int32 thisLength = fLength;
    int32 otherLength = other.fLength;
    if (!_EnsureSize(otherLength, true) || !other._EnsureSize(thisLength, true)) return;
    // Either side may have moved to a heap block to make room.
    int32 common = std::min(thisLength, otherLength);
    for (int32 i = 0; i < common; ++i) std::swap(fString[i], other.fString[i]);
    if (thisLength > otherLength) {
      std::memcpy(other.fString + common, fString + common,
                  size_t(thisLength - common) * sizeof(UniChar));
    } else if (otherLength > thisLength) {
      std::memcpy(fString + common, other.fString + common,
                  size_t(otherLength - common) * sizeof(UniChar));
    }
    fLength = otherLength;
    fString[fLength] = 0;
    other.fLength = thisLength;
    other.fString[other.fLength] = 0;
    return;
  }

  if (!thisInline && !otherInline) {
    std::swap(fString, other.fString);
    std::swap(fLength, other.fLength);
    std::swap(fMaxLength, other.fMaxLength);
    std::swap(fBufferFlags, other.fBufferFlags);
  } else {
    VString& heapSide = thisInline ? other : *this;
    VString& inlineSide = thisInline ? *this : other;
    UniChar* block = heapSide.fString;
    int32 length = heapSide.fLength;
    int32 capacity = heapSide.fMaxLength;
    uint8 flags = heapSide.fBufferFlags;
    // The heap side goes back to its own room and copies the inline side's
    // units; its old block passes to the inline side without a count change.
    heapSide.fString = heapSide.fInline;
    heapSide.fLength = 0;
    heapSide.fMaxLength = heapSide.fInlineCapacity;
    heapSide.fBufferFlags = 0;
    heapSide.fString[0] = 0;
    if (inlineSide.fLength > 0) {
      if (!heapSide._ReallocBuffer(inlineSide.fLength, false)) {
        // No room for the copy: nothing is exchanged.
        heapSide.fString = block;
        heapSide.fLength = length;
        heapSide.fMaxLength = capacity;
        heapSide.fBufferFlags = flags;
        return;
      }
      std::memcpy(heapSide.fString, inlineSide.fString,
                  size_t(inlineSide.fLength) * sizeof(UniChar));
      heapSide.fLength = inlineSide.fLength;
      heapSide.fString[heapSide.fLength] = 0;
    }
    inlineSide.fString = block;
    inlineSide.fLength = length;
    inlineSide.fMaxLength = capacity;
    inlineSide.fBufferFlags = flags;
  }
  SetNotNullAndDirty();
  other.SetNotNullAndDirty();
}

VString* VString::Clone() const { return new VString(*this); }

void VString::_Clear() {
  _ReleaseBuffer();
  fString = fInline;
  fLength = 0;
  fMaxLength = fInlineCapacity;
  fBufferFlags = 0;
  fString[0] = 0;
}

void VString::Clear() {
  _Clear();
  SetNotNullAndDirty();
}

void VString::DoNullChanged() {
  if (IsNull()) _Clear();
}

// ---------------------------------------------------------------------------
// Setters of the whole content

void VString::FromBoolean(uint8 b) {
  _EmptyForRewrite();
  AppendCString(b != 0 ? "true" : "false");
  SetNotNullAndDirty();
}

void VString::FromByte(int8 n) { FromLong(n); }

void VString::FromWord(int16 n) { FromLong(n); }

void VString::FromLong(int32 n) {
  _EmptyForRewrite();
  AppendLong(n);
  SetNotNullAndDirty();
}

void VString::FromLong8(int64 n) {
  _EmptyForRewrite();
  AppendLong8(n);
  SetNotNullAndDirty();
}

void VString::FromULong8(uint64 n) {
  _EmptyForRewrite();
  AppendULong8(n);
  SetNotNullAndDirty();
}

void VString::FromReal(double r) {
  _EmptyForRewrite();
  AppendReal(r);
  SetNotNullAndDirty();
}

void VString::FromValue(const VValueSingle& value) { value.GetString(*this); }

bool VString::FromValueSameKind(const VValue* other) {
  FromString(*static_cast<const VString*>(other));
  return true;
}

void VString::FromUniChar(UniChar c) {
  if (c == 0) {
    Clear();
    return;
  }
  if (!_EnsureSize(1, false)) return;
  fString[0] = c;
  _SetLengthAndTerminate(1);
}

void VString::FromUniString(const UniChar* units, int32 count) {
  if (units == nullptr) count = 0;
  if (!_EnsureSize(count, false)) return;
  if (count > 0) std::memmove(fString, units, size_t(count) * sizeof(UniChar));
  _SetLengthAndTerminate(count);
}

void VString::FromCString(const char* text) {
  if (text == nullptr) {
    Clear();
    return;
  }
  size_t bytes = 0;
  uint8 all = 0;
  for (const char* p = text; *p != 0; ++p, ++bytes) all |= uint8(*p);
  if ((all & 0x80) != 0) {
    FromBlock(text, bytes, kCharSetUTF8);
    return;
  }
  if (bytes > size_t(kMaxInt32)) {
    RaiseStringTooLong();
    return;
  }
  int32 count = int32(bytes);
  if (!_EnsureSize(count, false)) return;
  for (int32 i = 0; i < count; ++i) fString[i] = UniChar(uint8(text[i]));
  _SetLengthAndTerminate(count);
}

void VString::FromOsType(uint32 code) {
  const uint8 bytes[4] = {uint8(code >> 24), uint8(code >> 16), uint8(code >> 8), uint8(code)};
  if ((code & 0x80808080) != 0) {
    FromBlock(bytes, 4, kCharSetUTF8);
    return;
  }
  // Plain ASCII decodes one unit per byte, within four units of room.
  if (!_EnsureSize(4, false)) return;
  for (int32 i = 0; i < 4; ++i) fString[i] = bytes[i];
  _SetLengthAndTerminate(4);
}

size_t VString::FromBlock(const void* data, size_t bytes, CharSet set) {
  if (set == kCharSetUTF16) {
    size_t units = bytes / sizeof(UniChar);
    if (units > size_t(kMaxInt32)) {
      RaiseStringTooLong();
      return 0;
    }
    if (!_EnsureSize(int32(units), false)) return 0;
    if (units > 0) std::memmove(fString, data, units * sizeof(UniChar));
    _SetLengthAndTerminate(int32(units));
    return bytes;
  }
  _Clear();
  size_t consumed = 0;
  VTextConverters* converters = VTextConverters::Get();
  if (set == kCharSetUTF8) {
    // The process-wide UTF-8 decoder is stateless and lives as long as the
    // registry: no reference needs to be taken for the commonest set.
    converters->GetStdLibToUnicodeConverter()->ConvertString(data, bytes, &consumed, *this);
  } else {
    VToUnicodeConverter* converter = converters->RetainToUnicodeConverter(set);
    converter->ConvertString(data, bytes, &consumed, *this);
    converter->Release();
  }
  SetNotNullAndDirty();
  return consumed;
}

void VString::GetString(VString& target) const { target.FromString(*this); }

void VString::GetValue(VValueSingle& target) const { target.FromString(*this); }

// ---------------------------------------------------------------------------
// Value forms

const VValueInfo* VString::GetValueInfo() const { return &sInfo; }

CharSet VString::DebugDump(char* buffer, int& size) const {
  int bytes = int(std::min<int64>(int64(fLength) * 2, int64(size) - 2));
  if (bytes < 0) bytes = 0;
  if (bytes > 0) std::memcpy(buffer, fString, size_t(bytes));
  size = bytes;
  return kCharSetUTF16;
}

size_t VString::GetSpace(size_t max) const {
  size_t space = 4 + 2 * size_t(fLength);
  return (max != 0 && space >= max) ? max : space;
}

void* VString::WriteToPtr(void* data, bool /*refOnly*/, size_t max) const {
  size_t units = size_t(fLength);
  if (max != 0 && 4 + 2 * units > max) units = max >= 4 ? (max - 4) / 2 : 0;
  auto* out = static_cast<char*>(data);
  uint32 length = uint32(units);
  std::memcpy(out, &length, 4);
  std::memcpy(out + 4, fString, units * sizeof(UniChar));
  return out + 4 + units * sizeof(UniChar);
}

const void* VString::LoadFromPtr(const void* data, bool /*refOnly*/) {
  const auto* in = static_cast<const char*>(data);
  uint32 length;
  std::memcpy(&length, in, 4);
  if (length > uint32(kMaxInt32)) {
    // Not a string this type can hold: nothing is taken.
    RaiseStringTooLong();
    return in + 4;
  }
  if (_EnsureSize(int32(length), false)) {
    std::memcpy(fString, in + 4, size_t(length) * sizeof(UniChar));
    _SetLengthAndTerminate(int32(length));
  }
  return in + 4 + size_t(length) * sizeof(UniChar);
}

size_t VString::GetSizeInStream() const { return fLength > 0 ? 2 * size_t(fLength) + 10 : 4; }

VError VString::WriteToStream(VStream* stream, int32 param) const {
  VError error = VValueSingle::WriteToStream(stream, param);
  if (error != VE_OK) return error;
  uint32 word = uint32(-fLength);
  if (stream->NeedSwap()) word = SwapLong(word);
  stream->PutData(&word, 4);
  if (fLength > 0) stream->PutWords(reinterpret_cast<const int16*>(fString), fLength);
  return stream->GetLastError();
}

// Reads up to `count` units into this string's buffer behind `done` units,
// growing it one slice at a time so that memory follows the data actually
// present. Returns the units read; false in `ok` when room could not be
// had.
static int32 ReadUnitsInSlices(VStream* stream, VString& s, int32 count, bool& ok) {
  ok = true;
  int32 done = 0;
  while (done < count) {
    int32 slice = std::min(count - done, kStreamSliceUnits);
    UniChar* buffer = s.GetCPointerForWrite(done + slice);
    if (buffer == nullptr) {
      ok = false;
      return done;
    }
    int32 got = slice;
    stream->GetWords(reinterpret_cast<int16*>(buffer + done), &got);
    done += got;
    // Keep what arrived so far; the next slice's growth keeps it.
    s.Validate(done);
    if (got < slice) break;
  }
  return done;
}

VError VString::ReadFromStream(VStream* stream, int32 /*param*/) {
  int32 first = 0;
  if (stream->GetData(&first, 4) != VE_OK) return stream->GetLastError();
  if (stream->NeedSwap()) first = int32(SwapLong(uint32(first)));

  if (first == 0) {
    Clear();
    return stream->GetLastError();
  }

  if (first < 0) {
    if (first == int32(0x80000000)) {
      // -n cannot be negated: no string is that long.
      Clear();
      RaiseStringTooLong();
      return ToolboxError(toolbox_error::kStringTooLong);
    }
    int32 count = -first;
    _Clear();
    bool ok;
    int32 got = ReadUnitsInSlices(stream, *this, count, ok);
    if (!ok) {
      Clear();
      return stream->GetLastError();
    }
    _SetLengthAndTerminate(got);
    return stream->GetLastError();
  }

  int32 format = 0;
  if (stream->GetData(&format, 4) != VE_OK) return stream->GetLastError();
  if (stream->NeedSwap()) format = int32(SwapLong(uint32(format)));
  if (format != 1 && format != 2) {
    stream->SetPosByOffset(int64(first) + 1);
    return stream->GetLastError();
  }
  if (first == kMaxInt32) {
    // The characters plus their terminator would exceed a string's length.
    Clear();
    RaiseStringTooLong();
    return ToolboxError(toolbox_error::kStringTooLong);
  }
  // The older form: n characters followed by their stored terminator.
  VString text;
  bool ok;
  int32 got = ReadUnitsInSlices(stream, text, first + 1, ok);
  if (!ok) {
    stream->SetPosByOffset(2 * int64(first + 1 - got));
    return stream->GetLastError();
  }
  text.Truncate(std::min(got, first));
  FromString(text);
  return stream->GetLastError();
}

// ---------------------------------------------------------------------------
// Descriptor

VValue* VString_info::Generate() const { return new VString(); }

VValue* VString_info::Generate(VBlob* /*blob*/) const { return new VString(); }

VValue* VString_info::LoadFromPtr(const void* data, bool refOnly) const {
  auto* s = new VString();
  s->LoadFromPtr(data, refOnly);
  return s;
}

void* VString_info::ByteSwapPtr(void* data, bool fromNative) const {
  auto* p = static_cast<uint8*>(data);
  uint32 before;
  std::memcpy(&before, p, 4);
  uint32 after = SwapLong(before);
  std::memcpy(p, &after, 4);
  uint32 count = fromNative ? before : after;
  auto* units = p + 4;
  for (uint32 i = 0; i < count; ++i) std::swap(units[2 * i], units[2 * i + 1]);
  return units + 2 * size_t(count);
}

size_t VString_info::GetSizeOfValueDataPtr(const void* data) const {
  uint32 length;
  std::memcpy(&length, data, 4);
  return 4 + 2 * size_t(length);
}

size_t VString_info::GetAvgSpace() const { return 64; }

// ---------------------------------------------------------------------------
// Other string forms

std::string to_string(const VString& s) {
  std::string result;
  if (s.IsNull() || s.IsEmpty()) return result;
  VFromUnicodeConverter* converter = VTextConverters::Get()->GetStdLibFromUnicodeConverter();
  try {
    int consumed = 0;
    size_t produced = 0;
    if (s.GetLength() < 256) {
      char buffer[512];
      if (converter->Convert(s.GetCPointer(), s.GetLength(), &consumed, buffer, sizeof(buffer),
                             &produced) &&
          consumed == s.GetLength()) {
        result.assign(buffer, produced);
        return result;
      }
    }
    size_t needed = 0;
    converter->Convert(s.GetCPointer(), s.GetLength(), &consumed, nullptr, 2147483647, &needed);
    result.resize(needed);
    produced = 0;
    converter->Convert(s.GetCPointer(), s.GetLength(), &consumed, result.data(), needed, &produced);
    result.resize(std::min(produced, needed));
  } catch (...) {
    // A conversion that throws ends with what was assigned so far.
  }
  return result;
}

VString ToString(int n) {
  VString s;
  s.FromLong(n);
  return s;
}

VString ToString(long long n) {
  VString s;
  s.FromLong8(n);
  return s;
}

VString ToString(unsigned long long n) {
  VString s;
  s.FromULong8(n);
  return s;
}

VString ToString(unsigned long n) {
  VString s;
  s.FromULong8(n);
  return s;
}

}  // namespace zeft
