// XMacUUID makes new identifiers for VUUID: random (version 4) UUIDs from
// the kernel's random source.
#pragma once

namespace zeft {

struct VUUIDBuffer;

class XMacUUID {
 public:
  XMacUUID() = delete;

  // Fills the buffer with a new identifier; false (buffer unchanged) when
  // no random bytes can be had.
  static bool Generate(VUUIDBuffer* buffer);
};

}  // namespace zeft
