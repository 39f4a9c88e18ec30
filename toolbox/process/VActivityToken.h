// VActivityToken marks a task at work: while one exists, the application's
// HasSomeActivityTokens answers true. Tokens are made and dropped on any
// task once the application object exists.
#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"

namespace zeft {

class VActivityToken : public VObject, public IRefCountable {
 public:
  // Registers with VProcess::sInstance, which must exist.
  explicit VActivityToken(const VString& name);
  ~VActivityToken() override;
  VActivityToken(const VActivityToken&) = delete;
  VActivityToken& operator=(const VActivityToken&) = delete;

  const VString& GetName() const { return fName; }

 private:
  VString fName;
};

}  // namespace zeft
