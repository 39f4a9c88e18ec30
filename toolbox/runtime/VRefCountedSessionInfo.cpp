#include "runtime/VRefCountedSessionInfo.h"

namespace zeft {

VRefCountedSessionInfo::~VRefCountedSessionInfo() {
  for (VProgressIndicatorInfo* record : fRecords) delete record;
}

}  // namespace zeft
