// The text services of VIntlMgr: character classes, case conversion, word
// boundaries and the (trivial) bidirectional layout.
#include <algorithm>
#include <cstring>

#include "core/VIntlMgr.h"
#include "core/VMemory.h"

namespace zeft {

namespace {

// Range tables: the number of ranges, a midpoint that picks the end a scan
// starts from, then inclusive (first, last) pairs in ascending order. The
// CJK ideographs (4E00-9FA5) and Hangul syllables (AC00-D7A3) are whole
// ranges: listing only their end characters would leave their text without
// letters.
constexpr uint16 kLetters[] = {
    200,    3214,   0x0041, 0x005A, 0x0061, 0x007A, 0x00AA, 0x00AA, 0x00B5, 0x00B5, 0x00BA, 0x00BA,
    0x00C0, 0x00D6, 0x00D8, 0x00F6, 0x00F8, 0x0241, 0x0250, 0x02A8, 0x02B0, 0x02B8, 0x02BB, 0x02C1,
    0x02D0, 0x02D1, 0x02E0, 0x02E4, 0x037A, 0x037A, 0x0386, 0x0386, 0x0388, 0x038A, 0x038C, 0x038C,
    0x038E, 0x03A1, 0x03A3, 0x03CE, 0x03D0, 0x03FF, 0x0400, 0x0482, 0x048A, 0x04CE, 0x04D0, 0x04F9,
    0x0500, 0x050F, 0x0531, 0x0556, 0x0559, 0x0559, 0x0561, 0x0587, 0x05D0, 0x05EA, 0x05F0, 0x05F2,
    0x0621, 0x063A, 0x0640, 0x064A, 0x0671, 0x06B7, 0x06BA, 0x06BE, 0x06C0, 0x06CE, 0x06D0, 0x06D3,
    0x06D5, 0x06D5, 0x06E5, 0x06E6, 0x0905, 0x0939, 0x093D, 0x093D, 0x0958, 0x0961, 0x0985, 0x098C,
    0x098F, 0x0990, 0x0993, 0x09A8, 0x09AA, 0x09B0, 0x09B2, 0x09B2, 0x09B6, 0x09B9, 0x09DC, 0x09DD,
    0x09DF, 0x09E1, 0x09F0, 0x09F1, 0x0A05, 0x0A0A, 0x0A0F, 0x0A10, 0x0A13, 0x0A28, 0x0A2A, 0x0A30,
    0x0A32, 0x0A33, 0x0A35, 0x0A36, 0x0A38, 0x0A39, 0x0A59, 0x0A5C, 0x0A5E, 0x0A5E, 0x0A72, 0x0A74,
    0x0A85, 0x0A8B, 0x0A8D, 0x0A8D, 0x0A8F, 0x0A91, 0x0A93, 0x0AA8, 0x0AAA, 0x0AB0, 0x0AB2, 0x0AB3,
    0x0AB5, 0x0AB9, 0x0ABD, 0x0ABD, 0x0AE0, 0x0AE0, 0x0B05, 0x0B0C, 0x0B0F, 0x0B10, 0x0B13, 0x0B28,
    0x0B2A, 0x0B30, 0x0B32, 0x0B33, 0x0B36, 0x0B39, 0x0B3D, 0x0B3D, 0x0B5C, 0x0B5D, 0x0B5F, 0x0B61,
    0x0B85, 0x0B8A, 0x0B8E, 0x0B90, 0x0B92, 0x0B95, 0x0B99, 0x0B9A, 0x0B9C, 0x0B9C, 0x0B9E, 0x0B9F,
    0x0BA3, 0x0BA4, 0x0BA8, 0x0BAA, 0x0BAE, 0x0BB5, 0x0BB7, 0x0BB9, 0x0C05, 0x0C0C, 0x0C0E, 0x0C10,
    0x0C12, 0x0C28, 0x0C2A, 0x0C33, 0x0C35, 0x0C39, 0x0C60, 0x0C61, 0x0C85, 0x0C8C, 0x0C8E, 0x0C90,
    0x0C92, 0x0CA8, 0x0CAA, 0x0CB3, 0x0CB5, 0x0CB9, 0x0CDE, 0x0CDE, 0x0CE0, 0x0CE1, 0x0D05, 0x0D0C,
    0x0D0E, 0x0D10, 0x0D12, 0x0D28, 0x0D2A, 0x0D39, 0x0D60, 0x0D61, 0x0E01, 0x0E2E, 0x0E30, 0x0E30,
    0x0E32, 0x0E33, 0x0E40, 0x0E46, 0x0E81, 0x0E82, 0x0E84, 0x0E84, 0x0E87, 0x0E88, 0x0E8A, 0x0E8A,
    0x0E8D, 0x0E8D, 0x0E94, 0x0E97, 0x0E99, 0x0E9F, 0x0EA1, 0x0EA3, 0x0EA5, 0x0EA5, 0x0EA7, 0x0EA7,
    0x0EAA, 0x0EAB, 0x0EAD, 0x0EAE, 0x0EB0, 0x0EB0, 0x0EB2, 0x0EB3, 0x0EBD, 0x0EBD, 0x0EC0, 0x0EC4,
    0x0EC6, 0x0EC6, 0x0EDC, 0x0EDD, 0x0F40, 0x0F47, 0x0F49, 0x0F69, 0x10A0, 0x10C5, 0x10D0, 0x10F6,
    0x1100, 0x1159, 0x115F, 0x11A2, 0x11A8, 0x11F9, 0x1E00, 0x1E9B, 0x1EA0, 0x1EF9, 0x1F00, 0x1F15,
    0x1F18, 0x1F1D, 0x1F20, 0x1F45, 0x1F48, 0x1F4D, 0x1F50, 0x1F57, 0x1F59, 0x1F59, 0x1F5B, 0x1F5B,
    0x1F5D, 0x1F5D, 0x1F5F, 0x1F7D, 0x1F80, 0x1FB4, 0x1FB6, 0x1FBC, 0x1FBE, 0x1FBE, 0x1FC2, 0x1FC4,
    0x1FC6, 0x1FCC, 0x1FD0, 0x1FD3, 0x1FD6, 0x1FDB, 0x1FE0, 0x1FEC, 0x1FF2, 0x1FF4, 0x1FF6, 0x1FFC,
    0x207F, 0x207F, 0x2102, 0x2102, 0x2107, 0x2107, 0x210A, 0x2113, 0x2115, 0x2115, 0x2118, 0x211D,
    0x2124, 0x2124, 0x2126, 0x2126, 0x2128, 0x2128, 0x212A, 0x2131, 0x2133, 0x2138, 0x3005, 0x3005,
    0x3031, 0x3035, 0x3041, 0x3094, 0x309B, 0x309E, 0x30A1, 0x30FA, 0x30FC, 0x30FE, 0x3105, 0x312C,
    0x3131, 0x318E, 0x4E00, 0x9FA5, 0xAC00, 0xD7A3, 0xF900, 0xFA2D, 0xFB00, 0xFB06, 0xFB13, 0xFB17,
    0xFB1F, 0xFB28, 0xFB2A, 0xFB36, 0xFB38, 0xFB3C, 0xFB3E, 0xFB3E, 0xFB40, 0xFB41, 0xFB43, 0xFB44,
    0xFB46, 0xFBB1, 0xFBD3, 0xFD3D, 0xFD50, 0xFD8F, 0xFD92, 0xFDC7, 0xFDF0, 0xFDFB, 0xFE70, 0xFE72,
    0xFE74, 0xFE74, 0xFE76, 0xFEFC, 0xFF21, 0xFF3A, 0xFF41, 0xFF5A, 0xFF66, 0xFFBE, 0xFFC2, 0xFFC7,
    0xFFCA, 0xFFCF, 0xFFD2, 0xFFD7, 0xFFDA, 0xFFDC,
};
constexpr uint16 kDigits[] = {
    32,     3430,   0x0030, 0x0039, 0x00B2, 0x00B3, 0x00B9, 0x00B9, 0x00BC, 0x00BE, 0x0660,
    0x0669, 0x06F0, 0x06F9, 0x0966, 0x096F, 0x09E6, 0x09EF, 0x09F4, 0x09F9, 0x0A66, 0x0A6F,
    0x0AE6, 0x0AEF, 0x0B66, 0x0B6F, 0x0BE7, 0x0BF2, 0x0C66, 0x0C6F, 0x0CE6, 0x0CEF, 0x0D66,
    0x0D6F, 0x0E50, 0x0E59, 0x0ED0, 0x0ED9, 0x0F20, 0x0F33, 0x2070, 0x2070, 0x2074, 0x2079,
    0x2080, 0x2089, 0x2153, 0x2182, 0x2460, 0x249B, 0x24EA, 0x24EA, 0x2776, 0x2793, 0x3007,
    0x3007, 0x3021, 0x3029, 0x3192, 0x3195, 0x3220, 0x3229, 0x3280, 0x3289, 0xFF10, 0xFF19,
};
constexpr uint16 kPunctuation[] = {
    67,     3674,   0x0021, 0x0023, 0x0025, 0x002A, 0x002C, 0x002F, 0x003A, 0x003B, 0x003F, 0x0040,
    0x005B, 0x005D, 0x005F, 0x005F, 0x007B, 0x007B, 0x007D, 0x007D, 0x00A1, 0x00A1, 0x00AB, 0x00AB,
    0x00AD, 0x00AD, 0x00B7, 0x00B7, 0x00BB, 0x00BB, 0x00BF, 0x00BF, 0x0374, 0x0375, 0x037E, 0x037E,
    0x0387, 0x0387, 0x055A, 0x055F, 0x0589, 0x0589, 0x05BE, 0x05BE, 0x05C0, 0x05C0, 0x05C3, 0x05C3,
    0x05F3, 0x05F4, 0x060C, 0x060C, 0x061B, 0x061B, 0x061F, 0x061F, 0x066A, 0x066D, 0x06D4, 0x06D4,
    0x0964, 0x0965, 0x0970, 0x0970, 0x0E2F, 0x0E2F, 0x0E5A, 0x0E5B, 0x0EAF, 0x0EAF, 0x0F04, 0x0F12,
    0x0F3A, 0x0F3F, 0x0F85, 0x0F85, 0x10FB, 0x10FB, 0x2010, 0x2027, 0x2030, 0x2043, 0x2045, 0x2046,
    0x207D, 0x207E, 0x208D, 0x208E, 0x2329, 0x232A, 0x3001, 0x3003, 0x3006, 0x3006, 0x3008, 0x3011,
    0x3014, 0x301F, 0x3030, 0x3030, 0x30FB, 0x30FB, 0xFD3E, 0xFD3F, 0xFE30, 0xFE44, 0xFE49, 0xFE52,
    0xFE54, 0xFE61, 0xFE63, 0xFE63, 0xFE68, 0xFE68, 0xFE6A, 0xFE6B, 0xFF01, 0xFF03, 0xFF05, 0xFF0A,
    0xFF0C, 0xFF0F, 0xFF1A, 0xFF1B, 0xFF1F, 0xFF20, 0xFF3B, 0xFF3D, 0xFF3F, 0xFF3F, 0xFF5B, 0xFF5B,
    0xFF5D, 0xFF5D, 0xFF61, 0xFF65,
};
constexpr uint16 kSpaces[] = {
    4, 160, 0x0020, 0x0020, 0x00A0, 0x00A0, 0x2000, 0x200B, 0x3000, 0x3000,
};

constexpr int32 kTagIntl = int32(FourCC("intl"));

// Class bits of every UTF-16 unit (letters 8, digits 2, spaces 1,
// punctuation 4), made from the tables at compile time: a class test is
// then one load instead of a scan.
constexpr uint8 kLetterBit = 8;
constexpr uint8 kDigitBit = 2;
constexpr uint8 kSpaceBit = 1;
constexpr uint8 kPunctuationBit = 4;

struct ClassBits {
  uint8 bits[0x10000] = {};

