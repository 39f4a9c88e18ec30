#include "values/mac/XMacUUID.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "values/VUUID.h"

namespace zeft {

bool XMacUUID::Generate(VUUIDBuffer* buffer) {
  uint8 bytes[sizeof(buffer->fBytes)];
  size_t filled = 0;
  while (filled < sizeof(bytes)) {
    const ssize_t got = getrandom(bytes + filled, sizeof(bytes) - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    filled += size_t(got);
  }
  // Version 4 (random), variant 10xx.
  bytes[6] = uint8((bytes[6] & 0x0F) | 0x40);
  bytes[8] = uint8((bytes[8] & 0x3F) | 0x80);
  std::memcpy(buffer->fBytes, bytes, sizeof(bytes));
  return true;
}

}  // namespace zeft
