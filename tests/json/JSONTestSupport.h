// Shortcuts of the JSON tests: parsing and writing UTF-8 texts, and counting
// the containers alive on the test's task.
#pragma once

#include <string>
#include <type_traits>

#include "core/VString.h"
#include "json/IJSONObject.h"
#include "json/VJSONArray.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/VTask.h"

namespace zeft::test {

inline VJSONValue Parse(const std::string& text, uint32 options = 0, VError* error = nullptr) {
  VJSONValue value;
  const VError result = VJSONImporter::ParseString(VString(text.c_str()), value, options);
  if (error != nullptr) *error = result;
  return value;
}

inline std::string Write(const VJSONValue& value, uint32 options = 0x1) {
  VString text;
  if (value.Stringify(text, options) != VE_OK) return "<error>";
  return to_string(text);
}

// Counts the objects and arrays made and destroyed on the calling task
// while it lives.
class StLiveContainers {
 public:
  StLiveContainers() {
    VJSONObject::sTaskToMonitor.store(VTask::GetCurrentID());
    VJSONArray::sTaskToMonitor.store(VTask::GetCurrentID());
    fObjects = VJSONObject::sTaskCounter.load();
    fArrays = VJSONArray::sTaskCounter.load();
  }
  ~StLiveContainers() {
    VJSONObject::sTaskToMonitor.store(0);
    VJSONArray::sTaskToMonitor.store(0);
  }
  int32 Objects() const { return VJSONObject::sTaskCounter.load() - fObjects; }
  int32 Arrays() const { return VJSONArray::sTaskCounter.load() - fArrays; }

 private:
  int32 fObjects;
  int32 fArrays;
};

// An object whose native code empties its container (an array or an
// object) whenever it is written, as text or streamed.
class EmptiesContainerWhenWritten : public IJSONObject {
 public:
  explicit EmptiesContainerWhenWritten(VJSONArray* array) : fArray(array) {}
  explicit EmptiesContainerWhenWritten(VJSONObject* object) : fObject(object) {}
  EJSONStatus IJSON_Stringify(const VJSONObject*, VJSONWriter&, VString&, VError&) override {
    _Empty();
    return EJSON_unhandled;
  }
  void IJSON_GetValueToWriteToBuffer(VJSONValue&) override { _Empty(); }

 private:
  void _Empty() {
    if (fArray != nullptr) fArray->Clear();
    if (fObject != nullptr) fObject->ClearInternalProperties();
  }

  // Not counted: the container holds this object.
  VJSONArray* fArray = nullptr;
  VJSONObject* fObject = nullptr;
};

// Fills the empty container with such an object, which only the container
// holds, followed by texts written after it (properties "0" to "7").
template <class Container>
void FillWithItsOwnEmptier(Container* container) {
  VJSONValue element(JSON_object);
  auto* native = new EmptiesContainerWhenWritten(container);
  element.GetObject()->SetImplementation(native);
  native->Release();
  const VString later("later");
  if constexpr (std::is_same_v<Container, VJSONArray>) {
    container->Push(element);
    for (int i = 0; i < 8; ++i) container->Push(VJSONValue(later));
  } else {
    container->SetProperty(VString("emptier"), element);
    for (char i = '0'; i < '8'; ++i) container->SetProperty(VString(UniChar(i)), VJSONValue(later));
  }
}

}  // namespace zeft::test
