// Feeds arbitrary bytes to the stream reader of a value kind the first byte
// picks (scalars, strings, times, UUIDs, blobs and every value array), in
// the byte order the second byte picks. A value that reads writes bytes
// that read and write again the same; an array that does not read is
// left empty.
#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "core/CharSet.h"
#include "core/VValue.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"
#include "values/VArrayValue.h"

namespace {

using zeft::fuzz::Require;

constexpr zeft::uint16 kKinds[] = {1,   2,   3,   4,   5,   6,   8,   9,   10,  11,  13,
                                   100, 101, 102, 103, 104, 105, 107, 108, 109, 110, 111};

zeft::VError Read(zeft::VValue& value, const void* data, size_t size, bool swap) {
  zeft::VConstPtrStream stream(data, size);
  stream.SetCharSet(zeft::kCharSetUTF8);
  stream.SetNeedSwap(swap);
  Require(stream.OpenReading() == zeft::VE_OK);
  return value.ReadFromStream(&stream, 0);
}

std::vector<uint8_t> Write(const zeft::VValue& value, bool swap) {
  zeft::VPtrStream stream;
  stream.SetCharSet(zeft::kCharSetUTF8);
  stream.SetNeedSwap(swap);
  stream.OpenWriting();
  Require(value.WriteToStream(&stream, 0) == zeft::VE_OK);
  stream.CloseWriting();
  const void* data = nullptr;
  zeft::int64 size = 0;
  stream.GetUnderlyingData(data, size);
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const zeft::uint16 kind = kKinds[data[0] % (sizeof(kKinds) / sizeof(kKinds[0]))];
  const bool swap = (data[1] & 1) != 0;
  std::unique_ptr<zeft::VValue> value(zeft::VValue::NewValueFromValueKind(kind));
  Require(value != nullptr);
  if (Read(*value, data + 2, size - 2, swap) != zeft::VE_OK) {
    if (auto* array = dynamic_cast<zeft::VArrayValue*>(value.get()))
      Require(array->GetCount() == 0);
    return 0;
  }
  const std::vector<uint8_t> first = Write(*value, swap);
  std::unique_ptr<zeft::VValue> again(zeft::VValue::NewValueFromValueKind(kind));
  Require(Read(*again, first.data(), first.size(), swap) == zeft::VE_OK);
  Require(Write(*again, swap) == first);
  return 0;
}
