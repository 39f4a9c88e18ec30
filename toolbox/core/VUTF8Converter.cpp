#include "core/VUTF8Converter.h"

#include <cstring>

#include "core/UTF16Surrogates.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zeft {

namespace {

constexpr bool IsContinuation(uint8 b) { return (b & 0xC0) == 0x80; }

// After this many ASCII characters in a row, a long run is assumed and the
// vector loops take over; text mixing scripts stays on the scalar path.
constexpr size_t kASCIIRunForVectors = 8;

inline size_t UTF8Length(uint32 value) {
  if (value < 0x80) return 1;
  if (value < 0x800) return 2;
  if (value < 0x10000) return 3;
  if (value < 0x200000) return 4;
  if (value < 0x4000000) return 5;
  return 6;
}

// Writes the sequence of `length` bytes for value, the last byte first.
inline void WriteUTF8(uint8* dst, uint32 value, size_t length) {
  static constexpr uint8 kLeadMark[7] = {0x00, 0x00, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
  for (size_t i = length - 1; i > 0; --i) {
    dst[i] = uint8((value & 0x3F) | 0x80);
    value >>= 6;
  }
  dst[0] = uint8(value | kLeadMark[length]);
}

// Widens ASCII bytes sixteen at a time while both sides have 16 left before
// their limits; stops at the end of the run. Units stored behind the run
// are scratch, overwritten by what follows. The byte before src is ASCII
// and its unit already written.
inline void WidenASCIIRun(const uint8*& src, const uint8* srcLimit, UniChar*& dst,
                          const UniChar* dstLimit) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  size_t written = 1;  // ASCII bytes known to lie just before src, already decoded
  while (srcLimit - src >= 16 && dstLimit - dst >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 8), _mm_unpackhi_epi8(bytes, zero));
    const int high = _mm_movemask_epi8(bytes);
    const size_t n = high == 0 ? 16 : size_t(__builtin_ctz(high));
    src += n;
    dst += n;
    if (n < 16) return;
    written += 16;
  }
  // The last bytes of the input: one more block ending at the limit,
  // overlapping ASCII already decoded (rewriting the same units).
  const size_t rest = size_t(srcLimit - src);
  if (rest > 0 && rest < 16 && written + rest >= 16 && size_t(dstLimit - dst) >= rest) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(srcLimit - 16));
    if (_mm_movemask_epi8(bytes) == 0) {
      UniChar* const blockStart = dst + rest - 16;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(blockStart), _mm_unpacklo_epi8(bytes, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(blockStart + 8), _mm_unpackhi_epi8(bytes, zero));
      src = srcLimit;
      dst += rest;
    }
  }
#else
  (void)src, (void)srcLimit, (void)dst, (void)dstLimit;
#endif
}

// Narrows units below 0x80 eight at a time (same contract as above). The
// unit before src is ASCII and already written.
inline void NarrowASCIIRun(const UniChar*& src, const UniChar* srcLimit, uint8* target,
                           size_t& produced, size_t producedLimit) {
#if defined(__SSE2__)
  const __m128i mask = _mm_set1_epi16(int16(0xFF80));
  const __m128i zero = _mm_setzero_si128();
  size_t written = 1;  // ASCII units known to lie just before src, already written
  // Sixteen at a time while all are ASCII; the block holding the run's end
  // goes to the loop below.
  while (srcLimit - src >= 16 && producedLimit - produced >= 16) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 8));
    const __m128i wide = _mm_and_si128(_mm_or_si128(low, high), mask);
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(wide, zero)) != 0xFFFF) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + produced), _mm_packus_epi16(low, high));
    src += 16;
    produced += 16;
    written += 16;
  }
  while (srcLimit - src >= 8 && producedLimit - produced >= 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const int ascii = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, mask), zero));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(target + produced), _mm_packus_epi16(units, units));
    const size_t n = ascii == 0xFFFF ? 8 : size_t(__builtin_ctz(~ascii)) / 2;
    src += n;
    produced += n;
    if (n < 8) return;
    written += 8;
  }
  // The last few units of a text: one more block ending at the limit,
  // overlapping ASCII units already written (rewriting the same bytes).
  const size_t rest = size_t(srcLimit - src);
  if (rest > 0 && rest < 8 && written + rest >= 8 && producedLimit - produced >= rest) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(srcLimit - 8));
    const int ascii = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, mask), zero));
    if (ascii == 0xFFFF) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(target + produced + rest - 8),
                       _mm_packus_epi16(units, units));
      src = srcLimit;
      produced += rest;
    }
  }
