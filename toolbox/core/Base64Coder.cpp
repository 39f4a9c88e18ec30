#include "core/Base64Coder.h"

#include <cstdint>
#include <cstring>

#include "core/CharSet.h"
#include "core/VString.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

constexpr uint8 kNotInAlphabet = 255;

constexpr std::array<uint8, 256> MakeInverse(const char (&alphabet)[65]) {
  std::array<uint8, 256> inverse{};
  for (uint8& entry : inverse) entry = kNotInAlphabet;
  for (int i = 0; i < 64; ++i) inverse[uint8(alphabet[i])] = uint8(i);
  return inverse;
}

bool IsSkippedWhiteSpace(uint8 c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Empties the buffer and frees its block.
void FreeBuffer(VMemoryBuffer<>& buffer) { buffer.SetAllocatedSize(0); }

// One full group of three bytes as four characters.
inline void EncodeGroup(const uint8* in, const char* alphabet, uint8* out) {
  const uint32 v = (uint32(in[0]) << 16) | (uint32(in[1]) << 8) | uint32(in[2]);
  out[0] = uint8(alphabet[v >> 18]);
  out[1] = uint8(alphabet[(v >> 12) & 63]);
  out[2] = uint8(alphabet[(v >> 6) & 63]);
  out[3] = uint8(alphabet[v & 63]);
}

}  // namespace

