#include "json/VJSONImporter.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/CLocale.h"
#include "core/VBoolean.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "json/JSONStackCheck.h"
#include "json/VJSONArray.h"
#include "json/VJSONBinaryImporter.h"
#include "json/VJSONObject.h"
#include "json/VStorageLocker.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorThrow.h"
#include "values/VTime.h"
#include "values/VValueBag.h"

namespace zeft {

const VString VJSONImporter::sNameOfThePropertyWithPathsAndLines("__symbols");
const VString VJSONImporter::sBinaryObjectPropertyName("__PRIVATE_BINARY_OBJECT");

namespace {

// Equality of two runs of `length` units, in 8-byte steps: most words are
// short, where a library call costs more than the comparison.
bool SameUnits(const UniChar* a, const UniChar* b, int32 length) {
  if (length < 4) {
    for (int32 i = 0; i < length; ++i) {
      if (a[i] != b[i]) return false;
    }
    return true;
  }
  uint64 x, y;
  for (int32 at = 0; at + 4 < length; at += 4) {
    std::memcpy(&x, a + at, sizeof x);
    std::memcpy(&y, b + at, sizeof y);
    if (x != y) return false;
  }
  // The last four units, overlapping the ones before.
  std::memcpy(&x, a + length - 4, sizeof x);
  std::memcpy(&y, b + length - 4, sizeof y);
  return x == y;
}

constexpr char kExpectedValue[] = "\" 0-9 null true false { [";
constexpr char kExpectedValueOrEnd[] = "\" 0-9 null true false { [ ]";
constexpr char kExpectedKeyOrEnd[] = "\" }";
constexpr char kExpectedKey[] = "\"";
constexpr char kExpectedColon[] = ":";
constexpr char kExpectedObjectNext[] = "} ,";
constexpr char kExpectedArrayNext[] = "] ,";
constexpr char kExpectedObjectStart[] = "{";
constexpr char kExpectedNumber[] = "+- 0-9 eE";

constexpr UniChar kMinusSign = 0x2212;

// Quoted values up to this length go through the parse's text cache, so
// that repeated ones share a block.
constexpr int32 kSharedTextLength = 32;

const VString kLineKey("line");
const VString kOffsetKey("offset");
const VString kClosingPath("}");

const char* TokenText(VJSONImporter::JsonToken token) {
  switch (token) {
    case VJSONImporter::jsonBeginObject:
      return "{";
    case VJSONImporter::jsonEndObject:
      return "}";
    case VJSONImporter::jsonBeginArray:
      return "[";
    case VJSONImporter::jsonEndArray:
      return "]";
    case VJSONImporter::jsonSeparator:
      return ",";
    case VJSONImporter::jsonAssigne:
      return ":";
    case VJSONImporter::jsonString:
      return "\"";
    case VJSONImporter::jsonBang:
      return "!";
    default:
      return "";
  }
}

bool IsDigit(UniChar c) { return c >= u'0' && c <= u'9'; }

int HexDigit(UniChar c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// The unit a one-letter escape (\b \f \n \r \t) stands for; -1 for any
// other letter.
int OneLetterEscape(UniChar letter) {
  switch (letter) {
    case u'b':
      return 0x08;
    case u'f':
      return 0x0C;
    case u'n':
      return 0x0A;
    case u'r':
      return 0x0D;
    case u't':
      return 0x09;
    default:
      return -1;
  }
}

bool IsCalendarDate(const VTime& time) {
  if (time.IsNull()) return false;
  int16 year, month, day, hour, minute, second, millisecond;
  time.GetUTCTime(year, month, day, hour, minute, second, millisecond);
  // RFC 3339 years have four digits.
  return year >= 1 && year <= 9999 && month >= 1 && day >= 1;
}

// The value that the Base64 text of a binary-form carrier stands for.
VError DecodeBinaryForm(const VString& base64, VJSONValue& value) {
  VMemoryBuffer<> bytes;
  base64.DecodeBase64(bytes, false);
  VJSONBinaryImporter importer(bytes.GetDataPtr(), bytes.GetDataSize());
  return importer.GetValue(value);
}

// Whether any of the four units packed in `word` is a quote, a backslash
// or a control unit (NUL and the line breaks among them): the units that a
// quoted text's scan must stop at.
bool HasSpecialUnit(uint64 word) {
  constexpr uint64 kOnes = 0x0001000100010001ull;
  constexpr uint64 kHighBits = 0x8000800080008000ull;
  auto hasZero = [](uint64 x) { return ((x - kOnes) & ~x & kHighBits) != 0; };
  const bool control = ((word - kOnes * 0x20) & ~word & kHighBits) != 0;
  return control || hasZero(word ^ (kOnes * u'"')) || hasZero(word ^ (kOnes * u'\\'));
}

// The first unit from `p` that is a quote, a backslash or a control unit,
// or `end`.
const UniChar* SkipPlainUnits(const UniChar* p, const UniChar* end) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi16(u'"');
  const __m128i backslash = _mm_set1_epi16(u'\\');
  const __m128i zero = _mm_setzero_si128();
  for (; end - p >= 8; p += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Control units are those whose value shifted right by 5 is zero.
    const __m128i stops =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, quote), _mm_cmpeq_epi16(units, backslash)),
                     _mm_cmpeq_epi16(_mm_srli_epi16(units, 5), zero));
    const int mask = _mm_movemask_epi8(stops);
    if (mask != 0) return p + __builtin_ctz(unsigned(mask)) / 2;
  }
#endif
  for (; end - p >= 4; p += 4) {
    uint64 word;
    std::memcpy(&word, p, sizeof word);
    if (HasSpecialUnit(word)) break;
  }
  while (p < end && *p >= 0x20 && *p != u'"' && *p != u'\\') ++p;
  return p;
}

// Whether the four units packed in `word` are all ASCII digits.
bool AreFourDigits(uint64 word) {
  constexpr uint64 kZeros = 0x0030003000300030ull;
  constexpr uint64 kAboveNine = 0x7FF67FF67FF67FF6ull;  // a lane above 9 reaches 0x8000
  const uint64 values = word - kZeros;
  return ((values | (values + kAboveNine)) & 0x8000800080008000ull) == 0;
}

// The same for four bytes.
bool AreFourDigits(uint32 word) {
  constexpr uint32 kZeros = 0x30303030u;
  constexpr uint32 kAboveNine = 0x76767676u;  // a lane above 9 reaches 0x80
  const uint32 values = word - kZeros;
  return ((values | (values + kAboveNine)) & 0x80808080u) == 0;
}

