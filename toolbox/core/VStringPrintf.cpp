// printf-style formatting into a VString, with conversions for toolbox
// objects.
//
// The variable argument list is walked conversion by conversion and each
// argument is fetched with its own type: on x86-64 integers, pointers and
// doubles travel in different registers, so a whole format cannot be handed
// to vsnprintf once object conversions have been taken out of it. Each
// standard conversion is formatted alone by snprintf, in the C locale, and
// object texts are inserted at their own positions.
#include <locale.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <tuple>
#include <type_traits>

#include "core/VCppMemMgr.h"
#include "core/VFromUnicodeConverter.h"
#include "core/VString.h"
#include "core/VTextConverters.h"
#include "core/VToUnicodeConverter.h"
#include "values/StPackedDictionaryKey.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

// The format is read up to this many bytes; the formatted bytes are cut at
// as many.
constexpr int32 kMaxFormatBytes = 1023;
constexpr int32 kMaxOutputBytes = 1023;
// Largest precision of a real written without the C library.
constexpr int kMaxPlainPrecision = 40;
// Widths and precisions beyond this are cut down before the C library sees
// them: the output is cut at kMaxOutputBytes anyway, and a double's exact
// decimal expansion ends within 1,075 fraction digits, so the bytes kept
// are the same while the work and memory stay bounded. (A long double's
// decimal exponent goes beyond: %Lg picks its style before the cut.)
constexpr int kMaxFieldSize = 1100;
// Significant digits of a long double's exact decimal expansion, at most:
// each binary fraction digit adds a factor of 5 (under 0.7 decimal digit)
// to the mantissa's. Beyond this precision %Lg writes nothing more.
constexpr int kMaxLongDoubleDigits =
    (LDBL_MANT_DIG - LDBL_MIN_EXP) * 7 / 10 + LDBL_MANT_DIG * 3 / 10 + 2;

// Bytes a string takes in UTF-8, as the standard library's encoder writes
// it.
int64 UTF8Length(const VString& s) {
  const int32 length = s.GetLength();
  int consumed = 0;
  size_t bytes = 0;
  VTextConverters::Get()->GetStdLibFromUnicodeConverter()->Convert(
      s.GetCPointer(), length, &consumed, nullptr, SIZE_MAX, &bytes);
  // A high surrogate ending the text waits for a pair that never comes: it
  // is written on its own.
  if (consumed < length) bytes += 3;
  return int64(bytes);
}

// Where bytes[0..length) must end so that it does not stop inside a UTF-8
// sequence.
int32 UTF8Boundary(const char* bytes, int32 length) {
  int32 j = length - 1;
  int32 back = 0;
  while (j >= 0 && back < 3 && (uint8(bytes[j]) & 0xC0) == 0x80) {
    --j;
    ++back;
  }
  if (j < 0) return length;
  uint8 lead = uint8(bytes[j]);
  if (lead < 0xC0) return length;
  int32 need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  return j + need > length ? j : length;
}

// Numbers print in the C locale whatever the process locale, and wide
// characters (%lc, %ls) convert to UTF-8, the toolbox's 8-bit text; the
// calling thread's locale is restored on exit.
locale_t MakeFormattingLocale() {
  locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
  if (c == locale_t(0)) return c;
  locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", c);
  return utf8 != locale_t(0) ? utf8 : c;
}

class StCLocale {
 public:
  StCLocale() {
    static const locale_t sC = MakeFormattingLocale();
    if (sC != locale_t(0)) fPrevious = uselocale(sC);
  }
  ~StCLocale() {
    if (fPrevious != locale_t(0)) uselocale(fPrevious);
  }
  StCLocale(const StCLocale&) = delete;
  StCLocale& operator=(const StCLocale&) = delete;

 private:
  locale_t fPrevious = locale_t(0);
};

// Collects the formatted bytes (at most kMaxOutputBytes in all) and the
// object texts into `fOut`, in order.
class Collector {
 public:
  explicit Collector(VString& out) : fOut(out) {}

  bool IsFull() const { return fFull; }
  int64 GetWritten() const { return fWritten; }

