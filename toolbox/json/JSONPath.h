// Small helpers of JSON object paths.
#pragma once

#include "core/VString.h"

namespace zeft {

// True when the text is empty or made of the decimal digits 0 to 9 only.
bool isvalidnumber(const VString& text);

}  // namespace zeft
