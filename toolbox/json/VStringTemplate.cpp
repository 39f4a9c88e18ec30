// Filling a text template from a JSON object: "{{path}}" placeholders take
// the text of the values the paths name; kept with the JSON model it reads.
#include "core/VString.h"
#include "json/VJSONObject.h"

namespace zeft {

void VString::FormatWithTemplate(const VJSONObject* values, VString& out) const {
  out.Clear();
  const VString open("{{");
  const VString close("}}");
  std::vector<VString> pieces;
  GetSubStrings(open, pieces, true, false, true);
  std::vector<VString> parts;
  VString text;
  for (const VString& piece : pieces) {
    piece.GetSubStrings(close, parts, true, false, true);
    if (parts.size() < 2) {
      out.AppendString(piece);
      continue;
    }
    if (values != nullptr) {
      const VJSONValue value = values->GetPropertyWithPath(parts[0]);
      if (!value.IsNull() && !value.IsUndefined()) {
        value.GetString(text);
        out.AppendString(text);
      }
    }
    for (size_t i = 1; i < parts.size(); ++i) out.AppendString(parts[i]);
  }
}

}  // namespace zeft