  void AddBytes(const char* bytes, size_t count) {
    if (fFull || count == 0) return;
    size_t taken = count;
    if (taken > size_t(fBudget)) taken = size_t(fBudget);
    std::memcpy(fBytes + fUsed, bytes, taken);
    _Advance(int32(taken), taken < count);
  }

  // Runs snprintf(room, size, args...) into the free room.
  template <class... Args>
  void AddFormatted(const char* format, Args... args) {
    if (fFull) return;
    int result = std::snprintf(fBytes + fUsed, size_t(fBudget) + 1, format, args...);
    // A conversion the C library refuses (a wide character with no
    // multibyte form) prints nothing.
    if (result <= 0) return;
    bool cut = result > fBudget;
    _Advance(cut ? fBudget : result, cut);
  }

  void AddText(const VString& text) {
    if (fFull) return;
    Flush();
    fOut.AppendString(text);
    fWritten += UTF8Length(text);
  }

  void Flush() {
    if (fUsed == 0) return;
    uint8 all = 0;
    for (int32 i = 0; i < fUsed; ++i) all |= uint8(fBytes[i]);
    if ((all & 0x80) == 0) {
      // ASCII widens straight into the string.
      const int32 length = fOut.GetLength();
      if (int64(length) + fUsed <= 0x7FFFFFF0) {
        if (UniChar* units = fOut.GetCPointerForWrite(length + fUsed)) {
          for (int32 i = 0; i < fUsed; ++i) units[length + i] = UniChar(uint8(fBytes[i]));
          fOut.Validate(length + fUsed);
        }
      }
    } else {
      VTextConverters::Get()->GetStdLibToUnicodeConverter()->ConvertString(fBytes, size_t(fUsed),
                                                                           nullptr, fOut);
    }
    fUsed = 0;
  }

 private:
  void _Advance(int32 count, bool cut) {
    int32 end = fUsed + count;
    if (cut) end = UTF8Boundary(fBytes, end);
    fWritten += end - fUsed;
    fBudget -= end - fUsed;
    fUsed = end;
    if (cut || fBudget == 0) fFull = true;
  }

  VString& fOut;
  char fBytes[kMaxOutputBytes + 1];
  int32 fUsed = 0;
  int32 fBudget = kMaxOutputBytes;
  bool fFull = false;
  int64 fWritten = 0;  // bytes so far, object texts counted in UTF-8, for %n
};

// One standard conversion as parsed from the format.
struct Conversion {
  char format[kMaxFormatBytes + 1];  // "%", flags, width, precision, length, letter
  int starCount = 0;                 // '*' for width and/or precision
  bool widthStar = false;
  bool precisionStar = false;
  char length[3] = {0, 0, 0};  // "", "hh", "h", "l", "ll", "q", "L", "j", "z", "Z", "t"
  char letter = 0;
  size_t textLength = 0;  // bytes of the format it spans
  // No flag, no width, a precision of at most kMaxPlainPrecision digits
  // given in the format (-1: none).
  bool plain = false;
  int precision = -1;
  // The flags as written, and the width given in the format (0: none),
  // saturated to the int range.
  char flags[16] = {};
  int width = 0;
  // A width or precision in the format of 2^31 or more.
  bool fieldTooLarge = false;
};

bool IsLength(const char* length, const char* name) { return std::strcmp(length, name) == 0; }

// Adds a decimal digit to a width or precision, saturated to the int
// range; false once the number is 2^31 or more.
bool AddDigit(int& number, char digit) {
  const int64 next = int64(number) * 10 + (digit - '0');
  number = int(std::min<int64>(next, INT_MAX));
  return next <= INT_MAX;
}

// The C library refuses a conversion whose width or precision is 2^31 or
// more (EOVERFLOW), a '*' width of INT_MIN included, which asks for 2^31
// left-aligned. Such a conversion prints nothing, as every conversion the
// C library refuses; its arguments are taken all the same.
bool IsRefusedField(const Conversion& conv, int starWidth) {
  return conv.fieldTooLarge || (conv.widthStar && starWidth == INT_MIN);
}

