#include "values/StPackedDictionaryKey.h"

#include <cstring>
#include <utility>

#include "core/VFromUnicodeConverter.h"
#include "core/VMemory.h"
#include "core/VString.h"
#include "core/VTextConverters.h"

namespace zeft {

StPackedDictionaryKey::StPackedDictionaryKey(const char* text, size_t length)
    : fText(nullptr), fLength(0), fOwned(nullptr), fHash(0) {
  if (length <= kMaxLength && (text != nullptr || length == 0)) _SetOwnedCopy(text, length);
}

StPackedDictionaryKey::StPackedDictionaryKey(const wchar_t* text)
    : StPackedDictionaryKey(VString(text)) {}

StPackedDictionaryKey::StPackedDictionaryKey(const VString& text)
    : fText(nullptr), fLength(0), fOwned(nullptr), fHash(0) {
  // One byte of room more than a key may use tells a text that converts to
  // exactly 255 bytes from a longer one.
  char buffer[kMaxLength + 1];
  size_t produced = 0;
  int consumed = 0;
  const int length = text.GetLength();
  if (length > 0) {
    VFromUnicodeConverter* converter = VTextConverters::Get()->GetStdLibFromUnicodeConverter();
    if (converter == nullptr ||
        !converter->Convert(text.GetCPointer(), length, &consumed, buffer, sizeof(buffer),
                            &produced) ||
        consumed != length || produced > kMaxLength) {
      return;
    }
  }
  _SetOwnedCopy(buffer, produced);
}

StPackedDictionaryKey& StPackedDictionaryKey::operator=(const StPackedDictionaryKey& other) {
  if (this != &other) {
    if (fOwned != nullptr) _FreeOwned();
    _CopyFrom(other);
  }
  return *this;
}

StPackedDictionaryKey& StPackedDictionaryKey::operator=(StPackedDictionaryKey&& other) noexcept {
  if (this != &other) {
    if (fOwned != nullptr) _FreeOwned();
    fText = other.fText;
    fLength = other.fLength;
    fHash = other.fHash;
    fOwned = std::exchange(other.fOwned, nullptr);
  }
  return *this;
}

bool StPackedDictionaryKey::Equals(const char* text, size_t length) const {
  return fText != nullptr && length == fLength &&
         (length == 0 || std::memcmp(text, fText, length) == 0);
}

void StPackedDictionaryKey::GetKeyString(VString& out) const {
  if (fLength == 0) {
    out.Clear();
    return;
  }
  out.FromBlock(fText, fLength, kCharSetUTF8);
}

void StPackedDictionaryKey::_SetOwnedCopy(const char* text, size_t length) {
  fText = nullptr;
  fLength = 0;
  fHash = 0;
  fOwned = static_cast<char*>(VMemory::NewPtr(length + 1, kTag));
  if (fOwned == nullptr) return;
  if (length != 0) std::memcpy(fOwned, text, length);
  fOwned[length] = 0;
  fText = fOwned;
  fLength = length;
  fHash = GetHashCode(fText, fLength);
}

void StPackedDictionaryKey::_CopyFrom(const StPackedDictionaryKey& other) {
  fOwned = nullptr;
  if (other.fOwned != nullptr) {
    _SetOwnedCopy(other.fText, other.fLength);
  } else {
    // Borrowed texts (and the invalid key) are shared.
    fText = other.fText;
    fLength = other.fLength;
    fHash = other.fHash;
  }
}

void StPackedDictionaryKey::_FreeOwned() {
  VMemory::DisposePtr(fOwned);
  fOwned = nullptr;
}

}  // namespace zeft
