// Base64Coder turns bytes into Base64 text and back, in the standard
// alphabet (with "=" padding and optional CR LF line breaks) and the
// URL-safe one (no padding), and writes checksums as Base64 or hexadecimal
// text. Decoding is strict: padding only at the very end and zero unused
// bits; the standard decoder skips white space.
#pragma once

#include <array>
#include <cstddef>

#include "core/VMemoryBuffer.h"
#include "core/VTypes.h"

namespace zeft {

class VString;

class Base64Coder {
 public:
  Base64Coder() = delete;

  // The 64 characters of each alphabet, then a 0 byte.
  static const char sBase64Alphabet[65];
  static const char sBase64URLAlphabet[65];
  // Index of a byte in the alphabet, 255 for every byte outside it.
  static const std::array<uint8, 256> sBase64Inverse;
  static const std::array<uint8, 256> sBase64URLInverse;

  // Replaces out's content with the encoded text. groupsPerLine above 0
  // puts CR LF after every groupsPerLine quads but the last (standard
  // alphabet only). False, out empty, when out cannot be sized or data is
  // null with a size.
  static bool _Encode(const void* data, size_t size, VMemoryBuffer<>& out, int groupsPerLine,
                      bool url);
  // Replaces out's content with the decoded bytes; a failure leaves out
  // empty.
  static bool Decode(const void* data, size_t size, VMemoryBuffer<>& out, bool url);
  static bool _DecodeBase64(const uint8* data, size_t size, VMemoryBuffer<>& out);
  static bool _DecodeBase64URL(const uint8* data, size_t size, VMemoryBuffer<>& out);
  // Decodes quadCount quads of source from sourcePos into dest at destPos,
  // advancing both; false at the first character outside the alphabet
  // (sourcePos then points behind it).
  static bool _DecodeQuads(const uint8* inverse, const uint8* source, size_t quadCount, uint8* dest,
                           size_t& sourcePos, size_t& destPos);

  // out becomes the padded standard Base64 text of the bytes (empty when
  // encoding fails).
  static void DO_EncodeChecksumBase64(const uint8* bytes, size_t size, VString& out);
  // out becomes two lower-case hexadecimal digits per byte, high half first
  // (empty when the text would not fit in a string).
  static void DO_EncodeChecksumHexa(const uint8* bytes, size_t size, VString& out);
};

}  // namespace zeft
