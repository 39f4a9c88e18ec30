#include "values/VValueBagKeys.h"

namespace zeft::ValueBagKeys {

const StBagKeyWithDefault<VUUID, VUUID> uuid("uuid", VUUID());

}  // namespace zeft::ValueBagKeys