// The four units from `p` packed in one word, for AreFourDigits.
inline uint64 FourUnits(const UniChar* p) {
  uint64 word;
  std::memcpy(&word, p, sizeof word);
  return word;
}
inline uint32 FourUnits(const uint8* p) {
  uint32 word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The minus sign U+2212 only exists as a unit of UTF-16 text; the UTF-8
// reading leaves its bytes to the UTF-16 one.
inline bool IsMinusSign(UniChar c) { return c == kMinusSign; }
inline bool IsMinusSign(uint8) { return false; }

// The ASCII units that end a bare word: blanks and controls, and the
// punctuation of the grammar.
constexpr auto kEndsBareWord = [] {
  std::array<bool, 128> ends{};
  for (int c = 0; c <= 0x20; ++c) ends[size_t(c)] = true;
  for (const char c : {'"', ',', ':', '[', ']', '{', '}'}) ends[size_t(c)] = true;
  return ends;
}();

bool EndsBareWord(UniChar c) { return c < 128 && kEndsBareWord[c]; }

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// GCC's 128-bit integers, for exact decimal scaling.
using uint128 = unsigned __int128;

// Exact integer powers of ten up to 10^19, the largest below 2^64.
constexpr auto kPowersOfTen = [] {
  std::array<uint64, 20> powers{};
  uint64 power = 1;
  for (uint64& p : powers) {
    p = power;
    power *= 10;
  }
  return powers;
}();

// The double nearest to value * 2^scale (ties to even), where `value` is
// exact when `inexact` is false and else lies strictly between value and
// value + 1. The result must be a normal double.
double RoundToDouble(uint128 value, bool inexact, int32 scale) {
  const uint64 high = uint64(value >> 64);
  const int32 bits =
      high != 0 ? 128 - std::countl_zero(high) : 64 - std::countl_zero(uint64(value));
  if (bits <= 53) return std::ldexp(double(uint64(value)), scale);  // `inexact` is then false
  const int32 shift = bits - 53;
  uint64 mantissa = uint64(value >> shift);
  const uint128 rest = value & ((uint128(1) << shift) - 1);
  const uint128 half = uint128(1) << (shift - 1);
  if (rest > half || (rest == half && (inexact || (mantissa & 1) != 0))) ++mantissa;
  return std::ldexp(double(mantissa), scale + shift);
}

// digits * 10^exponent correctly rounded, for |exponent| from 1 to 19, with
// 128-bit integer arithmetic: the product is exact, the quotient is taken to
// at least 63 bits with its remainder deciding the rounding.
double ScaleExactly(uint64 digits, int32 exponent) {
  if (exponent > 0) return RoundToDouble(uint128(digits) * kPowersOfTen[exponent], false, 0);
  const int32 shift = 63 + std::countl_zero(digits);
  const uint128 numerator = uint128(digits) << shift;
  const uint64 divisor = kPowersOfTen[-exponent];
  const uint128 quotient = numerator / divisor;
  return RoundToDouble(quotient, numerator % divisor != 0, -shift);
}

// Reads a number of the grammar from `p` and returns where it ends, or null
// where the grammar fails. `exact` tells whether `out` holds its value: a
// number of at most 19 significant digits with either no decimal exponent
// (one correctly rounded conversion of the integer), digits worth at most
// 2^53 and a decimal exponent within +-22 (one correctly rounded product or
// quotient of two exact doubles), or a decimal exponent within +-19 (exact
// 128-bit arithmetic). Other numbers are left to WordToDouble.
template <class Unit>
const Unit* ScanNumber(const Unit* p, const Unit* end, double& out, bool& exact) {
  const bool negative = p < end && *p == u'-';
  if (negative) ++p;
  if (p == end || !IsDigit(*p)) return nullptr;
  uint64 digits = 0;
  int32 significant = 0;
  int32 exponent = 0;
  exact = true;
  // Takes a run of digits, each adding `scale` to the exponent (leading
  // zeros are skipped before); past 19 digits the rest is only skipped.
  auto takeDigits = [&](int32 scale) {
    while (end - p >= 4 && AreFourDigits(FourUnits(p))) {
      if ((significant += 4) > 19) exact = false;
      digits = digits * 10000 + uint64((p[0] - u'0') * 1000 + (p[1] - u'0') * 100 +
                                       (p[2] - u'0') * 10 + (p[3] - u'0'));
      exponent += 4 * scale;
      p += 4;
    }
    for (; p < end && IsDigit(*p); ++p) {
      if (++significant > 19) exact = false;
      digits = digits * 10 + uint64(*p - u'0');
      exponent += scale;
    }
  };
  if (*p == u'0') {
    ++p;
  } else {
    takeDigits(0);
  }
  if (p < end && *p == u'.') {
    ++p;
    if (p == end || !IsDigit(*p)) return nullptr;
    if (digits == 0) {
      // Zeros before the first significant digit.
      for (; p < end && *p == u'0'; ++p) --exponent;
    }
    takeDigits(-1);
  }
  if (p < end && (*p == u'e' || *p == u'E')) {
    ++p;
    bool minus = false;
    if (p < end && (*p == u'+' || *p == u'-' || IsMinusSign(*p))) minus = *p++ != u'+';
    if (p == end || !IsDigit(*p)) return nullptr;
    int32 written = 0;
    for (; p < end && IsDigit(*p); ++p) {
      if (written > 1000) {
        exact = false;
      } else {
        written = written * 10 + int32(*p - u'0');
      }
    }
    exponent += minus ? -written : written;
  }
  if (!exact) return p;
  double value;
  if (digits == 0 || exponent == 0) {
    value = double(digits);
  } else if (digits <= (uint64(1) << 53) && exponent >= -22 && exponent <= 22) {
    value = exponent < 0 ? double(digits) / kExactPowersOfTen[-exponent]
                         : double(digits) * kExactPowersOfTen[exponent];
  } else if (exponent >= -19 && exponent <= 19) {
    value = ScaleExactly(digits, exponent);
  } else {
    exact = false;
    return p;
  }
  out = negative ? -value : value;
  return p;
}

// The number text of a word that passed the grammar, in the C locale; the
// minus sign U+2212 reads as '-'.
template <class Unit>
double WordToDouble(const Unit* units, int32 length) {
  char buffer[128];
  std::string large;
  char* text = buffer;
  if (length >= int32(sizeof(buffer))) {
    large.resize(size_t(length) + 1);
    text = large.data();
  }
  for (int32 i = 0; i < length; ++i) text[i] = IsMinusSign(units[i]) ? '-' : char(units[i]);
  text[length] = 0;
  if (length == 1 && text[0] == '-') return 0;  // a lone minus reads as 0
  double value = 0;
  const auto result = std::from_chars(text, text + length, value);
  if (result.ec == std::errc()) return value;
  // Out of range: the C library gives the infinities (and 0 for tiny values).
  return strtod_l(text, nullptr, GetCLocale());
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

VJSONImporter::VJSONImporter(const VString& text, uint32 options)
    : fText(text),
      fOptions(options),
      fLength(fText.GetLength()),
      fCurrent(fText.GetCPointer()),
      fStart(fText.GetCPointer()),
      fTokenStart(fText.GetCPointer()),
      fLineStart(fText.GetCPointer()),
      fNonAmbiguousDates((options & kNonAmbiguousDates) != 0) {
  if ((options & kRecordPaths) != 0) fPaths = new VJSONObject();
}

VJSONImporter::~VJSONImporter() {
  if (fPaths != nullptr) fPaths->Release();
  if (fLocker != nullptr) fLocker->Release();
}

VError VJSONImporter::ParseString(const VString& text, VJSONValue& value, uint32 options) {
  VJSONImporter importer(text, options);
  return importer.Parse(value);
}

VError VJSONImporter::Parse(VJSONValue& value) {
  const VError error = _ParseValue(value);
  if (fPaths != nullptr && value.IsObject()) {
    const int32 last = int32(fCurrent - fLineStart) - 1;
    VJSONValue entry(JSON_object);
    entry.GetObject()->SetProperty(kLineKey, VJSONValue(double(fLine)));
    entry.GetObject()->SetProperty(kOffsetKey, VJSONValue(double(last < 0 ? 0 : last)));
    fPaths->SetProperty(kClosingPath, entry);
  }
  return error;
}

// ---------------------------------------------------------------------------
// Tokenizer

void VJSONImporter::_CountLine(const UniChar* at) {
  const UniChar* end = fStart + fLength;
  if (*at == u'\n' || (*at == u'\r' && (at + 1 >= end || at[1] != u'\n'))) {
    ++fLine;
    fLineStart = at + 1;
  }
}

UniChar VJSONImporter::_GetNextChar(bool& end) {
  if (fCurrent >= fStart + fLength) {
    end = true;
    return 0;
  }
  end = false;
  _CountLine(fCurrent);
  return *fCurrent++;
}

void VJSONImporter::_SkipSeparators() {
  const UniChar* end = fStart + fLength;
  // The space after a colon, alone.
  if (end - fCurrent >= 2 && *fCurrent == u' ' && fCurrent[1] > 0x20) {
    ++fCurrent;
    return;
  }
#if defined(__SSE2__)
  // Pretty-printed text puts a line break and a run of blanks before most
  // tokens: eight units are looked at in one step, and only the line
  // breaks among the blanks are looked at alone.
  const __m128i lastBlank = _mm_set1_epi16(0x20);
  const __m128i lineFeed = _mm_set1_epi16(u'\n');
  const __m128i carriageReturn = _mm_set1_epi16(u'\r');
  const __m128i zero = _mm_setzero_si128();
  while (end - fCurrent >= 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fCurrent));
    const uint32 blanks =
        uint32(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_subs_epu16(units, lastBlank), zero)));
    // Two mask bits a unit; the blanks before the first other unit.
    const int leading = std::countr_one(blanks);
    const uint32 run = leading >= 16 ? 0xFFFF : (1u << leading) - 1;
    uint32 breaks =
        uint32(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(units, lineFeed),
                                              _mm_cmpeq_epi16(units, carriageReturn)))) &
        run;
    for (; breaks != 0; breaks &= breaks - 1) {
      _CountLine(fCurrent + std::countr_zero(breaks) / 2);
      breaks &= breaks - 1;  // the unit's second bit
    }
    if (run != 0xFFFF) {
      fCurrent += leading / 2;
      return;
    }
    fCurrent += 8;
  }
