#include "json/VJSONPropertyIterator.h"

#include "json/IJSONClassRegistry.h"
#include "json/StGraphLocker.h"
#include "json/VStorageLocker.h"

namespace zeft {

namespace {

// The names the implementation reports; the status says whether the
// class's getter names follow.
EJSONStatus ReportedNames(const VJSONObject* object, std::vector<VString>& names) {
  IJSONObject* implementation = object->GetImplementation();
  if (implementation == nullptr) return EJSON_unhandled;
  return implementation->IJSON_GetPropertyNames(names);
}

void AppendGetterNames(const VJSONObject* object, std::vector<VString>& names) {
  IJSONClassRegistry* registry = VJSONObject::GetClassRegistry();
  if (object->GetClass() != nullptr && registry != nullptr) {
    registry->GetGetterNames(object->GetClass(), names);
  }
}

bool IsSharable(const VJSONObject* object) {
  IJSONObject* implementation = object->GetImplementation();
  bool move = false;
  return implementation != nullptr && implementation->IJSON_IsSharable(object, &move);
}

// The store position of an iterator that visits no stored property.
constexpr size_t kStoreSkipped = size_t(-1);

}  // namespace

// ---------------------------------------------------------------------------

VJSONPropertyIterator::VJSONPropertyIterator(VJSONObject* object) : fObject(object), fUser(object) {
  if (ReportedNames(object, fNames) == EJSON_unhandled) AppendGetterNames(object, fNames);
}

bool VJSONPropertyIterator::IsValid() const {
  return fNamePosition < fNames.size() || fStorePosition < fObject->fProperties.size();
}

void VJSONPropertyIterator::Next() {
  if (fNamePosition < fNames.size()) {
    ++fNamePosition;
  } else if (fStorePosition < fObject->fProperties.size()) {
    ++fStorePosition;
  }
}

const VString& VJSONPropertyIterator::GetName() const {
  return fNamePosition < fNames.size() ? fNames[fNamePosition]
                                       : fObject->fProperties[fStorePosition].fName;
}

VJSONValue VJSONPropertyIterator::GetValue(VDBLanguageContext* context) const {
  if (fNamePosition < fNames.size()) return fObject->GetProperty(fNames[fNamePosition], context);
  return fObject->fProperties[fStorePosition].fValue;
}

void VJSONPropertyIterator::SetValue(const VJSONValue& value, VDBLanguageContext* context) const {
  if (fNamePosition < fNames.size()) {
    fObject->SetProperty(fNames[fNamePosition], value, context);
  } else if (!value.IsUndefined()) {
    // Never removes the property under the iterator. The name is copied:
    // the store may change under a setter.
    const VString name(fObject->fProperties[fStorePosition].fName);
    fObject->SetProperty(name, value, context);
  }
}

// ---------------------------------------------------------------------------

VJSONPropertyConstIterator::VJSONPropertyConstIterator(const VJSONObject* object)
    : fObject(object) {
  const EJSONStatus status = ReportedNames(object, fNames);
  {
    VStorageLocker* locker = object->GetStorageLockerNoRetain();
    StJSONLocks locks(locker != nullptr, locker);
    if (locker != nullptr || IsSharable(object)) {
      for (const auto& [name, value] : object->fProperties) fNames.push_back(name);
      fStorePosition = kStoreSkipped;
    }
  }
  if (status == EJSON_unhandled) {
    // Getter names go with the names, before the stored properties.
    std::vector<VString> getters;
    AppendGetterNames(object, getters);
    fNames.insert(fNames.end(), getters.begin(), getters.end());
  }
}

bool VJSONPropertyConstIterator::IsValid() const {
  return fNamePosition < fNames.size() || fStorePosition < fObject->fProperties.size();
}

void VJSONPropertyConstIterator::Next() {
  if (fNamePosition < fNames.size()) {
    ++fNamePosition;
  } else if (fStorePosition < fObject->fProperties.size()) {
    ++fStorePosition;
  }
}

const VString& VJSONPropertyConstIterator::GetName() const {
  return fNamePosition < fNames.size() ? fNames[fNamePosition]
                                       : fObject->fProperties[fStorePosition].fName;
}

VJSONValue VJSONPropertyConstIterator::GetValue(VDBLanguageContext* context) const {
  if (fNamePosition < fNames.size()) return fObject->GetProperty(fNames[fNamePosition], context);
  return fObject->fProperties[fStorePosition].fValue;
}

// ---------------------------------------------------------------------------

VJSONPropertyConstOrderedIterator::VJSONPropertyConstOrderedIterator(const VJSONObject* object,
                                                                     uint32 options)
    : fObject(object) {
  EJSONStatus status = EJSON_unhandled;
  if ((options & kWithoutImplementationNames) == 0) status = ReportedNames(object, fNames);
  VStorageLocker* locker = object->GetStorageLockerNoRetain();
  if (locker != nullptr || IsSharable(object)) {
    StJSONLocks locks(locker != nullptr, locker);
    const auto& store = object->fProperties;
    std::vector<VString> names;
    for (const VString& name : fNames) {
      if (store.Find(name) == VJSONPropertyMap::kNotFound) names.push_back(name);
    }
    for (const auto& [name, value] : store) names.push_back(name);
    fNames.swap(names);
    fOrderedPosition = kStoreSkipped;
  }
  if ((options & kWithoutGetterNames) == 0 && status == EJSON_unhandled) {
    std::vector<VString> getters;
    AppendGetterNames(object, getters);
    // Getter names come after the listed names, before the stored ones.
    fNames.insert(fNames.end(), getters.begin(), getters.end());
  }
}

VJSONValue VJSONPropertyConstOrderedIterator::GetValue(VDBLanguageContext* context) const {
  if (fNamePosition < fNames.size()) return fObject->GetProperty(fNames[fNamePosition], context);
  return fObject->fProperties[fOrderedPosition].fValue;
}

}  // namespace zeft
