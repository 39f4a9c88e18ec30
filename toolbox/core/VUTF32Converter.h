// The built-in UTF-32 converter pairs. UTF32 combines and splits surrogate
// pairs (CharSets 4 and 3); UTF32_Raw maps one 32-bit unit to one UTF-16 unit
// (CharSets 6 and 5). The swap flag is set for big-endian bytes.
#pragma once

#include "core/VFromUnicodeConverter.h"
#include "core/VToUnicodeConverter.h"

namespace zeft {

class VToUnicodeConverter_UTF32 : public VToUnicodeConverter {
 public:
  explicit VToUnicodeConverter_UTF32(bool swap = false) : fSwap(swap) {}
  // Lone surrogate values stop the conversion with false; values beyond
  // U+10FFFF are skipped and make the result false.
  bool Convert(const void* source, size_t sourceBytes, size_t* consumedBytes, UniChar* target,
               int targetMaxChars, int* producedChars) override;
  size_t GetCharSize() const override { return 4; }

 private:
  bool fSwap;
};

class VFromUnicodeConverter_UTF32 : public VFromUnicodeConverter {
 public:
  explicit VFromUnicodeConverter_UTF32(bool swap = false) : fSwap(swap) {}
  // A lone surrogate, a high surrogate ending the source, or a full output
  // stops the conversion with false.
  bool Convert(const UniChar* source, int sourceChars, int* consumedChars, void* target,
               size_t targetMaxBytes, size_t* producedBytes) override;
  size_t GetCharSize() const override { return 4; }

 private:
  bool fSwap;
};

class VToUnicodeConverter_UTF32_Raw : public VToUnicodeConverter {
 public:
  explicit VToUnicodeConverter_UTF32_Raw(bool swap = false) : fSwap(swap) {}
  bool ConvertString(const void* source, size_t sourceBytes, size_t* consumedBytes,
                     VString& target) override;
  // Keeps the low 16 bits of each unit.
  bool Convert(const void* source, size_t sourceBytes, size_t* consumedBytes, UniChar* target,
               int targetMaxChars, int* producedChars) override;
  size_t GetCharSize() const override { return 4; }

 private:
  bool fSwap;
};

class VFromUnicodeConverter_UTF32_Raw : public VFromUnicodeConverter {
 public:
  explicit VFromUnicodeConverter_UTF32_Raw(bool swap = false) : fSwap(swap) {}
  bool Convert(const UniChar* source, int sourceChars, int* consumedChars, void* target,
               size_t targetMaxBytes, size_t* producedBytes) override;
  size_t GetCharSize() const override { return 4; }

 private:
  bool fSwap;
};

}  // namespace zeft
