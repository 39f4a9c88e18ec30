// VJSONArrayWriter builds the JSON text of an array piece by piece from
// plain numbers, booleans, strings and typed values. It starts as the
// empty array "[]".
#pragma once

#include <vector>

#include "core/VString.h"

namespace zeft {

class VValueSingle;

class VJSONArrayWriter {
 public:
  VJSONArrayWriter();

  // Nothing is added when the value has no JSON text.
  void Add(const VValueSingle& value, uint32 options);
  void AddString(const char* text, uint32 options);
  void AddString(const VString& text, uint32 options);
  void AddBool(bool value);
  void AddLong(int32 value);
  // The number's XML text (infinities as INF).
  void AddReal(double value);
  void AddLongs(const int32* values, int32 count);
  void AddWords(const int16* values, int32 count);
  void AddBools(const char* values, int32 count);
  void AddReals(const double* values, int32 count);
  void AddStrings(const std::vector<VString>& texts, uint32 options);
  // Closes `other`, takes its text as one element and leaves it "[]".
  void AddJSONArray(VJSONArrayWriter& other);

  void Close();
  // Closes and copies the text; unless `keep`, starts a new empty array.
  void GetArray(VString& out, bool keep);

 private:
  void _Reopen();
  void _AppendElement(const VString& text);
  void _Reset();

  VString fText;
  bool fClosed = true;
};

}  // namespace zeft
