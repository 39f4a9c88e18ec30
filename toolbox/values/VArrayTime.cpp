#include "values/VArrayTime.h"

namespace zeft {

constinit const VArrayTime::InfoType VArrayTime::sInfo;

}  // namespace zeft
