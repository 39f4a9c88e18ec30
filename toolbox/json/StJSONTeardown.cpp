#include "json/StJSONTeardown.h"

#include <new>
#include <utility>

namespace zeft {

namespace json_teardown {
constinit thread_local uint32 tDepth = 0;
constinit thread_local std::vector<VJSONValue>* tPending = nullptr;
}  // namespace json_teardown

void StJSONTeardown::_SetAsideAll(VJSONElements& elements) {
  for (VJSONValue& value : elements) _SetAside(value);
}

void StJSONTeardown::_SetAsideAll(VJSONPropertyMap& properties) {
  for (VJSONPropertyMap::Entry& entry : properties) _SetAside(entry.fValue);
}

void StJSONTeardown::_SetAside(VJSONValue& value) {
  if (value.GetObject() == nullptr && value.GetArray() == nullptr) return;
  try {
    json_teardown::tPending->push_back(std::move(value));
  } catch (const std::bad_alloc&) {
    // Without memory for the list the value is released where it is.
  }
}

void StJSONTeardown::_Drain() {
  while (!fPending.empty()) {
    // The drained value starts a new run of nesting from this depth; what
    // it sets aside comes back to this list.
    const VJSONValue value(std::move(fPending.back()));
    fPending.pop_back();
  }
}

}  // namespace zeft
