// VJSONBinaryImporter reads one value written by VJSONBinaryWriter back
// from a byte range it does not own. The range is untrusted: every length,
// count, block size and skip is checked against the bytes left (toolbox
// error 200 when it overruns), nesting is bounded by the stack guard, and
// references are followed as path pointers over the containers already
// read, so shared containers and cycles come back as they were.
#pragma once

#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "json/VJSONValue.h"

namespace zeft {

class VJSONArray;
class VJSONObject;
class VJSONStamp;

class VJSONBinaryImporter : public VObject {
 public:
  // `stamp` (optional) is given to every container made.
  VJSONBinaryImporter(const void* data, size_t size, VJSONStamp* stamp = nullptr);
  ~VJSONBinaryImporter() override;
  VJSONBinaryImporter(const VJSONBinaryImporter&) = delete;
  VJSONBinaryImporter& operator=(const VJSONBinaryImporter&) = delete;

  // The value, or what was built before the first error.
  VError GetValue(VJSONValue& outValue);

 private:
  // Reads a tag and its body; a container is made empty and flagged for
  // its contents, which the caller reads once the container is in place.
  VError _ReadValue(VJSONValue& value, bool& hasContents);
  VError _ReadContents(VJSONValue& value);
  VError _ReadObjectContents(VJSONObject* object);
  VError _ReadArrayContents(VJSONArray* array);
  VError _ReadBlock(VJSONObject* object);
  void _Resolve(const VString& pointer, VJSONValue& value) const;

  bool _Has(size_t bytes) const { return bytes <= fSize - fPosition; }
  uint8 _U8() { return fData[fPosition++]; }
  uint16 _U16();
  uint32 _U32();
  uint64 _U64();
  // `count` UTF-16 units; false (nothing read) when they do not fit.
  bool _ReadText(uint64 count, VString& text);

  VJSONStamp* fStamp;
  const uint8* fData;
  size_t fSize;
  size_t fPosition = 0;
  VJSONValue fTop;
};

}  // namespace zeft
