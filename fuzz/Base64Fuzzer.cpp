// Base64 both ways, in the standard and the URL-safe alphabet: any bytes
// encode to text that decodes to them; any text that decodes gives bytes
// that encode and decode to themselves.
#include "FuzzSupport.h"
#include "core/CharSet.h"
#include "core/VMemoryBuffer.h"

namespace {

using zeft::VString;
using zeft::fuzz::Require;

bool Same(const zeft::VMemoryBuffer<>& buffer, const void* data, size_t size) {
  return buffer.GetDataSize() == size &&
         (size == 0 || std::memcmp(buffer.GetDataPtr(), data, size) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool url = (data[0] & 1) != 0;
  ++data;
  --size;
  VString encoded;
  Require(encoded.EncodeBase64(data, size, url));
  zeft::VMemoryBuffer<> decoded;
  Require(encoded.DecodeBase64(decoded, url));
  Require(Same(decoded, data, size));

  const VString text(data, size, zeft::kCharSetISO8859_1);
  zeft::VMemoryBuffer<> bytes;
  if (!text.DecodeBase64(bytes, url)) return 0;
  VString again;
  Require(again.EncodeBase64(bytes.GetDataPtr(), bytes.GetDataSize(), url));
  zeft::VMemoryBuffer<> back;
  Require(again.DecodeBase64(back, url));
  Require(Same(back, bytes.GetDataPtr(), bytes.GetDataSize()));
  return 0;
}
