#include "core/MAPM_FloatToReal.h"

#include <locale.h>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "core/CLocale.h"
#include "core/VTypes.h"

namespace zeft {

double MAPM_FloatToReal(const void* number) {
  const uint8* record = static_cast<const uint8*>(number);
  int32 exponent = 0;
  int8 sign = 0;
  int32 count = 0;
  std::memcpy(&exponent, record, sizeof(exponent));
  std::memcpy(&sign, record + 4, sizeof(sign));
  std::memcpy(&count, record + 5, sizeof(count));
  const uint8* digits = record + 9;

  if (sign == 0) return 0.0;
  if (count < 1) return std::numeric_limits<double>::quiet_NaN();

  // Mantissa d1.d2d3... then the exponent less one, parsed in the C locale.
  std::string text;
  text.reserve(size_t(count) + 16);
  if (sign < 0) text += '-';
  for (int32 i = 0; i < count; ++i) {
    const uint8 pair = digits[i / 2];
    if (pair > 99) return std::numeric_limits<double>::quiet_NaN();
    text += char('0' + ((i % 2) == 0 ? pair / 10 : pair % 10));
    if (i == 0) text += '.';
  }
  const int64 shown = int64(exponent) - 1;
  text += 'E';
  if (shown >= 0) text += '+';
  text += std::to_string(shown);

  const locale_t cLocale = GetCLocale();
  if (cLocale == locale_t(nullptr)) return std::numeric_limits<double>::quiet_NaN();
  return strtod_l(text.c_str(), nullptr, cLocale);
}

}  // namespace zeft
