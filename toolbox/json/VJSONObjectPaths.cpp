// Paths, merging and cloning of JSON objects: operations on a whole object
// or reaching into nested containers, built on the single-property ones.
#include "json/JSONPath.h"
#include "json/JSONToolboxError.h"
#include "json/VJSONArray.h"
#include "json/VJSONCloner.h"
#include "json/VJSONObject.h"
#include "json/VJSONPropertyIterator.h"
#include "json/VJSONUser.h"
#include "json/VStorageLocker.h"

namespace zeft {

bool isvalidnumber(const VString& text) {
  for (int32 i = 0; i < text.GetLength(); ++i) {
    const UniChar c = text.GetCPointer()[i];
    if (c < u'0' || c > u'9') return false;
  }
  return true;
}

namespace {

const VString kLength("length");

// A new private container for the step after `next`.
VJSONValue NewContainerFor(const VString& next) {
  return VJSONValue(isvalidnumber(next) ? JSON_array : JSON_object);
}

}  // namespace

VError VJSONObject::ExtractPath(const VString& path, std::vector<VString>& steps) {
  steps.clear();
  std::vector<VString> parts;
  path.GetSubStrings(u'.', parts, true, true);
  if (parts.empty()) parts.emplace_back();
  for (const VString& part : parts) {
    if (part.FindUniChar(u'[') == 0) {
      steps.push_back(part);
      if (part.IsEmpty()) return ThrowJSONToolboxError(json_error::kPathEmptyStep);
      continue;
    }
    std::vector<VString> pieces;
    part.GetSubStrings(u'[', pieces, true, true);
    for (size_t i = 0; i < pieces.size(); ++i) {
      VString piece = pieces[i];
      VError error = VE_OK;
      if (i == 0) {
        if (piece.IsEmpty()) error = json_error::kPathEmptyStep;
      } else if (piece.IsEmpty() || piece.GetUniChar(piece.GetLength()) != u']') {
        error = json_error::kPathMissingBracket;
      } else {
        piece.Truncate(piece.GetLength() - 1);
        if (piece.IsEmpty()) error = json_error::kPathEmptyStep;
      }
      steps.push_back(piece);
      if (error != VE_OK) return ThrowJSONToolboxError(int32(error));
    }
  }
  return VE_OK;
}

VJSONValue VJSONObject::GetPropertyWithPath(const std::vector<VString>& steps,
                                            VDBLanguageContext* context) const {
  VJSONValue current(const_cast<VJSONObject*>(this));
  for (const VString& step : steps) {
    if (const VJSONObject* object = current.GetObject()) {
      current = object->GetProperty(step, context);
    } else if (const VJSONArray* array = current.GetArray()) {
      const size_t count = array->GetCount();
      if (step.EqualToString(kLength, false)) {
        current = VJSONValue(double(count));
      } else {
        const int32 index = step.GetLong();
        current = index >= 0 && size_t(index) < count ? array->GetAt(size_t(index))
                                                      : VJSONValue(JSON_undefined);
      }
    } else {
      return VJSONValue(JSON_undefined);
    }
  }
  return current;
}

VJSONValue VJSONObject::GetPropertyWithPath(const VString& path,
                                            VDBLanguageContext* context) const {
  std::vector<VString> steps;
  if (ExtractPath(path, steps) != VE_OK) return VJSONValue(JSON_undefined);
  return GetPropertyWithPath(steps, context);
}

bool VJSONObject::SetPropertyWithPath(const VString& path, const VJSONValue& value,
                                      VDBLanguageContext* context) {
  std::vector<VString> steps;
  if (ExtractPath(path, steps) != VE_OK) return false;
  VJSONValue current(this);
  VString previous;
  for (size_t i = 0; i < steps.size(); ++i) {
    const VString& step = steps[i];
    const bool last = i + 1 == steps.size();
    if (VJSONObject* object = current.GetObject()) {
      if (last) {
        object->SetProperty(step, value, context);
        return true;
      }
      VJSONValue child = object->GetProperty(step, context);
      if (child.IsUndefined() || child.IsNull()) child = NewContainerFor(steps[i + 1]);
      object->SetProperty(step, child, context);
      current = child;
    } else if (VJSONArray* array = current.GetArray()) {
      const int32 index = step.GetLong();
      if (index >= 0 && size_t(index) >= array->GetCount()) array->Resize(size_t(index) + 1);
      if (last) {
        if (index >= 0) array->SetAt(size_t(index), value);
        return true;
      }
      VJSONValue child = index >= 0 ? array->GetAt(size_t(index)) : VJSONValue(JSON_undefined);
      if (child.IsUndefined() || child.IsNull()) {
        child = NewContainerFor(steps[i + 1]);
        if (index >= 0) array->SetAt(size_t(index), child);
      }
      current = child;
    } else {
      // Through a value that holds no property: the walk fails.
      ThrowJSONToolboxError(isvalidnumber(step) ? json_error::kPathIndexThroughScalar
                                                : json_error::kPathNameThroughScalar,
                            &previous);
      return false;
    }
    previous = step;
  }
  return true;
}

bool VJSONObject::SetPropertiesWithPaths(const std::vector<std::pair<VString, VJSONValue>>& pairs) {
  for (const auto& [path, value] : pairs) {
    if (!SetPropertyWithPath(path, value, nullptr)) return false;
  }
  return true;
}

uint32 VJSONObject::GetPropertyStampWithPath(const VString& path) const {
  std::vector<VString> steps;
  if (ExtractPath(path, steps) != VE_OK || steps.empty()) return 0;
  if (steps.size() == 1) return GetPropertyStamp(steps[0]);
  const VString last = steps.back();
  steps.pop_back();
  const VJSONValue parent = GetPropertyWithPath(steps, nullptr);
  if (const VJSONObject* object = parent.GetObject()) return object->GetPropertyStamp(last);
  if (const VJSONArray* array = parent.GetArray()) {
    const size_t count = array->GetCount();
    if (last.EqualToStringRaw(kLength)) return uint32(count);
    const int32 index = last.GetLong();
    if (index >= 0 && size_t(index) < count) return array->GetAt(size_t(index)).GetStamp();
  }
  return 0;
}

void VJSONObject::TouchPropertyStampWithPath(const VString& path) {
  std::vector<VString> steps;
  if (ExtractPath(path, steps) != VE_OK || steps.empty()) return;
  if (steps.size() == 1) {
    TouchPropertyStamp(steps[0]);
    return;
  }
  const VString last = steps.back();
  steps.pop_back();
  const VJSONValue parent = GetPropertyWithPath(steps, nullptr);
  if (VJSONObject* object = parent.GetObject()) {
    object->TouchPropertyStamp(last);
  } else if (VJSONArray* array = parent.GetArray()) {
    const int32 index = last.GetLong();
    if (!last.EqualToStringRaw(kLength) && index >= 0 && size_t(index) < array->GetCount()) {
      array->TouchStampAt(size_t(index));
    }
  }
}

VError VJSONObject::MergeWith(const VJSONObject* other, bool onlyMissing) {
  if (other == nullptr) return VE_OK;
  std::vector<std::pair<VString, VJSONValue>> merged;
  for (VJSONPropertyConstOrderedIterator it(other,
                                            VJSONPropertyConstOrderedIterator::kOwnPropertiesOnly);
       it.IsValid(); ++it) {
    merged.emplace_back(it.GetName(), it.GetValue());
  }
  for (const auto& [name, value] : merged) {
    if (!onlyMissing || !HasOwnProperty(name)) SetProperty(name, value, nullptr);
  }
  return VE_OK;
}

VError VJSONObject::Clone(VJSONValue& out, VJSONCloner& cloner) const {
  if (cloner.GetMode() == VJSONCloner::kKeepShared &&
      (HasStorageLocker() || _IsSharableImplementation())) {
    out.SetObject(const_cast<VJSONObject*>(this));
    return VE_OK;
  }
  if (fImplementation != nullptr) {
    VError error = VE_OK;
    if (fImplementation->IJSON_Clone(this, cloner, out, error) != EJSON_unhandled) return error;
  }
  auto* copy = new VJSONObject(fClassObject, nullptr, nullptr, false);
  copy->fClassLevel = fClassLevel;
  if (cloner.GetMode() == VJSONCloner::kCopyIntoLocker) {
    copy->_SetStorageLocker(cloner.GetStorageLockerAndAssignIfNecessary());
  }
  out.SetObject(copy);
  copy->Release();
  VJSONUser user(copy);
  return CloneProperties(cloner, copy);
}

VError VJSONObject::CloneProperties(VJSONCloner& cloner, VJSONObject* target) const {
  if (target == nullptr) return VE_OK;
  target->ClearInternalProperties();
  std::vector<std::pair<VString, VJSONValue>> properties;
  for (VJSONPropertyConstOrderedIterator it(this,
                                            VJSONPropertyConstOrderedIterator::kOwnPropertiesOnly);
       it.IsValid(); ++it) {
    properties.emplace_back(it.GetName(), it.GetValue());
  }
  for (auto& [name, value] : properties) {
    const VError error = cloner.CloneValue(value);
    if (error != VE_OK) return error;
    target->SetOwnProperty(name, value);
  }
  return VE_OK;
}

}  // namespace zeft
