#include "core/VTextConverters.h"

#include <algorithm>

#include "core/ASCIIText.h"
#include "core/VFromUnicodeConverter.h"
#include "core/VString.h"
#include "core/VToUnicodeConverter.h"
#include "core/VUTF16Converter.h"
#include "core/VUTF32Converter.h"
#include "core/VUTF8Converter.h"
#include "core/VVoidConverter.h"
#include "core/mac/XMacIntlMgr.h"

namespace zeft {

namespace {

struct CharSetRow {
  CharSet fCharSet;
  int32 fMIBEnum;
  const wchar_t* fWideName;
  const char* fName;
  uint64 fWeb;
};

#define ROW(set, mib, name) \
  { CharSet(set), mib, L##name, name, 0 }
#define WEB(set, mib, name) \
  { CharSet(set), mib, L##name, name, 1 }

// Several rows may share a CharSet (aliases); the first row of a set holds
// its preferred name. Order matters: look-ups take the first match.
constexpr CharSetRow kCharSetTable[] = {
    ROW(4, 1017, "UCS4"),
    ROW(3, 1018, "UCS4BE"),
    ROW(4, 1019, "UCS4LE"),
    ROW(4, 1017, "UCS_4"),
    ROW(3, 1018, "UCS_4BE"),
    ROW(4, 1019, "UCS_4LE"),
    ROW(4, 1017, "UCS-4"),
    ROW(3, 1018, "UCS-4BE"),
    ROW(4, 1019, "UCS-4LE"),
    ROW(4, 1017, "UTF-32"),
    ROW(3, 1018, "UTF-32BE"),
    ROW(4, 1019, "UTF-32LE"),
    ROW(2, 1015, "UTF-16"),
    ROW(1, 1013, "UTF-16BE"),
    ROW(2, 1014, "UTF-16LE"),
    WEB(7, 106, "UTF-8"),
    WEB(8, 1012, "UTF-7"),
    WEB(8, 103, "UNICODE-1-1-UTF-7"),
    ROW(9, 3, "US-ASCII"),
    ROW(9, 3, "ANSI_X3.4-1968"),
    ROW(9, 3, "ANSI_X3.4-1986"),
    ROW(9, 3, "ASCII"),
    ROW(9, 3, "cp367"),
    ROW(9, 3, "csASCII"),
    ROW(9, 3, "IBM367"),
    ROW(9, 3, "iso-ir-6"),
    ROW(9, 3, "ISO_646.irv:1991"),
    ROW(9, 3, "ISO646-US"),
    ROW(9, 3, "us"),
    ROW(11, 2011, "IBM437"),
    ROW(11, 2011, "cp437"),
    ROW(11, 2011, "437"),
    ROW(11, 2011, "csPC8CodePage437"),
    ROW(10, 2028, "ebcdic-cp-us"),
    ROW(10, 2028, "cp037"),
    ROW(10, 2028, "csIBM037"),
    ROW(10, 2028, "ebcdic-cp-ca"),
    ROW(10, 2028, "ebcdic-cp-nl"),
    ROW(10, 2028, "ebcdic-cp-wt"),
    ROW(10, 2028, "IBM037"),
    ROW(100, 2027, "MacRoman"),
    ROW(100, 2027, "x-mac-roman"),
    ROW(100, 2027, "mac"),
    ROW(100, 2027, "macintosh"),
    ROW(100, 2027, "csMacintosh"),
    ROW(101, 2252, "windows-1252"),
    ROW(102, 1250, "MacCE"),
    ROW(102, 1250, "x-mac-ce"),
    ROW(103, 2250, "windows-1250"),
    ROW(104, 1251, "x-mac-cyrillic"),
    ROW(105, 2251, "windows-1251"),
    ROW(106, 1253, "x-mac-greek"),
    ROW(107, 2253, "windows-1253"),
    ROW(108, 1254, "x-mac-turkish"),
    ROW(109, 2254, "windows-1254"),
    ROW(110, 1256, "x-mac-arabic"),
    ROW(111, 2256, "windows-1256"),
    ROW(112, 1255, "x-mac-hebrew"),
    ROW(113, 2255, "windows-1255"),
    ROW(114, 1257, "x-mac-ce"),
    ROW(115, 2257, "windows-1257"),
    WEB(1000, 17, "Shift_JIS"),
    ROW(1000, 17, "csShiftJIS"),
    ROW(1000, 17, "MS_Kanji"),
    ROW(1000, 17, "Shift-JIS"),
    ROW(120, 1258, "x-mac-japanese"),
    ROW(1019, 2024, "Windows-31J"),
    ROW(1019, 2024, "csWindows31J"),
    ROW(1001, 39, "ISO-2022-JP"),
    ROW(1001, 39, "csISO2022JP"),
    WEB(1002, 2026, "Big5"),
    ROW(1002, 2026, "csBig5"),
    WEB(1003, 38, "EUC-KR"),
    ROW(1003, 38, "csEUCKR"),
    WEB(1004, 2084, "KOI8-R"),
    ROW(1004, 2084, "csKOI8R"),
    WEB(1005, 4, "ISO-8859-1"),
    ROW(1005, 4, "CP819"),
    ROW(1005, 4, "csISOLatin1"),
    ROW(1005, 4, "IBM819"),
    ROW(1005, 4, "iso-ir-100"),
    ROW(1005, 4, "ISO_8859-1"),
    ROW(1005, 4, "ISO_8859-1:1987"),
    ROW(1005, 4, "l1"),
    ROW(1005, 4, "latin1"),
    WEB(1006, 5, "ISO-8859-2"),
    ROW(1006, 5, "csISOLatin2"),
    ROW(1006, 5, "iso-ir-101"),
    ROW(1006, 5, "ISO_8859-2"),
    ROW(1006, 5, "ISO_8859-2:1987"),
    ROW(1006, 5, "l2"),
    ROW(1006, 5, "latin2"),
    WEB(1007, 6, "ISO-8859-3"),
    ROW(1007, 6, "csISOLatin3"),
    ROW(1007, 6, "ISO-8859-3:1988"),
    ROW(1007, 6, "iso-ir-109"),
    ROW(1007, 6, "ISO_8859-3"),
    ROW(1007, 6, "l3"),
    ROW(1007, 6, "latin3"),
    WEB(1008, 7, "ISO-8859-4"),
    ROW(1008, 7, "csISOLatin4"),
    ROW(1008, 7, "ISO-8859-4:1988"),
    ROW(1008, 7, "iso-ir-110"),
    ROW(1008, 7, "ISO_8859-4"),
    ROW(1008, 7, "l4"),
    ROW(1008, 7, "latin4"),
    WEB(1009, 8, "ISO-8859-5"),
    ROW(1009, 8, "csISOLatinCyrillic"),
    ROW(1009, 8, "cyrillic"),
    ROW(1009, 8, "ISO-8859-5:1988"),
    ROW(1009, 8, "iso-ir-144"),
    ROW(1009, 8, "ISO_8859-5"),
    WEB(1010, 9, "ISO-8859-6"),
    ROW(1010, 9, "arabic"),
    ROW(1010, 9, "ASMO-708"),
    ROW(1010, 9, "csISOLatinArabic"),
    ROW(1010, 9, "ECMA-114"),
    ROW(1010, 9, "ISO-8859-6:1987"),
    ROW(1010, 9, "iso-ir-127"),
    ROW(1010, 9, "ISO_8859-6"),
    WEB(1011, 10, "ISO-8859-7"),
    ROW(1011, 10, "csISOLatinGreek"),
    ROW(1011, 10, "ECMA-118"),
    ROW(1011, 10, "ELOT_928"),
    ROW(1011, 10, "greek"),
    ROW(1011, 10, "greek8"),
    ROW(1011, 10, "iso-ir-126"),
    ROW(1011, 10, "ISO_8859-7"),
    ROW(1011, 10, "ISO_8859-7:1987"),
    WEB(1012, 11, "ISO-8859-8"),
    ROW(1012, 11, "csISOLatinHebrew"),
    ROW(1012, 11, "hebrew"),
    ROW(1012, 11, "iso-ir-138"),
    ROW(1012, 11, "ISO_8859-8"),
    ROW(1012, 11, "ISO_8859-8:1988"),
    WEB(1013, 12, "ISO-8859-9"),
    ROW(1013, 12, "csISOLatin5"),
    ROW(1013, 12, "iso-ir-148"),
    ROW(1013, 12, "ISO_8859-9"),
    ROW(1013, 12, "ISO_8859-9:1989"),
    ROW(1013, 12, "l5"),
    ROW(1013, 12, "latin5"),
    WEB(1014, 13, "ISO-8859-10"),
    ROW(1014, 13, "csISOLatin6"),
    ROW(1014, 13, "iso-ir-157"),
    ROW(1014, 13, "ISO_8859-10"),
    ROW(1014, 13, "ISO_8859-10:1992"),
    ROW(1014, 13, "l6"),
    ROW(1014, 13, "latin6"),
    WEB(1015, 109, "ISO-8859-13"),
    WEB(1018, 111, "ISO-8859-15"),
    ROW(1018, 111, "Latin-9"),
    WEB(1016, 2025, "GB2312"),
    ROW(1016, 2025, "csGB2312"),
    ROW(1016, 2025, "x-mac-chinesesimp"),
    ROW(116, 2025, "x-mac-chinesesimp"),
    ROW(1017, 57, "GB_2312-80"),
    ROW(1017, 57, "csISO58GB231280"),
    WEB(117, 113, "GBK"),
    ROW(117, 113, "CP936"),
    ROW(117, 113, "MS936"),
    ROW(117, 113, "windows-936"),
    {CharSet(0), 0, nullptr, nullptr, 0},
};

#undef ROW
#undef WEB

constexpr size_t kCharSetRowCount = sizeof(kCharSetTable) / sizeof(kCharSetTable[0]) - 1;
static_assert(kCharSetRowCount == 162);

// Charset names are ASCII: they compare without regard to ASCII case and to
// the task's language (a Turkish dotless i must not break "latin1").
bool NameEquals(const VString& name, const wchar_t* rowName) {
  const UniChar* units = name.GetCPointer();
  const int32 length = name.GetLength();
  int32 i = 0;
  for (; i < length && rowName[i] != 0; ++i) {
    if (FoldASCII(units[i]) != FoldASCII(UniChar(rowName[i]))) return false;
  }
  return i == length && rowName[i] == 0;
}

// Orders names by ASCII case-insensitive comparison (raw order of the
// folded units).
bool NameLess(const VString& a, const VString& b) {
  const UniChar* ua = a.GetCPointer();
  const UniChar* ub = b.GetCPointer();
  const int32 n = std::min(a.GetLength(), b.GetLength());
  for (int32 i = 0; i < n; ++i) {
    UniChar ca = FoldASCII(ua[i]);
    UniChar cb = FoldASCII(ub[i]);
    if (ca != cb) return ca < cb;
  }
  return a.GetLength() < b.GetLength();
}

const CharSetRow* FindRowBySet(CharSet set) {
  for (const CharSetRow* row = kCharSetTable; row->fName != nullptr; ++row) {
    if (row->fCharSet == set) return row;
  }
  return nullptr;
}

const CharSetRow* FindRowByName(const VString& name) {
  for (const CharSetRow* row = kCharSetTable; row->fName != nullptr; ++row) {
    if (NameEquals(name, row->fWideName)) return row;
  }
  return nullptr;
}

const CharSetRow* FindRowByMIBEnum(int32 mibEnum) {
  for (const CharSetRow* row = kCharSetTable; row->fName != nullptr; ++row) {
    if (row->fMIBEnum == mibEnum) return row;
  }
  return nullptr;
}

void SetName(const CharSetRow* row, VString& name) {
  name.Clear();
  if (row != nullptr) name.AppendCString(row->fName);
}

// Converters for the sets without a built-in converter: the platform's
// converters when it serves the set, else the converter that converts
// nothing.
VToUnicodeConverter* NewOtherToUnicodeConverter(CharSet set) {
  if (VToUnicodeConverter* platform = XMacIntlMgr::NewToUnicodeConverter(set)) return platform;
  return new VToUnicodeConverter_Void;
}
VFromUnicodeConverter* NewOtherFromUnicodeConverter(CharSet set) {
  if (VFromUnicodeConverter* platform = XMacIntlMgr::NewFromUnicodeConverter(set)) return platform;
  return new VFromUnicodeConverter_Void;
}

constexpr uint8 kBOMUTF16BE[] = {0xFE, 0xFF};
constexpr uint8 kBOMUTF16LE[] = {0xFF, 0xFE};
constexpr uint8 kBOMUTF32BE[] = {0x00, 0x00, 0xFE, 0xFF};
constexpr uint8 kBOMUTF32LE[] = {0xFF, 0xFE, 0x00, 0x00};
constexpr uint8 kBOMUTF8[] = {0xEF, 0xBB, 0xBF};

}  // namespace

VTextConverters* VTextConverters::sInstance = nullptr;

VTextConverters* VTextConverters::Get() {
  // Created once, during process initialisation on the main thread; the
  // magic static also makes a racing first use safe.
  static VTextConverters* const instance = sInstance = new VTextConverters;
  return instance;
}

VTextConverters::VTextConverters()
    : fDefault8BitToUnicode(NewOtherToUnicodeConverter(kCharSetDefault8Bit)),
      fDefault8BitFromUnicode(NewOtherFromUnicodeConverter(kCharSetDefault8Bit)),
      fNullToUnicode(new VToUnicodeConverter_Null),
      fNullFromUnicode(new VFromUnicodeConverter_Null),
      fSwapToUnicode(new VToUnicodeConverter_Swap),
      fSwapFromUnicode(new VFromUnicodeConverter_Swap),
      fUTF32RawToUnicode(new VToUnicodeConverter_UTF32_Raw(false)),
      fUTF32RawFromUnicode(new VFromUnicodeConverter_UTF32_Raw(false)),
      fUTF32ToUnicode(new VToUnicodeConverter_UTF32(false)),
      fUTF32FromUnicode(new VFromUnicodeConverter_UTF32(false)),
      fUTF8ToUnicode(new VToUnicodeConverter_UTF8),
      fUTF8FromUnicode(new VFromUnicodeConverter_UTF8) {}

VTextConverters::~VTextConverters() {
  fDefault8BitToUnicode->Release();
  fDefault8BitFromUnicode->Release();
  fNullToUnicode->Release();
  fNullFromUnicode->Release();
  fSwapToUnicode->Release();
  fSwapFromUnicode->Release();
  fUTF32RawToUnicode->Release();
  fUTF32RawFromUnicode->Release();
  fUTF32ToUnicode->Release();
  fUTF32FromUnicode->Release();
  fUTF8ToUnicode->Release();
  fUTF8FromUnicode->Release();
}

void VTextConverters::GetNameFromCharSet(CharSet set, VString& name) const {
  SetName(FindRowBySet(set), name);
}

CharSet VTextConverters::GetCharSetFromName(const VString& name) const {
  const CharSetRow* row = FindRowByName(name);
  return row != nullptr ? row->fCharSet : kCharSetUnknown;
}

int32 VTextConverters::GetMIBEnumFromCharSet(CharSet set) const {
  const CharSetRow* row = FindRowBySet(set);
  return row != nullptr ? row->fMIBEnum : 0;
}

int32 VTextConverters::GetMIBEnumFromName(const VString& name) const {
  const CharSetRow* row = FindRowByName(name);
  return row != nullptr ? row->fMIBEnum : 0;
}

CharSet VTextConverters::GetCharSetFromMIBEnum(int32 mibEnum) const {
  const CharSetRow* row = FindRowByMIBEnum(mibEnum);
  return row != nullptr ? row->fCharSet : kCharSetUnknown;
}

void VTextConverters::GetNameFromMIBEnum(int32 mibEnum, VString& name) const {
  SetName(FindRowByMIBEnum(mibEnum), name);
}

void VTextConverters::EnumWebCharsets(std::vector<VString>& names,
                                      std::vector<CharSet>& sets) const {
  names.clear();
  sets.clear();
  for (const CharSetRow* row = kCharSetTable; row->fName != nullptr; ++row) {
    if (row->fWeb != 0) {
      names.emplace_back(row->fName);
      sets.push_back(row->fCharSet);
    }
  }
}

void VTextConverters::EnumCharsets(std::vector<VString>& names, std::vector<CharSet>& sets) const {
  names.clear();
  sets.clear();
  CharSet previous = kCharSetUnknown;
  for (const CharSetRow* row = kCharSetTable; row->fName != nullptr; ++row) {
    if (row != kCharSetTable && row->fCharSet == previous) continue;
    previous = row->fCharSet;
    VString name(row->fName);
    auto position = std::lower_bound(names.begin(), names.end(), name, NameLess);
    sets.insert(sets.begin() + (position - names.begin()), row->fCharSet);
    names.insert(position, std::move(name));
  }
}

VToUnicodeConverter* VTextConverters::_GetCachedToUnicodeConverter(CharSet set) const {
  switch (set) {
    case kCharSetDefault8Bit:
      return fDefault8BitToUnicode;
    case kCharSetUTF16BigEndian:
      return fSwapToUnicode;
    case kCharSetUTF16:
      return fNullToUnicode;
    case kCharSetUTF32:
      return fUTF32ToUnicode;
    case kCharSetUTF32Raw:
      return fUTF32RawToUnicode;
    case kCharSetUTF8:
      return fUTF8ToUnicode;
    default:
      return nullptr;
  }
}

VFromUnicodeConverter* VTextConverters::_GetCachedFromUnicodeConverter(CharSet set) const {
  switch (set) {
    case kCharSetDefault8Bit:
      return fDefault8BitFromUnicode;
    case kCharSetUTF16BigEndian:
      return fSwapFromUnicode;
    case kCharSetUTF16:
      return fNullFromUnicode;
    case kCharSetUTF32:
      return fUTF32FromUnicode;
    case kCharSetUTF32Raw:
      return fUTF32RawFromUnicode;
    case kCharSetUTF8:
      return fUTF8FromUnicode;
    default:
      return nullptr;
  }
}

VToUnicodeConverter* VTextConverters::RetainToUnicodeConverter(CharSet set) {
  if (VToUnicodeConverter* cached = _GetCachedToUnicodeConverter(set)) {
    cached->Retain();
    return cached;
  }
  switch (set) {
    case kCharSetUTF32BigEndian:
      return new VToUnicodeConverter_UTF32(true);
    case kCharSetUTF32RawBigEndian:
      return new VToUnicodeConverter_UTF32_Raw(true);
    default:
      return NewOtherToUnicodeConverter(set);
  }
}

VFromUnicodeConverter* VTextConverters::RetainFromUnicodeConverter(CharSet set) {
  if (VFromUnicodeConverter* cached = _GetCachedFromUnicodeConverter(set)) {
    cached->Retain();
    return cached;
  }
  switch (set) {
    case kCharSetUTF32BigEndian:
      return new VFromUnicodeConverter_UTF32(true);
    case kCharSetUTF32RawBigEndian:
      return new VFromUnicodeConverter_UTF32_Raw(true);
    default:
      return NewOtherFromUnicodeConverter(set);
  }
}

bool VTextConverters::ConvertToVString(const void* bytes, size_t count, CharSet set,
                                       VString& target) {
  target.Truncate(0);
  if (set == kCharSetUTF16) {
    // Whole units are copied; a trailing odd byte makes the result false.
    return fNullToUnicode->ConvertString(bytes, count, nullptr, target) && count % 2 == 0;
  }
  if (VToUnicodeConverter* cached = _GetCachedToUnicodeConverter(set))
    return cached->ConvertString(bytes, count, nullptr, target);
  VToUnicodeConverter* converter = RetainToUnicodeConverter(set);
  bool ok = converter->ConvertString(bytes, count, nullptr, target);
  converter->Release();
  return ok;
}

bool VTextConverters::ConvertFromVString(const VString& source, int* consumedChars, void* target,
                                         size_t targetBytes, size_t* producedBytes, CharSet set) {
  if (VFromUnicodeConverter* cached = _GetCachedFromUnicodeConverter(set)) {
    return cached->Convert(source.GetCPointer(), source.GetLength(), consumedChars, target,
                           targetBytes, producedBytes);
  }
  VFromUnicodeConverter* converter = RetainFromUnicodeConverter(set);
  bool ok = converter->Convert(source.GetCPointer(), source.GetLength(), consumedChars, target,
                               targetBytes, producedBytes);
  converter->Release();
  return ok;
}

bool VTextConverters::ParseBOM(const void* bytes, size_t count, size_t* bomSize, CharSet* set) {
  const uint8* b = static_cast<const uint8*>(bytes);
  size_t size = 0;
  CharSet found = kCharSetUnknown;
  if (b == nullptr) count = 0;
  if (count >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    size = 3, found = kCharSetUTF8;
  } else if (count >= 4 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0x00 && b[3] == 0x00) {
    size = 4, found = kCharSetUTF32;
  } else if (count >= 4 && b[0] == 0x00 && b[1] == 0x00 && b[2] == 0xFE && b[3] == 0xFF) {
    size = 4, found = kCharSetUTF32BigEndian;
  } else if (count >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
    size = 2, found = kCharSetUTF16BigEndian;
  } else if (count >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
    size = 2, found = kCharSetUTF16;
  }
  if (bomSize != nullptr) *bomSize = size;
  if (set != nullptr) *set = found;
  return size != 0;
}

const uint8* VTextConverters::GetBOMForCharSet(CharSet set, size_t* size) {
  const uint8* bom = nullptr;
  size_t bomSize = 0;
  switch (set) {
    case kCharSetUTF16BigEndian:
      bom = kBOMUTF16BE, bomSize = sizeof(kBOMUTF16BE);
      break;
    case kCharSetUTF16:
      bom = kBOMUTF16LE, bomSize = sizeof(kBOMUTF16LE);
      break;
    case kCharSetUTF32BigEndian:
      bom = kBOMUTF32BE, bomSize = sizeof(kBOMUTF32BE);
      break;
    case kCharSetUTF32:
      bom = kBOMUTF32LE, bomSize = sizeof(kBOMUTF32LE);
      break;
    case kCharSetUTF8:
      bom = kBOMUTF8, bomSize = sizeof(kBOMUTF8);
      break;
    default:
      break;
  }
  if (size != nullptr) *size = bomSize;
  return bom;
}

}  // namespace zeft
