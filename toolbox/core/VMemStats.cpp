#include "core/VMemStats.h"

#include <string>

#include "core/CharSet.h"
#include "core/VString.h"
#include "files/VStream.h"

namespace zeft {

void VMemStats::Clear() {
  fFreeMem = 0;
  fUsedMem = 0;
  fNbPages = 0;
  fNbObjects = 0;
  fNbSmallBlocks = 0;
  fNbFreeSmallBlocks = 0;
  fNbUsedSmallBlocks = 0;
  fNbBigBlocks = 0;
  fNbFreeBigBlocks = 0;
  fNbUsedBigBlocks = 0;
  fBiggestBlock = 0;
  fBiggestFreeBlock = 0;
}

void VMemStats::ClearTables() {
  fObjectsByClass.clear();
  fBlocksByTag.clear();
  fSmallBlocksBySize.clear();
  fAllocationPagesBySize.clear();
  fOtherBlocksBySize.clear();
  fBlockMap.clear();
}

namespace {

// Writes UTF-8 text; the stream keeps its first error.
VError PutUTF8(VStream* stream, const std::string& text) {
  return stream->PutText(VString(text.data(), text.size(), kCharSetUTF8));
}

std::string CountLine(const std::string& name, int32 count, int64 mem) {
  return name + " : " + std::to_string(count) + "   ,  mem = " + std::to_string(mem) + "\n";
}

}  // namespace

VError VMemStats::DumpToStream(VStream* stream) const {
  if (stream == nullptr) return ToolboxError(toolbox_error::kInvalidParameter);
  std::string head = "Used Mem = " + std::to_string(fUsedMem) + "\n";
  head += "Free Mem = " + std::to_string(fFreeMem) + "\n";
  head += "Biggest Free Block = " + std::to_string(fBiggestFreeBlock) + "\n";
  head += "\n\n";
  head += "Nb Objects = " + std::to_string(fNbObjects) + "\n";
  head += "\n\n";
  VError error = PutUTF8(stream, head);
  for (const auto& [type, objects] : fObjectsByClass)
    error = PutUTF8(stream, CountLine(type.name(), objects.fCount, objects.fMem));
  error = PutUTF8(stream, "\n\nBlocks by Tags\n\n");
  for (const auto& [tag, blocks] : fBlocksByTag) {
    const char name[4] = {char(tag >> 24), char(tag >> 16), char(tag >> 8), char(tag)};
    error = PutUTF8(stream, CountLine(std::string(name, 4), blocks.fCount, blocks.fMem));
  }
  // A write that failed is not a report written.
  return error;
}

}  // namespace zeft