#endif
  while (fCurrent < end && *fCurrent <= 0x20) {
    if (*fCurrent == u'\n' || *fCurrent == u'\r') _CountLine(fCurrent);
    ++fCurrent;
  }
}

bool VJSONImporter::_ReadQuoted(VError* error) {
  const UniChar* end = fStart + fLength;
  const UniChar* p = fCurrent;
  for (;;) {
    p = SkipPlainUnits(p, end);
    if (p == end || *p == u'"' || *p == u'\\' || *p == 0) break;
    if (*p == u'\n' || *p == u'\r') _CountLine(p);
    ++p;
  }
  if (p < end && *p == u'"') {
    // No escape: the word stays in the text.
    _SetWord(fCurrent, p);
    fCurrent = p + 1;
    return true;
  }
  std::u16string& text = fDecoded;
  text.assign(fCurrent, p);
  bool terminated = false;
  while (p < end) {
    const UniChar* plain = SkipPlainUnits(p, end);
    text.append(p, plain);
    p = plain;
    if (p == end) break;
    const UniChar c = *p++;
    if (c == u'"') {
      terminated = true;
      break;
    }
    if (c == 0) continue;
    if (c != u'\\') {
      if (c == u'\n' || c == u'\r') _CountLine(p - 1);
      text.push_back(c);
      continue;
    }
    if (p >= end) break;  // a backslash ends the text: unterminated
    const UniChar e = *p++;
    if (const int unit = OneLetterEscape(e); unit >= 0) {
      text.push_back(UniChar(unit));
    } else if (e == u'u') {
      if (end - p < 4) {
        p = end;
        continue;
      }
      uint32 unit = 0;
      for (int k = 0; k < 4; ++k) {
        const int digit = HexDigit(p[k]);
        if (digit >= 0) unit = (unit << 4) | uint32(digit);
      }
      p += 4;
      if (unit != 0) text.push_back(UniChar(unit));
    } else {
      if (e == u'\n' || e == u'\r') _CountLine(p - 1);
      if (e != 0) text.push_back(e);
    }
  }
  fCurrent = p;
  _SetWord(text.data(), text.data() + text.size());
  if (terminated || (fOptions & kStrict) == 0) return true;
  const VError failure = _Malformed(json_error::kUnterminatedString, "token", VString("\""));
  if (error != nullptr) *error = failure;
  return false;
}

VJSONImporter::JsonToken VJSONImporter::GetNextJSONToken(VString& word, bool* quoted,
                                                         VError* error) {
  const JsonToken token = _NextToken(quoted, error);
  if (fWordUnits != nullptr) {
    word.FromUniString(fWordUnits, fWordLength);
  } else {
    word.Clear();
  }
  return token;
}

VJSONImporter::JsonToken VJSONImporter::_NextToken(bool* quoted, VError* error) {
  fWordUnits = nullptr;
  fWordLength = 0;
  fWordIsNumber = false;
  if (quoted != nullptr) *quoted = false;
  fTokenStart = fCurrent;
  const UniChar* end = fStart + fLength;
  if (fCurrent < end && *fCurrent <= 0x20) _SkipSeparators();
  if (fCurrent >= end) return jsonNone;
  switch (*fCurrent) {
    case u'{':
      ++fCurrent;
      return jsonBeginObject;
    case u'}':
      ++fCurrent;
      return jsonEndObject;
    case u'[':
      ++fCurrent;
      return jsonBeginArray;
    case u']':
      ++fCurrent;
      return jsonEndArray;
    case u',':
      ++fCurrent;
      return jsonSeparator;
    case u':':
      ++fCurrent;
      return jsonAssigne;
    case u'"':
      ++fCurrent;
      if (quoted != nullptr) *quoted = true;
      return _ReadQuoted(error) ? jsonString : jsonNone;
    default:
      break;
  }
  const UniChar* begin = fCurrent;
  if (*begin == u'-' || IsDigit(*begin)) {
    // Most numbers are read in the same pass that finds their end.
    if (const UniChar* stop = ScanNumber(begin, end, fWordNumber, fWordNumberExact)) {
      fCurrent = stop;
      fWordIsNumber = stop == end || EndsBareWord(*stop);
    }
  }
  while (fCurrent < end && !EndsBareWord(*fCurrent)) ++fCurrent;
  _SetWord(begin, fCurrent);
  if (fCurrent < end && *fCurrent <= 0x20) {
    bool atEnd = false;
    _GetNextChar(atEnd);  // the blank that ends a word is consumed
  }
  return jsonString;
}