// Parses the conversion starting with the '%' at `p` (end excluded); false
// when it is not one the C library defines (positional "$" arguments
// included, which cannot be fetched one by one).
bool ParseConversion(const char* p, const char* end, Conversion& conv) {
  const char* q = p + 1;
  size_t flagCount = 0;
  while (q < end && std::strchr("-+ #0'I", *q) != nullptr) {
    if (flagCount + 1 < sizeof(conv.flags) && std::strchr(conv.flags, *q) == nullptr)
      conv.flags[flagCount++] = *q;
    ++q;
  }
  if (q < end && *q == '*') {
    conv.widthStar = true;
    ++q;
  } else {
    for (; q < end && *q >= '0' && *q <= '9'; ++q) {
      if (!AddDigit(conv.width, *q)) conv.fieldTooLarge = true;
    }
  }
  conv.plain = q == p + 1;
  if (q < end && *q == '.') {
    ++q;
    if (q < end && *q == '*') {
      conv.precisionStar = true;
      conv.plain = false;
      ++q;
    } else {
      int precision = 0;
      for (; q < end && *q >= '0' && *q <= '9'; ++q) {
        if (!AddDigit(precision, *q)) conv.fieldTooLarge = true;
      }
      if (precision > kMaxPlainPrecision) conv.plain = false;
      conv.precision = precision;
    }
  }
  int lengthChars = 0;
  if (q < end && std::strchr("hlqLjzZt", *q) != nullptr) {
    conv.length[lengthChars++] = *q++;
    if (q < end && (*q == 'h' || *q == 'l') && *q == conv.length[0])
      conv.length[lengthChars++] = *q++;
  }
  if (q >= end) return false;
  conv.letter = *q;
  if (std::strchr("diouxXbBeEfFgGaAcCsSpnm", conv.letter) == nullptr) return false;
  conv.textLength = size_t(q + 1 - p);
  std::memcpy(conv.format, p, conv.textLength);
  conv.format[conv.textLength] = 0;
  conv.starCount = (conv.widthStar ? 1 : 0) + (conv.precisionStar ? 1 : 0);
  return true;
}

// The digits a long double has before its decimal point when more than
// kMaxFieldSize of them, else 0.
int64 LongIntegerDigits(long double value) {
  // Below 2^3300 a value has fewer than 1000 digits; above 2^64 it is an
  // integer, which %.0Lf writes exactly.
  if (!std::isfinite(value) || std::ilogb(value) < 3 * kMaxFieldSize) return 0;
  const int digits = std::snprintf(nullptr, 0, "%.0Lf", std::fabs(value));
  return digits > kMaxFieldSize ? digits : 0;
}

