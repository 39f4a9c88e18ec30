// The C library's "C" locale, made once for the process: the toolbox prints
// and parses numbers with its conventions whatever the process locale.
#pragma once

#include <locale.h>

namespace zeft {

// Null only when the C library cannot make the locale.
locale_t GetCLocale();

}  // namespace zeft
