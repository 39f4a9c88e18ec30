// Decodes arbitrary bytes in a character set the first byte picks. In the
// Unicode forms, what was decoded encodes back and decodes to the same
// text; in every set decoding stays within its input and never fails hard.
#include "FuzzSupport.h"
#include "core/CharSet.h"
#include "core/StStringConverter.h"

namespace {

using zeft::CharSet;
using zeft::VString;
using zeft::fuzz::Require;

constexpr CharSet kUnicodeSets[] = {zeft::kCharSetUTF8, zeft::kCharSetUTF16,
                                    zeft::kCharSetUTF16BigEndian, zeft::kCharSetUTF32,
                                    zeft::kCharSetUTF32BigEndian};
constexpr CharSet kOtherSets[] = {
    zeft::kCharSetUTF32Raw,  zeft::kCharSetUTF7,        zeft::kCharSetASCII,
    zeft::kCharSetMacRoman,  zeft::kCharSetWindows1252, zeft::kCharSetShiftJIS,
    zeft::kCharSetISO2022JP, zeft::kCharSetBig5,        zeft::kCharSetEUCKR,
    zeft::kCharSetGBK,       zeft::kCharSetISO8859_1,   zeft::kCharSetEBCDIC037};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  constexpr size_t kUnicodeCount = sizeof(kUnicodeSets) / sizeof(kUnicodeSets[0]);
  constexpr size_t kCount = kUnicodeCount + sizeof(kOtherSets) / sizeof(kOtherSets[0]);
  const size_t choice = data[0] % kCount;
  const bool unicode = choice < kUnicodeCount;
  const CharSet set = unicode ? kUnicodeSets[choice] : kOtherSets[choice - kUnicodeCount];
  const VString text(data + 1, size - 1, set);
  if (!unicode) return 0;
  // Encoded again, the text must decode to itself (lone surrogates have no
  // form in some sets: their encoding is refused).
  zeft::StStringConverter<char> encoded(text, set);
  if (!encoded.IsOK()) return 0;
  const VString back(encoded.GetCPointer(), encoded.GetSize(), set);
  Require(zeft::fuzz::SameUnits(back, text));
  return 0;
}
