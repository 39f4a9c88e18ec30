// VJSONIter iterates over the element values of a JSON array (a window of
// it) or the property names of a JSON object, and can serve as the native
// implementation of a JSON object.
#pragma once

#include <vector>

#include "core/VObject.h"
#include "core/VString.h"
#include "json/IJSONObject.h"
#include "json/VJSONValue.h"

namespace zeft {

class VJSONArray;
class VJSONObject;

// What a native implementation's IJSON_MakeIterator object must answer.
class IJSONValueIterator : public IRefCountable {
 public:
  virtual bool NextValue(VJSONValue& outValue) = 0;
};

class VJSONIter : public VObject, public IJSONObject {
 public:
  // Negative positions count from the end; `toEnd` ignores `end`.
  VJSONIter(VJSONArray* array, int32 start, int32 end, bool toEnd);
  VJSONIter(VJSONObject* object, int32 start, int32 end, bool toEnd);
  ~VJSONIter() override;

  // The next element, or the next property name as a string; false at the end.
  bool NextValue(VJSONValue& outValue);

 private:
  VJSONValue fContainer;
  std::vector<VString> fKeys;
  size_t fKeyCursor = 0;
  int32 fEnd = 0;
  int32 fCurrent = 0;
  IJSONObject* fImplementation = nullptr;
  IJSONValueIterator* fNativeIterator = nullptr;
};

}  // namespace zeft
