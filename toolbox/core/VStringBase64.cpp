// Base64 coding of a string's content (the coding itself is Base64Coder's).
#include <cstring>

#include "core/Base64Coder.h"
#include "core/StStringConverter.h"
#include "core/VCppMemMgr.h"
#include "core/VString.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

bool VString::EncodeBase64(const void* data, size_t size, bool url) {
  VMemoryBuffer<> text;
  if (!Base64Coder::_Encode(data, size, text, 0, url)) return false;
  const size_t count = text.GetDataSize();
  if (count > size_t(0x7FFFFFFF)) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return false;
  }
  if (!_EnsureSize(int32(count), false)) return false;
  const uint8* bytes = static_cast<const uint8*>(text.GetDataPtr());
  for (size_t i = 0; i < count; ++i) fString[i] = bytes[i];
  _SetLengthAndTerminate(int32(count));
  return true;
}

bool VString::EncodeBase64(CharSet set, bool url) {
  if (fLength == 0) return true;
  StStringConverter<char> bytes(*this, set, kCRModeNone);
  if (!bytes.IsOK()) return false;
  return EncodeBase64(bytes.GetBytes(), bytes.GetSize(), url);
}

bool VString::DecodeBase64(VMemoryBuffer<>& out, bool url) const {
  if (fLength == 0) {
    out.SetAllocatedSize(0);
    return true;
  }
  // The text as bytes: short texts on the stack, others in a block.
  uint8 stackBytes[512];
  uint8* bytes = stackBytes;
  if (size_t(fLength) > sizeof(stackBytes)) {
    bytes = sCppMemMgr != nullptr
                ? static_cast<uint8*>(sCppMemMgr->Malloc(size_t(fLength), false, kMemoryBufferTag))
                : nullptr;
    if (bytes == nullptr) {
      _ThrowError(ToolboxError(toolbox_error::kMemoryFull));
      return false;
    }
  }
  bool ascii = true;
  for (int32 i = 0; i < fLength; ++i) {
    const UniChar c = fString[i];
    if (c >= 0x80) {
      ascii = false;
      break;
    }
    bytes[i] = uint8(c);
  }
  bool ok = false;
  if (!ascii) {
    _ThrowError(ToolboxError(toolbox_error::kNotASCII));
  } else {
    ok = Base64Coder::Decode(bytes, size_t(fLength), out, url);
  }
  if (bytes != stackBytes) sCppMemMgr->Free(bytes);
  return ok;
}

bool VString::DecodeBase64(CharSet set, bool url) {
  if (fLength == 0) return true;
  VMemoryBuffer<> decoded;
  if (!DecodeBase64(decoded, url)) return false;
  if (decoded.GetDataSize() == 0) {
    // Nothing but white space: the content becomes empty.
    Clear();
  } else {
    FromBlock(decoded.GetDataPtr(), decoded.GetDataSize(), set);
  }
  return true;
}

}  // namespace zeft