#else
  (void)src, (void)srcLimit, (void)target, (void)produced, (void)producedLimit;
#endif
}

// The encoder for both UTF-16 and wide sources (Unit is UniChar or
// wchar_t); without kWrite it only counts.
template <class Unit, bool kWrite>
bool EncodeUTF8(const Unit* source, int sourceChars, int* consumedChars, uint8* target,
                size_t targetMaxBytes, size_t* producedBytes) {
  const Unit* src = source;
  const Unit* const end = source + (sourceChars > 0 && source != nullptr ? sourceChars : 0);
  size_t produced = 0;
  // Starting just short of a run lets text that begins with ASCII take the
  // vector loop at once.
  size_t asciiRun = kASCIIRunForVectors - 1;
  bool ok = true;
  while (src < end) {
    // A stretch that leaves three bytes of room per unit, and one more
    // behind the last, needs no room checks. Text mixes ASCII with either
    // two-byte characters (Latin, Greek, Cyrillic...) or three-byte ones
    // (CJK...) in an order no branch predicts, so the stretch has a
    // branch-free path for each pair: one store of the right form and an
    // advance by its length (the bytes behind a character are scratch,
    // overwritten by the next). The path changes with the script.
    const size_t room = targetMaxBytes - produced;
    const size_t roomUnits = room > 0 ? (room - 1) / 3 : 0;
    const Unit* const safeEnd = size_t(end - src) < roomUnits ? end : src + roomUnits;
    while (src < safeEnd) {
      // ASCII and two-byte characters.
      while (src < safeEnd) {
        const uint32 c = uint32(*src);
        if (c >= 0x800) break;
        // Arithmetic rather than conditions keeps the compiler from
        // branching: the top bit of 0x7F - c is set when c >= 0x80.
        const uint32 twoByte = (0x7Fu - c) >> 31;
        if constexpr (kWrite) {
          const uint32 two = (0xC0 | (c >> 6)) | ((0x80 | (c & 0x3F)) << 8);
          const uint16 bytes = uint16(c ^ ((c ^ two) & (0u - twoByte)));
          std::memcpy(target + produced, &bytes, 2);
        }
        produced += 1 + twoByte;
        ++src;
        if constexpr (kWrite && sizeof(Unit) == sizeof(UniChar)) {
          asciiRun = (asciiRun + 1) & (size_t(twoByte) - 1);
          if (asciiRun >= kASCIIRunForVectors) {
            // An ASCII run takes one byte per unit: it may run past the
            // stretch, to the limits of the text and of the room.
            NarrowASCIIRun(reinterpret_cast<const UniChar*&>(src),
                           reinterpret_cast<const UniChar*>(end), target, produced, targetMaxBytes);
            asciiRun = 0;
          }
        }
      }
      // ASCII and three-byte characters; a two-byte one goes back above.
      while (src < safeEnd) {
        const uint32 c = uint32(*src);
        if (c - 0x80 < 0x800 - 0x80 || IsSurrogate(c) || c > 0xFFFF) break;
        const uint32 threeByte = (0x7Fu - c) >> 31;
        if constexpr (kWrite) {
          const uint32 three =
              (0xE0 | (c >> 12)) | ((0x80 | ((c >> 6) & 0x3F)) << 8) | ((0x80 | (c & 0x3F)) << 16);
          const uint32 bytes = c ^ ((c ^ three) & (0u - threeByte));
          std::memcpy(target + produced, &bytes, 4);
        }
        produced += 1 + 2 * threeByte;
        ++src;
        if constexpr (kWrite && sizeof(Unit) == sizeof(UniChar)) {
          asciiRun = (asciiRun + 1) & (size_t(threeByte) - 1);
          if (asciiRun >= kASCIIRunForVectors) {
            NarrowASCIIRun(reinterpret_cast<const UniChar*&>(src),
                           reinterpret_cast<const UniChar*>(end), target, produced, targetMaxBytes);
            asciiRun = 0;
          }
        }
      }
      // Pairs, lone surrogates and wide values take the checked path below.
      if (src < safeEnd && uint32(*src) >= 0x800) break;
    }
    if (src == end) break;

    // One character with every check.
    const uint32 c = uint32(*src);
    if constexpr (sizeof(Unit) > sizeof(UniChar)) {
      if (c & 0x80000000u) {
        ok = false;
        break;
      }
    }
    uint32 value = c;
    int units = 1;
    if (IsHighSurrogate(c)) {
      if (src + 1 == end) break;  // its pair may come with the next call
      const uint32 next = uint32(src[1]);
      if (IsLowSurrogate(next)) {
        value = CombineSurrogates(c, next);
        units = 2;
      }
      // Otherwise the high surrogate is written on its own, like a lone low.
    }
    const size_t length = UTF8Length(value);
    if (length > targetMaxBytes - produced) break;
    if constexpr (kWrite) WriteUTF8(target + produced, value, length);
    produced += length;
    src += units;
  }
  if (consumedChars != nullptr) *consumedChars = int(src - source);
  if (producedBytes != nullptr) *producedBytes = produced;
  return ok;
}

