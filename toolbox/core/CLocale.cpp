#include "core/CLocale.h"

namespace zeft {

locale_t GetCLocale() {
  static const locale_t sLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
  return sLocale;
}

size_t FormatTimeInCLocale(char* buffer, size_t size, const char* format, const std::tm& time) {
  if (locale_t c = GetCLocale(); c != nullptr) return strftime_l(buffer, size, format, &time, c);
  return std::strftime(buffer, size, format, &time);
}

}  // namespace zeft
