#include "json/StJSONTeardown.h"

#include <new>
#include <utility>

namespace zeft {

namespace {

// The teardowns open on this thread, and the outermost one's list. Both are
// trivial, so that they outlive every other thread-local that may free a
// container when its thread ends.
constinit thread_local uint32 tDepth = 0;
constinit thread_local std::vector<VJSONValue>* tPending = nullptr;

}  // namespace

StJSONTeardown::StJSONTeardown()
    : fOutermost(tDepth == 0), fSetsAside(tDepth >= kMaximumDepth) {
  if (fOutermost) tPending = &fPending;
  ++tDepth;
}

StJSONTeardown::~StJSONTeardown() {
  // Drained while this teardown is still open, so that what the list's
  // containers hold is set aside again rather than released recursively.
  if (fOutermost) _Drain();
  --tDepth;
  if (fOutermost) tPending = nullptr;
}

void StJSONTeardown::Dispose(VJSONElements& elements) {
  if (!fSetsAside) {
    elements.erase(elements.begin(), elements.end());
    return;
  }
  for (VJSONValue& value : elements) _SetAside(value);
}

void StJSONTeardown::Dispose(VJSONPropertyMap& properties) {
  if (!fSetsAside) {
    properties.clear();
    return;
  }
  for (VJSONPropertyMap::Entry& entry : properties) _SetAside(entry.fValue);
}

void StJSONTeardown::_SetAside(VJSONValue& value) {
  if (value.GetObject() == nullptr && value.GetArray() == nullptr) return;
  try {
    tPending->push_back(std::move(value));
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
