#include "values/VUUID.h"

#include <cstring>

#include "core/ASCIIText.h"
#include "core/StStringConverter.h"
#include "core/VString.h"
#include "files/VStream.h"
#include "values/mac/XMacUUID.h"

namespace zeft {

constinit const VUUID_info VUUID::sInfo;
const VUUID VUUID::sNullUUID;

// ---- Descriptor

VValue* VUUID_info::Generate() const { return new VUUID(); }
VValue* VUUID_info::Generate(VBlob*) const { return new VUUID(); }

VValue* VUUID_info::LoadFromPtr(const void* data, bool refOnly) const {
  VUUID* uuid = new VUUID();
  uuid->LoadFromPtr(data, refOnly);
  return uuid;
}

void* VUUID_info::ByteSwapPtr(void* data, bool) const { return data; }

CompareResult VUUID_info::CompareTwoPtrToData(const void* data1, const void* data2, bool) const {
  const int result = std::memcmp(data1, data2, VUUID::kByteCount);
  return result == 0 ? kCompareEqual : result > 0 ? kCompareBigger : kCompareLess;
}
CompareResult VUUID_info::CompareTwoPtrToDataBegining(const void* data1, const void* data2,
                                                      bool diacritical) const {
  return CompareTwoPtrToData(data1, data2, diacritical);
}
CompareResult VUUID_info::CompareTwoPtrToDataWithOptions(const void* data1, const void* data2,
                                                         const VCompareOptions&) const {
  return CompareTwoPtrToData(data1, data2, false);
}
size_t VUUID_info::GetSizeOfValueDataPtr(const void*) const { return VUUID::kByteCount; }
size_t VUUID_info::GetAvgSpace() const { return VUUID::kByteCount; }

// ---- Construction

VUUID::VUUID() : VValueSingle(kFlagNull | kFlagDirty) {}

VUUID::VUUID(bool generate) : VValueSingle(kFlagNull | kFlagDirty) {
  if (generate) Regenerate();
}

VUUID::VUUID(const VUUIDBuffer& buffer) : VValueSingle(kFlagDirty) { FromBuffer(buffer); }

VUUID::VUUID(const char* text) : VValueSingle(kFlagDirty) { FromBuffer(text); }

VUUID::VUUID(const VUUID& other) : VValueSingle(uint8(kFlagDirty | (other.fFlags & kFlagNull))) {
  std::memcpy(fBytes, other.fBytes, kByteCount);
}

VUUID& VUUID::operator=(const VUUID& other) {
  FromVUUID(other);
  return *this;
}

VUUID::~VUUID() { delete fCachedText; }

void VUUID::Clear() {
  std::memset(fBytes, 0, kByteCount);
  _GotValue(true);
}

VUUID* VUUID::Clone() const {
  VUUIDBuffer buffer;
  ToBuffer(buffer);
  return new VUUID(buffer);
}

bool VUUID::FromValueSameKind(const VValue* other) {
  FromVUUID(*static_cast<const VUUID*>(other));
  return true;
}

bool VUUID::AllZero(const uint8* bytes) {
  for (size_t i = 0; i < kByteCount; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

CompareResult VUUID::CompareBytes(const uint8* a, const uint8* b) {
  const int result = std::memcmp(a, b, kByteCount);
  return result == 0 ? kCompareEqual : result > 0 ? kCompareBigger : kCompareLess;
}

void VUUID::DoNullChanged() {
  if (!IsNull()) return;
  std::memset(fBytes, 0, kByteCount);
  if (fCachedText != nullptr) fCachedText->SetNull(true);
}

void VUUID::_GotValue(bool isNull) {
  SetNull(isNull);
  fFlags |= kFlagDirty;
  if (fCachedText != nullptr) {
    GetString(*fCachedText);
    fCachedText->SetNull(isNull);
  }
}

// ---- Setting

void VUUID::FromBuffer(const VUUIDBuffer& buffer) {
  std::memcpy(fBytes, buffer.fBytes, kByteCount);
  _GotValue(AllZero(fBytes));
}

void VUUID::FromBuffer(const char* text) {
  const size_t length = std::strlen(text);
  if (length <= kByteCount) {
    std::memset(fBytes, 0, kByteCount);
    std::memcpy(fBytes, text, length);
  } else if (length == size_t(kTextLength)) {
    for (size_t i = 0; i < kByteCount; ++i) {
      const int high = HexDigitValue(uint8(text[2 * i]));
      const int low = HexDigitValue(uint8(text[2 * i + 1]));
      fBytes[i] = uint8(((high < 0 ? 0 : high) << 4) | (low < 0 ? 0 : low));
    }
  }
  _GotValue(AllZero(fBytes));
}

void VUUID::BuildFromAnsiString(const VString& text) {
  std::memset(fBytes, ' ', kByteCount);
  StStringConverter<char> converter(text, kCharSetUTF8);
  const size_t size = converter.GetSize() < kByteCount ? converter.GetSize() : kByteCount;
  std::memcpy(fBytes, converter.GetCPointer(), size);
  _GotValue(false);
}

void VUUID::Regenerate() {
  VUUIDBuffer buffer;
  // When no random bytes can be had the bytes stay as they were.
  if (XMacUUID::Generate(&buffer)) std::memcpy(fBytes, buffer.fBytes, kByteCount);
  _GotValue(false);
}

void VUUID::FromVUUID(const VUUID& other) {
  std::memcpy(fBytes, other.fBytes, kByteCount);
  _GotValue(other.IsNull());
}

void VUUID::FromValue(const VValueSingle& value) { value.GetVUUID(*this); }

void VUUID::FromString(const VString& text) {
  uint8 bytes[kByteCount] = {};
  int32 digits = 0;
  const UniChar* units = text.GetCPointer();
  for (int32 i = 0; i < text.GetLength() && digits < kTextLength; ++i) {
    const int value = HexDigitValue(units[i]);
    if (value < 0) continue;
    bytes[digits / 2] = uint8(bytes[digits / 2] | (digits % 2 == 0 ? value << 4 : value));
    ++digits;
  }
  if (digits == kTextLength) {
    std::memcpy(fBytes, bytes, kByteCount);
    _GotValue(false);
  } else {
    BuildFromAnsiString(text);
  }
}

// ---- Reading

void VUUID::ToBuffer(VUUIDBuffer& buffer) const { std::memcpy(buffer.fBytes, fBytes, kByteCount); }

void VUUID::GetString(VString& text) const {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  UniChar units[kTextLength];
  for (size_t i = 0; i < kByteCount; ++i) {
    units[2 * i] = UniChar(kDigits[fBytes[i] >> 4]);
    units[2 * i + 1] = UniChar(kDigits[fBytes[i] & 0x0F]);
  }
  text.FromUniString(units, kTextLength);
}

VError VUUID::GetJSONString(VString& text, uint32 options) const {
  VString digits;
  GetString(digits);
  return digits.GetJSONString(text, options);
}

void VUUID::GetVUUID(VUUID& target) const { target.FromVUUID(*this); }
void VUUID::GetValue(VValueSingle& target) const { target.FromVUUID(*this); }

VString* VUUID::GetCachedConvertedString(bool create) {
  if (fCachedText == nullptr && create) {
    fCachedText = new VString();
    GetString(*fCachedText);
    fCachedText->SetNull(IsNull());
  }
  return fCachedText;
}

bool VUUID::IsUUIDString(const VString& text, bool allowNull) {
  if (text.GetLength() != kTextLength) return false;
  bool allZero = true;
  const UniChar* units = text.GetCPointer();
  for (int32 i = 0; i < kTextLength; ++i) {
    const UniChar c = units[i];
    if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))) return false;
    if (c != u'0') allZero = false;
  }
  return allowNull || !allZero;
}

