// The three property iterators of a JSON object. Each visits first the names
// that the native implementation (and the class's getters) report, then the
// stored properties in the store's order, which is their insertion order:
// VJSONPropertyIterator holding the object's locker in use;
// VJSONPropertyConstIterator; VJSONPropertyConstOrderedIterator, which can
// leave out the listed names, as the writers need.
#pragma once

#include <vector>

#include "core/VObject.h"
#include "core/VString.h"
#include "json/VJSONObject.h"
#include "json/VJSONUser.h"

namespace zeft {

class VJSONPropertyIterator : public VObject {
 public:
  explicit VJSONPropertyIterator(VJSONObject* object);

  bool IsValid() const;
  void Next();
  VJSONPropertyIterator& operator++() {
    Next();
    return *this;
  }
  const VString& GetName() const;
  VJSONValue GetValue(VDBLanguageContext* context = nullptr) const;
  void SetValue(const VJSONValue& value, VDBLanguageContext* context = nullptr) const;

 private:
  VJSONObject* fObject;
  VJSONUser fUser;
  std::vector<VString> fNames;
  size_t fNamePosition = 0;
  size_t fStorePosition = 0;
};

class VJSONPropertyConstIterator : public VObject {
 public:
  explicit VJSONPropertyConstIterator(const VJSONObject* object);

  bool IsValid() const;
  void Next();
  VJSONPropertyConstIterator& operator++() {
    Next();
    return *this;
  }
  const VString& GetName() const;
  VJSONValue GetValue(VDBLanguageContext* context = nullptr) const;

 private:
  const VJSONObject* fObject;
  std::vector<VString> fNames;
  size_t fNamePosition = 0;
  // Past the store's end when the stored names were copied into the names.
  size_t fStorePosition = 0;
};

class VJSONPropertyConstOrderedIterator : public VObject {
 public:
  static constexpr uint32 kWithoutImplementationNames = 1;
  static constexpr uint32 kWithoutGetterNames = 2;
  static constexpr uint32 kOwnPropertiesOnly = 3;

  VJSONPropertyConstOrderedIterator(const VJSONObject* object, uint32 options);

  // Inline: the writers walk every object with this iterator.
  bool IsValid() const {
    return fNamePosition < fNames.size() || fOrderedPosition < fObject->fProperties.size();
  }
  void Next() {
    if (fNamePosition < fNames.size()) {
      ++fNamePosition;
    } else if (fOrderedPosition < fObject->fProperties.size()) {
      ++fOrderedPosition;
    }
  }
  VJSONPropertyConstOrderedIterator& operator++() {
    Next();
    return *this;
  }
  const VString& GetName() const {
    return fNamePosition < fNames.size() ? fNames[fNamePosition]
                                         : fObject->fProperties[fOrderedPosition].fName;
  }
  VJSONValue GetValue(VDBLanguageContext* context = nullptr) const;
  // The stored value at a stored property (no copy), null at a listed name.
  const VJSONValue* GetStoredValue() const {
    if (fNamePosition < fNames.size()) return nullptr;
    return &fObject->fProperties[fOrderedPosition].fValue;
  }

 private:
  const VJSONObject* fObject;
  std::vector<VString> fNames;
  size_t fNamePosition = 0;
  // The store is in insertion order: its position is the sequence number.
  // Past the store's end when the stored names were copied into the names.
  size_t fOrderedPosition = 0;
};

}  // namespace zeft