// Formats one value with a width or precision beyond kMaxFieldSize, both
// cut down so that the kept bytes do not change: a precision to
// kMaxFieldSize; a width to what keeps the padding the full precision
// would get, at most the output's size.
template <class... Value>
void EmitBounded(Collector& out, const Conversion& conv, int64 width, int64 precision,
                 Value... value) {
  constexpr bool kLongDouble = std::is_same_v<std::tuple<Value...>, std::tuple<long double>>;
  const bool general = conv.letter == 'g' || conv.letter == 'G';
  const bool alternate = std::strchr(conv.flags, '#') != nullptr;
  if constexpr (kLongDouble) {
    // %g writes fixed style while the decimal exponent is below the
    // precision. A long double's exponent may lie between the cut precision
    // and the one asked for: the value is then an integer whose digits all
    // fit, written as %.0f, or with '#' as %#f with the zeros that make up
    // the precision.
    const int64 digits = general && precision > kMaxFieldSize ? LongIntegerDigits(value...) : 0;
    if (digits != 0 && digits <= precision) {
      Conversion fixed = conv;
      fixed.letter = 'f';
      EmitBounded(out, fixed, width, alternate ? precision - digits : 0, value...);
      return;
    }
  }
  bool left = std::strchr(conv.flags, '-') != nullptr;
  if (width < 0) {
    left = true;
    width = -width;
  }
  char format[sizeof(conv.flags) + 16];
  char* f = format;
  *f++ = '%';
  for (const char* flag = conv.flags; *flag != 0; ++flag) *f++ = *flag;
  if (left && std::strchr(conv.flags, '-') == nullptr) *f++ = '-';
  char* const widthAt = f;
  *f++ = '*';
  if (precision >= 0) {
    *f++ = '.';
    *f++ = '*';
  }
  for (const char* l = conv.length; *l != 0; ++l) *f++ = *l;
  *f++ = conv.letter;
  *f = 0;
  const int boundedPrecision = int(std::min<int64>(precision, kMaxFieldSize));
  int64 boundedWidth = std::min<int64>(width, kMaxOutputBytes + 1);
  if (!left) {
    // Right-aligned, the padding comes first: it must be what the full
    // value's length leaves of the width.
    char noWidth[sizeof(format)];
    std::snprintf(noWidth, sizeof(noWidth), "%.*s%s", int(widthAt - format), format, widthAt + 1);
    auto lengthWith = [&](int64 valuePrecision) -> int64 {
      const int length = precision >= 0
                             ? std::snprintf(nullptr, 0, noWidth, int(valuePrecision), value...)
                             : std::snprintf(nullptr, 0, noWidth, value...);
      return std::max(length, 0);
    };
    const int64 boundedLength = lengthWith(boundedPrecision);
    int64 fullLength = boundedLength;
    if (precision > boundedPrecision) {
      if (std::strchr("sSm", conv.letter) != nullptr) {
        // A text's precision only cuts it: its length costs no more than
        // the text itself.
        fullLength = lengthWith(precision);
      } else if (kLongDouble && general && !alternate) {
        // %g drops trailing zeros, and a long double's expansion may end
        // anywhere past the bound: its length is measured.
        fullLength = lengthWith(std::min<int64>(precision, kMaxLongDoubleDigits));
      } else if (lengthWith(boundedPrecision + 1) > boundedLength) {
        // Beyond the bound, a precision that still counts adds one byte
        // per unit (digits or zeros); one that no longer does (infinities,
        // trailing zeros %g drops) adds none.
        fullLength += precision - boundedPrecision;
      }
    }
    boundedWidth = boundedLength + std::clamp<int64>(width - fullLength, 0, kMaxOutputBytes + 1);
  }
  if (precision >= 0) {
    out.AddFormatted(format, int(boundedWidth), boundedPrecision, value...);
  } else {
    out.AddFormatted(format, int(boundedWidth), value...);
  }
}

// Formats one value with the conversion's '*' arguments in front of it.
template <class... Value>
void Emit(Collector& out, const Conversion& conv, int width, int precision, Value... value) {
  if (IsRefusedField(conv, width)) return;
  const int64 fieldWidth = conv.widthStar ? width : conv.width;
  // A negative precision argument counts as none.
  const int64 fieldPrecision =
      conv.precisionStar ? (precision < 0 ? -1 : precision) : conv.precision;
  if (fieldWidth > kMaxFieldSize || -fieldWidth > kMaxFieldSize || fieldPrecision > kMaxFieldSize) {
    EmitBounded(out, conv, fieldWidth, fieldPrecision, value...);
    return;
  }
  if (conv.starCount == 2) {
    out.AddFormatted(conv.format, width, precision, value...);
  } else if (conv.widthStar) {
    out.AddFormatted(conv.format, width, value...);
  } else if (conv.precisionStar) {
    out.AddFormatted(conv.format, precision, value...);
  } else {
    out.AddFormatted(conv.format, value...);
  }
}

template <class T>
void Store(va_list* args, int64 count) {
  T* target = va_arg(*args, T*);
  if (target != nullptr) *target = T(count);
}

// Writes an integer in base 10, 8 or 16 (upper-case digits when asked).
template <class T>
void AddInteger(Collector& out, T value, int base, bool upper) {
  char digits[72];
  auto result = std::to_chars(digits, digits + sizeof(digits), value, base);
  if (upper) {
    for (char* p = digits; p < result.ptr; ++p) {
      if (*p >= 'a' && *p <= 'z') *p = char(*p - 32);
    }
  }
  out.AddBytes(digits, size_t(result.ptr - digits));
}

