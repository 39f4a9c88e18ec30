#include "core/VObject.h"

namespace zeft {

VCppMemMgr* VObject::sCppMemMgr = nullptr;

CharSet VObject::DebugDump(char* /*buffer*/, int& size) const {
  size = 0;
  return static_cast<CharSet>(7);  // UTF-8
}

}  // namespace zeft
