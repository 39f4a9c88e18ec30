#include "json/VJSONArrayWriter.h"

#include "core/VReal.h"
#include "core/VValueSingle.h"

namespace zeft {

VJSONArrayWriter::VJSONArrayWriter() { _Reset(); }

void VJSONArrayWriter::_Reset() {
  fText.FromCString("[]");
  fClosed = true;
}

void VJSONArrayWriter::_Reopen() {
  if (!fClosed) return;
  fText.Truncate(fText.GetLength() - 1);
  fClosed = false;
}

void VJSONArrayWriter::_AppendElement(const VString& text) {
  _Reopen();
  fText.AppendString(text);
  fText.AppendUniChar(u',');
}

void VJSONArrayWriter::Add(const VValueSingle& value, uint32 options) {
  VString text;
  if (value.GetJSONString(text, options) != VE_OK) return;
  _AppendElement(text);
}

void VJSONArrayWriter::AddString(const char* text, uint32 options) {
  if (text == nullptr) return;
  _Reopen();
  Add(VString(text), options);
}

void VJSONArrayWriter::AddString(const VString& text, uint32 options) {
  VString json;
  text.GetJSONString(json, options);
  _AppendElement(json);
}

void VJSONArrayWriter::AddBool(bool value) { _AppendElement(VString(value ? "true" : "false")); }

void VJSONArrayWriter::AddLong(int32 value) {
  VString text;
  text.FromLong(value);
  _AppendElement(text);
}

void VJSONArrayWriter::AddReal(double value) {
  VString text;
  VReal::RealToXMLString(value, text);
  _AppendElement(text);
}

void VJSONArrayWriter::AddLongs(const int32* values, int32 count) {
  if (values == nullptr) return;
  for (int32 i = 0; i < count; ++i) AddLong(values[i]);
}

void VJSONArrayWriter::AddWords(const int16* values, int32 count) {
  if (values == nullptr) return;
  for (int32 i = 0; i < count; ++i) AddLong(values[i]);
}

void VJSONArrayWriter::AddBools(const char* values, int32 count) {
  if (values == nullptr) return;
  for (int32 i = 0; i < count; ++i) AddBool(values[i] != 0);
}

void VJSONArrayWriter::AddReals(const double* values, int32 count) {
  if (values == nullptr) return;
  for (int32 i = 0; i < count; ++i) AddReal(values[i]);
}

void VJSONArrayWriter::AddStrings(const std::vector<VString>& texts, uint32 options) {
  for (const VString& text : texts) AddString(text, options);
}

void VJSONArrayWriter::AddJSONArray(VJSONArrayWriter& other) {
  other.Close();
  const VString taken = other.fText;
  other._Reset();
  _AppendElement(taken);
}

void VJSONArrayWriter::Close() {
  if (fClosed) return;
  if (fText.IsNull() || fText.IsEmpty()) {
    _Reset();
    return;
  }
  if (!fText.EqualToUSASCIICString("[")) fText.Truncate(fText.GetLength() - 1);
  fText.AppendUniChar(u']');
  fClosed = true;
}

void VJSONArrayWriter::GetArray(VString& out, bool keep) {
  Close();
  out = fText;
  if (!keep) _Reset();
}

}  // namespace zeft
