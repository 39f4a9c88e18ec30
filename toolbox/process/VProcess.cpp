#include "process/VProcess.h"

namespace zeft {

VProcess* VProcess::sInstance = nullptr;

VProcess::VProcess() { sInstance = this; }

VProcess::~VProcess() {
  if (sInstance == this) sInstance = nullptr;
}

}  // namespace zeft
