// LocalizeString is the toolbox's one-call look-up of a localized string by
// key, with a default text when no translation is found. The look-up itself
// is a hook that the application frame installs when it starts and removes
// when it goes, so that core needs nothing of the layers that localize.
#pragma once

#include "core/VString.h"

namespace zeft {

// Fills `text` with the translation of `key`; false when there is none.
using LocalizeStringHook = bool (*)(const VString& key, VString& text);

// Installs the look-up (null removes it). Thread-safe.
void SetLocalizeStringHook(LocalizeStringHook hook);

// The installed look-up's text for `key`; when there is none, the default
// text (8-bit, UTF-8), or an empty string when that is null.
VString LocalizeString(const VString& key, const char* defaultText);

}  // namespace zeft