VJSONImporter::JsonToken VJSONImporter::GetNextJSONToken(VError* error) {
  return _NextToken(nullptr, error);
}

bool VJSONImporter::_ParseNumber(const UniChar* text) {
  return _IsNumber(text, text + std::char_traits<UniChar>::length(text));
}

bool VJSONImporter::_IsNumber(const UniChar* text, const UniChar* end) {
  const UniChar* p = text;
  auto at = [&](UniChar c) { return p < end && *p == c; };
  auto digit = [&] { return p < end && IsDigit(*p); };
  if (at(u'-') || at(kMinusSign)) ++p;
  if (at(u'0')) {
    ++p;
  } else if (digit()) {
    while (digit()) ++p;
  } else {
    return p == end && p != text;  // a lone sign
  }
  if (at(u'.')) {
    ++p;
    if (!digit()) return false;
    while (digit()) ++p;
  }
  if (at(u'e') || at(u'E')) {
    ++p;
    if (at(u'+') || at(u'-') || at(kMinusSign)) ++p;
    if (!digit()) return false;
    while (digit()) ++p;
  }
  return p == end;
}

// ---------------------------------------------------------------------------
// Errors

VError VJSONImporter::_ThrowMalformed() {
  const VError code = ToolboxError(json_error::kMalformed);
  // Line and position are counted afresh up to the token, past its blanks.
  const UniChar* end = fStart + fLength;
  const UniChar* token = fTokenStart;
  while (token < end && *token <= 0x20) ++token;
  int32 feeds = 0, returns = 0;
  const UniChar* lineStart = fStart;
  for (const UniChar* p = fStart; p < token; ++p) {
    if (*p == u'\n') {
      ++feeds;
      lineStart = p + 1;
    } else if (*p == u'\r') {
      ++returns;
      lineStart = p + 1;
    }
  }
  auto* record = new VErrorBase(code);
  VString source;
  if (!fSourceName.IsEmpty()) {
    source = fSourceName;
    source.AppendCString(", ");
  }
  record->GetBag()->SetString(StPackedDictionaryKey("source"), source);
  record->GetBag()->SetLong(StPackedDictionaryKey("line"), std::max(feeds, returns) + 1);
  record->GetBag()->SetLong(StPackedDictionaryKey("position"), int32(token - lineStart) + 1);
  _PushRetainedError(record);
  return code;
}

VError VJSONImporter::_Malformed(int32 detail, const char* key, const VString& value) {
  auto* record = new VErrorBase(ToolboxError(detail));
  record->GetBag()->SetString(StPackedDictionaryKey(key, std::strlen(key)), value);
  _PushRetainedError(record);
  return _ThrowMalformed();
}

VError VJSONImporter::_InvalidToken(const VString& found, const char* expected) {
  if ((fOptions & kSilentInvalidToken) != 0) return ToolboxError(json_error::kMalformed);
  const bool empty = found.IsNull() || found.IsEmpty();
  auto* record =
      new VErrorBase(ToolboxError(empty ? json_error::kEmptyToken : json_error::kInvalidToken));
  record->GetBag()->SetString(StPackedDictionaryKey("found"), found);
  record->GetBag()->SetString(StPackedDictionaryKey("expected"), VString(expected));
  _PushRetainedError(record);
  return _ThrowMalformed();
}

// ---------------------------------------------------------------------------
// Values

void VJSONImporter::_ShareIfAsked(VJSONValue& value) {
  if ((fOptions & kShared) == 0) return;
  if (fLocker == nullptr) {
    fLocker = new VStorageLocker();
    fLocker->SetFresh(false);
  }
  if (VJSONObject* object = value.GetObject()) object->_SetStorageLocker(fLocker);
  if (VJSONArray* array = value.GetArray()) array->_SetStorageLocker(fLocker);
}

int32 VJSONImporter::_ColumnOf(int32 offset) const {
  const int32 column = int32(fCurrent - fLineStart) - offset;
  return column < 0 ? 0 : column;
}

void VJSONImporter::_RecordPath(int32 column) {
  VJSONValue entry(JSON_object);
  entry.GetObject()->SetProperty(kLineKey, VJSONValue(double(fLine)));
  entry.GetObject()->SetProperty(kOffsetKey, VJSONValue(double(column)));
  fPaths->SetProperty(fCurrentPath, entry);
}

VError VJSONImporter::_ParseValue(VJSONValue& value) {
  bool quoted = false;
  VError error = VE_OK;
  const JsonToken token = _NextToken(&quoted, &error);
  if (error != VE_OK) {
    value.SetUndefined();
    return error;
  }
  if (token == jsonString) {
    error = _StringToValue(quoted, value, kExpectedValue);
  } else {
    error = _ParseValueFromToken(token, value, kExpectedValue);
  }
  if (error != VE_OK && (fOptions & kUndefinedOnFailure) != 0) value.SetUndefined();
  return error;
}

VError VJSONImporter::_ParseValueFromToken(JsonToken token, VJSONValue& value,
                                           const char* expected) {
  if (token == jsonBeginObject || token == jsonBeginArray) {
    if (!JSONHasStackRoom()) {
      value.SetUndefined();
      return ToolboxError(toolbox_error::kBufferTooLong);
    }
    return token == jsonBeginObject ? _ParseObject(value) : _ParseArray(value);
  }
  value.SetUndefined();
  return _InvalidToken(VString(TokenText(token)), expected);
}

VError VJSONImporter::_ParseObject(VJSONValue& value) {
  VError error = VE_OK;
  bool quoted = false;
  bool carriesBinaryForm = false;  // a binary-form carrier names its property
  // The members wait on the importer's stack, so that the object gets them
  // in one block of the right size.
  const size_t first = fMembers.size();
  for (;;) {
    JsonToken token = _NextToken(&quoted, &error);
    if (error != VE_OK) break;
    const bool empty = fMembers.size() == first;
    if (token == jsonEndObject) {
      if (!empty) error = _Malformed(json_error::kExtraComma, "token", VString("}"));
      break;
    }
    if (token != jsonString) {
      error = _InvalidToken(VString(TokenText(token)), empty ? kExpectedKeyOrEnd : kExpectedKey);
      break;
    }
    SharedWord& shared = _SharedWord();
    const VString& key = shared.fText;  // until the next word is read
    if (key.EqualToStringRaw(sBinaryObjectPropertyName)) carriesBinaryForm = true;
    if (!quoted && (fOptions & kStrict) != 0) {
      error = _InvalidToken(key, kExpectedKey);
      break;
    }
    // The path of the enclosing value is what stays after the member's.
    int32 savedPath = 0;
    if (fPaths != nullptr) {
      savedPath = fCurrentPath.GetLength();
      if (!fCurrentPath.IsEmpty() && !key.IsEmpty() && key.GetUniChar(1) != u'[') {
        fCurrentPath.AppendUniChar(u'.');
      }
      fCurrentPath.AppendString(key);
      _RecordPath(_ColumnOf(key.GetLength() + 2));
    }
    VJSONPropertyMap::NewEntry member(shared.GetHash());
    member.fName.fString = shared.TakeCount(&member.fName.fLength, &member.fName.fMaxLength);
    token = _NextToken(nullptr, &error);
    if (error != VE_OK) break;
    if (token != jsonAssigne) {
      const UniChar* at = fTokenStart;
      while (at < fStart + fLength && *at <= 0x20) ++at;
      error = _InvalidToken(at < fStart + fLength ? VString(*at) : VString(), kExpectedColon);
      break;
    }
    error = _ParseValue(member.fValue);
    if (error != VE_OK) break;
    fMembers.push_back(std::move(member));
    if (fPaths != nullptr) fCurrentPath.Truncate(savedPath);
    token = _NextToken(nullptr, &error);
    if (error != VE_OK) break;
    if (token == jsonEndObject) break;
    if (token != jsonSeparator) {
      error = _InvalidToken(VString(TokenText(token)), kExpectedObjectNext);
      break;
    }
  }
  // The object is made once its members are known, with room for them.
  VJSONValue result;
  result._AdoptObject(VJSONObject::_NewWithRoom(fMembers.size() - first));
  result.GetObject()->_TakeTreeMembers(fMembers, first);
  if (error == VE_OK && carriesBinaryForm) error = _DecodeBinaryObject(result);
  value = std::move(result);
  _ShareIfAsked(value);
  return error;
}

