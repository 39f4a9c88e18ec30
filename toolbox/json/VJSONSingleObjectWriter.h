// VJSONSingleObjectWriter builds the JSON text of a flat object member by
// member from typed values. Names are written as given, not escaped.
#pragma once

#include "core/VObject.h"
#include "core/VString.h"

namespace zeft {

class VValueSingle;

class VJSONSingleObjectWriter : public VObject {
 public:
  VJSONSingleObjectWriter();

  // False (nothing added) for an empty name or a value without JSON text.
  bool AddMember(const VString& name, const VValueSingle& value, uint32 options);
  // Closes the text and copies it; members may still be added afterwards.
  void GetObject(VString& out);

 private:
  VString fText;
  bool fClosed = false;
  int32 fMemberCount = 0;
};

}  // namespace zeft
