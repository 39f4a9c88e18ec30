// The converter pair of a character set that no converter serves: it is not
// valid and converts nothing.
#pragma once

#include "core/VFromUnicodeConverter.h"
#include "core/VToUnicodeConverter.h"

namespace zeft {

class VToUnicodeConverter_Void : public VToUnicodeConverter {
 public:
  bool IsValid() const override { return false; }
  bool Convert(const void* source, size_t sourceBytes, size_t* consumedBytes, UniChar* target,
               int targetMaxChars, int* producedChars) override;
  size_t GetCharSize() const override { return 1; }
};

class VFromUnicodeConverter_Void : public VFromUnicodeConverter {
 public:
  bool IsValid() const override { return false; }
  bool Convert(const UniChar* source, int sourceChars, int* consumedChars, void* target,
               size_t targetMaxBytes, size_t* producedBytes) override;
  size_t GetCharSize() const override { return 2; }
};

}  // namespace zeft
