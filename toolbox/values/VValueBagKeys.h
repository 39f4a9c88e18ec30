// The bag keys the value bag itself defines.
#pragma once

#include "values/StBagKeyWithDefault.h"
#include "values/VUUID.h"

namespace zeft::ValueBagKeys {

// The identifier of the object a bag was saved from; the null UUID when
// absent. Its default needs no memory, so the key is usable at any time.
extern const StBagKeyWithDefault<VUUID, VUUID> uuid;

}  // namespace zeft::ValueBagKeys
