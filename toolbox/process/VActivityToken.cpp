#include "process/VActivityToken.h"

#include "process/VProcess.h"

namespace zeft {

VActivityToken::VActivityToken(const VString& name) : fName(name) {
  if (VProcess::sInstance != nullptr) VProcess::sInstance->RegisterActivityToken(this);
}

VActivityToken::~VActivityToken() {
  if (VProcess::sInstance != nullptr) VProcess::sInstance->UnregisterActivityToken(this);
}

}  // namespace zeft
