#include "values/VArrayLong8.h"

namespace zeft {

constinit const VArrayLong8::InfoType VArrayLong8::sInfo;

}  // namespace zeft