const char Base64Coder::sBase64Alphabet[65] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char Base64Coder::sBase64URLAlphabet[65] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
const std::array<uint8, 256> Base64Coder::sBase64Inverse =
    MakeInverse("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
const std::array<uint8, 256> Base64Coder::sBase64URLInverse =
    MakeInverse("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_");

// ---------------------------------------------------------------------------
// Encoding

bool Base64Coder::_Encode(const void* data, size_t size, VMemoryBuffer<>& out, int groupsPerLine,
                          bool url) {
  FreeBuffer(out);
  if (size == 0) return true;
  // A text of more than twice the input's size could not be counted.
  if (data == nullptr || size > SIZE_MAX / 2) return false;
  if (url || groupsPerLine < 0) groupsPerLine = 0;

  const size_t groups = (size + 2) / 3;
  const size_t lastBytes = size - 3 * (groups - 1);  // 1 to 3
  // Line breaks follow every groupsPerLine-th quad but the last.
  const size_t breaks = groupsPerLine > 0 ? (groups - 1) / size_t(groupsPerLine) : 0;
  const size_t lastChars = (url && lastBytes < 3) ? lastBytes + 1 : 4;
  const size_t total = 4 * (groups - 1) + lastChars + 2 * breaks;
  if (!out.SetSize(total)) {
    FreeBuffer(out);
    return false;
  }

  const char* alphabet = url ? sBase64URLAlphabet : sBase64Alphabet;
  const uint8* in = static_cast<const uint8*>(data);
  uint8* dest = static_cast<uint8*>(out.GetDataPtr());
  size_t remaining = groups - 1;
  if (groupsPerLine > 0) {
    const size_t perLine = size_t(groupsPerLine);
    while (remaining >= perLine) {
      for (size_t i = 0; i < perLine; ++i, in += 3, dest += 4) EncodeGroup(in, alphabet, dest);
      remaining -= perLine;
      // The last group is still to come, so a break always fits here.
      *dest++ = 13;
      *dest++ = 10;
    }
  }
  for (; remaining > 0; --remaining, in += 3, dest += 4) EncodeGroup(in, alphabet, dest);

  // The last group, padded in the standard alphabet.
  const uint32 b0 = in[0];
  const uint32 b1 = lastBytes > 1 ? in[1] : 0;
  const uint32 b2 = lastBytes > 2 ? in[2] : 0;
  *dest++ = uint8(alphabet[b0 >> 2]);
  *dest++ = uint8(alphabet[((b0 & 3) << 4) | (b1 >> 4)]);
  if (lastBytes > 1) {
    *dest++ = uint8(alphabet[((b1 & 15) << 2) | (b2 >> 6)]);
  } else if (!url) {
    *dest++ = '=';
  }
  if (lastBytes > 2) {
    *dest++ = uint8(alphabet[b2 & 63]);
  } else if (!url) {
    *dest++ = '=';
  }
  return true;
}

// ---------------------------------------------------------------------------
// Decoding

bool Base64Coder::_DecodeQuads(const uint8* inverse, const uint8* source, size_t quadCount,
                               uint8* dest, size_t& sourcePos, size_t& destPos) {
  const uint8* in = source + sourcePos;
  uint8* out = dest + destPos;
  for (size_t q = 0; q < quadCount; ++q, in += 4, out += 3) {
    const uint32 s0 = inverse[in[0]];
    const uint32 s1 = inverse[in[1]];
    const uint32 s2 = inverse[in[2]];
    const uint32 s3 = inverse[in[3]];
    // Values of the alphabet are below 64: any high bit is a stranger.
    if (((s0 | s1 | s2 | s3) & 0xC0) != 0) {
      size_t bad = 0;
      while (inverse[in[bad]] != kNotInAlphabet) ++bad;
      sourcePos = size_t(in - source) + bad + 1;
      destPos = size_t(out - dest);
      return false;
    }
    const uint32 v = (s0 << 18) | (s1 << 12) | (s2 << 6) | s3;
    out[0] = uint8(v >> 16);
    out[1] = uint8(v >> 8);
    out[2] = uint8(v);
  }
  sourcePos = size_t(in - source);
  destPos = size_t(out - dest);
  return true;
}

namespace {

// Standard text without white space: strict quads, padding only at the end.
bool DecodeCompact(const uint8* data, size_t size, VMemoryBuffer<>& out) {
  if (size % 4 != 0) return false;
  if (size == 0) {
    FreeBuffer(out);
    return true;
  }

  // The last quad decides how many bytes it gives; its checks follow.
  const uint8* last = data + size - 4;
  const size_t padding = last[3] != '=' ? 0 : (last[2] == '=' ? 2 : 1);
  if (!out.SetSize(3 * (size / 4) - padding)) return false;

  const uint8* inverse = Base64Coder::sBase64Inverse.data();
  uint8* dest = static_cast<uint8*>(out.GetDataPtr());
  size_t sourcePos = 0;
  size_t destPos = 0;
  if (!Base64Coder::_DecodeQuads(inverse, data, size / 4 - 1, dest, sourcePos, destPos))
    return false;

  const uint32 s0 = inverse[last[0]];
  const uint32 s1 = inverse[last[1]];
  const uint32 s2 = inverse[last[2]];
  const uint32 s3 = inverse[last[3]];
  if (s0 == kNotInAlphabet || s1 == kNotInAlphabet) return false;
  uint8* tail = dest + destPos;
  if (s2 != kNotInAlphabet && s3 != kNotInAlphabet) {
    const uint32 v = (s0 << 18) | (s1 << 12) | (s2 << 6) | s3;
    tail[0] = uint8(v >> 16);
    tail[1] = uint8(v >> 8);
    tail[2] = uint8(v);
    return true;
  }
  if (last[2] == '=') {
    // "xx==": one byte, the low 4 bits of the second value unused.
    if (last[3] != '=' || (s1 & 15) != 0) return false;
    tail[0] = uint8((s0 << 2) | (s1 >> 4));
    return true;
  }
  // "xxx=": two bytes, the low 2 bits of the third value unused.
  if (last[3] != '=' || s2 == kNotInAlphabet || (s2 & 3) != 0) return false;
  tail[0] = uint8((s0 << 2) | (s1 >> 4));
  tail[1] = uint8((s1 << 4) | (s2 >> 2));
  return true;
}

}  // namespace

bool Base64Coder::_DecodeBase64(const uint8* data, size_t size, VMemoryBuffer<>& out) {
  // Most texts hold no white space: decode them in place. When that fails,
  // the text either holds white space, which a copy drops before the text
  // is decided on, or is no Base64 at all.
  if (size % 4 == 0 && DecodeCompact(data, size, out)) return true;
  size_t firstSpace = 0;
  while (firstSpace < size && !IsSkippedWhiteSpace(data[firstSpace])) ++firstSpace;
  if (firstSpace == size) return false;

  VMemoryBuffer<> copy;
  if (!copy.SetSize(size)) {
    _ThrowError(ToolboxError(toolbox_error::kMemoryFull));
    return false;
  }
  uint8* const kept = static_cast<uint8*>(copy.GetDataPtr());
  std::memcpy(kept, data, firstSpace);
  size_t count = firstSpace;
  for (size_t i = firstSpace + 1; i < size; ++i) {
    if (!IsSkippedWhiteSpace(data[i])) kept[count++] = data[i];
  }
  return DecodeCompact(kept, count, out);
}

bool Base64Coder::_DecodeBase64URL(const uint8* data, size_t size, VMemoryBuffer<>& out) {
  const size_t quads = size / 4;
  const size_t rest = size % 4;
  if (rest == 1) return false;
  if (!out.SetSize(3 * quads + (rest == 0 ? 0 : rest - 1))) return false;
  if (out.GetDataSize() == 0) return true;

  const uint8* inverse = sBase64URLInverse.data();
  uint8* dest = static_cast<uint8*>(out.GetDataPtr());
  size_t sourcePos = 0;
  size_t destPos = 0;
  if (!_DecodeQuads(inverse, data, quads, dest, sourcePos, destPos)) return false;
  if (rest == 0) return true;

  const uint8* left = data + sourcePos;
  const uint32 s0 = inverse[left[0]];
  const uint32 s1 = inverse[left[1]];
  const uint32 s2 = rest == 3 ? inverse[left[2]] : 0;
  if (s0 == kNotInAlphabet || s1 == kNotInAlphabet || s2 == kNotInAlphabet) return false;
  uint8* tail = dest + destPos;
  if (rest == 2) {
    if ((s1 & 15) != 0) return false;
    tail[0] = uint8((s0 << 2) | (s1 >> 4));
    return true;
  }
  if ((s2 & 3) != 0) return false;
  tail[0] = uint8((s0 << 2) | (s1 >> 4));
  tail[1] = uint8((s1 << 4) | (s2 >> 2));
  return true;
}

bool Base64Coder::Decode(const void* data, size_t size, VMemoryBuffer<>& out, bool url) {
  FreeBuffer(out);
  if (size == 0) return true;
  if (data == nullptr) return false;
  const uint8* bytes = static_cast<const uint8*>(data);
  const bool ok = url ? _DecodeBase64URL(bytes, size, out) : _DecodeBase64(bytes, size, out);
  // A failed decoding always leaves out empty.
  if (!ok) FreeBuffer(out);
  return ok;
}

// ---------------------------------------------------------------------------
// Checksums

void Base64Coder::DO_EncodeChecksumBase64(const uint8* bytes, size_t size, VString& out) {
  out.Clear();
  VMemoryBuffer<> text;
  if (_Encode(bytes, size, text, 0, false) && text.GetDataSize() > 0) {
    out.FromBlock(text.GetDataPtr(), text.GetDataSize(), kCharSetUTF8);
  }
}

void Base64Coder::DO_EncodeChecksumHexa(const uint8* bytes, size_t size, VString& out) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out.Clear();
  if (size >= (size_t(1) << 30) || (bytes == nullptr && size > 0)) return;
  const int32 length = int32(2 * size);
  UniChar* text = out.GetCPointerForWrite(length);
  if (text == nullptr) {
    out.Clear();
    return;
  }
  for (size_t i = 0; i < size; ++i) {
    text[2 * i] = UniChar(kDigits[bytes[i] >> 4]);
    text[2 * i + 1] = UniChar(kDigits[bytes[i] & 15]);
  }
  out.Validate(length);
}

}  // namespace zeft
