// The JSON form of bags: the writer maps attributes to properties, element
// lists to arrays (or to one object) and the character data to "__CDATA";
// reading is the importer's bag builder, which leaves the marks that make
// the writer give the same shape back.
#include <new>

#include "core/VString.h"
#include "core/VValueSingle.h"
#include "json/JSONStackCheck.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/VErrorThrow.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

constexpr StPackedDictionaryKey kObjectMark("____objectunic");
constexpr StPackedDictionaryKey kPropertyNameInArray("____property_name_in_jsarray");
constexpr StPackedDictionaryKey kFakeArrayElement("____FakeArrayElement");

// Strings between quotes; times at midnight as a date alone.
constexpr uint32 kAttributeValueOptions = 513;

void AppendValue(VString& out, const VValueSingle* value) {
  if (value == nullptr || value->IsNull()) {
    out.AppendCString("null");
    return;
  }
  VString text;
  value->GetJSONString(text, kAttributeValueOptions);
  out.AppendString(text);
}

bool IsMark(const VString& name, const StPackedDictionaryKey& key) {
  return name.EqualToUSASCIICString(key.GetKeyText());
}

}  // namespace

void AppendJSONNewline(VString& out, bool pretty) {
  if (pretty) out.AppendUniChar(u'\n');
}

void AjustJSONTab(VString& out, int level, bool pretty) {
  if (!pretty) return;
  for (int i = 0; i < level; ++i) out.AppendUniChar(u'\t');
}

void AppendBeginJSONObject(VString& out, int& level, bool pretty) {
  AppendJSONNewline(out, pretty);
  AjustJSONTab(out, level, pretty);
  out.AppendUniChar(u'{');
  ++level;
}

void AppendBeginJSONArray(VString& out, int& level, bool pretty) {
  AppendJSONNewline(out, pretty);
  AjustJSONTab(out, level, pretty);
  out.AppendUniChar(u'[');
  ++level;
}

void AppendEndJSONObject(VString& out, int& level, bool pretty) {
  AppendJSONNewline(out, pretty);
  --level;
  AjustJSONTab(out, level, pretty);
  out.AppendUniChar(u'}');
}

void AppendEndJSONArray(VString& out, int& level, bool pretty) {
  AppendJSONNewline(out, pretty);
  --level;
  AjustJSONTab(out, level, pretty);
  out.AppendUniChar(u']');
}

void AppendJSONPropertyName(VString& out, int level, bool pretty, const VString& name) {
  AppendJSONNewline(out, pretty);
  AjustJSONTab(out, level, pretty);
  VString quoted;
  name.GetJSONString(quoted, VString::kJSONWithQuotes);
  out.AppendString(quoted);
  out.AppendCString(pretty ? " : " : ":");
}

VError VValueBag::GetJSONString(VString& out, uint32 options) const {
  out.Clear();
  int level = 0;
  return _GetJSONString(out, level, (options & kJSONPretty) != 0, options);
}

VError VValueBag::_GetJSONString(VString& out, int& level, bool pretty, uint32 options) const {
  if (!JSONHasStackRoom()) return ToolboxError(toolbox_error::kBufferTooLong);
  if (AttributeExists(kFakeArrayElement)) {
    if (const VValueSingle* value = GetAttributeValue(kFakeArrayElement)) {
      AppendValue(out, value);
      return VE_OK;
    }
  }
  AppendBeginJSONObject(out, level, pretty);
  bool first = true;
  VString name;
  const int32 attributes = GetAttributesCount();
  for (int32 n = 1; n <= attributes; ++n) {
    const VValueSingle* value = GetNthAttribute(n, &name);
    if (IsMark(name, kObjectMark) || IsMark(name, kPropertyNameInArray)) continue;
    if (!first) out.AppendUniChar(u',');
    first = false;
    if (IsMark(name, CDataAttributeName())) name.FromCString("__CDATA");
    AppendJSONPropertyName(out, level, pretty, name);
    AppendValue(out, value);
  }
  const int32 elementNames = GetElementNamesCount();
  for (int32 n = 1; n <= elementNames; ++n) {
    const VBagArray* list = GetNthElementName(n, &name);
    if (!first) out.AppendUniChar(u',');
    first = false;
    AppendJSONPropertyName(out, level, pretty, name);
    const VValueBag* only = list != nullptr && list->GetCount() == 1 ? list->GetNth(1) : nullptr;
    VError error = VE_OK;
    if (only != nullptr && ((options & kJSONSingleBagAsObject) != 0 ||
                            only->GetAttributeValue(kObjectMark) != nullptr)) {
      error = only->_GetJSONString(out, level, pretty, options);
    } else if (list != nullptr) {
      error = list->_GetJSONString(out, level, pretty, options);
    } else {
      out.AppendCString("[]");
    }
    if (error != VE_OK) return error;
  }
  AppendEndJSONObject(out, level, pretty);
  return VE_OK;
}

VError VBagArray::_GetJSONString(VString& out, int& level, bool pretty, uint32 options) const {
  AppendBeginJSONArray(out, level, pretty);
  bool first = true;
  for (const VValueBag* bag : fBags) {
    if (!first) out.AppendUniChar(u',');
    first = false;
    const VError error = bag->_GetJSONString(out, level, pretty, options);
    if (error != VE_OK) return error;
  }
  AppendEndJSONArray(out, level, pretty);
  return VE_OK;
}

VError VValueBag::FromJSONString(const VString& json, uint32 options) {
  VJSONImporter importer(json, (options >> 3) & 0x200);
  return importer.JSONObjectToBag(*this);
}

VJSONObject* VValueBag::BuildJSONObject(VError& outError) const {
  VString text;
  outError = GetJSONString(text, 0);
  if (outError != VE_OK) return nullptr;
  VJSONValue value;
  outError = value.ParseFromString(text, true, false);
  if (outError != VE_OK) return nullptr;
  return value.RetainObject();
}

VError VValueBag::GetJSONValue(VJSONValue& out, uint32) const {
  VError error = VE_OK;
  if (VJSONObject* object = BuildJSONObject(error)) {
    out.SetObject(object);
    object->Release();
  } else {
    out.SetUndefined();
  }
  return error;
}

VError VValueBag::FromJSONValue(const VJSONValue& json) {
  VString text;
  const VError error = json.Stringify(text, 1);
  if (error != VE_OK) return error;
  return FromJSONString(text, 0);
}

VError VValueBag::FromBinaryJSONValue(const VJSONValue& json) { return FromJSONValue(json); }

}  // namespace zeft
