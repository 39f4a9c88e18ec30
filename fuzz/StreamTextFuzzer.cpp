// Reads arbitrary bytes as text through a memory stream: the first byte
// picks the char set and the second the reader (char set guess, lines with
// or without their ends or an end character, tab-separated lines, counted
// characters). Every reader ends: a line read that moves nothing ends the
// data, the guess consumes at most a byte-order mark, and a count read
// yields no more than asked unless more is accepted, but for its last step:
// the bytes a converter takes at once (a surrogate pair, or ill-formed
// bytes it reads one by one) may add a few characters, never more than
// the 32 bytes the reader holds.
#include <cstdint>

#include "FuzzSupport.h"
#include "core/CharSet.h"
#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "values/VArrayString.h"

namespace {

using zeft::fuzz::Require;

constexpr zeft::CharSet kCharSets[] = {zeft::kCharSetUTF8, zeft::kCharSetUTF16,
                                       zeft::kCharSetUTF16BigEndian, zeft::kCharSetUTF32,
                                       zeft::kCharSetWindows1252};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const zeft::CharSet charSet = kCharSets[data[0] % (sizeof(kCharSets) / sizeof(kCharSets[0]))];
  const uint8_t mode = data[1];
  zeft::VConstPtrStream stream(data + 2, size - 2);
  stream.SetCharSet(charSet);
  Require(stream.OpenReading() == zeft::VE_OK);
  const zeft::int64 total = stream.GetSize();

  switch (mode % 4) {
    case 0: {
      bool mark = false;
      stream.GuessCharSetFromLeadingBytes(charSet, (mode & 4) != 0, &mark);
      Require(stream.GetPos() == 0 || (mark && stream.GetPos() <= 4));
      break;
    }
    case 1: {
      zeft::UniChar end = zeft::UniChar(mode >> 3);
      zeft::VString line;
      for (zeft::int64 calls = 0;; ++calls) {
        Require(calls <= total + 1);
        const zeft::int64 before = stream.GetPos();
        const zeft::VError error =
            stream.GetTextLine(line, (mode & 4) != 0, (mode & 8) != 0 ? &end : nullptr);
        if (error != zeft::VE_OK) break;
        Require(stream.GetPos() > before);
      }
      break;
    }
    case 2: {
      zeft::VArrayString fields;
      for (zeft::int64 calls = 0; stream.GetTTRLine(fields) == zeft::VE_OK; ++calls) {
        Require(calls <= total + 1 && fields.GetCount() >= 1);
      }
      break;
    }
    default: {
      const zeft::int32 count = zeft::int32(mode >> 3) - 4;
      const bool acceptMore = (mode & 4) != 0;
      zeft::VString text("kept");
      stream.GetText(text, count, acceptMore);
      Require(text.GetLength() >= 4);
      if (!acceptMore) Require(text.GetLength() - 4 <= (count > 0 ? count + 32 : 0));
      break;
    }
  }
  return 0;
}
