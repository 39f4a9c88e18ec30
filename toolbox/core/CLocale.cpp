#include "core/CLocale.h"

namespace zeft {

locale_t GetCLocale() {
  static const locale_t sLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
  return sLocale;
}

}  // namespace zeft
