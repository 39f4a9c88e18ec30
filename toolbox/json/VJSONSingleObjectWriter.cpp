#include "json/VJSONSingleObjectWriter.h"

#include "core/VValueSingle.h"

namespace zeft {

VJSONSingleObjectWriter::VJSONSingleObjectWriter() : fText("{") {}

bool VJSONSingleObjectWriter::AddMember(const VString& name, const VValueSingle& value,
                                        uint32 options) {
  VString text;
  if (value.GetJSONString(text, options) != VE_OK || name.IsNull() || name.IsEmpty()) {
    return false;
  }
  if (fClosed) {
    fText.Truncate(fText.GetLength() - 1);
    fClosed = false;
  }
  if (fMemberCount > 0) fText.AppendUniChar(u',');
  fText.AppendUniChar(u'"');
  fText.AppendString(name);
  fText.AppendCString("\":");
  fText.AppendString(text);
  ++fMemberCount;
  return true;
}

void VJSONSingleObjectWriter::GetObject(VString& out) {
  if (!fClosed) {
    fText.AppendUniChar(u'}');
    fClosed = true;
  }
  out = fText;
}

}  // namespace zeft
