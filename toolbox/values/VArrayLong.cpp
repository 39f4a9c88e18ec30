#include "values/VArrayLong.h"

namespace zeft {

constinit const VArrayLong::InfoType VArrayLong::sInfo;

}  // namespace zeft
