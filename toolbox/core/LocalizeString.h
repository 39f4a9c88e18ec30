// LocalizeString is the toolbox's one-call look-up of a localized string by
// key, with a default text when no translation is found.
#pragma once

#include "core/VString.h"

namespace zeft {

// The process localizer's text for `key`; when there is none, the default
// text (8-bit, UTF-8), or an empty string when that is null.
VString LocalizeString(const VString& key, const char* defaultText);

}  // namespace zeft