VError VJSONImporter::_DecodeBinaryObject(VJSONValue& value) {
  const VJSONValue carried = value.GetObject()->GetProperty(sBinaryObjectPropertyName);
  if (!carried.IsString()) return VE_OK;
  VJSONValue decoded;
  const VError error = DecodeBinaryForm(VString(carried.GetInlineString(), true), decoded);
  if (error == VE_OK) value = std::move(decoded);
  return error;
}

VError VJSONImporter::_ParseArray(VJSONValue& value) {
  VError error = VE_OK;
  bool quoted = false;
  // The elements wait on the importer's stack, so that the array gets them
  // in one block of the right size.
  const size_t first = fElements.size();
  size_t index = 0;
  for (;;) {
    int32 savedPath = 0;
    if (fPaths != nullptr) {
      savedPath = fCurrentPath.GetLength();
      fCurrentPath.AppendUniChar(u'[');
      fCurrentPath.AppendLong8(int64(index));
      fCurrentPath.AppendUniChar(u']');
    }
    ++index;
    const JsonToken token = _NextToken(&quoted, &error);
    if (error != VE_OK) break;
    if (fPaths != nullptr && (token == jsonBeginObject || token == jsonBeginArray)) {
      _RecordPath(_ColumnOf(1));
    } else if (fPaths != nullptr && token == jsonString) {
      const bool afterQuote = fCurrent > fStart && fCurrent[-1] == u'"';
      _RecordPath(_ColumnOf(fWordLength + (afterQuote ? 2 : 0)));
    }
    const bool none = fElements.size() == first;
    if (token == jsonEndArray) {
      if (!none) error = _Malformed(json_error::kExtraComma, "token", VString("]"));
      break;
    }
    VJSONValue element;
    if (token == jsonString) {
      error = _StringToValue(quoted, element, kExpectedValueOrEnd);
    } else if (token == jsonBeginObject || token == jsonBeginArray) {
      error = _ParseValueFromToken(token, element, kExpectedValueOrEnd);
    } else {
      error = _InvalidToken(VString(TokenText(token)), none ? kExpectedValueOrEnd : kExpectedValue);
    }
    if (error != VE_OK) break;
    fElements.push_back(std::move(element));
    if (fPaths != nullptr) fCurrentPath.Truncate(savedPath);
    const JsonToken next = _NextToken(nullptr, &error);
    if (error != VE_OK) break;
    if (next == jsonEndArray) break;
    if (next != jsonSeparator) {
      const UniChar* at = fTokenStart;
      while (at < fStart + fLength && *at <= 0x20) ++at;
      error = _InvalidToken(at < fStart + fLength ? VString(*at) : VString(), kExpectedArrayNext);
      break;
    }
  }
  // The array is made once its elements are known, with room for them.
  VJSONValue result;
  result._AdoptArray(VJSONArray::_NewWithRoom(fElements.size() - first));
  result.GetArray()->_TakeTreeElements(fElements, first);
  value = std::move(result);
  _ShareIfAsked(value);
  return error;
}

VError VJSONImporter::_StringToValue(bool quoted, VJSONValue& value, const char* expected) {
  const UniChar* units = fWordUnits;
  const int32 length = fWordLength;
  if (quoted) {
    if ((fOptions & (kMarkedDates | kISODates)) != 0 && _StringToDate(value)) return VE_OK;
    if (length <= kSharedTextLength) {
      int32 capacity = 0, shared = 0;
      UniChar* block = _SharedWord().TakeCount(&shared, &capacity);
      value._AdoptString(block, shared, capacity);
    } else {
      value._AdoptString(VString::NewSharedBuffer(units, length), length, length);
    }
    return VE_OK;
  }
  if (length == 4 && units[0] == u't' && units[1] == u'r' && units[2] == u'u' && units[3] == u'e') {
    value.SetBool(true);
    return VE_OK;
  }
  if (length == 5 && units[0] == u'f' && units[1] == u'a' && units[2] == u'l' && units[3] == u's' &&
      units[4] == u'e') {
    value.SetBool(false);
    return VE_OK;
  }
  if (length == 4 && units[0] == u'n' && units[1] == u'u' && units[2] == u'l' && units[3] == u'l') {
    value.SetNull();
    return VE_OK;
  }
  if (length > 0 && (units[0] == u'-' || IsDigit(units[0]))) {
    if (fWordIsNumber) {
      value.SetNumber(fWordNumberExact ? fWordNumber : WordToDouble(units, length));
      return VE_OK;
    }
    if (!_IsNumber(units, units + length)) {
      value.SetUndefined();
      return _InvalidToken(_Word(), kExpectedNumber);
    }
    value.SetNumber(WordToDouble(units, length));
    return VE_OK;
  }
  if ((fOptions & kStrict) != 0) {
    value.SetUndefined();
    return _InvalidToken(_Word(), expected);
  }
  value.SetString(_Word());
  return VE_OK;
}

bool VJSONImporter::_StringToDate(VJSONValue& value) const {
  const VString word = _Word();
  VTime time;
  bool converted = false;
  const int32 length = word.GetLength();
  const UniChar* units = word.GetCPointer();
  if ((fOptions & kMarkedDates) != 0) {
    if (fNonAmbiguousDates) {
      if (word.IsNonAmbigousDate()) {
        time.FromXMLString(word);
        converted = true;
      }
    } else if (length >= 4 && units[0] == u'!' && units[1] == u'!' && units[length - 2] == u'!' &&
               units[length - 1] == u'!') {
      VString inner;
      word.GetSubString(3, length - 4, inner);
      time.FromXMLString(inner);
      converted = true;
    }
  }
  if (!converted && (fOptions & kISODates) != 0 && word.IsISODate()) {
    time.FromXMLString(word);
    converted = true;
  }
  // A text that does not convert (or gives the zero date, which does not
  // read back) stays the text it is.
  if (!converted || !IsCalendarDate(time)) return false;
  value.SetTime(time);
  return true;
}

