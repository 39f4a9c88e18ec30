// Helpers shared by the stream tests.
#pragma once

#include <vector>

#include "core/CharSet.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"

namespace zeft::stream_test {

using Bytes = std::vector<uint8>;

constexpr VError Err(int32 number) { return ToolboxError(number); }

// The bytes a memory stream holds.
inline Bytes Contents(const VStream& stream) {
  const void* data = nullptr;
  int64 size = 0;
  stream.GetUnderlyingData(data, size);
  const uint8* bytes = static_cast<const uint8*>(data);
  return size > 0 ? Bytes(bytes, bytes + size) : Bytes();
}

// Memory streams whose text is UTF-8: opening a stream needs a converter
// for its char set, and the tests should not depend on which converter
// serves the system's default 8-bit set.
class TestPtrStream : public VPtrStream {
 public:
  TestPtrStream() { SetCharSet(kCharSetUTF8); }
};

class TestConstPtrStream : public VConstPtrStream {
 public:
  TestConstPtrStream(const void* data, uint64 size) : VConstPtrStream(data, size) {
    SetCharSet(kCharSetUTF8);
  }
};

}  // namespace zeft::stream_test
