// The C library's "C" locale, made once for the process: the toolbox prints
// and parses numbers, and writes the dates of its log files, with its
// conventions whatever the process locale.
#pragma once

#include <locale.h>

#include <cstddef>
#include <ctime>

namespace zeft {

// Null only when the C library cannot make the locale.
locale_t GetCLocale();

// `time` written by strftime's `format` in the C locale's words (in the
// process locale's when the C locale cannot be made): the length written
// into `buffer`, 0 when it does not fit.
size_t FormatTimeInCLocale(char* buffer, size_t size, const char* format, const std::tm& time);

}  // namespace zeft