VJSONImporter::SharedWord& VJSONImporter::_SharedWord() {
  // A small cache indexed by a hash of the text: repeated names and short
  // values are found again and share one block, texts seen once only
  // replace an older entry (a block that values still share stays theirs).
  constexpr size_t kSlots = 256;
  if (fKeys == nullptr) fKeys = std::make_unique<SharedWord[]>(kSlots);
  const UniChar* units = fWordUnits;
  const int32 length = fWordLength;
  uint64 hash = uint64(length);
  constexpr uint64 kMix = 0x9E3779B97F4A7C15ull;
  if (length >= 4) {
    uint64 word;
    for (int32 at = 0; at + 4 < length; at += 4) {
      std::memcpy(&word, units + at, sizeof word);
      hash = (hash ^ word) * kMix;
    }
    // The last four units, overlapping the ones before when the length is
    // not a multiple of four: whole loads, no partial copies to stall on.
    std::memcpy(&word, units + length - 4, sizeof word);
    hash = (hash ^ word) * kMix;
  } else if (length > 0) {
    uint64 word = units[0];
    if (length > 1) word |= uint64(units[1]) << 16;
    if (length > 2) word |= uint64(units[2]) << 32;
    hash = (hash ^ word) * kMix;
  }
  SharedWord& slot = fKeys[hash >> 56];
  if (slot.fText.GetLength() != length || !SameUnits(slot.fText.GetCPointer(), units, length)) {
    slot.ReleaseSpareCounts();
    slot.fText.FromUniString(units, length);
    slot.fHashed = false;
  }
  return slot;
}

UniChar* VJSONImporter::SharedWord::TakeCount(int32* outLength, int32* outCapacity) {
  if (fSpareCounts > 0) {
    --fSpareCounts;
    *outLength = fText.GetLength();
    *outCapacity = fText.GetCapacity();
    return const_cast<UniChar*>(fText.GetCPointer());
  }
  constexpr int32 kBatch = 64;
  UniChar* block = fText.RetainBuffer(outLength, outCapacity);
  // Words seen once cost one count, as they would without the batch.
  if (block != nullptr && block == fText.GetCPointer() && fTakes++ > 0) {
    VString::RetainSharedBuffer(block, *outCapacity, kBatch);
    fSpareCounts = kBatch;
  }
  return block;
}

void VJSONImporter::SharedWord::ReleaseSpareCounts() {
  if (fSpareCounts > 0) {
    VString::ReleaseSharedBuffer(const_cast<UniChar*>(fText.GetCPointer()), fText.GetCapacity(),
                                 fSpareCounts);
  }
  fSpareCounts = 0;
  fTakes = 0;
}

VString VJSONImporter::_Word() const {
  VString word;
  word.FromUniString(fWordUnits, fWordLength);
  return word;
}

// ---------------------------------------------------------------------------
// UTF-8 text

namespace {

// The first byte from `p` that is a quote, a backslash, a control byte or
// not ASCII, or `end`.
const uint8* SkipPlainBytes(const uint8* p, const uint8* end) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i space = _mm_set1_epi8(0x20);
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // As signed bytes, controls and non-ASCII bytes are both below a space.
    const __m128i stops =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)),
                     _mm_cmplt_epi8(bytes, space));
    const int mask = _mm_movemask_epi8(stops);
    if (mask != 0) return p + __builtin_ctz(unsigned(mask));
  }
#endif
  while (p < end && *p >= 0x20 && *p < 0x80 && *p != '"' && *p != '\\') ++p;
  return p;
}

// Appends ASCII bytes as units.
void AppendWidened(std::u16string& text, const uint8* begin, const uint8* end) {
  const size_t at = text.size();
  const size_t count = size_t(end - begin);
  text.resize(at + count);
  UniChar* out = text.data() + at;
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= count; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(bytes, zero));
  }
#endif
  for (; i < count; ++i) out[i] = begin[i];
}

bool IsContinuation(uint8 byte) { return (byte & 0xC0) == 0x80; }