// Writes a double as %f, %e or %g; to_chars with a format and a precision
// prints what printf does in the C locale.
void AddDouble(Collector& out, double value, char letter, int precision) {
  char digits[400];
  const char lower = char(letter | 0x20);
  const std::chars_format format = lower == 'f'   ? std::chars_format::fixed
                                   : lower == 'e' ? std::chars_format::scientific
                                                  : std::chars_format::general;
  auto result = std::to_chars(digits, digits + sizeof(digits), value, format, precision);
  if (result.ec != std::errc()) return;
  if (letter != lower) {
    for (char* p = digits; p < result.ptr; ++p) {
      if (*p >= 'a' && *p <= 'z') *p = char(*p - 32);
    }
  }
  out.AddBytes(digits, size_t(result.ptr - digits));
}

// The common plain conversions need no snprintf call; false for the others
// (nothing taken from the arguments then).
bool FormatPlainConversion(Collector& out, const Conversion& conv, va_list* args) {
  if (!conv.plain) return false;
  // A precision is written here for reals only.
  const bool isReal = std::strchr("fFeEgG", conv.letter) != nullptr;
  if (conv.precision >= 0 && !isReal) return false;
  const char* len = conv.length;
  const bool noLength = len[0] == 0;
  const bool isLong = IsLength(len, "l");
  const bool isLongLong = IsLength(len, "ll");
  const char letter = conv.letter;
  switch (letter) {
    case 'd':
    case 'i':
      if (noLength) {
        AddInteger(out, va_arg(*args, int), 10, false);
      } else if (isLong) {
        AddInteger(out, va_arg(*args, long), 10, false);
      } else if (isLongLong) {
        AddInteger(out, va_arg(*args, long long), 10, false);
      } else {
        return false;
      }
      return true;
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
      const int base = letter == 'u' ? 10 : letter == 'o' ? 8 : 16;
      const bool upper = letter == 'X';
      if (noLength) {
        AddInteger(out, va_arg(*args, unsigned int), base, upper);
      } else if (isLong) {
        AddInteger(out, va_arg(*args, unsigned long), base, upper);
      } else if (isLongLong) {
        AddInteger(out, va_arg(*args, unsigned long long), base, upper);
      } else {
        return false;
      }
      return true;
    }
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
      // "l" changes nothing for doubles.
      if (!noLength && !isLong) return false;
      AddDouble(out, va_arg(*args, double), letter, conv.precision >= 0 ? conv.precision : 6);
      return true;
    case 'c':
      if (!noLength) return false;
      {
        const char c = char(va_arg(*args, int));
        out.AddBytes(&c, 1);
      }
      return true;
    case 's':
      if (!noLength) return false;
      if (const char* text = va_arg(*args, const char*)) {
        out.AddBytes(text, std::strlen(text));
      } else {
        out.AddBytes("(null)", 6);
      }
      return true;
    default:
      return false;
  }
}