  constexpr ClassBits() {
    const struct {
      const uint16* table;
      uint8 bit;
    } kClasses[] = {{kLetters, kLetterBit},
                    {kDigits, kDigitBit},
                    {kSpaces, kSpaceBit},
                    {kPunctuation, kPunctuationBit}};
    for (const auto& k : kClasses) {
      for (int32 r = 0; r < k.table[0]; ++r) {
        for (uint32 c = k.table[2 + 2 * r]; c <= k.table[3 + 2 * r]; ++c) bits[c] |= k.bit;
      }
    }
  }
};

constexpr ClassBits kClassBits;

bool HasClass(UniChar c, uint8 bit) { return (kClassBits.bits[c] & bit) != 0; }

}  // namespace

const uint16* VIntlMgr::GetLetterTable() { return kLetters; }
const uint16* VIntlMgr::GetDigitTable() { return kDigits; }
const uint16* VIntlMgr::GetPunctuationTable() { return kPunctuation; }
const uint16* VIntlMgr::GetSpaceTable() { return kSpaces; }

bool VIntlMgr::_CharTest(UniChar c, const uint16* table) {
  int32 count = table[0];
  const uint16* ranges = table + 2;
  if (c <= table[1]) {
    for (int32 r = 0; r < count; ++r) {
      if (c < ranges[2 * r]) return false;
      if (c <= ranges[2 * r + 1]) return true;
    }
  } else {
    for (int32 r = count - 1; r >= 0; --r) {
      if (c > ranges[2 * r + 1]) return false;
      if (c >= ranges[2 * r]) return true;
    }
  }
  return false;
}

bool VIntlMgr::IsAlpha(UniChar c) const { return HasClass(c, kLetterBit); }
bool VIntlMgr::IsDigit(UniChar c) const { return HasClass(c, kDigitBit); }
bool VIntlMgr::IsPunctuation(UniChar c) const { return HasClass(c, kPunctuationBit); }
bool VIntlMgr::IsSpace(UniChar c, bool) const { return HasClass(c, kSpaceBit); }

bool VIntlMgr::IsAMacCharacter(uint8 c, uint8 kind) {
  bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  bool digit = c >= '0' && c <= '9';
  // Mac Roman letters: accented letters, ligatures and the like.
  bool macLetter = (c >= 0x80 && c <= 0x9F) || c == 0xAE || c == 0xBE || (c >= 0xCB && c <= 0xCF);
  switch (kind) {
    case 0:
      return c == 9 || c == 13 || (c > 31 && c != 127);
    case 1:
      return letter || digit || macLetter || c == '_';
    case 2:
      return letter || macLetter || c == '_';
    case 3:
      return letter || digit || c == '_';
    case 4:
      return letter || c == '_';
    case 5:
      return digit;
    default:
      return false;
  }
}

uint16* VIntlMgr::_FillOneRangesArray(const uint8* classBits, uint8 mask) {
  std::vector<uint16> ranges;
  uint64 sumOfFirsts = 0;
  int32 c = 0;
  while (c < 0x10000) {
    if ((classBits[c] & mask) == 0) {
      ++c;
      continue;
    }
    int32 first = c;
    while (c + 1 < 0x10000 && (classBits[c + 1] & mask) != 0) ++c;
    ranges.push_back(uint16(first));
    ranges.push_back(uint16(c));
    sumOfFirsts += uint64(first);
    ++c;
  }
  size_t count = ranges.size() / 2;
  auto* table =
      static_cast<uint16*>(VMemory::NewPtr((ranges.size() + 2) * sizeof(uint16), kTagIntl));
  if (table == nullptr) return nullptr;
  table[0] = uint16(count);
  table[1] = count == 0 ? 0 : uint16(sumOfFirsts / count);
  if (!ranges.empty()) std::memcpy(table + 2, ranges.data(), ranges.size() * sizeof(uint16));
  return table;
}

void VIntlMgr::ToUpperLowerCase(VString& text, bool, bool upper) const {
  int32 length = text.GetLength();
  if (length == 0) return;
  UniChar small[512];
  UniChar* room = small;
  int64 roomCount = 512;
  if (length >= 256) {
    roomCount = std::min<int64>(int64(length) * 2, 0x7FFFFFFF);
    room = static_cast<UniChar*>(VMemory::NewPtr(size_t(roomCount) * sizeof(UniChar), kTagIntl));
    if (room == nullptr) return;
  }
  int32 count = int32(roomCount);
  bool done = XMacIntlMgr::ToUpperLowerCase(text.GetCPointer(), length, room, count, upper);
  if (done && count > roomCount) {
    // The result outgrew the room (some characters expand, U+FB03 to "FFI"):
    // convert again with room for all of it rather than cut it.
    if (room != small) VMemory::DisposePtr(room);
    roomCount = count;
    room = static_cast<UniChar*>(VMemory::NewPtr(size_t(roomCount) * sizeof(UniChar), kTagIntl));
    if (room == nullptr) return;
    count = int32(roomCount);
    done = XMacIntlMgr::ToUpperLowerCase(text.GetCPointer(), length, room, count, upper) &&
           count <= roomCount;
  }
  if (done) text.FromUniString(room, count);
  if (room != small) VMemory::DisposePtr(room);
}

bool VIntlMgr::_IsItaDeadChar(UniChar c) {
  return c < 0x20 || !HasClass(c, kLetterBit | kDigitBit);
}

bool VIntlMgr::GetWordBoundariesWithOptions(const VString& text,
                                            std::vector<std::pair<int32, int32>>& words,
                                            uint32 options) const {
  words.clear();
  if (text.IsEmpty()) return true;
  if ((options & kKeywordAlphaNumeric) == 0) return false;
  const UniChar* p = text.GetCPointer();
  int32 length = text.GetLength();
  int32 i = 0;
  while (i < length) {
    if (_IsItaDeadChar(p[i])) {
      ++i;
      continue;
    }
    int32 start = i;
    while (i < length && !_IsItaDeadChar(p[i])) ++i;
    words.emplace_back(start + 1, i - start);
  }
  return true;
}

bool VIntlMgr::_SplitWordRangeOnDot(const VString& text, int32 position, size_t length,
                                    std::vector<std::pair<int32, int32>>& out, bool keepDots) {
  if (position < 1 || position > text.GetLength()) return false;
  int32 end = int32(std::min<int64>(int64(position) - 1 + int64(length), text.GetLength()));
  const UniChar* p = text.GetCPointer();
  bool foundDot = false;
  int32 pieceStart = position - 1;  // 0-based
  for (int32 i = position - 1; i < end; ++i) {
    if (p[i] != u'.') continue;
    foundDot = true;
    if (i > pieceStart) out.emplace_back(pieceStart + 1, i - pieceStart);
    if (keepDots) out.emplace_back(i + 1, 1);
    pieceStart = i + 1;
  }
  if (foundDot && end > pieceStart) out.emplace_back(pieceStart + 1, end - pieceStart);
  return foundDot;
}

bool VIntlMgr::_HasApostropheSecondFollowedByVowel(const VString& text, int32 position,
                                                   int32 length) {
  if (length < 4 || position < 1 || int64(position) + 2 > text.GetLength()) return false;
  UniChar second = text.GetCPointer()[position];
  UniChar third = text.GetCPointer()[position + 1];
  if (second != 0x2019 && second != u'\'') return false;
  if (third >= u'A' && third <= u'Z') third = UniChar(third - u'A' + u'a');
  return third != 0 && third < 128 && std::strchr("aeiouy", int(third)) != nullptr;
}

bool VIntlMgr::TextLogicalToVisual(VString& text, int32) const {
  return text.IsEmpty() || (text.GetLength() == 1 && text.GetUniChar(1) == u'\r');
}

int32 VIntlMgr::GetBidiRuns(const UniChar* text, int32 length, std::vector<VBidiRun>& runs,
                            std::vector<int32>& visualOrder, int32 direction,
                            bool ignoreTrailingReturn) const {
  runs.clear();
  visualOrder.clear();
  int32 runLength = std::max(length, 0);
  if (ignoreTrailingReturn && runLength > 0 && text != nullptr && text[runLength - 1] == u'\r')
    --runLength;
  runs.emplace_back(0, runLength, direction & 1);
  visualOrder.push_back(0);
  return direction & 1;
}

void VIntlMgr::GetKewordAlgorithmSignature(VString& out) const {
  if ((fKeywordBits & 1) != 0)
    out.FromCString("AlphaNum");
  else if ((fKeywordBits & 6) == 0)
    out.Clear();
}

}  // namespace zeft