template <class Unit>
bool EncodeOrCountUTF8(const Unit* source, int sourceChars, int* consumedChars, void* target,
                       size_t targetMaxBytes, size_t* producedBytes) {
  if (target == nullptr) {
    return EncodeUTF8<Unit, false>(source, sourceChars, consumedChars, nullptr, targetMaxBytes,
                                   producedBytes);
  }
  return EncodeUTF8<Unit, true>(source, sourceChars, consumedChars, static_cast<uint8*>(target),
                                targetMaxBytes, producedBytes);
}

}  // namespace

bool VToUnicodeConverter_UTF8::Convert(const void* source, size_t sourceBytes,
                                       size_t* consumedBytes, UniChar* target, int targetMaxChars,
                                       int* producedChars) {
  const uint8* const begin = static_cast<const uint8*>(source);
  const uint8* src = begin;
  const uint8* const end = begin + (begin != nullptr ? sourceBytes : 0);
  UniChar* dst = target;
  UniChar* const dstEnd = target + (target != nullptr && targetMaxChars > 0 ? targetMaxChars : 0);
  size_t asciiRun = kASCIIRunForVectors - 1;  // see the encoder
  bool ok = true;

  while (src < end && dst < dstEnd) {
    // A stretch that ends 3 bytes before the end of the input (so a sequence
    // starting in it can be read whole) and leaves at least one unit of room
    // per byte plus one (a four-byte sequence gives two units) needs no
    // bounds checks. Well-formed sequences are decoded there; anything else
    // goes to the checked path below.
    const size_t readable = size_t(end - src) > 3 ? size_t(end - src) - 3 : 0;
    const size_t room = size_t(dstEnd - dst) - 1;
    const uint8* const safeEnd = src + (readable < room ? readable : room);
    while (src < safeEnd) {
      // Branches rather than arithmetic here: the next byte's address would
      // otherwise wait for this byte's value.
      const uint8 lead = *src;
      if (lead < 0x80) {
        *dst++ = lead;
        ++src;
        if (++asciiRun >= kASCIIRunForVectors) {
          // One unit per byte: the run may go past the stretch, to the
          // limits of the input and of the room.
          WidenASCIIRun(src, end, dst, dstEnd);
          asciiRun = 0;
        }
        continue;
      }
      asciiRun = 0;
      if (lead >= 0xC2 && lead < 0xE0) {
        if (!IsContinuation(src[1])) break;
        *dst++ = UniChar(((lead & 0x1F) << 6) | (src[1] & 0x3F));
        src += 2;
        continue;
      }
      if ((lead & 0xF0) == 0xE0) {
        uint16 tail;  // both continuation bytes, checked at once
        std::memcpy(&tail, src + 1, 2);
        if ((tail & 0xC0C0) != 0x8080) break;
        const uint32 value =
            (uint32(lead & 0x0F) << 12) | (uint32(tail & 0x3F) << 6) | uint32((tail >> 8) & 0x3F);
        if (value < 0x800) break;
        *dst++ = UniChar(value);
        src += 3;
        continue;
      }
      if (lead >= 0xF0 && lead < 0xF5) {
        if (!IsContinuation(src[1]) || !IsContinuation(src[2]) || !IsContinuation(src[3])) break;
        uint32 value = (uint32(lead & 0x07) << 18) | (uint32(src[1] & 0x3F) << 12) |
                       (uint32(src[2] & 0x3F) << 6) | uint32(src[3] & 0x3F);
        if (value < 0x10000 || value >= 0x110000) break;
        dst[0] = HighSurrogateOf(value);
        dst[1] = LowSurrogateOf(value);
        dst += 2;
        src += 4;
        continue;
      }
      break;
    }
    if (src >= end || dst >= dstEnd) break;

    // One character with every check.
    const uint8 lead = *src;
    if (lead < 0xC0 || lead >= 0xFE) {
      // ASCII, or a stray continuation byte, or a byte that never starts a
      // sequence: the character of that value.
      *dst++ = lead;
      ++src;
      continue;
    }
    size_t trailing;
    uint32 value;
    uint32 minimum;
    if (lead < 0xE0) {
      trailing = 1, value = lead & 0x1F, minimum = 0x80;
    } else if (lead < 0xF0) {
      trailing = 2, value = lead & 0x0F, minimum = 0x800;
    } else if (lead < 0xF8) {
      trailing = 3, value = lead & 0x07, minimum = 0x10000;
    } else if (lead < 0xFC) {
      trailing = 4, value = lead & 0x03, minimum = 0x200000;
    } else {
      trailing = 5, value = lead & 0x01, minimum = 0x4000000;
    }
    const size_t available = size_t(end - src) - 1;
    const size_t present = available < trailing ? available : trailing;
    bool wellFormed = true;
    for (size_t i = 1; i <= present; ++i) {
      if (!IsContinuation(src[i])) {
        wellFormed = false;
        break;
      }
      value = (value << 6) | (src[i] & 0x3F);
    }
    if (wellFormed && present < trailing) break;  // cut by the end: more bytes may come
    if (!wellFormed || value < minimum) {
      // Not a sequence: the lead byte stands for itself and decoding resumes
      // right behind it, so a following ASCII byte is never swallowed.
      *dst++ = lead;
      ++src;
      continue;
    }
    if (value < 0x10000) {
      *dst++ = UniChar(value);
    } else if (value < 0x110000) {
      if (dstEnd - dst < 2) break;
      *dst++ = HighSurrogateOf(value);
      *dst++ = LowSurrogateOf(value);
    } else {
      ok = false;
      if (dstEnd - dst < 2) break;
      *dst++ = u'?';
    }
    src += trailing + 1;
  }
  if (consumedBytes != nullptr) *consumedBytes = size_t(src - begin);
  if (producedChars != nullptr) *producedChars = int(dst - target);
  return ok;
}

bool VFromUnicodeConverter_UTF8::Convert(const UniChar* source, int sourceChars, int* consumedChars,
                                         void* target, size_t targetMaxBytes,
                                         size_t* producedBytes) {
  return EncodeOrCountUTF8(source, sourceChars, consumedChars, target, targetMaxBytes,
                           producedBytes);
}

bool VFromUnicodeConverter_UTF8::ConvertFrom_wchar(const wchar_t* source, int count, int* consumed,
                                                   void* target, size_t targetMaxBytes,
                                                   size_t* producedBytes) {
  return EncodeOrCountUTF8(source, count, consumed, target, targetMaxBytes, producedBytes);
}

bool VFromUnicodeConverter_UTF8::ConvertLoneHighSurrogate(UniChar unit, void* target,
                                                          size_t targetMaxBytes,
                                                          size_t* producedBytes) {
  if (producedBytes != nullptr) *producedBytes = 0;
  if (targetMaxBytes < 3) return false;
  if (target != nullptr) WriteUTF8(static_cast<uint8*>(target), unit, 3);
  if (producedBytes != nullptr) *producedBytes = 3;
  return true;
}

}  // namespace zeft
