// SystemVersion names the operating-system releases that
// VSystem::IsSystemVersionOrAbove is asked about.
#pragma once

#include "core/VTypes.h"

namespace zeft {

enum SystemVersion : int32 {
  MAC_OSX_10_9 = 11,
  MAC_OSX_10_10 = 12,
  MAC_OSX_10_11 = 13,
  MAC_OSX_10_12 = 14,
  MAC_OSX_10_13 = 15,
  MAC_OSX_10_14 = 16,
  MAC_OSX_10_15 = 17,
  MAC_OS_11 = 18,
  MAC_OS_12 = 19,
  MAC_OS_13 = 20,
};

}  // namespace zeft