// Fetches the conversion's arguments with their own types and formats it.
void FormatConversion(Collector& out, const Conversion& conv, va_list* args, int savedErrno) {
  if (FormatPlainConversion(out, conv, args)) return;
  int width = conv.widthStar ? va_arg(*args, int) : 0;
  int precision = conv.precisionStar ? va_arg(*args, int) : 0;
  const char* len = conv.length;
  switch (conv.letter) {
    case 'd':
    case 'i':
      if (IsLength(len, "l")) {
        Emit(out, conv, width, precision, va_arg(*args, long));
      } else if (IsLength(len, "ll") || IsLength(len, "q") || IsLength(len, "L")) {
        Emit(out, conv, width, precision, va_arg(*args, long long));
      } else if (IsLength(len, "j")) {
        Emit(out, conv, width, precision, va_arg(*args, intmax_t));
      } else if (IsLength(len, "z") || IsLength(len, "Z")) {
        Emit(out, conv, width, precision, va_arg(*args, ssize_t));
      } else if (IsLength(len, "t")) {
        Emit(out, conv, width, precision, va_arg(*args, ptrdiff_t));
      } else {
        Emit(out, conv, width, precision, va_arg(*args, int));
      }
      break;
    case 'o':
    case 'u':
    case 'x':
    case 'X':
    case 'b':
    case 'B':
      if (IsLength(len, "l")) {
        Emit(out, conv, width, precision, va_arg(*args, unsigned long));
      } else if (IsLength(len, "ll") || IsLength(len, "q") || IsLength(len, "L")) {
        Emit(out, conv, width, precision, va_arg(*args, unsigned long long));
      } else if (IsLength(len, "j")) {
        Emit(out, conv, width, precision, va_arg(*args, uintmax_t));
      } else if (IsLength(len, "z") || IsLength(len, "Z")) {
        Emit(out, conv, width, precision, va_arg(*args, size_t));
      } else if (IsLength(len, "t")) {
        Emit(out, conv, width, precision, va_arg(*args, ptrdiff_t));
      } else {
        Emit(out, conv, width, precision, va_arg(*args, unsigned int));
      }
      break;
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
      if (IsLength(len, "L")) {
        Emit(out, conv, width, precision, va_arg(*args, long double));
      } else {
        Emit(out, conv, width, precision, va_arg(*args, double));
      }
      break;
    case 'c':
      if (IsLength(len, "l")) {
        Emit(out, conv, width, precision, va_arg(*args, wint_t));
      } else {
        Emit(out, conv, width, precision, va_arg(*args, int));
      }
      break;
    case 'C':
      Emit(out, conv, width, precision, va_arg(*args, wint_t));
      break;
    case 's':
      if (IsLength(len, "l")) {
        Emit(out, conv, width, precision, va_arg(*args, const wchar_t*));
      } else {
        Emit(out, conv, width, precision, va_arg(*args, const char*));
      }
      break;
    case 'S':
      Emit(out, conv, width, precision, va_arg(*args, const wchar_t*));
      break;
    case 'p':
      Emit(out, conv, width, precision, va_arg(*args, const void*));
      break;
    case 'm':
      // The text of errno as it was when formatting began.
      errno = savedErrno;
      Emit(out, conv, width, precision);
      break;
    case 'n': {
      // The count of bytes formatted so far, stored through the pointer
      // (the C library's own %n would count only this one conversion).
      int64 count = out.GetWritten();
      if (IsRefusedField(conv, width)) {
        va_arg(*args, void*);
      } else if (IsLength(len, "hh")) {
        Store<signed char>(args, count);
      } else if (IsLength(len, "h")) {
        Store<short>(args, count);
      } else if (IsLength(len, "l")) {
        Store<long>(args, count);
      } else if (IsLength(len, "ll") || IsLength(len, "q") || IsLength(len, "L")) {
        Store<long long>(args, count);
      } else if (IsLength(len, "j")) {
        Store<intmax_t>(args, count);
      } else if (IsLength(len, "z") || IsLength(len, "Z")) {
        Store<ssize_t>(args, count);
      } else if (IsLength(len, "t")) {
        Store<ptrdiff_t>(args, count);
      } else {
        Store<int>(args, count);
      }
      break;
    }
    default:
      break;
  }
}

// Adds the text of an object conversion (%S, %A, %V); `scratch` is room
// for texts that must be made first.
void AddObjectText(Collector& out, char letter, const void* pointer, VString& scratch) {
  if (pointer != nullptr && VObject::sCppMemMgr != nullptr) {
    pointer = VObject::sCppMemMgr->CheckVObject(pointer);
  }
  if (pointer == nullptr) {
    scratch.FromCString("@@invalid VObject@@");
    out.AddText(scratch);
    return;
  }
  const VObject* object = static_cast<const VObject*>(pointer);
  switch (letter) {
    case 'S':
      // A null string prints as an empty one.
      if (const VString* s = dynamic_cast<const VString*>(object)) {
        out.AddText(*s);
        return;
      }
      scratch.FromCString("@@invalid VString@@");
      break;
    case 'A':
      if (const VValueSingle* v = dynamic_cast<const VValueSingle*>(object)) {
        v->GetString(scratch);
      } else {
        scratch.FromCString("@@invalid VValueSingle@@");
      }
      break;
    default:
      object->DebugDump(scratch);
      break;
  }
  out.AddText(scratch);
}