// Decodes the sequence at `p` (its lead byte not ASCII) onto the text and
// returns the byte behind it, or null for a sequence that VString's
// decoder does not take as one character (it keeps such bytes as units of
// their own value, which the UTF-16 reading then sees).
const uint8* AppendSequence(std::u16string& text, const uint8* p, const uint8* end) {
  const uint8 lead = *p;
  const ptrdiff_t left = end - p;
  if (lead >= 0xC2 && lead < 0xE0) {
    if (left < 2 || !IsContinuation(p[1])) return nullptr;
    text.push_back(UniChar(((lead & 0x1F) << 6) | (p[1] & 0x3F)));
    return p + 2;
  }
  if ((lead & 0xF0) == 0xE0) {
    if (left < 3 || !IsContinuation(p[1]) || !IsContinuation(p[2])) return nullptr;
    const uint32 value = (uint32(lead & 0x0F) << 12) | (uint32(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
    if (value < 0x800) return nullptr;
    text.push_back(UniChar(value));  // a surrogate's bytes give the surrogate, as in VString
    return p + 3;
  }
  if (lead >= 0xF0 && lead < 0xF5) {
    if (left < 4 || !IsContinuation(p[1]) || !IsContinuation(p[2]) || !IsContinuation(p[3])) {
      return nullptr;
    }
    const uint32 value = (uint32(lead & 0x07) << 18) | (uint32(p[1] & 0x3F) << 12) |
                         (uint32(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
    if (value < 0x10000 || value >= 0x110000) return nullptr;
    text.push_back(UniChar(0xD800 + ((value - 0x10000) >> 10)));
    text.push_back(UniChar(0xDC00 + ((value - 0x10000) & 0x3FF)));
    return p + 4;
  }
  return nullptr;
}

bool SameBytes(const uint8* p, const uint8* end, const char* word, size_t length) {
  return size_t(end - p) == length && std::memcmp(p, word, length) == 0;
}

}  // namespace

VError VJSONImporter::ParseUTF8(const void* bytes, size_t length, VJSONValue& value,
                                uint32 options) {
  return _ParseUTF8(bytes, length, value, options, VString());
}

VError VJSONImporter::_ParseUTF8(const void* bytes, size_t length, VJSONValue& value,
                                 uint32 options, const VString& sourceName) {
  // Paths need the line and column of every member, which the UTF-16
  // reading counts; a text too long for a VString fails there.
  if ((options & kRecordPaths) == 0 && length < size_t(std::numeric_limits<int32>::max()) &&
      bytes != nullptr) {
    VJSONImporter reader{VString(), options};
    reader.fBytes = static_cast<const uint8*>(bytes);
    reader.fBytesEnd = reader.fBytes + length;
    VJSONValue result;
    if (reader._ReadUTF8Value(result)) {
      // What follows the value is not read, but a byte VString would not
      // decode alike could change the text as a whole: only ASCII passes.
      const uint8* rest = reader.fBytes;
      while (rest < reader.fBytesEnd && *rest < 0x80) ++rest;
      if (rest == reader.fBytesEnd) {
        value = std::move(result);
        return VE_OK;
      }
    }
  }
  VString text;
  text.FromBlock(bytes, length, kCharSetUTF8);
  VJSONImporter importer(text, options);
  importer.fSourceName = sourceName;
  return importer.Parse(value);
}

void VJSONImporter::_SkipUTF8Blanks() {
  // The UTF-16 reading takes every control as a blank between tokens.
  const uint8* p = fBytes;
  const uint8* const end = fBytesEnd;
  if (p == end || *p > 0x20) return;
  // The space after a colon or a comma, alone.
  if (end - p >= 2 && p[1] > 0x20) {
    fBytes = p + 1;
    return;
  }
#if defined(__SSE2__)
  // Indentation: sixteen bytes at a time.
  const __m128i lastBlank = _mm_set1_epi8(0x20);
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i blanks = _mm_cmpeq_epi8(_mm_max_epu8(bytes, lastBlank), lastBlank);
    const uint32 others = ~uint32(_mm_movemask_epi8(blanks)) & 0xFFFF;
    if (others != 0) {
      fBytes = p + std::countr_zero(others);
      return;
    }
  }
#endif
  while (p < end && *p <= 0x20) ++p;
  fBytes = p;
}

bool VJSONImporter::_ReadUTF8Quoted() {
  const uint8* p = fBytes;
  const uint8* const end = fBytesEnd;
  std::u16string& text = fDecoded;
  text.clear();
  for (;;) {
    const uint8* plain = SkipPlainBytes(p, end);
    AppendWidened(text, p, plain);
    p = plain;
    if (p == end) return false;  // unterminated
    const uint8 c = *p;
    if (c == '"') break;
    if (c >= 0x80) {
      p = AppendSequence(text, p, end);
      if (p == nullptr) return false;
      continue;
    }
    if (c != '\\') {
      // A control byte stays in the text, but NUL, which the UTF-16
      // reading drops.
      if (c != 0) text.push_back(c);
      ++p;
      continue;
    }
    if (end - p < 2) return false;
    const uint8 e = p[1];
    p += 2;
    if (const int unit = OneLetterEscape(e); unit >= 0) {
      text.push_back(UniChar(unit));
    } else if (e == 'u') {
      // Four hex digits; the UTF-16 reading decides the other forms.
      if (end - p < 4) return false;
      uint32 unit = 0;
      for (int k = 0; k < 4; ++k) {
        const int digit = HexDigit(p[k]);
        if (digit < 0) return false;
        unit = (unit << 4) | uint32(digit);
      }
      p += 4;
      if (unit != 0) text.push_back(UniChar(unit));  // \u0000 is dropped
    } else {
      // Any other escaped ASCII character stands for itself.
      if (e >= 0x80) return false;
      if (e != 0) text.push_back(e);
    }
  }
  if (text.size() >= size_t(std::numeric_limits<int32>::max())) return false;
  fBytes = p + 1;
  _SetWord(text.data(), text.data() + text.size());
  return true;
}

bool VJSONImporter::_ReadUTF8Value(VJSONValue& value) {
  _SkipUTF8Blanks();
  if (fBytes == fBytesEnd) return false;
  const uint8* const begin = fBytes;
  switch (*begin) {
    case '{':
    case '[':
      // Silently: the UTF-16 reading reports the depth.
      if (!JSONHasStackRoomSilently()) return false;
      ++fBytes;
      return *begin == '{' ? _ReadUTF8Object(value) : _ReadUTF8Array(value);
    case '"':
      ++fBytes;
      if (!_ReadUTF8Quoted()) return false;
      return _StringToValue(true, value, kExpectedValue) == VE_OK;
    default:
      break;
  }
  if (*begin == '-' || IsDigit(*begin)) {
    double number = 0;
    bool exact = false;
    const uint8* stop = ScanNumber(begin, fBytesEnd, number, exact);
    if (stop == nullptr || (stop < fBytesEnd && !EndsBareWord(*stop))) return false;
    fBytes = stop;
    value.SetNumber(exact ? number : WordToDouble(begin, int32(stop - begin)));
    return true;
  }
  const uint8* stop = begin;
  while (stop < fBytesEnd && !EndsBareWord(*stop)) ++stop;
  if (SameBytes(begin, stop, "true", 4)) {
    value.SetBool(true);
  } else if (SameBytes(begin, stop, "false", 5)) {
    value.SetBool(false);
  } else if (SameBytes(begin, stop, "null", 4)) {
    value.SetNull();
  } else {
    return false;  // a bare word, or a token out of place
  }
  fBytes = stop;
  return true;
}

bool VJSONImporter::_ReadUTF8Object(VJSONValue& value) {
  const size_t first = fMembers.size();
  bool ok = true;
  _SkipUTF8Blanks();
  if (fBytes < fBytesEnd && *fBytes == '}') {
    ++fBytes;
  } else {
    for (;;) {
      _SkipUTF8Blanks();
      if (fBytes == fBytesEnd || *fBytes != '"') {
        ok = false;
        break;
      }
      ++fBytes;
      if (!_ReadUTF8Quoted()) {
        ok = false;
        break;
      }
      SharedWord& shared = _SharedWord();
      // A binary-form carrier may fail to decode: the UTF-16 reading
      // reports that.
      if (shared.fText.EqualToStringRaw(sBinaryObjectPropertyName)) {
        ok = false;
        break;
      }
      VJSONPropertyMap::NewEntry member(shared.GetHash());
      member.fName.fString = shared.TakeCount(&member.fName.fLength, &member.fName.fMaxLength);
      _SkipUTF8Blanks();
      if (fBytes == fBytesEnd || *fBytes != ':') {
        ok = false;
        break;
      }
      ++fBytes;
      if (!_ReadUTF8Value(member.fValue)) {
        ok = false;
        break;
      }
      fMembers.push_back(std::move(member));
      _SkipUTF8Blanks();
      if (fBytes < fBytesEnd && *fBytes == ',') {
        ++fBytes;
        continue;
      }
      if (fBytes < fBytesEnd && *fBytes == '}') {
        ++fBytes;
        break;
      }
      ok = false;
      break;
    }
  }
  if (!ok) {
    fMembers.erase(fMembers.begin() + ptrdiff_t(first), fMembers.end());
    return false;
  }
  VJSONValue result;
  result._AdoptObject(VJSONObject::_NewWithRoom(fMembers.size() - first));
  result.GetObject()->_TakeTreeMembers(fMembers, first);
  value = std::move(result);
  _ShareIfAsked(value);
  return true;
}

bool VJSONImporter::_ReadUTF8Array(VJSONValue& value) {
  const size_t first = fElements.size();
  bool ok = true;
  _SkipUTF8Blanks();
  if (fBytes < fBytesEnd && *fBytes == ']') {
    ++fBytes;
  } else {
    for (;;) {
      VJSONValue element;
      if (!_ReadUTF8Value(element)) {
        ok = false;
        break;
      }
      fElements.push_back(std::move(element));
      _SkipUTF8Blanks();
      if (fBytes < fBytesEnd && *fBytes == ',') {
        ++fBytes;
        continue;
      }
      if (fBytes < fBytesEnd && *fBytes == ']') {
        ++fBytes;
        break;
      }
      ok = false;
      break;
    }
  }
  if (!ok) {
    fElements.erase(fElements.begin() + ptrdiff_t(first), fElements.end());
    return false;
  }
  VJSONValue result;
  result._AdoptArray(VJSONArray::_NewWithRoom(fElements.size() - first));
  result.GetArray()->_TakeTreeElements(fElements, first);
  value = std::move(result);
  _ShareIfAsked(value);
  return true;
}

// ---------------------------------------------------------------------------
// Bags

VError VJSONImporter::JSONObjectToBag(VValueBag& bag) {
  if (fDepth == 0) {
    VError error = VE_OK;
    const JsonToken token = GetNextJSONToken(&error);
    if (error != VE_OK) return error;
    if (token != jsonBeginObject)
      return _InvalidToken(VString(TokenText(token)), kExpectedObjectStart);
  }
  return _ObjectToBag(bag);
}

void VJSONImporter::_SetBagScalar(VValueBag& bag, const VString& key, const VString& word,
                                  bool quoted) {
  const StPackedDictionaryKey bagKey(key);
  if (quoted) {
    const bool isDate = fNonAmbiguousDates ? word.IsNonAmbigousDate() : word.IsISODate();
    if (isDate) {
      VTime time;
      time.FromXMLString(word);
      if (IsCalendarDate(time)) {
        bag.SetAttribute(bagKey, time);
        return;
      }
    }
    bag.SetString(bagKey, word);
    return;
  }
  if (word.EqualToUSASCIICString("null")) {
    bag.SetAttribute(bagKey, VString(true));
  } else if (word.EqualToUSASCIICString("true") || word.EqualToUSASCIICString("false")) {
    bag.SetBool(bagKey, word.EqualToUSASCIICString("true"));
  } else {
    // Whole numbers without '.' or exponent that fit 64 bits are integers;
    // every other word is a real.
    bool integral =
        word.FindUniChar(u'.') == 0 && word.FindUniChar(u'e') == 0 && word.FindUniChar(u'E') == 0;
    if (integral) {
      const double real = word.GetReal();
      integral = real >= -9223372036854775808.0 && real < 9223372036854775808.0;
    }
    if (integral) {
      bag.SetLong8(bagKey, word.GetLong8());
    } else {
      bag.SetReal(bagKey, word.GetReal());
    }
  }
}

VError VJSONImporter::_ArrayToBag(VValueBag& bag, const VString& key) {
  const StPackedDictionaryKey bagKey(key);
  VError error = VE_OK;
  VString word;
  bool quoted = false;
  for (;;) {
    JsonToken token = GetNextJSONToken(word, &quoted, &error);
    if (error != VE_OK) return error;
    if (token == jsonEndArray || token == jsonNone) return VE_OK;
    if (token == jsonBeginObject) {
      if (!JSONHasStackRoom()) return ToolboxError(toolbox_error::kBufferTooLong);
      auto* element = new VValueBag();
      ++fDepth;
      error = _ObjectToBag(*element);
      --fDepth;
      if (error == VE_OK) bag.AddElement(bagKey, element);
      element->Release();
      if (error != VE_OK) return error;
    } else if (token == jsonBeginArray) {
      // An array inside an array has no bag form: skip it whole.
      for (int32 depth = 1; depth > 0;) {
        token = GetNextJSONToken(&error);
        if (error != VE_OK) return error;
        if (token == jsonNone) return VE_OK;
        if (token == jsonBeginArray) ++depth;
        if (token == jsonEndArray) --depth;
      }
    } else {
      if (token != jsonString) {
        // A ',' or ':' where an element is expected reads as an empty word.
        word.Clear();
        quoted = false;
      }
      auto* element = new VValueBag();
      if (quoted) {
        element->SetString(StPackedDictionaryKey("____FakeArrayElement"), word);
      } else {
        _SetBagScalar(*element, VString("____FakeArrayElement"), word, false);
      }
      bag.AddElement(bagKey, element);
      element->Release();
      if (token != jsonString) continue;
    }
    token = GetNextJSONToken(&error);
    if (error != VE_OK) return error;
    if (token == jsonEndArray || token == jsonNone) return VE_OK;
    if (token != jsonSeparator) {
      // Anything else starts the next element.
      fCurrent = fTokenStart;
    }
  }
}

VError VJSONImporter::_BinaryObjectToBag(const VString& base64, VValueBag& bag) {
  VJSONValue decoded;
  VError error = DecodeBinaryForm(base64, decoded);
  if (error != VE_OK) return error;
  // The bag form of the value: its text read back as a bag.
  VString text;
  if ((error = decoded.Stringify(text, 0x1)) != VE_OK) return error;
  bag.Destroy();
  VJSONImporter reader(text);
  return reader.JSONObjectToBag(bag);
}

VError VJSONImporter::_ObjectToBag(VValueBag& bag) {
  VError error = VE_OK;
  VString key, word;
  bool quoted = false;
  bool first = true;
  for (;;) {
    JsonToken token = GetNextJSONToken(key, &quoted, &error);
    if (error != VE_OK) return error;
    if (token == jsonEndObject || token == jsonNone) return VE_OK;
    if (token == jsonSeparator) continue;
    if (token != jsonString) {
      return _InvalidToken(VString(TokenText(token)), first ? kExpectedKeyOrEnd : kExpectedKey);
    }
    first = false;
    token = GetNextJSONToken(&error);
    if (error != VE_OK) return error;
    if (token != jsonAssigne) return _InvalidToken(VString(TokenText(token)), kExpectedColon);
    token = GetNextJSONToken(word, &quoted, &error);
    if (error != VE_OK) return error;
    if (token == jsonBeginObject) {
      if (!JSONHasStackRoom()) return ToolboxError(toolbox_error::kBufferTooLong);
      auto* element = new VValueBag();
      element->SetBool(StPackedDictionaryKey("____objectunic"), true);
      ++fDepth;
      error = _ObjectToBag(*element);
      --fDepth;
      if (error == VE_OK) bag.AddElement(StPackedDictionaryKey(key), element);
      element->Release();
      if (error != VE_OK) return error;
    } else if (token == jsonBeginArray) {
      error = _ArrayToBag(bag, key);
      if (error != VE_OK) return error;
    } else if (token == jsonString && key.EqualToStringRaw(sBinaryObjectPropertyName)) {
      error = _BinaryObjectToBag(word, bag);
      if (error != VE_OK) return error;
    } else if (token == jsonString && key.EqualToUSASCIICString("__CDATA")) {
      // A null character data is read as a null attribute is.
      if (!quoted && word.EqualToUSASCIICString("null")) {
        bag.SetAttribute(VValueBag::CDataAttributeName(), VString(true));
      } else {
        bag.SetString(VValueBag::CDataAttributeName(), word);
      }
    } else if (token == jsonString) {
      _SetBagScalar(bag, key, word, quoted);
    } else {
      return _InvalidToken(VString(TokenText(token)), kExpectedValue);
    }
  }
}

}  // namespace zeft
