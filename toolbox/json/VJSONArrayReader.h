// VJSONArrayReader reads the scalar elements of a JSON array text into
// plain arrays of numbers, booleans or strings. Nested arrays are skipped;
// the names and values inside object elements read as values. A text that
// is not an array it can read keeps error 550, answered by every accessor.
#pragma once

#include <vector>

#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VString.h"

namespace zeft {

class VJSONArrayReader : public VObject {
 public:
  VJSONArrayReader() = default;
  explicit VJSONArrayReader(const VString& text);

  void FromJSONString(const VString& text);
  int32 GetCountOfElements(VError* error) const;

  // Each destination must hold the count of items.
  VError ToArrayShort(int16* out) const;
  VError ToArrayLong(int32* out) const;
  VError ToArrayReal(double* out) const;
  VError ToArrayBool(char* out) const;
  VError ToArrayString(std::vector<VString>& out, bool append) const;

 private:
  void _Parse(const VString& text);
  template <class T, class Convert>
  VError _ToArray(T* out, Convert convert) const;

  VError fError = VE_OK;
  std::vector<VString> fValues;
  int32 fCount = 0;
};

}  // namespace zeft