// Formats into `text`, which no argument may be.
void FormatInto(VString& text, const char* format, va_list args) {
  if (format == nullptr) return;
  const int savedErrno = errno;
  {
    StCLocale cLocale;
    Collector out(text);
    VStr<63> scratch;
    va_list ap;
    va_copy(ap, args);

    int32 formatLength = int32(strnlen(format, size_t(kMaxFormatBytes) + 1));
    if (formatLength > kMaxFormatBytes) formatLength = UTF8Boundary(format, kMaxFormatBytes);
    const char* p = format;
    const char* end = format + formatLength;
    while (p < end && !out.IsFull()) {
      const char* percent = static_cast<const char*>(std::memchr(p, '%', size_t(end - p)));
      if (percent == nullptr) {
        out.AddBytes(p, size_t(end - p));
        break;
      }
      out.AddBytes(p, size_t(percent - p));
      p = percent;
      if (p + 1 >= end) {
        // A "%" that ends the format is written as it stands.
        out.AddBytes(p, 1);
        break;
      }
      const char c = p[1];
      if (c == '%') {
        out.AddBytes(p, 1);
        p += 2;
      } else if (c == 'S' || c == 'A' || c == 'V') {
        AddObjectText(out, c, va_arg(ap, const void*), scratch);
        p += 2;
      } else {
        Conversion conv;
        if (ParseConversion(p, end, conv)) {
          FormatConversion(out, conv, &ap, savedErrno);
          p += conv.textLength;
        } else {
          // Not a conversion: written as it stands, no argument taken.
          out.AddBytes(p, 1);
          ++p;
        }
      }
    }
    out.Flush();
    va_end(ap);
  }
  errno = savedErrno;
}

}  // namespace

void VString::Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  VPrintf(format, args);
  va_end(args);
}

void VString::AppendPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  _Printf(format, args);
  va_end(args);
}

void VString::VPrintf(const char* format, va_list args) {
  // Formatted apart first, so that an argument may be this very string.
  VStr<255> text;
  FormatInto(text, format, args);
  _EmptyForRewrite();
  AppendString(text);
  SetNotNullAndDirty();
}

void VString::_Printf(const char* format, va_list args) {
  VStr<255> text;
  FormatInto(text, format, args);
  AppendString(text);
  SetNotNullAndDirty();
}

void VString::Format(const VValueBag* bag, bool removeMissing) {
  if (bag == nullptr || bag->IsEmpty() || fLength < 2) return;
  VString key;
  VString text;
  int32 pos = 1;
  while (pos < fLength) {
    const int32 open = FindUniChar('{', pos);
    if (open == 0) break;
    if (open < fLength && fString[open] == '{') {
      pos = open + 2;
      continue;
    }
    const int32 close = FindUniChar('}', open + 1);
    if (close == 0) break;
    if (close < fLength && fString[close] == '}') {
      pos = close + 2;
      continue;
    }
    const int32 keyLength = close - open - 1;
    if (keyLength > 0) {
      const int32 space = FindUniChar(' ', open + 1);
      if (space != 0 && space < close) {
        pos = open + 1;
        continue;
      }
    }
    key.FromUniString(fString + open, keyLength);
    // A key that cannot be a bag key (over 255 bytes) names no attribute.
    const StPackedDictionaryKey bagKey(key);
    const VValueSingle* value = bagKey.IsValid() ? bag->GetAttributeValue(bagKey) : nullptr;
    if (value != nullptr) {
      value->GetString(text);
      const int32 before = fLength;
      Replace(text, open, close - open + 1);
      // When the room for the text cannot be had the string is unchanged:
      // go on behind the placeholder.
      if (fLength == before - (close - open + 1) + text.GetLength()) {
        pos = open + text.GetLength();
      } else {
        pos = close + 1;
      }
    } else if (removeMissing) {
      Remove(open, close - open + 1);
      pos = open;
    } else {
      pos = open + 1;
    }
  }
}

}  // namespace zeft
