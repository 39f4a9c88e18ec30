#include "values/VArrayWord.h"

namespace zeft {

constinit const VArrayWord::InfoType VArrayWord::sInfo;

}  // namespace zeft
