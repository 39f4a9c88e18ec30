// CharSet numbers the character sets that strings, streams and files convert
// to and from. The values are stored in files and streams: never renumber.
#pragma once

#include "core/VTypes.h"

namespace zeft {

enum CharSet : int32 {
  kCharSetDefault8Bit = -2,  // the system's default 8-bit set
  kCharSetUnknown = 0,

  kCharSetUTF16BigEndian = 1,
  kCharSetUTF16 = 2,  // machine byte order
  kCharSetUTF32BigEndian = 3,
  kCharSetUTF32 = 4,              // machine byte order
  kCharSetUTF32RawBigEndian = 5,  // one 32-bit unit per UTF-16 unit
  kCharSetUTF32Raw = 6,
  kCharSetUTF8 = 7,
  kCharSetUTF7 = 8,
  kCharSetASCII = 9,
  kCharSetEBCDIC037 = 10,
  kCharSetIBM437 = 11,

  kCharSetMacRoman = 100,
  kCharSetWindows1252 = 101,
  kCharSetMacCentralEurope = 102,
  kCharSetWindows1250 = 103,
  kCharSetMacCyrillic = 104,
  kCharSetWindows1251 = 105,
  kCharSetMacGreek = 106,
  kCharSetWindows1253 = 107,
  kCharSetMacTurkish = 108,
  kCharSetWindows1254 = 109,
  kCharSetMacArabic = 110,
  kCharSetWindows1256 = 111,
  kCharSetMacHebrew = 112,
  kCharSetWindows1255 = 113,
  kCharSetMacCentralEurope2 = 114,  // second entry named "x-mac-ce"
  kCharSetWindows1257 = 115,
  kCharSetMacSimplifiedChinese = 116,
  kCharSetGBK = 117,  // code page 936
  kCharSetMacTraditionalChinese = 118,
  kCharSetCP950 = 119,  // DOS traditional Chinese
  kCharSetMacJapanese = 120,

  kCharSetShiftJIS = 1000,
  kCharSetISO2022JP = 1001,
  kCharSetBig5 = 1002,
  kCharSetEUCKR = 1003,
  kCharSetKOI8R = 1004,
  kCharSetISO8859_1 = 1005,
  kCharSetISO8859_2 = 1006,
  kCharSetISO8859_3 = 1007,
  kCharSetISO8859_4 = 1008,
  kCharSetISO8859_5 = 1009,
  kCharSetISO8859_6 = 1010,
  kCharSetISO8859_7 = 1011,
  kCharSetISO8859_8 = 1012,
  kCharSetISO8859_9 = 1013,
  kCharSetISO8859_10 = 1014,
  kCharSetISO8859_13 = 1015,
  kCharSetGB2312 = 1016,
  kCharSetGB2312_80 = 1017,
  kCharSetISO8859_15 = 1018,
  kCharSetWindows31J = 1019,
};

}  // namespace zeft
