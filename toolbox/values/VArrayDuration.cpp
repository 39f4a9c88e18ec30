#include "values/VArrayDuration.h"

namespace zeft {

constinit const VArrayDuration::InfoType VArrayDuration::sInfo;

}  // namespace zeft
