// The platform converter factory of XMacIntlMgr: the character-set registry
// asks it for every set without a built-in converter.
#include "core/mac/XMacFromUnicodeConverter.h"
#include "core/mac/XMacIntlMgr.h"
#include "core/mac/XMacToUnicodeConverter.h"

namespace zeft {

VToUnicodeConverter* XMacIntlMgr::NewToUnicodeConverter(CharSet set) {
  auto* converter = new XMacToUnicodeConverter(set);
  if (converter->IsValid()) return converter;
  converter->Release();
  return nullptr;
}

VFromUnicodeConverter* XMacIntlMgr::NewFromUnicodeConverter(CharSet set) {
  auto* converter = new XMacFromUnicodeConverter(set);
  if (converter->IsValid()) return converter;
  converter->Release();
  return nullptr;
}

}  // namespace zeft
