// The built-in UTF-8 converter pair (CharSet 7), also used for the standard
// library's 8-bit strings.
#pragma once

#include "core/VFromUnicodeConverter.h"
#include "core/VToUnicodeConverter.h"

namespace zeft {

// UTF-8 to UTF-16. A byte that cannot start or continue a well-formed
// sequence (a stray continuation byte, a lead byte not followed by its
// continuation bytes, an overlong form) decodes to the character of the same
// value (U+0080 to U+00FF), so nothing around it is swallowed. Encoded
// surrogates decode to the surrogate unit, as the encoder writes lone ones.
// Values beyond U+10FFFF decode to "?" and make the result false. A sequence
// cut by the end of the input stays unconsumed.
class VToUnicodeConverter_UTF8 : public VToUnicodeConverter {
 public:
  bool Convert(const void* source, size_t sourceBytes, size_t* consumedBytes, UniChar* target,
               int targetMaxChars, int* producedChars) override;
};

// UTF-16 to UTF-8. A surrogate pair becomes one 4-byte sequence; a lone
// surrogate is written on its own as a 3-byte sequence. A high surrogate
// ending the source stays unconsumed (its pair may follow in the next call).
class VFromUnicodeConverter_UTF8 : public VFromUnicodeConverter {
 public:
  bool Convert(const UniChar* source, int sourceChars, int* consumedChars, void* target,
               size_t targetMaxBytes, size_t* producedBytes) override;
  size_t GetCharSize() const override { return 1; }

  // The same from 32-bit wide characters: surrogate pairs are combined,
  // values up to 0x7FFFFFFF take up to six bytes, and a value with the top
  // bit set stops the conversion with false.
  bool ConvertFrom_wchar(const wchar_t* source, int count, int* consumed, void* target,
                         size_t targetMaxBytes, size_t* producedBytes);

 protected:
  bool ConvertLoneHighSurrogate(UniChar unit, void* target, size_t targetMaxBytes,
                                size_t* producedBytes) override;
};

}  // namespace zeft
