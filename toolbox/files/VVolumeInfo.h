// VVolumeInfo is the reference-counted base of volume descriptions; it
// carries nothing of its own.
#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"

namespace zeft {

class VVolumeInfo : public VObject, public IRefCountable {};

}  // namespace zeft
