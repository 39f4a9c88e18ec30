#include "json/VJSONIter.h"

#include <algorithm>

#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONPropertyIterator.h"
#include "json/VJSONUser.h"

namespace zeft {

VJSONIter::VJSONIter(VJSONArray* array, int32 start, int32 end, bool toEnd) : fContainer(array) {
  const int32 count = array != nullptr ? int32(std::min<size_t>(array->GetCount(), INT32_MAX)) : 0;
  fCurrent = std::max(start < 0 ? start + count : start, 0);
  fEnd = std::min(toEnd ? count : end < 0 ? end + count : end, count);
}

VJSONIter::VJSONIter(VJSONObject* object, int32 start, int32 end, bool toEnd) : fContainer(object) {
  if (object == nullptr) return;
  fImplementation = object->GetImplementation();
  if (fImplementation != nullptr) {
    VObject* made = fImplementation->IJSON_MakeIterator(object, uint64(int64(start)),
                                                        uint64(int64(end)), toEnd);
    fNativeIterator = dynamic_cast<IJSONValueIterator*>(made);
    if (fNativeIterator == nullptr) delete made;
    if (fNativeIterator != nullptr) return;
  }
  for (VJSONPropertyConstOrderedIterator it(object, 0); it.IsValid(); ++it) {
    fKeys.push_back(it.GetName());
  }
}

VJSONIter::~VJSONIter() {
  if (fNativeIterator != nullptr) fNativeIterator->Release();
}

bool VJSONIter::NextValue(VJSONValue& outValue) {
  outValue.SetUndefined();
  if (VJSONArray* array = fContainer.GetArray()) {
    VJSONUser user(array);
    if (fCurrent >= fEnd || size_t(fCurrent) >= array->GetCount()) return false;
    outValue = array->GetAt(size_t(fCurrent++));
    return true;
  }
  if (fNativeIterator != nullptr) return fNativeIterator->NextValue(outValue);
  if (fKeyCursor >= fKeys.size()) return false;
  outValue.SetString(fKeys[fKeyCursor++]);
  return true;
}

}  // namespace zeft
