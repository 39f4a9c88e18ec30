#include "runtime/mac/XMacStackCrawl.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/CharSet.h"
#include "core/VString.h"
#include "process/VSystem.h"

namespace zeft {

void XMacStackCrawl::LoadFrames(uint32 skip, uint32 max) {
  void* frames[kCaptureDepth];
  const int captured = backtrace(frames, kCaptureDepth);
  if (captured < 0 || uint32(captured) <= skip) {
    fCount = 0;
    return;
  }
  const uint32 kept = std::min({uint32(captured) - skip, max, uint32(kMaxFrames)});
  std::copy(frames + skip, frames + skip + kept, fFrames);
  fCount = int32(kept);
}

void XMacStackCrawl::Dump(FILE* stream) const {
  if (fCount < 1 || stream == nullptr) return;
  char** symbols = backtrace_symbols(fFrames, fCount);
  if (symbols == nullptr) return;
  for (int32 i = 0; i < fCount; ++i) {
    std::fprintf(stream, "  :: frame %u: %s\n", unsigned(fCount - 1 - i), symbols[i]);
  }
  std::free(symbols);
}

void XMacStackCrawl::Dump(VString& out) const {
  VString address;
  VString name;
  for (int32 i = 0; i < fCount; ++i) {
    Dl_info info{};
    if (dladdr(fFrames[i], &info) != 0 && info.dli_sname != nullptr) {
      VSystem::DemangleSymbol(info.dli_sname, name);
    } else {
      name = VString("<inline>");
    }
    address.FromHexLong(uint64(reinterpret_cast<uintptr_t>(fFrames[i])), true);
    out.AppendCString("   {");
    out.AppendLong(fCount - 1 - i);
    out.AppendCString("} ");
    out += address;
    out.AppendCString(" - ");
    out += name;
    out.AppendUniChar(u'\n');
  }
}

bool XMacStackCrawl::operator<(const XMacStackCrawl& other) const {
  if (fCount != other.fCount) return fCount < other.fCount;
  for (int32 i = 0; i < fCount; ++i) {
    if (fFrames[i] != other.fFrames[i]) {
      return reinterpret_cast<uintptr_t>(fFrames[i]) <
             reinterpret_cast<uintptr_t>(other.fFrames[i]);
    }
  }
  return false;
}

}  // namespace zeft
