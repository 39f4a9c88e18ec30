#include "core/VObject.h"

#include "core/CharSet.h"
#include "core/VString.h"

namespace zeft {

VCppMemMgr* VObject::sCppMemMgr = nullptr;

CharSet VObject::DebugDump(char* /*buffer*/, int& size) const {
  size = 0;
  return kCharSetUTF8;
}

void VObject::DebugDump(VString& dump) const {
  char buffer[1024];
  int size = int(sizeof(buffer));
  const CharSet set = DebugDump(buffer, size);
  // A dump that claims more than the buffer is cut to the buffer.
  if (size < 0) size = 0;
  if (size > int(sizeof(buffer))) size = int(sizeof(buffer));
  dump.FromBlock(buffer, size_t(size), set);
}

void VObject::DebugGetClassName(VString& name) const { name.Clear(); }

}  // namespace zeft
