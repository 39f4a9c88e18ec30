#include "core/VFromUnicodeConverter.h"

#include "core/UTF16Surrogates.h"
#include "core/VCppMemMgr.h"
#include "core/VString.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

// Memory tag of the blocks ConvertRealloc allocates.
constexpr int32 kConvertedTextTag = int32(FourCC("cvrt"));

void ThrowMemFailure() {
  VString text("mem failure");
  _ThrowError(ToolboxError(toolbox_error::kTextConversionFailed), &text);
}

}  // namespace

VFromUnicodeConverter::~VFromUnicodeConverter() = default;

bool VFromUnicodeConverter::IsValid() const { return true; }

bool VFromUnicodeConverter::ConvertLoneHighSurrogate(UniChar, void*, size_t,
                                                     size_t* producedBytes) {
  if (producedBytes != nullptr) *producedBytes = 0;
  return false;
}

// grow(total) must give a block of at least `total` bytes whose first
// heldBytes are kept, or null. Each round grows the block to room for the
// rest and converts while steps produce bytes. The first round allows
// GetCharSize() bytes per unit; a later one, needed because the text took
// more than that, allows the bytes per unit seen so far (rounded up), so
// that text of wide characters needs two rounds rather than one per
// fraction converted. A round that consumes nothing cannot be helped by
// more room: the rest is then a high surrogate ending the text (encoded on
// its own), or the conversion fails.
template <class Grow>
bool VFromUnicodeConverter::_ConvertGrowing(const UniChar* source, int count, size_t heldBytes,
                                            size_t trailingBytes, Grow grow,
                                            size_t& producedBytes) {
  size_t produced = 0;
  size_t consumedUnits = 0;
  if (source == nullptr || count < 0) count = 0;
  for (;;) {
    size_t bytesPerUnit = GetCharSize();
    if (consumedUnits > 0) {
      const size_t seen = (produced + consumedUnits - 1) / consumedUnits;
      if (seen > bytesPerUnit) bytesPerUnit = seen;
    }
    const size_t total = heldBytes + produced + trailingBytes + bytesPerUnit * (size_t(count) + 2);
    uint8* block = static_cast<uint8*>(grow(total));
    if (block == nullptr) {
      ThrowMemFailure();
      return false;
    }
    uint8* const base = block + heldBytes;
    const size_t room = total - heldBytes - trailingBytes;
    bool progressed = false;
    while (count > 0) {
      int consumed = 0;
      size_t stepProduced = 0;
      if (!Convert(source, count, &consumed, base + produced, room - produced, &stepProduced))
        return false;
      source += consumed;
      count -= consumed;
      consumedUnits += size_t(consumed);
      produced += stepProduced;
      progressed = progressed || consumed > 0;
      if (stepProduced == 0) break;
    }
    if (count == 0) break;
    if (!progressed) {
      if (count != 1 || !IsHighSurrogate(*source)) return false;
      size_t stepProduced = 0;
      if (!ConvertLoneHighSurrogate(*source, base + produced, room - produced, &stepProduced))
        return false;
      produced += stepProduced;
      break;
    }
  }
  producedBytes = produced;
  return true;
}

bool VFromUnicodeConverter::ConvertRealloc(const UniChar* source, int count, void*& block,
                                           size_t& producedBytes, size_t trailingBytes) {
  const size_t held = producedBytes;
  auto grow = [&block](size_t total) -> void* {
    void* grown = block != nullptr ? VObject::sCppMemMgr->Realloc(block, total)
                                   : VObject::sCppMemMgr->Malloc(total, false, kConvertedTextTag);
    if (grown != nullptr) block = grown;
    return grown;
  };
  size_t produced = 0;
  if (!_ConvertGrowing(source, count, held, trailingBytes, grow, produced)) return false;
  producedBytes = held + produced;
  return true;
}

bool VFromUnicodeConverter::ConvertToBuffer(const UniChar* source, int count,
                                            VMemoryBuffer<>& buffer, size_t trailingBytes) {
  const size_t held = buffer.GetDataSize();
  auto grow = [&buffer](size_t total) -> void* {
    if (total > buffer.GetAllocatedSize() && !buffer.SetAllocatedSize(total)) return nullptr;
    return buffer.GetDataPtr();
  };
  size_t produced = 0;
  if (!_ConvertGrowing(source, count, held, trailingBytes, grow, produced)) return false;
  return buffer.SetSize(held + produced + trailingBytes);
}

}  // namespace zeft
