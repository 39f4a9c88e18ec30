#include "core/VReal.h"

#include <locale.h>
#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/CLocale.h"
#include "core/VString.h"
#include "files/VStream.h"
#include "values/VDuration.h"

namespace zeft {

constinit const VReal::VValueInfo_real VReal::sInfo;

namespace {

constexpr double kTolerance = 1e-6;
// Whole numbers up to this magnitude are written as integers.
constexpr double kLargestExactWhole = 9007199254740991.0;  // 2^53 - 1
// Longest number text taken, in bytes.
constexpr int32 kMaxNumberText = 254;

// Significant digits of the "%.14G" form.
constexpr int kPrecision = 14;

using uint128 = unsigned __int128;

// Powers of five up to 5^31, which times a 53-bit significand fit 128 bits.
constexpr int kLargestPowerOfFive = 31;
constexpr std::array<uint128, kLargestPowerOfFive + 1> kPowersOfFive = [] {
  std::array<uint128, kLargestPowerOfFive + 1> powers{};
  powers[0] = 1;
  for (size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 5;
  return powers;
}();

// Writes `pairs` x 2 decimal digits of value, leading zeros included.
void WriteDigitPairs(char* out, uint32 value, int pairs) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  for (int i = pairs - 1; i >= 0; --i) {
    std::memcpy(out + 2 * i, kPairs + 2 * (value % 100), 2);
    value /= 100;
  }
}

// 1E-18 to 1E+14, the decimal exponents of the numbers written below.
constexpr int kSmallestExponent = -18;
constexpr double kPowersOfTen[] = {1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10,
                                   1e-9,  1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,
                                   1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,   1e7,   1e8,
                                   1e9,   1e10,  1e11,  1e12,  1e13,  1e14};

// The "%.14G" text of a finite number from 1E-18 to below 1E+14, the range
// that numbers mostly come from: its 14 digits are the exact value scaled
// by a power of ten (significand x 5^k x 2^(k + binary exponent), held in
// 128 bits) and rounded half to even, as the C library rounds. nullptr for
// other numbers. Answers the end of the text.
char* ToFourteenDigits(double value, char* text) {
  uint64 bits;
  std::memcpy(&bits, &value, sizeof bits);
  const int biased = int((bits >> 52) & 0x7FF);
  if (biased == 0 || biased == 0x7FF) return nullptr;  // zero, subnormal, not finite
  const uint64 significand = (bits & ((uint64(1) << 52) - 1)) | (uint64(1) << 52);
  const int binaryExponent = biased - 1075;  // value = significand x 2^binaryExponent
  constexpr uint64 kLow = 10000000000000;    // 10^13
  constexpr uint64 kHigh = kLow * 10;
  // floor((biased - 1023) x log10(2)) is the decimal exponent or one less;
  // a power of ten tells which. Those below 1 are not exact: the loop
  // below mends an exponent that is one off either way.
  int exponent = ((biased - 1023) * 78913) >> 18;
  if (exponent >= kSmallestExponent && exponent < kPrecision &&
      std::fabs(value) >= kPowersOfTen[size_t(exponent + 1 - kSmallestExponent)]) {
    ++exponent;
  }
  uint64 digits = 0;
  bool up = false;
  for (;;) {
    const int k = kPrecision - 1 - exponent;
    if (k < 0 || k > kLargestPowerOfFive) return nullptr;
    const uint128 scaled = uint128(significand) * kPowersOfFive[size_t(k)];
    const int shift = -(k + binaryExponent);
    if (shift <= 0) {
      // A whole number at this scale; it stays below 10^15.
      digits = uint64(scaled << -shift);
      up = false;
    } else {
      if (shift >= 128) return nullptr;
      digits = uint64(scaled >> shift);
      const uint128 rest = scaled & ((uint128(1) << shift) - 1);
      const uint128 half = uint128(1) << (shift - 1);
      up = rest > half || (rest == half && (digits & 1) != 0);
    }
    if (digits >= kHigh) {
      ++exponent;
    } else if (digits < kLow) {
      --exponent;
    } else {
      break;
    }
  }
  digits += up ? 1 : 0;
  if (digits == kHigh) {
    digits = kLow;
    ++exponent;
  }
  // The 14 digits, then blocks of 16 bytes copied whole: the text has room
  // for the longest form (sign, 13 digits, point and a block), and the
  // bytes behind its end are overwritten or cut by the terminator.
  char chars[32];
  WriteDigitPairs(chars, uint32(digits / 100000000), 3);
  WriteDigitPairs(chars + 6, uint32(digits % 100000000), 4);
  int count = kPrecision;
  while (chars[count - 1] == '0') --count;  // the first digit is not 0
  constexpr size_t kBlock = 16;

  char* out = text;
  *out = '-';  // kept by a negative number: signs come in no order a branch predicts
  out += bits >> 63;
  if (exponent >= -4 && exponent < kPrecision) {
    if (exponent < 0) {
      std::memcpy(out, "0.000000", 8);
      out += 1 - exponent;
      std::memcpy(out, chars, kBlock);
      out += count;
    } else {
      const int whole = exponent + 1;
      std::memcpy(out, chars, kBlock);
      out += whole;
      if (count > whole) {
        *out++ = '.';
        std::memcpy(out, chars + whole, kBlock);
        out += count - whole;
      }
    }
  } else {
    // From 1E-18 to 1E+14: two exponent digits.
    const int magnitude = exponent < 0 ? -exponent : exponent;
    *out++ = chars[0];
    if (count > 1) {
      *out++ = '.';
      std::memcpy(out, chars + 1, kBlock);
      out += count - 1;
    }
    *out++ = 'E';
    *out++ = exponent < 0 ? '-' : '+';
    *out++ = char('0' + magnitude / 10);
    *out++ = char('0' + magnitude % 10);
  }
  return out;
}

// Writes the number for the cases shared by the XML and JSON forms: whole
// numbers as integers, others with "%.14G" in the C locale, terminated.
// Answers the length, or 0 for NaN and infinities, which the two forms spell
// differently.
size_t RealToChars(double value, char (&text)[VReal::kMaxTextSize]) {
  if (std::isnan(value) || std::isinf(value)) return 0;
  char* const end = text + sizeof(text) - 1;
  char* last;
  if (value == std::trunc(value) && std::fabs(value) <= kLargestExactWhole) {
    last = std::to_chars(text, end, int64(value)).ptr;  // -0.0 gives "0"
  } else if ((last = ToFourteenDigits(value, text)) == nullptr) {
    last = std::to_chars(text, end, value, std::chars_format::general, kPrecision).ptr;
    for (char* c = text; c != last; ++c) {
      if (*c == 'e') *c = 'E';
    }
  }
  *last = 0;
  return size_t(last - text);
}

}  // namespace

uint8 VReal::GetBoolean() const { return fValue != 0.0; }  // NaN is true
int8 VReal::GetByte() const { return int8(SaturatingRealToLong(fValue)); }
int16 VReal::GetWord() const { return int16(SaturatingRealToLong(fValue)); }
int32 VReal::GetLong() const { return SaturatingRealToLong(fValue); }
int64 VReal::GetLong8() const { return SaturatingRealToLong8(fValue); }
double VReal::GetReal() const { return fValue; }
void VReal::GetDuration(VDuration& target) const { target.FromReal(fValue); }
void VReal::GetString(VString& target) const { target.FromReal(fValue); }
void VReal::GetValue(VValueSingle& target) const { target.FromReal(fValue); }

void VReal::FromBoolean(uint8 value) { Store(value); }
void VReal::FromByte(int8 value) { Store(value); }
void VReal::FromWord(int16 value) { Store(value); }
void VReal::FromLong(int32 value) { Store(value); }
void VReal::FromLong8(int64 value) { Store(double(value)); }
void VReal::FromReal(double value) { Store(value); }
void VReal::FromDuration(const VDuration& duration) {
  StoreWithNullState(duration.GetReal(), duration.IsNull());
}
void VReal::FromString(const VString& text) {
  // A null text keeps the number and only passes on its null state.
  StoreWithNullState(text.IsNull() ? fValue : text.GetReal(), text.IsNull());
}
void VReal::FromValue(const VValueSingle& value) {
  StoreWithNullState(value.GetReal(), value.IsNull());
}

CompareResult VReal::CompareTo(const VValueSingle& other, bool) const {
  return CompareReals(fValue, other.GetReal(), kTolerance, false);
}

CompareResult VReal::CompareToSameKind(const VValue* other, bool) const {
  return CompareReals(fValue, Other(other), kTolerance, false);
}
bool VReal::EqualToSameKind(const VValue* other, bool diacritical) const {
  return CompareToSameKind(other, diacritical) == kCompareEqual;
}
CompareResult VReal::CompareToSameKindPtr(const void* data, bool) const {
  return CompareReals(fValue, Load(data), kTolerance, false);
}
bool VReal::EqualToSameKindPtr(const void* data, bool diacritical) const {
  return CompareToSameKindPtr(data, diacritical) == kCompareEqual;
}
CompareResult VReal::CompareToSameKindWithOptions(const VValue* other,
                                                  const VCompareOptions& options) const {
  return CompareReals(fValue, Other(other), options.GetEpsilon(), false);
}
bool VReal::EqualToSameKindWithOptions(const VValue* other, const VCompareOptions& options) const {
  return CompareToSameKindWithOptions(other, options) == kCompareEqual;
}
CompareResult VReal::CompareToSameKindPtrWithOptions(const void* data,
                                                     const VCompareOptions& options) const {
  return CompareReals(fValue, Load(data), options.GetEpsilon(), false);
}
bool VReal::EqualToSameKindPtrWithOptions(const void* data, const VCompareOptions& options) const {
  return CompareToSameKindPtrWithOptions(data, options) == kCompareEqual;
}

CompareResult VReal::VValueInfo_real::CompareTwoPtrToDataWithOptions(
    const void* data1, const void* data2, const VCompareOptions& options) const {
  return CompareReals(Load(data1), Load(data2), options.GetEpsilon(), options.IsDiacritical());
}

VError VReal::ReadFromStream(VStream* stream, int32) {
  double value = 0;
  int32 count = 1;
  const VError error = stream->GetReals(&value, &count);
  if (count == 1) fValue = value;
  return error;
}

VError VReal::WriteToStream(VStream* stream, int32 param) const {
  VValueSingle::WriteToStream(stream, param);
  return stream->PutReals(&fValue, 1);
}

size_t VReal::GetStreamSpace() const { return sizeof(double); }

size_t VReal::RealToXMLChars(double value, char (&text)[kMaxTextSize]) {
  if (const size_t length = RealToChars(value, text)) return length;
  const char* spelled = std::isnan(value) ? "NaN" : value < 0 ? "-INF" : "INF";
  std::strcpy(text, spelled);
  return std::strlen(spelled);
}

void VReal::RealToXMLString(double value, VString& text) {
  char chars[kMaxTextSize];
  RealToXMLChars(value, chars);
  text.FromCString(chars);
}

void VReal::RealToJSONString(double value, VString& text) {
  char chars[kMaxTextSize];
  text.FromCString(RealToChars(value, chars) != 0 ? chars : "null");
}

void VReal::GetXMLString(VString& text, uint32) const { RealToXMLString(fValue, text); }

VError VReal::FromJSONString(const VString& text, uint32) {
  if (!FromXMLString(text)) Store(0.0);
  return VE_OK;
}

bool VReal::FromXMLString(const VString& text) {
  // Number text is ASCII: any other unit cannot be part of a number, so
  // refusing it here is the same as letting the parse stop on it.
  const int32 length = text.GetLength();
  if (length > kMaxNumberText) return false;
  char buffer[kMaxNumberText + 1];
  const UniChar* units = text.GetCPointer();
  for (int32 i = 0; i < length; ++i) {
    if (units[i] >= 0x80) return false;
    buffer[i] = units[i] == u',' ? '.' : char(units[i]);
  }
  buffer[length] = 0;
  const locale_t cLocale = GetCLocale();
  if (cLocale == locale_t(nullptr)) return false;
  char* end = nullptr;
  const double value = strtod_l(buffer, &end, cLocale);
  // Every byte must be used; an embedded 0 unit stops the parse early.
  if (end != buffer + length) return false;
  Store(value);
  return true;
}

}  // namespace zeft