// ---- Comparison

CompareResult VUUID::CompareTo(const VValueSingle& other, bool diacritical) const {
  if (other.GetValueKind() != kValueKindUUID) return kCompareUnordered;
  return CompareToSameKind(&other, diacritical);
}
CompareResult VUUID::CompareToSameKind(const VValue* other, bool) const {
  return CompareBytes(fBytes, static_cast<const VUUID*>(other)->fBytes);
}
bool VUUID::EqualToSameKind(const VValue* other, bool) const {
  return std::memcmp(fBytes, static_cast<const VUUID*>(other)->fBytes, kByteCount) == 0;
}
CompareResult VUUID::CompareToSameKindPtr(const void* data, bool) const {
  return CompareBytes(fBytes, static_cast<const uint8*>(data));
}
bool VUUID::EqualToSameKindPtr(const void* data, bool) const {
  return std::memcmp(fBytes, data, kByteCount) == 0;
}
CompareResult VUUID::CompareToSameKindWithOptions(const VValue* other,
                                                  const VCompareOptions&) const {
  return CompareToSameKind(other, false);
}
bool VUUID::EqualToSameKindWithOptions(const VValue* other, const VCompareOptions&) const {
  return EqualToSameKind(other, false);
}
CompareResult VUUID::CompareToSameKindPtrWithOptions(const void* data,
                                                     const VCompareOptions&) const {
  return CompareToSameKindPtr(data, false);
}
bool VUUID::EqualToSameKindPtrWithOptions(const void* data, const VCompareOptions&) const {
  return EqualToSameKindPtr(data, false);
}

bool VUUID::operator==(const VUUID& other) const { return EqualToSameKind(&other, false); }
bool VUUID::operator<(const VUUID& other) const {
  return CompareBytes(fBytes, other.fBytes) == kCompareLess;
}

// ---- Raw and stream forms

const void* VUUID::LoadFromPtr(const void* data, bool) {
  std::memcpy(fBytes, data, kByteCount);
  _GotValue(AllZero(fBytes));
  return static_cast<const uint8*>(data) + kByteCount;
}

void* VUUID::WriteToPtr(void* data, bool, size_t) const {
  std::memcpy(data, fBytes, kByteCount);
  return static_cast<uint8*>(data) + kByteCount;
}

VError VUUID::ReadFromStream(VStream* stream, int32) {
  // A short read leaves the identifier as it was.
  uint8 bytes[kByteCount];
  size_t got = 0;
  const VError error = stream->GetData(bytes, kByteCount, &got);
  if (got == kByteCount) {
    std::memcpy(fBytes, bytes, kByteCount);
    _GotValue(false);
  }
  return error;
}

VError VUUID::WriteToStream(VStream* stream, int32 param) const {
  VValueSingle::WriteToStream(stream, param);
  return stream->PutData(fBytes, kByteCount);
}

}  // namespace zeft
