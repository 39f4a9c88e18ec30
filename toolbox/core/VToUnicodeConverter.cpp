#include "core/VToUnicodeConverter.h"

#include <limits>

#include "core/VString.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

VToUnicodeConverter::~VToUnicodeConverter() = default;

bool VToUnicodeConverter::IsValid() const { return true; }

size_t VToUnicodeConverter::GetCharSize() const { return 2; }

UniChar* VToUnicodeConverter::_PrepareAppend(VString& target, size_t units) {
  const int32 length = target.GetLength();
  const size_t limit = size_t(std::numeric_limits<int32>::max() - length);
  if (units <= limit && target.EnsureSize(length + int32(units))) {
    UniChar* buffer = target.GetCPointerForWrite();
    if (buffer != nullptr) return buffer + length;
  }
  VString text("conversion failed (EnsureSize failed).");
  _ThrowError(ToolboxError(toolbox_error::kTextConversionFailed), &text);
  return nullptr;
}

bool VToUnicodeConverter::ConvertString(const void* source, size_t sourceBytes,
                                        size_t* consumedBytes, VString& target) {
  const int32 startLength = target.GetLength();
  const uint8* src = static_cast<const uint8*>(source);
  size_t remaining = src != nullptr ? sourceBytes : 0;
  size_t consumedTotal = 0;
  bool result = true;
  // Every step makes room for one unit per remaining byte (plus one), which
  // no decoder exceeds; a step that stops early (a sequence cut by the end,
  // an error) is followed by another on the rest while steps produce text.
  for (int step = 0;; ++step) {
    const int32 length = target.GetLength();
    size_t room = remaining + 1;
    const size_t limit = size_t(std::numeric_limits<int32>::max() - length);
    if (room > limit) room = limit;
    // A string already at its largest length gets room for nothing: asking
    // for one unit then fails with the error.
    UniChar* buffer = _PrepareAppend(target, room > 0 ? room : 1);
    if (buffer == nullptr) {
      if (step > 0) target.Truncate(startLength);
      if (consumedBytes != nullptr) *consumedBytes = 0;
      return false;
    }
    size_t consumed = 0;
    int produced = 0;
    bool ok = Convert(src, remaining, &consumed, buffer, int(room), &produced);
    target.Validate(length + produced);
    if (!ok && step > 0) {
      // A failing continuation undoes the whole call.
      target.Truncate(startLength);
      if (consumedBytes != nullptr) *consumedBytes = 0;
      return false;
    }
    if (step == 0) result = ok;
    src += consumed;
    remaining -= consumed;
    consumedTotal += consumed;
    if (remaining == 0 || produced == 0) break;
  }
  if (consumedBytes != nullptr) *consumedBytes = consumedTotal;
  return result;
}

}  // namespace zeft
