// StPackedDictionaryKey is a bag key: UTF-8 text of at most 255 bytes with
// its 32-bit hash computed once. A key either borrows its text (literals,
// static keys, path pieces of a caller's buffer) or owns a copy. Borrowed
// keys over literals are constexpr, so static keys exist before any memory
// manager.
#pragma once

#include <cstddef>

#include "core/VTypes.h"

namespace zeft {

class VString;

class StPackedDictionaryKey {
 public:
  // Longest key text; its length is stored in one byte.
  static constexpr size_t kMaxLength = 255;
  // Memory tag of owned key texts.
  static constexpr int32 kTag = int32(0x6B657920);  // "key "

  // Hash of the key text: 0 for the empty text; up to 16 bytes, every byte
  // counts; longer texts count their first and last 8 bytes only.
  static constexpr uint32 GetHashCode(const char* text, size_t length) {
    if (length == 0) return 0;
    uint32 h = uint32(length);
    if (length <= 16) {
      for (size_t i = 0; i < length; ++i) h = h * 257u + uint8(text[i]);
    } else {
      for (size_t i = 0; i < 8; ++i) h = h * 257u + uint8(text[i]);
      for (size_t i = length - 8; i < length; ++i) h = h * 257u + uint8(text[i]);
    }
    return h;
  }

  // Borrows a literal (or any 0-terminated array that outlives the key);
  // the text ends at its first 0 byte.
  template <size_t N>
  constexpr StPackedDictionaryKey(const char (&literal)[N])
      : StPackedDictionaryKey(literal, _BoundedLength(literal, N - 1), BorrowTag{}) {}

  // Borrows `length` bytes at `text`. Over 255 bytes the key is invalid.
  struct BorrowTag {};
  constexpr StPackedDictionaryKey(const char* text, size_t length, BorrowTag)
      : fText(length <= kMaxLength ? text : nullptr),
        fLength(length <= kMaxLength ? length : 0),
        fOwned(nullptr),
        fHash(length <= kMaxLength ? GetHashCode(text, length) : 0) {}

  // Owns a copy of exactly `length` bytes (a 0 byte is added behind them).
  // Over 255 bytes, or when memory runs out, the key is invalid.
  StPackedDictionaryKey(const char* text, size_t length);
  // Converts to UTF-8 into an owned copy. A text that does not convert
  // completely or needs more than 255 bytes gives the invalid key.
  explicit StPackedDictionaryKey(const wchar_t* text);
  explicit StPackedDictionaryKey(const VString& text);

  StPackedDictionaryKey(const StPackedDictionaryKey& other) : fOwned(nullptr) { _CopyFrom(other); }
  StPackedDictionaryKey(StPackedDictionaryKey&& other) noexcept
      : fText(other.fText), fLength(other.fLength), fOwned(other.fOwned), fHash(other.fHash) {
    other.fOwned = nullptr;
  }
  StPackedDictionaryKey& operator=(const StPackedDictionaryKey& other);
  StPackedDictionaryKey& operator=(StPackedDictionaryKey&& other) noexcept;
  constexpr ~StPackedDictionaryKey() {
    if (fOwned != nullptr) _FreeOwned();
  }

  // An invalid key (failed conversion, too long) has length 0 like the
  // empty key, but it never names an entry: dictionaries neither find nor
  // store it, so it cannot silently alias the empty name.
  constexpr bool IsValid() const { return fText != nullptr; }

  constexpr const char* GetKeyText() const { return fText; }
  constexpr size_t GetKeyLength() const { return fLength; }
  constexpr uint32 GetHash() const { return fHash; }
  constexpr bool IsOwned() const { return fOwned != nullptr; }

  // Same length and same bytes (hashes are not compared; case matters).
  bool Equals(const char* text, size_t length) const;
  bool operator==(const StPackedDictionaryKey& other) const {
    return other.IsValid() && Equals(other.fText, other.fLength);
  }

  // The key text as a string (UTF-8 decoded).
  void GetKeyString(VString& out) const;

 private:
  static constexpr size_t _BoundedLength(const char* text, size_t max) {
    size_t n = 0;
    while (n < max && text[n] != 0) ++n;
    return n;
  }
  // Takes `length` bytes into an owned block; invalid on failure.
  void _SetOwnedCopy(const char* text, size_t length);
  void _CopyFrom(const StPackedDictionaryKey& other);
  void _FreeOwned();

  const char* fText;
  size_t fLength;
  char* fOwned;
  uint32 fHash;
};

}  // namespace zeft
