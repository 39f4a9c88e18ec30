// The dialect model of VIntlMgr: the dialect table, the conversions between
// dialect codes and ISO 639 / ISO 3166 / BCP 47 / RFC 3066bis tags, the
// system dialect and the localization folders of a dialect.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "core/ASCIIText.h"
#include "core/VIntlMgr.h"
#include "platform/ItemKind.h"
#include "platform/Locale.h"

namespace zeft {

namespace {

struct DialectRow {
  DialectCode code;
  const char* iso6391;
  const char* iso6392;
  const char* name;
  const char* region;  // ISO 3166, upper case
  const char* subTag;  // RFC 3066bis: a lower-case region or a script
};

// Look-ups by code take the first row (1044, 1050 and 1065 appear twice).
// Several names are a related language's or a country's: the folder and
// name look-ups depend on them as they are.
const DialectRow kDialects[] = {
    {1078, "af", "afr", "afrikaans", "ZA", ""},
    {1052, "sq", "alb", "albanian", "AL", ""},
    {94, "am", "amh", "amharic", "", ""},
    {1, "ar", "ara", "arabic", "", ""},
    {1025, "ar", "ara", "arabic", "SA", "sa"},
    {2049, "ar", "ara", "arabic", "IQ", "iq"},
    {3073, "ar", "ara", "arabic", "EG", "eg"},
    {4097, "ar", "ara", "arabic", "LY", "ly"},
    {5121, "ar", "ara", "arabic", "DZ", "dz"},
    {6145, "ar", "ara", "arabic", "MA", "ma"},
    {7169, "ar", "ara", "arabic", "TN", "tn"},
    {8193, "ar", "ara", "arabic", "OM", "om"},
    {9217, "ar", "ara", "arabic", "YE", "ye"},
    {10241, "ar", "ara", "arabic", "SY", "sy"},
    {11265, "ar", "ara", "arabic", "JO", "jo"},
    {12289, "ar", "ara", "arabic", "LB", "lb"},
    {13313, "ar", "ara", "arabic", "KW", "kw"},
    {14337, "ar", "ara", "arabic", "AE", "ae"},
    {15361, "ar", "ara", "arabic", "BH", "bh"},
    {16385, "ar", "ara", "arabic", "QA", "qa"},
    {1067, "hy", "hye", "armenian", "AM", ""},
    {44, "az", "aze", "azerbaijani", "", ""},
    {1069, "eu", "baq", "spanish", "ES", "es"},
    {1059, "be", "bel", "belarusian", "BY", ""},
    {1093, "bn", "ben", "bangladesh", "BD", "bd"},
    {1026, "bg", "bul", "bulgarian", "BG", ""},
    {1027, "ca", "cat", "catalan", "ES", ""},
    {1028, "zh", "chi", "chinese", "TW", "Hant"},
    {2052, "zh", "chi", "chinese", "CN", "Hans"},
    {3076, "zh", "chi", "chinese", "HK", "hk"},
    {4100, "zh", "chi", "chinese", "SG", "sg"},
    {1050, "hr", "scr", "croatian", "HR", ""},
    {1029, "cs", "cze", "czech", "CZ", ""},
    {1030, "da", "dan", "danish", "DK", ""},
    {1043, "nl", "dut", "dutch", "NL", ""},
    {2067, "nl", "dut", "dutch", "BE", "be"},
    {1122, "fy", "dut", "dutch", "NL", "nl"},
    {1033, "en", "eng", "english", "US", ""},
    {2057, "en", "eng", "english", "GB", "gb"},
    {3081, "en", "eng", "english", "AU", "au"},
    {4105, "en", "eng", "english", "CA", "ca"},
    {5129, "en", "eng", "english", "NZ", "nz"},
    {6153, "en", "eng", "english", "IE", "ie"},
    {7177, "en", "eng", "english", "ZA", "za"},
    {8201, "en", "eng", "english", "JM", "jm"},
    {9225, "en", "eng", "english", "CB", "cb"},
    {10249, "en", "eng", "english", "BZ", "bz"},
    {11273, "en", "eng", "english", "TT", "tt"},
    {18441, "en", "eng", "english", "SG", "sg"},
    {1061, "et", "est", "estonian", "EE", ""},
    {1080, "fo", "fao", "faorese", "FO", ""},
    {1065, "fa", "per", "persian", "IR", ""},
    {1035, "fi", "fin", "finnish", "FI", ""},
    {1036, "fr", "fre", "french", "FR", ""},
    {2060, "fr", "fre", "french", "BE", "be"},
    {3084, "fr", "fre", "french", "CA", "ca"},
    {4108, "fr", "fre", "french", "CH", "ch"},
    {5132, "fr", "fre", "french", "LU", "lu"},
    {8192, "fr", "fre", "french", "NC", ""},
    {11264, "fr", "fre", "french", "NC", ""},
    {1169, "gd", "eng", "english", "GB", ""},
    {1110, "gl", "spa", "spanish", "ES", ""},
    {1031, "de", "ger", "german", "DE", ""},
    {2055, "de", "ger", "german", "CH", "ch"},
    {3079, "de", "ger", "german", "AT", "at"},
    {4103, "de", "ger", "german", "LU", "lu"},
    {5127, "de", "ger", "german", "LI", "li"},
    {1032, "el", "gre", "greek", "GR", ""},
    {1095, "gu", "guj", "india", "IN", ""},
    {1037, "he", "heb", "hebrew", "IL", ""},
    {1081, "hi", "hin", "india", "IN", ""},
    {1038, "hu", "hun", "hungarian", "HU", ""},
    {1039, "is", "ice", "iceland", "IS", ""},
    {1057, "id", "ind", "indonesian", "ID", ""},
    {2108, "ga", "gle", "ireland", "IE", ""},
    {1040, "it", "ita", "italian", "IT", ""},
    {2064, "it", "ita", "italian", "CH", "ch"},
    {1041, "ja", "jpn", "japanese", "JP", ""},
    {83, "kh", "khm", "khmer", "", ""},
    {1159, "rw", "kin", "kinyarwanda", "RW", ""},
    {1089, "sw", "swk", "kiswahili", "KE", ""},
    {1042, "ko", "kor", "korean", "", ""},
    {2066, "ko", "kor", "korean", "", ""},
    {1062, "lv", "lav", "latvian", "LV", ""},
    {1063, "lt", "lit", "lithuanian", "LT", ""},
    {1134, "lb", "ltz", "luxembourg", "LU", "lu"},
    {1071, "mk", "mkd", "macedonian", "MK", ""},
    {1086, "ms", "may", "malaysian", "MY", "my"},
    {58, "mt", "mlt", "malte", "", ""},
    {129, "mi", "mao", "new zealand", "", ""},
    {1102, "mr", "mar", "india", "IN", ""},
    {1100, "ml", "mal", "india", "IN", ""},
    {1104, "mn", "mon", "mongolian", "MN", ""},
    {1121, "ne", "nep", "nepali", "NP", ""},
    {1044, "no", "nor", "norwegian", "NO", ""},
    {1044, "nb", "nob", "bokmal", "NO", "no"},
    {2068, "nn", "nno", "nynorsk", "NO", "no"},
    {1154, "oc", "oci", "french", "FR", "fr"},
    {72, "or", "ori", "oriya", "", ""},
    {1065, "fa", "peo", "persian", "IR", "ir"},
    {1045, "pl", "pol", "polish", "PL", ""},
    {2070, "pt", "por", "portuguese", "PT", ""},
    {1046, "pt", "por", "portuguese", "BR", "br"},
    {70, "pa", "pan", "punjabi", "", ""},
    {1131, "qu", "que", "bolivia", "BO", ""},
    {1048, "ro", "rum", "romanian", "RO", ""},
    {1049, "ru", "rus", "russian", "RU", ""},
    {1083, "se", "sme", "Sami", "", ""},
    {2107, "se", "sme", "Sami", "", ""},
    {3131, "se", "sme", "Sami", "", ""},
    {4155, "smj", "smj", "Sami", "", ""},
    {5179, "smj", "smj", "Sami", "", ""},
    {6203, "sma", "sma", "Sami", "", ""},
    {7227, "sma", "sma", "Sami", "", ""},
    {8251, "sms", "sms", "Sami", "", ""},
    {9275, "smn", "smn", "Sami", "", ""},
    {1050, "sr", "scc", "serbian", "", ""},
    {2074, "sr", "scc", "serbian", "RS", "Latn"},
    {3098, "sr", "scc", "serbian", "RS", "Cyrl"},
    {1074, "tn", "afr", "afrikaans", "ZA", ""},
    {1115, "si", "sin", "sri lanka", "LK", ""},
    {1051, "sk", "slo", "slovak", "SK", ""},
    {1060, "sl", "slv", "slovenian", "SI", ""},
    {1034, "es", "spa", "spanish", "ES", "es"},
    {2058, "es", "spa", "spanish", "MX", "mx"},
    {3082, "es", "spa", "spanish", "", ""},
    {4106, "es", "spa", "spanish", "GT", "gt"},
    {5130, "es", "spa", "spanish", "CR", "cr"},
    {6154, "es", "spa", "spanish", "PA", "pa"},
    {7178, "es", "spa", "spanish", "DO", "do"},
    {8202, "es", "spa", "spanish", "VE", "ve"},
    {9226, "es", "spa", "spanish", "CO", "co"},
    {10250, "es", "spa", "spanish", "PE", "pe"},
    {11274, "es", "spa", "spanish", "AR", "ar"},
    {12298, "es", "spa", "spanish", "EC", "ec"},
    {13322, "es", "spa", "spanish", "CL", "cl"},
    {14346, "es", "spa", "spanish", "UY", "uy"},
    {15370, "es", "spa", "spanish", "PY", "py"},
    {16394, "es", "spa", "spanish", "BO", "bo"},
    {17418, "es", "spa", "spanish", "SV", "sv"},
    {18442, "es", "spa", "spanish", "HN", "hn"},
    {19466, "es", "spa", "spanish", "NI", "ni"},
    {20490, "es", "spa", "spanish", "PR", "pr"},
    {1053, "sv", "swe", "swedish", "SE", ""},
    {2077, "sv", "swe", "swedish", "FI", "fi"},
    {73, "ta", "tam", "indian", "", ""},
    {1054, "th", "tha", "thai", "TH", ""},
    {1055, "tr", "tur", "turkish", "TR", ""},
    {1058, "uk", "ukr", "ukrainian", "UA", ""},
    {1056, "ur", "urd", "pakistan", "PK", "pk"},
    {1066, "vi", "vie", "vietnamese", "VN", ""},
    {1106, "cy", "wel", "english", "GB", "gb"},
    {1076, "xh", "xho", "afrikaans", "ZA", ""},
    {1077, "zu", "zul", "afrikaans", "ZA", ""},
};

constexpr size_t kDialectCount = sizeof(kDialects) / sizeof(kDialects[0]);
static_assert(kDialectCount == 154);

struct CodePair {
  int32 key;
  int32 value;
};

const CodePair kMacLanguages[] = {
    {1, 1036},  {2, 1031},  {3, 1040},  {4, 1043},  {5, 1053},   {6, 3082},   {7, 1030},
    {8, 2070},  {9, 1044},  {10, 1037}, {11, 1041}, {12, 1025},  {13, 1035},  {14, 1032},
    {15, 1039}, {17, 1055}, {18, 1050}, {19, 1028}, {22, 1054},  {23, 1042},  {24, 1063},
    {25, 1045}, {26, 1038}, {28, 1062}, {30, 1080}, {31, 1065},  {32, 1049},  {33, 2052},
    {36, 1052}, {37, 1048}, {38, 1029}, {39, 1051}, {40, 1060},  {42, 2074},  {44, 1026},
    {45, 1058}, {46, 1059}, {80, 1066}, {81, 1057}, {129, 1069}, {130, 1027}, {141, 1078},
};

// Sorted by dialect code.
const CodePair kScriptCodes[] = {
    {1025, 5},  {1026, 8},  {1027, 0},  {1028, 2},  {1029, 9},  {1030, 0},  {1031, 0},  {1032, 7},
    {1033, 0},  {1034, 0},  {1035, 0},  {1036, 0},  {1037, 6},  {1038, 9},  {1039, 11}, {1040, 0},
    {1041, 1},  {1042, 4},  {1043, 0},  {1044, 0},  {1045, 9},  {1046, 0},  {1048, 13}, {1049, 8},
    {1050, 10}, {1051, 9},  {1052, 0},  {1053, 0},  {1054, 14}, {1055, 16}, {1057, 0},  {1058, 8},
    {1059, 8},  {1060, 10}, {1061, 9},  {1062, 9},  {1063, 9},  {1064, 8},  {1065, 12}, {1066, 15},
    {1068, 0},  {1069, 0},  {1070, 0},  {1071, 8},  {1078, 0},  {1080, 11}, {1083, 0},  {1086, 0},
    {1091, 9},  {1092, 8},  {1104, 8},  {1106, 0},  {1122, 0},  {1134, 0},  {2049, 5},  {2052, 3},
    {2055, 0},  {2057, 0},  {2058, 0},  {2060, 0},  {2064, 0},  {2066, 4},  {2067, 0},  {2068, 0},
    {2070, 0},  {2074, 9},  {2077, 0},  {2092, 8},  {2094, 0},  {2107, 0},  {2108, 0},  {2115, 8},
    {3073, 5},  {3076, 3},  {3079, 0},  {3081, 0},  {3082, 0},  {3084, 0},  {3098, 8},  {3131, 0},
    {4097, 5},  {4100, 2},  {4103, 0},  {4105, 0},  {4106, 0},  {4108, 0},  {4122, 10}, {4155, 0},
    {5121, 5},  {5127, 0},  {5129, 0},  {5130, 0},  {5132, 0},  {5146, 0},  {5179, 0},  {6145, 5},
    {6153, 0},  {6154, 0},  {6170, 9},  {6203, 0},  {7169, 5},  {7177, 0},  {7178, 0},  {7194, 8},
    {7227, 0},  {8193, 5},  {8201, 0},  {8202, 0},  {8251, 0},  {9217, 5},  {9225, 0},  {9226, 0},
    {9275, 0},  {10241, 5}, {10249, 0}, {10250, 0}, {11265, 5}, {11273, 0}, {11274, 0}, {12289, 5},
    {12298, 0}, {13313, 5}, {13322, 0}, {14337, 5}, {14346, 0}, {15361, 5}, {15370, 0}, {16385, 5},
    {16394, 0}, {17418, 0}, {18441, 0}, {18442, 0}, {19466, 0}, {20490, 0},
};

// The resolved system dialect; kDialectNotFound until first asked.
std::atomic<DialectCode> sSystemDialect{kDialectNotFound};

bool EqualNoCase(const char* a, const char* b) {
  for (; *a != 0 && *b != 0; ++a, ++b) {
    if (FoldASCII(uint8(*a)) != FoldASCII(uint8(*b))) return false;
  }
  return *a == *b;
}

bool EqualNoCase(const VString& a, const VString& b) {
  if (a.GetLength() != b.GetLength()) return false;
  for (int32 i = 0; i < a.GetLength(); ++i) {
    if (FoldASCII(a.GetCPointer()[i]) != FoldASCII(b.GetCPointer()[i])) return false;
  }
  return true;
}

const DialectRow* FindRow(DialectCode code) {
  for (const DialectRow& row : kDialects) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

// The default row of a language: its first row without a sub-tag.
const DialectRow* FindLanguageRow(const char* language) {
  for (const DialectRow& row : kDialects) {
    if (row.subTag[0] == 0 && EqualNoCase(row.iso6391, language)) return &row;
  }
  return nullptr;
}

bool SetColumn(DialectCode dialect, const char* DialectRow::*column, VString& out) {
  out.Clear();
  const DialectRow* row = FindRow(dialect);
  if (row != nullptr) out.FromCString(row->*column);
  return !out.IsEmpty();
}

// The parts of `text` between `separator`s, empty parts dropped.
std::vector<std::string> SplitASCII(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

DialectCode DialectOfPreferredLanguage(const std::string& tag) {
  DialectCode code = kDialectNotFound;
  if (tag.empty() ||
      !VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(VString(tag.c_str()), code, true, true))
    return kDialectEnglishUS;
  return code;
}

}  // namespace

DialectCode VIntlMgr::ResolveDialectCode(DialectCode dialect) {
  if (dialect != kDialectSystem && dialect != kDialectSystemAlt && dialect != kDialectNotFound)
    return dialect;
  DialectCode cached = sSystemDialect.load(std::memory_order_relaxed);
  if (cached != kDialectNotFound) return cached;
  cached = GetSystemUIDialectCode();
  sSystemDialect.store(cached, std::memory_order_relaxed);
  return cached;
}

bool VIntlMgr::IsDialectCode(DialectCode dialect) { return FindRow(dialect) != nullptr; }

bool VIntlMgr::IsRightToLeftDialect(DialectCode dialect) {
  switch (ResolveDialectCode(dialect) & kDialectPrimaryMask) {
    case 0x01:  // Arabic
    case 0x0D:  // Hebrew
    case 0x20:  // Urdu
    case 0x29:  // Persian
      return true;
    default:
      return false;
  }
}

const char* VIntlMgr::GetISO6391LanguageCode(DialectCode dialect) {
  const DialectRow* row = FindRow(dialect);
  return row != nullptr ? row->iso6391 : nullptr;
}

bool VIntlMgr::GetISO6391LanguageCode(DialectCode dialect, VString& out) {
  return SetColumn(dialect, &DialectRow::iso6391, out);
}

bool VIntlMgr::GetISO6392LanguageCode(DialectCode dialect, VString& out) {
  return SetColumn(dialect, &DialectRow::iso6392, out);
}

bool VIntlMgr::GetISOLanguageName(DialectCode dialect, VString& out) {
  return SetColumn(dialect, &DialectRow::name, out);
}

const char* VIntlMgr::GetISO3166RegionCode(DialectCode dialect) {
  const DialectRow* row = FindRow(dialect);
  return row != nullptr ? row->region : nullptr;
}

bool VIntlMgr::GetISO3166RegionCode(DialectCode dialect, VString& out) {
  return SetColumn(dialect, &DialectRow::region, out);
}

bool VIntlMgr::GetRFC3066BisSubTagRegionCode(DialectCode dialect, VString& out) {
  return SetColumn(dialect, &DialectRow::subTag, out);
}

bool VIntlMgr::GetBCP47LanguageCode(DialectCode dialect, VString& out) {
  out.Clear();
  const DialectRow* row = FindRow(dialect);
  if (row == nullptr) return false;
  out.FromCString(row->iso6391);
  if (row->region[0] != 0) {
    out.AppendUniChar(u'-');
    out.AppendCString(row->region);
  }
  return !out.IsEmpty();
}

bool VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(DialectCode dialect, VString& out,
                                                        char separator) {
  out.Clear();
  const DialectRow* row = FindRow(dialect);
  if (row == nullptr || row->iso6391[0] == 0) return false;
  out.FromCString(row->iso6391);
  if (row->subTag[0] != 0) {
    out.AppendUniChar(UniChar(uint8(separator)));
    out.AppendCString(row->subTag);
  }
  return true;
}

bool VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(const VString& tag, DialectCode& code,
                                                        bool fallBackToLanguage, bool primaryOnly) {
  code = kDialectNotFound;
  // Tags are ASCII; anything else can match no row.
  std::string text;
  text.reserve(size_t(tag.GetLength()));
  for (int32 i = 0; i < tag.GetLength(); ++i) {
    UniChar c = tag.GetCPointer()[i];
    if (c == 0 || c >= 128) return false;
    text.push_back(char(c));
  }
  std::vector<std::string> byDash = SplitASCII(text, '-');
  std::vector<std::string> byUnderscore = SplitASCII(text, '_');
  if (byDash.size() == 1 && byUnderscore.size() == 1) {
    const DialectRow* row = FindLanguageRow(byDash[0].c_str());
    if (row == nullptr) return false;
    code = primaryOnly ? DialectPrimary(row->code) : row->code;
    return true;
  }
  if (byDash.size() == 2)
    return GetDialectCodeWithRFC3066BisLanguageCode(byDash[0].c_str(), byDash[1].c_str(), code,
                                                    fallBackToLanguage, primaryOnly);
  if (byUnderscore.size() == 2)
    return GetDialectCodeWithRFC3066BisLanguageCode(
        byUnderscore[0].c_str(), byUnderscore[1].c_str(), code, fallBackToLanguage, primaryOnly);
  return false;
}

bool VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(const char* language, const char* region,
                                                        DialectCode& code, bool fallBackToLanguage,
                                                        bool primaryOnly) {
  code = kDialectNotFound;
  if (language == nullptr || language[0] == 0) return false;
  if (region != nullptr && region[0] != 0) {
    for (const DialectRow& row : kDialects) {
      if (EqualNoCase(row.iso6391, language) && row.subTag[0] != 0 &&
          EqualNoCase(row.subTag, region)) {
        code = row.code;
        return true;
      }
    }
  } else if (const DialectRow* row = FindLanguageRow(language)) {
    code = primaryOnly ? DialectPrimary(row->code) : row->code;
    return true;
  }
  if (fallBackToLanguage) {
    if (const DialectRow* row = FindLanguageRow(language)) {
      code = DialectPrimary(row->code);
      return true;
    }
  }
  return false;
}

bool VIntlMgr::GetDialectCodeWithISOLanguageName(const VString& name, DialectCode& code) {
  std::string text;
  for (int32 i = 0; i < name.GetLength(); ++i) {
    UniChar c = name.GetCPointer()[i];
    if (c == 0 || c >= 128) return false;
    text.push_back(char(c));
  }
  if (text.empty()) return false;
  // Without case on both sides: the table writes one name capitalised.
  for (const DialectRow& row : kDialects) {
    if (row.subTag[0] == 0 && EqualNoCase(row.name, text.c_str())) {
      code = (row.code & 0xFF) | kDialectDefaultSubLanguage;
      return true;
    }
  }
  return false;
}

int32 VIntlMgr::Compare2RFC3066LanguageCodes(const VString& a, const VString& b) {
  DialectCode code;
  if (!GetDialectCodeWithRFC3066BisLanguageCode(a, code, true, true) ||
      !GetDialectCodeWithRFC3066BisLanguageCode(b, code, true, true))
    return -1;
  if (EqualNoCase(a, b)) return 4;
  auto parts = [](const VString& tag) {
    std::string text;
    for (int32 i = 0; i < tag.GetLength(); ++i)
      text.push_back(char(FoldASCII(uint8(tag.GetCPointer()[i]))));
    return SplitASCII(text, '-');
  };
  std::vector<std::string> pa = parts(a);
  std::vector<std::string> pb = parts(b);
  bool sameLanguage = !pa.empty() && !pb.empty() && pa[0] == pb[0];
  if (pa.size() == 2 && pb.size() == 1) return sameLanguage ? 3 : 0;
  if (pa.size() == 1 && pb.size() == 2) return sameLanguage ? 2 : 0;
  if (pa.size() == 2 && pb.size() == 2) return sameLanguage ? 1 : 0;
  return 0;
}

DialectCode VIntlMgr::GetSystemUIDialectCode() {
  std::vector<std::string> languages = platform::GetPreferredLanguages();
  if (languages.empty()) return kDialectEnglishUS;
  return DialectOfPreferredLanguage(languages.front());
}

void VIntlMgr::GetSystemUIDialectCodes(std::vector<DialectCode>& codes) {
  codes.clear();
  for (const std::string& tag : platform::GetPreferredLanguages())
    codes.push_back(DialectOfPreferredLanguage(tag));
}

bool VIntlMgr::IsSystemUIDialectIdeographic() {
  switch (GetSystemUIDialectCode()) {
    case 1028:
    case 1041:
    case 1042:
    case 2052:
    case 2066:
    case 3076:
    case 4100:
      return true;
    default:
      return false;
  }
}

void VIntlMgr::GetAllDialects(std::vector<DialectCode>& codes) {
  for (const DialectRow& row : kDialects) codes.push_back(row.code);
}

void VIntlMgr::GetDialectsHavingCollator(std::vector<std::pair<VString, DialectCode>>& dialects) {
  for (const DialectRow& row : kDialects)
    dialects.emplace_back(VString(GetISO6391LanguageCode(row.code)), row.code);
}

bool VIntlMgr::GetLocalizedLanguageName(DialectCode, VString&) { return false; }

bool VIntlMgr::GetLocalizedLanguageNameFromBCP47(const VString&, VString&) { return false; }

DialectCode VIntlMgr::MAC_LanguageCodeToDialectCode(int32 macLanguage) {
  for (const CodePair& pair : kMacLanguages) {
    if (pair.key == macLanguage) return DialectCode(pair.value);
  }
  return kDialectEnglishUS;
}

int32 VIntlMgr::DialectCodeToScriptCode(DialectCode dialect) {
  const CodePair* first = std::begin(kScriptCodes);
  const CodePair* last = std::end(kScriptCodes);
  const CodePair* found =
      std::lower_bound(first, last, dialect,
                       [](const CodePair& p, DialectCode d) { return DialectCode(p.key) < d; });
  return (found != last && DialectCode(found->key) == dialect) ? found->value : -1;
}

void VIntlMgr::GetLocalizationFolderNames(DialectCode dialect, std::vector<VString>& names) {
  names.clear();
  VString dashTag;
  GetRFC3066BisLanguageCodeWithDialectCode(dialect, dashTag, '-');
  VString underscoreTag;
  GetRFC3066BisLanguageCodeWithDialectCode(dialect, underscoreTag, '_');
  VString language;
  GetISO6391LanguageCode(dialect, language);
  VString withRegion;
  VString region;
  if (GetISO3166RegionCode(dialect, region) && !language.IsEmpty()) {
    withRegion = language;
    withRegion.AppendUniChar(u'_');
    withRegion.AppendString(region);
  }
  VString name;
  if (GetISOLanguageName(dialect, name)) {
    UniChar first = name.GetUniChar(1);
    if (first >= 'a' && first <= 'z') name.SetUniChar(1, UniChar(first - 'a' + 'A'));
  }
  // Folder names match without case, so a candidate that equals an earlier
  // one that way would find the same folder again.
  for (const VString* candidate : {&dashTag, &underscoreTag, &language, &withRegion, &name}) {
    if (candidate->IsEmpty()) continue;
    bool seen = false;
    for (const VString& earlier : names) seen = seen || EqualNoCase(earlier, *candidate);
    if (!seen) names.push_back(*candidate);
  }
}

bool VIntlMgr::GetLocalizationFoldersWithDialect(DialectCode dialect, const VString& folder,
                                                 std::vector<VString>& found) {
  if (folder.IsEmpty()) return false;
  std::vector<VString> names;
  GetLocalizationFolderNames(dialect, names);
  std::vector<std::string> candidates;
  for (const VString& name : names) candidates.push_back(to_string(name) + ".lproj");
  for (const std::string& path : platform::FindSubFoldersNamed(to_string(folder), candidates))
    found.emplace_back(VString(path.c_str()));
  return !found.empty();
}

bool VIntlMgr::GetLocalizationFilePath(const VString& folder, const VString& fileName,
                                       DialectCode dialect, VString& path) {
  path.Clear();
  std::vector<VString> folders;
  if (fileName.IsEmpty() || !GetLocalizationFoldersWithDialect(dialect, folder, folders))
    return false;
  for (const VString& candidate : folders) {
    std::string file = to_string(candidate) + "/" + to_string(fileName);
    if (platform::IsRegularFile(file)) {
      path.FromCString(file.c_str());
      return true;
    }
  }
  return false;
}

}  // namespace zeft
