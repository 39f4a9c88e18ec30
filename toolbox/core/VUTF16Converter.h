// The built-in UTF-16 converter pairs: Null copies UTF-16 in the machine's
// byte order (CharSet 2), Swap reverses the bytes of every unit (CharSet 1,
// big-endian, on our little-endian machines).
#pragma once

#include "core/VFromUnicodeConverter.h"
#include "core/VToUnicodeConverter.h"

namespace zeft {

class VToUnicodeConverter_Null : public VToUnicodeConverter {
 public:
  bool ConvertString(const void* source, size_t sourceBytes, size_t* consumedBytes,
                     VString& target) override;
  bool Convert(const void* source, size_t sourceBytes, size_t* consumedBytes, UniChar* target,
               int targetMaxChars, int* producedChars) override;
};

class VFromUnicodeConverter_Null : public VFromUnicodeConverter {
 public:
  bool Convert(const UniChar* source, int sourceChars, int* consumedChars, void* target,
               size_t targetMaxBytes, size_t* producedBytes) override;
  size_t GetCharSize() const override { return 2; }
};

class VToUnicodeConverter_Swap : public VToUnicodeConverter {
 public:
  bool ConvertString(const void* source, size_t sourceBytes, size_t* consumedBytes,
                     VString& target) override;
  bool Convert(const void* source, size_t sourceBytes, size_t* consumedBytes, UniChar* target,
               int targetMaxChars, int* producedChars) override;
};

class VFromUnicodeConverter_Swap : public VFromUnicodeConverter {
 public:
  bool Convert(const UniChar* source, int sourceChars, int* consumedChars, void* target,
               size_t targetMaxBytes, size_t* producedBytes) override;
  size_t GetCharSize() const override { return 2; }
};

}  // namespace zeft
