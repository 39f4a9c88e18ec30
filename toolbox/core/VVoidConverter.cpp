#include "core/VVoidConverter.h"

namespace zeft {

bool VToUnicodeConverter_Void::Convert(const void*, size_t, size_t* consumedBytes, UniChar*, int,
                                       int* producedChars) {
  if (consumedBytes != nullptr) *consumedBytes = 0;
  if (producedChars != nullptr) *producedChars = 0;
  return false;
}

bool VFromUnicodeConverter_Void::Convert(const UniChar*, int, int* consumedChars, void*, size_t,
                                         size_t* producedBytes) {
  if (consumedChars != nullptr) *consumedChars = 0;
  if (producedBytes != nullptr) *producedBytes = 0;
  return false;
}

}  // namespace zeft
